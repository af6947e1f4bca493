#include "cardImport/cardCopy.h"

#include "cardImport/mhlManifest.h"
#include "platform/renameNoReplace.h"

#include <xxhash.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Big enough that a read and its writes cost little per byte, small enough for the cache.
constexpr std::size_t kBlock = 4 * 1024 * 1024;

struct xxhState {
    XXH64_state_t *state = XXH64_createState();
    xxhState() { XXH64_reset(state, 0); }
    ~xxhState() { XXH64_freeState(state); }
    xxhState(const xxhState &) = delete;
    xxhState &operator=(const xxhState &) = delete;
};

struct fileDescriptor {
    int fd = -1;
    explicit fileDescriptor(int value = -1) : fd(value) {}
    ~fileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    fileDescriptor(const fileDescriptor &) = delete;
    fileDescriptor &operator=(const fileDescriptor &) = delete;
    fileDescriptor(fileDescriptor &&other) noexcept : fd(other.fd) { other.fd = -1; }
};

char *blockBuffer() {
    thread_local std::unique_ptr<char[]> buffer(new char[kBlock]);
    return buffer.get();
}

bool isFull(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

copyTargetResult failureOf(int error) {
    return {isFull(error) ? copyOutcome::archiveFull : copyOutcome::writeFailed, error};
}

ssize_t readSome(int fd, char *buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

bool writeAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t wrote = ::write(fd, data, size);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            if (wrote == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

std::string parentOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// ".fluxaro-<10 letters and digits>" beside the final name.
std::string workingPathFor(const std::string &finalPath) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random(std::random_device{}());
    std::string name = kImportWorkingPrefix;
    for (int i = 0; i < 10; ++i) {
        name.push_back(kLetters[random() % (sizeof kLetters - 1)]);
    }
    return parentOf(finalPath) + '/' + name;
}

int openSource(const std::string &path) {
    // No access time written on the card where the system lets this process say so.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    return fd;
}

void syncFolder(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Hashes what fd gives from its start, its cached pages dropped first (the written data is on
// the disk already, so the reads come from there).
std::optional<std::uint64_t> hashFromDisk(int fd, std::int64_t *bytes, const copyBytesFn &onBytes) {
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        return std::nullopt;
    }
    xxhState hash;
    char *buffer = blockBuffer();
    std::int64_t total = 0;
    for (;;) {
        const ssize_t got = readSome(fd, buffer, kBlock);
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        XXH64_update(hash.state, buffer, static_cast<std::size_t>(got));
        total += got;
        if (onBytes && !onBytes(got)) {
            errno = ECANCELED;
            return std::nullopt;
        }
    }
    // Read once: its pages are no use to the cache now.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    if (bytes != nullptr) {
        *bytes = total;
    }
    return XXH64_digest(hash.state);
}

// Gives a written copy its times, flushes it, reads it back from the disk and renames it into
// place when the hashes agree; the working file is gone whatever happens.
} // namespace

// One copy being written.
struct fileCopyJob::writing {
    std::size_t target = 0;
    std::string working;
    fileDescriptor fd;
    bool failed = false;
};

namespace {

copyTargetResult finishCopy(fileCopyJob::writing &copy, const cardFile &file,
                            const std::string &finalPath, std::uint64_t expected,
                            std::int64_t bytes) {
    const int fd = copy.fd.fd;
    const struct timespec times[2] = {
        {static_cast<time_t>(secondsOfNs(file.atimeNs)),
         static_cast<long>(file.atimeNs - secondsOfNs(file.atimeNs) * 1000000000)},
        {static_cast<time_t>(secondsOfNs(file.mtimeNs)),
         static_cast<long>(file.mtimeNs - secondsOfNs(file.mtimeNs) * 1000000000)}};
    copyTargetResult result{copyOutcome::verified, 0};
    // The owner may read and write its copy whatever the card's mount said.
    // ftruncate: the room taken beforehand may exceed what the card gave.
    if (::ftruncate(fd, bytes) != 0 || ::fchmod(fd, (file.mode & 0777) | 0600) != 0 ||
        ::futimens(fd, times) != 0 || ::fsync(fd) != 0) {
        result = failureOf(errno);
    } else {
        std::int64_t readBack = 0;
        const std::optional<std::uint64_t> hash = hashFromDisk(fd, &readBack, {});
        if (!hash) {
            result = failureOf(errno);
        } else if (*hash != expected || readBack != bytes) {
            result = {copyOutcome::readBackDiffers, 0};
        }
    }
    ::close(copy.fd.fd);
    copy.fd.fd = -1;
    if (result.outcome == copyOutcome::verified &&
        !renameNoReplace(copy.working.c_str(), finalPath.c_str())) {
        result =
            errno == EEXIST ? copyTargetResult{copyOutcome::nameTaken, EEXIST} : failureOf(errno);
    }
    if (result.outcome != copyOutcome::verified) {
        ::unlink(copy.working.c_str());
    } else {
        syncFolder(parentOf(finalPath));
    }
    return result;
}

} // namespace

std::size_t removeStaleWorkingFiles(const std::string &copyFolder) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::size_t removed = 0;
    const std::string prefix = kImportWorkingPrefix;
    const std::string journal = prefix + "import";
    std::vector<fs::path> stale;
    for (auto it = fs::recursive_directory_iterator(copyFolder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name != journal && it->is_regular_file(error) &&
            !it->is_symlink(error)) {
            stale.push_back(it->path());
        }
    }
    for (const fs::path &path : stale) {
        removed += fs::remove(path, error) ? 1 : 0;
    }
    return removed;
}

bool makeFolders(const std::string &path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return true;
        }
        errno = ENOTDIR;
        return false;
    }
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash))) {
        return false;
    }
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool setFolderTimes(const std::string &path, std::int64_t atimeNs, std::int64_t mtimeNs) {
    const struct timespec times[2] = {
        {static_cast<time_t>(secondsOfNs(atimeNs)),
         static_cast<long>(atimeNs - secondsOfNs(atimeNs) * 1000000000)},
        {static_cast<time_t>(secondsOfNs(mtimeNs)),
         static_cast<long>(mtimeNs - secondsOfNs(mtimeNs) * 1000000000)}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

std::optional<std::uint64_t> xxh64OfFile(const std::string &path, std::int64_t *bytes,
                                         const copyBytesFn &onBytes) {
    const fileDescriptor fd(openSource(path));
    if (fd.fd < 0) {
        return std::nullopt;
    }
    return hashFromDisk(fd.fd, bytes, onBytes);
}

fileCopyJob::fileCopyJob(const std::string &sourcePath, const cardFile &file,
                         std::vector<copyTarget> targets, const copyBytesFn &onBytes)
    : file_(file), targets_(std::move(targets)) {
    result_.targets.assign(targets_.size(), copyTargetResult{});
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        if (targets_[i].action != fileAction::copy) {
            continue;
        }
        writing copy;
        copy.target = i;
        if (!makeFolders(parentOf(targets_[i].finalPath))) {
            result_.targets[i] = failureOf(errno);
            continue;
        }
        copy.working = workingPathFor(targets_[i].finalPath);
        copy.fd.fd = ::open(copy.working.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (copy.fd.fd < 0) {
            result_.targets[i] = failureOf(errno);
            continue;
        }
        // The room for the whole file at once: a full disk is said before the card is read.
        if (file.size > 0) {
            const int status = ::posix_fallocate(copy.fd.fd, 0, file.size);
            if (status != 0 && status != EOPNOTSUPP && status != EINVAL) {
                result_.targets[i] = failureOf(status);
                ::unlink(copy.working.c_str());
                continue;
            }
        }
        copies_.push_back(std::move(copy));
    }
    const auto dropCopies = [&](copyTargetResult why) {
        for (writing &copy : copies_) {
            if (!copy.failed) {
                result_.targets[copy.target] = why;
                ::unlink(copy.working.c_str());
                copy.failed = true;
            }
        }
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            if (targets_[i].action == fileAction::compare) {
                result_.targets[i] = why;
            }
        }
    };
    bool comparing = false;
    for (const copyTarget &target : targets_) {
        comparing = comparing || target.action == fileAction::compare;
    }
    if (copies_.empty() && !comparing) {
        return;
    }

    const fileDescriptor source(openSource(sourcePath));
    if (source.fd < 0) {
        dropCopies({copyOutcome::readFailed, errno});
        return;
    }
    // The card is read once, from start to end.
    ::posix_fadvise(source.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    xxhState hash;
    char *buffer = blockBuffer();
    std::optional<copyTargetResult> stop;
    for (;;) {
        const ssize_t got = readSome(source.fd, buffer, kBlock);
        if (got < 0) {
            stop = copyTargetResult{copyOutcome::readFailed, errno};
            break;
        }
        if (got == 0) {
            break;
        }
        XXH64_update(hash.state, buffer, static_cast<std::size_t>(got));
        result_.bytes += got;
        for (writing &copy : copies_) {
            if (!copy.failed && !writeAll(copy.fd.fd, buffer, static_cast<std::size_t>(got))) {
                result_.targets[copy.target] = failureOf(errno);
                ::unlink(copy.working.c_str());
                copy.failed = true;
            }
        }
        if (onBytes && !onBytes(got)) {
            stop = copyTargetResult{copyOutcome::stopped, 0};
            break;
        }
    }
    // What was read is no use to the cache: the copies are read back from their own disks.
    ::posix_fadvise(source.fd, 0, 0, POSIX_FADV_DONTNEED);
    struct stat after {};
    if (!stop && (::fstat(source.fd, &after) != 0 || after.st_size != result_.bytes)) {
        // The file changed while it was read (or the card went): what was read is not it.
        stop = copyTargetResult{copyOutcome::readFailed, EIO};
    }
    if (stop) {
        dropCopies(*stop);
        return;
    }
    result_.xxh64 = XXH64_digest(hash.state);
    readAll_ = true;
}

fileCopyJob::~fileCopyJob() {
    for (writing &copy : copies_) {
        if (copy.fd.fd >= 0 && !copy.failed) {
            ::unlink(copy.working.c_str());
        }
    }
}

fileCopyResult fileCopyJob::finish() {
    if (!readAll_) {
        return result_;
    }
    readAll_ = false;
    // Each copy flushed and read back on its own disk at once.
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < copies_.size(); ++k) {
        if (copies_[k].failed) {
            continue;
        }
        const auto work = [this, k] {
            writing &copy = copies_[k];
            result_.targets[copy.target] = finishCopy(copy, file_, targets_[copy.target].finalPath,
                                                      result_.xxh64, result_.bytes);
            copy.failed = true; // done with: nothing of it left to delete
        };
        if (k + 1 == copies_.size()) {
            work();
        } else {
            threads.emplace_back(work);
        }
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        if (targets_[i].action != fileAction::compare) {
            continue;
        }
        std::int64_t bytes = 0;
        const std::optional<std::uint64_t> there = xxh64OfFile(targets_[i].finalPath, &bytes);
        if (!there) {
            result_.targets[i] = failureOf(errno);
        } else if (*there != result_.xxh64 || bytes != result_.bytes) {
            result_.targets[i] = {copyOutcome::nameTaken, EEXIST};
        } else {
            result_.targets[i] = {copyOutcome::verified, 0};
        }
    }
    return result_;
}
