// End to end through the window: a generated camcorder card dropped on the drop area is
// analysed (rows with thumbnails, the drawer open), Go converts it with the real ffmpeg,
// clipdater and trakmill, and every row turns to success. Quitting while a clip converts asks
// first; confirmed, it leaves no partial or intermediate file behind.
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
        w->controller()->whichArrayController()->setValue(0, QStringLiteral("out"), 2);
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
        EXPECT_EQ(list->value(row, "resultat").toString(), "puceSuccess") << "row " << row;
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
