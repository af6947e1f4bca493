// gui_bench [SECONDS [FORMAT]]
//
// Makes the sample card (scripts/make-sample-card.sh, clips of SECONDS, 3 by default), opens
// the main window in a private home, drops the card on it, waits for the analysis and the
// thumbnails, presses Go and waits for the batch to end, with FORMAT (0 rewrap, 2 ProRes; 2 by
// default) for every row. Meanwhile a 10 ms timer notes how late each of its ticks comes: a
// late tick is a stall of the event loop, a window that does not redraw or answer. Prints the
// longest stall of each phase, the five longest with what the window showed, and the run's
// times. Run it under QT_QPA_PLATFORM=offscreen or a display.
#include "frontApi/alerts.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "ui_mainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

struct stall {
    double ms = 0;
    double atSeconds = 0;
    QString phase;
    QString shown;
};

class silentPresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &) override { return {}; }
};

} // namespace

int main(int argc, char **argv) {
    QTemporaryDir home;
    for (const char *sub : {"config", "state", "runtime", "tmp", "dest", "data"}) {
        QDir().mkpath(home.path() + "/" + sub);
    }
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_STATE_HOME", (home.path() + "/state").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int format = argc > 2 ? atoi(argv[2]) : 2;

    const QString card = home.path() + "/card";
    QProcess make;
    make.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    make.setStandardOutputFile(QProcess::nullDevice());
    make.start("bash", {QStringLiteral(FLUXARO_SOURCE_DIR) + "/scripts/make-sample-card.sh", card,
                        QString::number(seconds)});
    if (!make.waitForFinished(-1) || make.exitCode() != 0) {
        std::fprintf(stderr, "gui_bench: the sample card could not be made\n");
        return 1;
    }

    prefReload();
    loadTranslations(QStringLiteral("en"));
    setTMPFOLDER(home.path() + "/tmp/");
    setOPENPERM(true);
    setPRORES(1);
    prefWrite(QStringLiteral("prefDefautDstPathStr"), home.path() + "/dest");
    prefWrite(QStringLiteral("prefCheckMatrix"), format);
    prefWrite(QStringLiteral("prefSpeed"), 0);
    silentPresenter presenter;
    setAlertPresenter(&presenter);
    fluxaroMainWindow window;
    window.startupWindowSteps();
    window.controller()->hooks.revealFolder = [](const QString &) {};
    window.show();

    QString phase = QStringLiteral("idle");
    QList<stall> stalls;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double late = static_cast<double>(now - last) / 1e6 - 10;
        last = now;
        if (late > 2) {
            stalls << stall{late, static_cast<double>(now) / 1e9, phase,
                            window.ui()->encProgressActionStr->text()};
        }
    });
    tick.start(10);

    double analysisSeconds = 0;
    double conversionSeconds = 0;
    QElapsedTimer phaseClock;
    window.controller()->hooks.analysisEnded = [&] {
        if (phase != QLatin1String("analysis")) {
            return;
        }
        // Thumbnails may still come: Go once they are all there.
        QTimer *wait = new QTimer(&window);
        QObject::connect(wait, &QTimer::timeout, [&, wait] {
            if (window.controller()->thumbnailsPending()) {
                return;
            }
            wait->deleteLater();
            analysisSeconds = static_cast<double>(phaseClock.nsecsElapsed()) / 1e9;
            phase = QStringLiteral("conversion");
            phaseClock.restart();
            window.ui()->batchEncGoBt->click();
        });
        wait->start(20);
    };
    int failed = 0;
    window.controller()->hooks.jobEnded = [&](const QVariantMap &, const QString &status) {
        failed += status == QLatin1String("puceSuccess") ? 0 : 1;
    };
    window.controller()->hooks.batchEnded = [&] {
        conversionSeconds = static_cast<double>(phaseClock.nsecsElapsed()) / 1e9;
        phase = QStringLiteral("done");
        QTimer::singleShot(200, &app, [] { QApplication::exit(0); });
    };
    QTimer::singleShot(300, &window, [&] {
        phase = QStringLiteral("analysis");
        phaseClock.start();
        window.controller()->dragNDropPerformDrag({card});
    });
    QApplication::exec();
    tick.stop();

    std::sort(stalls.begin(), stalls.end(),
              [](const stall &a, const stall &b) { return a.ms > b.ms; });
    auto longest = [&](const QString &name) {
        for (const stall &s : stalls) {
            if (s.phase == name) {
                return s.ms;
            }
        }
        return 0.0;
    };
    const int rows = window.controller()->whichArrayController()->count();
    // Three clips and one recording in three pieces, which the batch joins into one row.
    std::printf("gui_bench: sample card, 4 recordings of %d s, format %d, %d row(s), %d failed\n",
                seconds, format, rows, failed);
    std::printf("analysis   %.2f s, longest stall %.1f ms\n", analysisSeconds, longest("analysis"));
    std::printf("conversion %.2f s, longest stall %.1f ms\n", conversionSeconds,
                longest("conversion"));
    std::printf("longest stalls:\n");
    for (int i = 0; i < std::min<qsizetype>(5, stalls.size()); ++i) {
        std::printf("  %6.1f ms at %6.2f s (%s%s%s)\n", stalls[i].ms, stalls[i].atSeconds,
                    stalls[i].phase.toUtf8().constData(), stalls[i].shown.isEmpty() ? "" : ", ",
                    stalls[i].shown.toUtf8().constData());
    }
    window.controller()->terminateRuns();
    window.controller()->whichArrayController()->clear();
    setAlertPresenter(nullptr);
    prefReload();
    return rows == 4 && failed == 0 ? 0 : 1;
}
