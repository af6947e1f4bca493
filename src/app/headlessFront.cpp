#include "headlessFront.h"

#include "controller/appController.h"
#include "controller/desktopHooks.h"
#include "controller/exportPreset.h"
#include "controller/jobRecord.h"
#include "desktop/sessionBus.h"
#include "frontApi/alerts.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/utilsFile.h"
#include "settings/appPrefs.h"
#include "settings/prefs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

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

// SIGINT and SIGTERM reach the event loop through a pipe, so an interrupted run stops its batch
// like the stop button does and leaves no partial or intermediate file.
int signalPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 1;
    if (write(signalPipe[1], &byte, 1) < 0) {
        // Nothing can be done inside a signal handler; the signal is then lost.
    }
}

} // namespace

QString headlessDurationStr(double seconds) {
    const auto whole = static_cast<int64_t>(seconds + 0.5);
    const int64_t hours = whole / 3600;
    const int64_t minutes = (whole / 60) % 60;
    const int64_t rest = whole % 60;
    return hours > 0 ? QStringLiteral("%1:%2:%3")
                           .arg(hours)
                           .arg(minutes, 2, 10, QLatin1Char('0'))
                           .arg(rest, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

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
        line += QStringLiteral("  %1 left").arg(headlessDurationStr(value.secondsLeft));
    }
    return line;
}

QStringList headlessExpandSources(const QStringList &sources, const QStringList &extensions,
                                  const QString &skippedFolder) {
    const QString skipped =
        skippedFolder.isEmpty() ? QString() : QFileInfo(skippedFolder).absoluteFilePath() + '/';
    QStringList expanded;
    QSet<QString> seen;
    auto add = [&](const QString &path) {
        if (!seen.contains(path)) {
            seen.insert(path);
            expanded << path;
        }
    };
    for (const QString &source : sources) {
        const QString path = QFileInfo(source).absoluteFilePath();
        if (!QFileInfo(path).isDir()) {
            add(path);
            continue;
        }
        QStringList files;
        for (const QString &item : lsCocoaRecursive(path)) {
            const QFileInfo info(item);
            if (!skipped.isEmpty() && info.absoluteFilePath().startsWith(skipped)) {
                continue; // the outputs of earlier runs, when a source folder is the destination
            }
            if (!info.isDir() && !info.fileName().startsWith(QLatin1Char('.')) &&
                extensions.contains(info.suffix())) {
                files << info.absoluteFilePath();
            }
        }
        files.sort();
        for (const QString &file : files) {
            add(file);
        }
    }
    return expanded;
}

int headlessBatchRun(const headlessOptions &options) {
    terminalPresenter presenter;
    alertPresenter *previous = getAlertPresenter();
    setAlertPresenter(&presenter);

    plainAppControls plain;
    appController controller(plain.controls());
    controller.hooks.revealFolder = [](const QString &folder) {
        out(QStringLiteral("outputs in: %1").arg(folder));
    };

    const QString destination = options.destination.isEmpty()
                                    ? prefRead(QStringLiteral("prefDefautDstPathStr"))
                                    : QFileInfo(options.destination).absoluteFilePath();
    plain.destination.setText(destination);
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
    const int32_t format = options.format.value_or(formatChoice.value);
    const int32_t mode = options.mode.value_or(modeChoice.value);
    plain.checkMatrix.setSelectedSegment(format);
    plain.speed.setSelectedSegment(mode);
    plain.surround.setOn(options.surround || prefRead2("prefSurrond").toInt() != 0);
    const QVariant joinPref = prefRead2(QStringLiteral("prefJoinSpanned"));
    plain.join.setOn(!options.noJoin && (joinPref.isNull() || joinPref.toInt() != 0));
    const QString proresType = options.proresType.value_or(prefRead(QStringLiteral("prefProres")));
    controller.hooks.proresItemTitle = [proresType] { return proresItemTitleForType(proresType); };
    if (options.replace) {
        prefWrite(QStringLiteral("replaceFilesCheck"), *options.replace ? 1 : 0);
    }
    if (format == outAic && getAIC() == 0) {
        out(QStringLiteral("fluxaro: the Apple Intermediate Codec can't be written here: "
                           "sources are rewrapped instead"));
    } else if (format == outProres && getPRORES() == 0) {
        out(QStringLiteral("fluxaro: no ProRes encoder is available: sources are rewrapped "
                           "instead"));
    }
    const bool rewrapped = format == outRewrap || (format == outAic && getAIC() == 0) ||
                           (format == outProres && getPRORES() == 0);
    if (mode == fpsHalf && rewrapped) {
        out(QStringLiteral("fluxaro: half rate needs an export (aic or prores): sources keep "
                           "their rate instead"));
    }

    const QStringList sources =
        headlessExpandSources(options.sources, appController::acceptedExtensions(),
                              QDir(destination).filePath(QStringLiteral("fluxaro events")));
    int32_t refused = 0;
    int32_t converted = 0;
    int32_t failed = 0;
    bool started = false;
    bool interrupted = false;

    // The batch starts with the first accepted source: the next sources are analysed while it
    // converts, and it ends after the last of their rows.
    auto start = [&] {
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
    };
    controller.hooks.analysisVerdict = [&](const QString &src, bool accepted,
                                           const QString &reason) {
        if (accepted) {
            out(reason.isEmpty() ? QStringLiteral("accepted: %1").arg(src)
                                 : QStringLiteral("accepted: %1 (%2)").arg(src, reason));
            if (!interrupted) {
                // After the row is in: the hook is called from inside the analysis.
                QTimer::singleShot(0, &controller, start);
            }
        } else {
            ++refused;
            out(QStringLiteral("refused:  %1 (%2)").arg(src, reason));
        }
    };
    // The pieces a joined row takes count as converted with it.
    int32_t joinedPieces = 0;
    controller.hooks.spannedVerdict = [&](const QString &src, const QStringList &joined,
                                          const QString &note) {
        joinedPieces += std::max<int32_t>(0, static_cast<int32_t>(joined.size()) - 1);
        out(QStringLiteral("%1 %2 (%3)")
                .arg(joined.isEmpty() ? QStringLiteral("apart:   ") : QStringLiteral("joined:  "),
                     src, note));
    };
    // One progress line for the batch: rewritten in place on a terminal, else a line for each
    // tenth of the batch. With the detailed log on the terminal (--verbose), lines.
    gTerminal.inPlace = logTerminalIsTty() && !options.verbose;
    int32_t lastTenth = -1;
    controller.hooks.batchProgress = [&](const batchProgressValue &value) {
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
    QSet<QString> reported;
    int32_t renamed = 0;
    controller.hooks.jobEnded = [&](const QVariantMap &job, const QString &status) {
        const QString src = job.value(jobKey::srcPath).toString();
        reported.insert(src);
        const QString reason = job.value(jobKey::skipReason).toString();
        const QString note = job.value(QStringLiteral("joinNoteStr")).toString();
        const QString nameNote = job.value(jobKey::nameNote).toString();
        if (status == rowStatus::success) {
            ++converted;
            QStringList notes;
            for (const QString &said : {note, nameNote}) {
                if (!said.isEmpty()) {
                    notes << said;
                }
            }
            if (!nameNote.isEmpty()) {
                ++renamed;
            }
            out(QStringLiteral("converted: %1 -> %2%3")
                    .arg(src, job.value(jobKey::dstPath).toString(),
                         notes.isEmpty() ? QString()
                                         : QStringLiteral(" (%1)").arg(notes.join("; "))));
        } else if (reason == QStringLiteral("stopped")) {
            ++failed;
            out(QStringLiteral("stopped:  %1").arg(src));
        } else if (job.contains(QStringLiteral("missing"))) {
            ++failed;
            out(QStringLiteral("skipped:  %1 (the source is gone)").arg(src));
        } else if (reason == QStringLiteral("kept the existing output")) {
            // Not a failure of the conversion: the user's answer (or its default).
            ++failed;
            out(QStringLiteral("skipped:  %1 (%2)").arg(src, reason));
        } else {
            ++failed;
            out(QStringLiteral("failed:   %1%2")
                    .arg(src, reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)));
        }
    };
    controller.hooks.analysisEnded = [&] {
        if (!interrupted && !controller.whichArrayController()->isEmpty()) {
            // Said once the rows are known (spanned recordings joined), whether or not the
            // first conversions have started already.
            // The destination the controller converts into (Go may have replaced a missing one).
            out(QStringLiteral("converting %1 source(s) into %2")
                    .arg(controller.whichArrayController()->count())
                    .arg(
                        QDir(plain.destination.text()).filePath(QStringLiteral("fluxaro events"))));
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
    };
    bool finished = false;
    controller.hooks.batchEnded = [&] {
        // A stop between two jobs ends the batch twice (the next job's choice and the stop's own
        // end step both see it): the summary is given once.
        if (finished) {
            return;
        }
        finished = true;
        for (const QVariantMap &row : controller.whichArrayController()->rows()) {
            const QString status = row.value(rowKey::status).toString();
            const QString src = row.value(rowKey::dico).toMap().value(jobKey::srcPath).toString();
            if (status == rowStatus::waiting) {
                ++failed;
                out(QStringLiteral("not done: %1").arg(src));
            } else if (status == rowStatus::failure && !reported.contains(src)) {
                // The job the stop ended: its end step never ran, but it counts.
                ++failed;
                out(QStringLiteral("stopped:  %1").arg(src));
            }
        }
        const int32_t total = static_cast<int32_t>(sources.size()) - joinedPieces;
        out(QStringLiteral("done: %1 converted, %2 refused, %3 failed or skipped%4")
                .arg(converted)
                .arg(refused)
                .arg(failed)
                .arg(renamed == 0 ? QString()
                                  : QStringLiteral("; %1 named apart (another source of the "
                                                   "batch has the same name)")
                                        .arg(renamed)));
        QCoreApplication::exit(converted == total && refused == 0 && failed == 0 ? 0 : 1);
    };

    // The launcher icon and the end-of-batch notification follow the batch here too.
    desktopServicesAttach(controller);

    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (signalPipe[0] >= 0 || pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &controller, [&] {
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
                plain.stopBt.setSelectedSegment(1);
                controller.iba_taskStopBt(&plain.stopBt);
            } else if (!analysing) {
                QCoreApplication::exit(1);
            }
        });
    }

    QTimer::singleShot(0, &controller, [&] {
        if (sources.isEmpty()) {
            out(QStringLiteral("nothing to convert"));
            QCoreApplication::exit(1);
            return;
        }
        controller.draggedFiles(sources);
    });
    const int status = QCoreApplication::exec();
    gTerminal.endProgress();
    if (signalNotifier) {
        signalNotifier.reset();
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
    controller.terminateRuns();
    controller.whichArrayController()->clear();
    // The notification's answer (or the news that nobody shows it) still goes to the log.
    desktopFinishPendingCalls(3000);
    setAlertPresenter(previous);
    return status;
}
