#include "settingsDialog.h"

#include "components.h"

#include <charconv>
#include <cmath>
#include <istream>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace toolbox {

namespace {

std::string trim(const std::string &text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// One answer; nothing when the input ends or the user types q.
std::optional<std::string> ask(std::istream &in, std::ostream &out, const std::string &question,
                               const std::string &defaultAnswer) {
    out << question << " [" << defaultAnswer << "]: " << std::flush;
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    line = trim(line);
    if (line == "q" || line == "Q")
        return std::nullopt;
    return line;
}

bool parseUnsigned(const std::string &text, std::uint32_t &value) {
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::vector<const Component *> compressors() {
    std::vector<const Component *> list;
    const ComponentDescription looking{kImageCompressorType, 0, 0, 0, 0};
    for (const Component *c = findNextComponent(nullptr, looking); c;
         c = findNextComponent(c, looking))
        list.push_back(c);
    return list;
}

std::string rateText(std::int32_t fixed) {
    if (fixed <= 0)
        return "source";
    std::string text = std::to_string(std::round(fixedToFrameRate(fixed) * 1000) / 1000);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

std::string sizeText(const MovieExportSettings &s) {
    if (s.width == 0)
        return "source";
    return std::to_string(s.width) + "x" + std::to_string(s.height) +
           (s.fit == FrameFit::Letterbox ? " letterbox" : "");
}

} // namespace

bool standardInputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

std::optional<MovieExportSettings> runExportSettingsDialog(std::istream &in, std::ostream &out,
                                                           const MovieExportSettings &initial,
                                                           bool highResolutionAudio) {
    MovieExportSettings s = initial;
    s.videoEnabled = true;
    out << "QuickTime movie export settings (an empty answer keeps the value in brackets, q "
           "cancels)\n";

    // Codec.
    const std::vector<const Component *> codecs = compressors();
    if (codecs.empty())
        return std::nullopt;
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < codecs.size(); ++i) {
        out << "  " << (i + 1) << ") " << codecs[i]->name << " ("
            << fourCharCodeString(codecs[i]->description.componentSubType) << ")\n";
        if (codecs[i]->description.componentSubType == initial.codecType)
            chosen = i;
    }
    for (;;) {
        auto answer = ask(in, out, "Video codec", std::to_string(chosen + 1));
        if (!answer)
            return std::nullopt;
        if (answer->empty())
            break;
        std::uint32_t number = 0;
        if (parseUnsigned(*answer, number) && number >= 1 && number <= codecs.size()) {
            chosen = number - 1;
            break;
        }
        std::string code = *answer;
        if (code.size() == 3)
            code += ' ';
        bool found = false;
        for (std::size_t i = 0; i < codecs.size() && code.size() == 4; ++i)
            if (codecs[i]->description.componentSubType == fourCharCode(code)) {
                chosen = i;
                found = true;
                break;
            }
        if (found)
            break;
        out << "Unknown codec: give its number or its four-character code\n";
    }
    s.codecType = codecs[chosen]->description.componentSubType;

    // Frame size.
    for (;;) {
        auto answer = ask(in, out,
                          "Frame size (WIDTHxHEIGHT, add \"letterbox\" to keep the "
                          "picture's shape, or source)",
                          sizeText(s));
        if (!answer)
            return std::nullopt;
        if (answer->empty())
            break;
        if (*answer == "source") {
            s.width = s.height = 0;
            s.fit = FrameFit::Scale;
            break;
        }
        std::string size = *answer;
        FrameFit fit = FrameFit::Scale;
        if (const auto space = size.find(' '); space != std::string::npos) {
            if (trim(size.substr(space)) != "letterbox")
                size.clear();
            fit = FrameFit::Letterbox;
            size = size.substr(0, space);
        }
        const auto x = size.find('x');
        std::uint32_t w = 0, h = 0;
        if (x != std::string::npos && parseUnsigned(size.substr(0, x), w) &&
            parseUnsigned(size.substr(x + 1), h) && w >= 2 && h >= 2 && w <= 16384 && h <= 16384 &&
            w % 2 == 0 && h % 2 == 0) {
            s.width = w;
            s.height = h;
            s.fit = fit;
            break;
        }
        out << "Give an even width and height such as 1920x1080\n";
    }

    // Frame rate.
    for (;;) {
        auto answer =
            ask(in, out, "Frame rate (frames per second, or source)", rateText(s.frameRate));
        if (!answer)
            return std::nullopt;
        if (answer->empty())
            break;
        if (*answer == "source") {
            s.frameRate = 0;
            break;
        }
        char *end = nullptr;
        const double fps = std::strtod(answer->c_str(), &end);
        if (end && *end == '\0' && fps >= 1 && fps <= 240) {
            s.frameRate = frameRateToFixed(fps);
            break;
        }
        out << "Give a rate from 1 to 240, such as 25 or 29.97\n";
    }

    // Sound.
    std::string soundDefault = !s.soundEnabled ? "none" : s.sampleBits == 24 ? "pcm24" : "pcm16";
    const std::string choices =
        highResolutionAudio ? "Sound (pcm16: 48 kHz 16-bit PCM, pcm24: 48 kHz 24-bit PCM, none)"
                            : "Sound (pcm16: 48 kHz 16-bit PCM, none)";
    for (;;) {
        auto answer = ask(in, out, choices, soundDefault);
        if (!answer)
            return std::nullopt;
        const std::string choice = answer->empty() ? soundDefault : *answer;
        if (choice == "none") {
            s.soundEnabled = false;
            break;
        }
        if (choice == "pcm16" || (highResolutionAudio && choice == "pcm24")) {
            s.soundEnabled = true;
            s.soundFormat = fourCharCode("twos");
            s.sampleBits = choice == "pcm24" ? 24 : 16;
            s.sampleRate = 48000;
            break;
        }
        out << "Answer one of the choices in parentheses\n";
    }
    return s;
}

} // namespace toolbox
