// The main window offscreen, with a scripted alert presenter: which drags the drop area takes,
// what a refused drop shows and queues, the stop control's switching by its segment images, the
// segment cells of a row (mouse and keyboard), the window on a small screen, the hand-over of a
// second start, the drawer toggle, the debug toggle and the localised texts.
#include "batchWords.h"
#include "controller/appController.h"
#include "controller/startup.h"
#include "dragNDropView.h"
#include "frontApi/alerts.h"
#include "guiFront.h"
#include "helpWindow.h"
#include "instanceHandover.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "scriptedPresenter.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "testEnv.h"
#include "ui_mainWindow.h"
#include "ui_prefWindow.h"
#include "updateWidgets.h"
#include "windowFixture.h"

#include <QDragEnterEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class recordingDelegate : public dragNDropViewDelegate {
public:
    QList<QStringList> drops;
    void dragNDropPerformDrag(dragNDropView *, const QStringList &paths) override {
        drops << paths;
    }
};

QMimeData *urls(const QList<QUrl> &list) {
    auto *mime = new QMimeData;
    mime->setUrls(list);
    return mime;
}

/// Sends a drag entering and, when accepted, a drop; true when the drag was accepted.
bool dragAndDrop(QWidget *target, QMimeData *mime) {
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(centre), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

// Only local files and folders are taken: text, web addresses, files of another machine and a
// drag that mixes them with local files are not.
TEST(dragNDrop, localPathsOnly) {
    const std::unique_ptr<QMimeData> text(new QMimeData);
    text->setText("/home/me/clip.mts");
    EXPECT_FALSE(dragNDropLocalPaths(text.get()));
    EXPECT_FALSE(dragNDropLocalPaths(nullptr));
    const std::unique_ptr<QMimeData> web(urls({QUrl("https://example.org/clip.mts")}));
    EXPECT_FALSE(dragNDropLocalPaths(web.get()));
    const std::unique_ptr<QMimeData> share(urls({QUrl("file://nas/share/clip.mts")}));
    EXPECT_FALSE(dragNDropLocalPaths(share.get()));
    const std::unique_ptr<QMimeData> mixed(
        urls({QUrl::fromLocalFile("/tmp/a.mts"), QUrl("smb://nas/b.mts")}));
    EXPECT_FALSE(dragNDropLocalPaths(mixed.get()));
    const std::unique_ptr<QMimeData> local(
        urls({QUrl::fromLocalFile("/tmp/a.mts"), QUrl::fromLocalFile("/tmp/card")}));
    ASSERT_TRUE(dragNDropLocalPaths(local.get()));
    EXPECT_EQ(*dragNDropLocalPaths(local.get()), QStringList({"/tmp/a.mts", "/tmp/card"}));
}

// The drop area refuses a text drag; it takes files and hands them over in order; without a
// delegate a drop of files is accepted and goes nowhere.
TEST(dragNDrop, viewHandsFilesToItsDelegate) {
    dragNDropView view;
    view.resize(300, 200);
    recordingDelegate delegate;
    view.setDelegate(&delegate);
    QMimeData text;
    text.setText("hello");
    EXPECT_FALSE(dragAndDrop(&view, &text));
    const std::unique_ptr<QMimeData> files(
        urls({QUrl::fromLocalFile("/tmp/b.mts"), QUrl::fromLocalFile("/tmp/a.mts")}));
    EXPECT_TRUE(dragAndDrop(&view, files.get()));
    ASSERT_EQ(delegate.drops.size(), 1);
    EXPECT_EQ(delegate.drops.first(), QStringList({"/tmp/b.mts", "/tmp/a.mts"}));
    view.setDelegate(nullptr);
    EXPECT_TRUE(dragAndDrop(&view, files.get()));
    EXPECT_EQ(delegate.drops.size(), 1);
}

// Files of a type that is no movie: the sheet that says so, nothing queued, the drop area idle
// again and additions allowed. A drop while an analysis runs is ignored without a word.
TEST_F(window, refusedDropsQueueNothing) {
    const QString notes = file("notes.txt");
    const std::unique_ptr<QMimeData> mime(urls({QUrl::fromLocalFile(notes)}));
    ASSERT_TRUE(dragAndDrop(w->dropView(), mime.get()));
    ASSERT_EQ(presenter.shown.size(), 1);
    EXPECT_EQ(presenter.shown.first().title,
              localizedStr(QStringLiteral("dndNonCompliantFolderFilesTitle")));
    EXPECT_TRUE(presenter.shown.first().sheet);
    // It warns, names the file and says which kinds are taken.
    EXPECT_TRUE(presenter.shown.first().warning);
    EXPECT_TRUE(presenter.shown.first().message.contains(QStringLiteral("\nnotes.txt\n")))
        << presenter.shown.first().message.toStdString();
    EXPECT_TRUE(presenter.shown.first().message.contains(QStringLiteral(".mts")));
    EXPECT_FALSE(presenter.shown.first().message.contains(QStringLiteral(".MTS")));
    EXPECT_TRUE(prefRead(QStringLiteral("analysisSrcPathesDico")).isEmpty());
    EXPECT_FALSE(prefReadDico(QStringLiteral("analysisSrcPathesDico")).has_value());
    EXPECT_EQ(w->dropView()->imageName(), "dndSd");
    EXPECT_FALSE(w->ui()->dndCaptionStr->isHidden());
    EXPECT_TRUE(getOPENPERM());
    EXPECT_EQ(w->controller()->whichArrayController()->count(), 0);
    EXPECT_FALSE(w->isDrawerOpen());

    // An empty folder: no message.
    QDir().mkpath(dir.path() + "/empty");
    const std::unique_ptr<QMimeData> folder(urls({QUrl::fromLocalFile(dir.path() + "/empty")}));
    ASSERT_TRUE(dragAndDrop(w->dropView(), folder.get()));
    EXPECT_EQ(presenter.shown.size(), 1);

    setOPENPERM(false);
    const QString clip = file("clip.mts");
    const std::unique_ptr<QMimeData> during(urls({QUrl::fromLocalFile(clip)}));
    ASSERT_TRUE(dragAndDrop(w->dropView(), during.get()));
    EXPECT_EQ(presenter.shown.size(), 1);
    EXPECT_FALSE(prefReadDico(QStringLiteral("analysisSrcPathesDico")).has_value());
    EXPECT_FALSE(w->controller()->isAnalysing());
}

// The pause segment pauses and resumes the run; its picture follows the paused state the
// controller tells, keeping its look (plain or "Hud"), and the action text comes back as it was;
// the stop segment hides the control and tells that the batch stopped.
TEST_F(window, stopControlFollowsThePausedState) {
    segmentedControl *stop = w->stopControl();
    stop->setHidden(false);
    w->ui()->encProgressActionStr->setText("00001.MTS");
    ASSERT_TRUE(stop->imageName(0).startsWith("btPause"));
    const QString hud = stop->imageName(0).endsWith("Hud") ? "Hud" : "";
    stop->segmentButton(0)->click();
    EXPECT_EQ(stop->imageName(0), "btPlay" + hud);
    EXPECT_EQ(w->ui()->encProgressActionStr->text(), localizedStr("D_action_pause"));
    EXPECT_EQ(stop->selectedSegment(), -1);
    stop->segmentButton(0)->click();
    EXPECT_EQ(stop->imageName(0), "btPause" + hud);
    EXPECT_EQ(w->ui()->encProgressActionStr->text(), "00001.MTS");
    // Stop asks first; between clips there is nothing to finish: stop now, or go on.
    presenter.answer = [](const alertPlan &) { return alertOutcome{1, false}; };
    stop->segmentButton(1)->click();
    EXPECT_FALSE(stop->isHidden()) << "Continue changes nothing";
    presenter.answer = [](const alertPlan &) { return alertOutcome{0, false}; };
    stop->segmentButton(1)->click();
    EXPECT_TRUE(stop->isHidden());
    ASSERT_FALSE(presenter.shown.isEmpty());
    EXPECT_EQ(presenter.shown.last().title, localizedStr("D_action_stop"));
    QCoreApplication::processEvents();
}

// What the person chooses reaches the controller as a value, whenever it changes: the
// preferences' defaults of new rows (a rewrap takes half rate away, by the rows' own rule), the
// destination field; a destination Go takes instead of a missing one is shown in the field.
TEST_F(window, choicesReachTheControllerAsAValue) {
    setPRORES(1);
    w->preferences()->prefFill();
    appController *controller = w->controller();
    prefWindow *prefs = w->preferences();
    prefs->outputFormat()->segmentButton(2)->click();
    EXPECT_EQ(controller->choices().format, 2);
    prefs->frameRateMode()->segmentButton(1)->click();
    EXPECT_EQ(controller->choices().rate, 1);
    prefs->outputFormat()->segmentButton(0)->click();
    EXPECT_EQ(controller->choices().format, 0);
    EXPECT_EQ(controller->choices().rate, 0) << "half rate needs an export";
    EXPECT_FALSE(prefs->frameRateMode()->isSegmentEnabled(1));
    prefs->form()->prefSurrondBt->setChecked(true);
    EXPECT_TRUE(controller->choices().surround);
    prefs->form()->prefJoinBt->setChecked(false);
    EXPECT_FALSE(controller->choices().join);
    w->ui()->encDstPathStr->setText(dir.path() + "/gone");
    EXPECT_EQ(controller->choices().destination, dir.path() + "/gone");

    prefWrite(QStringLiteral("prefDefautDstPathStr"), dir.path());
    controller->hooks.revealFolder = [](const QString &) {};
    controller->whichArrayController()->append(windowTestRow(dir.path() + "/nowhere.mts", 25));
    controller->iba_batchGoBt();
    EXPECT_EQ(w->ui()->encDstPathStr->text(), dir.path());
    EXPECT_EQ(controller->choices().destination, dir.path());
    ASSERT_TRUE(spinUntil([&] { return !controller->isBatchRunning(); }, 10000));
    controller->whichArrayController()->clear();
}

// A row of a 25 frames/s source: clicking its slow-motion segment changes nothing; a 50 frames/s
// row takes slow motion, and half rate only with a codec other than rewrap.
TEST_F(window, segmentCellsFollowTheRules) {
    setPRORES(1);
    batchList *list = w->controller()->whichArrayController();
    auto row = [](double fps) {
        batchRow r = windowTestRow(QString("/x/%1.mts").arg(fps), fps);
        r.name = "clip.mts";
        return r;
    };
    list->append(row(25));
    list->append(row(50));
    w->openDrawer();
    w->show();
    QTableView *table = w->ui()->encBatchTableView;
    QCoreApplication::processEvents();
    auto click = [&](int r, int column, int segment) {
        const QRect cell = table->visualRect(w->model()->index(r, column));
        const QPoint at(cell.left() + 4 + (cell.width() - 8) * (2 * segment + 1) / 6,
                        cell.center().y());
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCoreApplication::processEvents();
    };
    click(0, batchTableModel::colFps, 2);
    EXPECT_EQ(list->row(0).rateMode, 0);
    click(1, batchTableModel::colFps, 2);
    EXPECT_EQ(list->row(1).rateMode, 2);
    click(1, batchTableModel::colFps, 1);
    EXPECT_EQ(list->row(1).rateMode, 2) << "half rate is off for a rewrapped row";
    click(1, batchTableModel::colOut, 2);
    EXPECT_EQ(list->row(1).format, 2);
    click(1, batchTableModel::colFps, 1);
    EXPECT_EQ(list->row(1).rateMode, 1);
    // Back to rewrap: the half-rate choice can't stay.
    click(1, batchTableModel::colOut, 0);
    EXPECT_EQ(list->row(1).rateMode, 0);
    list->clear();
}

// A source accepted as progressive pictures in an interlaced stream says so in its row's
// tooltip, in French under French; another row's tooltip has no such line.
TEST_F(window, sourceTooltipCarriesTheFieldsVerdict) {
    batchList *list = w->controller()->whichArrayController();
    auto row = [](const QString &note) {
        QVariantMap dico{{"v0_fps", 25.0}, {"srcPathStr", "/x/psf.mts"}};
        if (!note.isEmpty()) {
            dico["scanNoteStr"] = note;
            dico["v0_scanStr"] = "psf";
        }
        return windowTestRowOf("/x/psf.mts", dico);
    };
    list->append(row("progressive pictures in an interlaced stream"));
    list->append(row(QString()));
    const QString psf =
        w->model()
            ->data(w->model()->index(0, batchTableModel::colSource), Qt::ToolTipRole)
            .toString();
    EXPECT_TRUE(psf.endsWith("\naccepted: progressive pictures in an interlaced stream"))
        << psf.toStdString();
    const QString plain =
        w->model()
            ->data(w->model()->index(1, batchTableModel::colSource), Qt::ToolTipRole)
            .toString();
    EXPECT_FALSE(plain.contains("accepted:")) << plain.toStdString();
    ASSERT_TRUE(loadTranslations(QStringLiteral("fr")));
    const QString french = batchSourceTooltip(list->row(0));
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
    EXPECT_EQ(french.toStdString(),
              "/x/psf.mts\nx, 25 images/s\naccepté : images progressives dans un flux "
              "entrelacé");
    list->clear();
}

// The drawer opens the batch panel and grows the window, as far as the screen lets it;
// toggling an open drawer closes it.
// The debug command toggled twice leaves debugging off and its item unchecked.
TEST_F(window, drawerAndDebugToggles) {
    w->show();
    const int before = w->height();
    w->iba_drawerToggle();
    EXPECT_TRUE(w->isDrawerOpen());
    EXPECT_GE(w->height(),
              std::min(before + fluxaroMainWindow::drawerHeight, w->largestClientSize().height()));
    EXPECT_LE(w->height(), w->largestClientSize().height());
    w->iba_drawerToggle();
    EXPECT_FALSE(w->isDrawerOpen());

    QAction *debug = w->action("menuDebug");
    ASSERT_NE(debug, nullptr);
    w->iba_menuDebugToggle();
    EXPECT_TRUE(getDEBUG());
    EXPECT_TRUE(debug->isChecked());
    EXPECT_EQ(debug->text(), localizedStr("menuDebug0"));
    w->iba_menuDebugToggle();
    EXPECT_FALSE(getDEBUG());
    EXPECT_FALSE(debug->isChecked());
}

// Every "@@" text of the window is replaced at start-up (none is left for the user to see),
// the menus carry the shortcuts a Linux desktop expects, and French comes with the locale.
TEST_F(window, textsAndShortcuts) {
    QStringList left;
    for (QWidget *widget : w->findChildren<QWidget *>()) {
        if (auto *label = qobject_cast<QLabel *>(widget); label && label->text().startsWith("@@")) {
            left << label->objectName();
        }
        if (auto *button = qobject_cast<QAbstractButton *>(widget);
            button && button->text().startsWith("@@")) {
            left << button->objectName();
        }
    }
    EXPECT_TRUE(left.isEmpty()) << left.join(", ").toStdString();
    EXPECT_EQ(w->ui()->batchEncGoBt->text(), localizedStr("batchGo"));
    EXPECT_NE(localizedStr("batchGo"), "batchGo");
    EXPECT_EQ(w->action("menuOpen")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(w->action("menuQuit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(w->action("menuPref")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(w->action("menuGo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Return));
    EXPECT_EQ(w->action("menuRemove")->shortcut(), QKeySequence(QKeySequence::Delete));

    ASSERT_TRUE(loadTranslations(QStringLiteral("fr")));
    fluxaroMainWindow french;
    french.startupWindowSteps();
    EXPECT_EQ(french.ui()->batchEncGoBt->text(), "Convertir");
    loadTranslations(QStringLiteral("en"));
}

// The help menu's commands reach their windows: the update check asked for by the user says
// when the build has no update site, the automatic one stays silent while automatic checks are off,
// and the help window is toggled by the Help command and put away when the program quits.
TEST_F(window, helpMenuCommands) {
    qunsetenv("FLUXARO_UPDATE_URL");
    w->applicationDidFinishLaunching();
    EXPECT_TRUE(presenter.shown.isEmpty());
    w->action("menuCheckUpdates")->trigger();
    ASSERT_EQ(presenter.shown.size(), 1);
    EXPECT_TRUE(presenter.shown.first().message.contains(QStringLiteral("no update site")))
        << presenter.shown.first().message.toStdString();
    EXPECT_FALSE(w->updateSheet()->isVisible());
    for (const char *name : {"menuSite", "menuBugreport", "menuContact"}) {
        EXPECT_NE(w->action(name), nullptr) << name;
    }
    EXPECT_EQ(w->action("menuHelp")->shortcut(), QKeySequence(QKeySequence::HelpContents));

    w->show();
    w->action("menuHelp")->trigger();
    ASSERT_NE(w->help(), nullptr);
    EXPECT_TRUE(w->help()->isVisible());
    w->action("menuHelp")->trigger();
    EXPECT_FALSE(w->help()->isVisible());
    w->action("menuHelp")->trigger();
    w->iba_menuQuit();
    EXPECT_FALSE(w->help()->isVisible());
}

// An update check says it runs while its answer is awaited: the menu item (which can't be
// chosen twice) and the version row; both come back with the answer.
TEST_F(window, updateCheckSaysItRuns) {
    // An update site that refuses at once: the answer comes from the event loop, not at once.
    qputenv("FLUXARO_UPDATE_URL", "https://127.0.0.1:1/");
    QAction *check = w->action("menuCheckUpdates");
    ASSERT_NE(check, nullptr);
    const QString version = w->ui()->appVersionFloatStr->text();
    w->iba_checkForUpdates();
    ASSERT_TRUE(w->updateSheet()->isChecking());
    EXPECT_FALSE(check->isEnabled());
    EXPECT_EQ(check->text(), "Checking for Updates…");
    EXPECT_EQ(w->ui()->appVersionFloatStr->text(), version + " · checking for updates…");
    ASSERT_TRUE(spinUntil([&] { return !w->updateSheet()->isChecking(); }, 30000));
    EXPECT_TRUE(check->isEnabled());
    EXPECT_EQ(check->text(), localizedStr("menuCheckUpdates"));
    EXPECT_EQ(w->ui()->appVersionFloatStr->text(), version);
    qunsetenv("FLUXARO_UPDATE_URL");
}

// A drop of many files that are no movies names the first few and counts the others, so the
// sheet stays readable.
TEST_F(window, refusedDropOfManyFilesCountsTheRest) {
    QList<QUrl> many;
    for (int i = 0; i < 1000; ++i) {
        many << QUrl::fromLocalFile(
            file(QStringLiteral("page%1.txt").arg(i, 4, 10, QLatin1Char('0'))));
    }
    const std::unique_ptr<QMimeData> mime(urls(many));
    ASSERT_TRUE(dragAndDrop(w->dropView(), mime.get()));
    ASSERT_EQ(presenter.shown.size(), 1);
    const QString message = presenter.shown.first().message;
    EXPECT_TRUE(message.contains(QStringLiteral("page0000.txt")));
    EXPECT_TRUE(message.contains(QStringLiteral("page0007.txt")));
    EXPECT_FALSE(message.contains(QStringLiteral("page0008.txt")));
    EXPECT_TRUE(message.contains(QStringLiteral("and 992 more"))) << message.toStdString();
    EXPECT_TRUE(getOPENPERM());
}

// The format and frame-rate cells of a row answer the keyboard, each key with one meaning: +
// and − move the choice over the greyed segments to the next one that can be taken, Space goes
// round, the arrows move from cell to cell and change nothing. The focused cell wears a clear
// frame. Their tooltips say why a choice is greyed. Tab leaves the table.
TEST_F(window, rowCellsChangeFromTheKeyboard) {
    setAIC(0);
    setPRORES(1);
    batchList *list = w->controller()->whichArrayController();
    batchRow r = windowTestRow(QString("/x/50.mts"), 50);
    r.name = "clip.mts";
    list->append(r);
    r = windowTestRow(QString("/x/25.mts"), 25);
    r.name = "clip.mts";
    list->append(r);
    w->openDrawer();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTableView *table = w->ui()->encBatchTableView;
    table->setFocus();
    auto key = [&](Qt::Key k) {
        QTest::keyClick(table, k);
        QCoreApplication::processEvents();
    };
    table->setCurrentIndex(w->model()->index(0, batchTableModel::colOut));
    key(Qt::Key_Plus); // over the greyed AIC to ProRes
    EXPECT_EQ(list->row(0).format, 2);
    key(Qt::Key_Plus); // no choice further: nothing changes, the cell stays
    EXPECT_EQ(list->row(0).format, 2);
    EXPECT_EQ(table->currentIndex().column(), int(batchTableModel::colOut));
    key(Qt::Key_Minus);
    EXPECT_EQ(list->row(0).format, 0);
    key(Qt::Key_Equal); // + without Shift on most keyboards
    EXPECT_EQ(list->row(0).format, 2);
    // The arrows only move: the choice stays as it is.
    key(Qt::Key_Right);
    EXPECT_EQ(list->row(0).format, 2);
    EXPECT_EQ(table->currentIndex().column(), int(batchTableModel::colFps));
    key(Qt::Key_Left);
    EXPECT_EQ(table->currentIndex().column(), int(batchTableModel::colOut));
    key(Qt::Key_Right);
    key(Qt::Key_Plus);
    EXPECT_EQ(list->row(0).rateMode, 1);
    key(Qt::Key_Space);
    EXPECT_EQ(list->row(0).rateMode, 2);
    key(Qt::Key_Space); // round to the start
    EXPECT_EQ(list->row(0).rateMode, 0);
    table->setCurrentIndex(w->model()->index(0, batchTableModel::colOut));
    key(Qt::Key_Space); // round to rewrap, which takes the half rate away
    EXPECT_EQ(list->row(0).format, 0);

    // A 25 frames/s row: no rate change can be chosen, and the cell says why.
    table->setCurrentIndex(w->model()->index(1, batchTableModel::colFps));
    key(Qt::Key_Space);
    EXPECT_EQ(list->row(1).rateMode, 0);
    const QString why =
        w->model()->index(1, batchTableModel::colFps).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(why.contains(QStringLiteral("½ rate: needs a source of 31 frames/s or more")))
        << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("Slow motion: needs a source of 31 frames/s or more")));
    const QString rewrapWhy =
        w->model()->index(0, batchTableModel::colFps).data(Qt::AccessibleTextRole).toString();
    EXPECT_TRUE(rewrapWhy.contains(QStringLiteral("½ rate: not with “Rewrap”")))
        << rewrapWhy.toStdString();
    EXPECT_TRUE(w->model()
                    ->index(0, batchTableModel::colOut)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("AIC: no encoder for it on this system")));

    // The keyboard's cell is framed in the highlight colour, two pixels wide, whatever column.
    for (int column : {int(batchTableModel::colSource), int(batchTableModel::colFps)}) {
        // Current but not selected: a selected row's own highlight would hide a missing frame.
        table->selectionModel()->setCurrentIndex(w->model()->index(0, column),
                                                 QItemSelectionModel::Clear);
        QCoreApplication::processEvents();
        const QImage shot = table->viewport()->grab().toImage();
        const QRect cell = table->visualRect(table->currentIndex());
        const qreal ratio = shot.devicePixelRatio();
        const QColor highlight = table->palette().color(QPalette::Highlight);
        int framed = 0;
        for (int y = cell.top() + 8; y < cell.bottom() - 8; ++y) {
            bool edge = false;
            for (int x = cell.left(); x <= cell.left() + 4; ++x) {
                const QColor seen = shot.pixelColor(QPoint(x, y) * ratio);
                edge = edge ||
                       (std::abs(seen.hue() - highlight.hue()) < 12 &&
                        std::abs(seen.value() - highlight.value()) < 40 && seen.saturation() > 60);
            }
            framed += edge ? 1 : 0;
        }
        EXPECT_GT(framed, (cell.height() - 16) / 2) << "column " << column;
    }

    key(Qt::Key_Tab);
    EXPECT_FALSE(table->hasFocus());
    EXPECT_NE(QApplication::focusWidget(), nullptr);
    list->clear();
}

// On a small screen (the offscreen one: 800x600) the window with its batch open stays inside
// the screen's free area: the drop area gives up its height first, the table scrolls its rows,
// and the progress row and the buttons stay in the window.
TEST_F(window, openBatchFitsTheScreen) {
    batchList *list = w->controller()->whichArrayController();
    for (int i = 0; i < 30; ++i) {
        batchRow r = windowTestRow(QStringLiteral("/x/%1.mts").arg(i), 50);
        r.name = QStringLiteral("%1.MTS").arg(i, 5, 10, QLatin1Char('0'));
        list->append(r);
    }
    w->show();
    w->resize(700, 560);
    w->openDrawer();
    QCoreApplication::processEvents();
    const QRect area = w->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(w->frameGeometry()))
        << w->frameGeometry().width() << "x" << w->frameGeometry().height();
    EXPECT_LE(w->minimumSizeHint().height(), area.height());
    // Shorter still (800x500 less a title bar and a panel): the drop area gives up its height
    // before the table does.
    w->resize(w->width(), 440);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->height(), 440);
    EXPECT_LT(w->ui()->dndImgView->height(), 150);
    QTableView *table = w->ui()->encBatchTableView;
    EXPECT_GE(table->height(), table->minimumHeight());
    EXPECT_GT(table->verticalScrollBar()->maximum(), 0);
    for (QWidget *kept : {static_cast<QWidget *>(w->ui()->batchEncGoBt),
                          static_cast<QWidget *>(w->ui()->encTaskProgress),
                          static_cast<QWidget *>(w->ui()->encDstBt)}) {
        const QRect inWindow(kept->mapTo(w.get(), QPoint()), kept->size());
        EXPECT_TRUE(w->rect().contains(inWindow)) << kept->objectName().toStdString();
    }
    list->clear();
}

// A second `fluxaro` without sources, while this window holds the single-instance lock, hands
// over nothing, brings the minimised window back and exits 0.
TEST_F(window, secondStartWithoutSourcesRaisesTheWindow) {
    ASSERT_TRUE(startupSingleInstance());
    instanceServer server;
    QList<QStringList> handed;
    server.received = [this, &handed](const QStringList &paths) {
        handed << paths;
        guiTakeHandOver(*w, paths);
    };
    ASSERT_TRUE(server.listen());
    w->showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(w->isMinimized());
    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), {});
    ASSERT_TRUE(second.waitForStarted(10000));
    ASSERT_TRUE(spinUntil([&] { return second.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAll().toStdString();
    ASSERT_EQ(handed.size(), 1);
    EXPECT_TRUE(handed.first().isEmpty());
    EXPECT_FALSE(w->isMinimized());
    EXPECT_FALSE(w->controller()->isAnalysing());
    startupReleaseSingleInstance();
}

// The progress bar's words: the clip, its phase by its row's format, its place; the phase alone
// before a clip; a '%' in a name kept as it is (the bar would read "%p" as its percentage);
// French with the French table. A row that did not convert says its outcome and why.
TEST(batchWords, progressBarAndRowTexts) {
    struct barCase {
        const char *lang;
        batchPhase phase;
        int32_t position;
        QString clip;
        int32_t out;
        QString text;
    };
    const QList<barCase> cases = {
        {"en", batchPhase::converting, 3, "/c/00003.MTS", 0, "00003.MTS: rewrapping, 3 of 6"},
        {"en", batchPhase::converting, 2, "/c/00002.MTS", 2, "00002.MTS: converting, 2 of 6"},
        {"en", batchPhase::exporting, 2, "/c/00002.MTS", 2,
         "00002.MTS: encoding to ProRes 422 HQ, 2 of 6"},
        {"en", batchPhase::exporting, 1, "/c/a.mts", 1, "a.mts: encoding to AIC, 1 of 6"},
        {"en", batchPhase::checking, 6, "/c/100%.mts", 0, "100%%.mts: checking, 6 of 6"},
        {"en", batchPhase::analysing, 0, QString(), 0, "analysing"},
        {"fr", batchPhase::exporting, 2, "/c/00002.MTS", 2,
         "00002.MTS : encodage en ProRes 422 HQ, 2 sur 6"},
    };
    for (const barCase &c : cases) {
        ASSERT_TRUE(loadTranslations(QString::fromLatin1(c.lang)));
        batchProgressValue value;
        value.phase = c.phase;
        value.position = c.position;
        value.total = 6;
        value.clip = c.clip;
        EXPECT_EQ(batchProgressBarText(value, c.out, QStringLiteral("ProRes 422 HQ")), c.text)
            << c.text.toStdString();
    }
    jobOutcomeValue failed;
    failed.kind = jobOutcomeKind::failed;
    failed.failure = jobFailure::notEnoughSpace;
    failed.words = jobFailureWords(jobFailure::notEnoughSpace);
    EXPECT_EQ(batchOutcomeRowText(failed), QStringLiteral("Échec : ") + failed.words);
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
    failed.words = jobFailureWords(jobFailure::notEnoughSpace);
    EXPECT_EQ(batchOutcomeRowText(failed), QStringLiteral("Failed: the disk is full"));
    jobOutcomeValue stopped;
    stopped.kind = jobOutcomeKind::stopped;
    stopped.words = QStringLiteral("stopped");
    EXPECT_EQ(batchOutcomeRowText(stopped), QStringLiteral("Stopped"));
}
