#include "headlessReport.h"

#include <algorithm>
#include <utility>

headlessReport::headlessReport(std::function<void(const QString &)> print)
    : print_(std::move(print)) {}

void headlessReport::verdict(const analysisVerdictValue &verdict) {
    if (verdict.accepted) {
        print_(verdict.note.isEmpty()
                   ? QStringLiteral("accepted: %1").arg(verdict.src)
                   : QStringLiteral("accepted: %1 (%2)").arg(verdict.src, verdict.note));
        return;
    }
    ++refused_;
    print_(QStringLiteral("refused:  %1 (%2)").arg(verdict.src, verdict.logWords));
}

void headlessReport::spanned(const QString &src, const QStringList &joined, const QString &note) {
    joinedPieces_ += std::max<int32_t>(0, static_cast<int32_t>(joined.size()) - 1);
    print_(QStringLiteral("%1 %2 (%3)")
               .arg(joined.isEmpty() ? QStringLiteral("apart:   ") : QStringLiteral("joined:  "),
                    src, note));
}

void headlessReport::job(const jobOutcomeValue &outcome) {
    const QString reason =
        outcome.logWords.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(outcome.logWords);
    switch (outcome.kind) {
    case jobOutcomeKind::converted: {
        ++converted_;
        QStringList notes;
        for (const QString &said : {outcome.joinNote, outcome.nameNote, outcome.verdictLog}) {
            if (!said.isEmpty()) {
                notes << said;
            }
        }
        if (!outcome.nameNote.isEmpty()) {
            ++renamed_;
        }
        print_(
            QStringLiteral("converted: %1 -> %2%3")
                .arg(outcome.src, outcome.output,
                     notes.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(notes.join("; "))));
        return;
    }
    case jobOutcomeKind::stopped:
        print_(QStringLiteral("stopped:  %1").arg(outcome.src));
        break;
    case jobOutcomeKind::notDone:
        print_(QStringLiteral("not done: %1").arg(outcome.src));
        break;
    case jobOutcomeKind::kept: // the user's answer (or its default), not a failed conversion
    case jobOutcomeKind::skipped:
        print_(QStringLiteral("skipped:  %1%2").arg(outcome.src, reason));
        break;
    case jobOutcomeKind::failed:
        print_(QStringLiteral("failed:   %1%2").arg(outcome.src, reason));
        break;
    }
    ++notConverted_;
}

int headlessReport::done(int32_t sources) {
    print_(QStringLiteral("done: %1 converted, %2 refused, %3 failed or skipped%4")
               .arg(converted_)
               .arg(refused_)
               .arg(notConverted_)
               .arg(renamed_ == 0 ? QString()
                                  : QStringLiteral("; %1 named apart (another source of the "
                                                   "batch has the same name)")
                                        .arg(renamed_)));
    const int32_t total = sources - joinedPieces_;
    return converted_ == total && refused_ == 0 && notConverted_ == 0 ? 0 : 1;
}
