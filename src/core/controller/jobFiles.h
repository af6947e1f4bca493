// The files of one conversion job besides its source: the working output that ffmpeg and then
// trakmill write, and the intermediates (offset, slow-motion and "_MASTER" files). The final
// name receives the output only once it is judged complete, so every file listed here may go
// when a job is stopped, killed or found unfinished at the next start.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

/// A new working output in the folder, "<folder>/.fluxaro-<10 random letters and digits>.mov",
/// created empty and exclusively so no other run (another process, another user) can take the
/// name. The random part comes first and the name stays within 20 characters, so the
/// "_MASTER" sibling made from it (`oldSrcPathStr2DstPathStr`) is as unique. Empty on failure.
QString encReserveWorkingPath(const QString &folder);

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

/// The job's working output and intermediate files as recorded in a job record
/// ("processEncDico"): "dstPathStr" (the working output) and its "_MASTER" sibling (in the
/// hidden form and the form `oldSrcPathStr2DstPathStr` gave before),
/// "postProcessPurge", "purgePathStr1", "workPathStr" and "soundPathStr" with their ".mov"
/// companions. Never the final name ("finalPathStr").
QStringList encJobFilesToDelete(const QVariantMap &job);

/// Deletes the regular files among the paths.
void encDeleteJobFiles(const QStringList &paths);

/// The events folder of a job record: the folder of its working output (else of its final
/// name) when that folder is a "fluxaro events" folder; empty otherwise.
QString encJobEventsFolder(const QVariantMap &job);
/// True when the path is one of the step machine's working files of the job: directly in the
/// job's events folder, under a name the machine gives its files (".fluxaro-<10>.mov", its
/// "_MASTER" sibling, ".fluxaro-offset<n>.mov", ".fluxaro-slow<n>.mov", ".fluxaro-sound<n>.mov"
/// and their ".mov" reference movies, and the visible names earlier versions gave them).
bool encIsWorkingFileOf(const QString &path, const QVariantMap &job);

/// At start-up, under the single-instance lock (so the job's process is gone) and before the
/// sweep clears the working keys: a job record left by a run that was killed or crashed names
/// its partial output and working files; those that encIsWorkingFileOf proves to be working
/// files are deleted, anything else it names is kept (logged). Returns the paths deleted.
QStringList encPurgeCrashedJob();
