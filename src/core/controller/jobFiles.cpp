#include "controller/jobFiles.h"

#include "platform/log.h"
#include "platform/utilsFile.h"
#include "settings/prefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

QStringList encJobFilesToDelete(const QVariantMap &job) {
    const QString dst = job.value(QStringLiteral("dstPathStr")).toString();
    const QString final = job.value(QStringLiteral("finalPathStr")).toString();
    QStringList paths;
    if (!dst.isEmpty() && dst != final) {
        paths << dst << oldSrcPathStr2DstPathStr(dst);
    }
    for (const QString &key : {QStringLiteral("postProcessPurge"), QStringLiteral("purgePathStr1"),
                               QStringLiteral("workPathStr"), QStringLiteral("soundPathStr")}) {
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

QStringList encPurgeCrashedJob() {
    const std::optional<QVariantMap> job = prefReadDico(QStringLiteral("processEncDico"));
    if (!job) {
        return {};
    }
    QStringList deleted;
    for (const QString &path : encJobFilesToDelete(*job)) {
        if (QFileInfo(path).isFile()) {
            deleted << path;
        }
    }
    encDeleteJobFiles(deleted);
    for (const QString &path : deleted) {
        logStr(QStringLiteral("unfinished job      :-/ deleted '%1'").arg(path));
    }
    return deleted;
}
