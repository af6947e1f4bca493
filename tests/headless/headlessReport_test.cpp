// The headless front's report: each typed value gives the line the terminal has always shown,
// and the last line's counts and the exit status follow the kinds, not the words.
#include "headlessReport.h"

#include <gtest/gtest.h>

namespace {

jobOutcomeValue outcome(jobOutcomeKind kind, const QString &src, const QString &logWords = {}) {
    jobOutcomeValue value;
    value.kind = kind;
    value.src = src;
    value.logWords = logWords;
    return value;
}

} // namespace

// One line per job, by kind: the reason in parentheses when there is one; kept is said as
// skipped (the user's answer) but counts as not converted like the others.
TEST(headlessReport, jobLinesByKind) {
    jobOutcomeValue converted = outcome(jobOutcomeKind::converted, "/c/a.MTS");
    converted.output = "/d/fluxaro events/a.mov";
    jobOutcomeValue joined = converted;
    joined.src = "/c/b.MTS";
    joined.output = "/d/fluxaro events/b 2.mov";
    joined.joinNote = "pieces 1-2 of 2";
    joined.nameNote = "named 'b 2.mov'";
    jobOutcomeValue verified = converted;
    verified.src = "/c/v.MTS";
    verified.verdictLog = "verified: 300 pictures at 50/1, 6.000 s, sound +0.0 ms";
    jobOutcomeValue wordless = outcome(jobOutcomeKind::failed, "/c/n.MTS");
    wordless.failure = jobFailure::noCommand;
    // A text that once decided the kind must not: "stopped" as the words of a failure.
    jobOutcomeValue saysStopped = outcome(jobOutcomeKind::failed, "/c/s.MTS", "stopped");
    const struct {
        jobOutcomeValue value;
        QString line;
    } cases[] = {
        {converted, "converted: /c/a.MTS -> /d/fluxaro events/a.mov"},
        {joined, "converted: /c/b.MTS -> /d/fluxaro events/b 2.mov (pieces 1-2 of 2; named "
                 "'b 2.mov')"},
        {verified, "converted: /c/v.MTS -> /d/fluxaro events/a.mov (verified: 300 pictures at "
                   "50/1, 6.000 s, sound +0.0 ms)"},
        {outcome(jobOutcomeKind::failed, "/c/f.MTS", "not enough space"),
         "failed:   /c/f.MTS (not enough space)"},
        {wordless, "failed:   /c/n.MTS"},
        {saysStopped, "failed:   /c/s.MTS (stopped)"},
        {outcome(jobOutcomeKind::kept, "/c/k.MTS", "kept the existing output"),
         "skipped:  /c/k.MTS (kept the existing output)"},
        {outcome(jobOutcomeKind::skipped, "/c/g.MTS", "the source is gone"),
         "skipped:  /c/g.MTS (the source is gone)"},
        {outcome(jobOutcomeKind::stopped, "/c/t.MTS", "stopped"), "stopped:  /c/t.MTS"},
        {outcome(jobOutcomeKind::notDone, "/c/w.MTS", "not done"), "not done: /c/w.MTS"},
    };
    for (const auto &c : cases) {
        QStringList lines;
        headlessReport report([&](const QString &line) { lines << line; });
        report.job(c.value);
        ASSERT_EQ(lines.size(), 1) << c.line.toStdString();
        EXPECT_EQ(lines.first(), c.line);
        lines.clear();
        const int status = report.done(1);
        const bool done = c.value.kind == jobOutcomeKind::converted;
        EXPECT_EQ(status, done ? 0 : 1) << c.line.toStdString();
        EXPECT_TRUE(lines.first().startsWith(done ? "done: 1 converted, 0 refused, 0 failed"
                                                  : "done: 0 converted, 0 refused, 1 failed"))
            << lines.first().toStdString();
    }
}

// A whole batch: verdicts, a joined recording whose second piece counts as converted with it, a
// name set apart, a failure and the rows a stop left. The last line counts them and the exit
// status is 0 only when every source given was converted.
TEST(headlessReport, batchCountsAndExitStatus) {
    QStringList lines;
    headlessReport report([&](const QString &line) { lines << line; });
    analysisVerdictValue accepted{"/c/1.MTS", true, sourceRefusal::none, {}, {}, {}};
    analysisVerdictValue noted{"/c/2.MTS", true, sourceRefusal::none,
                               {},         {},   "sound: track 1 of 2"};
    analysisVerdictValue refused{
        "/c/x.ts", false, sourceRefusal::interlaced, "entrelacé", "interlaced (top field first)",
        {}};
    report.verdict(accepted);
    report.verdict(noted);
    report.verdict(refused);
    EXPECT_EQ(report.refused(), 1);
    report.spanned("/c/1.MTS", {"/c/1.MTS", "/c/2.MTS"}, "pieces 1-2 of 2");
    jobOutcomeValue one = outcome(jobOutcomeKind::converted, "/c/1.MTS");
    one.output = "/d/1.mov";
    one.nameNote = "named '1 2.mov'";
    report.job(one);
    EXPECT_EQ(lines.mid(0, 4),
              (QStringList{"accepted: /c/1.MTS", "accepted: /c/2.MTS (sound: track 1 of 2)",
                           // the refusal's untranslated words, never the user's language
                           "refused:  /c/x.ts (interlaced (top field first))",
                           "joined:   /c/1.MTS (pieces 1-2 of 2)"}));
    lines.clear();
    // Two sources given, one row of both pieces: all converted, nothing refused.
    headlessReport clean([&](const QString &line) { lines << line; });
    clean.spanned("/c/1.MTS", {"/c/1.MTS", "/c/2.MTS"}, "pieces 1-2 of 2");
    clean.job(one);
    lines.clear();
    EXPECT_EQ(clean.done(2), 0);
    EXPECT_EQ(lines, QStringList{"done: 1 converted, 0 refused, 0 failed or skipped; 1 named "
                                 "apart (another source of the batch has the same name)"});
    lines.clear();
    // The first report: a refusal, then a stop with one row not reached.
    report.job(outcome(jobOutcomeKind::stopped, "/c/3.MTS", "stopped"));
    report.job(outcome(jobOutcomeKind::notDone, "/c/4.MTS", "not done"));
    lines.clear();
    EXPECT_EQ(report.done(5), 1);
    EXPECT_EQ(lines.first().left(49), "done: 1 converted, 1 refused, 2 failed or skipped");
}
