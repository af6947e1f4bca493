// Plain POSIX file access for the writers: whole reads and writes at offsets, and an output
// written under a temporary name that becomes the destination only when complete.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace toolbox {

/// An open file descriptor, closed by the destructor.
class File {
public:
    File() = default;
    ~File();
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    /// Opens for reading (readWrite false) or reading and writing; false with errno set and
    /// error() saying why. Only a regular file is opened, and without waiting: a FIFO, a device
    /// or a socket is refused (errno EINVAL), so a name that leads to one never holds the reader.
    bool open(const std::string &path, bool readWrite = false);
    /// Why the last open failed, in words ("is a FIFO, not a regular file").
    [[nodiscard]] const std::string &error() const { return error_; }
    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    [[nodiscard]] int fd() const { return fd_; }
    /// The size in bytes, -1 on failure.
    [[nodiscard]] std::int64_t size() const;
    /// Reads exactly data.size() bytes at offset; false on error or early end of file.
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> data) const;
    /// Writes all of data at offset; false on error (errno set, ENOSPC for a full disk).
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> data);
    bool sync();
    bool truncate(std::uint64_t size);
    void close();
    void adopt(int fd) { close(), fd_ = fd; }

private:
    int fd_ = -1;
    std::string error_;
};

/// Empty when path leads to a regular file (links followed), else why it is not one, in
/// words: "is a FIFO, not a regular file", "does not exist"...
std::string regularFileRefusal(const std::string &path);

/// How a TemporaryOutput's file exists until commit.
enum class TemporaryName {
    /// A hidden name beside the destination (".name.part-XXXXXX"), deleted by the destructor:
    /// the file can be closed and reopened by that name while it is written.
    Hidden,
    /// No name at all (O_TMPFILE) where the file system allows it, else a hidden name: the
    /// file lives only as long as file() is open, so even a killed process leaves nothing.
    Unnamed,
};

/// A file being written beside its destination, that becomes the destination only when
/// complete: commit() renames it into place in one step; without commit the destructor deletes
/// it, so an interrupted or failed write leaves no file that looks like a finished one.
/// The file gets the permissions of any new file (0666 less the umask).
class TemporaryOutput {
public:
    TemporaryOutput() = default;
    TemporaryOutput(const TemporaryOutput &) = delete;
    TemporaryOutput &operator=(const TemporaryOutput &) = delete;
    ~TemporaryOutput();
    /// Creates the temporary file in the destination's folder, unnamed unless asked otherwise;
    /// false with a message when that folder is missing or not writable.
    bool create(const std::string &destination, std::string *error,
                TemporaryName naming = TemporaryName::Unnamed);
    File &file() { return file_; }
    /// The hidden name of the file; empty while the file has no name (TemporaryName::Unnamed).
    [[nodiscard]] const std::string &temporaryPath() const { return temporaryPath_; }
    /// A path this process can open the file by for writing (libavformat, say): the hidden
    /// name, or /proc/self/fd/N for an unnamed file. Valid until commit.
    [[nodiscard]] std::string writePath() const;
    /// Renames the file onto the destination, after flushing it to disk unless flush is false.
    /// An unnamed file is given a hidden name first (a link cannot replace a file).
    bool commit(std::string *error, bool flush = true);

private:
    File file_;
    std::string destination_;
    std::string folder_;
    std::string temporaryPath_;
    bool committed_ = false;
};

/// The text of errno for messages.
std::string errnoText();

/// The absolute, normalised form of a path (symbolic links resolved where the file exists).
std::string absolutePath(const std::string &path);

} // namespace toolbox
