// The conversion step machine: one source after another through ffmpeg, the trimming and
// re-timing of the converted movie, the trakmill export, the judgement and the summary log.
#include "controller/appController.h"
#include "controller/encodage.h"
#include "controller/exportPreset.h"
#include "controller/jobFiles.h"
#include "controller/jobRecord.h"
#include "controller/outputCheck.h"
#include "controller/outputNames.h"
#include "dates/recordingDate.h"
#include "dates/spannedRecording.h"
#include "frontApi/alerts.h"
#include "movie/qt.h"
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
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const QString kJob = jobKey::runningJob;
const QString kEventsFolder = QStringLiteral("fluxaro events");
/// The smallest output, in KB, that counts as a conversion.
constexpr double kMinimumOutputKB = 200;

QString segmentLabel(const uiSegmented *control, int32_t segment) {
    return control != nullptr ? control->label(segment) : QString();
}

bool childSet(const QString &key) {
    return prefReadChildDico(kJob, key).toInt() != 0;
}

/// A free name "<folder>/<stem><random>.mov" for an intermediate file, created empty and
/// exclusively so that no other run takes it before the file is moved there.
QString randomSibling(const QString &folder, const QString &stem) {
    for (;;) {
        const QString path = QStringLiteral("%1/%2%3.mov")
                                 .arg(folder, stem)
                                 .arg(QRandomGenerator::global()->bounded(0x7fffffff));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || !QFileInfo::exists(path)) {
            return path;
        }
    }
}

/// The files a job reads: the pieces of a joined recording, else its source.
QStringList jobSourcePaths(const QVariantMap &record) {
    const QStringList pieces = record.value(jobKey::joinPaths).toStringList();
    return pieces.isEmpty() ? QStringList{record.value(jobKey::srcPath).toString()} : pieces;
}

/// The route of a job's picture: a QuickTime source (not the pieces of a joined recording)
/// whose video track has edits that ffmpeg's stream copy can't keep takes its own track.
QtPictureRoute qtPictureRouteFor(const QVariantMap &record) {
    const QString wrapper = record.value(QStringLiteral("wrapper")).toString().toLower();
    if (!wrapper.startsWith(QStringLiteral("mov")) || record.contains(jobKey::joinPaths)) {
        return QtPictureRoute::FfmpegCopy;
    }
    const std::optional<QList<QtTrackEdits>> edits =
        qtTrackEditsOf(record.value(jobKey::srcPath).toString());
    return edits ? qtPictureRoutePlan(*edits) : QtPictureRoute::FfmpegCopy;
}

/// Puts the source's own picture beside the sound ffmpeg wrote at working: ffmpeg's movie is
/// set aside (recorded, so the end step deletes it), and working becomes a reference movie of
/// the source's video tracks and that sound.
bool encPutSourcePicture(const QVariantMap &record, const QString &working) {
    const QString soundPath =
        randomSibling(QFileInfo(working).absolutePath(), QStringLiteral("sound"));
    prefWriteChildDico(kJob, jobKey::soundPath, soundPath);
    prefSynchronize();
    if (!mvCocoa(working, soundPath, QStringLiteral("y"))) {
        return false;
    }
    const QString source = record.value(jobKey::srcPath).toString();
    const bool made = qtMovieWithSourcePicture(source, soundPath, working);
    logStr(QStringLiteral("source picture      ? %1").arg(made ? 1 : 0));
    return made;
}

} // namespace

QStringList appController::encArray() {
    return {QStringLiteral("encBatch"), QStringLiteral("encDeb"), QStringLiteral("encV"),
            QStringLiteral("encQtEnc"), QStringLiteral("encFin")};
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
    const QString dst = c_.encDstPathStr != nullptr ? c_.encDstPathStr->text() : QString();
    return QDir(dst).filePath(kEventsFolder);
}

void appController::enc(const QString &step) {
    logStr(QStringLiteral("enc                 : %1 - deb").arg(step.isEmpty() ? "nil" : step));
    if (encStopInt_ == 1) {
        logStr(QStringLiteral("enc stop = 1"));
        prefWrite(QStringLiteral("encCurrentProcessingFile"), QStringLiteral("cancel"));
        prefDelete(kJob);
    }
    if (step == QStringLiteral("encBatch")) {
        encBatchStep();
    } else if (step == QStringLiteral("encProcesses")) {
        logStr(QStringLiteral("stepNameStr         : encProcesses"));
        if (c_.encStopBt != nullptr && taskClass_) {
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
                       .arg(segmentLabel(c_.prefCheckMatrix, outInt)));
            logStr(QStringLiteral("fps                 = %1 (%2)")
                       .arg(fpsInt)
                       .arg(segmentLabel(c_.prefSpeed, fpsInt)));
        }
        if (childSet(QStringLiteral("encDeb"))) {
            encDebStep(outInt);
        } else if (childSet(QStringLiteral("encV"))) {
            encVStep();
        } else if (childSet(QStringLiteral("encQtEnc"))) {
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
    mkdirCocoa(eventsFolderPathStr());
    const QString current = prefRead(QStringLiteral("encCurrentProcessingFile"));
    // The rows converted already (by an earlier batch) are left alone.
    int32_t candidate = batchNextRow(list_.statuses(), -1);
    if (!current.isEmpty() || candidate < 0) {
        logStr(QStringLiteral("batch, c'est parti  : suivantes…"));
        const int32_t r = current.isEmpty() ? -1 : encBatchInprogressRowIdentification();
        if (!analysing_ && !current.isEmpty()) {
            // Drops stay refused while their analysis runs beside the batch.
            setOPENPERM(true);
            restoreDropArea();
        }
        candidate = encStopInt_ != 1 ? batchNextRow(list_.statuses(), r) : -1;
        if (candidate < 0 && analysing_ && encStopInt_ != 1) {
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
    if (analysing_ && encStopInt_ != 1 && awaitsSpannedJoin(record)) {
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
        jobOutcomeValue gone;
        gone.kind = jobOutcomeKind::skipped;
        gone.failure = jobFailure::sourceGone;
        gone.src = src;
        gone.words = jobFailureWords(gone.failure);
        gone.logWords = QStringLiteral("the source is gone");
        tellJobOutcome(gone);
        prefWrite(QStringLiteral("encCurrentProcessingFile"),
                  candidate == 0 ? QStringLiteral("totoCestLePlusBeau")
                                 : list_.dico(candidate - 1).value(jobKey::srcPath).toString());
        list_.setSelectedIndex(candidate);
        encBatchRemove(false);
        // The next row is chosen from the previous one again. The end step is not for this:
        // it would end the previous job a second time (its summary line, its report).
        encSend(QStringLiteral("encBatch"));
        return;
    }
    list_.setValue(candidate, rowKey::status, rowStatus::current);
    batchBegun_.insert(src);
    // Set again when the job's Resume.log block begins: its end line belongs there only.
    taskStartInt_ = 0;
    prefWrite(QStringLiteral("encCurrentProcessingFile"), src);
    prefWriteDico(kJob, record);
    prefWriteChildDico(kJob, QStringLiteral("encDeb"), 1);
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
    setOPENPERM(true);
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(QString());
    }
    if (c_.encProgressPercentStr != nullptr) {
        c_.encProgressPercentStr->setText(QString());
    }
    if (c_.encStopBt != nullptr) {
        c_.encStopBt->setHidden(true);
    }
    prefDelete(QStringLiteral("encCurrentProcessingFile"));
    prefDelete(QStringLiteral("replaceFilesCheck"));
    reportBatchProgress(encStopInt_ == 1 ? batchPhase::stopped : batchPhase::finished, 1);
    // The end's alert is the front's, from the batch's summary (hooks.batchSummary).
    iba_OpenFolder(revealSender::batchView);
    tellBatchEnded(encStopInt_ == 1);
}

void appController::encDebStep(int32_t outInt) {
    prefDeleteChildDico(kJob, QStringLiteral("encDeb"));
    logStr(QStringLiteral("encProcesses        > encDeb"));
    prefWrite(QStringLiteral("encFin"), 1);

    const QVariantMap record = prefReadDico(kJob).value_or(QVariantMap{});
    const QString src = record.value(jobKey::srcPath).toString();
    if (outInt == outRewrap &&
        record.value(QStringLiteral("v0_scanStr")).toString() == QStringLiteral("pulldown")) {
        // A rewrap copies the pictures as they are: 24 pictures a second in 2:3 pulldown
        // would stay 60 fields, two pictures of five made of two moments.
        logStr(QStringLiteral("encDeb              :-( 2:3 pulldown in a rewrap: %1").arg(src));
        encNoteEnd(jobOutcomeKind::failed, jobFailure::pulldownRewrap,
                   QStringLiteral("24p in 2:3 pulldown: a rewrap can't remove the "
                                  "pulldown; choose ProRes, which converts it to "
                                  "23.976 progressive pictures"));
        encSkipJob();
        return;
    }
    QString folder = c_.encDstPathStr != nullptr ? c_.encDstPathStr->text() : QString();
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    const std::optional<recordingDate> date = recordingDateOf(src);
    QString dateLine;
    const std::optional<QString> name =
        date ? std::optional<QString>(date->name) : std::optional<QString>();
    if (date && date->utcSeconds) {
        prefWriteChildDico(kJob, QStringLiteral("recordingDateUTC"),
                           recordingDateUtcText(*date->utcSeconds));
        prefWriteChildDico(kJob, QStringLiteral("recordingDateISO"),
                           recordingDateIso8601(*date->utcSeconds, date->offsetSeconds));
        prefWriteChildDico(kJob, QStringLiteral("recordingDateSeconds"),
                           static_cast<qlonglong>(*date->utcSeconds));
        // Where the moment came from, for the detailed log and the job's summary block.
        dateLine = QStringLiteral("recording date      : %1 (%2)")
                       .arg(recordingDateIso8601(*date->utcSeconds, date->offsetSeconds),
                            !date->fromPlaylist ? QStringLiteral("file creation date")
                            : date->cameraZone  ? QStringLiteral("playlist, camera zone %1")
                                                     .arg(zoneOffsetText(date->offsetSeconds))
                                               : QStringLiteral("playlist, local zone"));
        logStr(dateLine);
    }
    const QString wanted =
        QStringLiteral("%1%2/%3.%4")
            .arg(folder, kEventsFolder, name.value_or(QFileInfo(src).completeBaseName()),
                 encDstExtensionStr(outInt, record.value(QStringLiteral("v0_codec")).toString()));
    // Two sources of one batch may map to one name (two cameras' first clips of the same
    // second): the later one gets its own, rather than replacing or standing for the other.
    const QString dst = outputPathInBatch(wanted, batchNames_);
    batchNames_.insert(dst);
    QString nameNote;
    if (dst != wanted) {
        nameNote = QStringLiteral("named '%1': '%2' is the output of another source of this batch")
                       .arg(QFileInfo(dst).fileName(), QFileInfo(wanted).fileName());
        prefWriteChildDico(kJob, jobKey::nameNote, nameNote);
        logStr(QStringLiteral("output name         :-/ %1").arg(nameNote));
    }
    // The final name gets the output only once it is judged complete (end step); until then
    // ffmpeg and trakmill write a working file of this run's own ("dstPathStr").
    prefWriteChildDico(kJob, jobKey::finalPath, dst);
    logStr(QStringLiteral("replacePathStr      ? %1").arg(dst));

    if (QFileInfo::exists(dst)) {
        bool replace = false;
        const QVariant preChoice = prefRead2(QStringLiteral("replaceFilesCheck"));
        if (preChoice.isNull()) {
            logStr(QStringLiteral("pre-choix user      : no"));
            const QString keep = localizedStr(QStringLiteral("D_keep"));
            const auto [answer, all] = displayAlertDelayedCheckbox(
                localizedStr(QStringLiteral("D_go_dossier_destination4Bis")), dst, keep,
                localizedStr(QStringLiteral("D_replace")), std::nullopt, 0, 10,
                localizedStr(QStringLiteral("D_applyToAll")));
            replace = answer != keep;
            if (all != 0) {
                prefWrite(QStringLiteral("replaceFilesCheck"), replace ? 1 : 0);
            }
        } else {
            logStr(QStringLiteral("pre-choix user      : yes"));
            replace = preChoice.toInt() != 0;
        }
        if (!replace) {
            encNoteEnd(jobOutcomeKind::kept, jobFailure::none,
                       QStringLiteral("kept the existing output"));
            encSkipJob();
            return;
        }
    }

    double sourceMB = 0;
    for (const QString &piece : jobSourcePaths(record)) {
        sourceMB += poidsFile(piece, QStringLiteral("m"));
    }
    const float estimate = encDstPoidsEstimatif(
        record.value(QStringLiteral("w_duration")).toFloat(), sourceMB, outInt);
    const int32_t freeMB = espaceDiskDispo(folder);
    logStr(QStringLiteral("free necessary space: %1 vs %2 (MB)")
               .arg(static_cast<double>(estimate), 0, 'f', 1)
               .arg(freeMB));
    if (freeMB >= 0 && estimate > static_cast<float>(freeMB)) {
        displayAlert(localizedStr(QStringLiteral("D_go_echec_disque5")),
                     localizedStr(QStringLiteral("D_go_echec_disque4")), alertStyleWarning, false);
        encNoteEnd(jobOutcomeKind::failed, jobFailure::notEnoughSpace,
                   QStringLiteral("not enough space"));
        encSkipJob();
        return;
    }
    taskStartInt_ = QDateTime::currentSecsSinceEpoch();

    const QString formatLabel = segmentLabel(c_.prefCheckMatrix, outInt);
    logResume(QStringLiteral("\n----------\n\nsource              : %1\n")
                  .arg(src.isEmpty() ? "nil" : src) +
              QStringLiteral("destination         : %1\n").arg(dst) +
              QStringLiteral("format              : %1\n")
                  .arg(formatLabel.isEmpty() ? QStringLiteral("nil") : formatLabel) +
              (dateLine.isEmpty() ? QString() : dateLine + QLatin1Char('\n')) +
              (nameNote.isEmpty() ? QString()
                                  : QStringLiteral("name                : %1\n").arg(nameNote)) +
              (record.contains(QStringLiteral("joinNoteStr"))
                   ? QStringLiteral("recording           : %1\n")
                         .arg(record.value(QStringLiteral("joinNoteStr")).toString())
                   : QString()) +
              (record.contains(jobKey::scanNote)
                   ? QStringLiteral("pictures            : %1\n")
                         .arg(record.value(jobKey::scanNote).toString())
                   : QString()));

    const QString working = encReserveWorkingPath(QFileInfo(dst).absolutePath());
    if (working.isEmpty()) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::cannotWriteDestination,
                   QStringLiteral("cannot create a file in the destination folder"));
        encSkipJob();
        return;
    }
    prefWriteChildDico(kJob, jobKey::dstPath, working);
    logStr(QStringLiteral("working file        : %1").arg(working));

    prefWriteChildDico(kJob, QStringLiteral("encQtEnc"), 1);
    logStr(QStringLiteral("encProcesses        > encDeb: ffmpeg task"));
    if (!taskArgsVArray_.isEmpty()) {
        logStr(QStringLiteral("enc ffmpeg task     > pré-release"));
        taskArgsVArray_.clear();
    }
    if (qtPictureRouteFor(record) == QtPictureRoute::SourceTrack) {
        // The source's own video track, edits kept, is put beside ffmpeg's sound afterwards.
        logStr(QStringLiteral("picture route       : the source's own track (edit list)"));
        prefWriteChildDico(kJob, jobKey::videoFromSource, 1);
    }
    const std::optional<QStringList> args =
        encodage(outInt, prefReadDico(kJob).value_or(QVariantMap{}));
    if (!args || args->isEmpty()) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::noCommand, QString());
        list_.setValue(encBatchInprogressRowIdentification(), rowKey::status, rowStatus::failure);
        for (const QString &key : encArray().mid(1, 3)) {
            prefDeleteChildDico(kJob, key);
        }
        prefWrite(QStringLiteral("encFin"), 1);
        encPendingScan();
        return;
    }
    taskArgsVArray_ = *args;
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(QFileInfo(src).fileName());
    }
    if (launchRecord(taskArgsVArray_, record.value(QStringLiteral("w_duration")).toFloat(), 0)) {
        reportBatchProgress(batchPhase::converting, 0);
    }
}

void appController::encVStep() {
    logStr(QStringLiteral("stepNameStr         : encProcesses > encV"));
    prefDeleteChildDico(kJob, QStringLiteral("encV"));
    const QVariantMap record = prefReadDico(kJob).value_or(QVariantMap{});
    const std::optional<QStringList> args = encodage(0, record);
    taskArgsVArray_ = args.value_or(QStringList{});
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(
            QFileInfo(record.value(jobKey::srcPath).toString()).fileName());
    }
    launchRecord(taskArgsVArray_, record.value(QStringLiteral("w_duration")).toFloat(), 0);
}

bool appController::launchRecord(const QStringList &args, float maximum, int32_t parser) {
    if (args.isEmpty()) {
        encPendingScan();
        return false;
    }
    // On disk before the tool starts: should the application be killed now, the next start
    // finds the job's working files in this record and deletes them.
    prefSynchronize();
    return taskLauncherEncStart(args, maximum, parser);
}

void appController::encQtEncStep(int32_t outInt, int32_t fpsInt) {
    prefDeleteChildDico(kJob, QStringLiteral("encQtEnc"));
    if (c_.encTaskProgress != nullptr) {
        c_.encTaskProgress->setMaxValue(100);
        c_.encTaskProgress->setValue(100);
    }
    logStr(QStringLiteral("encProcesses        > encQtEnc"));
    const QVariantMap record = prefReadDico(kJob).value_or(QVariantMap{});
    const QString working = record.value(jobKey::dstPath).toString();
    prefWriteChildDico(kJob, jobKey::srcPath, working);
    if (working.isEmpty() || !QFileInfo(working).isFile() || QFileInfo(working).size() == 0) {
        // ffmpeg wrote nothing (refused, missing or failed): nothing to trim or export.
        logStr(QStringLiteral("encQtEnc            :-( no converted movie at '%1'").arg(working));
        const QString said = record.value(jobKey::toolError).toString();
        encNoteEnd(jobOutcomeKind::failed, jobFailure::noMovie,
                   said.isEmpty() ? QStringLiteral("ffmpeg made no movie")
                                  : QStringLiteral("ffmpeg made no movie: %1").arg(said));
        encPendingScan();
        return;
    }
    const QString folder = QFileInfo(working).absolutePath();
    const bool videoFromSource = record.value(jobKey::videoFromSource).toInt() != 0;
    if (videoFromSource && !encPutSourcePicture(record, working)) {
        encNoteEnd(jobOutcomeKind::failed, jobFailure::sourcePictureNotTaken,
                   QStringLiteral("the source's picture could not be taken with its edits"));
        encPendingScan();
        return;
    }
    // The movie being worked on refers to the samples of other files until trakmill writes the
    // output: the export's (formats 1 and 2), or the self-contained copy of a source's picture.
    const bool referenceWork = outInt > 0 || videoFromSource;

    // Trimming to the first video frame.
    const QString offsetPath = randomSibling(folder, QStringLiteral("offset"));
    // Recorded, and on disk, before the file holds anything: a kill from here on leaves a
    // record that names it (the next start deletes it).
    prefWriteChildDico(kJob, jobKey::postProcessPurge, offsetPath);
    prefSynchronize();
    if (!mvCocoa(working, offsetPath, QStringLiteral("y"))) {
        rmCocoa(offsetPath);
        prefDeleteChildDico(kJob, jobKey::postProcessPurge);
    } else {
        const int32_t mode = referenceWork ? 0 : -1;
        // Working files: the system flushes them in its own time, as it does ffmpeg's output;
        // a flush here would wait for every byte ffmpeg wrote.
        const bool trimmed =
            isDebMovieTrimmedToVideoTrack(offsetPath, mode, toolbox::WriteSync::Deferred);
        logStr(
            QStringLiteral("isDebMovieTrimmedToV? %1 (export=%2)").arg(trimmed ? 1 : 0).arg(mode));
        if (outInt == outRewrap &&
            record.value(QStringLiteral("v0_scanStr")).toString() == QStringLiteral("psf")) {
            // The copied stream is coded as fields, but its pictures are progressive: the
            // movie's field information says so, so editors don't deinterlace them.
            movieFieldsProgressive(offsetPath, toolbox::WriteSync::Deferred);
        }
        const QString cut = offsetPath + QStringLiteral(".mov");
        if (referenceWork && QFileInfo::exists(cut)) {
            // The cut is a reference movie into the offset file, which must live until trakmill
            // has read it; the end step deletes it.
            mvCocoa(cut, working, QStringLiteral("y"));
        } else {
            mvCocoa(offsetPath, working, QStringLiteral("y"));
            rmCocoa(cut);
            prefDeleteChildDico(kJob, jobKey::postProcessPurge);
        }
    }

    const exportPreset preset =
        exportPresetFor(record.value(QStringLiteral("v0_fps")),
                        record.value(QStringLiteral("v0_height")).toInt(), fpsInt);
    bool retimeOpened = false;
    if (preset.retime) {
        const QString slowPath = randomSibling(folder, QStringLiteral("slow"));
        logDebug(QStringLiteral("src:'%1' > dst:'%2'").arg(working, slowPath));
        prefWriteChildDico(kJob, jobKey::workPath, slowPath);
        prefSynchronize();
        if (!mvCocoa(working, slowPath, QStringLiteral("y"))) {
            rmCocoa(slowPath);
            prefDeleteChildDico(kJob, jobKey::workPath);
        } else {
            QTMOVIErelease();
            if (QTMOVIEinstantiate(slowPath)) {
                retimeOpened = true;
                const QString retimed = slowPath + QStringLiteral(".mov");
                const bool ok = movieRescalePreExport(getQTMOVIE(), preset.retimeFromScale,
                                                      preset.retimeToScale, retimed,
                                                      toolbox::WriteSync::Deferred);
                logStr(QStringLiteral("movieRescalePreExpor:-%1").arg(ok ? ")" : "("));
                QTMOVIErelease();
                if (ok && QFileInfo::exists(retimed)) {
                    rmCocoa(slowPath);
                    mvCocoa(retimed, working, QStringLiteral("y"));
                } else {
                    // A failed re-timing leaves the movie as ffmpeg made it rather than nothing.
                    rmCocoa(retimed);
                    mvCocoa(slowPath, working, QStringLiteral("y"));
                }
            } else {
                mvCocoa(slowPath, working, QStringLiteral("y"));
            }
            prefDeleteChildDico(kJob, jobKey::workPath);
        }
    }
    const int32_t rate = exportDeliveredRate(preset, fpsInt, retimeOpened);
    if (outInt == 0 && !videoFromSource) {
        encPendingScan();
        return;
    }
    encPostQtEncFailure failure = encPostQtEncFailure::none;
    std::optional<QStringList> args;
    if (outInt == 0) {
        double sourceMB = 0;
        for (const QString &piece : jobSourcePaths(record)) {
            sourceMB += poidsFile(piece, QStringLiteral("m"));
        }
        args = encPostQtSelfContained(working, record.value(QStringLiteral("w_duration")).toFloat(),
                                      sourceMB, &failure);
    } else {
        const QString proresTitle =
            hooks.proresItemTitle ? hooks.proresItemTitle()
                                  : proresItemTitleForType(prefRead(QStringLiteral("prefProres")));
        const std::optional<QString> settings =
            exportSettingsName(outInt, record.value(QStringLiteral("v0_width")).toInt(),
                               preset.height, rate, proresTitle);
        args = encPostQtEnc(working, record.value(QStringLiteral("w_duration")).toFloat(),
                            fractionStr2Float(record.value(QStringLiteral("v0_dar"))),
                            settings.value_or(QString()), &failure);
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
    if (c_.encTaskProgress != nullptr) {
        c_.encTaskProgress->setValue(0);
        c_.encTaskProgress->setAnimating(false);
    }
    if (c_.taskProgressWheel != nullptr) {
        c_.taskProgressWheel->setAnimating(false);
    }
    if (c_.encProgressPercentStr != nullptr) {
        c_.encProgressPercentStr->setText(QString());
    }
    taskProgressMaxValue_ = 0;
    taskPreviousTime_ = 0;
    taskArgsVArray_.clear();
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(QString());
    }
    if (c_.encStopBt != nullptr) {
        c_.encStopBt->setHidden(true);
    }
}

void appController::encFinStep(const QString &step) {
    prefDelete(QStringLiteral("encFin"));
    // An end step that comes again (a stop) makes a picture check still under way stale.
    encFinCheckPending_ = false;
    ++encFinCheck_;
    logStr(QStringLiteral("enc > encFin        : %1 - deb").arg(step));
    QVariantMap job = prefReadDico(kJob).value_or(QVariantMap{});
    // dst: the working output; finalPath: the name it gets once judged complete.
    const QString dst = job.value(jobKey::dstPath).toString();
    const QString finalPath = job.value(jobKey::finalPath).toString();
    for (const QString &key : {jobKey::postProcessPurge, jobKey::workPath, jobKey::soundPath}) {
        const QString purge = job.value(key).toString();
        if (!purge.isEmpty() && QFileInfo::exists(purge)) {
            logStr(QStringLiteral("purgePathStr        : %1").arg(purge));
            rmCocoa(purge);
            rmCocoa(purge + QStringLiteral(".mov"));
        }
    }
    if (!dst.isEmpty() && dst != finalPath) {
        const QString master = oldSrcPathStr2DstPathStr(dst);
        if (QFileInfo::exists(master)) {
            rmCocoa(master);
        }
    }
    resetProgressDisplay();
    const int32_t row = encBatchInprogressRowIdentification();

    if (encStopInt_ == 1) {
        if (c_.batchEncGoBt != nullptr) {
            c_.batchEncGoBt->setOn(false);
            c_.batchEncGoBt->setEnabled(!list_.isEmpty() && getOPENPERM());
        }
        setOPENPERM(true);
        prefDelete(QStringLiteral("replaceFilesCheck"));
        encStopInt_ = 0;
        batchRunning_ = false;
        batchWaitsForRows_ = false;
        // The next Go starts again from the first row.
        prefDelete(QStringLiteral("encCurrentProcessingFile"));
        reportBatchProgress(batchPhase::stopped, progress_.phaseFraction);
        tellBatchEnded(true);
        return;
    }

    if (row >= 0 && list_.value(row, rowKey::status).toString() == rowStatus::current) {
        // The working file is made empty before ffmpeg runs: empty, it is no output.
        const bool exists = !dst.isEmpty() && QFileInfo(dst).isFile() && QFileInfo(dst).size() > 0;
        const double sizeKB = exists ? poidsFile(dst, QStringLiteral("k")) : 0;
        // At least 200 KB that ffmpeg reads as a movie; a size that can't be read is no proof.
        QString why;
        jobFailure failure = jobFailure::none;
        if (!exists) {
            why = QStringLiteral("no output");
            failure = jobFailure::outputMissing;
        } else if (sizeKB < 0) {
            why = QStringLiteral("the output's size can't be read");
            failure = jobFailure::outputSizeUnknown;
        } else if (sizeKB < kMinimumOutputKB) {
            why = QStringLiteral("output too small (%1 KB)").arg(sizeKB, 0, 'f', 0);
            failure = jobFailure::outputTooSmall;
        }
        if (why.isEmpty()) {
            // The picture is decoded beside the event loop; the job ends when it is judged. A
            // stop or a quit meanwhile makes the verdict stale (the check's number moves on).
            const int32_t check = ++encFinCheck_;
            encFinCheckPending_ = true;
            reportBatchProgress(batchPhase::checking, 0);
            outputPictureCheckAsync(
                dst, this, [this, check, step, job, sizeKB](bool readable, const QString &said) {
                    if (check != encFinCheck_) {
                        return;
                    }
                    encFinCheckPending_ = false;
                    if (!readable) {
                        logStr(QStringLiteral("output unreadable   : %1").arg(said));
                    }
                    encFinJudged(step, job, sizeKB,
                                 readable ? jobFailure::none : jobFailure::outputUnreadable,
                                 readable ? QString()
                                          : QStringLiteral("output is not a readable "
                                                           "movie"));
                });
            return;
        }
        encFinJudged(step, job, sizeKB, failure, why);
        return;
    }
    encFinClose(step, job);
}

void appController::encFinJudged(const QString &step, QVariantMap job, double sizeKB,
                                 jobFailure failure, QString why) {
    const int32_t row = encBatchInprogressRowIdentification();
    const QString dst = job.value(jobKey::dstPath).toString();
    const QString finalPath = job.value(jobKey::finalPath).toString();
    if (row >= 0) {
        if (why.isEmpty() && job.contains(QStringLiteral("recordingDateSeconds"))) {
            // The file's time is the recording's too, for file browsers and importers; set on
            // the working file, so the final name has it from its first moment.
            const qint64 seconds = job.value(QStringLiteral("recordingDateSeconds")).toLongLong();
            if (!setFileRecordingTime(dst, seconds)) {
                logStr(
                    QStringLiteral("recording date      :-( file time of '%1' not set").arg(dst));
            }
        }
        if (why.isEmpty() && !finalPath.isEmpty() && finalPath != dst) {
            // One rename, which replaces a file kept there until now: the final name holds
            // either the old file or the complete new movie, never a part of one.
            if (::rename(QFile::encodeName(dst).constData(),
                         QFile::encodeName(finalPath).constData()) != 0) {
                why = QStringLiteral("cannot move the output to '%1': %2")
                          .arg(finalPath, QString::fromLocal8Bit(std::strerror(errno)));
                failure = jobFailure::cannotMoveOutput;
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
            if (job.value(jobKey::skipReason).toString().isEmpty()) {
                const QString said = job.value(jobKey::toolError).toString();
                job.insert(jobKey::skipReason,
                           said.isEmpty() ? why : QStringLiteral("%1: %2").arg(why, said));
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
            const int64_t duration = static_cast<int64_t>(job.value("w_duration").toDouble());
            int64_t elapsed = QDateTime::currentSecsSinceEpoch() - taskStartInt_;
            if (elapsed < 1) {
                elapsed = 1;
            }
            logResume(
                QStringLiteral("   Total speed      : real time / %1\ndate                : %2\n%3")
                    .arg(static_cast<double>(duration) / static_cast<double>(elapsed), 0, 'f', 2)
                    .arg(QDateTime::currentDateTime().toString(
                        QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                    .arg(QStringLiteral("(made by %1)")
                             .arg(QStringLiteral("https://www.fluxaro.org/"))));
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
    if (kind != jobOutcomeKind::failed) {
        prefWriteChildDico(kJob, jobKey::outcome, static_cast<int>(kind));
    }
    prefWriteChildDico(kJob, jobKey::failure, static_cast<int>(failure));
    if (!logWords.isEmpty()) {
        prefWriteChildDico(kJob, jobKey::skipReason, logWords);
    }
}

void appController::tellJobOutcome(const jobOutcomeValue &outcome) {
    for (const jobOutcomeValue &told : std::as_const(batchOutcomes_)) {
        if (told.src == outcome.src) {
            return; // a job ends once (a stop and the end step may both see it)
        }
    }
    batchOutcomes_ << outcome;
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
    if (!batchSummaryGiven_) {
        batchSummaryGiven_ = true;
        // The rows a stop left: the one it ended (unless already told) and those never reached.
        for (const QVariantMap &row : list_.rows()) {
            const QString status = row.value(rowKey::status).toString();
            jobOutcomeValue left;
            left.src = jobSourcePath(rowJob(row));
            if (status == rowStatus::waiting) {
                left.kind = jobOutcomeKind::notDone;
                left.logWords = QStringLiteral("not done");
            } else if ((status == rowStatus::failure || status == rowStatus::current) &&
                       batchBegun_.contains(left.src)) {
                left.kind = jobOutcomeKind::stopped;
                left.failure = jobFailure::stopped;
                left.logWords = QStringLiteral("stopped");
            } else {
                continue;
            }
            left.words = jobOutcomeWords(left.kind, left.failure);
            tellJobOutcome(left);
        }
        if (hooks.batchSummary) {
            hooks.batchSummary(batchSummaryOf(batchOutcomes_, stopped));
        }
    }
    if (hooks.batchEnded) {
        hooks.batchEnded();
    }
}

void appController::encSkipJob() {
    list_.setValue(encBatchInprogressRowIdentification(), rowKey::status, rowStatus::failure);
    for (const QString &key : encArray().mid(1, 3)) {
        prefDeleteChildDico(kJob, key);
    }
    prefWrite(QStringLiteral("encFin"), 1);
    encSend(QStringLiteral("encProcesses"));
}

void appController::reportBatchProgress(batchPhase phase, double phaseFraction,
                                        double mediaSeconds) {
    const int32_t row = encBatchInprogressRowIdentification();
    const int32_t pending = analysing_ ? std::max(0, analysisTotal_ - analysisDone_) : 0;
    batchProgressValue next = progress_;
    if (phase != progress_.phase || !phaseClock_.isValid()) {
        phaseClock_.start();
        next.speed = 0;
    }
    next.phase = phase;
    next.total = static_cast<int32_t>(list_.count()) + pending;
    next.remaining = pending;
    for (int32_t i = 0; i < list_.count(); ++i) {
        const QString status = list_.value(i, rowKey::status).toString();
        if (status == rowStatus::waiting || status == rowStatus::current) {
            ++next.remaining;
        }
    }
    next.phaseFraction = std::clamp(phaseFraction, 0.0, 1.0);
    if (row >= 0) {
        next.position = row + 1;
        next.clip = list_.dico(row).value(jobKey::srcPath).toString();
    }
    double fraction = progress_.fraction;
    if (phase == batchPhase::finished) {
        fraction = 1;
    } else if (phase != batchPhase::stopped && phase != batchPhase::analysing && row >= 0) {
        const bool exportFollows = list_.value(row, rowKey::out).toInt() > 0;
        fraction = batchFraction(row, next.total,
                                 batchJobFraction(phase, next.phaseFraction, exportFollows));
    }
    // Within a batch the share done never goes back (a later, longer total included).
    next.fraction = std::max(progress_.fraction, fraction);
    const double phaseSeconds = static_cast<double>(phaseClock_.elapsed()) / 1000.0;
    if (mediaSeconds >= 0 && phaseSeconds >= 0.5) {
        next.speed = mediaSeconds / phaseSeconds;
    }
    next.secondsLeft =
        phase == batchPhase::finished || phase == batchPhase::stopped
            ? 0
            : batchSecondsLeft(
                  next.fraction,
                  batchClock_.isValid() ? static_cast<double>(batchClock_.elapsed()) / 1000.0 : 0);
    progress_ = next;
    if (hooks.batchProgress) {
        hooks.batchProgress(progress_);
    }
}

double batchJobFraction(batchPhase phase, double phaseFraction, bool exportFollows) {
    const double f = std::clamp(phaseFraction, 0.0, 1.0);
    switch (phase) {
    case batchPhase::converting:
        return exportFollows ? 0.15 * f : 0.95 * f;
    case batchPhase::exporting:
        return 0.15 + 0.8 * f;
    case batchPhase::checking:
        return 0.95 + 0.05 * f;
    case batchPhase::finished:
        return 1;
    case batchPhase::analysing:
    case batchPhase::stopped:
        break;
    }
    return 0;
}

double batchFraction(int32_t doneRows, int32_t total, double jobFraction) {
    if (total <= 0) {
        return 0;
    }
    const double done = std::clamp(static_cast<double>(doneRows), 0.0, static_cast<double>(total));
    return std::clamp((done + std::clamp(jobFraction, 0.0, 1.0)) / total, 0.0, 1.0);
}

double batchSecondsLeft(double fraction, double elapsedSeconds) {
    if (fraction < 0.02 || elapsedSeconds < 3) {
        return -1;
    }
    if (fraction >= 1) {
        return 0;
    }
    return elapsedSeconds * (1 - fraction) / fraction;
}
