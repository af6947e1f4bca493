// presetgen: writes one export settings file (a movie exporter's atom container) per settings
// name that the conversion can ask for, into the folder given as its only argument.
//
// Settings names: a codec key ("aic", "pr" followed by a ProRes variant key), "Hdv" for
// 1440-pixel-wide (anamorphic 4:3-stored 16:9) sources, the picture height, "p" and the frame
// rate, e.g. "aic1080p25", "prLtHdv1080p50"; plus "1280x720p" and "1280x720pLetterbox", used when
// no name was chosen. Every file asks for 16-bit PCM sound at 48 kHz.
//
// Exit status 0 when every file was written, 1 otherwise (with the reason on standard error).
#include "toolbox/exportSettings.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Preset {
    std::string name;
    toolbox::MovieExportSettings settings;
};

struct CodecKey {
    const char *key;   ///< the start of the settings name
    const char *codec; ///< the QuickTime codec type it asks for
};

// The table: codec keys, source kinds, heights and rates of the settings names.
constexpr CodecKey kCodecs[] = {
    {"aic", "icod"},     // Apple Intermediate Codec
    {"pr", "apch"},      // ProRes 422 HQ
    {"prProxy", "apco"}, // ProRes 422 Proxy
    {"prLt", "apcs"},    // ProRes 422 LT
    {"pr4x4", "ap4h"},   // ProRes 4444
};
constexpr bool kHdv[] = {false, true};
constexpr std::uint32_t kHeights[] = {720, 1080};
constexpr int kRates[] = {24, 25, 30, 50, 60};

toolbox::MovieExportSettings settingsFor(const char *codec, std::uint32_t width,
                                         std::uint32_t height, int rate, toolbox::FrameFit fit) {
    toolbox::MovieExportSettings s;
    s.videoEnabled = true;
    s.codecType = toolbox::fourCharCode(codec);
    s.depth = 24;
    s.spatialQuality = toolbox::kCodecNormalQuality;
    s.frameRate = rate > 0 ? toolbox::frameRateToFixed(rate) : 0;
    s.width = width;
    s.height = height;
    s.fit = fit;
    s.soundEnabled = true;
    s.soundFormat = toolbox::fourCharCode("twos");
    s.sampleRate = 48000;
    s.sampleBits = 16;
    s.channels = 0; // the source's channel count
    return s;
}

std::vector<Preset> presetTable() {
    std::vector<Preset> table;
    for (const CodecKey &codec : kCodecs) {
        for (const bool hdv : kHdv) {
            for (const std::uint32_t height : kHeights) {
                // 16:9 pictures; HDV keeps its 4:3 storage width (1440 for 1080 lines).
                const std::uint32_t width = hdv ? height * 4 / 3 : height * 16 / 9;
                for (const int rate : kRates) {
                    const std::string name = std::string(codec.key) + (hdv ? "Hdv" : "") +
                                             std::to_string(height) + "p" + std::to_string(rate);
                    table.push_back({name, settingsFor(codec.codec, width, height, rate,
                                                       toolbox::FrameFit::Scale)});
                }
            }
        }
    }
    // The fall-backs for a job without a settings name: ProRes 422 HQ at 1280x720, the source's
    // rate; the letterbox variant keeps a 4:3 picture's shape inside the frame.
    table.push_back({"1280x720p", settingsFor("apch", 1280, 720, 0, toolbox::FrameFit::Scale)});
    table.push_back(
        {"1280x720pLetterbox", settingsFor("apch", 1280, 720, 0, toolbox::FrameFit::Letterbox)});
    return table;
}

// Writes the bytes under a temporary name and renames it into place: a failed write never
// leaves a truncated settings file under a settings name.
bool writeFile(const fs::path &path, const std::vector<std::uint8_t> &bytes) {
    const fs::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code code;
    fs::rename(temporary, path, code);
    if (code) {
        fs::remove(temporary, code);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fputs("usage: presetgen <presetQt folder>\n", stderr);
        return 1;
    }
    const fs::path folder(argv[1]);
    std::error_code code;
    fs::create_directories(folder, code);
    if (code) {
        std::fprintf(stderr, "presetgen: can't create %s: %s\n", folder.c_str(),
                     code.message().c_str());
        return 1;
    }
    int failures = 0;
    for (const Preset &preset : presetTable()) {
        const auto bytes = toolbox::movieExportSettingsToAtomContainer(preset.settings);
        // What is written must read back as the same settings.
        const auto back = toolbox::movieExportSettingsFromAtomContainer(bytes);
        if (!back || !(*back == preset.settings) || !writeFile(folder / preset.name, bytes)) {
            std::fprintf(stderr, "presetgen: can't write %s\n", (folder / preset.name).c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
