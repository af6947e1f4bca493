// The conversion steps' work on a job's files, as the plans of encPlans decide it: the look at
// an output already under the final name, the source's own picture put beside ffmpeg's sound,
// the trim to the first picture and the re-timing for slow motion. Each intermediate file is
// named in the running job, and its journal written to disk, before it holds anything, so the
// end step, a stop or the next start after a kill finds it and deletes it.
#pragma once

#include "toolbox/movieFacts.h"

#include <optional>

#include "controller/batchChoices.h"
#include "controller/runningJob.h"
#include <QString>

enum class encExistingOutput; // controller/encPlans.h
struct encQtEncPlanValue;     // controller/encPlans.h
struct exportPreset;          // controller/exportPreset.h

/// The size in MB of what a job reads, every piece of a joined recording counted.
double jobSourceMB(const batchRow &row);

/// What is at the output's final name, and whether it is replaced: the batch's answer when it
/// has one, else the person's (which becomes the batch's when they say it applies to all).
encExistingOutput existingOutputChoice(const QString &finalPath, existingOutputAnswer &batchAnswer);

/// Puts the source's own picture beside the sound ffmpeg wrote at the job's working path:
/// ffmpeg's movie is set aside (named in the job, so the end step deletes it), and the working
/// movie becomes a reference movie of the source's video tracks and that sound. False when
/// either could not be done.
bool encPutSourcePicture(runningJob &job);

/// Trims the job's working movie to its first video frame, as the plan says: the cut is kept as
/// a reference movie into the set-aside "offset" file while the work refers to other files'
/// samples (the end step deletes that file), else flattened into the working movie.
void trimToFirstPicture(const encQtEncPlanValue &plan, runningJob &job);

/// Re-times the job's working movie for slow motion (the preset's scales), through a set-aside
/// "slow" file; a failed re-timing leaves the movie as it was. True when the movie to re-time
/// could be opened, which decides the delivered rate.
bool retimeForSlowMotion(const exportPreset &preset, runningJob &job);

/// The identity ("device:inode") of the regular file at path, not following a link; empty for
/// anything else. Recorded when the person chooses to replace the file at the final name
/// (runningJob::replaceFileId), so the end step replaces that file and nothing put there since.
QString encFileIdentity(const QString &path);

/// Where the judged output went.
struct encDelivery {
    QString error;     ///< why the output could not be moved (untranslated); empty on success
    QString finalPath; ///< the name it got: the job's final name, or its " 2"... form
};

/// Gives the judged output of the job its final name: the recording's time set on the working
/// file, then one rename that neither follows nor replaces what is at the name (renameat2 with
/// RENAME_NOREPLACE, or a link then an unlink where the file system has no such rename). A name
/// taken meanwhile (another run, another user, a link) gives the first free " 2", " 3"... name,
/// unless it is the very file the person chose to replace (runningJob::replaceFileId, still a
/// regular file of this user), which the rename then replaces in one step: the final name holds
/// either the old file or the complete new movie, never a part of one.
encDelivery encDeliverOutput(const runningJob &job);

/// The facts of the job's source as its index gives them (toolbox::readMovieFacts), read before
/// the conversion starts: a source cut short or failing while it converts is then measured
/// against what it was. A joined recording's pieces follow each other, each over its IN-to-OUT
/// span. Nothing (with the reason in `why`) when a piece can't be read.
std::optional<toolbox::MovieFacts> jobSourceFacts(const batchRow &row, QString *why);

/// Renames the job's working output to `incompletePath` (beside its final name), never over a
/// file; an error's words, or empty when it is there.
QString encKeepIncomplete(const runningJob &job, const QString &incompletePath);
