// How a job, a source's analysis and a batch ended, as values every front reads the same way.
//
// The controller decides the kind and the reason code; the words come with them: `words` in the
// user's language for the window and the notifications, `logWords` untranslated as Resume.log
// and the terminal say them. A front chooses by the codes, never by the words.
#pragma once

#include "controller/batchList.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <cstdint>

/// How a job ended.
enum class jobOutcomeKind {
    converted, ///< the output is complete under its final name
    failed,    ///< no output, for the reason in `jobFailure`
    kept,      ///< an output of that name existed and was kept (the user's answer): no failure
    skipped,   ///< not converted for a reason outside the job (its source is gone)
    stopped,   ///< the batch was stopped while the job ran
    notDone,   ///< the batch was stopped before the job's turn
};

/// Why a job did not convert: one value per reason the controller has.
enum class jobFailure {
    none,
    sourceGone,             ///< the source (or a piece of it) is no longer there
    pulldownRewrap,         ///< 2:3 pulldown can't be removed by a rewrap
    notEnoughSpace,         ///< the destination disk is too full for the movie
    cannotWriteDestination, ///< no file can be created in the destination folder
    noCommand,              ///< no conversion command could be made for the source
    toolCannotStart,        ///< ffmpeg or trakmill could not be started
    toolStalled,            ///< the tool's progress stood still too long: it was stopped
    noMovie,                ///< ffmpeg made no movie (its words in `toolWords`)
    sourcePictureNotTaken,  ///< the source's own picture track could not be taken with its edits
    cannotSetAside,         ///< the converted movie could not be renamed for the export
    outputMissing,          ///< the last tool left no output
    outputSizeUnknown,      ///< the output's size can't be read
    outputTooSmall,         ///< the output is too small to be a movie
    outputUnreadable,       ///< the output is not a movie that can be decoded
    cannotMoveOutput,       ///< the output could not be given its final name
    journalNotWritten,      ///< the job's record could not be written: it did not start
    sourceReadError,        ///< the tool could not read the source whole (its line says why)
    outputIncomplete,       ///< the movie holds less than the source: kept as incomplete
    outputDiffers,          ///< its rate, sound, display or date is not what was planned
    stopped,                ///< the user (or a signal) stopped the batch
};

/// A job's end, told once per job (and once per row a stopped batch never reached).
struct jobOutcomeValue {
    uint64_t rowId = 0; ///< the row of the batch list (batchList::idAt) the job converted
    jobOutcomeKind kind = jobOutcomeKind::failed;
    jobFailure failure = jobFailure::none;
    QString src;       ///< the source (a joined recording's first piece)
    QString output;    ///< the final output (converted) or the existing one (kept)
    QString words;     ///< why it did not convert, in the user's language (empty when converted)
    QString logWords;  ///< the same reason as Resume.log and the terminal say it (untranslated)
    QString toolWords; ///< the failing tool's own last lines, untranslated (may be empty)
    QString nameNote;  ///< why the output got a name of its own (" 2"), empty otherwise
    QString joinNote;  ///< how the pieces of a spanned recording were joined, empty otherwise
    /// Converted: what its verification proved ("verified: 300 pictures at 50/1, 6.000 s,
    /// sound +0.0 ms"), in the user's language and untranslated; empty when not verified.
    QString verdict;
    QString verdictLog;
    /// Failed verification: where the movie is kept, named as incomplete; empty otherwise.
    QString incompleteOutput;
};

/// Why a source got no row.
enum class sourceRefusal {
    none,
    notRegularFile,      ///< a folder, a device, a FIFO named like a movie
    nameNotUtf8,         ///< its name can't be given back to the file system once read
    notAcceptedType,     ///< not one of the accepted extensions
    duplicate,           ///< already a row (or a piece of a joined row)
    toolCannotStart,     ///< ffmpeg could not be started to probe it
    missing,             ///< the file is not there
    unreadable,          ///< ffmpeg can't read it
    noMovieStreams,      ///< ffmpeg finds no stream in it
    noVideoStream,       ///< sound alone, or no picture named
    interlaced,          ///< its pictures are interlaced
    interlacedUndecided, ///< flagged interlaced and its pictures can't be told progressive
    analysisStopped,     ///< the analysis was stopped before its verdict
    folderUnreadable,    ///< a dropped folder (or one below it) could not be listed
};

/// A source's analysis ended: a row was appended (accepted) or not, and why not.
struct analysisVerdictValue {
    QString src;
    bool accepted = false;
    sourceRefusal refusal = sourceRefusal::none;
    QString words;    ///< why it was refused, in the user's language (empty when accepted)
    QString logWords; ///< the same reason as the logs and the terminal say it (untranslated)
    QString note;     ///< accepted: what the conversion does beyond the usual ("progressive in
                      ///< an interlaced stream", "sound: track 1 of 2 kept"); refused: the
                      ///< system's words behind the reason, when it gave some; untranslated
};

/// A batch's end: its jobs counted by kind, and those not converted with their reasons.
struct batchSummaryValue {
    int32_t converted = 0;
    int32_t failed = 0;
    int32_t kept = 0;
    int32_t skipped = 0;
    int32_t stoppedJobs = 0;             ///< the job the stop ended (0 or 1)
    int32_t notDone = 0;                 ///< rows the stop left waiting
    bool stopped = false;                ///< the batch was stopped, not finished
    QList<jobOutcomeValue> notConverted; ///< every job that did not convert, in batch order
};

/// The summary of a batch's outcomes (in the order they were told).
batchSummaryValue batchSummaryOf(const QList<jobOutcomeValue> &outcomes, bool stopped);

/// A failure's words in the user's language ("the disk is full").
QString jobFailureWords(jobFailure failure);
/// An outcome's words in the user's language: the failure's words, or those of kept, stopped,
/// not done; empty for a converted job.
QString jobOutcomeWords(jobOutcomeKind kind, jobFailure failure);
/// A refusal's words in the user's language ("it is interlaced").
QString sourceRefusalWords(sourceRefusal refusal);
/// The summary in the user's language, e.g. "4 converted, 1 failed: 00003.MTS: the disk is
/// full" (each count that is not zero, and batchSummaryWithReasons).
QString batchSummaryWords(const batchSummaryValue &summary, int32_t named = 3);
/// `counts` followed by the reasons of the jobs that failed, were kept or skipped (at most
/// `named` of them; the stopped one and those not done are left to the counts).
QString batchSummaryWithReasons(const QString &counts, const batchSummaryValue &summary,
                                int32_t named = 3);

/// An ended job's outcome, its words in the user's language from the kind and the failure.
jobOutcomeValue jobOutcomeOf(uint64_t rowId, const QString &src, jobOutcomeKind kind,
                             jobFailure failure, const QString &logWords);

/// A job's last line in its Resume.log block (no line end, as the block's own last line), e.g.
/// "outcome             : failed (not enough space)".
QString jobOutcomeLogLine(const jobOutcomeValue &outcome);

/// The outcomes of one batch: each row's told once (a stop and the end step may both see a
/// job end), the rows whose jobs it began, and whether its summary was given.
class batchOutcomeBook {
public:
    /// A new batch: nothing told, nothing begun.
    void clear();
    /// The batch began the job of the row `rowId`.
    void begin(uint64_t rowId) { begun_.insert(rowId); }
    /// Keeps the outcome; false when its row's outcome was told already in this batch.
    bool add(const jobOutcomeValue &outcome);
    /// The outcomes of the rows (the list's, in order) a stop left: stopped for a job the batch
    /// began and that neither converted nor was told, not done for a row still waiting.
    QList<jobOutcomeValue> leftByStop(const QList<batchRow> &rows) const;
    bool summaryGiven() const { return summaryGiven_; }
    /// The summary of what was told; the summary counts as given from here on.
    batchSummaryValue summary(bool stopped);

private:
    /// True when the outcome of the row was told in this batch.
    bool isTold(uint64_t rowId) const;

    QList<jobOutcomeValue> told_;
    QSet<uint64_t> begun_;
    bool summaryGiven_ = false;
};
