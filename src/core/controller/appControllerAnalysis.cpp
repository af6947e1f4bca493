// The analysis of new sources: one probing run of ffmpeg per source, the media info dictionary
// and start offsets from its report, the field-order test, a thumbnail, and the batch row.
#include "analysis/ffmpeg.h"
#include "analysis/fieldSample.h"
#include "controller/appController.h"
#include "controller/fieldLook.h"
#include "controller/jobRecord.h"
#include "controller/spannedJoin.h"
#include "dates/spannedRecording.h"
#include "frontApi/alerts.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/utilsFile.h"
#include "platform/utilsStr.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "toolbox/thumbnail.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <functional>
#include <system_error>

namespace {

QString analysisFfmpegPathStr() {
    return resourcePathStr() + QStringLiteral("/tools/ffmpeg");
}

bool markerSet(const QString &key) {
    return prefRead2(key).toInt() != 0;
}

/// True when the file starts like a JPEG or PNG picture.
bool holdsPicture(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(8);
    return head.startsWith("\xFF\xD8\xFF") || head.startsWith("\x89PNG");
}

} // namespace

QStringList appController::analysisArray() {
    return {QStringLiteral("analysisDeb"),         QStringLiteral("analysisFfmpeg"),
            QStringLiteral("analysisFfmpegParse"), QStringLiteral("analysisDico"),
            QStringLiteral("analysisFields"),      QStringLiteral("analysisFin")};
}

void appController::iba_analysisStopBt() {
    analysisStopInt_ = 1;
    // A probe may never end by itself (a source that never ends, a tool that hangs): the stop
    // ends the running tool, as a stop ends a conversion, and its end report takes the
    // analysis down its stop path at once.
    if (analysisTaskClass_ && analysisTaskClass_->isRunning()) {
        logStr(QStringLiteral("analysis stop       : ending the running tool"));
        analysisTaskClass_->terminate();
    }
}

std::optional<QVariantMap> appController::analysisFf(const std::optional<QString> &report,
                                                     const std::optional<QString> &label) {
    if (!report || !label) {
        return std::nullopt;
    }
    std::optional<QVariantMap> dico = ffInfos(std::nullopt, report);
    if (!dico) {
        return std::nullopt;
    }
    if (const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(report)) {
        for (auto it = offsets->cbegin(); it != offsets->cend(); ++it) {
            dico->insert(it.key(), it.value());
        }
    }
    const float intra = intraOffset(report);
    if (intra > 0) {
        dico->insert(QStringLiteral("intraOffset"), intra);
    }
    // The rate that decides the frame-rate mode is the one the stream plays at: the report's
    // " tbr" is the container's guess, far off for a variable rate (150 for 25 then 30 fps,
    // which slow motion would stretch four times). The decoded frames' own average wins when
    // the two differ by more than a tenth.
    if (dico->contains(QStringLiteral("v0_codec"))) {
        if (const std::optional<double> measured = showinfoFrameRate(report)) {
            const double stated = dico->value(QStringLiteral("v0_fps")).toDouble();
            if (stated <= 0 || std::fabs(stated - *measured) > 0.1 * *measured) {
                logStr(QStringLiteral("v0_fps              :-/ %1 stated, %2 measured")
                           .arg(stated)
                           .arg(*measured, 0, 'f', 3));
                dico->insert(QStringLiteral("v0_fps"), static_cast<float>(*measured));
            }
        }
    }
    return dico;
}

QString appController::thumbnailSeekPoint(const QVariant &duration) {
    if (!duration.isValid() || duration.isNull()) {
        return QStringLiteral("0");
    }
    const double d = duration.toDouble();
    if (d > 120) {
        return QStringLiteral("120");
    }
    if (d > 60) {
        return QStringLiteral("60");
    }
    if (d > 10) {
        return QStringLiteral("10");
    }
    return QStringLiteral("0");
}

std::optional<QString> appController::fieldOrderLetter(const std::optional<QString> &headerLine) {
    if (!headerLine) {
        return std::nullopt;
    }
    const qsizetype at = headerLine->indexOf(QStringLiteral(" I"));
    if (at < 0) {
        return *headerLine;
    }
    if (at + 2 >= headerLine->size()) {
        return std::nullopt;
    }
    return headerLine->mid(at + 2, 1);
}

void appController::iba_selectFileBt() {
    const std::optional<QString> path = selectFile(
        localizedStr(QStringLiteral("D_go_dossier_destination3")), infoPlistExtensions());
    if (!path) {
        return;
    }
    const std::optional<QVariantMap> md = ffInfos(*path, std::nullopt);
    const QVariantMap values = md.value_or(QVariantMap{});
    QStringList entries;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        entries << QStringLiteral("%1 = %2").arg(it.key(), it.value().toString());
    }
    logStr(QStringLiteral("md = %1").arg(md ? entries.join(QStringLiteral("; ")) : "(null)"));
}

bool appController::taskLauncherAnalysisStart(const QStringList &args) {
    if (args.isEmpty()) {
        return false;
    }
    if (analysisTaskClass_) {
        logDebug(QStringLiteral("forget to release previous task? (analysisTaskClass)"));
        analysisTaskClass_->setDelegate(nullptr);
        analysisTaskClass_->terminate();
        analysisTaskClass_.release()->deleteLater();
    }
    analysisTaskVerboseMStr_ = QString();
    analysisTaskClass_ = std::make_unique<taskLauncher>();
    analysisTaskClass_->setDelegate(this);
    const int32_t result = analysisTaskClass_->launchTasksWithArguments(args);
    if (result != taskLauncher::launchOk) {
        analysisTaskClass_.reset();
        if (hooks.beep) {
            hooks.beep();
        }
        logStr(QStringLiteral("Erreur au lancement = %1").arg(result));
        logStr(QStringLiteral("args str            : %1").arg(array2Str(args)));
        return false;
    }
    return true;
}

void appController::analysis() {
    if (analysisStopInt_ != 0) {
        logStr(QStringLiteral("analysis stop = 1"));
        analysisStopInt_ = 0;
        const QStringList steps = analysisArray();
        for (const QString &key : steps.mid(1, steps.size() - 2)) {
            prefDelete(key);
        }
        prefWrite(QStringLiteral("analysisFin"), 1);
        prefDelete(QStringLiteral("analysisSrcPathesDico"));
        prefWrite(QStringLiteral("analysisSrcPathStr"), QStringLiteral("cancel"));
    }

    QVariantMap waiting =
        prefReadDico(QStringLiteral("analysisSrcPathesDico")).value_or(QVariantMap{});
    QString src = prefRead(QStringLiteral("analysisSrcPathStr"));
    if (src.isEmpty() && waiting.contains(QStringLiteral("0"))) {
        src = waiting.value(QStringLiteral("0")).toString();
        logStr(QStringLiteral("analysis new file   : %1").arg(src));
        waiting.remove(QStringLiteral("0"));
        for (int32_t k = 1; k < 12345 && waiting.contains(QString::number(k)); ++k) {
            waiting.insert(QString::number(k - 1), waiting.take(QString::number(k)));
        }
        prefWrite(QStringLiteral("analysisSrcPathStr"), src);
        prefDelete(QStringLiteral("analysisSrcPathesDico"));
        if (!waiting.isEmpty()) {
            prefWriteDico(QStringLiteral("analysisSrcPathesDico"), waiting);
        }
    }
    if (c_.analysisCaptionStr != nullptr) {
        c_.analysisCaptionStr->setText(
            QStringLiteral("%1/%2").arg(analysisDone_).arg(std::max(analysisTotal_, 1)));
    }
    if (markerSet(QStringLiteral("analysisDeb"))) {
        prefDelete(QStringLiteral("analysisDeb"));
        prefWrite(QStringLiteral("analysisFfmpeg"), 1);
    }
    if (markerSet(QStringLiteral("analysisFfmpeg"))) {
        analysisStepFfmpeg(src);
    } else if (markerSet(QStringLiteral("analysisFfmpegParse"))) {
        analysisStepParse();
    } else if (markerSet(QStringLiteral("analysisDico"))) {
        analysisStepDico(src);
    } else if (markerSet(QStringLiteral("analysisFields"))) {
        analysisStepFields(src);
    } else if (markerSet(QStringLiteral("analysisFin"))) {
        analysisStepFin(src);
    }
}

void appController::analysisStepFfmpeg(const QString &src) {
    prefDelete(QStringLiteral("analysisFfmpeg"));
    QStringList args{analysisFfmpegPathStr(),     QStringLiteral("-nostdin"),
                     QStringLiteral("-loglevel"), QStringLiteral("debug"),
                     QStringLiteral("-fdebug"),   QStringLiteral("ts")};
    const QString force = prefRead(QStringLiteral("ffFileForceFormatStr"));
    if (!force.isEmpty()) {
        args << QStringLiteral("-f") << force;
    }
    // One decoding thread: for ten frames, the contexts of frame threads cost more processor
    // time than they save (a third of the run on a 1080p clip), and a probe runs beside a
    // conversion and the thumbnails. The report is the same.
    args << QStringLiteral("-threads") << QStringLiteral("1");
    args << QStringLiteral("-i") << src << QStringLiteral("-vframes") << QStringLiteral("10")
         << QStringLiteral("-vf") << QStringLiteral("showinfo") << QStringLiteral("-s")
         << QStringLiteral("640x480") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p")
         << QStringLiteral("-an") << QStringLiteral("-f") << QStringLiteral("yuv4mpegpipe")
         << QStringLiteral("-y") << getTMPFOLDER() + QStringLiteral("frame.yuv");
    // ffmpeg's -y would write through whatever stands at the name: only a file it creates.
    QFile::remove(getTMPFOLDER() + QStringLiteral("frame.yuv"));
    prefWrite(QStringLiteral("analysisFfmpegParse"), 1);
    analysisThumbnailTried_ = false;
    analysisReportScanned_ = 0;
    if (!taskLauncherAnalysisStart(args)) {
        // Without a probing run there is nothing to analyse: the analysis ends as it does when
        // no source is left, rather than leaving the drop area refused.
        tellRefusal(src, sourceRefusal::toolCannotStart,
                    QStringLiteral("ffmpeg can't be started (%1)").arg(args.first()));
        prefDelete(QStringLiteral("analysisFfmpegParse"));
        prefDelete(QStringLiteral("analysisSrcPathStr"));
        prefDelete(QStringLiteral("analysisSrcPathesDico"));
        analysisOver();
    }
}

void appController::analysisStepParse() {
    prefDelete(QStringLiteral("analysisFfmpegParse"));
    const QString src = prefRead(QStringLiteral("analysisSrcPathStr"));
    if (!analysisTaskVerboseMStr_) {
        logStr(QStringLiteral("analysisTaskVerboseM: nil :-("));
        prefWrite(QStringLiteral("analysisFin"), 1);
    } else if (analysisTaskVerboseMStr_->isEmpty() ||
               *analysisTaskVerboseMStr_ == QStringLiteral(" ")) {
        analysisTaskVerboseMStr_.reset();
        prefWrite(QStringLiteral("analysisFin"), 1);
    } else {
        analysisRetainedStr_ = analysisTaskVerboseMStr_;
        analysisTaskVerboseMStr_.reset();
        if (ffmpegSuccess(analysisRetainedStr_)) {
            prefWrite(QStringLiteral("analysisDico"), 1);
        } else {
            logStr(QStringLiteral("Source illisible via ffmpeg :-( échec analyse"));
            noteRefusedSource(src, QStringLiteral("ffmpeg can't read it"));
            // The same words for a file that is gone; its code tells the two apart.
            tellRefusal(src,
                        QFileInfo::exists(src) ? sourceRefusal::unreadable : sourceRefusal::missing,
                        QStringLiteral("ffmpeg can't read it"));
            prefWrite(QStringLiteral("analysisFin"), 1);
        }
    }
    analysis();
}

void appController::analysisStepDico(const QString &src) {
    prefDelete(QStringLiteral("analysisDico"));
    const QString framePath = getTMPFOLDER() + QStringLiteral("frame.yuv");
    std::optional<QString> letter;
    if (QFileInfo::exists(framePath)) {
        letter = fieldOrderLetter(readContentsTxtC(framePath, 100));
        rmCocoa(framePath);
    }
    const QString label = interlacedYuvheaders2dudStr(letter);
    logStr(QStringLiteral("interlacingStr      : '%1'").arg(label));
    std::optional<QVariantMap> dico = analysisFf(analysisRetainedStr_, label);
    if (!dico || dico->isEmpty()) {
        logStr(QStringLiteral("NON-COMPLIANT FILE  : %1").arg(src));
        analysisRefuse(src, sourceRefusal::noMovieStreams, QStringLiteral("no movie streams"));
        return;
    }
    if (!dico->contains(QStringLiteral("v0_id")) && !dico->contains(QStringLiteral("v0_codec"))) {
        // Sound alone, or a header that names no picture: the conversion needs a video track.
        logStr(QStringLiteral("NON-COMPLIANT FILE  : %1 (no video stream)").arg(src));
        analysisRefuse(src, sourceRefusal::noVideoStream, QStringLiteral("no video stream"));
        return;
    }
    if (label != fieldsStr(QStringLiteral("PFF"))) {
        // The stream says interlaced; its pictures may still be progressive (each picture's
        // two fields from one moment): they are looked at before the source is refused.
        analysisFieldsStart(src, *dico, label);
        return;
    }
    analysisAccept(src, *dico, label);
}

void appController::analysisRefuse(const QString &src, sourceRefusal refusal,
                                   const QString &reason) {
    noteRefusedSource(src, reason);
    tellRefusal(src, refusal, reason);
    prefWrite(QStringLiteral("analysisFin"), 1);
    analysis();
}

void appController::analysisFieldsStart(const QString &src, const QVariantMap &dico,
                                        const QString &label) {
    analysisFieldsDico_ = dico;
    analysisFieldsLabel_ = label;
    // The look's report is no probe: no thumbnail is started from it.
    analysisThumbnailTried_ = true;
    analysisFieldsCounts_.clear();
    analysisFieldsWhy_.clear();
    prefWrite(QStringLiteral("analysisFields"), 1);
    // Decoded in process on a worker thread; the verdict comes back to this thread and takes
    // the step machine on. A stop meanwhile takes it down its stop path when the look ends; a
    // later look, or the controller's end, drops it.
    const uint64_t run = ++analysisFieldsRun_;
    fieldSampleLookAsync(src, dico.value(QStringLiteral("w_duration")).toDouble(),
                         prefRead(QStringLiteral("ffFileForceFormatStr")), this,
                         [this, run](const QList<idetSampleCounts> &samples, const QString &why) {
                             if (run != analysisFieldsRun_ || !analysisFieldsDico_) {
                                 return;
                             }
                             analysisFieldsCounts_ = samples;
                             analysisFieldsWhy_ = why;
                             analysis();
                         });
}

void appController::analysisStepFields(const QString &src) {
    prefDelete(QStringLiteral("analysisFields"));
    const QList<idetSampleCounts> samples = std::move(analysisFieldsCounts_);
    analysisFieldsCounts_.clear();
    std::optional<QVariantMap> dico = std::move(analysisFieldsDico_);
    analysisFieldsDico_.reset();
    const QString label = analysisFieldsLabel_;
    if (!dico) {
        prefWrite(QStringLiteral("analysisFin"), 1);
        analysis();
        return;
    }
    if (!analysisFieldsWhy_.isEmpty()) {
        logStr(QStringLiteral("fields sample       : %1").arg(analysisFieldsWhy_));
    }
    // A sample that gave no picture (a damaged file, a failed seek) decides nothing.
    const fieldScanVerdict verdict = fieldScanDecision(samples);
    QStringList counts;
    for (const idetSampleCounts &s : samples) {
        counts << QStringLiteral("%1p/%2i/%3u/%4r")
                      .arg(s.progressive)
                      .arg(s.tff + s.bff)
                      .arg(s.undetermined)
                      .arg(s.repeatedTop + s.repeatedBottom);
    }
    logStr(QStringLiteral("fields sample       : %1 (%2)")
               .arg(verdict.reason, counts.join(QStringLiteral(" "))));
    if (verdict.scan == fieldScan::interlaced) {
        logStr(QStringLiteral("NON-COMPLIANT FILE  : %1").arg(src));
        analysisRefuse(src, sourceRefusal::interlaced,
                       QStringLiteral("interlaced (%1)").arg(label));
        return;
    }
    if (verdict.scan != fieldScan::progressive && verdict.scan != fieldScan::pulldown) {
        logStr(QStringLiteral("NON-COMPLIANT FILE  : %1").arg(src));
        analysisRefuse(src, sourceRefusal::interlacedUndecided,
                       QStringLiteral("interlaced (%1), and its pictures can't be told "
                                      "progressive: %2")
                           .arg(label, verdict.reason));
        return;
    }
    // From here on the source is progressive at its picture rate: the stream's field label
    // and rate stay in the record beside it.
    dico->insert(QStringLiteral("v0_streamFields"), label);
    dico->insert(QStringLiteral("v0_scanStr"), fieldScanKey(verdict.scan));
    if (verdict.scan == fieldScan::pulldown) {
        dico->insert(QStringLiteral("v0_streamFps"), dico->value(QStringLiteral("v0_fps")));
        dico->insert(QStringLiteral("v0_fps"), static_cast<float>(24000.0 / 1001.0));
        dico->insert(jobKey::scanNote,
                     QStringLiteral("24p in 2:3 pulldown, removed by the export to 23.976 "
                                    "progressive pictures; a rewrap can't remove it"));
    } else {
        dico->insert(jobKey::scanNote,
                     QStringLiteral("progressive pictures in an interlaced stream"));
    }
    analysisAccept(src, *dico, fieldsStr(QStringLiteral("PFF")));
}

void appController::analysisAccept(const QString &src, QVariantMap dico, const QString &label) {
    const float ratio = analysisAspectRatio(dico);
    dico.insert(QStringLiteral("v0_dar"), float2FractionStr(ratio));
    dico.insert(QStringLiteral("v0_fields"), label);
    prefWriteDico(QStringLiteral("analysisSrcCurrentDico"), dico);

    // The thumbnail is made beside what follows (the rest of this analysis, the next source's,
    // the conversion): the row does not wait for it, and takes it when it is there. Usually it
    // was started from the probe's first lines already.
    QString img;
    if (analysisThumbnail_ && analysisThumbnail_->src == src) {
        img = analysisThumbnail_->img;
        analysisThumbnail_.reset();
    } else {
        const thumbnailJob job = thumbnailJobFor(src, dico);
        img = job.img;
        thumbnailEnqueue(job);
    }
    prefWrite(jobKey::imgPath, img);
    prefWrite(QStringLiteral("analysisFin"), 1);
    analysis();
}

float appController::analysisAspectRatio(const QVariantMap &dico) {
    float ratio = 1.77F;
    if (dico.contains(QStringLiteral("v0_dar"))) {
        ratio = fractionStr2Float(dico.value(QStringLiteral("v0_dar")));
    } else if (dico.contains(QStringLiteral("v0_width")) &&
               dico.contains(QStringLiteral("v0_height"))) {
        const float w = dico.value(QStringLiteral("v0_width")).toFloat();
        const float h = dico.value(QStringLiteral("v0_height")).toFloat();
        const float r = h > 0 ? nbTrimmed(w / h, 2) : 1.77F;
        ratio = std::fabs(r - 1.7F) < 0.1F ? 1.77F : (std::fabs(r - 1.3F) < 0.1F ? 1.33F : r);
    }
    return ratio;
}

appController::thumbnailJob appController::thumbnailJobFor(const QString &src,
                                                           const QVariantMap &dico) const {
    const QString name =
        findAndReplace(QFileInfo(src).fileName(), QStringLiteral("%"), QStringLiteral("_"), false);
    QString img = getTMPFOLDER() + name + QStringLiteral(".jpg");
    while (thumbnailPathTaken(img)) {
        img = QStringLiteral("%1_%2.jpg")
                  .arg(getTMPFOLDER() + name)
                  .arg(QRandomGenerator::global()->bounded(0x7fffffff));
    }
    // The picture of `ffmpeg -ss SEEK -i SRC -vframes 1 -vf scale=W:90`, made in process.
    const double seek = thumbnailSeekPoint(dico.value(QStringLiteral("w_duration"))).toDouble();
    const int32_t width = std::fabs(analysisAspectRatio(dico) - 1.77F) < 0.1F ? 160 : 120;
    return {src, img, seek, width, 90};
}

void appController::analysisThumbnailEarly() {
    if (analysisThumbnailTried_ || !analysisTaskVerboseMStr_) {
        return;
    }
    // ffmpeg prints its stream mapping once the input is described (duration, picture size)
    // and before it decodes a frame: the thumbnail can start while the probe goes on. The mark
    // starts a line, which no metadata value of the source can do.
    const qsizetype from = std::max<qsizetype>(0, analysisReportScanned_ - 16);
    analysisReportScanned_ = analysisTaskVerboseMStr_->size();
    if (analysisTaskVerboseMStr_->indexOf(QStringLiteral("\nStream mapping:"), from) < 0) {
        return;
    }
    analysisThumbnailTried_ = true;
    const QString src = prefRead(QStringLiteral("analysisSrcPathStr"));
    const std::optional<QVariantMap> dico = ffInfos(std::nullopt, analysisTaskVerboseMStr_);
    if (src.isEmpty() || src == QStringLiteral("cancel") || !dico ||
        !dico->contains(QStringLiteral("v0_codec"))) {
        return;
    }
    thumbnailJob job = thumbnailJobFor(src, *dico);
    analysisThumbnail_ = job;
    thumbnailEnqueue(std::move(job));
}

bool appController::thumbnailPending(const QString &img) const {
    return (thumbnailCurrent_ && thumbnailCurrent_->img == img) ||
           std::any_of(thumbnailQueue_.cbegin(), thumbnailQueue_.cend(),
                       [&](const thumbnailJob &job) { return job.img == img; });
}

void appController::thumbnailCancel(const QString &img) {
    thumbnailQueue_.removeIf([&](const thumbnailJob &job) { return job.img == img; });
    if (thumbnailCurrent_ && thumbnailCurrent_->img == img && thumbnailCancelled_) {
        // Its end is reported as any other: with no row to take it, the picture is deleted.
        thumbnailCancelled_->store(true);
    } else if (QFileInfo::exists(img)) {
        // Made already, while the source was still being probed.
        rmCocoa(img);
    }
}

void appController::analysisStepFin(const QString &src) {
    prefDelete(QStringLiteral("analysisFin"));
    // A thumbnail started for a source that gets no row is not wanted any more.
    if (analysisThumbnail_) {
        const QString unwanted = analysisThumbnail_->img;
        analysisThumbnail_.reset();
        thumbnailCancel(unwanted);
    }
    analysisTaskVerboseMStr_.reset();
    analysisRetainedStr_.reset();
    analysisFieldsDico_.reset();
    if (analysisTaskClass_) {
        analysisTaskClass_->setDelegate(nullptr);
        analysisTaskClass_.release()->deleteLater();
    }
    std::optional<QVariantMap> job = prefReadDico(QStringLiteral("analysisSrcCurrentDico"));
    prefDelete(QStringLiteral("analysisSrcCurrentDico"));
    // A source whose analysis was stopped is not appended.
    if (job && src != QStringLiteral("cancel") && !src.isEmpty()) {
        job->insert(jobKey::srcPath, src);
        const QString img = prefRead(jobKey::imgPath);
        if (!img.isEmpty()) {
            job->insert(jobKey::imgPath, img);
        }
        job->insert(QStringLiteral("prefSurrond"),
                    c_.prefSurrondBt != nullptr && c_.prefSurrondBt->isOn() ? 1 : 0);
        QVariantMap row;
        row.insert(rowKey::order, list_.count() + 1);
        row.insert(rowKey::src, QFileInfo(src).fileName());
        row.insert(rowKey::status, rowStatus::waiting);
        row.insert(rowKey::out,
                   c_.prefCheckMatrix != nullptr ? c_.prefCheckMatrix->selectedSegment() : 0);
        row.insert(rowKey::fpsSrc,
                   static_cast<int32_t>(job->value(QStringLiteral("v0_fps")).toFloat() + 0.5F));
        row.insert(rowKey::fps, c_.prefSpeed != nullptr ? c_.prefSpeed->selectedSegment() : 0);
        // "img" comes with the thumbnail (thumbnailEnded), unless the picture was made while
        // the source was still being probed.
        row.insert(rowKey::dico, *job);
        if (!img.isEmpty() && !thumbnailPending(img) && holdsPicture(img)) {
            row.insert(rowKey::img, img);
        }
        analysisRefused_.remove(QFileInfo(src).absoluteFilePath());
        list_.append(row);
        list_.setSelectedIndex(list_.count() - 1);
        iba_outSpeedCell();
        analysisRowsChanged();
        if (c_.batchDrawer != nullptr && !c_.batchDrawer->isOpen()) {
            c_.batchDrawer->open();
        }
        if (hooks.analysisVerdict) {
            // The conversion keeps the first sound track only: say so when there are more.
            int32_t soundTracks = 0;
            while (job->contains(QStringLiteral("a%1_id").arg(soundTracks)) ||
                   job->contains(QStringLiteral("a%1_codec").arg(soundTracks))) {
                ++soundTracks;
            }
            QStringList notes;
            if (job->contains(jobKey::scanNote)) {
                notes << job->value(jobKey::scanNote).toString();
            }
            if (soundTracks > 1) {
                notes << QStringLiteral("sound: track 1 of %1 kept, the others are left out")
                             .arg(soundTracks);
            }
            hooks.analysisVerdict(analysisVerdictValue{
                src, true, sourceRefusal::none, {}, {}, notes.join(QStringLiteral("; "))});
        }
    } else if (job) {
        tellRefusal(src, sourceRefusal::analysisStopped, QStringLiteral("analysis stopped"));
    }
    prefDelete(jobKey::imgPath);
    prefDelete(QStringLiteral("analysisSrcPathStr"));
    ++analysisDone_;
    const std::optional<QVariantMap> waiting =
        prefReadDico(QStringLiteral("analysisSrcPathesDico"));
    if (waiting && !waiting->isEmpty() && analysisStopInt_ != 1) {
        logStr(QStringLiteral("analysis            - fin (src current)"));
        prefWrite(QStringLiteral("analysisDeb"), 1);
        analysis();
        return;
    }
    analysisOver();
}

void appController::tellRefusal(const QString &src, sourceRefusal refusal,
                                const QString &logWords) {
    if (!hooks.analysisVerdict) {
        return;
    }
    analysisVerdictValue verdict;
    verdict.src = src;
    verdict.refusal = refusal;
    verdict.words = sourceRefusalWords(refusal);
    verdict.logWords = logWords;
    hooks.analysisVerdict(verdict);
}

void appController::noteRefusedSource(const QString &src, const QString &reason) {
    analysisRefused_.insert(QFileInfo(src).absoluteFilePath(), reason);
}

void appController::spannedJoinApply() {
    const bool joining = c_.prefJoinBt == nullptr || c_.prefJoinBt->isOn();
    // Only rows that wait for the conversion are regrouped; a joined row stays as it is.
    QList<joinRow> rows;
    QList<int32_t> listRows;
    for (int32_t i = 0; i < list_.count(); ++i) {
        const QVariantMap dico = list_.dico(i);
        if (list_.value(i, rowKey::status).toString() != rowStatus::waiting ||
            dico.contains(jobKey::joinPaths)) {
            continue;
        }
        rows.append({dico.value(jobKey::srcPath).toString(), dico});
        listRows.append(i);
    }
    // Each piece's IN and OUT times placed among its file's pictures (its head and tail read).
    const spanLookup spanOf =
        [](const recordingPiece &piece) -> std::optional<toolbox::StreamSpan> {
        toolbox::StreamSpan span;
        const toolbox::MovieStatus status =
            toolbox::readStreamSpan(QFile::encodeName(piece.path).toStdString(),
                                    static_cast<std::int64_t>(piece.inTime) * 2, span);
        if (!status) {
            logStr(QStringLiteral("spanned recording   :-( %1")
                       .arg(QString::fromStdString(status.message)));
            return std::nullopt;
        }
        return span;
    };
    const QList<joinDecision> decisions =
        spannedJoinPlan(rows, spannedRecordingOf, analysisRefused_, joining, spanOf);
    QList<int32_t> removed;
    for (const joinDecision &decision : decisions) {
        for (qsizetype k = 0; k < decision.rows.size(); ++k) {
            const int32_t index = listRows.at(decision.rows.at(k));
            const QString src = rows.at(decision.rows.at(k)).src;
            if (decision.joined && k > 0) {
                // The joined row (the first piece's) takes this piece; its thumbnail goes.
                const QString img = list_.dico(index).value(jobKey::imgPath).toString();
                if (!img.isEmpty()) {
                    thumbnailCancel(img);
                }
                removed << index;
                continue;
            }
            QVariantMap dico = list_.dico(index);
            dico.insert(QStringLiteral("joinNoteStr"), decision.notes.at(k));
            if (decision.joined) {
                double seconds = 0;
                for (const qsizetype row : decision.rows) {
                    seconds += rows.at(row).dico.value(QStringLiteral("w_duration")).toDouble();
                }
                dico.insert(jobKey::joinPaths, decision.paths);
                QStringList ranges;
                for (const pieceBytes &bytes : decision.ranges) {
                    ranges << bytes.text();
                }
                dico.insert(jobKey::joinRanges, ranges);
                dico.insert(QStringLiteral("w_duration"), static_cast<float>(seconds));
                list_.setValue(index, rowKey::src, spannedJoinRowName(decision.paths));
            }
            list_.setValue(index, rowKey::dico, dico);
            logStr(QStringLiteral("spanned recording   : %1: %2").arg(src, decision.notes.at(k)));
            if (hooks.spannedVerdict) {
                hooks.spannedVerdict(src, decision.joined ? decision.paths : QStringList(),
                                     decision.notes.at(k));
            }
        }
    }
    std::sort(removed.begin(), removed.end(), std::greater<>());
    for (const int32_t index : removed) {
        list_.removeAt(index);
    }
    if (!removed.isEmpty()) {
        list_.setSelectedIndex(list_.count() - 1);
    }
}

void appController::analysisOver() {
    spannedJoinApply();
    prefDelete(QStringLiteral("analysisSrcPathesDico"));
    if (c_.analysisCaptionStr != nullptr) {
        c_.analysisCaptionStr->setText(QString());
    }
    if (c_.analysisStopBt != nullptr) {
        c_.analysisStopBt->setHidden(true);
    }
    analysisStopInt_ = 0;
    if (c_.analysisWheelProgInd != nullptr) {
        c_.analysisWheelProgInd->setAnimating(false);
    }
    setOPENPERM(true);
    restoreDropArea();
    analysisToggleConversion();
    if (!list_.isEmpty()) {
        if (c_.batchDrawer != nullptr && !c_.batchDrawer->isOpen()) {
            c_.batchDrawer->open();
        }
        if (c_.batchEncGoBt != nullptr && !c_.batchEncGoBt->isOn()) {
            c_.batchEncGoBt->setEnabled(true);
        }
    }
    analysing_ = false;
    logStr(QStringLiteral("analysis            - fin (all src)"));
    analysisRowsChanged();
    if (hooks.analysisEnded) {
        hooks.analysisEnded();
    }
}

bool appController::thumbnailPathTaken(const QString &img) const {
    return QFileInfo::exists(img) || thumbnailPending(img);
}

void appController::thumbnailEnqueue(thumbnailJob job) {
    thumbnailQueue_.append(std::move(job));
    if (!thumbnailCurrent_) {
        thumbnailNext();
    }
}

void appController::thumbnailNext() {
    if (thumbnailCurrent_ || thumbnailQueue_.isEmpty()) {
        return;
    }
    thumbnailCurrent_ = thumbnailQueue_.takeFirst();
    toolbox::ThumbnailRequest request;
    request.moviePath = QFile::encodeName(thumbnailCurrent_->src).toStdString();
    request.seekSeconds = thumbnailCurrent_->seekSeconds;
    request.width = thumbnailCurrent_->width;
    request.height = thumbnailCurrent_->height;
    request.picturePath = QFile::encodeName(thumbnailCurrent_->img).toStdString();
    thumbnailStopThread();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    thumbnailCancelled_ = cancelled;
    const quint64 serial = ++thumbnailSerial_;
    // The thread's last act is to post its end to this controller's thread; the controller
    // joins it (terminateRuns, its destructor) before it goes away.
    try {
        thumbnailThread_ = std::thread([this, request, cancelled, serial] {
            const toolbox::MovieStatus status =
                toolbox::writeThumbnail(request, [cancelled] { return cancelled->load(); });
            const QString failure =
                status.ok() ? QString() : QString::fromStdString(status.message);
            QMetaObject::invokeMethod(
                this, [this, serial, failure] { thumbnailEnded(serial, failure); },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error &error) {
        // No thread to be had: this picture is not made, the next one may be.
        QMetaObject::invokeMethod(
            this,
            [this, serial, why = QString::fromLocal8Bit(error.what())] {
                thumbnailEnded(serial, QStringLiteral("no thread: %1").arg(why));
            },
            Qt::QueuedConnection);
    }
}

void appController::thumbnailStopThread() {
    if (thumbnailCancelled_) {
        thumbnailCancelled_->store(true);
    }
    if (thumbnailThread_.joinable()) {
        thumbnailThread_.join();
    }
    thumbnailCancelled_.reset();
}

void appController::thumbnailEnded(quint64 serial, const QString &failure) {
    if (serial != thumbnailSerial_ || !thumbnailCurrent_) {
        return;
    }
    // The thread has posted this and ends now.
    if (thumbnailThread_.joinable()) {
        thumbnailThread_.join();
    }
    thumbnailCancelled_.reset();
    const thumbnailJob done = std::move(*thumbnailCurrent_);
    thumbnailCurrent_.reset();
    if (!failure.isEmpty()) {
        logDebug(QStringLiteral("thumbnail           : %1").arg(failure));
    }
    const bool made = failure.isEmpty() && holdsPicture(done.img);
    // The source being analysed: its row comes when the probe is over and takes the picture.
    bool kept = made && analysisThumbnail_ && analysisThumbnail_->img == done.img;
    for (int32_t row = 0; row < list_.count(); ++row) {
        if (list_.dico(row).value(jobKey::imgPath).toString() == done.img) {
            kept = made;
            if (made) {
                list_.setValue(row, rowKey::img, done.img);
            }
        }
    }
    // A picture whose row is gone (removed, or its analysis stopped), or a broken one, is not
    // left in the temporary folder.
    if (!kept && QFileInfo::exists(done.img)) {
        rmCocoa(done.img);
    }
    logStr(kept ? QStringLiteral("thumbnail           : %1").arg(done.img)
                : QStringLiteral("thumbnail           :-( none for %1").arg(done.src));
    if (hooks.thumbnailMade) {
        hooks.thumbnailMade(done.src, kept ? done.img : QString());
    }
    thumbnailNext();
}

void appController::analysisToggleConversion() {
    if (taskStopBt_ != nullptr) {
        taskStopBt_->setEnabled(true);
    }
    if (pausedForAnalysis_ && taskStopBt_ != nullptr && taskClass_ && taskClass_->isSuspended()) {
        taskStopBt_->setSelectedSegment(0);
        iba_taskStopBt(taskStopBt_);
    }
    pausedForAnalysis_ = false;
}
