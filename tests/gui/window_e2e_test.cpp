// End to end through the window: a generated camcorder card dropped on the drop area is
// analysed (rows with thumbnails, the drawer open), Go converts it with the real ffmpeg,
// clipdater and trakmill, and every row turns to success. Quitting while a clip converts asks
// first; confirmed, it leaves no partial or intermediate file behind.
#include "batchTableModel.h"
#include "dragNDropView.h"
#include "e2eMedia.h"
#include "frontApi/alerts.h"
#include "guiFront.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "scriptedPresenter.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "testEnv.h"
#include "ui_mainWindow.h"

#include <QDirIterator>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <csignal>
#include <functional>

#include <gtest/gtest.h>

using namespace e2e;

namespace {

void drop(QWidget *target, const QStringList &paths) {
    QList<QUrl> urls;
    for (const QString &path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent event(QPointF(centre), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

QStringList filesBelow(const QString &folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    return files;
}

class windowE2e : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", (box.root() + "/config").toUtf8());
        qputenv("XDG_STATE_HOME", (box.root() + "/state").toUtf8());
        qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
        prefReload();
        loadTranslations(QStringLiteral("en"));
        setTMPFOLDER(box.root() + "/tmp/");
        setOPENPERM(true);
        setPRORES(1);
        setAlertPresenter(&presenter);
        prefWrite(QStringLiteral("prefDefautDstPathStr"), box.dest());
        w = std::make_unique<fluxaroMainWindow>();
        w->startupWindowSteps();
        w->controller()->hooks.revealFolder = [](const QString &) {};
        w->controller()->hooks.analysisEnded = [this] { ++analysesEnded; };
        w->controller()->hooks.batchEnded = [this] { ++batchesEnded; };
        w->show();
    }
    // Starts the conversion of a clip whose tools run long enough to be interrupted: ffmpeg's
    // copy of a short clip can end within its first progress report, so the clip is exported
    // to ProRes and the wait is for a tool that runs and has shown its progress.
    void startALongConversion() {
        const QString clip = box.root() + "/long.mts";
        ASSERT_TRUE(makeClip(clip, "1280x720", 50, 20));
        drop(w->dropView(), {clip});
        ASSERT_TRUE(spinUntil([&] { return analysesEnded > 0; }, 120000));
        ASSERT_EQ(w->controller()->whichArrayController()->count(), 1);
        w->controller()->whichArrayController()->setFormat(0, 2);
        w->controller()->iba_batchGoBt();
        ASSERT_TRUE(spinUntil(
            [&] {
                return w->controller()->isToolRunning() &&
                       !w->ui()->encProgressPercentStr->text().isEmpty();
            },
            120000));
    }
    void TearDown() override {
        w.reset();
        setAlertPresenter(nullptr);
        prefReload();
    }
    sandbox box;
    scriptedPresenter presenter;
    std::unique_ptr<fluxaroMainWindow> w;
    int analysesEnded = 0;
    int batchesEnded = 0;
};

} // namespace

TEST_F(windowE2e, dropACardPressGoEveryRowSucceeds) {
    const QString card = box.root() + "/card";
    makeCard(card, {{"320x180", 50}, {"320x180", 25}, {"320x180", 100}}, 1);
    EXPECT_EQ(w->ui()->batchEncGoBt->isEnabled(), false);
    // Idle, the window shows no empty progress bar.
    EXPECT_TRUE(w->ui()->encTaskProgress->isHidden());
    drop(w->dropView(), {card});
    // While the card is analysed the drop area shows it is busy.
    EXPECT_EQ(w->dropView()->imageName(), "dndSdOff");
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > 0; }, 120000));
    ASSERT_TRUE(spinUntil([&] { return !w->controller()->thumbnailsPending(); }, 120000));
    batchList *list = w->controller()->whichArrayController();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(w->model()->rowCount(), 3);
    // The card's order, whatever order the file system lists the clips in.
    QStringList names;
    for (int row = 0; row < 3; ++row) {
        names << w->model()->index(row, batchTableModel::colSource).data().toString();
    }
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(names, sorted);
    EXPECT_TRUE(w->isDrawerOpen());
    EXPECT_TRUE(w->ui()->encTaskProgress->isHidden());
    EXPECT_EQ(w->dropView()->imageName(), "dndSd");
    for (int row = 0; row < 3; ++row) {
        const QVariant picture =
            w->model()->index(row, batchTableModel::colThumbnail).data(Qt::DecorationRole);
        EXPECT_FALSE(picture.value<QPixmap>().isNull()) << "row " << row << " has no thumbnail";
    }
    EXPECT_EQ(w->ui()->encDstPathStr->text(), box.dest());
    ASSERT_TRUE(w->ui()->batchEncGoBt->isEnabled());
    QTest::mouseClick(w->ui()->batchEncGoBt, Qt::LeftButton);
    EXPECT_FALSE(w->ui()->encTaskProgress->isHidden());
    ASSERT_TRUE(spinUntil([&] { return batchesEnded > 0; }, 300000));
    EXPECT_TRUE(w->ui()->encTaskProgress->isHidden());
    for (int row = 0; row < list->count(); ++row) {
        EXPECT_EQ(batchRowStateImage(list->row(row).state), "puceSuccess") << "row " << row;
    }
    EXPECT_EQ(box.eventsFiles().size(), 3) << box.eventsFiles().join(", ").toStdString();
    EXPECT_TRUE(w->ui()->batchEncGoBt->isEnabled());
}

// Cancel keeps the conversion going; confirming stops it, and the events folder holds no part
// of the clip that was being converted.
TEST_F(windowE2e, quitWhileConvertingAsksThenLeavesNothing) {
    startALongConversion();
    if (HasFatalFailure()) {
        return;
    }

    const QString cancel = localizedStr("D_Annuler");
    presenter.answer = [](const alertPlan &) { return alertOutcome{0, false}; };
    w->iba_menuQuit();
    ASSERT_FALSE(presenter.shown.isEmpty());
    EXPECT_EQ(presenter.shown.last().title, localizedStr("D_quit_1"));
    EXPECT_EQ(presenter.shown.last().buttons.first(), cancel);
    EXPECT_TRUE(presenter.shown.last().timed);
    EXPECT_TRUE(w->controller()->isBatchRunning());
    EXPECT_TRUE(w->isVisible());

    presenter.answer = [](const alertPlan &) { return alertOutcome{1, false}; };
    w->iba_menuQuit();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->controller()->whichArrayController()->count(), 0);
    QTest::qWait(300);
    EXPECT_TRUE(filesBelow(box.events()).isEmpty())
        << filesBelow(box.events()).join(", ").toStdString();
}

// The stop button during a conversion asks first (Continue changes nothing); "Stop Now" ends
// the batch with one more alert, its summary, which says that it stopped and counts the row.
TEST_F(windowE2e, stopDuringConversionAsksThenEndsWithOneSummary) {
    startALongConversion();
    if (HasFatalFailure()) {
        return;
    }
    presenter.shown.clear();
    presenter.answer = [](const alertPlan &) { return alertOutcome{2, false}; };
    w->stopControl()->segmentButton(1)->click();
    ASSERT_EQ(presenter.shown.size(), 1);
    EXPECT_EQ(presenter.shown.first().buttons,
              QStringList({"Stop after this clip", "Stop Now", "Continue"}));
    EXPECT_EQ(presenter.shown.first().cancelButton, 2);
    EXPECT_TRUE(presenter.shown.first().message.startsWith("long.mts is being converted"));
    EXPECT_TRUE(w->controller()->isToolRunning());
    EXPECT_FALSE(w->stopControl()->isHidden());
    // Paused, the title says so at once; resumed, it no longer does.
    w->stopControl()->segmentButton(0)->click();
    EXPECT_TRUE(w->windowTitle().contains(QStringLiteral(" · paused")))
        << w->windowTitle().toStdString();
    w->stopControl()->segmentButton(0)->click();
    EXPECT_FALSE(w->windowTitle().contains(QStringLiteral("paused")))
        << w->windowTitle().toStdString();

    presenter.shown.clear();
    presenter.answer = [](const alertPlan &plan) {
        return alertOutcome{plan.buttons.size() > 1 ? 1 : 0, false};
    };
    w->stopControl()->segmentButton(1)->click();
    ASSERT_TRUE(spinUntil([&] { return batchesEnded > 0; }, 60000));
    QCoreApplication::processEvents();
    QStringList titles;
    for (const alertPlan &shown : presenter.shown) {
        titles << shown.title + QStringLiteral(" | ") + shown.message;
    }
    ASSERT_EQ(presenter.shown.size(), 2) << titles.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(presenter.shown.last().title, localizedStr("D_action_stop"));
    EXPECT_TRUE(presenter.shown.last().message.contains(QStringLiteral("1 stopped")))
        << presenter.shown.last().message.toStdString();
}

// "Stop after this clip": the clip being converted finishes and is kept, the title says the
// batch stops after it, and the batch then ends as stopped with the next clip not done.
TEST_F(windowE2e, stopAfterThisClipFinishesItFirst) {
    const QString first = box.root() + "/first.mts";
    const QString second = box.root() + "/second.mts";
    ASSERT_TRUE(makeClip(first, "640x360", 50, 6));
    ASSERT_TRUE(makeClip(second, "320x180", 25, 1));
    drop(w->dropView(), {first, second});
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > 0; }, 120000));
    batchList *list = w->controller()->whichArrayController();
    ASSERT_EQ(list->count(), 2);
    list->setFormat(0, 2);
    w->controller()->iba_batchGoBt();
    ASSERT_TRUE(spinUntil(
        [&] {
            return w->controller()->isToolRunning() &&
                   !w->ui()->encProgressPercentStr->text().isEmpty();
        },
        120000));
    presenter.shown.clear();
    presenter.answer = [](const alertPlan &) { return alertOutcome{0, false}; };
    w->stopControl()->segmentButton(1)->click();
    EXPECT_TRUE(w->controller()->stopsAfterJob());
    EXPECT_TRUE(w->windowTitle().contains("stops after this clip"))
        << w->windowTitle().toStdString();
    ASSERT_TRUE(spinUntil([&] { return batchesEnded > 0; }, 300000));
    QCoreApplication::processEvents();
    EXPECT_EQ(batchRowStateImage(list->row(0).state), "puceSuccess");
    EXPECT_EQ(batchRowStateImage(list->row(1).state), "puce");
    EXPECT_EQ(box.eventsFiles().size(), 1) << box.eventsFiles().join(", ").toStdString();
    ASSERT_FALSE(presenter.shown.isEmpty());
    EXPECT_EQ(presenter.shown.last().title, localizedStr("D_action_stop"));
    EXPECT_EQ(presenter.shown.last().message, "1 converted, 1 not done");
    EXPECT_FALSE(w->controller()->stopsAfterJob());
    EXPECT_FALSE(w->windowTitle().contains("stops after"));
}

// The session's end (SIGTERM at a logout or shutdown, the platform's quit request) quits like
// Quit confirmed: no question nobody would answer, and no part of the clip being converted left.
TEST_F(windowE2e, sessionEndQuitsWithoutAskingAndLeavesNothing) {
    startALongConversion();
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_FALSE(filesBelow(box.events()).isEmpty());
    {
        const std::unique_ptr<QObject> watch = guiQuitOnSessionEnd(*w);
        presenter.shown.clear();
        ::raise(SIGTERM);
        ASSERT_TRUE(spinUntil([&] { return !w->isVisible(); }, 10000));
    }
    EXPECT_TRUE(presenter.shown.isEmpty()) << presenter.shown.first().title.toStdString();
    EXPECT_EQ(w->controller()->whichArrayController()->count(), 0);
    QTest::qWait(300);
    EXPECT_TRUE(filesBelow(box.events()).isEmpty())
        << filesBelow(box.events()).join(", ").toStdString();
}

TEST_F(windowE2e, platformQuitRequestQuitsWithoutAsking) {
    startALongConversion();
    if (HasFatalFailure()) {
        return;
    }
    const std::unique_ptr<QObject> watch = guiQuitOnSessionEnd(*w);
    presenter.shown.clear();
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    ASSERT_TRUE(spinUntil([&] { return !w->isVisible(); }, 10000));
    EXPECT_TRUE(presenter.shown.isEmpty());
    QTest::qWait(300);
    EXPECT_TRUE(filesBelow(box.events()).isEmpty())
        << filesBelow(box.events()).join(", ").toStdString();
}

// A folder and files dropped together on the batch table are all taken; the files refused
// beside them (not a movie, missing) get rows that say why, without an alert. A source spoilt
// after its analysis fails: its row says why, the progress bar named each clip and its phase,
// and the end's alert counts the jobs and names the failed one with its reason.
TEST_F(windowE2e, refusedAndFailedSourcesSayWhy) {
    const QString shoot = box.root() + "/shoot";
    QDir().mkpath(shoot);
    const QString good = shoot + "/good.mts";
    const QString bad = box.root() + "/bad.mts";
    ASSERT_TRUE(makeClip(good, "320x180", 25, 1.0));
    ASSERT_TRUE(makeClip(bad, "320x180", 25, 1.0));
    const QString notes = box.root() + "/notes.txt";
    {
        QFile text(notes);
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("not a movie\n");
    }
    const QString missing = box.root() + "/missing.mts";
    w->openDrawer();
    drop(w->ui()->encBatchTableView->viewport(), {shoot, bad, notes, missing});
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > 0; }, 120000));
    batchList *list = w->controller()->whichArrayController();
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(presenter.shown.isEmpty()) << presenter.shown.first().message.toStdString();
    ASSERT_EQ(w->model()->rowCount(), 4);
    const auto cell = [&](int row, int column, int role = Qt::DisplayRole) {
        return w->model()->index(row, column).data(role).toString();
    };
    EXPECT_EQ(cell(2, batchTableModel::colSource), "notes.txt");
    EXPECT_EQ(cell(2, batchTableModel::colStatus), "Refused: not a kind of movie Fluxaro converts");
    EXPECT_EQ(cell(3, batchTableModel::colStatus), "Refused: the file is missing");
    EXPECT_TRUE(cell(3, batchTableModel::colStatus, Qt::ToolTipRole).startsWith(missing));

    // The second source is spoilt after its analysis: ffmpeg makes no movie of it.
    ASSERT_TRUE(QFile::remove(bad));
    {
        QFile spoilt(bad);
        ASSERT_TRUE(spoilt.open(QIODevice::WriteOnly));
        spoilt.write(QByteArray(4096, 'x'));
    }
    QStringList bars;
    const auto windowProgress = w->controller()->hooks.batchProgress;
    w->controller()->hooks.batchProgress = [&](const batchProgressValue &value) {
        windowProgress(value);
        bars << w->ui()->encTaskProgress->format();
    };
    QTest::mouseClick(w->ui()->batchEncGoBt, Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return batchesEnded > 0; }, 300000));
    EXPECT_EQ(batchRowStateImage(list->row(0).state), "puceSuccess");
    ASSERT_EQ(batchRowStateImage(list->row(1).state), "puceFailure");
    const QString why = cell(1, batchTableModel::colStatus);
    EXPECT_TRUE(why.startsWith("Failed: ")) << why.toStdString();
    EXPECT_GT(why.size(), QStringLiteral("Failed: ").size());
    EXPECT_TRUE(cell(1, batchTableModel::colStatus, Qt::ToolTipRole).startsWith(why));
    EXPECT_TRUE(bars.contains(QStringLiteral("good.mts: rewrapping, 1 of 2")) ||
                bars.contains(QStringLiteral("good.mts: converting, 1 of 2")))
        << bars.join(" | ").toStdString();
    EXPECT_TRUE(std::any_of(bars.cbegin(), bars.cend(),
                            [](const QString &b) { return b.startsWith("bad.mts: "); }));

    ASSERT_FALSE(presenter.shown.isEmpty());
    const alertPlan &end = presenter.shown.last();
    EXPECT_EQ(end.title, localizedStr("D_fin_GUI"));
    EXPECT_TRUE(end.warning);
    EXPECT_TRUE(end.message.startsWith("1 converted, 1 failed: bad.mts: " + why.mid(8)))
        << end.message.toStdString();
}
