// The conversion run on its own: how a reading of the tool's position moves the progress, and a
// real ffmpeg run read into numbers, paused (a pause is no stall) and ended; a stalled or
// stopped tool is told once, in order.
#include "controller/conversionRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

bool spinUntil(const std::function<bool()> &done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

void spinFor(int ms) {
    spinUntil([] { return false; }, ms);
}

} // namespace

// Whole units forward within the end advance; a jump back or past the end is a reading the
// percent can't show; no reading (0, or no maximum) changes nothing.
TEST(conversionRun, progressMovesByWholeUnitsWithinTheEnd) {
    struct moveCase {
        double previous;
        double value;
        double maximum;
        progressMove expected;
    };
    const moveCase cases[] = {
        {0, 12.7, 60, progressMove::advance},    {12.7, 12.9, 60, progressMove::none},
        {12.7, 13.1, 60, progressMove::advance}, {13.1, 12.0, 60, progressMove::lost},
        {13.1, 70, 60, progressMove::lost},      {59.2, 60, 60, progressMove::advance},
        {13.1, 0, 60, progressMove::none},       {13.1, -2, 60, progressMove::none},
        {0, 50, 0, progressMove::none},          {0, 0.4, 100, progressMove::none},
    };
    for (const moveCase &c : cases) {
        EXPECT_EQ(conversionProgressMove(c.previous, c.value, c.maximum), c.expected)
            << c.previous << " -> " << c.value << " of " << c.maximum;
    }
    EXPECT_TRUE(conversionParserReadsProgress(0));
    EXPECT_TRUE(conversionParserReadsProgress(2));
    EXPECT_FALSE(conversionParserReadsProgress(1));
    EXPECT_FALSE(conversionParserReadsProgress(5));
}

// ffmpeg at the source's pace: its progress comes as media seconds, a fraction and a speed; a
// pause stops the progress and is told as a value; paused longer than the stall limit, the tool
// is not taken for stalled; it ends by itself with status 0.
TEST(conversionRun, ffmpegProgressPauseAndEnd) {
    qputenv("FLUXARO_STALL_SECONDS", "2");
    conversionRun run;
    QList<conversionProgress> moves;
    QList<bool> pauses;
    std::optional<conversionEnd> end;
    bool stalled = false;
    run.on.progressed = [&](const conversionProgress &p) { moves << p; };
    run.on.pausedChanged = [&](bool paused) { pauses << paused; };
    run.on.stalled = [&](const conversionStall &) { stalled = true; };
    run.on.ended = [&](const conversionEnd &e) { end = e; };
    ASSERT_EQ(run.start({"ffmpeg", "-nostdin", "-hide_banner", "-re", "-f", "lavfi", "-i",
                         "testsrc=size=160x90:rate=25", "-t", "4", "-f", "null", "-"},
                        4, 0, 4),
              taskLauncher::launchOk);
    ASSERT_TRUE(spinUntil([&] { return moves.size() >= 2; }, 10000));
    run.pause();
    EXPECT_TRUE(run.isPaused());
    spinFor(300);
    const qsizetype atPause = moves.size();
    spinFor(2500);
    EXPECT_EQ(moves.size(), atPause);
    EXPECT_TRUE(run.isRunning());
    run.resume();
    EXPECT_FALSE(run.isPaused());
    ASSERT_TRUE(spinUntil([&] { return end.has_value(); }, 20000));
    qunsetenv("FLUXARO_STALL_SECONDS");

    EXPECT_FALSE(stalled);
    EXPECT_EQ(end->status, 0);
    EXPECT_TRUE(end->failureText.isEmpty());
    EXPECT_FALSE(run.hasTool());
    EXPECT_EQ(pauses, (QList<bool>{true, false}));
    ASSERT_GE(moves.size(), 2);
    for (qsizetype i = 0; i < moves.size(); ++i) {
        const conversionProgress &p = moves[i];
        EXPECT_DOUBLE_EQ(p.maximum, 4);
        EXPECT_DOUBLE_EQ(p.mediaSeconds, p.value);
        EXPECT_DOUBLE_EQ(p.fraction, p.value / 4);
        EXPECT_GT(p.fraction, 0);
        EXPECT_LE(p.fraction, 1);
        if (i > 0) {
            EXPECT_GE(p.value, moves[i - 1].value + 1);
            // At the source's pace ffmpeg does about one media second per second.
            EXPECT_GT(p.speed, 0.2);
            EXPECT_LT(p.speed, 5);
        }
    }
}

// Time the program itself spent stopped (Ctrl-Z then fg, a debugger) is no stall: the gap
// between two watchdog ticks beyond a late tick is taken off the time the progress stood still.
TEST(conversionRun, timeTheProgramWasStoppedIsNoStall) {
    // The tool moves, then stops this program for 8 s as a terminal's Ctrl-Z would (here the
    // tool itself keeps running, to send the SIGCONT), then moves on and ends.
    qputenv("FLUXARO_STALL_SECONDS", "4");
    conversionRun run;
    bool stalled = false;
    std::optional<conversionEnd> end;
    run.on.stalled = [&](const conversionStall &) { stalled = true; };
    run.on.ended = [&](const conversionEnd &e) { end = e; };
    const QString script =
        QStringLiteral("printf 'frame=1 time=00:00:01.00 bitrate=1\\r'; sleep 1; "
                       "kill -STOP %1; sleep 8; kill -CONT %1; "
                       "printf 'frame=2 time=00:00:02.00 bitrate=1\\r'; sleep 1; "
                       "printf 'frame=3 time=00:00:03.00 bitrate=1\\r'; sleep 1")
            .arg(QCoreApplication::applicationPid());
    ASSERT_EQ(run.start({"/bin/sh", "-c", script}, 4, 0, 4), taskLauncher::launchOk);
    ASSERT_TRUE(spinUntil([&] { return end.has_value(); }, 30000));
    qunsetenv("FLUXARO_STALL_SECONDS");
    EXPECT_FALSE(stalled);
    EXPECT_EQ(end->status, 0);
}

// A tool that prints no position is stalled after the limit: the stall (with the tool's name)
// comes first, then its end, once. A tool stopped while paused ends once and is not paused any
// more; a refused launch holds nothing.
TEST(conversionRun, stallAndStopAreToldOnceInOrder) {
    qputenv("FLUXARO_STALL_SECONDS", "1");
    conversionRun run;
    QStringList told;
    run.on.stalled = [&](const conversionStall &s) {
        told << QStringLiteral("stalled %1 %2").arg(s.tool, s.seconds >= 1 ? "late" : "early");
    };
    run.on.ended = [&](const conversionEnd &e) {
        told << QStringLiteral("ended %1")
                    .arg(e.status == taskLauncher::interruptedStatus ? QStringLiteral("stopped")
                                                                     : QString::number(e.status));
    };
    ASSERT_EQ(run.start({"/bin/sleep", "30"}, 10, 0, 10), taskLauncher::launchOk);
    ASSERT_TRUE(spinUntil([&] { return told.size() >= 2; }, 10000));
    qunsetenv("FLUXARO_STALL_SECONDS");
    spinFor(200);
    EXPECT_EQ(told, (QStringList{"stalled sleep late", "ended stopped"}));
    EXPECT_FALSE(run.hasTool());

    told.clear();
    ASSERT_EQ(run.start({"/bin/sleep", "30"}, 10, 1, 10), taskLauncher::launchOk);
    run.pause();
    EXPECT_TRUE(run.isPaused());
    run.stop();
    EXPECT_EQ(told, QStringList{"ended stopped"});
    EXPECT_FALSE(run.isPaused());
    EXPECT_FALSE(run.hasTool());
    spinFor(200);
    EXPECT_EQ(told, QStringList{"ended stopped"});

    EXPECT_EQ(run.start({"/nonexistent/tool"}, 10, 0, 10), taskLauncher::launchNoExecutable);
    EXPECT_FALSE(run.hasTool());
}

// The watchdog counts the time its program ran: three minutes stopped (Ctrl-Z, then fg) count
// as one tick, so a healthy tool is not taken for stalled; ticks that come late by a second or
// two on a busy machine, or a tool that stands still all along, count in full.
TEST(conversionRun, stallClockLeavesOutTheTimeTheProgramWasStopped) {
    stallClock clock(1000);
    clock.moved(10000);
    EXPECT_DOUBLE_EQ(clock.tick(11000), 1.0);
    EXPECT_DOUBLE_EQ(clock.tick(13500), 3.5);
    // Stopped for 180 s: the first tick after fg.
    EXPECT_DOUBLE_EQ(clock.tick(193500), 4.5);
    EXPECT_DOUBLE_EQ(clock.tick(194500), 5.5);
    // A tool still stuck afterwards reaches any limit.
    int64_t now = 194500;
    double still = 0;
    for (int i = 0; i < 200; ++i) {
        still = clock.tick(now += 1000);
    }
    EXPECT_DOUBLE_EQ(still, 205.5);
    // A move starts the count again.
    clock.moved(now);
    EXPECT_DOUBLE_EQ(clock.tick(now + 1000), 1.0);
}

// A tool that prints a read error and exits with success: its end carries the line; a clean
// run's carries none.
TEST(conversionRun, readErrorOfASuccessfulTool) {
    conversionRun run;
    std::optional<conversionEnd> end;
    run.on.ended = [&](const conversionEnd &e) { end = e; };
    ASSERT_EQ(run.start({"/bin/sh", "-c",
                         "printf 'frame=  10\\r/card/00001.MTS: Input/outp' >&2; "
                         "printf 'ut error\\nframe=  20\\n' >&2; exit 0"},
                        0, 1, 1),
              taskLauncher::launchOk);
    ASSERT_TRUE(spinUntil([&] { return end.has_value(); }, 10000));
    EXPECT_EQ(end->status, 0);
    EXPECT_EQ(end->readError, QStringLiteral("/card/00001.MTS: Input/output error"));

    end.reset();
    ASSERT_EQ(run.start({"/bin/sh", "-c", "echo 'Stream mapping:'; exit 0"}, 0, 1, 1),
              taskLauncher::launchOk);
    ASSERT_TRUE(spinUntil([&] { return end.has_value(); }, 10000));
    EXPECT_TRUE(end->readError.isEmpty());
}
