#include "controller/outcomes.h"

#include "settings/localisation.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

batchSummaryValue batchSummaryOf(const QList<jobOutcomeValue> &outcomes, bool stopped) {
    batchSummaryValue summary;
    summary.stopped = stopped;
    for (const jobOutcomeValue &outcome : outcomes) {
        switch (outcome.kind) {
        case jobOutcomeKind::converted:
            ++summary.converted;
            continue;
        case jobOutcomeKind::failed:
            ++summary.failed;
            break;
        case jobOutcomeKind::kept:
            ++summary.kept;
            break;
        case jobOutcomeKind::skipped:
            ++summary.skipped;
            break;
        case jobOutcomeKind::stopped:
            ++summary.stoppedJobs;
            break;
        case jobOutcomeKind::notDone:
            ++summary.notDone;
            break;
        }
        summary.notConverted << outcome;
    }
    return summary;
}

namespace {

/// The translation key of each failure's words.
QString jobFailureKey(jobFailure failure) {
    switch (failure) {
    case jobFailure::none:
        return {};
    case jobFailure::sourceGone:
        return QStringLiteral("D_outcome_sourceGone");
    case jobFailure::pulldownRewrap:
        return QStringLiteral("D_outcome_pulldownRewrap");
    case jobFailure::notEnoughSpace:
        return QStringLiteral("D_outcome_notEnoughSpace");
    case jobFailure::cannotWriteDestination:
        return QStringLiteral("D_outcome_cannotWriteDestination");
    case jobFailure::noCommand:
        return QStringLiteral("D_outcome_noCommand");
    case jobFailure::toolCannotStart:
        return QStringLiteral("D_outcome_toolCannotStart");
    case jobFailure::toolStalled:
        return QStringLiteral("D_outcome_toolStalled");
    case jobFailure::noMovie:
        return QStringLiteral("D_outcome_noMovie");
    case jobFailure::sourcePictureNotTaken:
        return QStringLiteral("D_outcome_sourcePictureNotTaken");
    case jobFailure::cannotSetAside:
        return QStringLiteral("D_outcome_cannotSetAside");
    case jobFailure::outputMissing:
        return QStringLiteral("D_outcome_outputMissing");
    case jobFailure::outputSizeUnknown:
        return QStringLiteral("D_outcome_outputSizeUnknown");
    case jobFailure::outputTooSmall:
        return QStringLiteral("D_outcome_outputTooSmall");
    case jobFailure::outputUnreadable:
        return QStringLiteral("D_outcome_outputUnreadable");
    case jobFailure::cannotMoveOutput:
        return QStringLiteral("D_outcome_cannotMoveOutput");
    case jobFailure::journalNotWritten:
        return QStringLiteral("D_outcome_journalNotWritten");
    case jobFailure::sourceReadError:
        return QStringLiteral("D_outcome_sourceReadError");
    case jobFailure::outputIncomplete:
        return QStringLiteral("D_outcome_outputIncomplete");
    case jobFailure::outputDiffers:
        return QStringLiteral("D_outcome_outputDiffers");
    case jobFailure::stopped:
        return QStringLiteral("D_outcome_stopped");
    }
    return {};
}

/// The translation key of each refusal's words.
QString sourceRefusalKey(sourceRefusal refusal) {
    switch (refusal) {
    case sourceRefusal::none:
        return {};
    case sourceRefusal::notRegularFile:
        return QStringLiteral("D_refusal_notRegularFile");
    case sourceRefusal::nameNotUtf8:
        return QStringLiteral("D_refusal_nameNotUtf8");
    case sourceRefusal::notAcceptedType:
        return QStringLiteral("D_refusal_notAcceptedType");
    case sourceRefusal::duplicate:
        return QStringLiteral("D_refusal_duplicate");
    case sourceRefusal::toolCannotStart:
        return QStringLiteral("D_refusal_toolCannotStart");
    case sourceRefusal::missing:
        return QStringLiteral("D_refusal_missing");
    case sourceRefusal::unreadable:
        return QStringLiteral("D_refusal_unreadable");
    case sourceRefusal::noMovieStreams:
        return QStringLiteral("D_refusal_noMovieStreams");
    case sourceRefusal::noVideoStream:
        return QStringLiteral("D_refusal_noVideoStream");
    case sourceRefusal::interlaced:
        return QStringLiteral("D_refusal_interlaced");
    case sourceRefusal::interlacedUndecided:
        return QStringLiteral("D_refusal_interlacedUndecided");
    case sourceRefusal::analysisStopped:
        return QStringLiteral("D_refusal_analysisStopped");
    case sourceRefusal::folderUnreadable:
        return QStringLiteral("D_refusal_folderUnreadable");
    }
    return {};
}

} // namespace

QString jobFailureWords(jobFailure failure) {
    const QString key = jobFailureKey(failure);
    return key.isEmpty() ? QString() : localizedStr(key);
}

QString jobOutcomeWords(jobOutcomeKind kind, jobFailure failure) {
    switch (kind) {
    case jobOutcomeKind::converted:
        return {};
    case jobOutcomeKind::kept:
        return localizedStr(QStringLiteral("D_outcome_kept"));
    case jobOutcomeKind::stopped:
        return jobFailureWords(jobFailure::stopped);
    case jobOutcomeKind::notDone:
        return localizedStr(QStringLiteral("D_outcome_notDone"));
    case jobOutcomeKind::failed:
    case jobOutcomeKind::skipped:
        break;
    }
    return failure == jobFailure::none ? localizedStr(QStringLiteral("D_outcome_failed"))
                                       : jobFailureWords(failure);
}

jobOutcomeValue jobOutcomeOf(uint64_t rowId, const QString &src, jobOutcomeKind kind,
                             jobFailure failure, const QString &logWords) {
    jobOutcomeValue outcome;
    outcome.rowId = rowId;
    outcome.kind = kind;
    outcome.failure = failure;
    outcome.src = src;
    outcome.words = jobOutcomeWords(kind, failure);
    outcome.logWords = logWords;
    return outcome;
}

QString sourceRefusalWords(sourceRefusal refusal) {
    const QString key = sourceRefusalKey(refusal);
    return key.isEmpty() ? QString() : localizedStr(key);
}

QString batchSummaryWords(const batchSummaryValue &summary, int32_t named) {
    // "%1 converted", "%1 failed"...: each count that is not zero, converted always.
    QStringList counts{localizedStr(QStringLiteral("D_summary_converted")).arg(summary.converted)};
    const std::pair<int32_t, const char *> others[] = {
        {summary.failed, "D_summary_failed"},   {summary.kept, "D_summary_kept"},
        {summary.skipped, "D_summary_skipped"}, {summary.stoppedJobs, "D_summary_stopped"},
        {summary.notDone, "D_summary_notDone"},
    };
    for (const auto &[count, key] : others) {
        if (count > 0) {
            counts << localizedStr(QString::fromLatin1(key)).arg(count);
        }
    }
    return batchSummaryWithReasons(counts.join(QStringLiteral(", ")), summary, named);
}

QString batchSummaryWithReasons(const QString &counts, const batchSummaryValue &summary,
                                int32_t named) {
    // "%1: %2" in English, "%1 : %2" in French.
    const QString because = localizedStr(QStringLiteral("D_summary_because"));
    QStringList reasons;
    for (const jobOutcomeValue &outcome : summary.notConverted) {
        if (outcome.kind == jobOutcomeKind::notDone || outcome.kind == jobOutcomeKind::stopped) {
            continue; // counted, and said by the stop itself: naming them would bury the reasons
        }
        if (reasons.size() >= named) {
            reasons << QStringLiteral("…");
            break;
        }
        reasons << because.arg(QFileInfo(outcome.src).fileName(), outcome.words);
    }
    return reasons.isEmpty() ? counts : because.arg(counts, reasons.join(QStringLiteral("; ")));
}

QString jobOutcomeLogLine(const jobOutcomeValue &outcome) {
    QString kind;
    switch (outcome.kind) {
    case jobOutcomeKind::converted:
        kind = QStringLiteral("converted");
        break;
    case jobOutcomeKind::failed:
        kind = QStringLiteral("failed");
        break;
    case jobOutcomeKind::kept:
        kind = QStringLiteral("kept");
        break;
    case jobOutcomeKind::skipped:
        kind = QStringLiteral("skipped");
        break;
    case jobOutcomeKind::stopped:
        kind = QStringLiteral("stopped");
        break;
    case jobOutcomeKind::notDone:
        kind = QStringLiteral("not done");
        break;
    }
    const bool said = !outcome.logWords.isEmpty() && outcome.logWords != kind;
    return QStringLiteral("outcome             : %1%2")
        .arg(kind, said ? QStringLiteral(" (%1)").arg(outcome.logWords) : QString());
}

void batchOutcomeBook::clear() {
    told_.clear();
    begun_.clear();
    summaryGiven_ = false;
}

bool batchOutcomeBook::isTold(uint64_t rowId) const {
    return std::any_of(told_.cbegin(), told_.cend(),
                       [rowId](const jobOutcomeValue &told) { return told.rowId == rowId; });
}

bool batchOutcomeBook::add(const jobOutcomeValue &outcome) {
    if (isTold(outcome.rowId)) {
        return false;
    }
    told_ << outcome;
    return true;
}

QList<jobOutcomeValue> batchOutcomeBook::leftByStop(const QList<batchRow> &rows) const {
    QList<jobOutcomeValue> left;
    for (const batchRow &row : rows) {
        if (isTold(row.id)) {
            continue;
        }
        if (row.state == rowState::waiting) {
            left << jobOutcomeOf(row.id, row.source, jobOutcomeKind::notDone, jobFailure::none,
                                 QStringLiteral("not done"));
        } else if ((row.state == rowState::failed || row.state == rowState::converting) &&
                   begun_.contains(row.id)) {
            left << jobOutcomeOf(row.id, row.source, jobOutcomeKind::stopped, jobFailure::stopped,
                                 QStringLiteral("stopped"));
        }
    }
    return left;
}

batchSummaryValue batchOutcomeBook::summary(bool stopped) {
    summaryGiven_ = true;
    return batchSummaryOf(told_, stopped);
}
