// gui_atspi_probe READY_FILE DONE_FILE
//
// The main window as a screen reader finds it on the desktop's accessibility bus (run by
// atspiTree.sh under Xvfb with the AT-SPI bus): a batch row, the batch panel open with its
// progress row, the preferences and an alert shown. Writes READY_FILE once they are, then
// waits for DONE_FILE while the tree is read from another process.
#include "analysis/mediaFacts.h"
#include "controller/batchList.h"
#include "dialogs/alertDialogs.h"
#include "frontApi/alerts.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "ui_mainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

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

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: gui_atspi_probe READY_FILE DONE_FILE\n");
        return 2;
    }
    prefReload();
    loadTranslations(QStringLiteral("en"));
    setTMPFOLDER(QDir::tempPath() + "/" + appNameStr() + "/");
    QDir().mkpath(getTMPFOLDER());
    silentPresenter presenter;
    setAlertPresenter(&presenter);

    fluxaroMainWindow window;
    window.startupWindowSteps();
    batchRow row;
    row.name = QStringLiteral("00001.MTS");
    row.source = QStringLiteral("/c/1.MTS");
    row.mediaInfo = QVariantMap{{"v0_fps", 50}, {"srcPathStr", row.source}};
    row.facts = mediaFactsOf(row.mediaInfo);
    window.controller()->whichArrayController()->append(row);
    window.show();
    window.openDrawer();
    // The progress row as while a batch runs.
    window.stopControl()->setHidden(false);
    window.ui()->encTaskProgress->setVisible(true);
    window.preferences()->show();
    alertPlan plan;
    plan.title = QStringLiteral("The disk is full");
    plan.message = QStringLiteral("00001.MTS was not converted.");
    alertDialog alert(plan, nullptr);
    alert.show();
    spin(1500);

    QFile ready(QString::fromLocal8Bit(argv[1]));
    ready.open(QIODevice::WriteOnly);
    ready.close();
    const QString done = QString::fromLocal8Bit(argv[2]);
    spin(60000, [&] { return QFile::exists(done); });
    alert.hide();
    window.preferences()->hide();
    window.controller()->whichArrayController()->clear();
    setAlertPresenter(nullptr);
    return 0;
}
