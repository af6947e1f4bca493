// Installing an unpacked update: a single tool into the user's data folder (where ffmpeg is
// looked for third), or a whole new copy of the application in place of the running one, when
// that copy is the user's to replace.
#pragma once

#include <QString>
#include <QStringList>

/// Whether the running copy of the application may be replaced by an update.
enum class appCopyState {
    Replaceable,     ///< the user can write every part of it (a build tree, a copy in the home)
    PackageManaged,  ///< installed by the system's package manager: updates come through it
    NotWritable,     ///< elsewhere, and the user can't write it
    UpdatesDisabled, ///< this build leaves application updates to its distribution
};

/// The running copy: the folder above "bin" and "share/fluxaro" ("<resource folder>/../..").
QString appCopyPrefixStr();
/// The state of the copy at `prefix` (the running one by default).
appCopyState appCopyStateOf(const QString &prefix = appCopyPrefixStr());
/// True when the file is listed by the Debian package database (or lies in /usr outside
/// /usr/local, the package manager's own tree).
bool appCopyIsPackageFile(const QString &path);

/// True when the download is an application update: the address's last path component, in
/// lower case, contains "fluxaro".
bool updateIsAppArchive(const QString &url);

/// The folder tools are installed to: "$XDG_DATA_HOME/<name>".
QString updateToolFolderStr();

/// Installs the tool unpacked in the download folder (the archive's path without its
/// extension): made executable and moved into the tool folder under its name, replacing an
/// older copy. False when it is missing or can't be moved, and when a folder has its name
/// there (an install never replaces a folder).
bool updateInstallTool(const QString &archivePath);

/// The copy unpacked in the download folder: the first folder (by name) that holds
/// "bin/<executable>" and "share/fluxaro"; empty when there is none.
QString updateFindUnpackedApp(const QString &downloadFolder);

/// Tries the copy unpacked at `unpacked` where it lies, before it replaces anything: runs its
/// "bin/<executable> --facts" with every per-user folder (home, settings, data, state, cache,
/// runtime, temporary files) inside the folder `scratch` (made here), so the trial neither sees
/// nor touches the user's settings, jobs, logs and lock; on trial (FLUXARO_UPDATE_TRIAL=1) and
/// finding its resources beside its own program. True when it ends with status 0 within 60 s
/// and names its own "share/fluxaro" as its resource folder. The window's events are handled
/// meanwhile (user input excepted).
bool updateTryUnpackedApp(const QString &unpacked, const QString &scratch);

/// What replacing the running copy did: the parts moved aside (to restore or delete once the
/// new copy has started).
struct appReplacement {
    bool ok = false;
    QString prefix;
    QStringList parts;    ///< paths inside the prefix that were replaced
    QStringList oldParts; ///< where their old copies are kept, in the same order
};

/// Replaces the parts of the copy at `prefix` by those of the unpacked copy, which has answered
/// its trial (updateTryUnpackedApp): "share/fluxaro", then each other program of the new "bin",
/// the application's program last, so that until every other part is new the program that
/// starts is the old one; the old parts are renamed aside with the suffix ".fluxaro-old". Every
/// program and every tool without extension is made executable. Across file systems each part
/// is copied beside its place, then renamed into it. The plan is journaled first
/// (updateJournalPathStr). On any failure what was moved is put back.
appReplacement updateReplaceApp(const QString &unpacked, const QString &prefix);
/// Puts the old parts back (the new copy did not start).
bool updateRestoreApp(const appReplacement &replacement);
/// Deletes the old parts (the new copy started).
void updateDropOldApp(const appReplacement &replacement);

/// The journal of an application replacement in progress: "<prefix>/share/.fluxaro-update",
/// written before the first part moves ("swapping"), rewritten once every part is new
/// ("verified": the copy now in place answered its trial before the swap), deleted when the
/// new copy is kept or the old one put back.
QString updateJournalPathStr(const QString &prefix);

enum class updateInterruptedOutcome {
    None,       ///< no journal (or the new copy on trial, FLUXARO_UPDATE_TRIAL=1)
    Finished,   ///< every part was new and tried: the old parts are deleted
    RolledBack, ///< the swap was cut short (or never tried): the old parts are back
    Failed,     ///< a damaged journal or a part that can't be moved: left as it is
};

/// At start-up: finishes a replacement that a kill cut short. A "verified" journal means every
/// part is new and the copy answered its trial, so the old parts go. Any other state means the
/// swap itself was cut short (or, "swapped", that an earlier version swapped in a copy nobody
/// had tried), so the old parts come back. Since the application's program moves last, a swap
/// cut short is undone by the old program, and a finished one by a new program that has
/// answered: recovery never waits on a copy that was not tried. Only the parts the journal
/// names inside `prefix` are touched.
updateInterruptedOutcome updateFinishInterrupted(const QString &prefix = appCopyPrefixStr());

/// The shell command that, once the process `pid` has ended, starts the new copy, and deletes
/// the old parts when it is still running 10 seconds later, or puts them back and starts the
/// old copy when it is not.
QString updateRestartCommandStr(const appReplacement &replacement, qint64 pid);
