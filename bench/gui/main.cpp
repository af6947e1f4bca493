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
#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

#include <csignal>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

struct stall {
    double ms = 0;
    /// How much of it the window's thread spent working (the rest it waited: for the
    /// processor, shared with the tools, or in a call that blocks).
    double busyMs = 0;
    double atSeconds = 0;
    QString phase;
    QString shown;
};

class silentPresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &) override { return {}; }
};

// With GUI_BENCH_WHERE=FILE, a watcher thread interrupts the window's thread whenever the
// event loop has not ticked for 30 ms and writes that thread's stack to FILE: where it blocks.
std::atomic<qint64> lastTickNs{0};
std::atomic<qint64> sampleNs{0};
int whereFd = -1;

void writeStack(int) {
    void *frames[64];
    const int n = backtrace(frames, 64);
    // "---- stack at <ms since start>, <ms since the last tick>", without allocating.
    char mark[64] = "---- stack at ";
    std::size_t at = 14;
    for (const qint64 value : {sampleNs.load() / 1'000'000, (sampleNs - lastTickNs) / 1'000'000}) {
        char digits[24];
        int d = 0;
        qint64 v = value;
        do {
            digits[d++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v > 0 && d < 20);
        while (d > 0) {
            mark[at++] = digits[--d];
        }
        mark[at++] = ' ';
    }
    mark[at++] = '\n';
    (void)!write(whereFd, mark, at);
    backtrace_symbols_fd(frames, n, whereFd);
}

// The application, timing each event it hands out from the event loop: the slow ones are the
// window's own work that a stall is made of.
qint64 threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

struct slowEvent {
    double ms = 0;
    double busyMs = 0;
    double atSeconds = 0;
    QString what;
};

class timingApplication : public QApplication {
public:
    using QApplication::QApplication;
    QElapsedTimer clock;
    QList<slowEvent> slow;

    bool notify(QObject *receiver, QEvent *event) override {
        if (depth_ > 0 || !clock.isValid()) {
            return QApplication::notify(receiver, event);
        }
        ++depth_;
        const qint64 start = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        const int type = event->type();
        const QString name = QString::fromLatin1(receiver->metaObject()->className()) +
                             QLatin1Char(' ') + receiver->objectName();
        const bool result = QApplication::notify(receiver, event);
        const double ms = static_cast<double>(clock.nsecsElapsed() - start) / 1e6;
        --depth_;
        if (ms > 8) {
            slow << slowEvent{ms, static_cast<double>(threadCpuNs() - cpu) / 1e6,
                              static_cast<double>(start) / 1e9,
                              QStringLiteral("%1, event %2").arg(name).arg(type)};
        }
        return result;
    }

private:
    int depth_ = 0;
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
    timingApplication app(argc, argv);
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
    QElapsedTimer &clock = app.clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 lastCpu = threadCpuNs();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        const double late = static_cast<double>(now - last) / 1e6 - 10;
        const double busy = static_cast<double>(cpu - lastCpu) / 1e6;
        last = now;
        lastCpu = cpu;
        if (late > 2) {
            stalls << stall{late, busy, static_cast<double>(now) / 1e9, phase,
                            window.ui()->encProgressActionStr->text()};
        }
    });
    tick.start(10);
    QObject::connect(&tick, &QTimer::timeout, [&] { lastTickNs = clock.nsecsElapsed(); });
    std::atomic<bool> watching{false};
    std::thread watcher;
    if (!qEnvironmentVariable("GUI_BENCH_WHERE").isEmpty()) {
        whereFd = ::open(qEnvironmentVariable("GUI_BENCH_WHERE").toLocal8Bit().constData(),
                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        void *warm[4];
        backtrace(warm, 4);
        std::signal(SIGPROF, writeStack);
        watching = true;
        const pthread_t windowThread = pthread_self();
        watcher = std::thread([&, windowThread] {
            qint64 sampledAt = 0;
            while (watching) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                const qint64 now = clock.nsecsElapsed();
                if (lastTickNs > 0 && now - lastTickNs > 30'000'000 &&
                    now - std::max<qint64>(sampledAt, lastTickNs) > 20'000'000) {
                    sampledAt = now;
                    sampleNs = now;
                    pthread_kill(windowThread, SIGPROF);
                }
            }
        });
    }

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
    // The window's own hook (the row's reason) keeps its turn.
    auto windowOutcome = window.controller()->hooks.jobOutcome;
    window.controller()->hooks.jobOutcome = [&failed, windowOutcome](const jobOutcomeValue &o) {
        failed += o.kind == jobOutcomeKind::converted ? 0 : 1;
        if (windowOutcome) {
            windowOutcome(o);
        }
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
    watching = false;
    if (watcher.joinable()) {
        watcher.join();
    }

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
    auto print = [&](const QList<stall> &list) {
        for (int i = 0; i < std::min<qsizetype>(5, list.size()); ++i) {
            std::printf("  %6.1f ms at %6.2f s, window thread busy %5.1f ms (%s%s%s)\n", list[i].ms,
                        list[i].atSeconds, list[i].busyMs, list[i].phase.toUtf8().constData(),
                        list[i].shown.isEmpty() ? "" : ", ", list[i].shown.toUtf8().constData());
        }
    };
    std::printf("longest stalls:\n");
    print(stalls);
    // The stalls of the window's own work; the others are waits for a processor that the
    // tools and the rest of the machine share.
    QList<stall> busiest = stalls;
    std::sort(busiest.begin(), busiest.end(),
              [](const stall &a, const stall &b) { return a.busyMs > b.busyMs; });
    std::printf("busiest stalls:\n");
    print(busiest);
    std::sort(app.slow.begin(), app.slow.end(),
              [](const slowEvent &a, const slowEvent &b) { return a.ms > b.ms; });
    std::printf("slowest events:\n");
    for (int i = 0; i < std::min<qsizetype>(5, app.slow.size()); ++i) {
        std::printf("  %6.1f ms at %6.2f s, busy %5.1f ms: %s\n", app.slow[i].ms,
                    app.slow[i].atSeconds, app.slow[i].busyMs,
                    app.slow[i].what.toUtf8().constData());
    }
    window.controller()->terminateRuns();
    window.controller()->whichArrayController()->clear();
    setAlertPresenter(nullptr);
    prefReload();
    return rows == 4 && failed == 0 ? 0 : 1;
}
