// The keys of the running job's journal, named once.
//
// The journal is the source's media information dictionary (the analysis's keys) plus the keys
// of `jobKey`, written from the running job (runningJob.h) under "processEncDico" in the
// preferences store, so the next start can find and remove what a killed run left behind.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace jobKey {
inline const QString srcPath = QStringLiteral("srcPathStr");       ///< the source (first piece)
inline const QString dstPath = QStringLiteral("dstPathStr");       ///< the working output
inline const QString finalPath = QStringLiteral("finalPathStr");   ///< the dated final name
inline const QString workPath = QStringLiteral("workPathStr");     ///< trim or re-timing output
inline const QString soundPath = QStringLiteral("soundPathStr");   ///< sound converted apart
inline const QString purgePath1 = QStringLiteral("purgePathStr1"); ///< the export's master
inline const QString postProcessPurge = QStringLiteral("postProcessPurge");
inline const QString joinPaths = QStringLiteral("joinPathsArray"); ///< a joined recording's pieces
inline const QString joinRanges = QStringLiteral("joinRangesArray"); ///< their byte ranges
inline const QString imgPath = QStringLiteral("imgPathStr");         ///< the thumbnail's path
inline const QString scanNote = QStringLiteral("scanNoteStr");       ///< how the scan was judged
inline const QString joinNote = QStringLiteral("joinNoteStr");       ///< joined, or why kept apart
inline const QString surround = QStringLiteral("prefSurrond");       ///< 1: multichannel sound kept
inline const QString nameNote = QStringLiteral("nameNoteStr");       ///< a name set apart (" 2")
inline const QString toolError = QStringLiteral("toolErrorStr");     ///< the failing tool's words
inline const QString skipReason = QStringLiteral("skipReason");      ///< why the job was skipped
inline const QString outcome = QStringLiteral("outcomeKind");        ///< a `jobOutcomeKind` number
inline const QString failure = QStringLiteral("failureCode");        ///< a `jobFailure` number
inline const QString videoFromSource = QStringLiteral("videoFromSource");
/// The identity (encFileIdentity) of the file at the final name the person chose to replace.
inline const QString replaceFile = QStringLiteral("replaceFileId");
/// 1: the slow motion's re-timing had its movie (the delivered rate depends on it).
inline const QString retimeOpened = QStringLiteral("retimeOpened");
/// The first line of a tool's report that says it could not read its source, and that tool.
inline const QString toolReadError = QStringLiteral("toolReadErrorStr");
inline const QString toolReadTool = QStringLiteral("toolReadToolStr");
/// The verification's words: what was proved (converted) or what differs (failed), in the
/// user's language, and untranslated.
inline const QString verifyWords = QStringLiteral("verifyWordsStr");
inline const QString verifyLog = QStringLiteral("verifyLogStr");
/// Where an output that failed its verification is kept, named as incomplete.
inline const QString incompletePath = QStringLiteral("incompletePathStr");
inline const QString recordingDateUtc = QStringLiteral("recordingDateUTC"); ///< movie header form
inline const QString recordingDateIso = QStringLiteral("recordingDateISO"); ///< with its zone
inline const QString recordingDateSeconds = QStringLiteral("recordingDateSeconds"); ///< UTC
inline const QString stepDeb = QStringLiteral("encDeb");     ///< 1: the first step (ffmpeg) is due
inline const QString stepQtEnc = QStringLiteral("encQtEnc"); ///< 1: the trim and export are due
/// The preferences store's key of the running job's journal.
inline const QString journal = QStringLiteral("processEncDico");
} // namespace jobKey
