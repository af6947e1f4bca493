// gui_screenshots OUTPUT_FOLDER CARD_FOLDER
//
// Pictures of the main window for the documentation, in the language of the system locale:
// idle, analysing the card (rows with their thumbnails arriving), converting, finished (also in
// the dark theme), and the
// preferences. Each is saved as window-<state>-<language>.png. Run by scripts/screenshots.sh
// under Xvfb, in a private home.
#include "frontApi/alerts.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "ui_mainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

class silentPresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &) override { return {}; }
};

bool spinUntil(const std::function<bool()> &condition, int timeoutMs = 300000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: gui_screenshots OUTPUT_FOLDER CARD_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString card = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    prefReload();
    loadTranslations();
    const QString language = localizedStr(QStringLiteral("D_Langue"));
    setTMPFOLDER(QDir::tempPath() + "/" + appNameStr() + "/");
    QDir().mkpath(getTMPFOLDER());
    setOPENPERM(true);
    setPRORES(1);
    const QString dest = QDir::homePath() + "/Videos";
    QDir().mkpath(dest);
    prefWrite(QStringLiteral("prefDefautDstPathStr"), dest);
    prefWrite(QStringLiteral("prefCheckMatrix"), 2);
    prefWrite(QStringLiteral("prefSpeed"), 0);
    silentPresenter presenter;
    setAlertPresenter(&presenter);

    fluxaroMainWindow window;
    window.startupWindowSteps();
    window.controller()->hooks.revealFolder = [](const QString &) {};
    bool analysed = false;
    bool finished = false;
    window.controller()->hooks.analysisEnded = [&] { analysed = true; };
    window.controller()->hooks.batchEnded = [&] { finished = true; };
    window.move(40, 40);
    window.show();
    int saved = 0;
    auto shot = [&](const QString &state, QWidget *widget) {
        QCoreApplication::processEvents();
        QTimer::singleShot(150, [] {});
        spinUntil([] { return false; }, 150);
        const QString path = QStringLiteral("%1/window-%2-%3.png").arg(out, state, language);
        if (widget->grab().save(path)) {
            ++saved;
            std::printf("%s\n", path.toUtf8().constData());
        }
    };
    spinUntil([] { return false; }, 300);
    shot(QStringLiteral("idle"), &window);

    batchList *list = window.controller()->whichArrayController();
    window.controller()->dragNDropPerformDrag({card});
    // Analysing: the second row is there with its picture, the third still being probed.
    spinUntil([&] { return analysed || (list->count() >= 2 && list->row(1).thumbnailShown); });
    shot(QStringLiteral("analysing"), &window);
    spinUntil([&] { return analysed && !window.controller()->thumbnailsPending(); });

    // Rows of every kind: the 25 frames/s clip stays at normal speed, the others show choices.
    window.ui()->batchEncGoBt->click();
    spinUntil([&] {
        const QString percent = window.ui()->encProgressPercentStr->text();
        return finished || percent.section(QLatin1Char(' '), 0, 0).toInt() >= 40;
    });
    shot(QStringLiteral("converting"), &window);
    spinUntil([&] { return finished; });
    spinUntil([] { return false; }, 300);
    shot(QStringLiteral("finished"), &window);
    // The same window in the dark theme, for its contrast.
    window.preferences()->themeKeeper()->setTheme(2);
    spinUntil([] { return false; }, 300);
    shot(QStringLiteral("dark"), &window);
    window.preferences()->themeKeeper()->setTheme(0);

    window.action(QStringLiteral("menuPref"))->trigger();
    spinUntil([] { return false; }, 500);
    shot(QStringLiteral("preferences"), window.preferences());
    window.preferences()->iba_menuPrefClose();
    window.controller()->terminateRuns();
    list->clear();
    setAlertPresenter(nullptr);
    return saved == 6 ? 0 : 1;
}
