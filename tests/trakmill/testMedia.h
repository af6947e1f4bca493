// Media and child processes for the toolbox and trakmill tests: clips made with the ffmpeg
// program, probes with ffprobe, and runs of a program with its streams captured.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testmedia {

/// A fresh folder under the system's temporary folder, deleted with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    [[nodiscard]] const std::filesystem::path &path() const { return path_; }
    [[nodiscard]] std::string operator/(const std::string &name) const {
        return (path_ / name).string();
    }

private:
    std::filesystem::path path_;
};

/// Runs a /bin/sh command line; its standard output, and its exit status in status.
std::string shell(const std::string &command, int *status = nullptr);

/// Makes a clip with /usr/bin/ffmpeg from the arguments between "-y" and the output path.
/// False (with ffmpeg's messages on standard error) when ffmpeg fails.
bool ffmpeg(const std::string &arguments, const std::string &output);

/// ffprobe's answer for one stream selector and entries, as compact "key=value|..." lines
/// without section names, e.g. probe(f, "v:0", "stream=codec_tag_string,width").
std::string probe(const std::string &path, const std::string &streams, const std::string &entries);

/// The number of frames (video) or packets ffprobe counts in a stream.
long countFrames(const std::string &path, const std::string &streams);

/// The duration of a stream in seconds from ffprobe, or -1.
double streamDuration(const std::string &path, const std::string &streams);

/// The version and creation time of the last header atom of a kind ("mvhd", "tkhd", "mdhd")
/// in the file, read from its bytes: what every other reader of the file sees. {-1, 0} when
/// there is none.
std::pair<int, std::uint64_t> headerTime(const std::string &path, const char *type);

struct RunResult {
    int status = -1; ///< exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string input;               ///< written to standard input (a pipe)
    std::string folder;              ///< working folder, when not empty
    bool stdoutIsTerminal = false;   ///< standard output a pseudo-terminal
    bool stdinIsTerminal = false;    ///< standard input a pseudo-terminal fed with input
    std::string killWhenErrContains; ///< SIGKILL once standard error holds this text
    long long fileSizeLimit = -1;    ///< RLIMIT_FSIZE in bytes (a disk that fills)
    /// Changes to the environment: "NAME=value" sets (also to ""), "NAME" alone unsets.
    std::vector<std::string> environment;
};

/// Runs program with arguments (argv[1]...), standard output and error captured apart.
RunResult run(const std::string &program, const std::vector<std::string> &arguments,
              const RunOptions &options = {});

/// Whether the folder's file system keeps user extended attributes.
bool supportsUserXattr(const std::string &folder);

/// The value of an extended attribute, or "" when absent.
std::string xattr(const std::string &path, const std::string &name);

} // namespace testmedia
