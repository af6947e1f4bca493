// The batch's progress as numbers, the watchdog's limit, the outputs' names within a batch, the
// stored choices as the preferences window takes them, and text made safe for a terminal.
#include "controller/appController.h"
#include "controller/outputNames.h"
#include "platform/log.h"
#include "settings/appPrefs.h"

#include <QSet>

#include <gtest/gtest.h>

// A job's share goes forward through its phases: ffmpeg's copy is most of a rewrap and little of
// a job with an export, whose trakmill run takes over from where the copy ended.
TEST(batchProgress, jobSharesGoForwardThroughThePhases) {
    EXPECT_DOUBLE_EQ(batchJobFraction(batchPhase::converting, 1.0, false), 0.95);
    EXPECT_DOUBLE_EQ(batchJobFraction(batchPhase::checking, 1.0, false), 1.0);
    const double copied = batchJobFraction(batchPhase::converting, 1.0, true);
    EXPECT_DOUBLE_EQ(batchJobFraction(batchPhase::exporting, 0.0, true), copied);
    EXPECT_GT(batchJobFraction(batchPhase::exporting, 0.5, true), copied);
    EXPECT_DOUBLE_EQ(batchJobFraction(batchPhase::exporting, 1.0, true),
                     batchJobFraction(batchPhase::checking, 0.0, true));
    EXPECT_DOUBLE_EQ(batchJobFraction(batchPhase::converting, 7.0, false), 0.95);
    EXPECT_DOUBLE_EQ(batchJobFraction(batchPhase::analysing, 0.5, false), 0.0);
}

// The batch's share counts the sources still being analysed: the first of four rows done is a
// quarter, whatever the number of rows known so far.
TEST(batchProgress, batchShareCountsEverySource) {
    EXPECT_DOUBLE_EQ(batchFraction(1, 4, 0.0), 0.25);
    EXPECT_DOUBLE_EQ(batchFraction(1, 4, 0.5), 0.375);
    EXPECT_DOUBLE_EQ(batchFraction(3, 4, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(batchFraction(5, 4, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(batchFraction(0, 0, 0.5), 0.0);
    // The time left: unknown at first, then from the pace so far.
    EXPECT_LT(batchSecondsLeft(0.01, 60), 0);
    EXPECT_LT(batchSecondsLeft(0.5, 1), 0);
    EXPECT_DOUBLE_EQ(batchSecondsLeft(0.25, 30), 90);
    EXPECT_DOUBLE_EQ(batchSecondsLeft(1.0, 30), 0);
    // As the window and the terminal say it: minutes, and hours from an hour on.
    EXPECT_EQ(batchDurationStr(0), "0:00");
    EXPECT_EQ(batchDurationStr(65.4), "1:05");
    EXPECT_EQ(batchDurationStr(3599.6), "1:00:00");
    EXPECT_EQ(batchDurationStr(3723), "1:02:03");
}

// The progress as the rows make it: the share never goes back (a longer total included), a new
// phase forgets the old speed, the speed needs half a second of the phase, and a finished batch
// is whole with no time left while a stopped one keeps its share.
TEST(batchProgress, nextProgressFromTheRows) {
    batchProgressRows rows;
    rows.running = 0;
    rows.clip = QStringLiteral("/c/00000.MTS");
    rows.format = 2;
    rows.rows = 2;
    rows.rowsLeft = 2;
    batchProgressValue p = batchProgressNext({}, batchPhase::converting, 0.5, rows, 10, 2, 10);
    EXPECT_EQ(p.position, 1);
    EXPECT_EQ(p.total, 2);
    EXPECT_EQ(p.remaining, 2);
    EXPECT_EQ(p.clip, rows.clip);
    // The running row's format comes with it: the fronts name the export without the list.
    EXPECT_EQ(p.format, 2);
    EXPECT_DOUBLE_EQ(p.fraction, 0.95 * 0.5 / 2);
    EXPECT_DOUBLE_EQ(p.speed, 5);
    EXPECT_GT(p.secondsLeft, 0);

    const struct {
        const char *name;
        batchPhase phase;
        double phaseFraction;
        int32_t analysing;
        double mediaSeconds;
        double phaseSeconds;
        double fraction;
        double speed;
        double secondsLeft;
    } cases[] = {
        // Ten sources still analysed make the total longer: the share stays where it was.
        {"longer total", batchPhase::converting, 0.6, 10, -1, 3, p.fraction, 5, -2},
        {"new phase", batchPhase::checking, 0.0, 0, -1, 0, 0.95 / 2, 0, -2},
        {"too early for a speed", batchPhase::exporting, 0.5, 0, 3, 0.2, 0.55 / 2, 0, -2},
        {"finished", batchPhase::finished, 1.0, 0, -1, 0, 1, 0, 0},
        {"stopped", batchPhase::stopped, 0.3, 0, -1, 0, p.fraction, 0, 0},
        {"waiting for the analysis", batchPhase::analysing, 0.0, 1, -1, 0, p.fraction, 0, -2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        batchProgressRows r = rows;
        r.analysing = c.analysing;
        const batchProgressValue next =
            batchProgressNext(p, c.phase, c.phaseFraction, r, c.mediaSeconds, c.phaseSeconds, 10);
        EXPECT_EQ(next.phase, c.phase);
        EXPECT_DOUBLE_EQ(next.phaseFraction, c.phaseFraction);
        EXPECT_DOUBLE_EQ(next.fraction, c.fraction);
        EXPECT_DOUBLE_EQ(next.speed, c.speed);
        EXPECT_EQ(next.total, 2 + c.analysing);
        EXPECT_EQ(next.remaining, 2 + c.analysing);
        if (c.secondsLeft >= 0) {
            EXPECT_DOUBLE_EQ(next.secondsLeft, c.secondsLeft);
        } else {
            EXPECT_NE(next.secondsLeft, 0);
        }
    }
}

// Two minutes and a tenth of the source's length; the environment may set it.
TEST(batchProgress, stallLimitScalesWithTheSource) {
    qunsetenv("FLUXARO_STALL_SECONDS");
    EXPECT_DOUBLE_EQ(taskStallLimitSeconds(0), 120);
    EXPECT_DOUBLE_EQ(taskStallLimitSeconds(3600), 480);
    EXPECT_DOUBLE_EQ(taskStallLimitSeconds(-5), 120);
    qputenv("FLUXARO_STALL_SECONDS", "3");
    EXPECT_DOUBLE_EQ(taskStallLimitSeconds(3600), 3);
    qputenv("FLUXARO_STALL_SECONDS", "none");
    EXPECT_DOUBLE_EQ(taskStallLimitSeconds(0), 120);
    qunsetenv("FLUXARO_STALL_SECONDS");
}

// A name another source of the batch has taken gets " 2", then " 3"; a free name stays.
TEST(outputNames, secondSourceOfOneNameGetsItsOwn) {
    const QString a = QStringLiteral("/v/fluxaro events/clip-2024-05-18 10;15;30-00001.mov");
    QSet<QString> taken;
    EXPECT_EQ(outputPathInBatch(a, taken), a);
    taken.insert(a);
    const QString second = outputPathInBatch(a, taken);
    EXPECT_EQ(second, QStringLiteral("/v/fluxaro events/clip-2024-05-18 10;15;30-00001 2.mov"));
    taken.insert(second);
    EXPECT_EQ(outputPathInBatch(a, taken),
              QStringLiteral("/v/fluxaro events/clip-2024-05-18 10;15;30-00001 3.mov"));
    EXPECT_EQ(outputPathInBatch(QStringLiteral("/v/plain"), {QStringLiteral("/v/plain")}),
              QStringLiteral("/v/plain 2"));
}

// The stored format and mode as the preferences window takes them: out of range or a text is
// the default and said to be corrected; a missing codec moves to the other one, else rewrap.
TEST(storedChoices, outOfRangeValuesAreCorrected) {
    struct formatCase {
        QVariant stored;
        bool aic;
        bool prores;
        int32_t value;
        bool corrected;
    };
    const QList<formatCase> cases = {
        {QVariant(-1), false, true, 0, true},
        {QVariant(5), false, true, 0, true},
        {QVariant(QStringLiteral("text")), false, true, 0, true},
        {QVariant(QStringLiteral("2")), false, true, 2, false},
        {QVariant(), false, true, 0, false},
        {QVariant(2), false, true, 2, false},
        {QVariant(2), false, false, 0, false},
        {QVariant(1), false, true, 2, false},
        {QVariant(2), true, false, 1, false},
    };
    for (const formatCase &c : cases) {
        const appStoredChoice choice = appStoredOutputFormat(c.stored, c.aic, c.prores);
        EXPECT_EQ(choice.value, c.value) << c.stored.toString().toStdString();
        EXPECT_EQ(choice.corrected, c.corrected) << c.stored.toString().toStdString();
    }
    EXPECT_EQ(appStoredFrameRateMode(QVariant(7)).value, 2);
    EXPECT_TRUE(appStoredFrameRateMode(QVariant(7)).corrected);
    EXPECT_EQ(appStoredFrameRateMode(QVariant(1)).value, 1);
    EXPECT_FALSE(appStoredFrameRateMode(QVariant()).corrected);
}

// Control characters (ESC, CR, DEL, the 8-bit controls, line breaks and tabs) become \xNN, so
// a name never begins a line of its own; other letters stay.
TEST(terminalText, controlCharactersAreEscaped) {
    EXPECT_EQ(logTerminalSafe(QByteArray("a\x1b[31mred\rb\x7f")),
              QByteArray("a\\x1b[31mred\\x0db\\x7f"));
    EXPECT_EQ(logTerminalSafe(QStringLiteral("\u009b2J été\tok\n").toUtf8()),
              QStringLiteral("\\x9b2J été\\x09ok\\x0a").toUtf8());
    EXPECT_EQ(logTerminalSafe(QByteArray("a.mts\nconverted: b -> forged")),
              QByteArray("a.mts\\x0aconverted: b -> forged"));
}
