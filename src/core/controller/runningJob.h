// The job being converted, as the step machine holds it: the row it converts (by identity, and
// a copy of the row as the job began), the steps still due, the files it made and the notes its
// steps took, and how it ended. The machine keeps it in memory and writes it to the preferences
// store after every change as the journal a killed run leaves ("processEncDico" with its step
// markers), which the next start reads to delete the job's working files; the machine itself
// never reads the journal back.
#pragma once

#include "controller/batchList.h"
#include "controller/outcomes.h"

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <optional>

/// The steps of a job, in the order they run.
enum class jobStep {
    none,    ///< nothing is due: the machine waits for the running tool, or is idle
    convert, ///< "encDeb": naming, the space check, ffmpeg
    work,    ///< "encQtEnc": trim, re-time, the export by trakmill
    finish,  ///< "encFin": the verification, the output's final name, the summary
};

/// Which steps are due. The end step is due from the first step on, so whatever happens next
/// the job ends through it; a skipped job has only the end step left.
struct jobSteps {
    bool convert = false;
    bool work = false;
    bool finish = false;
    /// The first step due.
    [[nodiscard]] jobStep next() const {
        return convert  ? jobStep::convert
               : work   ? jobStep::work
               : finish ? jobStep::finish
                        : jobStep::none;
    }
    [[nodiscard]] bool any() const { return convert || work || finish; }
};

struct runningJob {
    /// The row as the job began: its identity in the batch list, source, pieces, facts, format
    /// and mode.
    batchRow row;
    jobSteps due;

    // Files, each named here before it holds anything.
    QString working;        ///< the working output ffmpeg and then trakmill write
    QString finalPath;      ///< the dated final name the output gets once it is judged
    QString trimReference;  ///< the set-aside "offset" file of a trim kept as a reference
    QString retimeFile;     ///< the re-timing's output beside the working movie
    QString soundFile;      ///< ffmpeg's sound set aside when the picture is the source's own
    QString masterFile;     ///< the export's "_MASTER" (the movie trakmill reads)
    QString incompletePath; ///< where an output that failed its verification is kept

    // Notes of the steps.
    QString recordingDateUtc;                   ///< the recording date in the movie header's form
    QString recordingDateIso;                   ///< with its zone
    std::optional<qint64> recordingDateSeconds; ///< UTC seconds since 1970
    QString nameNote;                           ///< why the output got a name of its own (" 2")
    QString replaceFileId;        ///< the file at the final name the person chose to replace
    bool videoFromSource = false; ///< the picture is the source's own track (its edits kept)
    bool retimeOpened = false;    ///< the slow motion's re-timing had its movie

    // How it ends.
    std::optional<jobOutcomeKind> kind; ///< kept or skipped; failed when a failure is noted
    jobFailure failure = jobFailure::none;
    QString reason;        ///< why it did not convert, as Resume.log and the terminal say it
    QString toolError;     ///< the failing tool's own last lines
    QString toolReadError; ///< the first line of a tool's report that says it could not read
    QString toolReadTool;  ///< that tool's file name
    QString verifyWords;   ///< what the verification proved or found, in the user's language
    QString verifyLog;     ///< the same, untranslated

    [[nodiscard]] uint64_t rowId() const { return row.id; }
    [[nodiscard]] const QString &source() const { return row.source; }
    [[nodiscard]] const mediaFacts &facts() const { return row.facts; }
};

/// The journal of the job: the row's media info dictionary with the job record's keys
/// (jobRecord.h) and the markers of the steps due, as the preferences store keeps it.
QVariantMap runningJobJournal(const runningJob &job);

/// Writes the journal under "processEncDico", and "encFin" beside it while the end step is due;
/// removes both when no job runs (`job` null).
void writeRunningJobJournal(const runningJob *job);
/// Writes the journal and puts the store on disk; false when it could not be written there.
bool syncRunningJobJournal(const runningJob &job);

/// The job's outcome: converted when `converted`, else the kind noted (failed when none) and
/// its reason, with the words in the user's language.
jobOutcomeValue runningJobOutcome(const runningJob &job, bool converted);
