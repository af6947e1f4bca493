// The conversion's tool runs as the controller shows and ends them: the running tool itself is
// conversionRun's and its controls runDisplay's; here its start, progress, stall and end are
// shown and handed to the step machine, and pause, resume, stop and quitting act on it.
#include "controller/appController.h"
#include "controller/jobFiles.h"
#include "controller/jobRecord.h"
#include "frontApi/alerts.h"
#include "platform/log.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QFileInfo>

void appController::wireConversionRun() {
    run_.on.progressed = [this](const conversionProgress &progress) { runProgressed(progress); };
    run_.on.progressLost = [this] { display_.progressLost(); };
    run_.on.pausedChanged = [this](bool paused) {
        if (hooks.conversionPaused) {
            hooks.conversionPaused(paused);
        }
    };
    run_.on.stalled = [this](const conversionStall &stall) { runStalled(stall); };
    run_.on.ended = [this](const conversionEnd &end) { runEnded(end); };
}

bool appController::taskLauncherEncStart(const QStringList &args, float progressMaxValue,
                                         int32_t parseInt) {
    if (args.isEmpty()) {
        return false;
    }
    double mediaSeconds = 0;
    if (job_) {
        job_->toolError.clear();
        journal();
        mediaSeconds = job_->facts().durationSeconds;
    }
    display_.start(progressMaxValue);
    const int32_t result = run_.start(args, progressMaxValue, parseInt, mediaSeconds);
    if (result == taskLauncher::launchOk) {
        logStr(QStringLiteral("tLEncStart - fin    : Converting next step/file"));
        return true;
    }
    // Recorded before the end handling hands over: the job's end tells why it failed.
    encNoteEnd(jobOutcomeKind::failed, jobFailure::toolCannotStart,
               QStringLiteral("%1 can't be started").arg(args.first()));
    taskLauncherDone();
    if (hooks.beep) {
        hooks.beep();
    }
    logStr(QStringLiteral("Erreur au lancement = %1").arg(result));
    if (result == taskLauncher::launchNoExecutable) {
        logStr(QStringLiteral("tool missing        :-( %1").arg(args.first()));
    }
    return false;
}

void appController::runProgressed(const conversionProgress &progress) {
    const QString text = display_.progressed(progress.value, progress.fraction);
    logStr(QStringLiteral("progress str        : %1").arg(text));
    reportBatchProgress(run_.parser() == 0 ? batchPhase::converting : batchPhase::exporting,
                        progress.fraction, progress.mediaSeconds);
}

void appController::runEnded(const conversionEnd &end) {
    if (end.status == taskLauncher::interruptedStatus) {
        logStr(QStringLiteral("interrupted"));
    } else if (end.status != 0) {
        logStr(QStringLiteral("task failed, error  :-( %1 (%2)")
                   .arg(end.status)
                   .arg(run_.arguments().join(QLatin1Char(' '))));
        // The tool's own words (a read-only folder, a name too long, a full disk) are the
        // reason the user needs: kept with the job for its end report.
        if (!end.failureText.isEmpty()) {
            logStr(QStringLiteral("tool said           :-( %1").arg(end.failureText));
            if (job_) {
                job_->toolError = end.failureText;
            }
        }
    }
    if (!end.readError.isEmpty()) {
        // Also when the tool says it succeeded: the movie then holds what it could read.
        const QString tool = QFileInfo(run_.arguments().value(0)).fileName();
        logStr(QStringLiteral("read error          :-( %1: %2").arg(tool, end.readError));
        if (job_ && job_->toolReadError.isEmpty()) {
            job_->toolReadError = end.readError;
            job_->toolReadTool = tool;
        }
    }
    journal();
    taskLauncherDone();
}

void appController::taskLauncherDone() {
    if (run_.hasTool()) {
        run_.terminate();
    }
    display_.ended();
    pausedForAnalysis_ = false;
    encSend(QStringLiteral("encProcesses"));
}

void appController::pause() {
    if (run_.isPaused()) {
        return;
    }
    logStr(QStringLiteral("process             : pause"));
    display_.pause();
    run_.pause();
}

void appController::resume() {
    if (!run_.isPaused()) {
        return;
    }
    logStr(QStringLiteral("process             : play"));
    display_.play();
    run_.resume();
}

void appController::stop() {
    logStr(QStringLiteral("process             : stop"));
    encStopInt_ = 1;
    display_.stopShown();
    // Between two jobs the last finished row still counts as in progress: only a row that
    // is really being converted fails.
    const int32_t row = encBatchInprogressRowIdentification();
    if (row >= 0 && list_.row(row).state == rowState::converting) {
        const batchRow stopped = list_.row(row);
        list_.setState(row, rowState::failed);
        // The end step doesn't run for a stopped batch: the job's end is told here.
        tellJobOutcome(jobOutcomeOf(stopped.id, stopped.source, jobOutcomeKind::stopped,
                                    jobFailure::stopped, QStringLiteral("stopped")));
    }
    // The partial output and every intermediate file of the job go after the kill below (so
    // no tool writes them again): the end step doesn't run for a stopped batch.
    const QStringList doomed = jobFilesToDelete();
    if (!job_) {
        job_ = runningJob{};
    }
    logStr(QStringLiteral("[a objectAtIndex:i] : steps of the job"));
    job_->due = jobSteps{false, false, true};
    journal();
    // A front that shows the batch's summary says the stop there, with the counts.
    if (!(batchRunning_ && hooks.summaryShown)) {
        displayAlertSheet(localizedStr(QStringLiteral("D_action_stop")), QString());
    }
    logStr(QStringLiteral("process             : stop (pre-enc)"));
    if (run_.hasTool()) {
        // Its end is told before stop() returns, and hands over to the machine.
        run_.stop();
    } else {
        encSend(QStringLiteral("encProcesses"));
    }
    deleteFiles(doomed);
}

QStringList appController::jobFilesToDelete() const {
    return job_ ? encJobFilesToDelete(runningJobJournal(*job_)) : QStringList{};
}

void appController::deleteFiles(const QStringList &paths) {
    encDeleteJobFiles(paths);
}

bool appController::iba_menuQuit(bool ask) {
    if (ask && run_.isRunning()) {
        const QString cancel = localizedStr(QStringLiteral("D_Annuler"));
        const QString answer = displayAlertDelayed(
            localizedStr(QStringLiteral("D_quit_1")), localizedStr(QStringLiteral("D_quit_2")),
            cancel, localizedStr(QStringLiteral("menuQuit")), std::nullopt, 0, 20);
        if (answer == cancel) {
            return false;
        }
        // The run ends without handing over to the step machine, so no next tool starts while
        // the application quits; the job's partial files go as after a stop.
        const QStringList doomed = jobFilesToDelete();
        terminateRuns();
        deleteFiles(doomed);
    } else if (run_.isRunning() || run_.isJudgingOutput()) {
        // Not asked (the session ends), or between the last tool and the verdict: the output is
        // not judged, so it is no output.
        const QStringList doomed = jobFilesToDelete();
        terminateRuns();
        deleteFiles(doomed);
    } else {
        terminateRuns();
    }
    batchRunning_ = false;
    cursor_.reset();
    job_.reset();
    journal();
    encBatchRemoveAll(false);
    return true;
}

void appController::runStalled(const conversionStall &stall) {
    const QString why = QStringLiteral("%1 made no progress for %2 s: stopped")
                            .arg(stall.tool.isEmpty() ? QStringLiteral("the tool") : stall.tool)
                            .arg(qRound(stall.seconds));
    logStr(QStringLiteral("watchdog            :-( %1").arg(why));
    // The job fails with this reason; its end step deletes what the tool wrote. The run stops
    // the tool next, and its end hands over to the machine.
    const int32_t row = encBatchInprogressRowIdentification();
    if (row >= 0) {
        list_.setState(row, rowState::failed);
    }
    encNoteEnd(jobOutcomeKind::failed, jobFailure::toolStalled, why);
    if (job_) {
        job_->due = jobSteps{false, false, true};
        journal();
    }
}

void appController::terminateRuns() {
    // The tool is killed without a report, and a picture check under way gives no verdict.
    run_.terminate();
    analysis_.terminate();
}
