#include "controller/jobFiles.h"

#include "controller/jobRecord.h"
#include "platform/log.h"
#include "platform/utilsFile.h"
#include "settings/prefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <unistd.h>

QString encReserveWorkingPath(const QString &folder) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = QStringLiteral(".fluxaro-");
        for (int i = 0; i < 10; ++i) {
            name += QLatin1Char(kLetters[QRandomGenerator::system()->bounded(36)]);
        }
        const QString path = QDir(folder).filePath(name + QStringLiteral(".mov"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return path;
        }
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
            continue; // taken: another name
        }
        logStr(QStringLiteral("working file        :-( %1: %2").arg(path, file.errorString()));
        return QString();
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
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isFile() && !info.isSymLink()) {
            rmCocoa(path);
        }
    }
}

QString encJobEventsFolder(const QVariantMap &job) {
    const QString working = job.value(jobKey::dstPath).toString();
    const QString final = job.value(jobKey::finalPath).toString();
    static const QRegularExpression workingName(QStringLiteral("^\\.fluxaro-[a-z0-9]{10}\\.mov$"));
    const QString named =
        workingName.match(QFileInfo(working).fileName()).hasMatch() ? working : final;
    if (named.isEmpty()) {
        return {};
    }
    const QString folder = QDir::cleanPath(QFileInfo(named).absolutePath());
    return QFileInfo(folder).fileName() == QLatin1String("fluxaro events") ? folder : QString();
}

bool encIsWorkingFileOf(const QString &path, const QVariantMap &job) {
    // The names the step machine gives its files: the working output, its "_MASTER" sibling
    // (hidden, and in both forms oldSrcPathStr2DstPathStr made), the offset, slow-motion and
    // sound files and the reference movies written beside them (hidden, and as earlier versions
    // named them).
    static const QRegularExpression names(
        QStringLiteral("^(\\.fluxaro-[a-z0-9]{10}\\.mov"
                       "|[._]fluxaro-[a-z0-9]{10}_MASTER\\.mov"
                       "|(\\.fluxaro-)?(offset|slow|sound)[0-9]{1,10}\\.mov(\\.mov)?)$"));
    const QString folder = encJobEventsFolder(job);
    const QFileInfo info(path);
    return !folder.isEmpty() && QDir::cleanPath(info.absolutePath()) == folder &&
           names.match(info.fileName()).hasMatch();
}

QStringList encPurgeCrashedJob() {
    const std::optional<QVariantMap> job = prefReadDico(jobKey::runningJob);
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
    return deleted;
}
