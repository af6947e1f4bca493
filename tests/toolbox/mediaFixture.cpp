#include "mediaFixture.h"
#include "sharedTestData.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace toolbox::test {

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "toolbox-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code code;
    if (!path_.empty())
        fs::remove_all(path_, code);
}

std::string quoted(const std::string &path) {
    std::string text = "'";
    for (const char c : path)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

bool runCommand(const std::string &command, std::string *output) {
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    std::string text;
    std::array<char, 4096> buffer{};
    std::size_t count = 0;
    while ((count = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        text.append(buffer.data(), count);
    const int status = pclose(pipe);
    if (output)
        *output = text;
    return status == 0;
}

bool makeClip(const std::string &path, const std::string &inputs, const std::string &outputs) {
    return runCommand("/usr/bin/ffmpeg -nostdin -v error -y " + inputs + " " + outputs + " " +
                      quoted(path) + " 2>&1");
}

std::vector<std::string> frameChecksums(const std::string &path, const std::string &stream,
                                        const std::string &inputOptions) {
    std::string text;
    runCommand("/usr/bin/ffmpeg -nostdin -v error " + inputOptions + " -i " + quoted(path) +
                   " -map 0:" + stream + " -f framemd5 - 2>/dev/null",
               &text);
    std::vector<std::string> sums;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        sums.push_back(line.substr(line.rfind(',') + 1));
    }
    return sums;
}

std::string soundChecksum(const std::string &path, const std::string &filter,
                          const std::string &inputOptions) {
    std::string text;
    runCommand("/usr/bin/ffmpeg -nostdin -v error " + inputOptions + " -i " + quoted(path) +
                   " -map 0:a:0 " + (filter.empty() ? "" : "-af " + filter) +
                   " -c:a pcm_s16le -f md5 - 2>/dev/null",
               &text);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string probe(const std::string &path, const std::string &stream, const std::string &entry,
                  const std::string &inputOptions) {
    std::string text;
    const std::string what = stream.empty()
                                 ? "-show_entries format=" + entry
                                 : "-select_streams " + stream + " -show_entries stream=" + entry;
    runCommand("/usr/bin/ffprobe -v error " + inputOptions + " " +
                   (entry == "nb_read_frames" ? "-count_frames " : "") + what +
                   " -of default=noprint_wrappers=1:nokey=1 " + quoted(path) + " 2>/dev/null",
               &text);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

double probeNumber(const std::string &path, const std::string &stream, const std::string &entry,
                   const std::string &inputOptions) {
    const auto text = probe(path, stream, entry, inputOptions);
    return text.empty() ? -1.0 : std::strtod(text.c_str(), nullptr);
}

std::uint64_t fileSize(const std::string &path) {
    std::error_code code;
    const auto size = fs::file_size(path, code);
    return code ? 0 : size;
}

std::string realTestFile(const std::string &name) {
    return fluxaro::test::sharedTestFile(name);
}

} // namespace toolbox::test

namespace toolbox::test {

namespace {

const std::string kPicture = "-f lavfi -i testsrc=size=160x120:rate=25:duration=4";
const std::string kSound = "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=4";

std::string clipFolder() {
    static TemporaryFolder folder;
    return folder.path();
}

std::string madeClip(const std::string &name, const std::string &inputs,
                     const std::string &outputs) {
    const auto path = clipFolder() + "/" + name;
    makeClip(path, inputs, outputs);
    return path;
}

} // namespace

const Clips &clips() {
    static const Clips made;
    return made;
}

const std::string &Clips::av() const {
    static const auto path =
        madeClip("av.mov", kPicture + " " + kSound, "-c:v libx264 -g 12 -c:a pcm_s16le");
    return path;
}

const std::string &Clips::lateVideo() const {
    static const auto path =
        madeClip("late video.mov", "-itsoffset 0.48 " + kPicture + " " + kSound,
                 "-fps_mode passthrough -c:v libx264 -g 12 -c:a pcm_s16le");
    return path;
}

const std::string &Clips::transport() const {
    static const auto path =
        madeClip("av.ts", kPicture + " " + kSound, "-c:v libx264 -g 12 -c:a mp2 -f mpegts");
    return path;
}

} // namespace toolbox::test
