// The main window: the drop area on top, the batch view below it as a panel that opens under
// the window when the first source has been analysed (the drawer), and the menus. It builds the
// controls over its widgets, hands them to the application controller and forwards the user's
// actions to it; the pipeline itself is the controller's.
#pragma once

#include "batchTableModel.h"
#include "controller/appController.h"
#include "desktop/cardWatch.h"
#include "dialogs/prefWindow.h"
#include "dialogs/segmentedControl.h"
#include "dialogs/widgetControls.h"
#include "dragNDropView.h"

#include <QAction>
#include <QMainWindow>

#include <functional>
#include <memory>

namespace Ui {
class mainWindow;
}

class cardOffers;
class cardWatch;
class fluxaroMainWindow;
class helpWindow;
class updateSheetDialog;

/// The batch drawer of the main window.
class windowDrawer : public uiDrawer {
public:
    explicit windowDrawer(fluxaroMainWindow *window) : window_(window) {}
    bool isOpen() const override;
    void open() override;
    void close() override;

private:
    fluxaroMainWindow *window_;
};

class fluxaroMainWindow : public QMainWindow, public dragNDropViewDelegate {
    Q_OBJECT

public:
    explicit fluxaroMainWindow(QWidget *parent = nullptr);
    ~fluxaroMainWindow() override;

    appController *controller() { return controller_.get(); }
    batchTableModel *model() { return model_.get(); }
    Ui::mainWindow *ui() { return ui_.get(); }
    dragNDropView *dropView() const;
    QWidget *batchView() const;
    segmentedControl *stopControl() const;
    prefWindow *preferences() const { return prefs_; }
    QAction *action(const QString &name) const;
    helpWindow *help() const { return help_; }
    updateSheetDialog *updateSheet() const { return updateSheet_; }
    /// The camera cards offered on the drop area, and the watch that tells of them.
    cardOffers *offers() const { return offers_; }
    cardWatch *cards() const { return cards_; }

    /// The window steps of the start-up: idle drop area, localisation of the window, the
    /// preferences and the menus, version, cleared conversion fields, the preferences' controls
    /// from the store.
    void startupWindowSteps();
    /// Once the event loop runs: the automatic update check (when the preference asks for it)
    /// and the watch for camera cards.
    void applicationDidFinishLaunching();
    /// File > Import Card...: the window's one dialog, with `card` in its card field when given
    /// (and no import running in it).
    void showImportCard(const QString &card = QString());
    /// The File menu says whether cards are noticed.
    void showCardWatchState(cardWatchState state);

    /// The height of the batch panel when it opens.
    static constexpr int drawerHeight = 320;
    /// The smallest height of the drop area while the batch panel is open.
    static constexpr int dropStripHeight = 56;
    /// The width of the batch table's status column.
    static constexpr int statusColumnWidth = 190;
    /// The steps of the batch's progress bar.
    static constexpr int batchBarSteps = 1000;
    /// The largest size of the window's client area on its screen: the screen's available
    /// area less the window manager's frame.
    QSize largestClientSize() const;
    /// Shrinks the window to its screen's available area and moves it inside (where the
    /// client may move itself).
    void keepOnScreen();

    // Commands (menus, buttons, keys).
    void iba_menuQuit();
    /// Quit as the session's end asks it (SIGTERM, the session manager, a logout): like Quit
    /// confirmed, without a question nobody would answer; the running job's partial and
    /// intermediate files go. `why` goes to the log.
    void quitWithoutAsking(const QString &why);
    /// The session is ending: closing the window quits without asking from now on.
    void setSessionEnding() { sessionEnding_ = true; }
    void iba_drawerToggle();
    void iba_menuDebugToggle();
    void openFolderCommand();
    void openLogsFolder();
    void iba_menuHelp();
    void iba_checkForUpdates();
    void chooseDestination();
    /// Removes the row selected in the table (not the one being converted).
    void removeSelectedRow();
    /// Convert Again: the selected converted row waits again, its choices open to change.
    void convertSelectedAgain();

    // The drop area's delegate.
    void dragNDropPerformDrag(dragNDropView *view, const QStringList &paths) override;

    // The drawer: the batch panel below the drop area.
    bool isDrawerOpen() const;
    void openDrawer();
    void closeDrawer();

    /// True when the window may move itself (X11); elsewhere the drawer only resizes it.
    static bool clientMayMoveWindows();

    /// The narrowest the batch table's clip column gets: a camcorder clip's name and more.
    int clipColumnMinimumWidth() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    /// The table's viewport resized: the clip column takes the new room.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void wireControls();
    void placeForDrawer();
    /// Activates the window's layouts now (their minimum sizes follow what just changed).
    void relayoutNow();
    /// The clip column takes the width the other columns leave, at least its minimum.
    void fitClipColumn();
    /// The drop area's captions wrapped (drawer closed) or on one line (drawer open).
    void setDropCaptionsWrapped(bool wrapped);
    void syncSelection();
    void useHudImages(bool hud);
    /// The accessible names of the controls without words of their own (after localisation).
    void nameControls();
    /// An update check runs (or its answer came): said in the Help menu and the version row.
    void showUpdateChecking(bool checking);

    std::unique_ptr<Ui::mainWindow> ui_;
    prefWindow *prefs_ = nullptr;
    helpWindow *help_ = nullptr;
    updateSheetDialog *updateSheet_ = nullptr;
    cardOffers *offers_ = nullptr;
    cardWatch *cards_ = nullptr;
    std::unique_ptr<widgetButton> goBt_;
    /// The running tool's progress, which the controller keeps: the bar shows the batch's.
    plainProgressBar toolProgress_;
    std::unique_ptr<widgetSpinner> analysisWheel_;
    std::unique_ptr<widgetTextField> percent_;
    std::unique_ptr<widgetTextField> action_;
    std::unique_ptr<widgetTextField> destination_;
    std::unique_ptr<widgetTextField> analysisCaption_;
    windowDrawer drawer_{this};
    std::unique_ptr<appController> controller_;
    std::unique_ptr<batchTableModel> model_;
    bool quitting_ = false;
    bool quitAsked_ = false;
    bool sessionEnding_ = false;
    /// The batch's progress as last told, to say the title again (paused, stops after).
    batchProgressValue lastProgress_;
    /// The batch's progress in the window's title, from the controller's typed value.
    void showBatchProgress(const batchProgressValue &given);
    /// A source's verdict: a refused one gets a row saying why (while its drop is analysed).
    void showVerdict(const analysisVerdictValue &verdict);
    /// The end of a batch: an alert that counts how the jobs ended and names those that did
    /// not convert, with why.
    static void showBatchSummary(const batchSummaryValue &summary);
    /// Hands the controller what the preferences and the destination field say now.
    void giveChoices();
    /// Stop pressed: asks whether to stop now, after the clip being converted, or not at all;
    /// true to stop now (after this clip is handed to the controller here).
    bool confirmStop();
    /// Remove All: the batch's rows (after the controller's question) and the refused ones.
    void removeAllRows();
};
