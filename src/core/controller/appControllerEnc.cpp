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

const QString kJob = jobKey::runningJob;

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

/// True when the running job's record holds the step marker `key` (one of encStepMarkers).
bool jobMarkerSet(const QString &key) {
    return prefReadChildDico(kJob, key).toInt() != 0;
}

} // namespace

QStringList appController::encArray() {
    return QStringList{QStringLiteral("encBatch")} + encStepMarkers() +
           QStringList{QStringLiteral("encFin")};
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
        prefWrite(QStringLiteral("encCurrentProcessingFile"), QStringLiteral("cancel"));
        runningRowId_ = 0;
        prefDelete(kJob);
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
            outInt = list_.value(row, rowKey::out).toInt();
            fpsInt = list_.value(row, rowKey::fps).toInt();
            logStr(QStringLiteral("out                 = %1 (%2)")
                       .arg(outInt)
                       .arg(formatLabel(outInt)));
            logStr(
                QStringLiteral("fps                 = %1 (%2)").arg(fpsInt).arg(rateLabel(fpsInt)));
        }
        if (jobMarkerSet(jobKey::stepDeb)) {
            encDebStep(outInt);
        } else if (jobMarkerSet(jobKey::stepQtEnc)) {
            encQtEncStep(outInt, fpsInt);
        } else if (prefRead2(QStringLiteral("encFin")).toInt() != 0) {
            encFinStep(step);
        } else {
            encPendingScan();
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
    const QString current = prefRead(QStringLiteral("encCurrentProcessingFile"));
    // The rows converted already (by an earlier batch) are left alone.
    int32_t candidate = batchNextRow(list_.statuses(), -1);
    if (!current.isEmpty() || candidate < 0) {
        logStr(QStringLiteral("batch, c'est parti  : suivantes…"));
        const int32_t r = current.isEmpty() ? -1 : encBatchInprogressRowIdentification();
        if (!analysis_.isAnalysing() && !current.isEmpty()) {
            // Drops stay refused while their analysis runs beside the batch.
            setOPENPERM(true);
            restoreDropArea();
        }
        candidate = encStopInt_ != 1 ? batchNextRow(list_.statuses(), r) : -1;
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
    const QVariantMap record = list_.dico(candidate);
    const QString src = record.value(jobKey::srcPath).toString();
    if (analysis_.isAnalysing() && encStopInt_ != 1 && awaitsSpannedJoin(record)) {
        // A piece of a spanned recording is joined with its other pieces, or noted apart, when
        // the analysis ends: converting it now would convert it alone and unnoted.
        logStr(
            QStringLiteral("batch               : waiting for the analysis (spanned recording)"));
        batchWaitsForRows_ = true;
        reportBatchProgress(batchPhase::analysing, 0);
        return;
    }
    const QStringList sources = jobSourcePaths(record);
    if (record.isEmpty() || src.isEmpty() ||
        !std::all_of(sources.cbegin(), sources.cend(),
                     [](const QString &path) { return QFileInfo::exists(path); })) {
        logStr(QStringLiteral("@@@la src existe même p'us… à la suivante"));
        // The row stays and says why it was skipped (its outcome), as long as the batch's
        // other rows say how they ended; the next row is chosen after it.
        list_.setValue(candidate, rowKey::status, rowStatus::failure);
        tellJobOutcome(jobOutcomeOf(src, jobOutcomeKind::skipped, jobFailure::sourceGone,
                                    QStringLiteral("the source is gone")));
        prefWrite(QStringLiteral("encCurrentProcessingFile"),
                  src.isEmpty() ? QStringLiteral("totoCestLePlusBeau") : src);
        runningRowId_ = list_.idAt(candidate);
        // The end step is not for this: no job of it began (no summary block, no report).
        encSend(QStringLiteral("encBatch"));
        return;
    }
    list_.setValue(candidate, rowKey::status, rowStatus::current);
    outcomes_.begin(src);
    // Set again when the job's Resume.log block begins: its end line belongs there only.
    taskStartInt_ = 0;
    prefWrite(QStringLiteral("encCurrentProcessingFile"), src);
    runningRowId_ = list_.idAt(candidate);
    prefWriteDico(kJob, record);
    prefWriteChildDico(kJob, jobKey::stepDeb, 1);
    enc(QStringLiteral("encProcesses"));
}

bool appController::awaitsSpannedJoin(const QVariantMap &record) const {
    // Joined or kept apart (with the reason noted in the row), the end of the analysis decides.
    if (record.contains(jobKey::joinPaths)) {
        return false;
    }
    const std::optional<spannedRecording> recording =
        spannedRecordingOf(record.value(jobKey::srcPath).toString());
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
    prefDelete(QStringLiteral("encCurrentProcessingFile"));
    prefDelete(QStringLiteral("replaceFilesCheck"));
    reportBatchProgress(encStopInt_ == 1 ? batchPhase::stopped : batchPhase::finished, 1);
    // The end's alert is the front's, from the batch's summary (hooks.batchSummary).
    iba_OpenFolder(revealSender::batchView);
    tellBatchEnded(encStopInt_ == 1);
}

void appController::encDebStep(int32_t outInt) {
    prefDeleteChildDico(kJob, jobKey::stepDeb);
    logStr(QStringLiteral("encProcesses        > encDeb"));
    prefWrite(QStringLiteral("encFin"), 1);

    encDebFacts facts;
    facts.record = prefReadDico(kJob).value_or(QVariantMap{});
    facts.outInt = outInt;
    facts.folder = choices_.destination;
    facts.formatLabel = formatLabel(outInt);
    facts.takenNames = batchNames_;
    facts.nameMax = encNameMaxOf(eventsFolderPathStr());
    const QString src = jobSourcePath(facts.record);
    facts.date = recordingDateOf(src);
    encDebPlanValue plan = encDebPlan(facts);
    if (plan.action == encDebAction::refusePulldown) {
        logStr(QStringLiteral("encDeb              :-( 2:3 pulldown in a rewrap: %1").arg(src));
        encNoteEnd(jobOutcomeKind::failed, jobFailure::pulldownRewrap, plan.skipReason);
        encSkipJob();
        return;
    }
    batchNames_.insert(plan.finalPath);
    for (auto add = plan.recordAdds.cbegin(); add != plan.recordAdds.cend(); ++add) {
        prefWriteChildDico(kJob, add.key(), add.value());
    }
    if (!plan.dateLine.isEmpty()) {
        logStr(plan.dateLine);
    }
    if (!plan.nameNote.isEmpty()) {
        logStr(QStringLiteral("output name         :-/ %1").arg(plan.nameNote));
    }
    // The final name gets the output only once it is judged complete (end step); until then
    // ffmpeg and trakmill write a working file of this run's own ("dstPathStr").
    logStr(QStringLiteral("replacePathStr      ? %1").arg(plan.finalPath));

    facts.atFinalName = existingOutputChoice(plan.finalPath);
    if (facts.atFinalName == encExistingOutput::replace) {
        // The end step replaces this very file only, not whatever is put there meanwhile.
        prefWriteChildDico(kJob, jobKey::replaceFile, encFileIdentity(plan.finalPath));
    }
    facts.sourceMB = jobSourceMB(facts.record);
    facts.freeMB = espaceDiskDispo(plan.destFolder);
    if (encReadsSourceEdits(facts.record)) {
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
    jobSourceFacts_ = jobSourceFacts(facts.record, &factsWhy);
    if (!jobSourceFacts_) {
        logStr(QStringLiteral("source facts        :-/ %1").arg(factsWhy));
    }
    encDebLaunch(outInt, plan, facts.record);
}

void appController::encDebLaunch(int32_t outInt, const encDebPlanValue &plan,
                                 const QVariantMap &record) {
    // The name is in the record on disk before its folder is made: a kill between the two
    // would otherwise leave a hidden folder that nothing names.
    const QString working =
        encReserveWorkingPath(QFileInfo(plan.finalPath).absolutePath(), [](const QString &path) {
            prefWriteChildDico(kJob, jobKey::dstPath, path);
            prefSynchronize();
        });
    if (working.isEmpty()) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::cannotWriteDestination,
                   QStringLiteral("cannot create a file in the destination folder"));
        encSkipJob();
        return;
    }
    prefWriteChildDico(kJob, jobKey::dstPath, working);
    logStr(QStringLiteral("working file        : %1").arg(working));

    prefWriteChildDico(kJob, jobKey::stepQtEnc, 1);
    logStr(QStringLiteral("encProcesses        > encDeb: ffmpeg task"));
    if (!taskArgsVArray_.isEmpty()) {
        logStr(QStringLiteral("enc ffmpeg task     > pré-release"));
        taskArgsVArray_.clear();
    }
    if (plan.pictureRoute == QtPictureRoute::SourceTrack) {
        // The source's own video track, edits kept, is put beside ffmpeg's sound afterwards.
        logStr(QStringLiteral("picture route       : the source's own track (edit list)"));
        prefWriteChildDico(kJob, jobKey::videoFromSource, 1);
    }
    const std::optional<QStringList> args =
        encodage(outInt, prefReadDico(kJob).value_or(QVariantMap{}));
    if (!args || args->isEmpty()) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::noCommand, QString());
        encSkipJob();
        return;
    }
    taskArgsVArray_ = *args;
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(QFileInfo(jobSourcePath(record)).fileName());
    }
    if (launchRecord(taskArgsVArray_, record.value(QStringLiteral("w_duration")).toFloat(), 0)) {
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
    if (!prefSynchronize()) {
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
    prefDeleteChildDico(kJob, jobKey::stepQtEnc);
    if (c_.encTaskProgress != nullptr) {
        c_.encTaskProgress->setMaxValue(100);
        c_.encTaskProgress->setValue(100);
    }
    logStr(QStringLiteral("encProcesses        > encQtEnc"));
    const QVariantMap record = prefReadDico(kJob).value_or(QVariantMap{});
    const QString working = jobWorkingPath(record);
    prefWriteChildDico(kJob, jobKey::srcPath, working);
    const QFileInfo workingInfo(working);
    const int64_t workingBytes =
        !working.isEmpty() && workingInfo.isFile() ? workingInfo.size() : -1;
    const QString proresTitle =
        outInt == outRewrap     ? QString()
        : hooks.proresItemTitle ? hooks.proresItemTitle()
                                : proresItemTitleForType(prefRead(QStringLiteral("prefProres")));
    const encQtEncPlanValue plan = encQtEncPlan(record, outInt, fpsInt, workingBytes, proresTitle);
    if (plan.action == encQtEncAction::noMovie) {
        logStr(QStringLiteral("encQtEnc            :-( no converted movie at '%1'").arg(working));
        encNoteEnd(jobOutcomeKind::failed, jobFailure::noMovie, plan.skipReason);
        encPendingScan();
        return;
    }
    if (plan.sourcePicture && !encPutSourcePicture(record, working)) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::sourcePictureNotTaken,
                   QStringLiteral("the source's picture could not be taken with its edits"));
        encPendingScan();
        return;
    }
    trimToFirstPicture(plan, working);
    const bool retimeOpened = plan.preset.retime && retimeForSlowMotion(plan.preset, working);
    if (retimeOpened) {
        prefWriteChildDico(kJob, jobKey::retimeOpened, 1);
    }
    if (plan.exportKind == encQtEncExport::none) {
        encPendingScan();
        return;
    }
    encQtEncExportLaunch(plan, record, working, retimeOpened);
}

void appController::encQtEncExportLaunch(const encQtEncPlanValue &plan, const QVariantMap &record,
                                         const QString &working, bool retimeOpened) {
    const float duration = record.value(QStringLiteral("w_duration")).toFloat();
    encPostQtEncFailure failure = encPostQtEncFailure::none;
    std::optional<QStringList> args;
    if (plan.exportKind == encQtEncExport::selfContained) {
        args = encPostQtSelfContained(working, duration, jobSourceMB(record), &failure);
    } else {
        const QString &settings = retimeOpened || !plan.preset.retime
                                      ? plan.exportSettings
                                      : plan.exportSettingsNotRetimed;
        args = encPostQtEnc(working, duration,
                            fractionStr2Float(record.value(QStringLiteral("v0_dar"))), settings,
                            &failure);
    }
    if (args) {
        taskArgsVArray_ = *args;
        if (launchRecord(taskArgsVArray_, 100, 2)) {
            reportBatchProgress(batchPhase::exporting, 0);
        }
        return;
    }
    list_.setValue(encBatchInprogressRowIdentification(), rowKey::status, rowStatus::failure);
    if (failure == encPostQtEncFailure::cannotMoveAside) {
        // Not a disk that is full: the movie could not be renamed in its folder.
        encNoteEnd(jobOutcomeKind::failed, jobFailure::cannotSetAside,
                   QStringLiteral("cannot set the converted movie aside for the export"));
        prefWrite(QStringLiteral("encFin"), 1);
        encPendingScan();
        return;
    }
    displayAlert(localizedStr(QStringLiteral("D_go_echec_disque5")),
                 localizedStr(QStringLiteral("D_go_echec_disque4")), alertStyleWarning, false);
    encNoteEnd(jobOutcomeKind::failed, jobFailure::notEnoughSpace,
               QStringLiteral("not enough space"));
    prefWrite(QStringLiteral("encFin"), 1);
    encPendingScan();
}

void appController::resetProgressDisplay() {
    logStr(QStringLiteral("RAZ GUI…"));
    taskArgsVArray_.clear();
    display_.reset();
}

void appController::encFinStep(const QString &step) {
    prefDelete(QStringLiteral("encFin"));
    // An end step that comes again (a stop) makes a picture check still under way stale.
    run_.dropOutputCheck();
    logStr(QStringLiteral("enc > encFin        : %1 - deb").arg(step));
    encFinFacts facts;
    facts.job = prefReadDico(kJob).value_or(QVariantMap{});
    facts.stopping = encStopInt_ == 1;
    const int32_t row = encBatchInprogressRowIdentification();
    facts.rowCurrent =
        row >= 0 && list_.value(row, rowKey::status).toString() == rowStatus::current;
    // dst: the working output; the job's final name gets it once it is judged complete.
    const QString dst = jobWorkingPath(facts.job);
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
        encRemoveWorkFolder(facts.job);
        encFinStopBatch();
        return;
    case encFinAction::checkPicture:
        encFinCheckPicture(step, facts.job, plan.sizeKB);
        return;
    case encFinAction::judgeFailed:
        encFinJudged(step, facts.job, plan.sizeKB, plan.failure, plan.why);
        return;
    case encFinAction::close:
        break;
    }
    encFinClose(step, facts.job);
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
    return batchRunning_ && row >= 0 &&
           list_.value(row, rowKey::status).toString() == rowStatus::current;
}

void appController::encFinStopBatch() {
    if (c_.batchEncGoBt != nullptr) {
        c_.batchEncGoBt->setOn(false);
        c_.batchEncGoBt->setEnabled(!list_.isEmpty() && getOPENPERM());
    }
    setOPENPERM(true);
    prefDelete(QStringLiteral("replaceFilesCheck"));
    encStopInt_ = 0;
    encStopAfterJob_ = false;
    batchRunning_ = false;
    batchWaitsForRows_ = false;
    // The next Go starts again from the first row.
    prefDelete(QStringLiteral("encCurrentProcessingFile"));
    reportBatchProgress(batchPhase::stopped, progress_.now().phaseFraction);
    tellBatchEnded(true);
}

void appController::encFinCheckPicture(const QString &step, const QVariantMap &job, double sizeKB) {
    // The picture is decoded beside the event loop; the job ends when it is judged. A stop or a
    // quit meanwhile makes the verdict stale (the run's check number moves on).
    run_.checkOutput(jobWorkingPath(job),
                     [this, step, job, sizeKB](const outputCheckResult &result) {
                         if (!result.readable) {
                             logStr(QStringLiteral("output unreadable   : %1").arg(result.why));
                             encFinJudged(step, job, sizeKB, jobFailure::outputUnreadable,
                                          QStringLiteral("output is not a readable movie"));
                             return;
                         }
                         encFinVerify(step, job, sizeKB, result);
                     });
    reportBatchProgress(batchPhase::checking, 0);
}

verifyVerdict appController::encVerdictOf(const QVariantMap &job, const outputCheckResult &result) {
    const QString tool = job.value(jobKey::toolReadTool).toString();
    const QString readLine = job.value(jobKey::toolReadError).toString();
    if (!result.facts) {
        verifyVerdict verdict = verifyUnreadable(result.factsWhy);
        if (!readLine.isEmpty()) {
            verdict.findings.prepend(verifyOutput({}, {}, tool, readLine).findings.last());
        }
        return verdict;
    }
    const int32_t row = encBatchInprogressRowIdentification();
    const int32_t outInt = row >= 0 ? list_.value(row, rowKey::out).toInt() : outRewrap;
    const int32_t fpsInt = row >= 0 ? list_.value(row, rowKey::fps).toInt() : fpsNormal;
    if (!jobSourceFacts_) {
        // Nothing to measure the movie against: only the tool's report can fail it.
        logStr(QStringLiteral("verification        :-/ the source's facts are unknown"));
        const verifyExpect itself = verifyExpectOf(*result.facts, verifyPlan{});
        return verifyOutput(itself, *result.facts, tool, readLine);
    }
    const toolbox::Rational sourceRate =
        jobSourceFacts_->picture ? jobSourceFacts_->picture->rate : toolbox::Rational{};
    const verifyPlan plan = encVerifyPlan(job, outInt, fpsInt,
                                          job.value(jobKey::retimeOpened).toInt() != 0, sourceRate);
    return verifyOutput(verifyExpectOf(*jobSourceFacts_, plan), *result.facts, tool, readLine);
}

void appController::encFinVerify(const QString &step, QVariantMap job, double sizeKB,
                                 const outputCheckResult &result) {
    // The record as the last tool left it (its read error, the re-timing).
    job = prefReadDico(kJob).value_or(job);
    const verifyVerdict verdict = encVerdictOf(job, result);
    if (verdict.holds) {
        logStr(QStringLiteral("verification        :-) %1").arg(verdict.logWords));
        job.insert(jobKey::verifyWords, verdict.words);
        job.insert(jobKey::verifyLog, verdict.logWords);
        encFinJudged(step, job, sizeKB, jobFailure::none, QString());
        return;
    }
    logStr(QStringLiteral("verification        :-( %1 (%2)")
               .arg(verdict.failureLogWords(), verdict.logWords));
    const int32_t row = encBatchInprogressRowIdentification();
    if (row < 0) {
        encFinClose(step, job);
        return;
    }
    // Never under its final name as if it were whole; beside it, named as incomplete: a
    // damaged card's partial movie may be all that is left of the recording.
    const QString finalPath = job.value(jobKey::finalPath).toString();
    const QString incomplete = encIncompletePath(
        finalPath.isEmpty() ? jobWorkingPath(job) : finalPath,
        [](const QString &path) { return QFileInfo::exists(path) || QFileInfo(path).isSymLink(); });
    const QString keptWhy = encKeepIncomplete(job, incomplete);
    QString logWords = verdict.failureLogWords();
    QString words = verdict.failureWords();
    if (keptWhy.isEmpty()) {
        logStr(QStringLiteral("incomplete output   : %1").arg(incomplete));
        job.insert(jobKey::incompletePath, incomplete);
        const QString name = QFileInfo(incomplete).fileName();
        logWords += QStringLiteral("; kept as '%1'").arg(name);
        words +=
            QStringLiteral("; ") +
            localizedStr(QStringLiteral("D_verify_keptAs")).replace(QStringLiteral("%1"), name);
    } else {
        logStr(QStringLiteral("incomplete output   :-( %1").arg(keptWhy));
    }
    list_.setValue(row, rowKey::status, rowStatus::failure);
    job.insert(jobKey::failure, static_cast<int>(encVerifyFailure(verdict)));
    job.insert(jobKey::skipReason, logWords);
    job.insert(jobKey::verifyWords, words);
    job.insert(jobKey::verifyLog, verdict.logWords);
    encFinClose(step, job);
}

void appController::encFinJudged(const QString &step, QVariantMap job, double sizeKB,
                                 jobFailure failure, QString why) {
    const int32_t row = encBatchInprogressRowIdentification();
    const QString dst = job.value(jobKey::dstPath).toString();
    const QString finalPath = job.value(jobKey::finalPath).toString();
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
                job.insert(jobKey::finalPath, delivery.finalPath);
                job.insert(jobKey::nameNote, note);
                batchNames_.insert(delivery.finalPath);
            }
        }
        const bool success = why.isEmpty();
        list_.setValue(row, rowKey::status, success ? rowStatus::success : rowStatus::failure);
        if (!success) {
            logStr(QStringLiteral("output              :-( %1 KB '%2'").arg(sizeKB).arg(dst));
            if (QFileInfo(dst).isFile()) {
                rmCocoa(dst);
            }
            // An earlier reason (ffmpeg made nothing, no space...) says more than this one.
            if (const std::optional<QString> reason = encFinFailureReason(job, why)) {
                job.insert(jobKey::skipReason, *reason);
                job.insert(jobKey::failure, static_cast<int>(failure));
            }
        }
    }
    encFinClose(step, job);
}

void appController::encFinClose(const QString &step, const QVariantMap &job) {
    const int32_t row = encBatchInprogressRowIdentification();
    const QString dst = job.value(jobKey::dstPath).toString();
    const QString finalPath = job.value(jobKey::finalPath).toString();
    if (row >= 0) {
        const QString status = list_.value(row, rowKey::status).toString();
        if (status != rowStatus::failure) {
            const QString proved = job.value(jobKey::verifyLog).toString();
            if (!proved.isEmpty()) {
                logResume(QStringLiteral("verification        : %1\n").arg(proved));
            }
            const int64_t duration = static_cast<int64_t>(job.value("w_duration").toDouble());
            logResume(encFinSummary(
                duration, QDateTime::currentSecsSinceEpoch() - taskStartInt_,
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        }
        if (status == rowStatus::failure && !dst.isEmpty() && dst != finalPath &&
            QFileInfo(dst).isFile()) {
            // A job that failed before its judgement (a tool stopped, no space): its working
            // output is no output.
            rmCocoa(dst);
        }
        reportBatchProgress(batchPhase::checking, 1.0);
        // The record's source is the working movie from the export on: the row's is the source.
        tellJobOutcome(jobOutcomeFromRecord(jobSourcePath(list_.dico(row)), job,
                                            status == rowStatus::success));
    }
    encRemoveWorkFolder(job);
    logStr(QStringLiteral("…RAZ GUI done"));
    prefDelete(kJob);
    logStr(
        QStringLiteral("enc > encFin        : %1 - fin (pre-[self encSend:@encBatch])").arg(step));
    encSend(QStringLiteral("encBatch"));
}

void appController::encPendingScan() {
    for (const QString &key : encArray()) {
        if (!prefReadChildDico(kJob, key).isNull() || !prefRead2(key).isNull()) {
            encSend(QStringLiteral("encProcesses"));
            return;
        }
    }
}

void appController::encNoteEnd(jobOutcomeKind kind, jobFailure failure, const QString &logWords) {
    // The first reason is the cause; a later step sees only what follows from it (an ffmpeg
    // that could not start made no movie).
    if (prefReadChildDico(kJob, jobKey::failure).toInt() != static_cast<int>(jobFailure::none)) {
        logStr(QStringLiteral("job end             : %1 (first reason kept)").arg(logWords));
        return;
    }
    if (kind != jobOutcomeKind::failed) {
        prefWriteChildDico(kJob, jobKey::outcome, static_cast<int>(kind));
    }
    prefWriteChildDico(kJob, jobKey::failure, static_cast<int>(failure));
    if (!logWords.isEmpty()) {
        prefWriteChildDico(kJob, jobKey::skipReason, logWords);
    }
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
    list_.setValue(encBatchInprogressRowIdentification(), rowKey::status, rowStatus::failure);
    for (const QString &key : encStepMarkers()) {
        prefDeleteChildDico(kJob, key);
    }
    prefWrite(QStringLiteral("encFin"), 1);
    encSend(QStringLiteral("encProcesses"));
}

void appController::reportBatchProgress(batchPhase phase, double phaseFraction,
                                        double mediaSeconds) {
    batchProgressRows rows;
    rows.running = encBatchInprogressRowIdentification();
    rows.rows = static_cast<int32_t>(list_.count());
    rows.analysing = analysis_.pendingSources();
    for (int32_t i = 0; i < list_.count(); ++i) {
        const QString status = list_.value(i, rowKey::status).toString();
        if (status == rowStatus::waiting || status == rowStatus::current) {
            ++rows.rowsLeft;
        }
    }
    if (rows.running >= 0) {
        rows.clip = list_.dico(rows.running).value(jobKey::srcPath).toString();
        rows.format = list_.value(rows.running, rowKey::out).toInt();
        rows.exportFollows = rows.format > 0;
    }
    const batchProgressValue &progress = progress_.move(phase, phaseFraction, rows, mediaSeconds);
    if (hooks.batchProgress) {
        hooks.batchProgress(progress);
    }
}
