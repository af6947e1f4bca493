// The outcomes as values: a job's outcome from the running job, its Resume.log line, a batch's
// summary from its outcomes, and their words in both languages.
#include "controller/desktopHooks.h"
#include "controller/dropPlan.h"
#include "controller/jobRecord.h"
#include "controller/outcomes.h"
#include "controller/runningJob.h"
#include "jobOfRecord.h"
#include "settings/localisation.h"

#include <gtest/gtest.h>

// The job's notes decide the kind and the reason; the output is the final name once converted,
// the working one only when no final name was given; the outcome is of the job's own row.
TEST(outcomes, jobOutcomeOfTheRunningJob) {
    const QVariantMap base{{jobKey::dstPath, "/d/work.mov"},
                           {jobKey::finalPath, "/d/a.mov"},
                           {jobKey::srcPath, "/d/work.mov"}};
    auto with = [&](std::initializer_list<std::pair<const QString, QVariant>> keys) {
        QVariantMap job = base;
        for (const auto &[key, value] : keys) {
            job.insert(key, value);
        }
        return job;
    };
    const struct {
        const char *name;
        QVariantMap job;
        bool converted;
        jobOutcomeKind kind;
        jobFailure failure;
        QString output;
        QString logWords;
    } cases[] = {
        {"converted", with({{jobKey::nameNote, "named"}}), true, jobOutcomeKind::converted,
         jobFailure::none, "/d/a.mov", ""},
        {"converted without a final name", with({{jobKey::finalPath, ""}}), true,
         jobOutcomeKind::converted, jobFailure::none, "/d/work.mov", ""},
        {"no space",
         with({{jobKey::failure, int(jobFailure::notEnoughSpace)},
               {jobKey::skipReason, "not enough space"}}),
         false, jobOutcomeKind::failed, jobFailure::notEnoughSpace, "", "not enough space"},
        {"kept",
         with({{jobKey::outcome, int(jobOutcomeKind::kept)},
               {jobKey::skipReason, "kept the existing output"}}),
         false, jobOutcomeKind::kept, jobFailure::none, "/d/a.mov", "kept the existing output"},
        {"no code", with({}), false, jobOutcomeKind::failed, jobFailure::none, "", ""},
    };
    for (const auto &c : cases) {
        runningJob job = jobOfRecord(c.job);
        job.row.id = 7;
        job.row.source = "/c/a.MTS";
        const jobOutcomeValue outcome = runningJobOutcome(job, c.converted);
        EXPECT_EQ(outcome.rowId, 7U) << c.name;
        EXPECT_EQ(outcome.src, "/c/a.MTS") << c.name;
        EXPECT_EQ(outcome.kind, c.kind) << c.name;
        EXPECT_EQ(outcome.failure, c.failure) << c.name;
        EXPECT_EQ(outcome.output, c.output) << c.name;
        EXPECT_EQ(outcome.logWords, c.logWords) << c.name;
        EXPECT_EQ(outcome.words.isEmpty(), c.converted) << c.name;
    }
    const jobOutcomeValue said = runningJobOutcome(
        jobOfRecord(with({{jobKey::toolError, "No space left on device"}})), false);
    EXPECT_EQ(said.toolWords, "No space left on device");
}

// The Resume.log line: the kind, and the reason unless it only repeats the kind.
TEST(outcomes, resumeLogLine) {
    const struct {
        jobOutcomeKind kind;
        QString logWords;
        QString line;
    } cases[] = {
        {jobOutcomeKind::failed, "not enough space",
         "outcome             : failed (not enough space)"},
        {jobOutcomeKind::failed, "", "outcome             : failed"},
        {jobOutcomeKind::stopped, "stopped", "outcome             : stopped"},
        {jobOutcomeKind::kept, "kept the existing output",
         "outcome             : kept (kept the existing output)"},
        {jobOutcomeKind::notDone, "not done", "outcome             : not done"},
    };
    for (const auto &c : cases) {
        jobOutcomeValue outcome;
        outcome.kind = c.kind;
        outcome.logWords = c.logWords;
        EXPECT_EQ(jobOutcomeLogLine(outcome), c.line);
    }
}

// The summary counts each kind apart (kept is no failure) and lists what did not convert in
// batch order.
TEST(outcomes, batchSummaryCountsEachKind) {
    auto of = [](jobOutcomeKind kind, const QString &src) {
        jobOutcomeValue value;
        value.kind = kind;
        value.src = src;
        return value;
    };
    const struct {
        QList<jobOutcomeValue> outcomes;
        bool stopped;
        int32_t converted, failed, kept, skipped, stoppedJobs, notDone;
        QStringList notConverted;
    } cases[] = {
        {{}, false, 0, 0, 0, 0, 0, 0, {}},
        {{of(jobOutcomeKind::converted, "a"), of(jobOutcomeKind::kept, "b"),
          of(jobOutcomeKind::converted, "c")},
         false,
         2,
         0,
         1,
         0,
         0,
         0,
         {"b"}},
        {{of(jobOutcomeKind::failed, "a"), of(jobOutcomeKind::skipped, "b"),
          of(jobOutcomeKind::converted, "c"), of(jobOutcomeKind::stopped, "d"),
          of(jobOutcomeKind::notDone, "e"), of(jobOutcomeKind::notDone, "f")},
         true,
         1,
         1,
         0,
         1,
         1,
         2,
         {"a", "b", "d", "e", "f"}},
    };
    for (const auto &c : cases) {
        const batchSummaryValue summary = batchSummaryOf(c.outcomes, c.stopped);
        EXPECT_EQ(summary.stopped, c.stopped);
        EXPECT_EQ(summary.converted, c.converted);
        EXPECT_EQ(summary.failed, c.failed);
        EXPECT_EQ(summary.kept, c.kept);
        EXPECT_EQ(summary.skipped, c.skipped);
        EXPECT_EQ(summary.stoppedJobs, c.stoppedJobs);
        EXPECT_EQ(summary.notDone, c.notDone);
        QStringList names;
        for (const jobOutcomeValue &value : summary.notConverted) {
            names << value.src;
        }
        EXPECT_EQ(names, c.notConverted);
    }
}

// The words in the user's language: every code has its own words in both languages, and the
// summary names the jobs that did not convert with their reasons (rows a stop never reached
// are counted, not named).
TEST(outcomes, wordsInBothLanguages) {
    for (const QString &language : {QStringLiteral("en"), QStringLiteral("fr")}) {
        ASSERT_TRUE(loadTranslations(language));
        QSet<QString> seen;
        for (int code = 1; code <= int(jobFailure::stopped); ++code) {
            const QString words = jobFailureWords(static_cast<jobFailure>(code));
            EXPECT_FALSE(words.startsWith("D_")) << code;
            EXPECT_FALSE(seen.contains(words)) << words.toStdString();
            seen.insert(words);
        }
        for (int code = 1; code <= int(sourceRefusal::folderUnreadable); ++code) {
            const QString words = sourceRefusalWords(static_cast<sourceRefusal>(code));
            EXPECT_FALSE(words.isEmpty() || words.startsWith("D_")) << code;
        }
        EXPECT_TRUE(jobOutcomeWords(jobOutcomeKind::converted, jobFailure::none).isEmpty());
        EXPECT_FALSE(jobOutcomeWords(jobOutcomeKind::kept, jobFailure::none).startsWith("D_"));
    }
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
    jobOutcomeValue full;
    full.kind = jobOutcomeKind::failed;
    full.failure = jobFailure::notEnoughSpace;
    full.src = "/card/00003.MTS";
    full.words = jobFailureWords(full.failure);
    jobOutcomeValue left;
    left.kind = jobOutcomeKind::notDone;
    left.src = "/card/00004.MTS";
    batchSummaryValue summary;
    summary.converted = 4;
    summary.failed = 1;
    summary.notConverted = {full};
    EXPECT_EQ(batchSummaryWords(summary), "4 converted, 1 failed: 00003.MTS: the disk is full");
    summary.notDone = 1;
    summary.stopped = true;
    summary.notConverted << left;
    EXPECT_EQ(batchSummaryWords(summary),
              "4 converted, 1 failed, 1 not done: 00003.MTS: the disk is full");
    summary.notConverted = {full, full, full};
    EXPECT_EQ(batchSummaryWords(summary, 2).count("the disk is full"), 2);
    EXPECT_TRUE(batchSummaryWords(summary, 2).endsWith("; …"));
    // The notification says what the window's alert says: kept is no failure, and the job a
    // stop ended is counted as stopped, not named.
    jobOutcomeValue kept;
    kept.kind = jobOutcomeKind::kept;
    kept.src = "/card/00001.MTS";
    kept.words = jobOutcomeWords(kept.kind, kept.failure);
    jobOutcomeValue stopped;
    stopped.kind = jobOutcomeKind::stopped;
    stopped.src = "/card/00002.MTS";
    stopped.words = jobOutcomeWords(stopped.kind, stopped.failure);
    EXPECT_EQ(desktopBatchBodyStr(batchSummaryOf({kept}, false)),
              "0 converted, 1 kept: 00001.MTS: the existing movie was kept");
    EXPECT_EQ(desktopBatchBodyStr(batchSummaryOf({stopped, left}, true)),
              "0 converted, 1 stopped, 1 not done");
    ASSERT_TRUE(loadTranslations(QStringLiteral("fr")));
    full.words = jobFailureWords(full.failure);
    summary.notConverted = {full};
    EXPECT_EQ(batchSummaryWords(summary).toStdString(),
              "4 converti(s), 1 en échec, 1 non traité(s) : 00003.MTS : le disque est plein");
}

// A stop leaves the rows it never reached not done, and the job it ended stopped; a row that
// failed in an earlier batch, a converted one and one already told are not told again. The
// summary counts each row once, however often its end was seen; two rows of one source are two.
TEST(outcomes, batchBookTellsEachRowOnce) {
    auto row = [](uint64_t id, const char *src, rowState state) {
        batchRow made;
        made.id = id;
        made.source = QString::fromUtf8(src);
        made.state = state;
        return made;
    };
    batchOutcomeBook book;
    book.begin(1);
    book.begin(2);
    book.begin(3);
    jobOutcomeValue done;
    done.rowId = 1;
    done.kind = jobOutcomeKind::converted;
    done.src = "/c/done.mts";
    jobOutcomeValue told;
    told.rowId = 2;
    told.failure = jobFailure::noMovie;
    told.src = "/c/told.mts";
    EXPECT_TRUE(book.add(done));
    EXPECT_TRUE(book.add(told));
    jobOutcomeValue again = told;
    again.kind = jobOutcomeKind::stopped;
    EXPECT_FALSE(book.add(again));
    // Another row of the same source has an outcome of its own.
    jobOutcomeValue twin = done;
    twin.rowId = 9;
    EXPECT_TRUE(book.add(twin));

    const QList<batchRow> rows{
        row(1, "/c/done.mts", rowState::converted), row(2, "/c/told.mts", rowState::failed),
        row(3, "/c/running.mts", rowState::converting), row(4, "/c/earlier.mts", rowState::failed),
        row(5, "/c/waiting.mts", rowState::waiting)};
    const QList<jobOutcomeValue> left = book.leftByStop(rows);
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(left[0].src, "/c/running.mts");
    EXPECT_EQ(left[0].kind, jobOutcomeKind::stopped);
    EXPECT_EQ(left[0].failure, jobFailure::stopped);
    EXPECT_EQ(left[0].logWords, "stopped");
    EXPECT_FALSE(left[0].words.isEmpty());
    EXPECT_EQ(left[0].rowId, 3U);
    EXPECT_EQ(left[1].src, "/c/waiting.mts");
    EXPECT_EQ(left[1].rowId, 5U);
    EXPECT_EQ(left[1].kind, jobOutcomeKind::notDone);
    for (const jobOutcomeValue &outcome : left) {
        EXPECT_TRUE(book.add(outcome));
    }

    EXPECT_FALSE(book.summaryGiven());
    const batchSummaryValue summary = book.summary(true);
    EXPECT_TRUE(book.summaryGiven());
    EXPECT_EQ(summary.converted, 2);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(summary.stoppedJobs, 1);
    EXPECT_EQ(summary.notDone, 1);
    EXPECT_TRUE(summary.stopped);

    book.clear();
    EXPECT_FALSE(book.summaryGiven());
    EXPECT_TRUE(book.add(told));
    EXPECT_TRUE(book.leftByStop({row(3, "/c/running.mts", rowState::converting)}).isEmpty());
}

// A drop that added nothing says why in one message: the refused files grouped by reason in
// the reasons' order, at most eight names (a thousand files give one short message), the kinds
// taken; a card's index files beside refused movies are not named.
TEST(outcomes, refusedDropMessage) {
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
    dropPlanValue plan;
    plan.acceptedKinds = {".mts", ".mov"};
    for (int i = 0; i < 1000; ++i) {
        plan.refused << dropRefused{QStringLiteral("/d/note%1.txt").arg(i), dropRefusal::notAMovie};
    }
    QStringList lines = dropRefusedMessage(plan).split('\n');
    EXPECT_EQ(lines.first(), "None of these files is a movie Fluxaro can convert.");
    EXPECT_EQ(lines.filter(".txt").size(), 8);
    EXPECT_TRUE(lines.contains("… and 992 more"));
    EXPECT_EQ(lines.last(), "Fluxaro takes files ending in .mts, .mov.");

    plan.refused = {{"/card/INDEX.BDM", dropRefusal::notAMovie, true},
                    {"/card/00001.MTS", dropRefusal::missing, false},
                    {"/card/00000.MTS", dropRefusal::alreadyListed, false}};
    plan.shownRefusals = 2;
    lines = dropRefusedMessage(plan).split('\n');
    EXPECT_EQ(lines.first(), "Nothing was added to the list.");
    EXPECT_FALSE(lines.contains("INDEX.BDM"));
    const qsizetype listed = lines.indexOf("00000.MTS");
    const qsizetype missing = lines.indexOf("00001.MTS");
    ASSERT_GT(listed, 0);
    ASSERT_GT(missing, listed);
    EXPECT_EQ(lines[listed - 1], dropRefusalWords(dropRefusal::alreadyListed) + ':');
    EXPECT_EQ(lines[missing - 1], dropRefusalWords(dropRefusal::missing) + ':');
}
