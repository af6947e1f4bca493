// What the headless front prints of a batch: one line for each source's verdict, each spanned
// recording's join, each job's outcome, and the last line with the counts. It reads only the
// controller's typed values (the words it prints are their untranslated log words).
#pragma once

#include "controller/outcomes.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

/// The batch's report on the terminal: fed the controller's values, it gives each line to
/// `print` and keeps the counts for the last line and the exit status.
class headlessReport {
public:
    explicit headlessReport(std::function<void(const QString &line)> print);

    /// "accepted: SRC (note)" or "refused:  SRC (reason)".
    void verdict(const analysisVerdictValue &verdict);
    /// "joined:   SRC (note)" or "apart:    SRC (note)"; the pieces a joined row takes count
    /// as converted with it.
    void spanned(const QString &src, const QStringList &joined, const QString &note);
    /// "converted: SRC -> OUTPUT (notes; verified: ...)", "failed:   SRC (reason)", "skipped:  SRC
    /// (reason)", "stopped:  SRC" or "not done: SRC".
    void job(const jobOutcomeValue &outcome);
    /// "done: N converted, N refused, N failed or skipped[; N named apart ...]" for a batch of
    /// `sources` sources; the exit status: 0 when every source was converted, else 1.
    int done(int32_t sources);

    int32_t refused() const { return refused_; }

private:
    std::function<void(const QString &)> print_;
    int32_t converted_ = 0;
    int32_t refused_ = 0;
    int32_t notConverted_ = 0; ///< failed, kept, skipped, stopped or not done
    int32_t renamed_ = 0;
    int32_t joinedPieces_ = 0;
};
