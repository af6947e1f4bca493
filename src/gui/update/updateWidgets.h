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

    /// Checks for an update as the menu item does (the user asked) and shows the sheet when one
    /// is offered.
    void checkForUpdates(bool userAsked);

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
};
