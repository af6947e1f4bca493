// The window on a 1600x1000 screen at a scale of 2 (800x500 for the window), offscreen: the
// batch owns the screen whatever re-lays it out (the batch panel closed and opened again with
// Ctrl+B, rows added), the preferences fit or scroll, and the clip's name keeps a readable
// width however the other columns grow.
#include "testEnv.h"
#include "ui_mainWindow.h"
#include "ui_prefWindow.h"
#include "windowFixture.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {

/// True when the widget lies whole inside its window and is shown.
bool insideItsWindow(QWidget *widget) {
    QWidget *top = widget->window();
    const QRect at(widget->mapTo(top, QPoint()), widget->size());
    return widget->isVisibleTo(top) && top->rect().contains(at);
}

void fill(batchList *list, int rows) {
    for (int i = list->count(); i < rows; ++i) {
        list->append(windowTestRow(QStringLiteral("/card/PRIVATE/AVCHD/BDMV/STREAM/%1.MTS")
                                       .arg(i, 5, 10, QLatin1Char('0')),
                                   50));
    }
}

} // namespace

TEST_F(window, screenIsTheScaledOne) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->geometry().size(), QSize(800, 500));
    EXPECT_DOUBLE_EQ(screen->devicePixelRatio(), 2.0);
}

// Ctrl+B twice (closed, opened again), then rows added and a theme changed: every time the
// window stays inside the screen's free area with its progress row, Convert and Stop in it.
TEST_F(window, batchPanelStaysOnScreenAfterEveryRelayout) {
    batchList *list = w->controller()->whichArrayController();
    fill(list, 3);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->openDrawer();
    w->stopControl()->setHidden(false);
    w->ui()->encTaskProgress->setVisible(true);
    QCoreApplication::processEvents();
    const QRect area = w->screen()->availableGeometry();
    auto fits = [&](const char *when) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(area.contains(w->frameGeometry()))
            << when << ": " << w->frameGeometry().width() << "x" << w->frameGeometry().height()
            << "+" << w->frameGeometry().x() << "+" << w->frameGeometry().y();
        EXPECT_LE(w->minimumSizeHint().height(), area.height()) << when;
        for (QWidget *kept : {static_cast<QWidget *>(w->ui()->batchEncGoBt),
                              static_cast<QWidget *>(w->ui()->encTaskProgress),
                              static_cast<QWidget *>(w->stopControl()),
                              static_cast<QWidget *>(w->ui()->encDstBt)}) {
            EXPECT_TRUE(insideItsWindow(kept)) << when << ": " << kept->objectName().toStdString();
        }
    };
    fits("opened");
    QTest::keyClick(w.get(), Qt::Key_B, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->isDrawerOpen());
    EXPECT_TRUE(area.contains(w->frameGeometry())) << "closed";
    QTest::keyClick(w.get(), Qt::Key_B, Qt::ControlModifier);
    ASSERT_TRUE(w->isDrawerOpen());
    fits("Ctrl+B twice");
    fill(list, 30);
    fits("thirty rows");
    EXPECT_GT(w->ui()->encBatchTableView->verticalScrollBar()->maximum(), 0);
    w->preferences()->colour()->segmentButton(2)->click();
    fits("dark theme");
    w->preferences()->colour()->segmentButton(0)->click();
    list->clear();
}

// The preferences are no taller than the screen: their Close button can be reached.
TEST_F(window, preferencesFitTheScreen) {
    w->show();
    prefWindow *prefs = w->preferences();
    prefs->iba_menuPref();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(prefs));
    QCoreApplication::processEvents();
    const QRect area = prefs->screen()->availableGeometry();
    EXPECT_LE(prefs->frameGeometry().height(), area.height());
    EXPECT_TRUE(area.contains(prefs->frameGeometry()))
        << prefs->frameGeometry().width() << "x" << prefs->frameGeometry().height();
    QPushButton *close = prefs->form()->prefCloseBt;
    EXPECT_TRUE(insideItsWindow(close));
    const QRect closeOnScreen(close->mapToGlobal(QPoint()), close->size());
    EXPECT_TRUE(area.contains(closeOnScreen));
    // Whatever does not fit scrolls: the last choice can be brought into view.
    QWidget *last = prefs->form()->updatePrefBt;
    if (auto *scroll = prefs->findChild<QScrollArea *>(); scroll != nullptr) {
        scroll->ensureWidgetVisible(last);
        QCoreApplication::processEvents();
    }
    const QRect lastInPrefs(last->mapTo(prefs, QPoint()), last->size());
    EXPECT_TRUE(prefs->rect().contains(lastInPrefs));
    prefs->iba_menuPref();
}

// The clip's name keeps room for "00000.MTS" and more, with a long reason in the status column
// and the segment cells at their width.
TEST_F(window, clipColumnKeepsAReadableWidth) {
    batchList *list = w->controller()->whichArrayController();
    fill(list, 2);
    w->show();
    w->openDrawer();
    QCoreApplication::processEvents();
    QTableView *table = w->ui()->encBatchTableView;
    const int clip = table->horizontalHeader()->sectionSize(batchTableModel::colSource);
    const int readable = table->fontMetrics().horizontalAdvance(QStringLiteral("00000.MTS")) + 16;
    EXPECT_GE(clip, readable) << "the clip column is " << clip << " px";
    EXPECT_EQ(clip, w->clipColumnMinimumWidth());
    // The table scrolls sideways rather than shrink the name.
    EXPECT_GT(table->horizontalScrollBar()->maximum(), 0);
    // With the room, the clip column takes what the others leave: no gap, no scrolling.
    w->ui()->encBatchTableView->horizontalHeader()->resizeSection(batchTableModel::colStatus, 28);
    QCoreApplication::processEvents();
    QHeaderView *header = table->horizontalHeader();
    EXPECT_EQ(header->length(), table->viewport()->width());
    EXPECT_GT(header->sectionSize(batchTableModel::colSource), readable);
    list->clear();
}
