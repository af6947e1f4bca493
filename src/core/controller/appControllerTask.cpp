// The conversion's tool runs: starting one, moving the progress bar from the tool's output,
// the end of a run, and the pause, play and stop commands.
#include "analysis/taskParsers.h"
#include "controller/appController.h"
#include "controller/jobFiles.h"
#include "controller/jobRecord.h"
#include "frontApi/alerts.h"
#include "platform/log.h"
#include "platform/utilsFile.h"
#include "platform/utilsStr.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

QString toolFailureText(const QString &output) {
    QStringList kept;
    const QStringList lines =
        output.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        // Progress lines and the tools' own markers say nothing about a failure.
        if (line.isEmpty() || line.startsWith(QLatin1String("frame=")) ||
            line.startsWith(QLatin1String("size=")) ||
            line.startsWith(QLatin1String("pourcentage")) || line == QLatin1String("0%") ||
            line == QLatin1String("Done")) {
            continue;
        }
        kept << line;
    }
    return kept.mid(std::max<qsizetype>(0, kept.size() - 2)).join(QStringLiteral(" / "));
}

bool appController::taskLauncherEncStart(const QStringList &args, float progressMaxValue,
                                         int32_t parseInt, uiProgressBar *progressBar,
                                         uiTextField *verboseField, uiSegmented *stopBt) {
    if (args.isEmpty()) {
        return false;
    }
    if (taskClass_) {
        logStr(QStringLiteral("forget to release previous task?"));
        taskClass_->setDelegate(nullptr);
        taskClass_->terminate();
        taskClass_.reset();
    }
    taskOutputTail_.clear();
    prefDeleteChildDico(jobKey::runningJob, jobKey::toolError);
    taskStopBt_ = stopBt != nullptr ? stopBt : c_.encStopBt;
    if (taskStopBt_ != nullptr) {
        if (taskStopBt_->imageName(0).startsWith(QStringLiteral("btPlay"))) {
            const bool hud = taskStopBt_->imageName(0).toLower().contains(QStringLiteral("hud"));
            taskStopBt_->setImageName(0, hud ? QStringLiteral("btPauseHud")
                                             : QStringLiteral("btPause"));
        }
        taskStopBt_->setHidden(false);
        taskStopBt_->setEnabled(true);
    }
    taskProgressMaxValue_ = progressMaxValue;
    taskParseInt_ = parseInt;
    taskProgress_ = progressBar != nullptr ? progressBar : c_.encTaskProgress;
    if (c_.taskProgressWheel != nullptr) {
        c_.taskProgressWheel->setAnimating(false);
    }
    taskProgressPercent_ = verboseField != nullptr ? verboseField : c_.encProgressPercentStr;
    if (taskProgressPercent_ != nullptr) {
        taskProgressPercent_->setText(QString());
    }
    if (taskProgress_ != nullptr && progressMaxValue > 0) {
        taskProgress_->setIndeterminate(false);
        taskProgress_->setMinValue(0);
        taskProgress_->setMaxValue(progressMaxValue);
        logStr(QStringLiteral("Progress Max Value  : %1")
                   .arg(static_cast<double>(progressMaxValue), 0, 'f', 3));
        taskProgress_->setValue(0);
        taskPreviousTime_ = 0;
    }
    taskClass_ = std::make_unique<taskLauncher>();
    taskClass_->setDelegate(this);
    const int32_t result = taskClass_->launchTasksWithArguments(args);
    if (result == taskLauncher::launchOk) {
        logStr(QStringLiteral("tLEncStart - fin    : Converting next step/file"));
        if (parseInt == 0 || (parseInt >= 2 && parseInt <= 4)) {
            // A tool whose progress stands still for too long is stopped (a piece of a joined
            // recording swapped for an endless device keeps ffmpeg busy for ever).
            taskStallLimitSeconds_ = taskStallLimitSeconds(
                prefReadChildDico(jobKey::runningJob, QStringLiteral("w_duration")).toDouble());
            taskLastMove_.start();
            if (taskWatchdog_ == nullptr) {
                taskWatchdog_ = new QTimer(this);
                taskWatchdog_->setInterval(1000);
                connect(taskWatchdog_, &QTimer::timeout, this, [this] { taskWatchdogTick(); });
            }
            taskWatchdog_->start();
        }
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

void appController::taskLauncherDidReceiveNewString(taskLauncher *launcher, const QString &chunk) {
    if (launcher != nullptr && launcher == analysisTaskClass_.get()) {
        // Appended in place: a probing report runs to hundreds of kilobytes in many chunks.
        if (!analysisTaskVerboseMStr_) {
            analysisTaskVerboseMStr_.emplace();
        }
        analysisTaskVerboseMStr_->append(chunk);
        analysisThumbnailEarly();
        return;
    }
    if (launcher != taskClass_.get()) {
        return;
    }
    taskOutputTail_.append(chunk);
    if (taskOutputTail_.size() > 8192) {
        taskOutputTail_.remove(0, taskOutputTail_.size() - 8192);
    }
    if (taskParseInt_ == 1) {
        return;
    }
    if (taskParseInt_ != 0 && (taskParseInt_ < 2 || taskParseInt_ > 4)) {
        return;
    }
    const float f = progressForParser(taskParseInt_, chunk);
    if (taskProgress_ == nullptr || taskProgressPercent_ == nullptr || taskProgressMaxValue_ <= 0 ||
        f <= 0) {
        return;
    }
    const float whole = nbTrimmed(f, 0);
    const float previousWhole = nbTrimmed(taskPreviousTime_, 0);
    if (whole > previousWhole && f <= taskProgressMaxValue_) {
        taskProgress_->setValue(f);
        const QString text = QStringLiteral("%1 %").arg(
            taskProgress_->value() * 100.0 / static_cast<double>(taskProgressMaxValue_), 0, 'f', 0);
        taskProgressPercent_->setText(text);
        logStr(QStringLiteral("progress str        : %1").arg(text));
        taskLastMove_.start();
        const double share = taskProgress_->value() / static_cast<double>(taskProgressMaxValue_);
        const double duration =
            prefReadChildDico(jobKey::runningJob, QStringLiteral("w_duration")).toDouble();
        // ffmpeg counts media seconds, trakmill percents of the movie.
        reportBatchProgress(taskParseInt_ == 0 ? batchPhase::converting : batchPhase::exporting,
                            share, taskParseInt_ == 0 ? f : share * duration);
        taskPreviousTime_ = f;
    } else if (whole != previousWhole) {
        taskProgressPercent_->setText(QString());
    }
}

void appController::taskLauncherTaskDidEnd(taskLauncher *launcher) {
    if (launcher != nullptr && launcher == analysisTaskClass_.get()) {
        const int32_t status = launcher->terminationStatus();
        if (status != 0) {
            logStr(status == taskLauncher::interruptedStatus
                       ? QStringLiteral("interrupted")
                       : QStringLiteral("task failed, error  :-( %1 (analysis)").arg(status));
        }
        analysis();
        return;
    }
    if (launcher != taskClass_.get()) {
        return;
    }
    const int32_t status = launcher->terminationStatus();
    if (status != 0) {
        if (status == taskLauncher::interruptedStatus) {
            logStr(QStringLiteral("interrupted"));
        } else {
            logStr(QStringLiteral("task failed, error  :-( %1 (%2)")
                       .arg(status)
                       .arg(taskArgsVArray_.join(QLatin1Char(' '))));
            // The tool's own words (a read-only folder, a name too long, a full disk) are the
            // reason the user needs: kept with the job for its end report.
            const QString said = toolFailureText(taskOutputTail_);
            if (!said.isEmpty()) {
                logStr(QStringLiteral("tool said           :-( %1").arg(said));
                prefWriteChildDico(jobKey::runningJob, jobKey::toolError, said);
            }
        }
    }
    taskLauncherDone();
}

void appController::taskLauncherTaskDidSuspend(taskLauncher *launcher) {
    (void)launcher;
    logStr(QStringLiteral("task suspended"));
}

void appController::taskLauncherTaskDidResume(taskLauncher *launcher) {
    (void)launcher;
    logStr(QStringLiteral("task resumed"));
}

void appController::taskLauncherDone() {
    if (taskWatchdog_ != nullptr) {
        taskWatchdog_->stop();
    }
    if (taskClass_) {
        logStr(QStringLiteral("taskClass           : release"));
        // The launcher may be the one reporting its end right now: it touches nothing of itself
        // after the report, so it is deleted on the next turn of the loop.
        taskClass_->setDelegate(nullptr);
        taskClass_.release()->deleteLater();
    }
    if (taskProgressPercent_ != nullptr) {
        taskProgressPercent_->setText(QString());
    }
    if (taskStopBt_ != nullptr) {
        taskStopBt_->setHidden(true);
    }
    if (taskProgress_ != nullptr) {
        taskProgress_->setValue(taskProgress_->maxValue());
    }
    pausedForAnalysis_ = false;
    encSend(QStringLiteral("encProcesses"));
}

void appController::iba_taskStopBt(uiSegmented *control) {
    if (control == nullptr) {
        return;
    }
    const int32_t segment = control->selectedSegment();
    control->setSelectedSegment(-1);
    if (segment < 0) {
        return;
    }
    const QString image = control->imageName(segment);
    const QString suffix =
        image.toLower().contains(QStringLiteral("hud")) ? QStringLiteral("Hud") : QString();
    if (image == QStringLiteral("btPause") + suffix) {
        logStr(QStringLiteral("process             : pause"));
        if (c_.encProgressActionStr != nullptr) {
            progressActionStrBeforePause_ = c_.encProgressActionStr->text();
            c_.encProgressActionStr->setText(localizedStr(QStringLiteral("D_action_pause")));
        }
        control->setImageName(segment, QStringLiteral("btPlay") + suffix);
        if (taskClass_) {
            taskClass_->suspend();
        }
    } else if (image == QStringLiteral("btPlay") + suffix) {
        logStr(QStringLiteral("process             : play"));
        if (c_.encProgressActionStr != nullptr && progressActionStrBeforePause_) {
            c_.encProgressActionStr->setText(*progressActionStrBeforePause_);
        }
        progressActionStrBeforePause_.reset();
        control->setImageName(segment, QStringLiteral("btPause") + suffix);
        if (taskClass_) {
            taskClass_->resume();
        }
    } else if (image == QStringLiteral("btStop") + suffix) {
        logStr(QStringLiteral("process             : stop"));
        progressActionStrBeforePause_.reset();
        if (c_.encProgressActionStr != nullptr) {
            c_.encProgressActionStr->setText(QString());
        }
        encStopInt_ = 1;
        control->setHidden(true);
        // Between two jobs the last finished row still counts as in progress: only a row that
        // is really being converted fails.
        const int32_t row = encBatchInprogressRowIdentification();
        if (row >= 0 && list_.value(row, rowKey::status).toString() == rowStatus::current) {
            list_.setValue(row, rowKey::status, rowStatus::failure);
            // The end step doesn't run for a stopped batch: the job's end is told here.
            jobOutcomeValue stopped;
            stopped.kind = jobOutcomeKind::stopped;
            stopped.failure = jobFailure::stopped;
            stopped.src = jobSourcePath(list_.dico(row));
            stopped.words = jobFailureWords(stopped.failure);
            stopped.logWords = QStringLiteral("stopped");
            tellJobOutcome(stopped);
        }
        // The partial output and every intermediate file of the job go after the kill below (so
        // no tool writes them again): the end step doesn't run for a stopped batch.
        const QStringList doomed = jobFilesToDelete();
        const QVariantMap job = prefReadDico(jobKey::runningJob).value_or(QVariantMap{});
        for (const QString &key : encArray()) {
            if (job.contains(key) || !prefRead2(key).isNull()) {
                logStr(QStringLiteral("[a objectAtIndex:i] : %1").arg(key));
                prefDeleteChildDico(jobKey::runningJob, key);
            }
        }
        prefWrite(QStringLiteral("encFin"), 1);
        displayAlertSheet(localizedStr(QStringLiteral("D_action_stop")), QString());
        logStr(QStringLiteral("process             : stop (pre-enc)"));
        if (taskClass_) {
            taskClass_->terminate();
            if (taskClass_) {
                taskLauncherDone();
            }
        } else {
            encSend(QStringLiteral("encProcesses"));
        }
        deleteFiles(doomed);
    }
}

QStringList appController::jobFilesToDelete() {
    return encJobFilesToDelete(prefReadDico(jobKey::runningJob).value_or(QVariantMap{}));
}

void appController::deleteFiles(const QStringList &paths) {
    encDeleteJobFiles(paths);
}

bool appController::iba_menuQuit(bool ask) {
    if (ask && taskClass_ && taskClass_->isRunning()) {
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
    } else if ((taskClass_ && taskClass_->isRunning()) || encFinCheckPending_) {
        // Not asked (the session ends), or between the last tool and the verdict: the output is
        // not judged, so it is no output.
        const QStringList doomed = jobFilesToDelete();
        terminateRuns();
        deleteFiles(doomed);
    } else {
        terminateRuns();
    }
    batchRunning_ = false;
    prefDelete(QStringLiteral("encCurrentProcessingFile"));
    prefDelete(jobKey::runningJob);
    prefDelete(QStringLiteral("encFin"));
    encBatchRemoveAll(false);
    return true;
}

void appController::taskWatchdogTick() {
    if (!taskClass_ || !taskClass_->isRunning()) {
        taskWatchdog_->stop();
        return;
    }
    if (taskClass_->isSuspended()) {
        // A pause is no stall: the clock starts again when the run goes on.
        taskLastMove_.start();
        return;
    }
    const double still = static_cast<double>(taskLastMove_.elapsed()) / 1000.0;
    if (still < taskStallLimitSeconds_) {
        return;
    }
    taskWatchdog_->stop();
    const QString tool = QFileInfo(taskArgsVArray_.value(0)).fileName();
    const QString why = QStringLiteral("%1 made no progress for %2 s: stopped")
                            .arg(tool.isEmpty() ? QStringLiteral("the tool") : tool)
                            .arg(qRound(still));
    logStr(QStringLiteral("watchdog            :-( %1").arg(why));
    // The job fails with this reason; its end step deletes what the tool wrote.
    const int32_t row = encBatchInprogressRowIdentification();
    if (row >= 0) {
        list_.setValue(row, rowKey::status, rowStatus::failure);
    }
    encNoteEnd(jobOutcomeKind::failed, jobFailure::toolStalled, why);
    for (const QString &key : encArray().mid(1, 3)) {
        prefDeleteChildDico(jobKey::runningJob, key);
    }
    prefWrite(QStringLiteral("encFin"), 1);
    taskClass_->terminate();
    if (taskClass_) {
        taskLauncherDone();
    }
}

double taskStallLimitSeconds(double mediaSeconds) {
    bool set = false;
    const double forced = qEnvironmentVariable("FLUXARO_STALL_SECONDS").toDouble(&set);
    if (set && forced > 0) {
        return forced;
    }
    return 120.0 + std::max(0.0, mediaSeconds) / 10.0;
}

void appController::terminateRuns() {
    if (taskWatchdog_ != nullptr) {
        taskWatchdog_->stop();
    }
    // A picture check under way gives no verdict any more.
    encFinCheckPending_ = false;
    ++encFinCheck_;
    if (taskClass_) {
        taskClass_->setDelegate(nullptr);
        taskClass_->terminate();
        taskClass_.reset();
    }
    if (analysisTaskClass_) {
        analysisTaskClass_->setDelegate(nullptr);
        analysisTaskClass_->terminate();
        analysisTaskClass_.reset();
    }
    analysisThumbnail_.reset();
    thumbnailQueue_.clear();
    thumbnailStopThread();
    thumbnailCurrent_.reset();
}
