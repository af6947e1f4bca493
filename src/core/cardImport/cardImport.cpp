#include "cardImport/cardImport.h"

#include "cardImport/cardListing.h"
#include "cardImport/importJournal.h"
#include "cardImport/mhlManifest.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string realPath(const std::string &path) {
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return {};
    }
    std::string answer = resolved;
    std::free(resolved);
    return answer;
}

// The path made absolute and clean, its existing part with links resolved: where a folder that
// is not made yet would be.
std::string whereItWouldBe(const std::string &path) {
    std::string existing = QDir::cleanPath(QDir::current().absoluteFilePath(
                                               QFile::decodeName(QByteArray::fromStdString(path))))
                               .toStdString();
    std::string rest;
    while (!existing.empty() && realPath(existing).empty()) {
        const std::size_t slash = existing.rfind('/');
        rest = existing.substr(slash) + rest;
        existing = existing.substr(0, slash);
    }
    return (existing.empty() ? std::string() : realPath(existing)) + rest;
}

bool isWithin(const std::string &path, const std::string &folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            (folder == "/" || path[folder.size()] == '/'));
}

QString hostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return QString::fromLocal8Bit(name);
}

cardImportResult refused(importRefusal why, const std::string &path, int error) {
    cardImportResult result;
    result.refusal = why;
    result.refusalPath = path;
    result.refusalError = error;
    return result;
}

} // namespace

cardImportResult cardImportRun(const std::string &card, const std::vector<std::string> &archives,
                               const QString &toolVersion, const importProgressFn &onProgress) {
    const std::string cardRoot = realPath(card);
    struct stat cardStatus {};
    if (cardRoot.empty() || ::stat(cardRoot.c_str(), &cardStatus) != 0 ||
        !S_ISDIR(cardStatus.st_mode)) {
        return refused(importRefusal::cardUnreadable, card, cardRoot.empty() ? errno : ENOTDIR);
    }
    // Nothing is made before every archive is known to lie outside the card.
    std::vector<std::string> places;
    for (const std::string &archive : archives) {
        const std::string place = whereItWouldBe(archive);
        if (isWithin(place, cardRoot)) {
            return refused(importRefusal::archiveInsideCard, archive, 0);
        }
        for (const std::string &other : places) {
            if (other == place) {
                return refused(importRefusal::sameArchiveTwice, archive, 0);
            }
        }
        places.push_back(place);
    }
    for (const std::string &archive : archives) {
        if (!makeFolders(archive)) {
            return refused(importRefusal::archiveNotFolder, archive, errno);
        }
    }

    cardImportResult result;
    const cardListing listing = cardListingOf(cardRoot);
    for (const std::string &unread : listing.unread) {
        if (unread.rfind(".: ", 0) == 0) {
            return refused(importRefusal::cardUnreadable, card, EACCES);
        }
    }
    result.unreadFolders = listing.unread;
    result.cardFiles = listing.files.size();
    for (const cardFile &file : listing.files) {
        result.cardBytes += file.size;
    }
    result.folderName =
        cardFolderName(cardFirstRecordingDay(cardRoot, listing), cardVolumeName(cardRoot));

    std::vector<archiveState> states;
    for (const std::string &archive : archives) {
        archiveImportOutcome outcome;
        outcome.archive = archive;
        outcome.copyFolder = realPath(archive) + '/' + result.folderName;
        const mhlHistory history =
            mhlReadHistory(QFile::decodeName(QByteArray::fromStdString(outcome.copyFolder)));
        outcome.manifestSound =
            history.problem == mhlProblem::none || history.problem == mhlProblem::noManifest;
        // What a killed import was writing is no copy of anything.
        removeStaleWorkingFiles(outcome.copyFolder);
        states.push_back(archiveStateOf(outcome.copyFolder));
        result.archives.push_back(std::move(outcome));
    }
    const cardImportPlanValue plan = cardImportPlan(listing, result.folderName, states);

    std::vector<std::unique_ptr<importJournal>> journals;
    for (archiveImportOutcome &outcome : result.archives) {
        journals.push_back(std::make_unique<importJournal>());
        if (!makeFolders(outcome.copyFolder) || !journals.back()->open(outcome.copyFolder)) {
            result.stop = importStop::archiveFull;
            result.stopArchive = outcome.archive;
            outcome.manifestError = QString::fromLocal8Bit(std::strerror(errno));
        }
    }

    importProgressValue progress;
    progress.fileCount = plan.filesToRead;
    progress.bytesTotal = plan.bytesToRead;
    for (std::size_t i = 0; i < listing.files.size() && result.stop == importStop::none; ++i) {
        const cardFile &file = listing.files[i];
        std::vector<copyTarget> targets;
        std::vector<std::size_t> targetArchive;
        for (std::size_t a = 0; a < result.archives.size(); ++a) {
            archiveImportOutcome &outcome = result.archives[a];
            const fileAction action = plan.archives[a].actions[i];
            if (action == fileAction::verified) {
                ++outcome.alreadyVerified;
            } else if (action == fileAction::skip) {
                outcome.failures.push_back({file.path, copyOutcome::readFailed, 0, true});
            } else {
                targets.push_back({outcome.copyFolder + '/' + file.path, action});
                targetArchive.push_back(a);
            }
        }
        if (targets.empty()) {
            continue;
        }
        ++progress.fileNumber;
        progress.path = file.path;
        if (onProgress && !onProgress(progress)) {
            result.stop = importStop::stopped;
            break;
        }
        const fileCopyResult copied =
            copyCardFile(cardRoot + '/' + file.path, file, targets, [&](std::int64_t bytes) {
                progress.bytesDone += bytes;
                return !onProgress || onProgress(progress);
            });
        for (std::size_t t = 0; t < targets.size(); ++t) {
            archiveImportOutcome &outcome = result.archives[targetArchive[t]];
            const copyTargetResult &done = copied.targets[t];
            if (done.outcome == copyOutcome::verified) {
                mhlEntry entry;
                entry.path = file.path;
                entry.size = copied.bytes;
                entry.mtimeSeconds = secondsOfNs(file.mtimeNs);
                entry.xxh64 = copied.xxh64;
                entry.hashSeconds = QDateTime::currentSecsSinceEpoch();
                if (!QByteArrayView(file.path.data(), static_cast<qsizetype>(file.path.size()))
                         .isValidUtf8()) {
                    outcome.failures.push_back({file.path, copyOutcome::verified, 0, false, true});
                    continue;
                }
                if (journals[targetArchive[t]]->append(entry)) {
                    ++outcome.verified;
                    continue;
                }
                // Verified but not noted: the next import compares it again.
                outcome.failures.push_back({file.path, copyOutcome::archiveFull, errno, false});
                result.stop = importStop::archiveFull;
                result.stopArchive = outcome.archive;
                continue;
            }
            outcome.failures.push_back({file.path, done.outcome, done.error, false});
            if (done.outcome == copyOutcome::archiveFull) {
                result.stop = importStop::archiveFull;
                result.stopArchive = outcome.archive;
            } else if (done.outcome == copyOutcome::stopped) {
                result.stop = importStop::stopped;
            }
        }
        // A card pulled out fails every read: the import ends rather than failing each file.
        struct stat rootNow {};
        if (result.stop == importStop::none &&
            (::stat(cardRoot.c_str(), &rootNow) != 0 || rootNow.st_ino != cardStatus.st_ino ||
             rootNow.st_dev != cardStatus.st_dev)) {
            result.stop = importStop::cardGone;
        }
    }

    // Each copy's manifest: what the journal holds since the last generation, whether the import
    // ended or stopped (a resumed import then writes the next generation).
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    for (std::size_t a = 0; a < result.archives.size(); ++a) {
        archiveImportOutcome &outcome = result.archives[a];
        const std::vector<mhlEntry> entries = importJournalOf(outcome.copyFolder);
        if (entries.empty()) {
            journals[a]->remove();
            continue;
        }
        mhlCreator creator;
        creator.creationSeconds = now;
        creator.offsetSeconds = QDateTime::fromSecsSinceEpoch(now).offsetFromUtc();
        creator.hostName = hostName();
        creator.toolVersion = toolVersion;
        QString why;
        const std::optional<QString> written =
            mhlWriteGeneration(QFile::decodeName(QByteArray::fromStdString(outcome.copyFolder)),
                               QString::fromStdString(result.folderName),
                               plan.archives[a].nextGeneration, creator, entries, &why);
        if (written) {
            outcome.generationFile = *written;
            journals[a]->remove();
        } else {
            outcome.manifestError = why;
        }
    }
    // The copy's folders get the card's folders' times, the deepest first (the root's last, as
    // writing the manifests changed it).
    for (std::size_t a = 0; a < result.archives.size(); ++a) {
        for (auto folder = listing.folders.rbegin(); folder != listing.folders.rend(); ++folder) {
            const std::string path = result.archives[a].copyFolder +
                                     (folder->path.empty() ? std::string() : '/' + folder->path);
            setFolderTimes(path, folder->atimeNs, folder->mtimeNs);
        }
    }

    bool safe = result.stop == importStop::none && listing.unread.empty();
    for (const archiveImportOutcome &outcome : result.archives) {
        safe = safe && outcome.failures.empty() && outcome.manifestError.isEmpty() &&
               outcome.manifestSound &&
               outcome.verified + outcome.alreadyVerified == listing.files.size();
        // An archive whose every file was verified before still needs a manifest that says so.
        safe = safe && (!outcome.generationFile.isEmpty() || outcome.alreadyVerified > 0 ||
                        listing.files.empty());
    }
    result.safeToFormat = safe && !result.archives.empty();
    return result;
}
