// The analysis of new sources: one probing run of ffmpeg per source, the media info dictionary
// and start offsets from its report, the field-order test, a thumbnail, and the row's plan.
#include "controller/sourceAnalysis.h"
#include "analysis/ffmpeg.h"
#include "analysis/fieldSample.h"
#include "controller/analysisPlans.h"
#include "controller/dropPlan.h"
#include "controller/fieldLook.h"
#include "controller/jobRecord.h"
#include "frontApi/alerts.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/utilsFile.h"
#include "platform/utilsStr.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

QString analysisFfmpegPathStr() {
    return resourcePathStr() + QStringLiteral("/tools/ffmpeg");
}

} // namespace

sourceAnalysis::sourceAnalysis(const appControls &controls, const batchChoices &choices,
                               batchList &list, sourceAnalysisDelegate &owner)
    : c_(controls), choices_(choices), list_(list), owner_(owner) {}

sourceAnalysis::~sourceAnalysis() {
    terminate();
}

void sourceAnalysis::begin(const QStringList &sources) {
    if (!analysing_) {
        // What a killed analysis left in the store is its journal, not a queue: the new
        // drop's analysis starts from its own sources alone.
        QStringList keys = stepArray();
        keys << QStringLiteral("analysisSrcPathStr") << QStringLiteral("analysisSrcPathesDico")
             << QStringLiteral("analysisSrcCurrentDico") << jobKey::imgPath;
        for (const QString &key : keys) {
            if (prefRead2(key).isValid()) {
                logStr(QStringLiteral("analysis            :-/ left by an earlier analysis: %1")
                           .arg(key));
            }
        }
        current_.clear();
        record_.reset();
        img_.clear();
    }
    analysing_ = true;
    waiting_ = sources;
    total_ = static_cast<int32_t>(sources.size());
    done_ = 0;
    due_ = analysisStep::deb;
    journal();
}

void sourceAnalysis::setDue(analysisStep step) {
    due_ = step;
    journalStep();
}

void sourceAnalysis::journalStep() const {
    static const QStringList markers = stepArray();
    const auto index = static_cast<qsizetype>(due_) - 1;
    for (qsizetype i = 0; i < markers.size(); ++i) {
        if (i == index) {
            prefWrite(markers[i], 1);
        } else {
            prefDelete(markers[i]);
        }
    }
}

void sourceAnalysis::journal() const {
    // The store keeps the analysis's state as the journal a killed run leaves; the machine
    // itself works from its members. The queue is written when it changes, once per source.
    journalStep();
    QVariantMap waiting;
    for (qsizetype i = 0; i < waiting_.size(); ++i) {
        waiting.insert(QString::number(i), waiting_[i]);
    }
    if (waiting.isEmpty()) {
        prefDelete(QStringLiteral("analysisSrcPathesDico"));
    } else {
        prefWriteDico(QStringLiteral("analysisSrcPathesDico"), waiting);
    }
    if (current_.isEmpty()) {
        prefDelete(QStringLiteral("analysisSrcPathStr"));
    } else {
        prefWrite(QStringLiteral("analysisSrcPathStr"), current_);
    }
    if (record_) {
        prefWriteDico(QStringLiteral("analysisSrcCurrentDico"), *record_);
    } else {
        prefDelete(QStringLiteral("analysisSrcCurrentDico"));
    }
    if (img_.isEmpty()) {
        prefDelete(jobKey::imgPath);
    } else {
        prefWrite(jobKey::imgPath, img_);
    }
}

int32_t sourceAnalysis::pendingSources() const {
    return analysing_ ? std::max(0, total_ - done_) : 0;
}

void sourceAnalysis::terminate() {
    if (taskClass_) {
        taskClass_->setDelegate(nullptr);
        taskClass_->terminate();
        taskClass_.reset();
    }
    thumbnail_.reset();
    thumbnails_.stop();
}

void sourceAnalysis::taskLauncherDidReceiveNewString(taskLauncher *launcher, const QString &chunk) {
    if (launcher == nullptr || launcher != taskClass_.get()) {
        return;
    }
    // Appended in place: a probing report runs to hundreds of kilobytes in many chunks.
    if (!taskVerboseMStr_) {
        taskVerboseMStr_.emplace();
    }
    taskVerboseMStr_->append(chunk);
    thumbnailEarly();
}

void sourceAnalysis::taskLauncherTaskDidEnd(taskLauncher *launcher) {
    if (launcher == nullptr || launcher != taskClass_.get()) {
        return;
    }
    const int32_t status = launcher->terminationStatus();
    if (status != 0) {
        logStr(status == taskLauncher::interruptedStatus
                   ? QStringLiteral("interrupted")
                   : QStringLiteral("task failed, error  :-( %1 (analysis)").arg(status));
    }
    step();
}

QStringList sourceAnalysis::stepArray() {
    return {QStringLiteral("analysisDeb"),         QStringLiteral("analysisFfmpeg"),
            QStringLiteral("analysisFfmpegParse"), QStringLiteral("analysisDico"),
            QStringLiteral("analysisFields"),      QStringLiteral("analysisFin")};
}

void sourceAnalysis::stop() {
    stopInt_ = 1;
    // A probe may never end by itself (a source that never ends, a tool that hangs): the stop
    // ends the running tool, as a stop ends a conversion, and its end report takes the
    // analysis down its stop path at once.
    if (taskClass_ && taskClass_->isRunning()) {
        logStr(QStringLiteral("analysis stop       : ending the running tool"));
        taskClass_->terminate();
    }
}

std::optional<QVariantMap> sourceAnalysis::mediaInfo(const std::optional<QString> &report,
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

std::optional<QString> sourceAnalysis::fieldOrderLetter(const std::optional<QString> &headerLine) {
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
bool sourceAnalysis::launchProbe(const QStringList &args) {
    if (args.isEmpty()) {
        return false;
    }
    if (taskClass_) {
        logDebug(QStringLiteral("forget to release previous task? (analysisTaskClass)"));
        taskClass_->setDelegate(nullptr);
        taskClass_->terminate();
        taskClass_.release()->deleteLater();
    }
    taskVerboseMStr_ = QString();
    taskClass_ = std::make_unique<taskLauncher>();
    taskClass_->setDelegate(this);
    const int32_t result = taskClass_->launchTasksWithArguments(args);
    if (result != taskLauncher::launchOk) {
        taskClass_.reset();
        owner_.analysisLaunchFailed();
        logStr(QStringLiteral("Erreur au lancement = %1").arg(result));
        logStr(QStringLiteral("args str            : %1").arg(array2Str(args)));
        return false;
    }
    return true;
}

void sourceAnalysis::step() {
    if (stopInt_ != 0) {
        logStr(QStringLiteral("analysis stop = 1"));
        stopInt_ = 0;
        waiting_.clear();
        current_ = QStringLiteral("cancel");
        due_ = analysisStep::fin;
        journal();
    }
    if (current_.isEmpty() && !waiting_.isEmpty()) {
        current_ = waiting_.takeFirst();
        logStr(QStringLiteral("analysis new file   : %1").arg(current_));
        journal();
    }
    const QString src = current_;
    if (c_.analysisCaptionStr != nullptr) {
        c_.analysisCaptionStr->setText(QStringLiteral("%1/%2").arg(done_).arg(std::max(total_, 1)));
    }
    if (due_ == analysisStep::deb) {
        setDue(analysisStep::ffmpeg);
    }
    switch (due_) {
    case analysisStep::ffmpeg:
        stepFfmpeg(src);
        break;
    case analysisStep::parse:
        stepParse();
        break;
    case analysisStep::dico:
        stepDico(src);
        break;
    case analysisStep::fields:
        stepFields(src);
        break;
    case analysisStep::fin:
        stepFin(src);
        break;
    case analysisStep::none:
    case analysisStep::deb:
        break;
    }
}

void sourceAnalysis::stepFfmpeg(const QString &src) {
    setDue(analysisStep::none);
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
    setDue(analysisStep::parse);
    thumbnailTried_ = false;
    reportScanned_ = 0;
    if (!launchProbe(args)) {
        // Without a probing run there is nothing to analyse: the analysis ends as it does when
        // no source is left, rather than leaving the drop area refused.
        owner_.analysisRefusal(src, sourceRefusal::toolCannotStart,
                               QStringLiteral("ffmpeg can't be started (%1)").arg(args.first()));
        current_.clear();
        waiting_.clear();
        due_ = analysisStep::none;
        over();
    }
}

void sourceAnalysis::stepParse() {
    const QString src = current_;
    if (!taskVerboseMStr_) {
        logStr(QStringLiteral("analysisTaskVerboseM: nil :-("));
        setDue(analysisStep::fin);
    } else if (taskVerboseMStr_->isEmpty() || *taskVerboseMStr_ == QStringLiteral(" ")) {
        taskVerboseMStr_.reset();
        setDue(analysisStep::fin);
    } else {
        retainedStr_ = taskVerboseMStr_;
        taskVerboseMStr_.reset();
        if (ffmpegSuccess(retainedStr_)) {
            setDue(analysisStep::dico);
        } else {
            logStr(QStringLiteral("Source illisible via ffmpeg :-( échec analyse"));
            noteRefused(src, QStringLiteral("ffmpeg can't read it"));
            // The same words for a file that is gone; its code tells the two apart.
            owner_.analysisRefusal(
                src, QFileInfo::exists(src) ? sourceRefusal::unreadable : sourceRefusal::missing,
                QStringLiteral("ffmpeg can't read it"));
            setDue(analysisStep::fin);
        }
    }
    step();
}

void sourceAnalysis::stepDico(const QString &src) {
    setDue(analysisStep::none);
    const QString framePath = getTMPFOLDER() + QStringLiteral("frame.yuv");
    std::optional<QString> letter;
    if (QFileInfo::exists(framePath)) {
        letter = fieldOrderLetter(readContentsTxtC(framePath, 100));
        rmCocoa(framePath);
    }
    const QString label = interlacedYuvheaders2dudStr(letter);
    logStr(QStringLiteral("interlacingStr      : '%1'").arg(label));
    std::optional<QVariantMap> dico = mediaInfo(retainedStr_, label);
    if (!dico || dico->isEmpty()) {
        logStr(QStringLiteral("NON-COMPLIANT FILE  : %1").arg(src));
        refuse(src, sourceRefusal::noMovieStreams, QStringLiteral("no movie streams"));
        return;
    }
    if (!dico->contains(QStringLiteral("v0_id")) && !dico->contains(QStringLiteral("v0_codec"))) {
        // Sound alone, or a header that names no picture: the conversion needs a video track.
        logStr(QStringLiteral("NON-COMPLIANT FILE  : %1 (no video stream)").arg(src));
        refuse(src, sourceRefusal::noVideoStream, QStringLiteral("no video stream"));
        return;
    }
    if (label != fieldsStr(QStringLiteral("PFF"))) {
        // The stream says interlaced; its pictures may still be progressive (each picture's
        // two fields from one moment): they are looked at before the source is refused.
        fieldsStart(src, *dico, label);
        return;
    }
    accept(src, *dico, label);
}

void sourceAnalysis::refuse(const QString &src, sourceRefusal refusal, const QString &reason) {
    noteRefused(src, reason);
    owner_.analysisRefusal(src, refusal, reason);
    setDue(analysisStep::fin);
    step();
}

void sourceAnalysis::fieldsStart(const QString &src, const QVariantMap &dico,
                                 const QString &label) {
    fieldsDico_ = dico;
    fieldsLabel_ = label;
    // The look's report is no probe: no thumbnail is started from it.
    thumbnailTried_ = true;
    fieldsCounts_.clear();
    fieldsWhy_.clear();
    setDue(analysisStep::fields);
    // Decoded in process on a worker thread; the verdict comes back to this thread and takes
    // the step machine on. A stop meanwhile takes it down its stop path when the look ends; a
    // later look, or the controller's end, drops it.
    const uint64_t run = ++fieldsRun_;
    fieldSampleLookAsync(src, dico.value(QStringLiteral("w_duration")).toDouble(),
                         prefRead(QStringLiteral("ffFileForceFormatStr")), this,
                         [this, run](const QList<idetSampleCounts> &samples, const QString &why) {
                             if (run != fieldsRun_ || !fieldsDico_) {
                                 return;
                             }
                             fieldsCounts_ = samples;
                             fieldsWhy_ = why;
                             step();
                         });
}

void sourceAnalysis::stepFields(const QString &src) {
    setDue(analysisStep::none);
    const QList<idetSampleCounts> samples = std::move(fieldsCounts_);
    fieldsCounts_.clear();
    std::optional<QVariantMap> dico = std::move(fieldsDico_);
    fieldsDico_.reset();
    const QString label = fieldsLabel_;
    if (!dico) {
        setDue(analysisStep::fin);
        step();
        return;
    }
    if (!fieldsWhy_.isEmpty()) {
        logStr(QStringLiteral("fields sample       : %1").arg(fieldsWhy_));
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
        refuse(src, sourceRefusal::interlaced, QStringLiteral("interlaced (%1)").arg(label));
        return;
    }
    if (verdict.scan != fieldScan::progressive && verdict.scan != fieldScan::pulldown) {
        logStr(QStringLiteral("NON-COMPLIANT FILE  : %1").arg(src));
        refuse(src, sourceRefusal::interlacedUndecided,
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
    accept(src, *dico, fieldsStr(QStringLiteral("PFF")));
}

void sourceAnalysis::accept(const QString &src, QVariantMap dico, const QString &label) {
    const float ratio = aspectRatio(dico);
    dico.insert(QStringLiteral("v0_dar"), float2FractionStr(ratio));
    dico.insert(QStringLiteral("v0_fields"), label);
    record_ = dico;

    // The thumbnail is made beside what follows (the rest of this analysis, the next source's,
    // the conversion): the row does not wait for it, and takes it when it is there. Usually it
    // was started from the probe's first lines already.
    QString img;
    if (thumbnail_ && thumbnail_->src == src) {
        img = thumbnail_->img;
        thumbnail_.reset();
    } else {
        const thumbnailJob job = thumbnailJobFor(src, dico);
        img = job.img;
        thumbnails_.enqueue(job);
    }
    img_ = img;
    due_ = analysisStep::fin;
    journal();
    step();
}

void sourceAnalysis::stepFin(const QString &src) {
    release();
    analysisFinFacts facts;
    facts.src = src;
    facts.record = std::move(record_);
    record_.reset();
    facts.img = img_;
    setDue(analysisStep::none);
    facts.imgMade =
        !facts.img.isEmpty() && !thumbnails_.pending(facts.img) && holdsPicture(facts.img);
    facts.surround = choices_.surround;
    for (const batchRow &row : list_.rows()) {
        facts.listed = facts.listed || row.reads(src);
    }
    facts.format = choices_.format;
    facts.rate = choices_.rate;
    facts.aicAvailable = getAIC() != 0;
    facts.proresAvailable = getPRORES() != 0;
    const analysisFinPlanValue plan = analysisFinPlan(facts);
    if (plan.outcome == analysisFinOutcome::appended) {
        refused_.remove(QFileInfo(src).absoluteFilePath());
        owner_.analysisAppendRow(src, plan);
    } else if (plan.outcome == analysisFinOutcome::stopped) {
        owner_.analysisRefusal(src, sourceRefusal::analysisStopped,
                               QStringLiteral("analysis stopped"));
    } else if (plan.outcome == analysisFinOutcome::listed) {
        logStr(QStringLiteral("analysis            :-/ listed already: %1").arg(src));
        owner_.analysisRefusal(src, sourceRefusal::duplicate,
                               dropRefusalLogWords(dropRefusal::alreadyListed));
    }
    img_.clear();
    current_.clear();
    ++done_;
    if (!waiting_.isEmpty() && stopInt_ != 1) {
        logStr(QStringLiteral("analysis            - fin (src current)"));
        due_ = analysisStep::deb;
        journal();
        step();
        return;
    }
    over();
}

void sourceAnalysis::release() {
    // A thumbnail started for a source that gets no row is not wanted any more.
    if (thumbnail_) {
        const QString unwanted = thumbnail_->img;
        thumbnail_.reset();
        thumbnails_.cancel(unwanted);
    }
    taskVerboseMStr_.reset();
    retainedStr_.reset();
    fieldsDico_.reset();
    if (taskClass_) {
        taskClass_->setDelegate(nullptr);
        taskClass_.release()->deleteLater();
    }
}

void sourceAnalysis::noteRefused(const QString &src, const QString &reason) {
    refused_.insert(QFileInfo(src).absoluteFilePath(), reason);
}

void sourceAnalysis::over() {
    waiting_.clear();
    journal();
    if (c_.analysisCaptionStr != nullptr) {
        c_.analysisCaptionStr->setText(QString());
    }
    if (c_.analysisStopBt != nullptr) {
        c_.analysisStopBt->setHidden(true);
    }
    stopInt_ = 0;
    if (c_.analysisWheelProgInd != nullptr) {
        c_.analysisWheelProgInd->setAnimating(false);
    }
    owner_.analysisSourcesDone();
    analysing_ = false;
    logStr(QStringLiteral("analysis            - fin (all src)"));
    owner_.analysisEnded();
}
