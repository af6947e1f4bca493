// One story of a batch, offscreen: a clip whose source went away keeps its row, which says why;
// an existing movie kept wears a neutral mark, not the failure's; the end-of-batch alert and the
// desktop notification say the same words for skipped, kept and stopped clips; a converted row's
// choices are locked until "Convert Again" opens them.
#include "controller/desktopHooks.h"
#include "controller/jobRecord.h"
#include "testEnv.h"
#include "ui_mainWindow.h"
#include "windowFixture.h"

#include <QAction>
#include <QDir>
#include <QTableView>
#include <QTest>

namespace {

jobOutcomeValue outcomeOf(uint64_t rowId, jobOutcomeKind kind, jobFailure failure,
                          const QString &src) {
    return jobOutcomeOf(rowId, src, kind, failure, QString());
}

} // namespace

// Go over a row whose source was deleted after its analysis: the batch goes on to the next row
// and ends; the row is still there, marked failed, and says it was skipped and why, and the
// alert counts it as skipped.
TEST_F(window, skippedClipKeepsItsRowAndReason) {
    batchList *list = w->controller()->whichArrayController();
    list->append(windowTestRow(dir.path() + "/gone.MTS", 50));
    list->append(windowTestRow(dir.path() + "/gone too.MTS", 50));
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/dst"));
    w->controller()->hooks.revealFolder = [](const QString &) {};
    w->ui()->encDstPathStr->setText(dir.path() + "/dst");
    w->controller()->iba_batchGoBt();
    ASSERT_TRUE(spinUntil([&] { return !w->controller()->isBatchRunning(); }, 10000));
    ASSERT_EQ(list->count(), 2);
    for (int row = 0; row < 2; ++row) {
        const QModelIndex status = w->model()->index(row, batchTableModel::colStatus);
        EXPECT_EQ(status.data(batchTableModel::statusRole).toString(), "puceFailure");
        EXPECT_EQ(status.data(Qt::DisplayRole).toString(), "Skipped: the source is gone");
        EXPECT_EQ(status.data(Qt::AccessibleTextRole).toString(), "Skipped: the source is gone");
    }
    ASSERT_FALSE(presenter.shown.isEmpty());
    EXPECT_TRUE(presenter.shown.last().message.startsWith("0 converted, 2 skipped"))
        << presenter.shown.last().message.toStdString();
    EXPECT_TRUE(presenter.shown.last().warning);
}

// A kept movie is the person's own answer: a neutral mark and "Kept"; a failure keeps its cross.
TEST_F(window, keptRowWearsANeutralMark) {
    batchList *list = w->controller()->whichArrayController();
    const uint64_t keptId = list->append(windowTestRow("/c/kept.MTS", 50));
    const uint64_t failedId = list->append(windowTestRow("/c/failed.MTS", 50));
    list->setState(0, rowState::failed);
    list->setState(1, rowState::failed);
    w->model()->setOutcome(
        outcomeOf(keptId, jobOutcomeKind::kept, jobFailure::none, "/c/kept.MTS"));
    w->model()->setOutcome(
        outcomeOf(failedId, jobOutcomeKind::failed, jobFailure::notEnoughSpace, "/c/failed.MTS"));
    const QModelIndex kept = w->model()->index(0, batchTableModel::colStatus);
    const QModelIndex failed = w->model()->index(1, batchTableModel::colStatus);
    EXPECT_EQ(kept.data(batchTableModel::statusRole).toString(), "puceKept");
    EXPECT_EQ(kept.data(Qt::DisplayRole).toString(), "Kept: the existing movie was kept");
    EXPECT_EQ(failed.data(batchTableModel::statusRole).toString(), "puceFailure");
    // The marks differ as pictures too, not only by name.
    const QImage keptMark = kept.data(Qt::DecorationRole).value<QPixmap>().toImage();
    const QImage failedMark = failed.data(Qt::DecorationRole).value<QPixmap>().toImage();
    ASSERT_FALSE(keptMark.isNull());
    EXPECT_NE(keptMark, failedMark);
}

// The same summaries through the window's alert and the notification's text: skipped is not
// failed, kept is counted, a stop says stopped and not done; in English and in French.
TEST_F(window, notificationSaysWhatTheAlertSays) {
    const QList<jobOutcomeValue> outcomes = {
        outcomeOf(1, jobOutcomeKind::converted, jobFailure::none, "/c/00001.MTS"),
        outcomeOf(2, jobOutcomeKind::skipped, jobFailure::sourceGone, "/c/00002.MTS"),
        outcomeOf(3, jobOutcomeKind::kept, jobFailure::none, "/c/00003.MTS"),
        outcomeOf(4, jobOutcomeKind::stopped, jobFailure::stopped, "/c/00004.MTS"),
        outcomeOf(5, jobOutcomeKind::notDone, jobFailure::none, "/c/00005.MTS"),
    };
    const struct {
        const char *lang;
        int count;
        bool stopped;
        const char *body;
    } cases[] = {
        {"en", 2, false, "1 converted, 1 skipped: 00002.MTS: the source is gone"},
        {"en", 3, false,
         "1 converted, 1 kept, 1 skipped: 00002.MTS: the source is gone; 00003.MTS: the existing "
         "movie was kept"},
        {"en", 5, true,
         "1 converted, 1 kept, 1 skipped, 1 stopped, 1 not done: 00002.MTS: the source is gone; "
         "00003.MTS: the existing movie was kept"},
        {"fr", 5, true,
         "1 converti(s), 1 conservé(s), 1 ignoré(s), 1 arrêté(s), 1 non traité(s) : 00002.MTS : "
         "la source a disparu; 00003.MTS : le film existant a été conservé"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(loadTranslations(QString::fromLatin1(c.lang)));
        QList<jobOutcomeValue> told;
        for (jobOutcomeValue outcome : outcomes.mid(0, c.count)) {
            told << jobOutcomeOf(outcome.rowId, outcome.src, outcome.kind, outcome.failure,
                                 QString());
        }
        const batchSummaryValue summary = batchSummaryOf(told, c.stopped);
        presenter.shown.clear();
        w->controller()->hooks.batchSummary(summary);
        ASSERT_EQ(presenter.shown.size(), 1);
        EXPECT_EQ(presenter.shown.first().message.toStdString(), c.body);
        EXPECT_EQ(desktopBatchBodyStr(summary).toStdString(), c.body);
        EXPECT_EQ(presenter.shown.first().title,
                  localizedStr(c.stopped ? "D_action_stop" : "D_fin_GUI"));
    }
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
    EXPECT_EQ(desktopBatchStoppedStr(), "The conversion was stopped");
}

// A converted row's format and rate no longer change (Go would leave the row alone): clicks
// and keys do nothing and the cell says so; Convert Again, from the Batch menu or the row's
// own menu, makes it wait again with its choices open.
TEST_F(window, convertedRowIsLockedUntilConvertAgain) {
    setAIC(1);
    setPRORES(1);
    batchList *list = w->controller()->whichArrayController();
    list->append(windowTestRow("/c/done.MTS", 50));
    list->append(windowTestRow("/c/waiting.MTS", 50));
    list->setState(0, rowState::converted);
    w->openDrawer();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTableView *table = w->ui()->encBatchTableView;
    auto click = [&](int r, int column, int segment) {
        const QRect cell = table->visualRect(w->model()->index(r, column));
        const QPoint at(cell.left() + 4 + (cell.width() - 8) * (2 * segment + 1) / 6,
                        cell.center().y());
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCoreApplication::processEvents();
    };
    click(0, batchTableModel::colOut, 2);
    EXPECT_EQ(list->row(0).format, 0);
    table->setFocus();
    table->setCurrentIndex(w->model()->index(0, batchTableModel::colFps));
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(list->row(0).rateMode, 0);
    EXPECT_TRUE(w->model()
                    ->index(0, batchTableModel::colOut)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains("“Convert Again”"));
    click(1, batchTableModel::colOut, 2);
    EXPECT_EQ(list->row(1).format, 2) << "a waiting row still takes a change";

    QAction *again = w->action("menuConvertAgain");
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->isEnabled()) << "the waiting row is selected";
    table->selectRow(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(again->isEnabled());
    again->trigger();
    EXPECT_EQ(list->row(0).state, rowState::waiting);
    EXPECT_FALSE(again->isEnabled());
    click(0, batchTableModel::colOut, 2);
    EXPECT_EQ(list->row(0).format, 2);
    list->clear();
}

// Delete takes the selected row at once, and Undo Remove (Ctrl+Z) puts it back where it was
// with its thumbnail; a row removed and listed again since is not put back a second time.
TEST_F(window, removedRowComesBackWithUndo) {
    batchList *list = w->controller()->whichArrayController();
    const QString thumbnail = file("b.jpg");
    for (const char *name : {"a", "b", "c"}) {
        list->append(windowTestRow(QStringLiteral("/c/%1.MTS").arg(name), 50));
    }
    batchRow withPicture = list->row(1);
    withPicture.thumbnailPath = thumbnail;
    list->replace(1, withPicture);
    w->openDrawer();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTableView *table = w->ui()->encBatchTableView;
    table->setFocus();
    table->selectRow(1);
    QAction *undo = w->action("menuUndoRemove");
    ASSERT_NE(undo, nullptr);
    EXPECT_FALSE(undo->isEnabled());
    QTest::keyClick(table, Qt::Key_Delete);
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_TRUE(QFile::exists(thumbnail)) << "kept while the remove can be undone";
    QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->row(1).source, "/c/b.MTS");
    EXPECT_EQ(list->row(1).thumbnailPath, thumbnail);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(w->model()->index(row, batchTableModel::colOrder).data().toInt(), row + 1);
    }
    EXPECT_FALSE(undo->isEnabled());

    // Removed, then listed again: Undo leaves the list as it is.
    table->selectRow(0);
    QTest::keyClick(table, Qt::Key_Delete);
    list->append(windowTestRow("/c/a.MTS", 50));
    undo->trigger();
    EXPECT_EQ(list->count(), 3);
    EXPECT_FALSE(undo->isEnabled());

    // A second remove forgets the first: its thumbnail goes.
    table->selectRow(0);
    QTest::keyClick(table, Qt::Key_Delete);
    table->selectRow(0);
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_FALSE(QFile::exists(thumbnail));
    list->clear();
}

// A choice that can't be taken keeps its crossed picture legible in every theme: its red cross
// is still drawn (the style's disabled rendering turned it into a grey blob on dark themes).
TEST_F(window, crossedChoicesStayLegibleInEveryTheme) {
    setAIC(0);
    setPRORES(0);
    batchList *list = w->controller()->whichArrayController();
    list->append(windowTestRow("/c/00001.MTS", 50));
    w->openDrawer();
    w->show();
    QTableView *table = w->ui()->encBatchTableView;
    for (int theme : {0, 1, 2, 3}) {
        w->preferences()->colour()->segmentButton(theme)->click();
        QCoreApplication::processEvents();
        const QImage shot = table->viewport()->grab().toImage();
        const QRect cell = table->visualRect(w->model()->index(0, batchTableModel::colOut));
        // The AIC segment: the middle third of the cell.
        const QRect aic(cell.left() + cell.width() / 3, cell.top(), cell.width() / 3,
                        cell.height());
        int red = 0;
        for (int y = aic.top(); y <= aic.bottom(); ++y) {
            for (int x = aic.left(); x <= aic.right(); ++x) {
                const QColor seen = shot.pixelColor(QPoint(x, y) * shot.devicePixelRatio());
                red += (seen.hue() <= 15 || seen.hue() >= 345) && seen.saturation() > 90 &&
                               seen.value() > 90
                           ? 1
                           : 0;
            }
        }
        EXPECT_GT(red, 4) << "theme " << theme;
    }
    w->preferences()->colour()->segmentButton(0)->click();
    list->clear();
}
