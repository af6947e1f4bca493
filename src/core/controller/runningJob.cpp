#include "controller/runningJob.h"

#include "controller/jobRecord.h"
#include "settings/prefs.h"

namespace {

void insertText(QVariantMap &journal, const QString &key, const QString &value) {
    if (!value.isEmpty()) {
        journal.insert(key, value);
    }
}

} // namespace

QVariantMap runningJobJournal(const runningJob &job) {
    const batchRow &row = job.row;
    QVariantMap journal = row.mediaInfo;
    journal.insert(jobKey::srcPath, row.source);
    if (!row.pieces.isEmpty()) {
        journal.insert(jobKey::joinPaths, row.pieces);
        journal.insert(jobKey::joinRanges, row.pieceRanges);
    }
    insertText(journal, jobKey::imgPath, row.thumbnailPath);
    insertText(journal, jobKey::scanNote, row.scanNote);
    insertText(journal, jobKey::joinNote, row.joinNote);
    journal.insert(jobKey::surround, row.surround ? 1 : 0);
    insertText(journal, jobKey::dstPath, job.working);
    insertText(journal, jobKey::finalPath, job.finalPath);
    insertText(journal, jobKey::postProcessPurge, job.trimReference);
    insertText(journal, jobKey::workPath, job.retimeFile);
    insertText(journal, jobKey::soundPath, job.soundFile);
    insertText(journal, jobKey::purgePath1, job.masterFile);
    insertText(journal, jobKey::incompletePath, job.incompletePath);
    insertText(journal, jobKey::recordingDateUtc, job.recordingDateUtc);
    insertText(journal, jobKey::recordingDateIso, job.recordingDateIso);
    if (job.recordingDateSeconds) {
        journal.insert(jobKey::recordingDateSeconds,
                       static_cast<qlonglong>(*job.recordingDateSeconds));
    }
    insertText(journal, jobKey::nameNote, job.nameNote);
    insertText(journal, jobKey::replaceFile, job.replaceFileId);
    if (job.videoFromSource) {
        journal.insert(jobKey::videoFromSource, 1);
    }
    if (job.retimeOpened) {
        journal.insert(jobKey::retimeOpened, 1);
    }
    if (job.kind) {
        journal.insert(jobKey::outcome, static_cast<int>(*job.kind));
    }
    if (job.failure != jobFailure::none) {
        journal.insert(jobKey::failure, static_cast<int>(job.failure));
    }
    insertText(journal, jobKey::skipReason, job.reason);
    insertText(journal, jobKey::toolError, job.toolError);
    insertText(journal, jobKey::toolReadError, job.toolReadError);
    insertText(journal, jobKey::toolReadTool, job.toolReadTool);
    insertText(journal, jobKey::verifyWords, job.verifyWords);
    insertText(journal, jobKey::verifyLog, job.verifyLog);
    if (job.due.convert) {
        journal.insert(jobKey::stepDeb, 1);
    }
    if (job.due.work) {
        journal.insert(jobKey::stepQtEnc, 1);
    }
    return journal;
}

void writeRunningJobJournal(const runningJob *job) {
    if (job == nullptr) {
        prefDelete(jobKey::journal);
        prefDelete(QStringLiteral("encFin"));
        return;
    }
    prefWriteDico(jobKey::journal, runningJobJournal(*job));
    if (job->due.finish) {
        prefWrite(QStringLiteral("encFin"), 1);
    } else {
        prefDelete(QStringLiteral("encFin"));
    }
}

bool syncRunningJobJournal(const runningJob &job) {
    writeRunningJobJournal(&job);
    return prefSynchronize();
}

jobOutcomeValue runningJobOutcome(const runningJob &job, bool converted) {
    jobOutcomeValue outcome;
    outcome.rowId = job.rowId;
    outcome.src = job.source();
    outcome.nameNote = job.nameNote;
    outcome.joinNote = job.row.joinNote;
    if (converted) {
        outcome.kind = jobOutcomeKind::converted;
        outcome.output = job.finalPath.isEmpty() ? job.working : job.finalPath;
        outcome.verdict = job.verifyWords;
        outcome.verdictLog = job.verifyLog;
        return outcome;
    }
    outcome.kind = job.kind.value_or(jobOutcomeKind::failed);
    outcome.failure = job.failure;
    if (outcome.kind == jobOutcomeKind::kept) {
        outcome.output = job.finalPath;
    }
    outcome.logWords = job.reason;
    outcome.toolWords = job.toolError;
    outcome.words = jobOutcomeWords(outcome.kind, outcome.failure);
    outcome.incompleteOutput = job.incompletePath;
    // A failed verification says what differs, in the user's language too.
    if (outcome.kind == jobOutcomeKind::failed && !job.verifyWords.isEmpty()) {
        outcome.words = job.verifyWords;
    }
    return outcome;
}
