// The conversion step machine: one source after another through ffmpeg, the trimming and
// re-timing of the converted movie, the trakmill export, the judgement and the summary log.
#include "controller/appController.h"
#include "controller/encActions.h"
#include "controller/encPlans.h"
#include "controller/encodage.h"
#include "controller/exportPreset.h"
#include "controller/jobFiles.h"
#include "controller/jobRecord.h"
#include "controller/outputCheck.h"
#include "controller/outputNames.h"
#include "dates/recordingDate.h"
#include "dates/spannedRecording.h"
#include "frontApi/alerts.h"
#include "movie/qtUtils.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/utilsFile.h"
#include "platform/utilsStr.h"
#include "platform/utilsTools.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

/// The output format's name for the summary block and the log: fixed words, as every log line
/// is, whichever front runs.
QString formatLabel(int32_t outInt) {
    return QStringList{QStringLiteral("Rewrap"), QStringLiteral("AIC"), QStringLiteral("ProRes")}
        .value(outInt);
}

/// The frame-rate mode's name, for the log.
QString rateLabel(int32_t fpsInt) {
    return QStringList{QStringLiteral("normal"), QStringLiteral("half"), QStringLiteral("slow")}
        .value(fpsInt);
}

} // namespace

QStringList appController::encArray() {
    return {QStringLiteral("encBatch"), jobKey::stepDeb, jobKey::stepQtEnc,
            QStringLiteral("encFin")};
}

void appController::journal() {
    writeRunningJobJournal(job_ ? &*job_ : nullptr);
}

bool appController::isBatchRunning() const {
    return batchRunning_;
}

void appController::encSend(const QString &step) {
    logStr(QStringLiteral("stepNameStr         ? %1").arg(step));
    // Posted rather than called: a long run of skipped jobs then never deepens the stack, and a
    // launcher that reported its end has returned before the next step starts another.
    QPointer<appController> self(this);
    QTimer::singleShot(0, this, [self, step] {
        if (self) {
            self->enc(step);
        }
    });
}

QString appController::eventsFolderPathStr() const {
    return eventsFolderIn(choices_.destination);
}

void appController::enc(const QString &step) {
    logStr(QStringLiteral("enc                 : %1 - deb").arg(step.isEmpty() ? "nil" : step));
    if (encStopInt_ == 1) {
        logStr(QStringLiteral("enc stop = 1"));
        // The next row is chosen as after "cancel": from the first. The job is forgotten (the
        // stop deleted its files); only its end step, when due, is left to end the batch.
        cursor_ = 0;
        const bool finishDue = job_ && job_->due.finish;
        job_.reset();
        if (finishDue) {
            job_ = runningJob{};
            job_->due.finish = true;
        }
        journal();
    }
    if (step == QStringLiteral("encBatch")) {
        encBatchStep();
    } else if (step == QStringLiteral("encProcesses")) {
        logStr(QStringLiteral("stepNameStr         : encProcesses"));
        if (c_.encStopBt != nullptr && run_.hasTool()) {
            c_.encStopBt->setHidden(false);
        }
        const int32_t row = encBatchInprogressRowIdentification();
        int32_t outInt = 0;
        int32_t fpsInt = 0;
        if (row >= 0) {
            outInt = list_.row(row).format;
            fpsInt = list_.row(row).rateMode;
            logStr(QStringLiteral("out                 = %1 (%2)")
                       .arg(outInt)
                       .arg(formatLabel(outInt)));
            logStr(
                QStringLiteral("fps                 = %1 (%2)").arg(fpsInt).arg(rateLabel(fpsInt)));
        }
        switch (job_ ? job_->due.next() : jobStep::none) {
        case jobStep::convert:
            encDebStep(outInt);
            break;
        case jobStep::work:
            encQtEncStep(outInt, fpsInt);
            break;
        case jobStep::finish:
            encFinStep(step);
            break;
        case jobStep::none:
            encPendingScan();
            break;
        }
    }
    logStr(QStringLiteral("enc                 - fin"));
}

void appController::encBatchStep() {
    logStr(QStringLiteral("stepNameStr         : encBatch"));
    if (encStopAfterJob_) {
        // The job asked to finish has: the batch stops here, as after Stop between two jobs.
        logStr(QStringLiteral("batch               : stopped after the job"));
        display_.batchOver();
        encFinStopBatch();
        return;
    }
    mkdirCocoa(eventsFolderPathStr());
    // The rows converted already (by an earlier batch) are left alone.
    int32_t candidate = batchNextRow(list_.states(), -1);
    if (cursor_ || candidate < 0) {
        logStr(QStringLiteral("batch, c'est parti  : suivantes…"));
        const int32_t r = encBatchInprogressRowIdentification();
        if (!analysis_.isAnalysing() && cursor_) {
            // Drops stay refused while their analysis runs beside the batch.
            setOPENPERM(true);
            restoreDropArea();
        }
        candidate = encStopInt_ != 1 ? batchNextRow(list_.states(), r) : -1;
        if (candidate < 0 && analysis_.isAnalysing() && encStopInt_ != 1) {
            // Sources still being analysed belong to this batch: it waits for their rows
            // (analysisRowsChanged) instead of ending before them.
            logStr(QStringLiteral("batch               : waiting for the analysis"));
            batchWaitsForRows_ = true;
            reportBatchProgress(batchPhase::analysing, 0);
            return;
        }
        if (candidate < 0) {
            encBatchOver();
            return;
        }
    }
    if (list_.isEmpty()) {
        encBatchOver();
        return;
    }
    logStr(QStringLiteral("new indexBatchInt   = %1").arg(candidate));
    const batchRow row = list_.row(candidate);
    const QString &src = row.source;
    if (analysis_.isAnalysing() && encStopInt_ != 1 && awaitsSpannedJoin(row)) {
        // A piece of a spanned recording is joined with its other pieces, or noted apart, when
        // the analysis ends: converting it now would convert it alone and unnoted.
        logStr(
            QStringLiteral("batch               : waiting for the analysis (spanned recording)"));
        batchWaitsForRows_ = true;
        reportBatchProgress(batchPhase::analysing, 0);
        return;
    }
    const QStringList sources = row.sourcePaths();
    if (src.isEmpty() || !std::all_of(sources.cbegin(), sources.cend(), [](const QString &path) {
            return QFileInfo::exists(path);
        })) {
        encSkipGoneRow(candidate);
        return;
    }
    list_.setState(candidate, rowState::converting);
    job_ = runningJob{};
    job_->row = row;
    job_->due.convert = true;
    outcomes_.begin(row.id);
    // Set again when the job's Resume.log block begins: its end line belongs there only.
    taskStartInt_ = 0;
    cursor_ = row.id;
    journal();
    enc(QStringLiteral("encProcesses"));
}

void appController::encSkipGoneRow(int32_t index) {
    logStr(QStringLiteral("@@@la src existe même p'us… à la suivante"));
    // The row stays and says why it was skipped (its outcome), as long as the batch's other
    // rows say how they ended; the next row is chosen after it.
    const batchRow row = list_.row(index);
    list_.setState(index, rowState::failed);
    tellJobOutcome(jobOutcomeOf(row.id, row.source, jobOutcomeKind::skipped, jobFailure::sourceGone,
                                QStringLiteral("the source is gone")));
    cursor_ = row.id;
    // The end step is not for this: no job of it began (no summary block, no report).
    encSend(QStringLiteral("encBatch"));
}

bool appController::awaitsSpannedJoin(const batchRow &row) const {
    // Joined or kept apart (with the reason noted in the row), the end of the analysis decides.
    if (!row.pieces.isEmpty()) {
        return false;
    }
    const std::optional<spannedRecording> recording = spannedRecordingOf(row.source);
    return recording && recording->pieces.size() > 1;
}

void appController::analysisRowsChanged() {
    if (!batchWaitsForRows_) {
        return;
    }
    batchWaitsForRows_ = false;
    if (batchRunning_) {
        encSend(QStringLiteral("encBatch"));
    }
}

void appController::encBatchOver() {
    logStr(QStringLiteral("enc fini            :-)"));
    if (c_.batchEncGoBt != nullptr) {
        c_.batchEncGoBt->setOn(false);
        c_.batchEncGoBt->setEnabled(true);
    }
    batchRunning_ = false;
    encStopAfterJob_ = false;
    setOPENPERM(true);
    display_.batchOver();
    cursor_.reset();
    reportBatchProgress(encStopInt_ == 1 ? batchPhase::stopped : batchPhase::finished, 1);
    // The end's alert is the front's, from the batch's summary (hooks.batchSummary).
    iba_OpenFolder(revealSender::batchView);
    tellBatchEnded(encStopInt_ == 1);
}

void appController::encDebStep(int32_t outInt) {
    runningJob &job = *job_;
    job.due.convert = false;
    logStr(QStringLiteral("encProcesses        > encDeb"));
    job.due.finish = true;
    journal();

    encDebFacts facts;
    facts.row = job.row;
    facts.outInt = outInt;
    facts.folder = choices_.destination;
    facts.formatLabel = formatLabel(outInt);
    facts.takenNames = batchNames_;
    facts.nameMax = encNameMaxOf(eventsFolderPathStr());
    const QString src = job.source();
    facts.date = recordingDateOf(src);
    encDebPlanValue plan = encDebPlan(facts);
    if (plan.action == encDebAction::refusePulldown) {
        logStr(QStringLiteral("encDeb              :-( 2:3 pulldown in a rewrap: %1").arg(src));
        encNoteEnd(jobOutcomeKind::failed, jobFailure::pulldownRewrap, plan.skipReason);
        encSkipJob();
        return;
    }
    encNoteName(plan);
    // The final name gets the output only once it is judged complete (end step); until then
    // ffmpeg and trakmill write a working file of this run's own ("dstPathStr").
    logStr(QStringLiteral("replacePathStr      ? %1").arg(plan.finalPath));

    facts.atFinalName = existingOutputChoice(plan.finalPath, batchExisting_);
    if (facts.atFinalName == encExistingOutput::replace) {
        // The end step replaces this very file only, not whatever is put there meanwhile.
        job.replaceFileId = encFileIdentity(plan.finalPath);
        journal();
    }
    facts.sourceMB = jobSourceMB(facts.row);
    facts.freeMB = espaceDiskDispo(plan.destFolder);
    if (encReadsSourceEdits(facts.row)) {
        facts.sourceEdits = qtTrackEditsOf(src);
    }
    plan = encDebPlan(facts);
    if (plan.action == encDebAction::keepExisting) {
        encNoteEnd(jobOutcomeKind::kept, jobFailure::none, plan.skipReason);
        encSkipJob();
        return;
    }
    logStr(QStringLiteral("free necessary space: %1 vs %2 (MB)")
               .arg(static_cast<double>(plan.neededMB), 0, 'f', 1)
               .arg(facts.freeMB));
    if (plan.action == encDebAction::notEnoughSpace) {
        displayAlert(localizedStr(QStringLiteral("D_go_echec_disque5")),
                     localizedStr(QStringLiteral("D_go_echec_disque4")), alertStyleWarning, false);
        encNoteEnd(jobOutcomeKind::failed, jobFailure::notEnoughSpace, plan.skipReason);
        encSkipJob();
        return;
    }
    taskStartInt_ = QDateTime::currentSecsSinceEpoch();
    logResume(plan.summary);
    // What the source is now, before anything reads it for the conversion: the output is
    // measured against it, whatever happens to the source meanwhile.
    QString factsWhy;
    jobSourceFacts_ = jobSourceFacts(facts.row, &factsWhy);
    if (!jobSourceFacts_) {
        logStr(QStringLiteral("source facts        :-/ %1").arg(factsWhy));
    }
    encDebLaunch(outInt, plan);
}

void appController::encNoteName(const encDebPlanValue &plan) {
    runningJob &job = *job_;
    batchNames_.insert(plan.finalPath);
    job.finalPath = plan.finalPath;
    job.nameNote = plan.nameNote;
    job.recordingDateUtc = plan.recordingDateUtc;
    job.recordingDateIso = plan.recordingDateIso;
    job.recordingDateSeconds = plan.recordingDateSeconds;
    journal();
    if (!plan.dateLine.isEmpty()) {
        logStr(plan.dateLine);
    }
    if (!plan.nameNote.isEmpty()) {
        logStr(QStringLiteral("output name         :-/ %1").arg(plan.nameNote));
    }
}

void appController::encDebLaunch(int32_t outInt, const encDebPlanValue &plan) {
    runningJob &job = *job_;
    // The name is in the journal on disk before its folder is made: a kill between the two
    // would otherwise leave a hidden folder that nothing names.
    const QString working = encReserveWorkingPath(QFileInfo(plan.finalPath).absolutePath(),
                                                  [this](const QString &path) {
                                                      job_->working = path;
                                                      syncRunningJobJournal(*job_);
                                                  });
    if (working.isEmpty()) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::cannotWriteDestination,
                   QStringLiteral("cannot create a file in the destination folder"));
        encSkipJob();
        return;
    }
    job.working = working;
    logStr(QStringLiteral("working file        : %1").arg(working));

    job.due.work = true;
    logStr(QStringLiteral("encProcesses        > encDeb: ffmpeg task"));
    if (!taskArgsVArray_.isEmpty()) {
        logStr(QStringLiteral("enc ffmpeg task     > pré-release"));
        taskArgsVArray_.clear();
    }
    if (plan.pictureRoute == QtPictureRoute::SourceTrack) {
        // The source's own video track, edits kept, is put beside ffmpeg's sound afterwards.
        logStr(QStringLiteral("picture route       : the source's own track (edit list)"));
        job.videoFromSource = true;
    }
    journal();
    const std::optional<QStringList> args = encodage(outInt, job);
    if (!args || args->isEmpty()) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::noCommand, QString());
        encSkipJob();
        return;
    }
    taskArgsVArray_ = *args;
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(QFileInfo(job.source()).fileName());
    }
    if (launchRecord(taskArgsVArray_, static_cast<float>(job.facts().durationSeconds), 0)) {
        reportBatchProgress(batchPhase::converting, 0);
    }
}

bool appController::launchRecord(const QStringList &args, float maximum, int32_t parser) {
    if (args.isEmpty()) {
        encPendingScan();
        return false;
    }
    // On disk before the tool starts: should the application be killed now, the next start
    // finds the job's working files in this record and deletes them. A record that can't be
    // written (a full home) would leave them for good: the tool does not start.
    if (!syncRunningJobJournal(*job_)) {
        logStr(QStringLiteral("job record          :-( not written: %1")
                   .arg(prefWorkingFilePathStr()));
        encNoteEnd(
            jobOutcomeKind::failed, jobFailure::journalNotWritten,
            QStringLiteral("its job record can't be written to %1").arg(prefWorkingFilePathStr()));
        encSkipJob();
        return false;
    }
    return taskLauncherEncStart(args, maximum, parser);
}

void appController::encQtEncStep(int32_t outInt, int32_t fpsInt) {
    runningJob &job = *job_;
    job.due.work = false;
    journal();
    if (c_.encTaskProgress != nullptr) {
        c_.encTaskProgress->setMaxValue(100);
        c_.encTaskProgress->setValue(100);
    }
    logStr(QStringLiteral("encProcesses        > encQtEnc"));
    // From here on the movie worked on is the converted one at the working path.
    const QString working = job.working;
    const QFileInfo workingInfo(working);
    const int64_t workingBytes =
        !working.isEmpty() && workingInfo.isFile() ? workingInfo.size() : -1;
    const QString proresTitle =
        outInt == outRewrap     ? QString()
        : hooks.proresItemTitle ? hooks.proresItemTitle()
                                : proresItemTitleForType(prefRead(QStringLiteral("prefProres")));
    const encQtEncPlanValue plan = encQtEncPlan(job, outInt, fpsInt, workingBytes, proresTitle);
    if (plan.action == encQtEncAction::noMovie) {
        logStr(QStringLiteral("encQtEnc            :-( no converted movie at '%1'").arg(working));
        encNoteEnd(jobOutcomeKind::failed, jobFailure::noMovie, plan.skipReason);
        encPendingScan();
        return;
    }
    if (plan.sourcePicture && !encPutSourcePicture(job)) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::sourcePictureNotTaken,
                   QStringLiteral("the source's picture could not be taken with its edits"));
        encPendingScan();
        return;
    }
    trimToFirstPicture(plan, job);
    const bool retimeOpened = plan.preset.retime && retimeForSlowMotion(plan.preset, job);
    if (retimeOpened) {
        job.retimeOpened = true;
        journal();
    }
    if (plan.exportKind == encQtEncExport::none) {
        encPendingScan();
        return;
    }
    encQtEncExportLaunch(plan, retimeOpened);
}

void appController::encQtEncExportLaunch(const encQtEncPlanValue &plan, bool retimeOpened) {
    runningJob &job = *job_;
    const QString &working = job.working;
    const float duration = static_cast<float>(job.facts().durationSeconds);
    // Named before the movie is moved there: a kill from here on leaves a journal naming it.
    job.masterFile = encMasterPathOf(working);
    journal();
    encPostQtEncFailure failure = encPostQtEncFailure::none;
    std::optional<QStringList> args;
    if (plan.exportKind == encQtEncExport::selfContained) {
        args = encPostQtSelfContained(working, duration, jobSourceMB(job.row), &failure);
    } else {
        const QString &settings = retimeOpened || !plan.preset.retime
                                      ? plan.exportSettings
                                      : plan.exportSettingsNotRetimed;
        args =
            encPostQtEnc(working, duration, fractionStr2Float(job.facts().dar), settings, &failure);
    }
    if (args) {
        taskArgsVArray_ = *args;
        if (launchRecord(taskArgsVArray_, 100, 2)) {
            reportBatchProgress(batchPhase::exporting, 0);
        }
        return;
    }
    list_.setState(encBatchInprogressRowIdentification(), rowState::failed);
    job.due.finish = true;
    if (failure == encPostQtEncFailure::cannotMoveAside) {
        // Not a disk that is full: the movie could not be renamed in its folder.
        encNoteEnd(jobOutcomeKind::failed, jobFailure::cannotSetAside,
                   QStringLiteral("cannot set the converted movie aside for the export"));
        encPendingScan();
        return;
    }
    displayAlert(localizedStr(QStringLiteral("D_go_echec_disque5")),
                 localizedStr(QStringLiteral("D_go_echec_disque4")), alertStyleWarning, false);
    encNoteEnd(jobOutcomeKind::failed, jobFailure::notEnoughSpace,
               QStringLiteral("not enough space"));
    encPendingScan();
}

void appController::resetProgressDisplay() {
    logStr(QStringLiteral("RAZ GUI…"));
    taskArgsVArray_.clear();
    display_.reset();
}

void appController::encFinStep(const QString &step) {
    job_->due.finish = false;
    journal();
    // An end step that comes again (a stop) makes a picture check still under way stale.
    run_.dropOutputCheck();
    logStr(QStringLiteral("enc > encFin        : %1 - deb").arg(step));
    encFinFacts facts;
    facts.job = *job_;
    facts.stopping = encStopInt_ == 1;
    const int32_t row = encBatchInprogressRowIdentification();
    facts.rowCurrent = row >= 0 && list_.row(row).state == rowState::converting;
    // dst: the working output; the job's final name gets it once it is judged complete.
    const QString dst = facts.job.working;
    const QFileInfo output(dst);
    facts.outputBytes = !dst.isEmpty() && output.isFile() ? output.size() : -1;
    facts.outputKB = facts.outputBytes > 0 ? poidsFile(dst, QStringLiteral("k")) : 0;
    const encFinPlanValue plan = encFinPlan(facts);
    for (const QString &purge : plan.purgePaths) {
        if (QFileInfo::exists(purge)) {
            logStr(QStringLiteral("purgePathStr        : %1").arg(purge));
            rmCocoa(purge);
            rmCocoa(purge + QStringLiteral(".mov"));
        }
    }
    if (!plan.masterPath.isEmpty() && QFileInfo::exists(plan.masterPath)) {
        rmCocoa(plan.masterPath);
    }
    resetProgressDisplay();
    switch (plan.action) {
    case encFinAction::stopBatch:
        encRemoveWorkFolder(runningJobJournal(*job_));
        encFinStopBatch();
        return;
    case encFinAction::checkPicture:
        encFinCheckPicture(step, plan.sizeKB);
        return;
    case encFinAction::judgeFailed:
        encFinJudged(step, plan.sizeKB, plan.failure, plan.why);
        return;
    case encFinAction::close:
        break;
    }
    encFinClose(step);
}

void appController::encStopAfterJob() {
    if (!batchRunning_ || encStopAfterJob_) {
        return;
    }
    logStr(QStringLiteral("process             : stop after this job"));
    encStopAfterJob_ = true;
    // Said at once (the window's title, the progress line), not at the next progress line.
    reportBatchProgress(progress_.now().phase, progress_.now().phaseFraction);
}

bool appController::isJobConverting() const {
    const int32_t row = encBatchInprogressRowIdentification();
    return batchRunning_ && row >= 0 && list_.row(row).state == rowState::converting;
}

void appController::encFinStopBatch() {
    if (c_.batchEncGoBt != nullptr) {
        c_.batchEncGoBt->setOn(false);
        c_.batchEncGoBt->setEnabled(!list_.isEmpty() && getOPENPERM());
    }
    setOPENPERM(true);
    encStopInt_ = 0;
    encStopAfterJob_ = false;
    batchRunning_ = false;
    batchWaitsForRows_ = false;
    // The next Go starts again from the first row.
    cursor_.reset();
    job_.reset();
    journal();
    reportBatchProgress(batchPhase::stopped, progress_.now().phaseFraction);
    tellBatchEnded(true);
}

void appController::encFinCheckPicture(const QString &step, double sizeKB) {
    // The picture is decoded beside the event loop; the job ends when it is judged. A stop or a
    // quit meanwhile makes the verdict stale (the run's check number moves on).
    run_.checkOutput(job_->working, [this, step, sizeKB](const outputCheckResult &result) {
        if (!result.readable) {
            logStr(QStringLiteral("output unreadable   : %1").arg(result.why));
            encFinJudged(step, sizeKB, jobFailure::outputUnreadable,
                         QStringLiteral("output is not a readable movie"));
            return;
        }
        encFinVerify(step, sizeKB, result);
    });
    reportBatchProgress(batchPhase::checking, 0);
}

verifyVerdict appController::encVerdictOf(const runningJob &job, const outputCheckResult &result) {
    const QString &tool = job.toolReadTool;
    const QString &readLine = job.toolReadError;
    if (!result.facts) {
        verifyVerdict verdict = verifyUnreadable(result.factsWhy);
        if (!readLine.isEmpty()) {
            verdict.findings.prepend(verifyOutput({}, {}, tool, readLine).findings.last());
        }
        return verdict;
    }
    const int32_t row = encBatchInprogressRowIdentification();
    const int32_t outInt = row >= 0 ? list_.row(row).format : outRewrap;
    const int32_t fpsInt = row >= 0 ? list_.row(row).rateMode : fpsNormal;
    if (!jobSourceFacts_) {
        // Nothing to measure the movie against: only the tool's report can fail it.
        logStr(QStringLiteral("verification        :-/ the source's facts are unknown"));
        const verifyExpect itself = verifyExpectOf(*result.facts, verifyPlan{});
        return verifyOutput(itself, *result.facts, tool, readLine);
    }
    const toolbox::Rational sourceRate =
        jobSourceFacts_->picture ? jobSourceFacts_->picture->rate : toolbox::Rational{};
    const verifyPlan plan = encVerifyPlan(job.facts(), job.recordingDateSeconds, outInt, fpsInt,
                                          job.retimeOpened, sourceRate);
    return verifyOutput(verifyExpectOf(*jobSourceFacts_, plan), *result.facts, tool, readLine);
}

void appController::encFinVerify(const QString &step, double sizeKB,
                                 const outputCheckResult &result) {
    runningJob &job = *job_;
    const verifyVerdict verdict = encVerdictOf(job, result);
    if (verdict.holds) {
        logStr(QStringLiteral("verification        :-) %1").arg(verdict.logWords));
        job.verifyWords = verdict.words;
        job.verifyLog = verdict.logWords;
        encFinJudged(step, sizeKB, jobFailure::none, QString());
        return;
    }
    logStr(QStringLiteral("verification        :-( %1 (%2)")
               .arg(verdict.failureLogWords(), verdict.logWords));
    const int32_t row = encBatchInprogressRowIdentification();
    if (row < 0) {
        encFinClose(step);
        return;
    }
    // Never under its final name as if it were whole; beside it, named as incomplete: a
    // damaged card's partial movie may be all that is left of the recording.
    const QString &finalPath = job.finalPath;
    const QString incomplete =
        encIncompletePath(finalPath.isEmpty() ? job.working : finalPath, [](const QString &path) {
            return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
        });
    const QString keptWhy = encKeepIncomplete(job, incomplete);
    QString logWords = verdict.failureLogWords();
    QString words = verdict.failureWords();
    if (keptWhy.isEmpty()) {
        logStr(QStringLiteral("incomplete output   : %1").arg(incomplete));
        job.incompletePath = incomplete;
        const QString name = QFileInfo(incomplete).fileName();
        logWords += QStringLiteral("; kept as '%1'").arg(name);
        words +=
            QStringLiteral("; ") +
            localizedStr(QStringLiteral("D_verify_keptAs")).replace(QStringLiteral("%1"), name);
    } else {
        logStr(QStringLiteral("incomplete output   :-( %1").arg(keptWhy));
    }
    list_.setState(row, rowState::failed);
    job.failure = encVerifyFailure(verdict);
    job.reason = logWords;
    job.verifyWords = words;
    job.verifyLog = verdict.logWords;
    encFinClose(step);
}

void appController::encFinJudged(const QString &step, double sizeKB, jobFailure failure,
                                 QString why) {
    runningJob &job = *job_;
    const int32_t row = encBatchInprogressRowIdentification();
    const QString dst = job.working;
    const QString finalPath = job.finalPath;
    if (row >= 0) {
        if (why.isEmpty()) {
            const encDelivery delivery = encDeliverOutput(job);
            why = delivery.error;
            failure = why.isEmpty() ? failure : jobFailure::cannotMoveOutput;
            if (why.isEmpty() && delivery.finalPath != finalPath) {
                // The name was taken meanwhile (another run into the same folder).
                const QString note = QStringLiteral("named '%1': '%2' was taken while the job ran")
                                         .arg(QFileInfo(delivery.finalPath).fileName(),
                                              QFileInfo(finalPath).fileName());
                logStr(QStringLiteral("output name         :-/ %1").arg(note));
                job.finalPath = delivery.finalPath;
                job.nameNote = note;
                batchNames_.insert(delivery.finalPath);
            }
        }
        const bool success = why.isEmpty();
        list_.setState(row, success ? rowState::converted : rowState::failed);
        if (!success) {
            logStr(QStringLiteral("output              :-( %1 KB '%2'").arg(sizeKB).arg(dst));
            if (QFileInfo(dst).isFile()) {
                rmCocoa(dst);
            }
            // An earlier reason (ffmpeg made nothing, no space...) says more than this one.
            if (const std::optional<QString> reason = encFinFailureReason(job, why)) {
                job.reason = *reason;
                job.failure = failure;
            }
        }
    }
    encFinClose(step);
}

void appController::encFinClose(const QString &step) {
    const runningJob &job = *job_;
    const int32_t row = encBatchInprogressRowIdentification();
    const QString &dst = job.working;
    const QString &finalPath = job.finalPath;
    if (row >= 0) {
        const rowState state = list_.row(row).state;
        if (state != rowState::failed) {
            const QString &proved = job.verifyLog;
            if (!proved.isEmpty()) {
                logResume(QStringLiteral("verification        : %1\n").arg(proved));
            }
            const auto duration = static_cast<int64_t>(job.facts().durationSeconds);
            logResume(encFinSummary(
                duration, QDateTime::currentSecsSinceEpoch() - taskStartInt_,
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        }
        if (state == rowState::failed && !dst.isEmpty() && dst != finalPath &&
            QFileInfo(dst).isFile()) {
            // A job that failed before its judgement (a tool stopped, no space): its working
            // output is no output.
            rmCocoa(dst);
        }
        reportBatchProgress(batchPhase::checking, 1.0);
        tellJobOutcome(runningJobOutcome(job, state == rowState::converted));
    }
    encRemoveWorkFolder(runningJobJournal(job));
    logStr(QStringLiteral("…RAZ GUI done"));
    job_.reset();
    journal();
    logStr(
        QStringLiteral("enc > encFin        : %1 - fin (pre-[self encSend:@encBatch])").arg(step));
    encSend(QStringLiteral("encBatch"));
}

void appController::encPendingScan() {
    journal();
    if (job_ && job_->due.any()) {
        encSend(QStringLiteral("encProcesses"));
    }
}

void appController::encNoteEnd(jobOutcomeKind kind, jobFailure failure, const QString &logWords) {
    if (!job_) {
        return;
    }
    // The first reason is the cause; a later step sees only what follows from it (an ffmpeg
    // that could not start made no movie).
    if (job_->failure != jobFailure::none) {
        logStr(QStringLiteral("job end             : %1 (first reason kept)").arg(logWords));
        return;
    }
    if (kind != jobOutcomeKind::failed) {
        job_->kind = kind;
    }
    job_->failure = failure;
    if (!logWords.isEmpty()) {
        job_->reason = logWords;
    }
    journal();
}

void appController::tellJobOutcome(const jobOutcomeValue &outcome) {
    if (!outcomes_.add(outcome)) {
        return;
    }
    if (outcome.kind != jobOutcomeKind::converted && taskStartInt_ != 0) {
        // The job's Resume.log block is open (its conversion began): it ends with the outcome.
        logResume(jobOutcomeLogLine(outcome));
        taskStartInt_ = 0;
    }
    if (hooks.jobOutcome) {
        hooks.jobOutcome(outcome);
    }
}

void appController::tellBatchEnded(bool stopped) {
    if (!outcomes_.summaryGiven()) {
        for (const jobOutcomeValue &left : outcomes_.leftByStop(list_.rows())) {
            tellJobOutcome(left);
        }
        const batchSummaryValue summary = outcomes_.summary(stopped);
        if (hooks.batchSummary) {
            hooks.batchSummary(summary);
        }
    }
    if (hooks.batchEnded) {
        hooks.batchEnded();
    }
}

void appController::encSkipJob() {
    list_.setState(encBatchInprogressRowIdentification(), rowState::failed);
    job_->due = jobSteps{false, false, true};
    journal();
    encSend(QStringLiteral("encProcesses"));
}

void appController::reportBatchProgress(batchPhase phase, double phaseFraction,
                                        double mediaSeconds) {
    batchProgressRows rows;
    rows.running = encBatchInprogressRowIdentification();
    rows.rows = static_cast<int32_t>(list_.count());
    rows.analysing = analysis_.pendingSources();
    for (const batchRow &row : list_.rows()) {
        if (row.state == rowState::waiting || row.state == rowState::converting) {
            ++rows.rowsLeft;
        }
    }
    if (rows.running >= 0) {
        rows.clip = list_.row(rows.running).source;
        rows.format = list_.row(rows.running).format;
        rows.exportFollows = rows.format > 0;
    }
    const batchProgressValue &progress = progress_.move(phase, phaseFraction, rows, mediaSeconds);
    if (hooks.batchProgress) {
        hooks.batchProgress(progress);
    }
}
