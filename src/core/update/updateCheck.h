// The update check and the download action: what the menu item "Check for Updates", the
// start-up check and `fluxaro --check-update` run. The front shows the sheet through
// `updateSheet`; alerts go through the installed alert presenter.
#pragma once

#include "platform/utilsSys.h"
#include "update/updateInstall.h"
#include "update/updateRecord.h"
#include "update/webUtils.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

class QObject;

class uiButton;
class uiProgressBar;

/// The update sheet as the front draws it: the release notes, the download address, the
/// outcome text, the progress bar and the stop button.
class updateSheet {
public:
    virtual ~updateSheet() = default;
    virtual bool isVisible() const = 0;
    /// Shows the sheet with the download address and the release notes' address. `notice` is
    /// not empty when the update can't be installed from here (it comes through the package
    /// manager): the sheet then offers the notes' address instead of the download.
    virtual void show(const QString &downloadUrl, const QString &notesUrl,
                      const QString &notice) = 0;
    virtual void close() = 0;
    virtual void setOutcomeText(const QString &text) = 0;
    virtual uiProgressBar *progressBar() = 0;
    virtual uiButton *stopButton() = 0;
    /// Brings the main window back when it is minimised and closes the preferences' sheet.
    virtual void bringMainWindowBack() {}
};

enum class updateCheckStatus {
    NotRun,     ///< automatic check with automatic checks off: no request made
    NoSite,     ///< this build has no update site: no request made
    NoNetwork,  ///< the probe failed
    Unreadable, ///< the answer lacks the record's markers
    UpToDate,
    Offered,
    /// The site's address is not HTTPS (no request made), or the record offers a download that
    /// is not HTTPS or gives a length or SHA-256 that can't be read: `refusal` says which.
    Refused,
};

struct updateCheckResult {
    updateCheckStatus status = updateCheckStatus::NotRun;
    updateRecordDico record;
    QString version;            ///< the record's "version"
    QString downloadUrl;        ///< formed from "dlPath"
    int64_t archiveLength = -1; ///< the record's "dlLength"; -1 when it gives none
    QByteArray archiveSha256;   ///< the record's "dlSha256" (32 bytes); empty when it gives none
    QString notesUrl;
    QString refusal;    ///< why the check is Refused (for the log and the terminal)
    QString refusedUrl; ///< the address refused for not being HTTPS, when that is why
    /// How the last request ended (the probe's when it failed, else the record's): a fetch
    /// that timed out or grew too large is said as such.
    webFetchOutcome fetchOutcome = webFetchOutcome::Answered;
};

/// Checks for an update: `userAsked` for the menu item and the command line (alerts on no
/// update site, a refused site or record, no network and when up to date), false for the
/// automatic check, which does nothing unless the preference "update" is 1. An offered update is
/// shown in the sheet when one is given. The probe and the record request each end within
/// `limits` (20 s, 64 KB), over HTTPS only whatever `limits` says: the base address, the
/// redirects and the record's download address.
/// The window's way: returns at once; the requests run on the calling thread's event loop
/// without a nested loop, and `done` is called there with the result once the alerts and the
/// sheet are shown (at once for NotRun and NoSite). Nothing is shown and `done` is not called
/// when `context` (the window or the sheet) is destroyed first.
void iba_checkForUpdatesAsync(bool userAsked, updateSheet *sheet, QObject *context,
                              std::function<void(const updateCheckResult &)> done,
                              const webFetchLimits &limits = {});

/// The same, blocking until the check ends: for the terminal front, which has no window.
updateCheckResult iba_checkForUpdates(bool userAsked, updateSheet *sheet = nullptr,
                                      const webFetchLimits &limits = {});

enum class updateInstallStatus {
    Closed,    ///< the cancel segment closed the sheet
    Cancelled, ///< the user stopped the download (the sheet says so and stays open)
    Failed,    ///< download, unpacking or install failed (alert shown)
    ToolInstalled,
    NoApplication,  ///< an application archive without an application in it
    NotReplaceable, ///< an application update this copy can't take (package manager...)
    /// The new copy did not answer its `--facts` run from the download folder: nothing was
    /// replaced (alert shown).
    NotAnswering,
    AppInstalled, ///< replaced; the caller restarts (see `updateRestartCommandStr`)
};

struct updateInstallResult {
    updateInstallStatus status = updateInstallStatus::Failed;
    appReplacement replacement;
};

/// The sheet's download action (`cancelSegment`: segment 0 of its control, which only closes
/// the sheet): downloads the offered archive into "<temporary folder>/dl/" (HTTPS only; its
/// length and, when the record gives one, its SHA-256 checked), unpacks it and installs it: a
/// tool, or a new copy of the application once it has answered its `--facts` run from the
/// download folder (`updateTryUnpackedApp`); with the texts of the sheet and the ":-(" alert on
/// failure. The download folder is deleted afterwards.
/// `sender` is disabled while it runs. When the sheet was closed on a failure or a tool install,
/// the window checks again (without asking the user) so that a newer offer comes back.
updateInstallResult iba_dl(const updateCheckResult &offer, updateSheet *sheet, uiButton *sender,
                           bool cancelSegment, const webDownloadLimits &limits = {});

/// The text the sheet shows when this copy can't take an application update; empty when it can.
QString updateNotReplaceableNoticeStr(const QString &notesUrl);
