// The analysis of new sources: a step machine over the queued sources, whose state (the queue,
// the source at hand, the step due, its record and thumbnail) it holds itself and writes to the
// preferences store as the journal a killed run leaves ("analysisSrcPathesDico",
// "analysisSrcPathStr", the step markers "analysisDeb" ... "analysisFin"). Per source: one probing
// run of ffmpeg, the media info dictionary and start offsets from its report, the field-order test,
// a thumbnail, and the row's plan. The owner (the application controller) appends the rows, tells
// the fronts and resumes the conversion through sourceAnalysisDelegate.
#pragma once

#include "analysis/fieldSample.h"
#include "controller/analysisPlans.h"
#include "controller/batchChoices.h"
#include "controller/batchList.h"
#include "controller/outcomes.h"
#include "controller/thumbnailQueue.h"
#include "frontApi/appControls.h"
#include "process/taskLauncher.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <memory>
#include <optional>

/// The analysis's steps for one source, in order; none between two.
enum class analysisStep { none, deb, ffmpeg, parse, dico, fields, fin };

/// What the analysis asks of its owner. Called on the main thread, from inside a step.
class sourceAnalysisDelegate {
public:
    virtual ~sourceAnalysisDelegate() = default;
    /// A source is accepted: its row (plan.row) goes into the list, with its verdict.
    virtual void analysisAppendRow(const QString &src, const analysisFinPlanValue &plan) = 0;
    /// A source gets no row, for the reason given (its code, and the words of the log).
    virtual void analysisRefusal(const QString &src, sourceRefusal refusal,
                                 const QString &logWords) = 0;
    /// The probing tool could not be started.
    virtual void analysisLaunchFailed() = 0;
    /// Every queued source is analysed (still counted as analysing): spanned recordings are
    /// joined, the drop area comes back, a conversion paused for the drop goes on.
    virtual void analysisSourcesDone() = 0;
    /// The analysis is over and no longer counted as running.
    virtual void analysisEnded() = 0;
    /// A source's thumbnail ended: written to img (its row's "img" set), or not (img empty).
    virtual void analysisThumbnailMade(const QString &src, const QString &img) = 0;
};

/// The analysis run and the thumbnails of new sources. It reads the controls of the window
/// (captions, the stop button), the choices new rows take, and the batch list, which it does
/// not change except for a row's thumbnail.
class sourceAnalysis : public QObject, public taskLauncherDelegate {
    Q_OBJECT

public:
    sourceAnalysis(const appControls &controls, const batchChoices &choices, batchList &list,
                   sourceAnalysisDelegate &owner);
    ~sourceAnalysis() override;
    sourceAnalysis(const sourceAnalysis &) = delete;
    sourceAnalysis &operator=(const sourceAnalysis &) = delete;

    /// A drop queued these sources: the analysis counts as running, its first step is due. What
    /// an earlier analysis that no longer runs left in the store is replaced: a new drop's
    /// analysis starts from its own sources alone.
    void begin(const QStringList &sources);
    /// Performs the due analysis step.
    void step();
    /// Asks the analysis to stop at its next step; ends a running probe.
    void stop();
    /// Ends the probe and the thumbnails without going on (the controller's end).
    void terminate();
    bool isAnalysing() const { return analysing_; }
    /// The sources of the running analysis not done yet (0 when none runs).
    int32_t pendingSources() const;
    /// Sources the analysis refused (absolute paths) and why.
    const QMap<QString, QString> &refusedSources() const { return refused_; }
    /// The thumbnails of the sources.
    thumbnailQueue &thumbnails() { return thumbnails_; }
    const thumbnailQueue &thumbnails() const { return thumbnails_; }
    bool launchProbe(const QStringList &args);

    void taskLauncherDidReceiveNewString(taskLauncher *launcher, const QString &chunk) override;
    void taskLauncherTaskDidEnd(taskLauncher *launcher) override;

    /// "analysisDeb", "analysisFfmpeg", "analysisFfmpegParse", "analysisDico", "analysisFields",
    /// "analysisFin".
    static QStringList stepArray();
    /// The media info dictionary of a probing report with its start offsets; nothing when the
    /// report or label is missing or the report has no stream section.
    static std::optional<QVariantMap> mediaInfo(const std::optional<QString> &report,
                                                const std::optional<QString> &label);
    /// The seek point of the thumbnail for a duration in seconds.
    static QString thumbnailSeekPoint(const QVariant &duration);
    /// The field-order letter of a yuv4mpeg header line (after its first " I"), or the whole
    /// line when it has no " I"; nothing without a line.
    static std::optional<QString> fieldOrderLetter(const std::optional<QString> &headerLine);
    /// The picture's aspect ratio from a media info dictionary ("v0_dar", else the size).
    static float aspectRatio(const QVariantMap &dico);

private:
    /// The step due next; its marker in the journal follows.
    void setDue(analysisStep step);
    /// Writes the step's marker to the preferences store.
    void journalStep() const;
    /// Writes the analysis's whole state (marker, queue, source, record, thumbnail) to the
    /// preferences store.
    void journal() const;
    void stepFfmpeg(const QString &src);
    void stepParse();
    void stepDico(const QString &src);
    /// A stream flagged interlaced: the look at its pictures (fieldSample) starts.
    void fieldsStart(const QString &src, const QVariantMap &dico, const QString &label);
    /// The look ended: the source is accepted as progressive (or 2:3 pulldown) or refused.
    void stepFields(const QString &src);
    /// The source's record is complete: thumbnail, then the row at "analysisFin".
    void accept(const QString &src, QVariantMap dico, const QString &label);
    /// The source gets no row, for the reason given.
    void refuse(const QString &src, sourceRefusal refusal, const QString &reason);
    /// The end of one source's analysis: releases its probe, appends its row (analysisFinPlan)
    /// or says why not, then the next source or the analysis's end.
    void stepFin(const QString &src);
    /// Lets go of the source's probe, its report and an unwanted early thumbnail.
    void release();
    /// The analysis of every queued source is over.
    void over();
    /// Remembers a source the analysis refused, with its reason, for the spanned recordings
    /// it is a piece of.
    void noteRefused(const QString &src, const QString &reason);
    /// The thumbnail of a source: a free picture path, the seek point and the size.
    thumbnailJob thumbnailJobFor(const QString &src, const QVariantMap &dico) const;
    /// Starts the thumbnail of the source being probed as soon as the probe has described it.
    void thumbnailEarly();
    /// The end of a thumbnail (failure empty when it was made): the row of the picture, or the
    /// source being analysed, takes it; a picture nobody takes is deleted.
    void thumbnailEnded(const QString &src, const QString &img, const QString &failure);
    /// True when the file starts like a JPEG or PNG picture.
    static bool holdsPicture(const QString &path);

    const appControls &c_;
    const batchChoices &choices_;
    batchList &list_;
    sourceAnalysisDelegate &owner_;

    std::unique_ptr<taskLauncher> taskClass_;
    std::optional<QString> taskVerboseMStr_;
    std::optional<QString> retainedStr_;
    /// The record and field label of a source whose pictures are being looked at.
    std::optional<QVariantMap> fieldsDico_;
    QString fieldsLabel_;
    /// What the look at the pictures counted, and why it could not look when it could not.
    QList<idetSampleCounts> fieldsCounts_;
    QString fieldsWhy_;
    /// Which look is the current one: a verdict of an earlier one is dropped.
    uint64_t fieldsRun_ = 0;
    int32_t stopInt_ = 0;
    /// The sources still waiting, the one under analysis ("cancel" after a stop), the step
    /// due, and the source's record and thumbnail path once it is accepted.
    QStringList waiting_;
    QString current_;
    analysisStep due_ = analysisStep::none;
    std::optional<QVariantMap> record_;
    QString img_;
    int32_t total_ = 0;
    int32_t done_ = 0;
    bool analysing_ = false;
    QMap<QString, QString> refused_;

    /// The thumbnail started during the probe of the source being analysed, until its row
    /// takes it (or the source is refused and it is cancelled).
    std::optional<thumbnailJob> thumbnail_;
    bool thumbnailTried_ = false;
    qsizetype reportScanned_ = 0;
    thumbnailQueue thumbnails_{
        [this](const QString &src, const QString &img, const QString &failure) {
            thumbnailEnded(src, img, failure);
        }};
};
