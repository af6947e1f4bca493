#include "fileIo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

bool File::open(const std::string &path, bool readWrite) {
    close();
    fd_ = ::open(path.c_str(), (readWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    return fd_ >= 0;
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

TemporaryOutput::~TemporaryOutput() {
    file_.close();
    if (!committed_ && !temporaryPath_.empty())
        ::unlink(temporaryPath_.c_str());
}

bool TemporaryOutput::create(const std::string &destination, std::string *error) {
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
    std::error_code code;
    if (!fs::is_directory(folder, code)) {
        *error = "no folder \"" + folder.string() + "\" for \"" + destination + "\"";
        return false;
    }
    // Hidden and marked as partial: never mistaken for a finished movie.
    std::string pattern = (folder / ("." + target.filename().string() + ".part-XXXXXX")).string();
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot create a file in \"" + folder.string() + "\": " + errnoText();
        return false;
    }
    fchmod(fd, 0644);
    file_.adopt(fd);
    temporaryPath_ = pattern;
    return true;
}

bool TemporaryOutput::commit(std::string *error, bool flush) {
    if (flush && !file_.sync()) {
        *error = "cannot write \"" + destination_ + "\": " + errnoText();
        return false;
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
    if (code)
        return fs::absolute(path).lexically_normal().string();
    return result.string();
}

} // namespace toolbox
