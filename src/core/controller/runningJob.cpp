#include "controller/runningJob.h"

#include "controller/jobRecord.h"
#include "settings/prefs.h"

#include <utility>

QVariantMap runningJobJournal(const runningJob &job) {
    const batchRow &row = job.row;
    QVariantMap journal = row.mediaInfo;
    journal.insert(jobKey::srcPath, row.source);
    journal.insert(jobKey::surround, row.surround ? 1 : 0);
    if (!row.pieces.isEmpty()) {
        journal.insert(jobKey::joinPaths, row.pieces);
        journal.insert(jobKey::joinRanges, row.pieceRanges);
    }
    // Texts and marks go in only when they say something, as the steps used to add them.
    const std::pair<const QString &, const QString &> texts[] = {
        {jobKey::imgPath, row.thumbnailPath},
        {jobKey::scanNote, row.scanNote},
        {jobKey::joinNote, row.joinNote},
        {jobKey::dstPath, job.working},
        {jobKey::finalPath, job.finalPath},
        {jobKey::postProcessPurge, job.trimReference},
        {jobKey::workPath, job.retimeFile},
        {jobKey::soundPath, job.soundFile},
        {jobKey::purgePath1, job.masterFile},
        {jobKey::incompletePath, job.incompletePath},
        {jobKey::recordingDateUtc, job.recordingDateUtc},
        {jobKey::recordingDateIso, job.recordingDateIso},
        {jobKey::nameNote, job.nameNote},
        {jobKey::replaceFile, job.replaceFileId},
        {jobKey::skipReason, job.reason},
        {jobKey::toolError, job.toolError},
        {jobKey::toolReadError, job.toolReadError},
        {jobKey::toolReadTool, job.toolReadTool},
        {jobKey::verifyWords, job.verifyWords},
        {jobKey::verifyLog, job.verifyLog},
    };
    for (const auto &[key, text] : texts) {
        if (!text.isEmpty()) {
            journal.insert(key, text);
        }
    }
    const std::pair<const QString &, bool> marks[] = {
        {jobKey::videoFromSource, job.videoFromSource},
        {jobKey::retimeOpened, job.retimeOpened},
        {jobKey::stepDeb, job.due.convert},
        {jobKey::stepQtEnc, job.due.work},
    };
    for (const auto &[key, set] : marks) {
        if (set) {
            journal.insert(key, 1);
        }
    }
    if (job.recordingDateSeconds) {
        journal.insert(jobKey::recordingDateSeconds,
                       static_cast<qlonglong>(*job.recordingDateSeconds));
    }
    if (job.kind) {
        journal.insert(jobKey::outcome, static_cast<int>(*job.kind));
    }
    if (job.failure != jobFailure::none) {
        journal.insert(jobKey::failure, static_cast<int>(job.failure));
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
    outcome.rowId = job.rowId();
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
