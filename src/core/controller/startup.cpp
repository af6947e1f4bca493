#include "controller/startup.h"

#include "controller/jobFiles.h"
#include "movie/QTCodecs.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/utilsFile.h"
#include "platform/utilsSys.h"
#include "settings/appPrefs.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary folder start-up made, the only one quitting deletes.
QString &tmpFolderMade() {
    static QString folder;
    return folder;
}

// The lock inside it, held while this process runs: a later start tells a folder whose
// process died (a crash, a kill) from one in use.
std::unique_ptr<QLockFile> &tmpFolderLock() {
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

const QString kTmpLockName = QStringLiteral(".fluxaro.lock");

std::unique_ptr<QLockFile> &lockHolder() {
    static std::unique_ptr<QLockFile> holder;
    return holder;
}

QString &lockFailure() {
    static QString failure;
    return failure;
}

QString orNil(const QString &text) {
    return text.isEmpty() ? QStringLiteral("nil") : text;
}

} // namespace

QString startupAlertTitleKey(StartupStatus status) {
    switch (status) {
    case StartupStatus::OldProcessor:
        return QStringLiteral("D_check_CPU");
    case StartupStatus::AlreadyRunning:
        return QStringLiteral("D_appAlreadyOpened_1");
    case StartupStatus::BadResourcePath:
        return QStringLiteral("D_appAlreadyOpened_3");
    case StartupStatus::SettingsUnwritable:
        return QStringLiteral("D_settingsUnwritable_1");
    case StartupStatus::NoHome:
        return QStringLiteral("D_noHome_1");
    case StartupStatus::Ok:
        break;
    }
    return QString();
}

QString startupAlertMessageKey(StartupStatus status) {
    switch (status) {
    case StartupStatus::OldProcessor:
        return QStringLiteral("DL_loi_2");
    case StartupStatus::AlreadyRunning:
        return QStringLiteral("D_appAlreadyOpened_2");
    case StartupStatus::BadResourcePath:
        return QStringLiteral("D_FXpref_ouvert_2");
    case StartupStatus::SettingsUnwritable:
        return QStringLiteral("D_settingsUnwritable_2");
    case StartupStatus::NoHome:
        return QStringLiteral("D_noHome_2");
    case StartupStatus::Ok:
        break;
    }
    return QString();
}

QString startupAlertMessageStr(StartupStatus status) {
    const QString message = localizedStr(startupAlertMessageKey(status));
    return status == StartupStatus::SettingsUnwritable ? fillFormatValues(message, {lockFailure()})
                                                       : message;
}

QString startupHomePlan(const QString &homeVariable, const QString &passwdHome,
                        bool passwdHomeIsDir) {
    if (!homeVariable.isEmpty() && QDir::isAbsolutePath(homeVariable)) {
        return homeVariable;
    }
    const QString cleaned = QDir::cleanPath(passwdHome);
    if (passwdHome.isEmpty() || !QDir::isAbsolutePath(cleaned) || cleaned == QLatin1String("/") ||
        !passwdHomeIsDir) {
        return {};
    }
    return cleaned;
}

QString startupLockFailure() {
    return lockFailure();
}

QString startupLockPathStr() {
    return QFileInfo(prefFilePathStr()).absolutePath() + QLatin1Char('/') + appIdentifierStr() +
           QStringLiteral(".lock");
}

bool startupSingleInstance() {
    std::unique_ptr<QLockFile> &holder = lockHolder();
    if (holder) {
        return true;
    }
    // Beside the settings, which every session of the user shares (a cron job or an ssh
    // login has another runtime folder, never other settings): the running instance is seen
    // from all of them, and the start-up sweep of a crashed job's files runs only under it.
    const QString folder = startupLockPathStr().section(QLatin1Char('/'), 0, -2);
    lockFailure().clear();
    std::error_code made;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), made);
    if (made) {
        lockFailure() =
            QStringLiteral("%1: %2").arg(folder, QString::fromStdString(made.message()));
        logStr(QStringLiteral("single instance     :-( %1").arg(lockFailure()));
        return false;
    }
    auto lock = std::make_unique<QLockFile>(startupLockPathStr());
    // Only a lock whose process is gone counts as stale, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        // Held by a running instance, or not made at all: a folder that can't be written
        // (its permissions, a full disk) is said as what failed, not as another instance.
        if (lock->error() != QLockFile::LockFailedError) {
            const int probe =
                ::open(QFile::encodeName(folder + QStringLiteral("/.fluxaro-probe")).constData(),
                       O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            const int why = errno;
            if (probe >= 0) {
                ::close(probe);
                ::unlink(QFile::encodeName(folder + QStringLiteral("/.fluxaro-probe")).constData());
            }
            lockFailure() = QStringLiteral("%1: %2").arg(
                folder, probe >= 0 ? QStringLiteral("the lock file can't be made")
                                   : QString::fromLocal8Bit(std::strerror(why)));
        }
        logStr(QStringLiteral("single instance     :-( %1")
                   .arg(lockFailure().isEmpty() ? folder : lockFailure()));
        return false;
    }
    holder = std::move(lock);
    return true;
}

void startupReleaseSingleInstance() {
    lockHolder().reset();
}

namespace {

// XDG_RUNTIME_DIR as the base directory specification promises it: a folder of ours that only
// we may enter. Anything else (a shared or foreign folder) is not used.
bool isPrivateFolderOfOurs(const QString &path) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// A new folder "<base>/<name>-XXXXXX" that nobody else had or can enter (mkdtemp: created
// exclusively, mode 0700), with its final "/"; empty when it can't be made.
QString makePrivateFolder(const QString &base) {
    QByteArray pattern = QFile::encodeName(QDir::cleanPath(base) + QLatin1Char('/') + appNameStr() +
                                           QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
        logStr(QStringLiteral("TMPFOLDER           :-( %1: %2")
                   .arg(base, QString::fromLocal8Bit(std::strerror(errno))));
        return {};
    }
    return QFile::decodeName(pattern) + QLatin1Char('/');
}

// Deletes the temporary folder this process made: a plain deletion, never the trash.
void removeOwnTmpFolder() {
    const QString folder = tmpFolderMade();
    if (folder.isEmpty()) {
        return;
    }
    tmpFolderLock().reset();
    const QFileInfo info(QDir::cleanPath(folder));
    if (info.isDir() && !info.isSymLink()) {
        QDir(info.filePath()).removeRecursively();
    }
    tmpFolderMade().clear();
}

// The temporary folders of our earlier runs in the base that a crash or a kill left: ours (by
// owner), named as start-up names them, and their run gone (their lock is free).
void sweepLeftTmpFolders(const QString &base) {
    const QStringList names =
        QDir(base).entryList({appNameStr() + QStringLiteral("-??????")},
                             QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString &name : names) {
        const QString folder = QDir(base).filePath(name);
        if (!isPrivateFolderOfOurs(folder)) {
            continue;
        }
        QLockFile lock(folder + QLatin1Char('/') + kTmpLockName);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0)) {
            continue; // another run of ours uses it
        }
        lock.unlock();
        QDir(folder).removeRecursively();
        logStr(QStringLiteral("TMPFOLDER           :-/ left by an earlier run, deleted '%1'")
                   .arg(folder));
    }
}

} // namespace

QString startupTmpFolder() {
    removeOwnTmpFolder();
    // TMPDIR as the system gives it, when it names a folder we may write in: a missing one,
    // a file or an empty value must not make us create folders elsewhere (at the root).
    QString tmp = QDir::tempPath();
    const QFileInfo tmpInfo(tmp);
    if (tmp.isEmpty() || !tmpInfo.isDir() || !tmpInfo.isWritable()) {
        logStr(QStringLiteral("TMPDIR              :-( not a writable folder: '%1'").arg(tmp));
        tmp = QStringLiteral("/tmp");
    }
    // Every start makes a folder of its own: a fixed name in a folder all users share would
    // let another user make it first (and hand us links inside), or make two users' runs
    // share their files. The temporary folder first (it has room for a download), then the
    // runtime folder, then the user's cache.
    QStringList bases{tmp};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolderOfOurs(runtime)) {
        bases << runtime;
    }
    QString folder;
    for (const QString &base : bases) {
        sweepLeftTmpFolders(base);
        folder = makePrivateFolder(base);
        if (!folder.isEmpty()) {
            break;
        }
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QLatin1Char('/') + appNameStr();
    if (folder.isEmpty() && QDir().mkpath(cache)) {
        QFile::setPermissions(cache, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ExeOwner);
        if (isPrivateFolderOfOurs(cache)) {
            folder = makePrivateFolder(cache);
        }
    }
    if (folder.isEmpty()) {
        // Nowhere to make one: a folder that does not exist, so that what would be written
        // there fails, rather than a shared one that someone else may own.
        folder = QStringLiteral("%1/%2-none/").arg(cache, appNameStr());
        logStr(QStringLiteral("TMPFOLDER           :-( no private temporary folder"));
    } else {
        tmpFolderMade() = folder;
        tmpFolderLock() = std::make_unique<QLockFile>(folder + kTmpLockName);
        tmpFolderLock()->setStaleLockTime(0);
        tmpFolderLock()->tryLock(0);
    }
    setTMPFOLDER(folder);
    logStr(QStringLiteral("TMPFOLDER           : %1").arg(getTMPFOLDER()));
    return getTMPFOLDER();
}

void startupLogSystem() {
    logStr(QStringLiteral("arch                ? %1")
               .arg(archIntel() ? QStringLiteral("Intel") : QSysInfo::currentCpuArchitecture()));
    nbProcessors();
    versionOS();
    versionQT();
    quartzExtremeCard();
    logStr(QStringLiteral("app                 : %1 - %2 (%3)")
               .arg(appNameStr(), orNil(infoPlistStr(QStringLiteral("CFBundleShortVersionString"))),
                    orNil(infoPlistStr(QStringLiteral("CFBundleVersion")))));
}

QString startupToolboxUserFolderStr() {
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data + QLatin1Char('/') + appNameStr() + QStringLiteral("/QuickTime");
}

void startupCodecChecks() {
    codecsStartupCheck();
}

StartupStatus startupRun(const StartupOptions &options) {
    if (cpuG3()) {
        return StartupStatus::OldProcessor;
    }
    // Without a home, every per-user folder would be made at the root: the user's own home
    // from the password database stands in for a missing HOME, else nothing starts.
    const QString homeVariable = qEnvironmentVariable("HOME");
    if (homeVariable.isEmpty() || !QDir::isAbsolutePath(homeVariable)) {
        const struct passwd *entry = ::getpwuid(::geteuid());
        const QString passwdHome = entry != nullptr && entry->pw_dir != nullptr
                                       ? QFile::decodeName(entry->pw_dir)
                                       : QString();
        const QString home =
            startupHomePlan(homeVariable, passwdHome, QFileInfo(passwdHome).isDir());
        if (home.isEmpty()) {
            return StartupStatus::NoHome;
        }
        qputenv("HOME", QFile::encodeName(home));
    }
    if (!startupSingleInstance()) {
        return startupLockFailure().isEmpty() ? StartupStatus::AlreadyRunning
                                              : StartupStatus::SettingsUnwritable;
    }
    if (resourcePathStr().contains(QLatin1Char('\\'))) {
        return StartupStatus::BadResourcePath;
    }

    setOPENPERM(true);
    FVAutoLocalizeSetBundle(true);
    FVAutoLocalizeSetName(QStringLiteral("Localized"));
    loadTranslations(options.language);

    logRotate();
    logResume();
    if (options.redirectLogs) {
        redirectLogs2File(logDetailsPathStr(), options.teeToTerminal);
    }

    startupTmpFolder();
    startupLogSystem();

    const QString toolboxFolder = startupToolboxUserFolderStr();
    const bool toolboxFolderReady = QFileInfo(toolboxFolder).isDir() || mkdirCocoa(toolboxFolder);
    logStr(QStringLiteral("QT's user folder    ? %1").arg(toolboxFolderReady ? 1 : 0));

    startupCodecChecks();

    // A job that a kill or crash cut short left its partial output and working files; its
    // record is what the sweep below clears, so they go first.
    encPurgeCrashedJob();
    appRemoveOldTmpPrefs();
    appWriteAllPrefs();
    return StartupStatus::Ok;
}

void quitCleanup() {
    removeOwnTmpFolder();
    setTMPFOLDER(QString());
    // Written out and closed now rather than by a static destructor at exit.
    prefReload();
    startupReleaseSingleInstance();
}
