#include "analysis/taskParsers.h"

#include <gtest/gtest.h>

TEST(TaskParsers, ReadsTheNumberAfterTheFirstMarker) {
    EXPECT_FLOAT_EQ(
        progresses(QStringLiteral("frame=1 time=   \n12.5 bitrate"), QStringLiteral("time=")),
        12.5f);
    EXPECT_FLOAT_EQ(progresses(QStringLiteral("time=3.0 x\rtime=4.0 x\r"), QStringLiteral("time=")),
                    3.0f);
    EXPECT_FLOAT_EQ(progresses(QStringLiteral("v=-1.5e2z"), QStringLiteral("v=")), -150.0f);
    EXPECT_FLOAT_EQ(progresses(QStringLiteral("v=.5"), QStringLiteral("v=")), 0.5f);
    EXPECT_FLOAT_EQ(progresses(QStringLiteral("v=7e"), QStringLiteral("v=")), 7.0f);
    EXPECT_FLOAT_EQ(progressMovencoder(QStringLiteral("Processing (42.7%)")), 42.7f);
    EXPECT_FLOAT_EQ(progressNormalize(QStringLiteral("file (batch 3/10)")), 3.0f);
    EXPECT_FLOAT_EQ(progressMov2wavMux2mov(QStringLiteral("pourcentage    :  42.0\n")), 42.0f);
    EXPECT_FLOAT_EQ(progressForParser(2, QStringLiteral("pourcentage    :   7.0\n")), 7.0f);
}

TEST(TaskParsers, GivesZeroWithoutANumberAfterTheMarker) {
    EXPECT_EQ(progresses(QStringLiteral("no marker here"), QStringLiteral("time=")), 0.0f);
    EXPECT_EQ(progresses(QStringLiteral("time=abc 12"), QStringLiteral("time=")), 0.0f);
    EXPECT_EQ(progresses(QStringLiteral("TIME=12"), QStringLiteral("time=")), 0.0f);
    EXPECT_EQ(progresses(QString(), QStringLiteral("time=")), 0.0f);
    EXPECT_EQ(progresses(QStringLiteral("time=12"), QString()), 0.0f);
    EXPECT_EQ(progresses(QStringLiteral("time=-"), QStringLiteral("time=")), 0.0f);
    EXPECT_EQ(progresses(QStringLiteral("time=."), QStringLiteral("time=")), 0.0f);
    // A marker split over two chunks is found in neither.
    EXPECT_EQ(progressFfmpeg(QStringLiteral("frame=10 ti")), 0.0f);
    EXPECT_EQ(progressFfmpeg(QStringLiteral("me=12.5")), 0.0f);
    EXPECT_EQ(progressMov2wavMux2mov(QStringLiteral("pourcentage    :   0.0\n")), 0.0f);
    EXPECT_EQ(progressForParser(1, QStringLiteral("time=12")), 0.0f);
    EXPECT_EQ(progressForParser(9, QStringLiteral("time=12")), 0.0f);
    // Overflowing digits are not a position.
    EXPECT_EQ(progresses(QStringLiteral("v=1e999999"), QStringLiteral("v=")), 0.0f);
}

// Current ffmpeg prints the position as a timecode; old builds printed seconds.
TEST(TaskParsers, FfmpegPositionInBothForms) {
    EXPECT_FLOAT_EQ(progressFfmpeg(QStringLiteral("frame=  4126 q=31.0 time=69.1 bitrate=")),
                    69.1f);
    EXPECT_FLOAT_EQ(
        progressFfmpeg(QStringLiteral(
            "frame=  150 fps=0.0 q=-1.0 size=    1024kB time=00:01:02.50 bitrate=1.2kbits/s "
            "speed=  12x\r")),
        62.5f);
    EXPECT_FLOAT_EQ(progressFfmpeg(QStringLiteral("time=01:00:00.04 ")), 3600.04f);
    EXPECT_FLOAT_EQ(progressFfmpeg(QStringLiteral("time=-00:00:00.04 ")), -0.04f);
    EXPECT_FLOAT_EQ(progressForParser(0, QStringLiteral("time=00:00:03.00")), 3.0f);
    EXPECT_EQ(progressFfmpeg(QStringLiteral("size=N/A time=N/A bitrate=N/A")), 0.0f);
    EXPECT_FLOAT_EQ(progressFfmpeg(QStringLiteral("time=00:00:05.00\rtime=00:00:06.00\r")), 5.0f);
    EXPECT_FLOAT_EQ(progressFfmpeg(QStringLiteral("time=12: x")), 12.0f);
}
