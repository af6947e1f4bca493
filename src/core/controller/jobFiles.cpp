#include "controller/jobFiles.h"

#include "controller/jobRecord.h"
#include "controller/outputNames.h"
#include "platform/log.h"
#include "platform/utilsFile.h"
#include "settings/prefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// The name of a job's private folder, ".fluxaro-<10 letters and digits>".
bool isWorkFolderName(const QString &name) {
    static const QRegularExpression folderName(QStringLiteral("^\\.fluxaro-[a-z0-9]{10}$"));
    return folderName.match(name).hasMatch();
}

/// True when the folder is a job's private folder: its name, directly in a "fluxaro events"
/// folder.
bool isWorkFolder(const QString &folder) {
    const QFileInfo info(folder);
    return isWorkFolderName(info.fileName()) &&
           QFileInfo(info.absolutePath()).fileName() == kEventsFolder;
}

/// The names the step machine gives its files: the working output, its "_MASTER" sibling
/// (hidden, and in both forms oldSrcPathStr2DstPathStr made), the offset, slow-motion and sound
/// files and the reference movies written beside them (hidden, and as earlier versions named
/// them).
bool isWorkingFileName(const QString &name) {
    static const QRegularExpression names(
        QStringLiteral("^(\\.fluxaro-[a-z0-9]{10}\\.mov"
                       "|[._]fluxaro-[a-z0-9]{10}_MASTER\\.mov"
                       "|(\\.fluxaro-)?(offset|slow|sound)[0-9]{1,10}\\.mov(\\.mov)?)$"));
    return names.match(name).hasMatch();
}

} // namespace

QString encReserveWorkingPath(const QString &eventsFolder,
                              const std::function<void(const QString &path)> &beforeMade) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString random;
        for (int i = 0; i < 10; ++i) {
            random += QLatin1Char(kLetters[QRandomGenerator::system()->bounded(36)]);
        }
        const QString folder = QDir(eventsFolder).filePath(QStringLiteral(".fluxaro-") + random);
        const QString path =
            folder + QStringLiteral("/.fluxaro-") + random + QStringLiteral(".mov");
        if (beforeMade) {
            beforeMade(path);
        }
        const QByteArray folderBytes = QFile::encodeName(folder);
        // mkdir never follows or reuses what is there: a name taken (by anyone) is another try.
        if (::mkdir(folderBytes.constData(), 0700) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            logStr(QStringLiteral("working folder      :-( %1: %2")
                       .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
            return QString();
        }
        // The umask may have taken the owner's own rights away; nobody else gets any.
        ::chmod(folderBytes.constData(), 0700);
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            logStr(QStringLiteral("working file        :-( %1: %2")
                       .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
            ::rmdir(folderBytes.constData());
            return QString();
        }
        ::close(fd);
        return path;
    }
    return QString();
}

QString encMasterPathOf(const QString &workingPath) {
    QString master = workingPath;
    if (master.endsWith(QStringLiteral(".mov"))) {
        master.chop(4);
    }
    return master + QStringLiteral("_MASTER.mov");
}

QString randomSibling(const QString &folder, const QString &stem) {
    for (;;) {
        const QString path = QStringLiteral("%1/.fluxaro-%2%3.mov")
                                 .arg(folder, stem)
                                 .arg(QRandomGenerator::global()->bounded(0x7fffffff));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || !QFileInfo::exists(path)) {
            return path;
        }
    }
}

qsizetype encNameMaxOf(const QString &folder) {
    QString existing = QDir::cleanPath(folder);
    while (!existing.isEmpty() && !QFileInfo(existing).isDir() && existing != QLatin1String("/")) {
        existing = QFileInfo(existing).path();
    }
    const long nameMax = ::pathconf(QFile::encodeName(existing).constData(), _PC_NAME_MAX);
    return nameMax > 0 ? static_cast<qsizetype>(nameMax) : 255;
}

QStringList encJobFilesToDelete(const QVariantMap &job) {
    const QString dst = job.value(jobKey::dstPath).toString();
    const QString final = job.value(jobKey::finalPath).toString();
    QStringList paths;
    if (!dst.isEmpty() && dst != final) {
        paths << dst << encMasterPathOf(dst) << oldSrcPathStr2DstPathStr(dst);
    }
    for (const QString &key :
         {jobKey::postProcessPurge, jobKey::purgePath1, jobKey::workPath, jobKey::soundPath}) {
        const QString path = job.value(key).toString();
        if (!path.isEmpty() && path != final) {
            paths << path << path + QStringLiteral(".mov");
        }
    }
    return paths;
}

void encDeleteJobFiles(const QStringList &paths) {
    QStringList folders;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isFile() && !info.isSymLink()) {
            rmCocoa(path);
        }
        const QString folder = QDir::cleanPath(info.absolutePath());
        if (isWorkFolder(folder) && !folders.contains(folder)) {
            folders << folder;
        }
    }
    for (const QString &folder : folders) {
        // Only an empty folder goes.
        ::rmdir(QFile::encodeName(folder).constData());
    }
}

QString encJobWorkFolder(const QVariantMap &job) {
    const QString working = job.value(jobKey::dstPath).toString();
    if (working.isEmpty()) {
        return {};
    }
    const QString folder = QDir::cleanPath(QFileInfo(working).absolutePath());
    return isWorkFolder(folder) ? folder : QString();
}

QStringList encRemoveWorkFolder(const QVariantMap &job) {
    const QString folder = encJobWorkFolder(job);
    if (folder.isEmpty()) {
        return {};
    }
    QStringList left;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (encIsWorkingFileOf(entry.filePath(), job)) {
            left << entry.filePath();
        }
    }
    encDeleteJobFiles(left);
    // Only an empty folder goes (encDeleteJobFiles took it when it held a file).
    ::rmdir(QFile::encodeName(folder).constData());
    return left;
}

QString encJobEventsFolder(const QVariantMap &job) {
    const QString workFolder = encJobWorkFolder(job);
    if (!workFolder.isEmpty()) {
        return QDir::cleanPath(QFileInfo(workFolder).absolutePath());
    }
    const QString working = job.value(jobKey::dstPath).toString();
    const QString final = job.value(jobKey::finalPath).toString();
    static const QRegularExpression workingName(QStringLiteral("^\\.fluxaro-[a-z0-9]{10}\\.mov$"));
    const QString named =
        workingName.match(QFileInfo(working).fileName()).hasMatch() ? working : final;
    if (named.isEmpty()) {
        return {};
    }
    const QString folder = QDir::cleanPath(QFileInfo(named).absolutePath());
    return QFileInfo(folder).fileName() == kEventsFolder ? folder : QString();
}

bool encIsWorkingFileOf(const QString &path, const QVariantMap &job) {
    const QString events = encJobEventsFolder(job);
    const QString workFolder = encJobWorkFolder(job);
    const QFileInfo info(path);
    const QString folder = QDir::cleanPath(info.absolutePath());
    return !events.isEmpty() && (folder == events || folder == workFolder) &&
           isWorkingFileName(info.fileName());
}

QStringList encPurgeCrashedJob() {
    const std::optional<QVariantMap> job = prefReadDico(jobKey::journal);
    if (!job) {
        return {};
    }
    QStringList deleted;
    QStringList named = encJobFilesToDelete(*job);
    named.removeDuplicates();
    for (const QString &path : named) {
        if (!QFileInfo(path).isFile()) {
            continue;
        }
        // The record is only a file in the user's settings folder: what it names is deleted
        // only when it is one of the step machine's own working files.
        if (!encIsWorkingFileOf(path, *job)) {
            logStr(
                QStringLiteral("unfinished job      :-/ not a working file, kept '%1'").arg(path));
            continue;
        }
        deleted << path;
    }
    encDeleteJobFiles(deleted);
    for (const QString &path : deleted) {
        logStr(QStringLiteral("unfinished job      :-/ deleted '%1'").arg(path));
    }
    // What the record no longer names (a step killed between its file and its key) goes with
    // the job's private folder.
    for (const QString &path : encRemoveWorkFolder(*job)) {
        deleted << path;
        logStr(QStringLiteral("unfinished job      :-/ deleted '%1'").arg(path));
    }
    return deleted;
}
