#include "update/updateInstall.h"

#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/shellQuote.h"
#include "platform/utilsFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>

namespace {

const QString oldSuffix = QStringLiteral(".fluxaro-old");

bool makeExecutable(const QString &path) {
    QFile file(path);
    return file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                               QFileDevice::ExeOther | QFileDevice::ReadOwner);
}

QString executableName() {
    const QString name = infoPlistStr(QStringLiteral("CFBundleExecutable"));
    return name.isEmpty() ? QStringLiteral("fluxaro") : name;
}

#ifndef FLUXARO_NO_APP_UPDATE
bool writable(const QString &path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}
#endif

} // namespace

QString appCopyPrefixStr() {
    return QDir::cleanPath(resourcePathStr() + QStringLiteral("/../.."));
}

bool appCopyIsPackageFile(const QString &path) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (clean.startsWith(QLatin1String("/usr/")) &&
        !clean.startsWith(QLatin1String("/usr/local/"))) {
        return true;
    }
    // The package database lists the files of every installed package, one per line.
    QDirIterator lists(QStringLiteral("/var/lib/dpkg/info"), {QStringLiteral("*.list")},
                       QDir::Files);
    const QByteArray wanted = QFile::encodeName(clean);
    while (lists.hasNext()) {
        QFile list(lists.next());
        if (!list.open(QIODevice::ReadOnly)) {
            continue;
        }
        while (!list.atEnd()) {
            if (list.readLine().trimmed() == wanted) {
                return true;
            }
        }
    }
    return false;
}

appCopyState appCopyStateOf(const QString &prefix) {
#ifdef FLUXARO_NO_APP_UPDATE
    (void)prefix;
    return appCopyState::UpdatesDisabled;
#else
    const QString program = prefix + QStringLiteral("/bin/") + executableName();
    if (appCopyIsPackageFile(program)) {
        return appCopyState::PackageManaged;
    }
    for (const QString &part : {prefix + QStringLiteral("/bin"), prefix + QStringLiteral("/share"),
                                prefix + QStringLiteral("/share/fluxaro")}) {
        if (!writable(part)) {
            return appCopyState::NotWritable;
        }
    }
    return appCopyState::Replaceable;
#endif
}

bool updateIsAppArchive(const QString &url) {
    const QString last = QUrl(url).fileName().toLower();
    return last.contains(QLatin1String("fluxaro"));
}

QString updateToolFolderStr() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1Char('/') + appNameStr();
}

bool updateInstallTool(const QString &archivePath) {
    const QFileInfo archive(archivePath);
    const QString tool = archive.path() + QLatin1Char('/') + archive.completeBaseName();
    const QFileInfo toolInfo(tool);
    if (!toolInfo.isFile() || toolInfo.isSymLink()) {
        logStr(QStringLiteral("tool                :-( missing '%1'").arg(tool));
        return false;
    }
    makeExecutable(tool);
    const QString folder = updateToolFolderStr();
    QDir().mkpath(folder);
    const bool ready = droitsAcces(folder);
    logStr(QStringLiteral("isToReplace ? %1").arg(ready ? 1 : 0));
    const QString target = folder + QLatin1Char('/') + archive.completeBaseName();
    const bool moved = ready && mvCocoa(tool, target, QStringLiteral("y"));
    logStr(QStringLiteral("moveToTrash ? %1").arg(moved ? 1 : 0));
    return moved;
}

QString updateFindUnpackedApp(const QString &downloadFolder) {
    const QStringList names =
        QDir(downloadFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QString candidate = downloadFolder + QLatin1Char('/') + name;
        if (QFileInfo(candidate + QStringLiteral("/bin/") + executableName()).isFile() &&
            QFileInfo(candidate + QStringLiteral("/share/fluxaro")).isDir()) {
            return candidate;
        }
    }
    return {};
}

appReplacement updateReplaceApp(const QString &unpacked, const QString &prefix) {
    appReplacement result;
    result.prefix = prefix;
    QStringList relative;
    const QStringList programs = QDir(unpacked + QStringLiteral("/bin")).entryList(QDir::Files);
    for (const QString &program : programs) {
        relative.append(QStringLiteral("bin/") + program);
        makeExecutable(unpacked + QStringLiteral("/bin/") + program);
        logStr(QStringLiteral("ma : %1").arg(program));
    }
    const QString tools = unpacked + QStringLiteral("/share/fluxaro/tools");
    for (const QFileInfo &tool : QDir(tools).entryInfoList(QDir::Files)) {
        if (tool.suffix().isEmpty() && !tool.isSymLink()) {
            makeExecutable(tool.filePath());
        }
    }
    relative.append(QStringLiteral("share/fluxaro"));

    for (const QString &part : relative) {
        const QString target = prefix + QLatin1Char('/') + part;
        const QString aside = target + oldSuffix;
        if (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink()) {
            // Left by an earlier update whose new copy started.
            QFileInfo(aside).isDir() && !QFileInfo(aside).isSymLink()
                ? QDir(aside).removeRecursively()
                : QFile::remove(aside);
        }
        const bool had = QFileInfo::exists(target) || QFileInfo(target).isSymLink();
        if (had && ::rename(QFile::encodeName(target).constData(),
                            QFile::encodeName(aside).constData()) != 0) {
            logStr(QStringLiteral("isToReplace         ? 0 %1").arg(target));
            updateRestoreApp(result);
            return result;
        }
        result.parts.append(target);
        result.oldParts.append(had ? aside : QString());
        if (::rename(QFile::encodeName(unpacked + QLatin1Char('/') + part).constData(),
                     QFile::encodeName(target).constData()) != 0) {
            logStr(QStringLiteral("moveToTrash         ? 0 %1").arg(target));
            updateRestoreApp(result);
            return result;
        }
    }
    logStr(QStringLiteral("isToReplace         ? 1"));
    result.ok = true;
    return result;
}

bool updateRestoreApp(const appReplacement &replacement) {
    bool ok = true;
    for (qsizetype i = replacement.parts.size() - 1; i >= 0; --i) {
        const QString &target = replacement.parts.at(i);
        const QFileInfo info(target);
        if (info.isDir() && !info.isSymLink()) {
            QDir(target).removeRecursively();
        } else {
            QFile::remove(target);
        }
        const QString &aside = replacement.oldParts.at(i);
        if (!aside.isEmpty() && ::rename(QFile::encodeName(aside).constData(),
                                         QFile::encodeName(target).constData()) != 0) {
            ok = false;
        }
    }
    return ok;
}

void updateDropOldApp(const appReplacement &replacement) {
    for (const QString &aside : replacement.oldParts) {
        const QFileInfo info(aside);
        if (aside.isEmpty()) {
            continue;
        }
        if (info.isDir() && !info.isSymLink()) {
            QDir(aside).removeRecursively();
        } else {
            QFile::remove(aside);
        }
    }
}

QString updateRestartCommandStr(const appReplacement &replacement, qint64 pid) {
    const QString program =
        shellQuote(replacement.prefix + QStringLiteral("/bin/") + executableName());
    QStringList drop;
    QStringList restore;
    for (qsizetype i = 0; i < replacement.parts.size(); ++i) {
        const QString &aside = replacement.oldParts.at(i);
        if (aside.isEmpty()) {
            restore.append(QStringLiteral("rm -rf -- ") + shellQuote(replacement.parts.at(i)));
            continue;
        }
        drop.append(QStringLiteral("rm -rf -- ") + shellQuote(aside));
        restore.append(QStringLiteral("rm -rf -- %1 && mv -- %2 %1")
                           .arg(shellQuote(replacement.parts.at(i)), shellQuote(aside)));
    }
    // The new copy can take the single-instance lock only once this process has quit. It
    // counts as started when it still runs 10 seconds later or has ended without an error.
    return QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 0.2; done; "
                          "%2 & p=$!; sleep 10; "
                          "if kill -0 $p 2>/dev/null || wait $p; then %3; else %4; %2 & fi")
        .arg(QString::number(pid), program,
             drop.isEmpty() ? QStringLiteral(":") : drop.join(QStringLiteral("; ")),
             restore.isEmpty() ? QStringLiteral(":") : restore.join(QStringLiteral("; ")));
}
