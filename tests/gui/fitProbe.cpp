// gui_fit_probe READY_FILE DONE_FILE
//
// The main window on a real X display with a window manager (run by fitUnderWindowManager.sh
// under Xvfb and openbox): a batch of thirty rows with the batch panel open, then the help
// window. Each must lie inside its screen's free area as the window manager placed it, the
// table scrolling its rows and the progress row and buttons inside the window. Prints each
// window's X id, writes READY_FILE and waits for DONE_FILE (the script reads the frames with
// xwininfo meanwhile). Exit status 0 when everything fits.
#include "analysis/mediaFacts.h"
#include "controller/batchList.h"
#include "frontApi/alerts.h"
#include "helpWindow.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "ui_mainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QScrollBar>

#include <cstdio>
#include <functional>

namespace {

class silentPresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &) override { return {}; }
};

void spin(
    int ms, const std::function<bool()> &done = [] { return false; }) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

int failures = 0;

void check(bool ok, const QString &what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.toUtf8().constData());
    if (!ok) {
        ++failures;
    }
}

QString rectText(const QRect &r) {
    return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: gui_fit_probe READY_FILE DONE_FILE\n");
        return 2;
    }
    prefReload();
    loadTranslations();
    setTMPFOLDER(QDir::tempPath() + "/" + appNameStr() + "/");
    QDir().mkpath(getTMPFOLDER());
    silentPresenter presenter;
    setAlertPresenter(&presenter);

    fluxaroMainWindow window;
    window.startupWindowSteps();
    batchList *list = window.controller()->whichArrayController();
    for (int i = 0; i < 30; ++i) {
        batchRow row;
        row.name = QStringLiteral("%1.MTS").arg(i, 5, 10, QLatin1Char('0'));
        row.source = QStringLiteral("/x/%1.MTS").arg(i);
        row.mediaInfo = QVariantMap{{"v0_fps", 50}, {"srcPathStr", row.source}};
        row.facts = mediaFactsOf(row.mediaInfo);
        list->append(row);
    }
    // Low on the screen, as after a move by the user: opening the batch must bring it back up.
    const QRect area = window.screen()->availableGeometry();
    window.show();
    spin(1500, [&] { return window.frameGeometry() != window.geometry(); });
    window.move(area.left() + 40, area.bottom() - 420);
    spin(500);
    window.openDrawer();
    spin(1500);
    std::printf("screen %s, window frame %s, window %s\n", rectText(area).toUtf8().constData(),
                rectText(window.frameGeometry()).toUtf8().constData(),
                rectText(window.geometry()).toUtf8().constData());
    check(window.frameGeometry() != window.geometry(),
          QStringLiteral("a window manager frames the window"));
    check(area.contains(window.frameGeometry()),
          QStringLiteral("the window's frame is inside the screen"));
    QTableView *table = window.ui()->encBatchTableView;
    check(table->verticalScrollBar()->maximum() > 0, QStringLiteral("the table scrolls its rows"));
    // The layout got the room it needs: nothing drawn over anything else.
    QWidget *content = window.centralWidget();
    std::printf("content %dx%d, its minimum %dx%d; drop area %d, table %d (minimum %d)\n",
                content->width(), content->height(), content->minimumSizeHint().width(),
                content->minimumSizeHint().height(), window.ui()->dndImgView->height(),
                table->height(), table->minimumHeight());
    check(content->height() >= content->minimumSizeHint().height(),
          QStringLiteral("the window's content has its minimum height"));
    const QRect tableRect(table->mapTo(&window, QPoint()), table->size());
    const QRect buttonRect(window.ui()->batchEncGoBt->mapTo(&window, QPoint()),
                           window.ui()->batchEncGoBt->size());
    check(!tableRect.intersects(buttonRect), QStringLiteral("the buttons are below the table"));
    for (QWidget *kept : {static_cast<QWidget *>(window.ui()->batchEncGoBt),
                          static_cast<QWidget *>(window.ui()->encTaskProgress),
                          static_cast<QWidget *>(window.ui()->batchEncRemoveBt),
                          static_cast<QWidget *>(window.ui()->encDstBt)}) {
        const QRect inWindow(kept->mapTo(&window, QPoint()), kept->size());
        check(window.rect().contains(inWindow),
              kept->objectName() + QStringLiteral(" is inside the window"));
    }

    // A picture of the window for a person to look at, when asked for.
    const QString shots = qEnvironmentVariable("SHOTS");
    if (!shots.isEmpty()) {
        window.grab().save(QStringLiteral("%1/fit-window-%2x%3.png")
                               .arg(shots)
                               .arg(area.width())
                               .arg(area.height()));
    }
    window.iba_menuHelp();
    helpWindow *help = window.help();
    spin(2500, [&] { return help != nullptr && help->frameGeometry() != help->geometry(); });
    if (help != nullptr) {
        std::printf("help frame %s\n", rectText(help->frameGeometry()).toUtf8().constData());
        check(area.contains(help->frameGeometry()),
              QStringLiteral("the help window is inside the screen"));
    }
    std::printf("window-id %llu\n", static_cast<unsigned long long>(window.winId()));
    if (help != nullptr) {
        std::printf("help-id %llu\n", static_cast<unsigned long long>(help->winId()));
    }
    std::fflush(stdout);
    QFile ready(QString::fromLocal8Bit(argv[1]));
    ready.open(QIODevice::WriteOnly);
    ready.close();
    const QString done = QString::fromLocal8Bit(argv[2]);
    spin(30000, [&] { return QFile::exists(done); });
    if (help != nullptr && help->isVisible()) {
        help->iba_menuHelp();
    }
    list->clear();
    setAlertPresenter(nullptr);
    return failures == 0 ? 0 : 1;
}
