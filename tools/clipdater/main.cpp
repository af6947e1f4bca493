// clipdater: prints the recording date and time of every clip listed in the playlist files
// (*.MPL) of an AVCHD recording.
//
//   clipdater <playlist folder>
//
// Each playlist is read whole and searched by two byte markers only: the start marker
// FF FF 1E 20 opens the clip records, and every later record marker 1E 20 (the second byte is
// the century 20 in BCD) is one record. Around a record marker at m:
//   m-4      first clip-number byte A      m-1      second clip-number byte B
//   m+2..m+7 year (within the century), month, day, hour, minute, second, BCD
// One line per record goes to standard output, "AAABB : clip-20YY-MM-DD hh;mm;ss" (A and B in
// decimal, the date bytes as two hexadecimal digits each, which are the BCD digits). Fluxaro
// matches the part before " : " with the clip's stream file name (00001 for 00001.MTS).
//
// Usage and error messages go to standard error. Only a playlist whose status cannot be read
// gives exit status 1; every other failure stops the listing with status 0, and the lines
// printed before it stay printed.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace {

constexpr const char *kVersion = "0.1";

// AVCHD playlists are a few kilobytes; a "playlist" larger than this is refused instead of being
// loaded into memory whole.
constexpr std::int64_t kMaxPlaylistSize = std::int64_t{64} * 1024 * 1024;

constexpr unsigned char kStartMarker[] = {0xFF, 0xFF, 0x1E, 0x20};
constexpr unsigned char kRecordFirst = 0x1E;
constexpr unsigned char kRecordSecond = 0x20;

// What happened to one playlist file.
enum class FileResult { Listed, StopListing, StatFailed };

const char *errorText(int errorNumber) {
    return std::strerror(errorNumber);
}

bool isPlaylistName(std::string_view name) {
    constexpr std::string_view suffix = ".MPL";
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

// Position of the first start marker that begins at 0..size-5 (a marker in the last four bytes
// is not taken), or -1.
std::int64_t findStartMarker(const unsigned char *data, std::int64_t size) {
    // The marker must begin at size-5 at the latest, so it lies within the first size-1 bytes.
    const std::int64_t searched = size - 1;
    if (searched < static_cast<std::int64_t>(sizeof kStartMarker)) {
        return -1;
    }
    const void *found =
        memmem(data, static_cast<std::size_t>(searched), kStartMarker, sizeof kStartMarker);
    return found == nullptr ? -1 : static_cast<const unsigned char *>(found) - data;
}

// Position of the next record marker at from..size-3, or -1.
std::int64_t findRecordMarker(const unsigned char *data, std::int64_t size, std::int64_t from) {
    const std::int64_t last = size - 3;
    std::int64_t pos = from;
    while (pos <= last) {
        const void *found =
            std::memchr(data + pos, kRecordFirst, static_cast<std::size_t>(last - pos + 1));
        if (found == nullptr) {
            return -1;
        }
        pos = static_cast<const unsigned char *>(found) - data;
        if (data[pos + 1] == kRecordSecond) {
            return pos;
        }
        ++pos;
    }
    return -1;
}

// Prints the output line of the record whose marker is at m (m-4 >= 0, m+7 < size).
void printRecord(const unsigned char *data, std::int64_t m) {
    std::printf("%03u%02u : clip-20%02X-%02X-%02X %02X;%02X;%02X\n", unsigned{data[m - 4]},
                unsigned{data[m - 1]}, unsigned{data[m + 2]}, unsigned{data[m + 3]},
                unsigned{data[m + 4]}, unsigned{data[m + 5]}, unsigned{data[m + 6]},
                unsigned{data[m + 7]});
}

void listRecords(const unsigned char *data, std::int64_t size) {
    const std::int64_t start = findStartMarker(data, size);
    if (start < 0) {
        return;
    }
    // The search begins right after the start marker, so a record marker is at least four bytes
    // into the file and its clip-number bytes lie inside it.
    std::int64_t pos = start + static_cast<std::int64_t>(sizeof kStartMarker);
    for (;;) {
        const std::int64_t m = findRecordMarker(data, size, pos);
        if (m < 0) {
            return;
        }
        // A record whose date runs past the end of the file ends this file's search.
        if (m + 7 > size - 1) {
            return;
        }
        printRecord(data, m);
        pos = m + 2;
    }
}

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

FileResult readPlaylist(const char *name) {
    struct stat status {};
    if (stat(name, &status) != 0) {
        std::fprintf(stderr, "Error getting file stats:%s:%s\n", name, errorText(errno));
        return FileResult::StatFailed;
    }

    // O_NONBLOCK: a FIFO named like a playlist must not hang the listing waiting for a writer.
    // O_NOATIME where the system lets this process say so: reading a card leaves it unchanged.
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) {
        std::fprintf(stderr, "Error opening file:%s:%s\n", name, errorText(errno));
        return FileResult::StopListing;
    }
    FdCloser closer{fd};
    // A folder opens for reading on Linux but is no file to read; a playlist beyond any real size
    // is refused rather than loaded.
    int refusal = 0;
    if (S_ISDIR(status.st_mode)) {
        refusal = EISDIR;
    } else if (status.st_size > kMaxPlaylistSize) {
        refusal = EFBIG;
    }
    if (refusal != 0) {
        std::fprintf(stderr, "Error opening file:%s:%s\n", name, errorText(refusal));
        return FileResult::StopListing;
    }

    const std::int64_t size = status.st_size;
    std::unique_ptr<unsigned char[]> buffer(
        new (std::nothrow) unsigned char[static_cast<std::size_t>(size)]);
    if (!buffer) {
        std::fprintf(stderr, "Error opening file:%s:%s\n", name, errorText(ENOMEM));
        return FileResult::StopListing;
    }
    std::int64_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, buffer.get() + got, static_cast<std::size_t>(size - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += n;
    }
    if (got < size) {
        std::fprintf(stderr,
                     "Could not read all the characters in the file:Expecting %lld "
                     "characters:Read %lld characters\n",
                     static_cast<long long>(size), static_cast<long long>(got));
        return FileResult::StopListing;
    }
    listRecords(buffer.get(), size);
    return FileResult::Listed;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Version: %s\n", kVersion);
        std::fprintf(stderr, "Usage: %s <path to folder containing *.CPI files\n",
                     argc > 0 && argv[0] != nullptr ? argv[0] : "clipdater");
        return 0;
    }
    const char *folder = argv[1];
    if (chdir(folder) != 0) {
        std::fprintf(stderr, "Cannot change directory:%s:%s\n", folder, errorText(errno));
        return 0;
    }
    DIR *dir = opendir(".");
    if (dir == nullptr) {
        std::fprintf(stderr, "Error reading directory:%s:%s\n", folder, errorText(errno));
        return 0;
    }
    int exitStatus = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                std::fprintf(stderr, "Error reading directory:%s:%s\n", folder, errorText(errno));
            }
            break;
        }
        if (!isPlaylistName(entry->d_name)) {
            continue;
        }
        const FileResult result = readPlaylist(entry->d_name);
        if (result == FileResult::StatFailed) {
            exitStatus = 1;
            break;
        }
        if (result == FileResult::StopListing) {
            break;
        }
    }
    closedir(dir);
    return exitStatus;
}
