// The files of one conversion job besides its source: the working output that ffmpeg and then
// trakmill write, and the intermediates (offset, slow-motion and "_MASTER" files). The final
// name receives the output only once it is judged complete, so every file listed here may go
// when a job is stopped, killed or found unfinished at the next start.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

/// A new working output for a job whose movie goes into `eventsFolder`: a private folder of the
/// job's own, "<eventsFolder>/.fluxaro-<10 random letters and digits>", made with mode 0700 (a
/// name someone else made first, folder or link, is never used), and in it the empty working
/// file ".fluxaro-<the same 10>.mov", created exclusively without following a link. Every file
/// of the job (the "_MASTER" sibling, the intermediates of randomSibling, trakmill's output)
/// lives beside it, where no other user can put a link for ffmpeg or trakmill to write through,
/// even in a destination every user may write. The name stays within 20 characters, so the
/// "_MASTER" sibling made from it (`oldSrcPathStr2DstPathStr`) is as unique. `beforeMade`, when
/// given, is handed each name before its folder is made, to put it in the job's record on disk:
/// a kill from then on leaves a record that names the folder, which the next start sweeps.
/// Empty on failure (logged).
QString encReserveWorkingPath(const QString &eventsFolder,
                              const std::function<void(const QString &path)> &beforeMade = {});

/// The "_MASTER" sibling of a working output, as hidden as it is: ".fluxaro-<10>_MASTER.mov"
/// beside ".fluxaro-<10>.mov" (the file trakmill reads while it writes the working output).
QString encMasterPathOf(const QString &workingPath);

/// A free hidden name "<folder>/.fluxaro-<stem><random number>.mov" for an intermediate file of
/// the running job (the "offset", "slow" and "sound" files beside the working output): until
/// the sweep deletes them, no intermediate is shown as a movie among the outputs. Created empty and
/// exclusively so that no other run takes it before the job moves a movie there. When the file
/// can't be created and the name is free all the same (a folder that refuses it), the name is
/// given anyway: the move that follows then fails and the job goes on without the step.
QString randomSibling(const QString &folder, const QString &stem);

/// The longest file name, in bytes, the file system of the folder takes (pathconf's
/// _PC_NAME_MAX; of its nearest existing parent when it is not made yet); 255 when unknown.
qsizetype encNameMaxOf(const QString &folder);

/// The job's private folder (encReserveWorkingPath): the folder of its working output when that
/// is a ".fluxaro-<10>" folder directly in a "fluxaro events" folder; empty otherwise (a record
/// of a run that put its working files in the events folder itself).
QString encJobWorkFolder(const QVariantMap &job);

/// Deletes what is left of the job's private folder: the working files in it (the names
/// encIsWorkingFileOf knows), then the folder when that leaves it empty. Anything else in it
/// is kept, and so is the folder then. The files it deleted.
QStringList encRemoveWorkFolder(const QVariantMap &job);

/// The job's working output and intermediate files as recorded in a job record
/// ("processEncDico"): "dstPathStr" (the working output) and its "_MASTER" sibling (in the
/// hidden form and the form `oldSrcPathStr2DstPathStr` gave before),
/// "postProcessPurge", "purgePathStr1", "workPathStr" and "soundPathStr" with their ".mov"
/// companions. Never the final name ("finalPathStr").
QStringList encJobFilesToDelete(const QVariantMap &job);

/// Deletes the regular files among the paths, then each private job folder (".fluxaro-<10>" in a
/// "fluxaro events" folder) that held one of them and is left empty.
void encDeleteJobFiles(const QStringList &paths);

/// The events folder of a job record: the folder of its working output (the folder of its
/// private folder), else of its final name, when that folder is a "fluxaro events" folder;
/// empty otherwise.
QString encJobEventsFolder(const QVariantMap &job);
/// True when the path is one of the step machine's working files of the job: in the job's
/// private folder (or, for a record of an earlier run, directly in the job's events folder),
/// under a name the machine gives its files (".fluxaro-<10>.mov", its "_MASTER" sibling,
/// ".fluxaro-offset<n>.mov", ".fluxaro-slow<n>.mov", ".fluxaro-sound<n>.mov" and their ".mov"
/// reference movies, and the visible names earlier versions gave them).
bool encIsWorkingFileOf(const QString &path, const QVariantMap &job);

/// At start-up, under the single-instance lock (so the job's process is gone) and before the
/// sweep clears the working keys: a job record left by a run that was killed or crashed names
/// its partial output and working files; those that encIsWorkingFileOf proves to be working
/// files are deleted, anything else it names is kept (logged), and the job's private folder goes
/// when that leaves it empty. Returns the paths deleted.
QStringList encPurgeCrashedJob();
