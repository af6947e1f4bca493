// gui_open_panel_probe FOLDER
//
// The window's Open panel on a real X display (run by openPanelUnderX.sh under Xvfb and
// openbox, which types into it with xdotool as a person would): the panel opens in FOLDER,
// and the paths it answers are printed, one "chosen PATH" line each ("cancelled" when none).
#include "dialogs/alertDialogs.h"
#include "frontApi/alerts.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_open_panel_probe FOLDER\n");
        return 2;
    }
    prefReload();
    loadTranslations(QStringLiteral("en"));
    QMainWindow window;
    window.resize(600, 400);
    window.show();
    windowAlertPresenter presenter;
    presenter.setWindow(&window);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    // The panel shows the folder once it is open (it starts in the home folder).
    QTimer::singleShot(300, [&folder] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *panel = qobject_cast<QFileDialog *>(top); panel && panel->isVisible()) {
                panel->setDirectory(folder);
                std::printf("panel-open\n");
                std::fflush(stdout);
            }
        }
    });
    const std::optional<QStringList> chosen =
        presenter.chooseFilesFolders(QStringLiteral("Open"), {QStringLiteral("mts")});
    if (!chosen) {
        std::printf("cancelled\n");
        return 1;
    }
    for (const QString &path : *chosen) {
        std::printf("chosen %s\n", path.toUtf8().constData());
    }
    return 0;
}
