#include "analysis/ffmpeg.h"
#include "clips.h"

#include <gtest/gtest.h>

namespace {

// A debug-level report: an input section with the given stream lines, then one packet line per
// packet ("<stream>, <pts>, <dts>").
QString probeReport(const QStringList &streams, const QStringList &packets,
                    const QString &marker = QStringLiteral("av_read_packet stream=")) {
    QString report = "ffmpeg version x\nInput #0, mpegts, from 'x.mts':\n";
    for (const QString &stream : streams) {
        report += "    " + stream + "\n";
    }
    for (const QString &packet : packets) {
        const QStringList parts = packet.split(QLatin1Char(','));
        report += QStringLiteral("[mpegts @ 0x1] %1%2, pts=%3, dts=%4, size=100, flags=0\n")
                      .arg(marker, parts.value(0), parts.value(1), parts.value(2));
    }
    return report;
}

const QString video0 = "Stream #0:0[0x1011], 3, 1/90000: Video: h264 (High), yuv420p, 1920x1080";
const QString audio1 = "Stream #0:1[0x1100](eng), 3, 1/90000: Audio: ac3, 48000 Hz, stereo";

QVariantMap offsetsWithAudioAt(const QString &audioPts) {
    const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(
        probeReport({video0, audio1}, {"0,126000,126000", "1," + audioPts + "," + audioPts}));
    EXPECT_TRUE(offsets.has_value());
    return offsets.value_or(QVariantMap());
}

} // namespace

TEST(PtsDtsOffsetMs, AudioAgainstVideoStart) {
    EXPECT_EQ(offsetsWithAudioAt("126000"), QVariantMap({{"v_offsetMs", 0}}));
    EXPECT_EQ(offsetsWithAudioAt("121470"),
              QVariantMap({{"a1_offsetMs", -50}, {"a1_offsetDts", -50}, {"v_offsetMs", 50}}));
    // 1.35 - 1.4 is -49.99999999999982 ms in double precision.
    EXPECT_EQ(offsetsWithAudioAt("121500"),
              QVariantMap({{"a1_offsetMs", -49}, {"a1_offsetDts", -49}, {"v_offsetMs", 49}}));
    EXPECT_EQ(offsetsWithAudioAt("127800"), QVariantMap({{"v_offsetMs", 0}}));
    EXPECT_EQ(offsetsWithAudioAt("124200"), QVariantMap({{"v_offsetMs", 20}}));
    EXPECT_EQ(offsetsWithAudioAt("135000"),
              QVariantMap({{"a1_offsetMs", 100}, {"a1_offsetDts", 100}, {"v_offsetMs", 0}}));
}

TEST(PtsDtsOffsetMs, SecondVideoStreamAndTimeBases) {
    const QString video2 = "Stream #0:2[0x1012], 3, 1/90000: Video: h264, yuv420p, 1920x1080";
    const std::optional<QVariantMap> twoVideos = ptsDtsOffsetMs(probeReport(
        {video0, audio1, video2}, {"2,130500,130500", "0,126000,126000", "1,126000,126000"}));
    ASSERT_TRUE(twoVideos.has_value());
    EXPECT_EQ(*twoVideos,
              QVariantMap({{"v2_offsetMs", 50}, {"v2_offsetDts", 50}, {"v_offsetMs", 0}}));

    // A time base of 1/0, or a "/" field without ":", counts 1000 ticks per second. (1.3 - 1.4
    // is just above -0.1 in double precision, and milliseconds are truncated toward zero.)
    for (const QString &audio : {QString("Stream #0:1[0x1100], 3, 1/0: Audio: ac3"),
                                 QString("Stream #0:1[0x1100], 3, 1/90000, Audio: ac3")}) {
        const std::optional<QVariantMap> offsets =
            ptsDtsOffsetMs(probeReport({video0, audio}, {"0,126000,126000", "1,1300,1300"}));
        ASSERT_TRUE(offsets.has_value());
        EXPECT_EQ(offsets->value("a1_offsetMs"), -99) << audio.toStdString();
    }
}

TEST(PtsDtsOffsetMs, MissingTimestamps) {
    // NOPTS adds no presentation time; a missing decoding time reads as 0.
    const std::optional<QVariantMap> offsets =
        ptsDtsOffsetMs(probeReport({video0, audio1}, {"0,NOPTS,117000", "0,126000,120600",
                                                      "1,NOPTS,NOPTS", "1,121470,121470"}));
    ASSERT_TRUE(offsets.has_value());
    EXPECT_EQ(offsets->value("a1_offsetMs"), -50);
    EXPECT_EQ(offsets->value("v0_offsetDts"), -99); // 1.3 - 1.4 s, truncated toward zero
    EXPECT_EQ(offsets->value("a1_offsetDts"), -1400);
    EXPECT_EQ(offsets->value("v_offsetMs"), 50);
}

// Movies start at 0: a first timestamp of 0 is a time like any other.
TEST(PtsDtsOffsetMs, TimestampZeroCounts) {
    const QString movVideo = "Stream #0:0[0x1], 1, 1/10240: Video: h264, yuv420p, 320x240";
    const QString movAudio = "Stream #0:1[0x2], 1, 1/48000: Audio: aac (LC), 48000 Hz, mono";
    const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(probeReport(
        {movVideo, movAudio}, {"1,-1024,-1024", "0,0,0", "0,1024,1024", "1,0,0", "1,1024,1024"},
        QStringLiteral("ff_read_packet stream=")));
    ASSERT_TRUE(offsets.has_value());
    EXPECT_EQ(*offsets, QVariantMap({{"v_offsetMs", 0}}));
}

TEST(PtsDtsOffsetMs, StreamNumbersAboveNineAreReadWhole) {
    const QString audio12 = "Stream #0:12[0x1100], 3, 1/90000: Audio: ac3, 48000 Hz, stereo";
    const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(probeReport(
        {video0, audio1, audio12}, {"0,126000,126000", "1,126000,126000", "12,121470,121470"}));
    ASSERT_TRUE(offsets.has_value());
    EXPECT_EQ(offsets->value("a12_offsetMs"), -50);
    EXPECT_FALSE(offsets->contains("a1_offsetMs"));
}

TEST(PtsDtsOffsetMs, CasesWithoutMeasurement) {
    EXPECT_EQ(ptsDtsOffsetMs(std::nullopt), QVariantMap());
    EXPECT_EQ(ptsDtsOffsetMs(QString()), QVariantMap());
    EXPECT_EQ(ptsDtsOffsetMs(clips::fixture("old-avchd-info.txt")), QVariantMap());
    // No audio stream, even with video packets.
    EXPECT_FALSE(ptsDtsOffsetMs(probeReport({video0}, {"0,126000,126000"})).has_value());
    EXPECT_FALSE(ptsDtsOffsetMs(probeReport({audio1}, {"1,126000,126000"})).has_value());
    // A packet of a stream the input section did not list, or listed without a time base.
    EXPECT_FALSE(
        ptsDtsOffsetMs(probeReport({video0, audio1}, {"0,126000,126000", "2,126000,126000"}))
            .has_value());
    EXPECT_FALSE(ptsDtsOffsetMs(probeReport({video0, "Stream #0:1[0x1100]: Audio: ac3, 48000 Hz"},
                                            {"0,126000,126000", "1,126000,126000"}))
                     .has_value());
}

// The output section of the probing run lists the frames ffmpeg writes: its stream 0 must not
// stand for the source's stream 0 (here the sound).
TEST(PtsDtsOffsetMs, OutputStreamsAreNotSourceStreams) {
    QString report = probeReport({"Stream #0:0[0x2], 1, 1/48000: Audio: aac, 48000 Hz, mono",
                                  "Stream #0:1[0x1], 1, 1/90000: Video: h264, yuv420p, 320x240"},
                                 {"0,57600,57600", "1,126000,126000"});
    report += "Output #0, yuv4mpegpipe, to 'frame.yuv':\n"
              "  Stream #0:0, 0, 1/25: Video: wrapped_avframe, yuv420p, 640x480, 25 tbn\n";
    const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(report);
    ASSERT_TRUE(offsets.has_value());
    EXPECT_EQ(*offsets,
              QVariantMap({{"a0_offsetMs", -199}, {"a0_offsetDts", -199}, {"v_offsetMs", 199}}));
}

TEST(PtsDtsOffsetMs, OldProbeFixture) {
    const std::optional<QVariantMap> offsets =
        ptsDtsOffsetMs(clips::fixture("old-avchd-probe.txt"));
    ASSERT_TRUE(offsets.has_value());
    EXPECT_EQ(*offsets, QVariantMap({{"a1_offsetMs", -50},
                                     {"a1_offsetDts", -50},
                                     {"v0_offsetDts", -99},
                                     {"v_offsetMs", 50}}));
}

TEST(IntraOffset, EarliestKeyFrame) {
    EXPECT_FLOAT_EQ(intraOffset(clips::fixture("old-avchd-probe.txt")), 1.4f);
    const QString current =
        "[Parsed_showinfo_0 @ 0x1] n:   0 pts: 918000 pts_time:10.2    pos: 564 iskey:1 type:I\n"
        "[Parsed_showinfo_0 @ 0x1] n:   1 pts: 828000 pts_time:9.2     pos: 900 iskey:1 type:I\n"
        "[Parsed_showinfo_0 @ 0x1] n:   2 pts: 800000 pts_time:8.8     pos: 999 iskey:0 type:B\n";
    EXPECT_FLOAT_EQ(intraOffset(current), 9.2f);
    EXPECT_EQ(intraOffset(QStringLiteral("[showinfo @ 0x1] n:0 pts:1 pts_time:1.4 iskey:0 ")), 0);
    EXPECT_EQ(intraOffset(QStringLiteral("pts_time:1.4 iskey:1 type:I")), 0);
    EXPECT_EQ(intraOffset(std::nullopt), 0);
    EXPECT_EQ(intraOffset(QString()), 0);
}

TEST(PtsDtsOffsetMs, MetadataCannotForgeStreams) {
    QString report = "x\nInput #0, mpegts, from 'x.mts':\n"
                     "  Metadata:\n"
                     "    comment         : Stream #0:1, 3, 1/1000: Audio: ac3\n"
                     "    title           : Output #0, forged\n"
                     "  " +
                     video0 + "\n  " + audio1 + "\n";
    report += "av_read_packet stream=0, pts=126000, dts=126000, size=1\n"
              "av_read_packet stream=1, pts=121470, dts=121470, size=1\n";
    const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(report);
    ASSERT_TRUE(offsets.has_value());
    EXPECT_EQ(offsets->value("a1_offsetMs"), -50);
}

TEST(ShowinfoFrameRate, AverageOfTheDecodedFrames) {
    auto frames = [](double rate, int count) {
        QString report = QStringLiteral("Stream #0:0[0x100]: Video: h264, 320x240, 150 tbr\n");
        for (int i = 0; i < count; ++i) {
            report += QStringLiteral("[Parsed_showinfo_0 @ 0x1] n: %1 pts: %2 pts_time:%3 "
                                     "pos: 1 iskey:0 type:P\n")
                          .arg(i)
                          .arg(i * 3600)
                          .arg(1.4 + i / rate, 0, 'f', 6);
        }
        return report;
    };
    EXPECT_NEAR(showinfoFrameRate(frames(25, 10)).value_or(0), 25.0, 0.01);
    EXPECT_NEAR(showinfoFrameRate(frames(50, 10)).value_or(0), 50.0, 0.01);
    EXPECT_NEAR(showinfoFrameRate(frames(29.97, 10)).value_or(0), 29.97, 0.01);
    EXPECT_FALSE(showinfoFrameRate(frames(25, 2)).has_value());
    EXPECT_FALSE(showinfoFrameRate(QString()).has_value());
    EXPECT_FALSE(showinfoFrameRate(std::nullopt).has_value());
    // Frames that all carry one time give no rate rather than a division by zero.
    EXPECT_FALSE(showinfoFrameRate(QStringLiteral("[Parsed_showinfo_0 @ 0x1] n: 0 pts_time:1 x\n"
                                                  "[Parsed_showinfo_0 @ 0x1] n: 1 pts_time:1 x\n"
                                                  "[Parsed_showinfo_0 @ 0x1] n: 2 pts_time:1 x\n"))
                     .has_value());
}
