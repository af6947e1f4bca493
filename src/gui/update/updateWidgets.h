// The update sheet on the main window: the release notes in a text browser (no script runs),
// the download address, a determinate progress bar, the stop button, the outcome text and the
// cancel / download control. The core drives it through `updateSheet`.
#pragma once

#include "dialogs/widgetControls.h"
#include "frontApi/uiControls.h"
#include "update/updateCheck.h"

#include <QDialog>

#include <functional>

class QLabel;
class QNetworkAccessManager;
class QProgressBar;
class QPushButton;
class QTextBrowser;

class updateSheetDialog : public QDialog, public updateSheet {
public:
    /// A window-modal sheet on `mainWindow`.
    explicit updateSheetDialog(QWidget *mainWindow);
    ~updateSheetDialog() override;

    bool isVisible() const override;
    void show(const QString &downloadUrl, const QString &notesUrl, const QString &notice) override;
    void close() override;
    void setOutcomeText(const QString &text) override;
    uiProgressBar *progressBar() override { return &progress_; }
    uiButton *stopButton() override { return &stop_; }
    void bringMainWindowBack() override;

    /// Starts a check for an update (the menu item: the user asked; the start-up check: not)
    /// and returns at once: the window keeps answering while the site is asked, and the sheet
    /// or the alert comes when the answer does. A check asked while one runs is not started.
    void checkForUpdates(bool userAsked);
    /// True from the start of a check to its end.
    bool isChecking() const { return checking_; }
    /// Bounds of the check's requests (20 s, 64 KB by default).
    void setFetchLimits(const webFetchLimits &limits) { limits_ = limits; }
    /// Called on each check's end with its result; by default nothing.
    std::function<void(const updateCheckResult &)> onChecked;
    /// Told when a check starts (true) and when its answer came (false): the window shows that
    /// one runs, since it may take its whole 20 s.
    std::function<void(bool checking)> onCheckingChanged;

    /// Called after an application install with what the restart needs (the front quits and
    /// runs `updateRestartCommandStr`); by default nothing.
    std::function<void(const appReplacement &)> onAppInstalled;

    QTextBrowser *notesView() const { return notes_; }
    /// "Version X is available, you have Y." above the notes (hidden without an offer).
    void showOfferedVersion(const updateCheckResult &offer);
    QLabel *offeredLabel() const { return offered_; }
    QPushButton *stopBt() const { return stopBt_; }

private:
    void download();
    void loadNotes(const QString &url);

    QLabel *offered_ = nullptr;
    QTextBrowser *notes_ = nullptr;
    QLabel *address_ = nullptr;
    QLabel *outcome_ = nullptr;
    QLabel *notice_ = nullptr;
    QProgressBar *bar_ = nullptr;
    QPushButton *stopBt_ = nullptr;
    QPushButton *cancelBt_ = nullptr;
    QPushButton *downloadBt_ = nullptr;
    QNetworkAccessManager *network_ = nullptr;
    widgetProgressBar progress_;
    widgetButton stop_;
    widgetButton download_;
    updateCheckResult offer_;
    webFetchLimits limits_;
    bool checking_ = false;
};
