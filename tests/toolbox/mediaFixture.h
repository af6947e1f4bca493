// Clips made with the ffmpeg program for the toolbox tests, and the ffmpeg runs that check
// what the toolbox wrote.
#pragma once

#include <string>
#include <vector>

namespace toolbox::test {

/// A fresh folder under the system's temporary folder, deleted with the object.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;
    [[nodiscard]] const std::string &path() const { return path_; }
    [[nodiscard]] std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// Runs a shell command line; its standard output, or nothing-with-false when it fails.
bool runCommand(const std::string &command, std::string *output = nullptr);

/// Quotes a path for the shell.
std::string quoted(const std::string &path);

/// Makes a clip with the ffmpeg program: `inputs` are its input arguments, `outputs` the
/// encoding arguments. False when ffmpeg fails.
bool makeClip(const std::string &path, const std::string &inputs, const std::string &outputs);

/// The checksums of the decoded frames of one stream ("v:0", "a:0") in order, read by the
/// ffmpeg program (with extra input options such as "-enable_drefs 1").
std::vector<std::string> frameChecksums(const std::string &path, const std::string &stream,
                                        const std::string &inputOptions = {});

/// The md5 of a stream's decoded data as signed 16-bit PCM (sound) from ffmpeg's md5 muxer,
/// with an optional filter.
std::string soundChecksum(const std::string &path, const std::string &filter = {},
                          const std::string &inputOptions = {});

/// A value of ffprobe for a stream ("v:0") or for the format (empty stream), for example
/// "duration", "start_time", "sample_rate", "nb_read_frames".
std::string probe(const std::string &path, const std::string &stream, const std::string &entry,
                  const std::string &inputOptions = {});

double probeNumber(const std::string &path, const std::string &stream, const std::string &entry,
                   const std::string &inputOptions = {});

std::uint64_t fileSize(const std::string &path);

/// A real file shared with the project (sharedTestData.h), or empty when their folder is absent.
std::string realTestFile(const std::string &name);

} // namespace toolbox::test

namespace toolbox::test {

/// The clips shared by the tests of one program, each made on first use (ctest runs every
/// test in its own process, so a test makes only the clips it uses).
struct Clips {
    /// 4 s: H.264 160x120 25 fps (key frame every 12) + 48 kHz PCM.
    [[nodiscard]] const std::string &av() const;
    /// The same, its picture starting 0.48 s after its sound.
    [[nodiscard]] const std::string &lateVideo() const;
    /// 4 s of H.264 and MP2 in MPEG-TS.
    [[nodiscard]] const std::string &transport() const;
};
const Clips &clips();

} // namespace toolbox::test
