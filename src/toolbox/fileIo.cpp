#include "fileIo.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace toolbox {

File::~File() {
    close();
}

File::File(File &&other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

File &File::operator=(File &&other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

namespace {

std::string kindRefusal(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    const char *kind = S_ISFIFO(mode)   ? "a FIFO"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISDIR(mode)  ? "a folder"
                                        : "not a file";
    return std::string("is ") + kind + ", not a regular file";
}

} // namespace

bool File::open(const std::string &path, bool readWrite) {
    close();
    error_.clear();
    // Non-blocking: opening a FIFO would otherwise wait for a writer for ever.
    // Reading leaves the file's access time alone where the file system lets its owner ask
    // (a card's files stay as they were); another user's file is opened without the flag.
    const int flags = (readWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(path.c_str(), readWrite ? flags : flags | O_NOATIME);
    if (fd < 0 && !readWrite && errno == EPERM)
        fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        error_ = errnoText();
        return false;
    }
    struct stat info {};
    const bool known = fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        error_ = known ? kindRefusal(info.st_mode) : errnoText();
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    // A regular file never blocks; the flag is cleared all the same for plain reads.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    return true;
}

std::string regularFileRefusal(const std::string &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? "does not exist" : errnoText();
    return kindRefusal(info.st_mode);
}

std::int64_t File::size() const {
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0)
        return -1;
    return info.st_size;
}

bool File::readAt(std::uint64_t offset, std::span<std::uint8_t> data) const {
    std::size_t done = 0;
    while (done < data.size()) {
        const auto count =
            pread(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

bool File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const auto count =
            pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (count == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

bool File::sync() {
    return fd_ >= 0 && fsync(fd_) == 0;
}

bool File::truncate(std::uint64_t size) {
    return fd_ >= 0 && ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

void File::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

namespace {

// The process's umask, read without changing it (umask() would race with other threads
// creating files); 022 where /proc does not say.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

std::string hiddenName(const std::string &folder, const std::string &name, const char *suffix) {
    return (std::filesystem::path(folder) / ("." + name + ".part-" + suffix)).string();
}

} // namespace

TemporaryOutput::~TemporaryOutput() {
    file_.close();
    if (!committed_ && !temporaryPath_.empty())
        ::unlink(temporaryPath_.c_str());
}

bool TemporaryOutput::create(const std::string &destination, std::string *error,
                             TemporaryName naming) {
    namespace fs = std::filesystem;
    destination_ = destination;
    const fs::path target(destination);
    if (target.filename().empty()) {
        *error = "no file name in \"" + destination + "\"";
        return false;
    }
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    folder_ = folder.string();
    std::error_code code;
    if (!fs::is_directory(folder, code)) {
        *error = "no folder \"" + folder_ + "\" for \"" + destination + "\"";
        return false;
    }
    if (naming == TemporaryName::Unnamed) {
        // open applies the umask to the mode of an unnamed file as to any new file.
        const int fd = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file_.adopt(fd);
            return true;
        }
        // Some file systems have no unnamed files: a hidden name then.
    }
    // Hidden and marked as partial: never mistaken for a finished movie.
    std::string pattern = hiddenName(folder_, target.filename().string(), "XXXXXX");
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot create a file in \"" + folder_ + "\": " + errnoText();
        return false;
    }
    // mkostemp makes the file private; the finished file gets the permissions of a new file.
    fchmod(fd, 0666 & ~currentUmask());
    file_.adopt(fd);
    temporaryPath_ = pattern;
    return true;
}

std::string TemporaryOutput::writePath() const {
    if (!temporaryPath_.empty() || !file_.isOpen())
        return temporaryPath_;
    return "/proc/self/fd/" + std::to_string(file_.fd());
}

bool TemporaryOutput::commit(std::string *error, bool flush) {
    if (flush && !file_.sync()) {
        *error = "cannot write \"" + destination_ + "\": " + errnoText();
        return false;
    }
    if (temporaryPath_.empty()) {
        if (!file_.isOpen()) {
            *error = "no file to move onto \"" + destination_ + "\"";
            return false;
        }
        // The unnamed file gets a hidden name first: linkat cannot replace an existing file,
        // rename can, in one step.
        const std::string self = writePath();
        const std::string name = std::filesystem::path(destination_).filename().string();
        std::random_device random;
        for (int attempt = 0; attempt < 100 && temporaryPath_.empty(); ++attempt) {
            const std::string candidate =
                hiddenName(folder_, name, std::to_string(random() % 1000000000u).c_str());
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
                0)
                temporaryPath_ = candidate;
            else if (errno != EEXIST) {
                *error = "cannot name the new file \"" + destination_ + "\": " + errnoText();
                return false;
            }
        }
        if (temporaryPath_.empty()) {
            *error = "cannot name the new file \"" + destination_ + "\": no free name";
            return false;
        }
    }
    file_.close();
    if (std::rename(temporaryPath_.c_str(), destination_.c_str()) != 0) {
        *error = "cannot move the new file onto \"" + destination_ + "\": " + errnoText();
        return false;
    }
    committed_ = true;
    return true;
}

std::string errnoText() {
    return std::strerror(errno);
}

std::string absolutePath(const std::string &path) {
    namespace fs = std::filesystem;
    std::error_code code;
    auto result = fs::weakly_canonical(fs::absolute(path, code), code);
    if (code) {
        auto plain = fs::absolute(path, code);
        return (code ? fs::path(path) : plain).lexically_normal().string();
    }
    return result.string();
}

} // namespace toolbox
