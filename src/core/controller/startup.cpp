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

#include <memory>

namespace {

std::unique_ptr<QLockFile> &lockHolder() {
    static std::unique_ptr<QLockFile> holder;
    return holder;
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
    case StartupStatus::Ok:
        break;
    }
    return QString();
}

bool startupSingleInstance() {
    std::unique_ptr<QLockFile> &holder = lockHolder();
    if (holder) {
        return true;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    QDir().mkpath(folder);
    auto lock = std::make_unique<QLockFile>(folder + QLatin1Char('/') + appIdentifierStr() +
                                            QStringLiteral(".lock"));
    // Only a lock whose process is gone counts as stale, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        logStr(QStringLiteral("single instance     :-( %1").arg(folder));
        return false;
    }
    holder = std::move(lock);
    return true;
}

void startupReleaseSingleInstance() {
    lockHolder().reset();
}

QString startupTmpFolder() {
    // TMPDIR as the system gives it, when it names a folder we may write in: a missing one,
    // a file or an empty value must not make us create folders elsewhere (at the root).
    QString tmp = QDir::tempPath();
    const QFileInfo tmpInfo(tmp);
    if (tmp.isEmpty() || !tmpInfo.isDir() || !tmpInfo.isWritable()) {
        logStr(QStringLiteral("TMPDIR              :-( not a writable folder: '%1'").arg(tmp));
        tmp = QStringLiteral("/tmp");
    }
    if (!tmp.endsWith(QLatin1Char('/'))) {
        tmp.append(QLatin1Char('/'));
    }
    setTMPFOLDER(QStringLiteral("%1%2/").arg(tmp, appNameStr()));
    const QString folder = getTMPFOLDER();
    rmCocoa(folder);
    if (!mkdirCocoa(folder)) {
        setTMPFOLDER(QString());
        // File names are appended to the folder: the fallback keeps its final "/".
        setTMPFOLDER(getTMPFOLDER() + QLatin1Char('/'));
        rmCocoa(getTMPFOLDER());
        mkdirCocoa(getTMPFOLDER());
    }
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
    if (!startupSingleInstance()) {
        return StartupStatus::AlreadyRunning;
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
    rmCocoa(getTMPFOLDER());
    // Written out and closed now rather than by a static destructor at exit.
    prefReload();
    startupReleaseSingleInstance();
}
