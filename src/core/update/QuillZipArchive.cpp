#include "update/QuillZipArchive.h"

#include "platform/log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <minizip/unzip.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr const char *errorDomain = "QuillZipArchiveErrorDomain";

void setError(zipArchiveError *error, int32_t code, const QString &message) {
    logStr(QStringLiteral("unzip               :-( %1").arg(message));
    if (error != nullptr) {
        error->domain = QString::fromLatin1(errorDomain);
        error->code = code;
        error->message = message;
    }
}

struct unzCloser {
    void operator()(void *handle) const {
        if (handle != nullptr) {
            unzClose(handle);
        }
    }
};
using unzHandle = std::unique_ptr<void, unzCloser>;

struct entryInfo {
    QString name; ///< relative, "/" separated; ends with "/" for a folder
    bool folder = false;
    uint64_t size = 0;
    uLong dosDate = 0;
    tm_unz date{};
};

// Reads the current entry's header: its raw name and facts.
bool currentEntry(unzFile zip, QByteArray *rawName, unz_file_info64 *info) {
    if (unzGetCurrentFileInfo64(zip, info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return false;
    }
    rawName->resize(static_cast<qsizetype>(info->size_filename));
    if (info->size_filename == 0) {
        return true;
    }
    return unzGetCurrentFileInfo64(zip, info, rawName->data(), info->size_filename, nullptr, 0,
                                   nullptr, 0) == UNZ_OK;
}

bool isSymlinkEntry(const unz_file_info64 &info) {
    const uLong host = info.version >> 8;
    // Unix (3) and macOS (19) hosts keep the mode in the high half of the external attributes.
    if (host != 3 && host != 19) {
        return false;
    }
    return ((info.external_fa >> 16) & S_IFMT) == S_IFLNK;
}

// Moving the staged tree into the destination: checks first, so that a conflict leaves the
// destination untouched, then renames.
bool mergeCheck(const QString &staged, const QString &target, bool overwrite) {
    const QFileInfo targetInfo(target);
    if (targetInfo.isSymLink()) {
        // Writing there would reach through the link; replacing a link is refused as well.
        return false;
    }
    if (!targetInfo.exists()) {
        return true;
    }
    const QFileInfo stagedInfo(staged);
    if (stagedInfo.isDir()) {
        if (!targetInfo.isDir()) {
            return false;
        }
        const QStringList names =
            QDir(staged).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString &name : names) {
            if (!mergeCheck(staged + QLatin1Char('/') + name, target + QLatin1Char('/') + name,
                            overwrite)) {
                return false;
            }
        }
        return true;
    }
    (void)overwrite;
    return !targetInfo.isDir();
}

bool mergeMove(const QString &staged, const QString &target, bool overwrite) {
    const QFileInfo targetInfo(target);
    if (!targetInfo.exists()) {
        return ::rename(QFile::encodeName(staged).constData(),
                        QFile::encodeName(target).constData()) == 0;
    }
    if (QFileInfo(staged).isDir()) {
        const QStringList names =
            QDir(staged).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString &name : names) {
            if (!mergeMove(staged + QLatin1Char('/') + name, target + QLatin1Char('/') + name,
                           overwrite)) {
                return false;
            }
        }
        return true;
    }
    if (!overwrite) {
        return true;
    }
    // rename(2) replaces the old file in one step.
    return ::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) ==
           0;
}

} // namespace

std::optional<QString> QuillZipArchive::safeEntryName(const QByteArray &rawName) {
    if (rawName.isEmpty() || rawName.contains('\0')) {
        return std::nullopt;
    }
    QString name = QString::fromUtf8(rawName);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.startsWith(QLatin1Char('/'))) {
        return std::nullopt;
    }
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter()) {
        return std::nullopt;
    }
    const bool folder = name.endsWith(QLatin1Char('/'));
    QStringList kept;
    for (const QString &part : name.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String(".")) {
            continue;
        }
        if (part == QLatin1String("..")) {
            return std::nullopt;
        }
        kept.append(part);
    }
    if (kept.isEmpty()) {
        return std::nullopt;
    }
    QString result = kept.join(QLatin1Char('/'));
    if (folder) {
        result += QLatin1Char('/');
    }
    return result;
}

bool QuillZipArchive::unzipFileAtPath(const QString &path, const QString &destination) {
    return unzipFileAtPath(path, destination, true, QString(), nullptr);
}

bool QuillZipArchive::unzipFileAtPath(const QString &path, const QString &destination,
                                      bool overwrite, const QString &password,
                                      zipArchiveError *error, const zipArchiveLimits &limits) {
    unzHandle zip(unzOpen64(QFile::encodeName(path).constData()));
    if (!zip) {
        setError(error, errOpenArchive, QStringLiteral("failed to open zip file"));
        return false;
    }
    if (unzGoToFirstFile(zip.get()) != UNZ_OK) {
        setError(error, errFirstEntry, QStringLiteral("failed to open first file in zip file"));
        return false;
    }

    // First pass: every entry's name and facts, before anything is written.
    std::vector<entryInfo> entries;
    uint64_t announced = 0;
    int status = UNZ_OK;
    do {
        if (static_cast<int64_t>(entries.size()) >= limits.maxEntries) {
            setError(error, errTooLarge, QStringLiteral("too many entries"));
            return false;
        }
        QByteArray rawName;
        unz_file_info64 info{};
        if (!currentEntry(zip.get(), &rawName, &info)) {
            setError(error, errDamagedEntry, QStringLiteral("unreadable entry"));
            return false;
        }
        const std::optional<QString> name = safeEntryName(rawName);
        if (!name) {
            setError(error, errUnsafeEntry,
                     QStringLiteral("unsafe entry name '%1'").arg(QString::fromUtf8(rawName)));
            return false;
        }
        if (isSymlinkEntry(info)) {
            setError(error, errUnsafeEntry, QStringLiteral("symbolic link entry '%1'").arg(*name));
            return false;
        }
        entryInfo entry;
        entry.name = *name;
        entry.folder = name->endsWith(QLatin1Char('/'));
        entry.size = info.uncompressed_size;
        entry.dosDate = info.dosDate;
        entry.date = info.tmu_date;
        announced += entry.size;
        if (announced > static_cast<uint64_t>(limits.maxTotalBytes)) {
            setError(error, errTooLarge, QStringLiteral("archive too large"));
            return false;
        }
        entries.push_back(entry);
        status = unzGoToNextFile(zip.get());
    } while (status == UNZ_OK);
    if (status != UNZ_END_OF_LIST_OF_FILE) {
        setError(error, errDamagedEntry, QStringLiteral("damaged archive directory"));
        return false;
    }

    if (!QDir().mkpath(destination)) {
        setError(error, errWrite, QStringLiteral("cannot create '%1'").arg(destination));
        return false;
    }
    QTemporaryDir staging(QDir(destination).absoluteFilePath(QStringLiteral(".unpack-XXXXXX")));
    if (!staging.isValid()) {
        setError(error, errWrite, QStringLiteral("cannot create a staging folder"));
        return false;
    }
    const QString stagingPath = staging.path();

    // Second pass: the data, into the staging folder, where no link can exist.
    const QByteArray passwordBytes = password.toLatin1();
    uint64_t written = 0;
    std::vector<char> buffer(4096);
    if (unzGoToFirstFile(zip.get()) != UNZ_OK) {
        setError(error, errFirstEntry, QStringLiteral("failed to open first file in zip file"));
        return false;
    }
    for (size_t index = 0; index < entries.size(); ++index) {
        const entryInfo &entry = entries[index];
        if (index > 0 && unzGoToNextFile(zip.get()) != UNZ_OK) {
            setError(error, errDamagedEntry, QStringLiteral("damaged archive"));
            return false;
        }
        const int opened = passwordBytes.isEmpty()
                               ? unzOpenCurrentFile(zip.get())
                               : unzOpenCurrentFilePassword(zip.get(), passwordBytes.constData());
        if (opened != UNZ_OK) {
            setError(error, errDamagedEntry,
                     QStringLiteral("cannot open entry '%1'").arg(entry.name));
            return false;
        }
        const QString target = stagingPath + QLatin1Char('/') + entry.name;
        const QString folder = entry.folder ? target : QFileInfo(target).path();
        if (!QDir().mkpath(folder)) {
            unzCloseCurrentFile(zip.get());
            setError(error, errWrite, QStringLiteral("cannot create '%1'").arg(folder));
            return false;
        }
        if (!entry.folder) {
            QFile out(target);
            // An archive may name the same file twice: the later entry wins, as with overwrite.
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                unzCloseCurrentFile(zip.get());
                setError(error, errWrite, QStringLiteral("cannot write '%1'").arg(entry.name));
                return false;
            }
            uint64_t entryBytes = 0;
            for (;;) {
                const int got = unzReadCurrentFile(zip.get(), buffer.data(),
                                                   static_cast<unsigned>(buffer.size()));
                if (got < 0) {
                    unzCloseCurrentFile(zip.get());
                    setError(error, errDamagedEntry,
                             QStringLiteral("damaged entry '%1'").arg(entry.name));
                    return false;
                }
                if (got == 0) {
                    break;
                }
                entryBytes += static_cast<uint64_t>(got);
                written += static_cast<uint64_t>(got);
                if (entryBytes > entry.size ||
                    written > static_cast<uint64_t>(limits.maxTotalBytes)) {
                    unzCloseCurrentFile(zip.get());
                    setError(error, errTooLarge,
                             QStringLiteral("entry '%1' is longer than recorded").arg(entry.name));
                    return false;
                }
                if (out.write(buffer.data(), got) != got) {
                    unzCloseCurrentFile(zip.get());
                    setError(error, errWrite, QStringLiteral("cannot write '%1'").arg(entry.name));
                    return false;
                }
            }
            if (entryBytes != entry.size) {
                unzCloseCurrentFile(zip.get());
                setError(error, errDamagedEntry,
                         QStringLiteral("entry '%1' is truncated").arg(entry.name));
                return false;
            }
            if (!out.flush()) {
                unzCloseCurrentFile(zip.get());
                setError(error, errWrite, QStringLiteral("cannot write '%1'").arg(entry.name));
                return false;
            }
            out.close();
        }
        if (unzCloseCurrentFile(zip.get()) != UNZ_OK) {
            // UNZ_CRCERROR: the data does not match its checksum.
            setError(error, errDamagedEntry,
                     QStringLiteral("bad checksum in '%1'").arg(entry.name));
            return false;
        }
    }

    // Dates, once every file is written (writing into a folder changes its date): files first,
    // then folders from the deepest up.
    for (const bool folders : {false, true}) {
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (it->folder != folders || it->dosDate == 0) {
                continue;
            }
            const QDateTime when(
                QDate(static_cast<int>(it->date.tm_year), static_cast<int>(it->date.tm_mon) + 1,
                      static_cast<int>(it->date.tm_mday)),
                QTime(static_cast<int>(it->date.tm_hour), static_cast<int>(it->date.tm_min),
                      static_cast<int>(it->date.tm_sec)));
            QString target = stagingPath + QLatin1Char('/') + it->name;
            if (target.endsWith(QLatin1Char('/'))) {
                target.chop(1);
            }
            struct timespec times[2];
            times[0].tv_sec = static_cast<time_t>(when.toSecsSinceEpoch());
            times[0].tv_nsec = 0;
            times[1] = times[0];
            if (!when.isValid() ||
                ::utimensat(AT_FDCWD, QFile::encodeName(target).constData(), times, 0) != 0) {
                logStr(QStringLiteral("Failed to set attributes"));
            }
        }
    }

    // Into place: refused as a whole when anything would reach through a link of the
    // destination or replace a folder by a file.
    const QStringList top =
        QDir(stagingPath).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QString dest = QDir(destination).absolutePath();
    for (const QString &name : top) {
        if (!mergeCheck(stagingPath + QLatin1Char('/') + name, dest + QLatin1Char('/') + name,
                        overwrite)) {
            setError(
                error, errUnsafeEntry,
                QStringLiteral("'%1' would replace a folder or reach through a link").arg(name));
            return false;
        }
    }
    for (const QString &name : top) {
        if (!mergeMove(stagingPath + QLatin1Char('/') + name, dest + QLatin1Char('/') + name,
                       overwrite)) {
            setError(error, errWrite, QStringLiteral("cannot move '%1' into place").arg(name));
            return false;
        }
    }
    return true;
}
