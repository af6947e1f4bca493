// The conversion steps' decisions, taken from plain values: the first step's output name, summary
// block and space check (encDebPlan), the trimming, re-timing and export of the converted movie
// (encQtEncPlan), and what the end step does with the working output (encFinPlan). The steps in
// appControllerEnc.cpp read what a plan needs (the running job, the file system, the choices,
// the clock), call it, then do what it says.
#pragma once

#include "controller/exportPreset.h"
#include "controller/outcomes.h"
#include "controller/runningJob.h"
#include "dates/recordingDate.h"
#include "movie/qtUtils.h"
#include "verify/outputVerdict.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <optional>

/// What is at a job's final name when the first step looks, and what is done about it.
enum class encExistingOutput {
    unknown, ///< not looked at yet: the plan names the output and asks for a look
    absent,  ///< nothing there
    replace, ///< a file, which the new output replaces once it is complete
    keep,    ///< a file, kept: the job converts nothing
};

/// What the first conversion step does with a job.
enum class encDebAction {
    refusePulldown,  ///< 2:3 pulldown in a rewrap, which can't remove it: the job is skipped
    lookAtFinalName, ///< the final name is known: look what is there, then plan again
    keepExisting,    ///< the existing output is kept: the job is skipped
    notEnoughSpace,  ///< the output's estimate exceeds the free space: the job is skipped
    convert,         ///< a working file is reserved and ffmpeg runs
};

/// What the first step reads before it decides.
struct encDebFacts {
    batchRow row;                      ///< the running job's row: source, notes, facts
    int32_t outInt = outRewrap;        ///< the row's output format
    QString folder;                    ///< the destination folder as chosen
    std::optional<recordingDate> date; ///< the source's recording date and date name
    QString formatLabel;               ///< the format's words for the summary block
    QSet<QString> takenNames;          ///< final names given to other sources of the batch
    std::optional<QList<QtTrackEdits>> sourceEdits; ///< when encReadsSourceEdits: its edits
    encExistingOutput atFinalName = encExistingOutput::unknown;
    double sourceMB = 0;     ///< the source's size, every piece of a joined recording counted
    int32_t freeMB = -1;     ///< the destination's free space; negative when unknown
    qsizetype nameMax = 255; ///< the longest file name the destination takes, in bytes
};

/// The first step's plan.
struct encDebPlanValue {
    encDebAction action = encDebAction::convert;
    QString skipReason; ///< why the job is skipped; empty when it converts or looks first
    QString destFolder; ///< the destination folder, ending in '/'
    QString wantedPath; ///< "<folder>/fluxaro events/<date name, else source name>.mov"
    QString finalPath;  ///< the output's final name: wantedPath, or its " 2"... form
    QString nameNote;   ///< why finalPath is not wantedPath; empty when it is
    QString dateLine;   ///< the recording date's log and summary line; empty without a moment
    /// The recording date the output carries: movie header form, with its zone, UTC seconds.
    QString recordingDateUtc;
    QString recordingDateIso;
    std::optional<qint64> recordingDateSeconds;
    float neededMB = 0; ///< the output's estimated size
    QString summary;    ///< the job's block in Resume.log
    QtPictureRoute pictureRoute = QtPictureRoute::FfmpegCopy;
};

/// True when the picture's route depends on the source's edits, which the step then reads
/// (qtTrackEditsOf): a QuickTime source that is not a joined recording.
bool encReadsSourceEdits(const batchRow &row);

/// The first step's decision. In order: a rewrap of 2:3 pulldown is refused; the output is named
/// (a name the batch already gave gets " 2", " 3"...); while atFinalName is unknown the plan asks
/// for a look; a kept output skips the job; an estimate above known free space skips it; else
/// the job converts.
encDebPlanValue encDebPlan(const encDebFacts &facts);

/// What the trimming and export step does with ffmpeg's movie.
enum class encQtEncAction {
    noMovie, ///< ffmpeg wrote nothing: the job ends with the reason
    work,    ///< trim, re-time when wanted, then export as exportKind says
};

/// How the worked movie becomes the output.
enum class encQtEncExport {
    none,          ///< the rewrap is the output as it is
    selfContained, ///< trakmill copies a reference movie (the source's picture) into one file
    trakmill,      ///< trakmill exports with a stored setting (formats 1 and 2)
};

/// The trimming and export step's plan.
struct encQtEncPlanValue {
    encQtEncAction action = encQtEncAction::work;
    QString skipReason;         ///< noMovie: "ffmpeg made no movie", with the tool's words
    bool sourcePicture = false; ///< the source's own picture is put beside ffmpeg's sound first
    /// The worked movie refers to other files' samples until trakmill writes the output: the
    /// trim's cut stays a reference movie (mode 0), else it is flattened (mode -1).
    bool referenceWork = false;
    int32_t trimMode = -1;
    bool fieldsProgressive = false; ///< a rewrap of PsF: the field information says progressive
    exportPreset preset;            ///< the rates and the slow-motion re-timing
    encQtEncExport exportKind = encQtEncExport::none;
    QString exportSettings;           ///< trakmill's setting, the re-timing done (or none wanted)
    QString exportSettingsNotRetimed; ///< the setting when the movie to re-time can't be opened
};

/// The trimming and export step's decision for the job (its media facts, its route and the
/// tool's words), the row's format and rate mode, the size of ffmpeg's movie (negative when
/// there is no file) and the chosen ProRes item's title. Composes exportPresetFor,
/// exportDeliveredRate and exportSettingsName.
encQtEncPlanValue encQtEncPlan(const runningJob &job, int32_t outInt, int32_t fpsMode,
                               int64_t workingBytes, const QString &proresTitle);

/// What the end step does next.
enum class encFinAction {
    stopBatch,    ///< a stop was asked: the batch ends here, the job's row stays as it is
    checkPicture, ///< the output is large enough: its picture is decoded, then it is judged
    judgeFailed,  ///< the output is no output (why): it is judged a failure now
    close,        ///< the job already failed (its row says so): it closes
};

/// What the end step reads before it decides.
struct encFinFacts {
    runningJob job;           ///< the running job
    bool stopping = false;    ///< a stop was asked
    bool rowCurrent = false;  ///< the job's row is still marked as the current job
    int64_t outputBytes = -1; ///< the working output's size; negative when it is no file
    double outputKB = 0;      ///< its size in KB as poidsFile reads it (negative: unreadable)
};

/// The end step's plan.
struct encFinPlanValue {
    encFinAction action = encFinAction::close;
    /// Intermediate files (offset, re-timing and sound files): each one that exists is deleted
    /// with its ".mov" companion.
    QStringList purgePaths;
    QString masterPath; ///< the export's "_MASTER" beside the working output; empty when none
    QString why;        ///< judgeFailed: why the output is no output
    jobFailure failure = jobFailure::none; ///< judgeFailed: the reason's code
    double sizeKB = 0;                     ///< the output's size as it is judged
};

/// The smallest output, in KB, that counts as a conversion.
inline constexpr double kEncMinimumOutputKB = 200;

/// The end step's decision. A stop wins; a job whose row is no longer current failed earlier and
/// closes; otherwise an output of at least kEncMinimumOutputKB whose size can be read has its
/// picture checked, and anything less is judged a failure with its reason.
encFinPlanValue encFinPlan(const encFinFacts &facts);

/// The reason a judged failure records: nothing when the job has one already (ffmpeg made
/// nothing, no space... says more), else why with the failing tool's words when it left some.
std::optional<QString> encFinFailureReason(const runningJob &job, const QString &why);

/// The end of a converted job's block in Resume.log: the speed against real time (at least one
/// second elapsed), the moment it ended ("yyyy-MM-dd HH:mm:ss") and where it was made.
QString encFinSummary(int64_t durationSeconds, int64_t elapsedSeconds, const QString &endedText);

/// What the verification expects of a job's plan: for an export, the delivered rate (keeping
/// the source's 1000/1001 clock, `sourceRate`); for slow motion whose movie was re-timed
/// (`retimeOpened`), each picture stretched by the divider; the recording date the job gives.
verifyPlan encVerifyPlan(const mediaFacts &facts, std::optional<qint64> recordingDateSeconds,
                         int32_t outInt, int32_t fpsMode, bool retimeOpened,
                         const toolbox::Rational &sourceRate);

/// The job's failure for a verdict that does not hold: the tool's read error first (the cause),
/// then a movie shorter than its source, then anything else that differs.
jobFailure encVerifyFailure(const verifyVerdict &verdict);

/// The name an output that failed its verification is kept under, beside its final name:
/// "<name> (incomplete).mov", then "(incomplete 2)"... for the first that `taken` says is free.
QString encIncompletePath(const QString &finalPath,
                          const std::function<bool(const QString &path)> &taken);
