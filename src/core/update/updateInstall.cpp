#include "update/updateInstall.h"

#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/shellQuote.h"
#include "platform/utilsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <utility>

#include <sys/stat.h>
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

bool removeAny(const QString &path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        return QDir(path).removeRecursively();
    }
    return !(info.exists() || info.isSymLink()) || QFile::remove(path);
}

// A copy of a file, a folder or a symbolic link as it is: links keep their own (relative)
// target, files their permissions.
bool copyAsIs(const QString &src, const QString &dst) {
    const QByteArray from = QFile::encodeName(src);
    struct stat st {};
    if (::lstat(from.constData(), &st) != 0) {
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(4096, '\0');
        const ssize_t length = ::readlink(from.constData(), target.data(), target.size());
        return length > 0 && length < target.size() &&
               ::symlink(target.left(length).constData(), QFile::encodeName(dst).constData()) == 0;
    }
    if (S_ISREG(st.st_mode)) {
        return QFile::copy(src, dst) && QFile::setPermissions(dst, QFile::permissions(src));
    }
    if (!S_ISDIR(st.st_mode) || !QDir().mkdir(dst)) {
        return false;
    }
    const QStringList entries =
        QDir(src).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : entries) {
        if (!copyAsIs(src + QLatin1Char('/') + name, dst + QLatin1Char('/') + name)) {
            return false;
        }
    }
    return true;
}

// Puts the unpacked part at the target: one rename on the same file system; across file
// systems (a temporary folder on its own, a tmpfs) a copy beside the target first, renamed
// into place once whole, so the target is never a half copy.
bool moveIntoPlace(const QString &src, const QString &target) {
    if (::rename(QFile::encodeName(src).constData(), QFile::encodeName(target).constData()) == 0) {
        return true;
    }
    if (errno != EXDEV) {
        return false;
    }
    const QString staged = target + QStringLiteral(".fluxaro-new");
    removeAny(staged);
    if (!copyAsIs(src, staged) || ::rename(QFile::encodeName(staged).constData(),
                                           QFile::encodeName(target).constData()) != 0) {
        logStr(QStringLiteral("update              :-( can't stage '%1'").arg(staged));
        removeAny(staged);
        return false;
    }
    removeAny(src);
    return true;
}

// The journal of a replacement: its state, then one line per part, the part and where its
// old copy is kept (empty: there was none), percent-encoded and separated by a space.
bool writeJournal(const QString &prefix, const QString &state, const QStringList &parts,
                  const QStringList &oldParts) {
    QByteArray text = state.toUtf8() + '\n';
    for (qsizetype i = 0; i < parts.size(); ++i) {
        text += parts.at(i).toUtf8().toPercentEncoding() + ' ' +
                oldParts.at(i).toUtf8().toPercentEncoding() + '\n';
    }
    // Replaced whole (written, flushed, renamed): a kill leaves the old state or the new.
    QSaveFile file(updateJournalPathStr(prefix));
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

void dropJournal(const QString &prefix) {
    QFile::remove(updateJournalPathStr(prefix));
}

// Every program of the unpacked copy, and every tool of its resources without extension.
void makeUnpackedExecutable(const QString &unpacked) {
    const QString bin = unpacked + QStringLiteral("/bin/");
    for (const QString &program : QDir(bin).entryList(QDir::Files)) {
        makeExecutable(bin + program);
    }
    const QString tools = unpacked + QStringLiteral("/share/fluxaro/tools");
    for (const QFileInfo &tool : QDir(tools).entryInfoList(QDir::Files)) {
        if (tool.suffix().isEmpty() && !tool.isSymLink()) {
            makeExecutable(tool.filePath());
        }
    }
}

// The trial's environment: this one with every per-user folder in a scratch folder of its
// own (private, as the runtime folder must be), on trial, its resources beside its program.
QProcessEnvironment trialEnvironment(const QString &scratch) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("FLUXARO_RESOURCE_DIR"));
    env.insert(QStringLiteral("FLUXARO_UPDATE_TRIAL"), QStringLiteral("1"));
    const std::pair<const char *, const char *> folders[] = {{"HOME", "home"},
                                                             {"XDG_CONFIG_HOME", "config"},
                                                             {"XDG_DATA_HOME", "data"},
                                                             {"XDG_STATE_HOME", "state"},
                                                             {"XDG_CACHE_HOME", "cache"},
                                                             {"XDG_RUNTIME_DIR", "runtime"},
                                                             {"TMPDIR", "tmp"}};
    for (const auto &[name, folder] : folders) {
        const QString path = scratch + QLatin1Char('/') + QLatin1String(folder);
        QDir().mkpath(path);
        ::chmod(QFile::encodeName(path).constData(), 0700);
        env.insert(QLatin1String(name), path);
    }
    return env;
}

// The resource folder a --facts answer names (its last "resources" line); empty without one.
QString factsResourceFolder(const QByteArray &output) {
    QString folder;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("resources ")) {
            const qsizetype colon = line.indexOf(':');
            folder = colon < 0 ? QString() : QString::fromUtf8(line.mid(colon + 1)).trimmed();
        }
    }
    return folder;
}

} // namespace

bool updateTryUnpackedApp(const QString &unpacked, const QString &scratch) {
    makeUnpackedExecutable(unpacked);
    const QString program = unpacked + QStringLiteral("/bin/") + executableName();
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);
    QProcess process;
    process.setProcessEnvironment(trialEnvironment(scratch));
    process.setWorkingDirectory(scratch);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, {QStringLiteral("--facts")});
    QElapsedTimer clock;
    clock.start();
    bool ended = process.waitForStarted(10000);
    // The window keeps drawing while the new copy starts (a second or so).
    while (ended && !process.waitForFinished(50)) {
        if (clock.elapsed() > 60000) {
            ended = false;
            break;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
    const QString named = factsResourceFolder(process.readAllStandardOutput());
    const QString own = QFileInfo(unpacked + QStringLiteral("/share/fluxaro")).canonicalFilePath();
    const bool answered = ended && process.exitStatus() == QProcess::NormalExit &&
                          process.exitCode() == 0 && !own.isEmpty() &&
                          QFileInfo(named).canonicalFilePath() == own;
    if (answered) {
        logStr(
            QStringLiteral("update              :-) the new copy answers from '%1'").arg(unpacked));
    } else {
        logStr(QStringLiteral("update              :-( the new copy does not answer from '%1' "
                              "(%2, status %3, resources '%4')")
                   .arg(unpacked, ended ? QStringLiteral("ended") : QStringLiteral("no end"))
                   .arg(process.exitCode())
                   .arg(named));
    }
    QDir(scratch).removeRecursively();
    return answered;
}

QString updateJournalPathStr(const QString &prefix) {
    return prefix + QStringLiteral("/share/.fluxaro-update");
}

updateInterruptedOutcome updateFinishInterrupted(const QString &prefix) {
    QFile file(updateJournalPathStr(prefix));
    if (!file.exists()) {
        return updateInterruptedOutcome::None;
    }
    // The new copy on trial, started by the update itself: the update decides.
    if (qEnvironmentVariable("FLUXARO_UPDATE_TRIAL") == QLatin1String("1")) {
        return updateInterruptedOutcome::None;
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024) {
        return updateInterruptedOutcome::Failed;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    appReplacement replacement;
    replacement.prefix = prefix;
    const QString root = QDir::cleanPath(prefix) + QLatin1Char('/');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines.at(i).isEmpty()) {
            continue;
        }
        const QList<QByteArray> fields = lines.at(i).split(' ');
        const QString part = QString::fromUtf8(QByteArray::fromPercentEncoding(fields.value(0)));
        const QString aside = QString::fromUtf8(QByteArray::fromPercentEncoding(fields.value(1)));
        // Only parts of this copy, and their old copies beside them, are ever touched.
        if (!QDir::cleanPath(part).startsWith(root) ||
            (!aside.isEmpty() && aside != part + oldSuffix)) {
            logStr(QStringLiteral("update              :-( damaged journal '%1'")
                       .arg(file.fileName()));
            return updateInterruptedOutcome::Failed;
        }
        replacement.parts.append(part);
        replacement.oldParts.append(aside);
    }
    const QByteArray state = lines.value(0).trimmed();
    if (state == "verified") {
        // Every part is new, and the copy answered its trial before it was swapped in.
        updateDropOldApp(replacement);
        logStr(QStringLiteral("update              :-) an interrupted update is finished"));
        return updateInterruptedOutcome::Finished;
    }
    // Cut short while the parts were being swapped, or ("swapped", written by earlier versions
    // before any trial) swapped in untried: the old copy comes back, part by part (a part whose
    // old copy was not set aside yet is still the old one).
    bool ok = true;
    for (qsizetype i = replacement.parts.size() - 1; i >= 0; --i) {
        const QString &target = replacement.parts.at(i);
        const QString &aside = replacement.oldParts.at(i);
        const QFileInfo old(aside);
        if (aside.isEmpty()) {
            ok = removeAny(target) && ok;
        } else if (old.exists() || old.isSymLink()) {
            ok = removeAny(target) &&
                 ::rename(QFile::encodeName(aside).constData(),
                          QFile::encodeName(target).constData()) == 0 &&
                 ok;
        }
    }
    if (!ok) {
        logStr(QStringLiteral("update              :-( an interrupted update can't be undone"));
        return updateInterruptedOutcome::Failed;
    }
    dropJournal(prefix);
    logStr(QStringLiteral("update              :-/ an interrupted update is undone"));
    return updateInterruptedOutcome::RolledBack;
}

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
    // A tool replaces an older tool, never a folder of the support folder ("QuickTime" holds
    // the toolbox's per-user files) and what it holds.
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir() && !targetInfo.isSymLink()) {
        logStr(QStringLiteral("tool                :-( a folder has its name: '%1'").arg(target));
        return false;
    }
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
    makeUnpackedExecutable(unpacked);
    // The resources first and the application's program last: while any part is still moving,
    // the program that starts (and undoes a swap cut short) is the old one.
    QStringList relative{QStringLiteral("share/fluxaro")};
    const QStringList programs = QDir(unpacked + QStringLiteral("/bin")).entryList(QDir::Files);
    for (const QString &program : programs) {
        logStr(QStringLiteral("ma : %1").arg(program));
        if (program != executableName()) {
            relative.append(QStringLiteral("bin/") + program);
        }
    }
    if (programs.contains(executableName())) {
        relative.append(QStringLiteral("bin/") + executableName());
    }

    // The plan goes to the journal before anything moves: a kill from here on is finished or
    // undone by the next start (updateFinishInterrupted).
    QStringList plannedParts;
    QStringList plannedOld;
    for (const QString &part : relative) {
        const QString target = prefix + QLatin1Char('/') + part;
        plannedParts.append(target);
        plannedOld.append(QFileInfo::exists(target) || QFileInfo(target).isSymLink()
                              ? target + oldSuffix
                              : QString());
    }
    if (!writeJournal(prefix, QStringLiteral("swapping"), plannedParts, plannedOld)) {
        logStr(QStringLiteral("isToReplace         ? 0 %1").arg(updateJournalPathStr(prefix)));
        return result;
    }

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
        if (!moveIntoPlace(unpacked + QLatin1Char('/') + part, target)) {
            logStr(QStringLiteral("moveToTrash         ? 0 %1").arg(target));
            updateRestoreApp(result);
            return result;
        }
    }
    if (!writeJournal(prefix, QStringLiteral("verified"), result.parts, result.oldParts)) {
        updateRestoreApp(result);
        return result;
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
    if (ok) {
        dropJournal(replacement.prefix);
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
    dropJournal(replacement.prefix);
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
    // The new copy runs as a trial (it leaves the journal to this command); the journal goes
    // once the verdict is carried out, so a kill before that leaves it to the next start.
    const QString journal =
        QStringLiteral("rm -f -- ") + shellQuote(updateJournalPathStr(replacement.prefix));
    return QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 0.2; done; "
                          "FLUXARO_UPDATE_TRIAL=1 %2 & p=$!; sleep 10; "
                          "if kill -0 $p 2>/dev/null || wait $p; then %3; %5; else %4; %5; %2 & fi")
        .arg(QString::number(pid), program,
             drop.isEmpty() ? QStringLiteral(":") : drop.join(QStringLiteral("; ")),
             restore.isEmpty() ? QStringLiteral(":") : restore.join(QStringLiteral("; ")), journal);
}
