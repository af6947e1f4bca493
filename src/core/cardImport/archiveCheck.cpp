#include "cardImport/archiveCheck.h"

#include "cardImport/cardListing.h"

#include <QFile>

#include <cerrno>
#include <map>

archiveCheckResult checkArchive(const std::string &folder, const copyBytesFn &onBytes) {
    archiveCheckResult result;
    const mhlHistory history = mhlReadHistory(QFile::decodeName(QByteArray::fromStdString(folder)));
    result.problem = history.problem;
    result.problemFile = history.problemFile;
    result.generations = static_cast<int>(history.links.size());
    const archiveState state = archiveStateOf(folder);
    std::map<std::string, const mhlEntry *> listed;
    for (const mhlEntry &entry : history.newest) {
        listed[entry.path] = &entry;
    }
    result.listed = listed.size();
    std::map<std::string, archiveCheckItem> findings;
    bool stopped = false;
    for (const auto &[path, entry] : listed) {
        if (stopped) {
            break;
        }
        if (state.present.find(path) == state.present.end()) {
            findings[path] = {path, archiveFileState::missing, ENOENT};
            continue;
        }
        std::int64_t bytes = 0;
        const std::optional<std::uint64_t> hash = xxh64OfFile(folder + '/' + path, &bytes, onBytes);
        if (!hash) {
            stopped = errno == ECANCELED;
            if (!stopped) {
                findings[path] = {path, archiveFileState::unreadable, errno};
            }
        } else if (*hash != entry->xxh64 || bytes != entry->size) {
            findings[path] = {path, archiveFileState::changed, 0};
        } else {
            ++result.intact;
        }
    }
    for (const auto &[path, present] : state.present) {
        if (listed.find(path) == listed.end()) {
            findings[path] = {path, archiveFileState::notListed, 0};
        }
    }
    for (auto &[path, item] : findings) {
        result.findings.push_back(std::move(item));
    }
    return result;
}
