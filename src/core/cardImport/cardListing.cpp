#include "cardImport/cardListing.h"

#include "cardImport/importJournal.h"
#include "cardImport/mhlManifest.h"
#include "dates/recordingDate.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::int64_t nanoseconds(const struct timespec &time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

std::string joined(const std::string &folder, const std::string &name) {
    return folder.empty() ? name : folder + '/' + name;
}

// Walks the tree under root, calling onEntry(relative path, status) for every entry but the
// root; a folder that can't be opened goes to `unread` with the system's reason. `enter` says
// whether a folder is walked into.
void walk(const std::string &root, const std::string &relative,
          const std::function<bool(const std::string &, const struct stat &)> &onEntry,
          std::vector<std::string> &unread) {
    const std::string path = relative.empty() ? root : root + '/' + relative;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    DIR *folder = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (folder == nullptr) {
        unread.push_back((relative.empty() ? std::string(".") : relative) + ": " +
                         std::strerror(errno));
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    std::vector<std::pair<std::string, struct stat>> entries;
    while (const struct dirent *entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat status {};
        if (::fstatat(fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            unread.push_back(joined(relative, name) + ": " + std::strerror(errno));
            continue;
        }
        entries.emplace_back(name, status);
    }
    ::closedir(folder);
    // One folder open at a time, however deep the tree.
    for (const auto &[name, status] : entries) {
        const std::string child = joined(relative, name);
        if (onEntry(child, status) && S_ISDIR(status.st_mode)) {
            walk(root, child, onEntry, unread);
        }
    }
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A stream file of an AVCHD recording: ".../BDMV/STREAM/00001.MTS".
bool isAvchdStream(const std::string &path) {
    const std::string lower = lowered(path);
    const std::size_t slash = lower.rfind('/');
    return slash != std::string::npos && lower.size() > 4 &&
           lower.compare(lower.size() - 4, 4, ".mts") == 0 && slash >= 12 &&
           lower.compare(slash - 12, 12, "/bdmv/stream") == 0;
}

std::string dayOf(std::int64_t utcSeconds, std::int32_t offsetSeconds) {
    return QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone(offsetSeconds))
        .toString(QStringLiteral("yyyy-MM-dd"))
        .toStdString();
}

std::string realPath(const std::string &path) {
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string answer = resolved;
    std::free(resolved);
    return answer;
}

// The octal escapes of /proc/self/mountinfo ("\040" for a space).
std::string mountUnescaped(const std::string &text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '7'; })) {
                plain.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        plain.push_back(text[i]);
    }
    return plain;
}

// The hexadecimal escapes of udev's link names ("\x20" for a space).
std::string labelUnescaped(const std::string &text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() && std::isxdigit(text[i + 2]) &&
            std::isxdigit(text[i + 3])) {
            plain.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
            i += 3;
            continue;
        }
        plain.push_back(text[i]);
    }
    return plain;
}

std::string lastComponent(const std::string &path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

} // namespace

cardListing cardListingOf(const std::string &root) {
    cardListing listing;
    struct stat rootStatus {};
    if (::stat(root.c_str(), &rootStatus) == 0) {
        listing.folders.push_back(
            {std::string(), nanoseconds(rootStatus.st_atim), nanoseconds(rootStatus.st_mtim)});
    }
    walk(
        root, std::string(),
        [&](const std::string &path, const struct stat &status) {
            if (S_ISDIR(status.st_mode)) {
                listing.folders.push_back(
                    {path, nanoseconds(status.st_atim), nanoseconds(status.st_mtim)});
                return true;
            }
            cardFile file;
            file.path = path;
            file.size = status.st_size;
            file.atimeNs = nanoseconds(status.st_atim);
            file.mtimeNs = nanoseconds(status.st_mtim);
            file.mode = status.st_mode & 07777;
            file.regular = S_ISREG(status.st_mode);
            listing.files.push_back(std::move(file));
            return false;
        },
        listing.unread);
    std::sort(listing.files.begin(), listing.files.end(),
              [](const cardFile &a, const cardFile &b) { return a.path < b.path; });
    std::sort(listing.folders.begin(), listing.folders.end(),
              [](const cardFolder &a, const cardFolder &b) { return a.path < b.path; });
    return listing;
}

std::string cardVolumeName(const std::string &root, const std::string &labelsFolder) {
    const std::string real = realPath(root);
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    std::string source;
    bool mounted = false;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, mountRoot, mountPoint;
        fields >> id >> parent >> numbers >> mountRoot >> mountPoint;
        if (mountUnescaped(mountPoint) != real) {
            continue;
        }
        std::string field;
        while (fields >> field && field != "-") {
        }
        std::string type;
        fields >> type >> source;
        source = mountUnescaped(source);
        mounted = true; // the last mount on a point is the one seen there
    }
    if (mounted && !source.empty() && source.front() == '/') {
        const std::string device = realPath(source);
        if (DIR *labels = ::opendir(labelsFolder.c_str())) {
            std::string label;
            while (const struct dirent *entry = ::readdir(labels)) {
                const std::string name = entry->d_name;
                if (name != "." && name != ".." && realPath(labelsFolder + '/' + name) == device) {
                    label = labelUnescaped(name);
                }
            }
            ::closedir(labels);
            if (!label.empty()) {
                return label;
            }
        }
    }
    return lastComponent(real);
}

std::optional<std::string> cardFirstRecordingDay(const std::string &root,
                                                 const cardListing &listing) {
    std::optional<std::pair<std::int64_t, std::int32_t>> first;
    for (const cardFile &file : listing.files) {
        if (!file.regular || !isAvchdStream(file.path)) {
            continue;
        }
        const std::optional<recordingDate> date =
            recordingDateOf(QFile::decodeName(QByteArray::fromStdString(root + '/' + file.path)));
        if (date && date->fromPlaylist && date->utcSeconds &&
            (!first || *date->utcSeconds < first->first)) {
            first = std::make_pair(*date->utcSeconds, date->offsetSeconds);
        }
    }
    if (first) {
        return dayOf(first->first, first->second);
    }
    std::optional<std::int64_t> oldest;
    for (const cardFile &file : listing.files) {
        if (file.regular && (!oldest || file.mtimeNs < *oldest)) {
            oldest = file.mtimeNs;
        }
    }
    if (!oldest) {
        return std::nullopt;
    }
    const std::int64_t seconds = secondsOfNs(*oldest);
    return dayOf(seconds, QDateTime::fromSecsSinceEpoch(seconds).offsetFromUtc());
}

archiveState archiveStateOf(const std::string &copyFolder) {
    archiveState state;
    struct stat status {};
    if (::stat(copyFolder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return state;
    }
    std::vector<std::string> unread;
    walk(
        copyFolder, std::string(),
        [&](const std::string &path, const struct stat &entry) {
            if (path == kMhlFolder || lastComponent(path).rfind(kImportWorkingPrefix, 0) == 0) {
                return false;
            }
            if (S_ISREG(entry.st_mode)) {
                state.present[path] = {entry.st_size, entry.st_mtim.tv_sec};
            }
            return true;
        },
        unread);
    const mhlHistory history =
        mhlReadHistory(QFile::decodeName(QByteArray::fromStdString(copyFolder)));
    state.lastGeneration = history.lastGeneration;
    // Records are trusted only from manifests the chain vouches for; otherwise every file at
    // its name is compared again.
    if (history.problem == mhlProblem::none) {
        for (const mhlEntry &entry : history.newest) {
            state.recorded[entry.path] = {entry.size, entry.mtimeSeconds, entry.xxh64};
        }
    }
    for (const mhlEntry &entry : importJournalOf(copyFolder)) {
        state.recorded[entry.path] = {entry.size, entry.mtimeSeconds, entry.xxh64};
    }
    return state;
}
