// The order in which the core is set up when the application starts (the steps that need no
// window) and torn down when it quits.
#pragma once

#include <QString>

/// Why start-up refused to go on; the front shows a critical alert with the localized title and
/// message keys, then quits.
enum class StartupStatus {
    Ok,
    OldProcessor,    ///< "D_check_CPU" / "DL_loi_2"
    AlreadyRunning,  ///< "D_appAlreadyOpened_1" / "D_appAlreadyOpened_2"
    BadResourcePath, ///< "D_appAlreadyOpened_3" / "D_FXpref_ouvert_2"
    /// The settings folder can't be written (its lock can't be made): "D_settingsUnwritable_1" /
    /// "D_settingsUnwritable_2", with the folder and the system's reason.
    SettingsUnwritable,
    /// HOME is not set and the user has no home folder of their own: "D_noHome_1" /
    /// "D_noHome_2". Nothing is written at the root in its place.
    NoHome,
};

/// The localized title key and message key of the alert for a refusal (empty for Ok).
QString startupAlertTitleKey(StartupStatus status);
QString startupAlertMessageKey(StartupStatus status);
/// The alert's message in the user's language, with what failed filled in (the settings
/// folder and the system's reason).
QString startupAlertMessageStr(StartupStatus status);

/// The home folder start-up uses when HOME is not set (or not an absolute path): the user's
/// own from the password database, when it is a folder other than the root; empty when there
/// is none. Pure: the caller gives what it read.
QString startupHomePlan(const QString &homeVariable, const QString &passwdHome,
                        bool passwdHomeIsDir);

struct StartupOptions {
    /// Send standard output and error to "Details.log" (off only in tests).
    bool redirectLogs = true;
    /// Also keep the log lines on the terminal (headless front).
    bool teeToTerminal = false;
    /// Translation language ("fr", "en"); empty: the system's.
    QString language;
};

/// The start-up of the core, in order: processor check, single instance, resource path check,
/// OPENPERM and translations, logs (rotation, summary log, redirection), temporary folder,
/// system facts, the toolbox's per-user folder, the codec checks, the preferences sweep and
/// defaults. Needs a QCoreApplication. Stops at the first refusal and returns it.
StartupStatus startupRun(const StartupOptions &options = {});

/// The single-instance lock: "<identifier>.lock" in the settings folder (beside
/// prefFilePathStr), which all of the user's sessions share whatever their runtime folder.
QString startupLockPathStr();
/// Single instance: takes the lock startupLockPathStr and keeps it for the life of the
/// process. False when another running instance holds it, or when the lock can't be made at
/// all (startupLockFailure then says why). Calling it again after success returns true.
bool startupSingleInstance();
/// Why the last startupSingleInstance could not make its lock ("<folder>: <reason>"); empty
/// when it succeeded or another instance holds the lock.
QString startupLockFailure();
/// Lets the lock go (tests, and quitting).
void startupReleaseSingleInstance();

/// Step 6: TMPFOLDER becomes a new folder of this process alone, "<base>/<name>-XXXXXX/" made
/// exclusively with mode 0700 (mkdtemp): the base is the system's temporary folder (TMPDIR,
/// /tmp when that is no writable folder), else XDG_RUNTIME_DIR when it is the user's private
/// folder, else "$XDG_CACHE_HOME/<name>". No folder is ever shared with another run or user,
/// and none of another is deleted or trashed. A folder an earlier call made is deleted first.
/// Logged "TMPFOLDER           : <path>". Returns the folder in use (with its final "/").
QString startupTmpFolder();

/// Step 7: logs the machine (architecture, processors, system, media libraries, graphics) and
/// "app                 : <name> - <short version> (<build version>)".
void startupLogSystem();

/// The toolbox's per-user folder: "$XDG_DATA_HOME/<name>/QuickTime".
QString startupToolboxUserFolderStr();

/// Steps 9 and 10, the codec checks: sets getAIC, getPRORESdec, getMTS and getPRORES from the
/// component registry of the movie toolbox and logs them (codecsStartupCheck, QTCodecs.h).
void startupCodecChecks();

/// Quitting, after the front has stopped any running tool and emptied the batch: deletes the
/// temporary folder start-up made (never through the trash), writes the preferences store out, lets
/// the single-instance lock go.
void quitCleanup();
