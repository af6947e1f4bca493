#include "headlessFront.h"

#include "headlessReport.h"

#include "controller/appController.h"
#include "controller/desktopHooks.h"
#include "controller/exportPreset.h"
#include "controller/outputNames.h"
#include "controller/rowAllowance.h"
#include "desktop/sessionBus.h"
#include "frontApi/alerts.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "settings/appPrefs.h"
#include "settings/prefs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

/// The terminal: lines for the person there (each also a line of the detailed log), and the one
/// progress line, rewritten in place on a terminal and kept below the other lines.
struct terminalLines {
    bool inPlace = false; ///< the progress line is rewritten in place
    QByteArray progress;  ///< the progress line shown in place (empty: none)

    void clearProgress() const {
        if (inPlace && !progress.isEmpty()) {
            logTerminalWrite(QByteArrayLiteral("\r\x1b[K"));
        }
    }
    void drawProgress() const {
        if (inPlace && !progress.isEmpty()) {
            logTerminalWrite(QByteArrayLiteral("\r") + progress + QByteArrayLiteral("\x1b[K"));
        }
    }
    /// A line: every control character of it (of a file name in it) written as \xNN, so a
    /// name cannot rewrite the screen.
    void line(const QString &text) const {
        const QByteArray safe = logTerminalSafe(text.toUtf8());
        clearProgress();
        logTerminalWrite(safe + '\n', QString::fromUtf8(safe));
        drawProgress();
    }
    void setProgress(const QString &text) {
        const QByteArray safe = logTerminalSafe(text.toUtf8());
        if (inPlace) {
            progress = safe;
            drawProgress();
        } else {
            logTerminalWrite(safe + '\n', QString::fromUtf8(safe));
        }
    }
    /// The progress line is done with: the next output starts on a line of its own.
    void endProgress() {
        if (inPlace && !progress.isEmpty()) {
            logTerminalWrite(QByteArrayLiteral("\n"));
        }
        progress.clear();
    }
};

terminalLines gTerminal;

void out(const QString &line) {
    gTerminal.line(line);
}

/// Alerts in a terminal: printed, and answered at once as if their time had run out (nobody
/// can click); a folder chooser has nothing to offer.
class terminalPresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &plan) override {
        QString text = plan.title;
        if (!plan.message.isEmpty()) {
            text += (text.isEmpty() ? QString() : QStringLiteral(": ")) + plan.message;
        }
        if (!text.isEmpty()) {
            out(QStringLiteral("fluxaro: %1").arg(text));
        }
        if (plan.buttons.size() > 1) {
            out(QStringLiteral("fluxaro: answered \"%1\" (default)")
                    .arg(plan.buttons.first().isEmpty() ? QStringLiteral("OK")
                                                        : plan.buttons.first()));
        }
        return {};
    }
};

// SIGINT, SIGTERM and SIGHUP (the terminal closed) reach the event loop through a pipe, so an
// interrupted run stops its batch like the stop button does and leaves no partial or
// intermediate file.
int signalPipe[2] = {-1, -1};
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onStopSignal(int) {
    const char byte = 1;
    if (write(signalPipe[1], &byte, 1) < 0) {
        // Nothing can be done inside a signal handler; the signal is then lost.
    }
}

} // namespace

QString headlessProgressLine(const batchProgressValue &value) {
    static const QStringList phases = {"analysing", "converting", "exporting",
                                       "checking",  "finished",   "stopped"};
    const QString phase = phases.value(static_cast<int>(value.phase));
    QString line =
        QStringLiteral("progress: %1 %").arg(static_cast<int>(value.fraction * 100.0), 3);
    if (value.position > 0) {
        line += QStringLiteral("  [%1/%2] %3 %4")
                    .arg(value.position)
                    .arg(std::max(value.total, value.position))
                    .arg(phase, QFileInfo(value.clip).fileName());
    } else {
        line += QStringLiteral("  ") + phase;
    }
    if (value.speed > 0) {
        line += QStringLiteral("  %1x").arg(value.speed, 0, 'f', 1);
    }
    if (value.secondsLeft >= 0) {
        line += QStringLiteral("  %1 left").arg(batchDurationStr(value.secondsLeft));
    }
    return line;
}

namespace {

/// One headless batch: the plain controls and the controller, the sources, the report, and
/// what the run has come to (started, interrupted).
struct headlessBatch {
    plainAppControls plain;
    appController controller{plain.controls()};
    headlessReport report{[](const QString &line) { out(line); }};
    QString destination;
    /// The sources as given: the controller's intake reads them (folders included).
    QStringList sources;
    /// The sources the analysis accepted: the batch succeeds when each of them converts.
    int32_t accepted = 0;
    bool started = false;
    bool interrupted = false;
    /// A source folder could not be read (said at the set-up): the run cannot succeed.
    bool foldersUnread = false;
    bool finished = false;
    int32_t lastTenth = -1;

    /// The destination and the choices of the options, else the stored ones, handed to the
    /// controller; a stored choice the preferences window would not show is corrected and said,
    /// and so is a choice no row could have here.
    void applyChoices(const headlessOptions &options);
    /// The batch starts with the first accepted source: the next sources are analysed while it
    /// converts, and it ends after the last of their rows.
    void start();
    /// The controller's hooks, each feeding the report or the progress line.
    void attachHooks();
    void analysisEnded();
    void batchEnded();
    /// SIGINT, SIGTERM and SIGHUP stop the analysis and the batch as the stop button does; a second
    /// one ends the run at once.
    void stopSignal();
};

void headlessBatch::applyChoices(const headlessOptions &options) {
    controller.hooks.revealFolder = [](const QString &folder) {
        out(QStringLiteral("outputs in: %1").arg(folder));
    };
    batchChoices choices;
    destination = options.destination.isEmpty() ? prefRead(QStringLiteral("prefDefautDstPathStr"))
                                                : QFileInfo(options.destination).absoluteFilePath();
    choices.destination = destination;
    // The stored choices as the preferences window takes them: a value it would not show (a
    // number out of range, a text) is corrected and said, rather than failing every job.
    const QVariant storedFormat = prefRead2(QStringLiteral("prefCheckMatrix"));
    const appStoredChoice formatChoice =
        appStoredOutputFormat(storedFormat, getAIC() != 0, getPRORES() != 0);
    if (!options.format && formatChoice.corrected) {
        const QString said =
            QStringLiteral("the stored output format '%1' is not one of rewrap, aic, prores: %2 "
                           "is used")
                .arg(storedFormat.toString(),
                     QStringList{"rewrap", "aic", "prores"}.value(formatChoice.value));
        logStr(QStringLiteral("prefCheckMatrix     :-/ %1").arg(said));
        out(QStringLiteral("fluxaro: %1").arg(said));
    }
    const QVariant storedMode = prefRead2(QStringLiteral("prefSpeed"));
    const appStoredChoice modeChoice = appStoredFrameRateMode(storedMode);
    if (!options.mode && modeChoice.corrected) {
        const QString said =
            QStringLiteral("the stored frame-rate mode '%1' is not one of normal, half, slow: "
                           "%2 is used")
                .arg(storedMode.toString(),
                     QStringList{"normal", "half", "slow"}.value(modeChoice.value));
        logStr(QStringLiteral("prefSpeed           :-/ %1").arg(said));
        out(QStringLiteral("fluxaro: %1").arg(said));
    }
    choices.format = options.format.value_or(formatChoice.value);
    choices.rate = options.mode.value_or(modeChoice.value);
    choices.surround = options.surround || prefRead2("prefSurrond").toInt() != 0;
    const QVariant joinPref = prefRead2(QStringLiteral("prefJoinSpanned"));
    choices.join = !options.noJoin && (joinPref.isNull() || joinPref.toInt() != 0);
    if (options.replace) {
        choices.existing =
            *options.replace ? existingOutputAnswer::replace : existingOutputAnswer::keep;
    }
    const QString proresType = options.proresType.value_or(prefRead(QStringLiteral("prefProres")));
    controller.hooks.proresItemTitle = [proresType] { return proresItemTitleForType(proresType); };
    // What the rows will have here, before any source is known: said once for the batch (each
    // row is corrected by the same rule when it is added).
    const rowAllowanceValue allowed =
        rowAllowance({choices.format, choices.rate, std::nullopt, getAIC() != 0, getPRORES() != 0});
    if (allowed.formatCorrected && choices.format == outAic) {
        out(QStringLiteral("fluxaro: the Apple Intermediate Codec can't be written here: "
                           "sources are rewrapped instead"));
    } else if (allowed.formatCorrected && choices.format == outProres) {
        out(QStringLiteral("fluxaro: no ProRes encoder is available: sources are rewrapped "
                           "instead"));
    }
    if (allowed.rateCorrected && allowed.rates.at(fpsHalf) == rowBlock::rewrapKeeps) {
        out(QStringLiteral("fluxaro: half rate needs an export (aic or prores): sources keep "
                           "their rate instead"));
    }
    controller.setChoices(choices);
    sources = options.sources;
}

void headlessBatch::start() {
    if (started) {
        return;
    }
    started = true;
    controller.iba_batchGoBt();
    if (!controller.isBatchRunning()) {
        out(QStringLiteral("fluxaro: no usable destination folder '%1'").arg(destination));
        if (controller.isAnalysing()) {
            controller.iba_analysisStopBt();
        }
        QCoreApplication::exit(1);
    }
}

void headlessBatch::attachHooks() {
    appControllerHooks &hooks = controller.hooks;
    hooks.analysisVerdict = [this](const analysisVerdictValue &verdict) {
        if (verdict.refusal == sourceRefusal::folderUnreadable) {
            // Said with the system's reason; the run fails, rather than the folder's sources
            // being taken for none.
            out(verdict.note.isEmpty()
                    ? QStringLiteral("fluxaro: can't read the folder %1").arg(verdict.src)
                    : QStringLiteral("fluxaro: can't read the folder %1: %2")
                          .arg(verdict.src, verdict.note));
            foldersUnread = true;
            return;
        }
        report.verdict(verdict);
        accepted += verdict.accepted ? 1 : 0;
        if (verdict.accepted && !interrupted) {
            // After the row is in: the hook is called from inside the analysis.
            QTimer::singleShot(0, &controller, [this] { start(); });
        }
    };
    hooks.spannedVerdict = [this](const QString &src, const QStringList &joined,
                                  const QString &note) { report.spanned(src, joined, note); };
    hooks.batchProgress = [this](const batchProgressValue &value) {
        if (value.phase == batchPhase::stopped) {
            // The line says the batch stopped, where it was.
            gTerminal.setProgress(headlessProgressLine(value));
        }
        if (value.phase == batchPhase::finished || value.phase == batchPhase::stopped) {
            gTerminal.endProgress();
            return;
        }
        const auto tenth = static_cast<int32_t>(value.fraction * 10.0);
        if (!gTerminal.inPlace && tenth <= lastTenth) {
            return;
        }
        lastTenth = std::max(lastTenth, tenth);
        gTerminal.setProgress(headlessProgressLine(value));
    };
    hooks.jobOutcome = [this](const jobOutcomeValue &outcome) { report.job(outcome); };
    hooks.analysisEnded = [this] { analysisEnded(); };
    hooks.batchEnded = [this] { batchEnded(); };
}

void headlessBatch::analysisEnded() {
    if (!interrupted && !controller.whichArrayController()->isEmpty()) {
        // Said once the rows are known (spanned recordings joined), whether or not the first
        // conversions have started already, with the destination the controller converts into
        // (Go may have replaced a missing one).
        out(QStringLiteral("converting %1 source(s) into %2")
                .arg(controller.whichArrayController()->count())
                .arg(eventsFolderIn(controller.choices().destination)));
    }
    if (started) {
        return;
    }
    if (interrupted) {
        QCoreApplication::exit(1);
        return;
    }
    if (controller.whichArrayController()->isEmpty()) {
        out(QStringLiteral("nothing to convert"));
        QCoreApplication::exit(1);
        return;
    }
    start();
}

void headlessBatch::batchEnded() {
    // A stop between two jobs ends the batch twice (the next job's choice and the stop's own
    // end step both see it): the last line is given once.
    if (finished) {
        return;
    }
    finished = true;
    const int status = report.done(accepted);
    // An interrupted run may leave sources never analysed, which no count above holds.
    QCoreApplication::exit(foldersUnread || interrupted ? std::max(status, 1) : status);
}

void headlessBatch::stopSignal() {
    char byte = 0;
    while (read(signalPipe[0], &byte, 1) > 0) {
    }
    if (interrupted) {
        // A second signal: no more waiting for the stop to finish.
        controller.terminateRuns();
        QCoreApplication::exit(1);
        return;
    }
    interrupted = true;
    out(QStringLiteral("fluxaro: interrupted: stopping"));
    // The analysis and the batch may run side by side: both stop.
    const bool analysing = controller.isAnalysing();
    if (analysing) {
        controller.iba_analysisStopBt();
    }
    if (controller.isBatchRunning()) {
        controller.stop();
    } else if (!analysing) {
        QCoreApplication::exit(1);
    }
}

/// Routes SIGINT, SIGTERM and SIGHUP to the batch's stopSignal through the pipe, until destroyed.
class stopSignalRoute {
public:
    explicit stopSignalRoute(headlessBatch &batch) {
        if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            return;
        }
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : kStopSignals) {
            // A signal the run was started to ignore (nohup, a shell's background job) stays
            // ignored: the user asked for the run to outlive the terminal.
            struct sigaction before = {};
            if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) {
                continue;
            }
            sigaction(signal, &action, nullptr);
            routed_.push_back(signal);
        }
        notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, &batch.controller,
                         [&batch] { batch.stopSignal(); });
    }
    ~stopSignalRoute() {
        if (notifier_) {
            notifier_.reset();
            for (const int signal : routed_) {
                std::signal(signal, SIG_DFL);
            }
        }
    }
    stopSignalRoute(const stopSignalRoute &) = delete;
    stopSignalRoute &operator=(const stopSignalRoute &) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<int> routed_;
};

} // namespace

int headlessBatchRun(const headlessOptions &options) {
    terminalPresenter presenter;
    alertPresenter *previous = getAlertPresenter();
    setAlertPresenter(&presenter);
    int status = 1;
    {
        headlessBatch batch;
        batch.applyChoices(options);
        // One progress line for the batch: rewritten in place on a terminal, else a line for
        // each tenth of the batch. With the detailed log on the terminal (--verbose), lines.
        gTerminal.inPlace = logTerminalIsTty() && !options.verbose;
        batch.attachHooks();
        // The launcher icon and the end-of-batch notification follow the batch here too.
        desktopServicesAttach(batch.controller);
        {
            const stopSignalRoute route(batch);
            // The sources as given, folders too: the controller's intake reads them as it reads
            // a drop on the window.
            QTimer::singleShot(0, &batch.controller, [&batch] {
                if (batch.sources.isEmpty()) {
                    out(QStringLiteral("nothing to convert"));
                    QCoreApplication::exit(1);
                    return;
                }
                batch.controller.draggedFiles(batch.sources);
            });
            status = QCoreApplication::exec();
            gTerminal.endProgress();
        }
        batch.controller.terminateRuns();
        batch.controller.whichArrayController()->clear();
        // The notification's answer (or the news that nobody shows it) still goes to the log.
        desktopFinishPendingCalls(3000);
    }
    setAlertPresenter(previous);
    return status;
}
