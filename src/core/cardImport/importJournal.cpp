#include "cardImport/importJournal.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::string importJournalLine(const mhlEntry &entry) {
    // The path is last and runs to the end of the line; a line break in a name is the one byte
    // it may not hold as it is.
    std::string path;
    for (const char c : entry.path) {
        if (c == '\n') {
            path += "%0A";
        } else if (c == '%') {
            path += "%25";
        } else {
            path.push_back(c);
        }
    }
    return xxh64Hex(entry.xxh64) + ' ' + std::to_string(entry.size) + ' ' +
           std::to_string(entry.mtimeSeconds) + ' ' + std::to_string(entry.hashSeconds) + ' ' +
           path + '\n';
}

namespace {

template <typename T> bool number(std::string_view text, T &value, int base = 10) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

std::string unescaped(std::string_view path) {
    std::string plain;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path.substr(i, 3) == "%0A") {
            plain.push_back('\n');
            i += 2;
        } else if (path.substr(i, 3) == "%25") {
            plain.push_back('%');
            i += 2;
        } else {
            plain.push_back(path[i]);
        }
    }
    return plain;
}

} // namespace

std::vector<mhlEntry> importJournalRead(const std::string &text) {
    std::vector<mhlEntry> entries;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            break; // cut short: the file it was about is copied again
        }
        const std::string_view line(text.data() + from, end - from);
        from = end + 1;
        std::string_view fields[4];
        std::size_t at = 0;
        bool shaped = true;
        for (std::string_view &field : fields) {
            const std::size_t space = line.find(' ', at);
            if (space == std::string_view::npos) {
                shaped = false;
                break;
            }
            field = line.substr(at, space - at);
            at = space + 1;
        }
        mhlEntry entry;
        if (!shaped || fields[0].size() != 16 || !number(fields[0], entry.xxh64, 16) ||
            !number(fields[1], entry.size) || !number(fields[2], entry.mtimeSeconds) ||
            !number(fields[3], entry.hashSeconds) || at >= line.size()) {
            continue;
        }
        entry.path = unescaped(line.substr(at));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<mhlEntry> importJournalOf(const std::string &copyFolder) {
    std::ifstream journal(copyFolder + '/' + kImportJournal, std::ios::binary);
    if (!journal) {
        return {};
    }
    std::ostringstream text;
    text << journal.rdbuf();
    return importJournalRead(text.str());
}

importJournal::~importJournal() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool importJournal::open(const std::string &copyFolder) {
    path_ = copyFolder + '/' + kImportJournal;
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
    return fd_ >= 0;
}

bool importJournal::append(const mhlEntry &entry) {
    const std::string line = importJournalLine(entry);
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t wrote = ::write(fd_, line.data() + done, line.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return ::fdatasync(fd_) == 0;
}

void importJournal::remove() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!path_.empty()) {
        ::unlink(path_.c_str());
    }
}
