#include "analysis/ffmpeg.h"
#include "clips.h"
#include "sharedTestData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QVariantMap parsed(const QString &report) {
    const std::optional<QVariantMap> infos = ffInfos(std::nullopt, report);
    EXPECT_TRUE(infos.has_value());
    return infos.value_or(QVariantMap());
}

QVariantMap ofFile(const QString &path) {
    const std::optional<QVariantMap> infos = ffInfos(path, std::nullopt);
    EXPECT_TRUE(infos.has_value()) << path.toStdString();
    return infos.value_or(QVariantMap());
}

QString oldReport(const QString &name) {
    QFile file(clips::oldReportsFolder() + "/" + name);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLatin1(file.readAll());
}

} // namespace

// The report forms of the older builds, as the application's analysis met them.
TEST(FfInfos, OldCamcorderReport) {
    const QVariantMap infos = parsed(clips::fixture("old-avchd-info.txt"));
    const QVariantMap expected = {
        {"wrapper", "mpegts"},    {"w_duration", 65}, {"w_offset", 1.4f},
        {"w_bitrate", 24000},     {"v0_id", 0},       {"v0_codec", "h264"},
        {"v0_chroma", "yuv420p"}, {"v0_width", 1920}, {"v0_height", 1080},
        {"v0_par", "1:1"},        {"v0_dar", "16:9"}, {"v0_fps", 50.0f},
        {"v0_tbc", 100.0f},       {"a0_id", 1},       {"a0_codec", "ac3"},
        {"a0_lang", "eng"},       {"a0_rate", 48000}, {"a0_channels", 6},
        {"a0_bitrate", 448},      {"s0_id", 2},       {"s0_codec", "hdmv_pgs_subtitle"},
    };
    EXPECT_EQ(infos, expected);
    // Types matter to the readers of the dictionary.
    EXPECT_EQ(infos.value("w_duration").typeId(), QMetaType::Int);
    EXPECT_EQ(infos.value("v0_fps").typeId(), QMetaType::Float);
    EXPECT_EQ(infos.value("v0_tbc").typeId(), QMetaType::Float);
}

// The debug-level stream lines carry two more fields and read into the same keys.
TEST(FfInfos, DebugLevelLinesReadLikeInfoLevelOnes) {
    const QVariantMap debug = parsed(clips::fixture("old-avchd-probe.txt"));
    QVariantMap info = parsed(clips::fixture("old-avchd-info.txt"));
    info.remove("s0_id");
    info.remove("s0_codec");
    info["w_offset"] = 1.35f;
    EXPECT_EQ(debug, info);
}

TEST(FfInfos, FieldRulesOfSingleLines) {
    const QString head = "first line\nInput #0, mpegts, from 'x.mts':\n";
    EXPECT_EQ(parsed(head + "  Duration: N/A, start: 0.000000, bitrate: N/A\n"),
              QVariantMap({{"wrapper", "mpegts"}, {"w_offset", 0.0f}}));
    EXPECT_EQ(parsed(head + "  Duration: 99999999999999999999:00:00.00, start: 0.000000\n"),
              QVariantMap({{"wrapper", "mpegts"}, {"w_offset", 0.0f}}));

    // The channel count is settled per stream; unknown layouts count 2 until one is known.
    const QVariantMap audio = parsed(head + "Stream #0:1: Audio: ac3, 48000 Hz, stereo, s16\n"
                                            "Stream #0:2: Audio: ac3, 48000 Hz, 5.1, s16\n"
                                            "Stream #0:3: Audio: pcm, quad\n"
                                            "Stream #0:4: Audio: pcm, MONO, 5.1\n"
                                            "Stream #0:5: Audio: pcm, 6 channels\n"
                                            "Stream #0:6: Audio: pcm, weird, 7.1, 0 kb/s\n"
                                            "Stream #0:12: Audio: pcm, 2 channels\n"
                                            "Stream #0:13: Audio: pcm, 2147483647.2147483647\n"
                                            "Stream #0:14: Audio: pcm, 99.1, 0.0, mono\n");
    EXPECT_EQ(audio.value("a0_channels"), 2);
    EXPECT_EQ(audio.value("a1_channels"), 6);
    EXPECT_EQ(audio.value("a2_channels"), 2);
    EXPECT_EQ(audio.value("a3_channels"), 1);
    EXPECT_EQ(audio.value("a4_channels"), 6);
    EXPECT_EQ(audio.value("a5_channels"), 8);
    EXPECT_FALSE(audio.contains("a5_bitrate"));
    EXPECT_EQ(audio.value("a6_id"), 12);
    // A damaged report's numbers are no layout: the count stays open, with no overflow.
    EXPECT_EQ(audio.value("a7_channels"), 2);
    EXPECT_EQ(audio.value("a8_channels"), 1);

    const QVariantMap video =
        parsed(head + "Stream #0:0: Video: mpeg2video (Main), yuv420p(tv, top first), 720x576, "
                      "PAR 64:45 DAR 16:9, 29.97 tbr, 59.94 tbc\n"
                      "Stream #0:1: Data: bin_data\n"
                      "Stream #0:2: Video: h264, yuv420p, 320x214 [PAR 1:1 DAR 160:107], 5k tbc\n");
    EXPECT_EQ(video.value("v0_codec"), "mpeg2video");
    EXPECT_EQ(video.value("v0_chroma"), "yuv420p(tv, top first)");
    EXPECT_EQ(video.value("v0_width"), 720);
    EXPECT_EQ(video.value("v0_height"), 576);
    EXPECT_EQ(video.value("v0_dar"), "16:9");
    EXPECT_FALSE(video.contains("v0_par"));
    EXPECT_FLOAT_EQ(video.value("v0_fps").toFloat(), 29.97f);
    EXPECT_EQ(video.value("v0_tbc"), 59.0f);
    EXPECT_EQ(video.value("v1_id"), 2); // the Data line takes no ordinal
    EXPECT_EQ(video.value("v1_par"), "1:1");
    EXPECT_EQ(video.value("v1_dar"), "160:107");
    EXPECT_EQ(video.value("v1_tbc"), 5.0f);
}

TEST(FfInfos, SectionIsTheLastInputBlock) {
    const QString report = "Input #0, avi, from 'a.avi':\n"
                           "  Stream #0:0: Video: mpeg4, yuv420p, 640x480, 25 tbr\n"
                           "Output #0, mov, to 'b.mov':\n"
                           "  Stream #0:0: Video: h264, yuv420p, 320x240, 25 tbr\n"
                           "Input #0, mpegts, from 'c.mts':\n"
                           "  Stream #0:0: Video: h264, yuv420p, 1920x1080, 50 tbr\n"
                           "Output #0, mov, to 'd.mov':\n"
                           "  Stream #0:0: Video: prores, yuv422p10le, 1280x720, 50 tbr\n";
    const QVariantMap infos = parsed(report);
    EXPECT_EQ(infos.value("wrapper"), "mpegts");
    EXPECT_EQ(infos.value("v0_width"), 1920);
    EXPECT_FALSE(infos.contains("v1_codec"));

    // A single input line that is the report's first line starts the section.
    EXPECT_EQ(parsed("Input #0, wav, from 'a.wav':\n  Stream #0:0: Audio: pcm_s16le, 44100 Hz")
                  .value("a0_rate"),
              44100);
}

// The Blu-ray PCM correction applies to AAC at 96 kHz only.
TEST(FfInfos, AacAt96kHzIsReadAsBlurayPcm) {
    const QString head = "x\nInput #0, mpegts, from 'x.mts':\n";
    const QVariantMap corrected =
        parsed(head + "Stream #0:1[0x1100]: Audio: aac, 96000 Hz, 5.1, fltp, 300 kb/s\n");
    EXPECT_EQ(corrected.value("a0_codec"), "pcm_bluray");
    EXPECT_EQ(corrected.value("a0_rate"), 48000);
    EXPECT_EQ(corrected.value("a0_channels"), 2);
    EXPECT_EQ(corrected.value("a0_bitrate"), 1536);
    EXPECT_EQ(corrected.value("a0_force"), 1);
    const QVariantMap kept = parsed(head + "Stream #0:1: Audio: aac, 48000 Hz, stereo\n");
    EXPECT_EQ(kept.value("a0_codec"), "aac");
    EXPECT_FALSE(kept.contains("a0_force"));
}

// Metadata values are the file's own text: they never pass for ffmpeg's lines.
TEST(FfInfos, MetadataCannotForgeStreams) {
    const QVariantMap infos =
        parsed("x\nInput #0, mov,mp4,m4a,3gp,3g2,mj2, from 'x.mov':\n"
               "  Metadata:\n"
               "    comment         : Stream #0:5: Audio: aac, 96000 Hz, stereo\n"
               "    title           : Input #0, forged, from 'y'\n"
               "    comment         : Output #0, forged, to 'z'\n"
               "  Duration: 00:00:01.00, start: 0.000000, bitrate: 100 kb/s\n"
               "  Stream #0:0[0x1]: Video: h264, yuv420p, 320x240, 25 tbr\n");
    EXPECT_EQ(infos.value("wrapper"), "mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_FALSE(infos.contains("a0_codec"));
    EXPECT_EQ(infos.value("v0_width"), 320);
}

TEST(FfInfos, MissingInputs) {
    EXPECT_FALSE(ffInfos(std::nullopt, std::nullopt).has_value());
    EXPECT_EQ(ffInfos(std::nullopt, QStringLiteral("no report here")), QVariantMap());
    EXPECT_FALSE(ffInfos(QString(), std::nullopt).has_value());
    QTemporaryDir dir;
    EXPECT_FALSE(ffInfos(dir.filePath("missing.mts"), std::nullopt).has_value());
    // A report with an input section wins over the path.
    EXPECT_EQ(ffInfos(dir.filePath("missing.mts"), clips::fixture("old-avchd-info.txt"))
                  ->value("wrapper"),
              "mpegts");
}

// Truncated, empty or binary reports never crash the parsers and give at most partial keys.
TEST(FfInfos, DamagedReportsNeverCrash) {
    const QString report = clips::fixture("old-avchd-probe.txt");
    ASSERT_FALSE(report.isEmpty());
    for (qsizetype length = 0; length <= report.size(); ++length) {
        const QString part = report.left(length);
        (void)ffInfos(std::nullopt, part);
        (void)ptsDtsOffsetMs(part);
        (void)intraOffset(part);
    }
    QString binary;
    for (int i = 0; i < 20000; ++i) {
        binary.append(QChar(static_cast<char16_t>((i * 7919) % 0xD7FF + 1)));
    }
    const QString mixed = "Input #0, x\nDuration: \nStream #0:\nStream #0:1, /: Audio: , .\n"
                          "Stream #99999999999999:: Video: ([(, x, DAR , SAR \n" +
                          binary + "\nff_read_packet stream=, pts=, dts=\n";
    const std::optional<QVariantMap> infos = ffInfos(std::nullopt, mixed);
    ASSERT_TRUE(infos.has_value());
    EXPECT_FALSE(ptsDtsOffsetMs(mixed).has_value());
    EXPECT_EQ(intraOffset(binary), 0.0f);
}

TEST(FfInfos, RealOldReports) {
    FLUXARO_NEEDS_SHARED_TEST_DATA();
    // Dotted stream numbers, a Data stream without ordinal, a subtitle and chapters.
    const QVariantMap latin = parsed(oldReport("file_with_iso-8859-1.txt"));
    EXPECT_EQ(latin.value("w_duration"), 1482);
    EXPECT_EQ(latin.value("v0_id"), 0);
    EXPECT_EQ(latin.value("v0_width"), 1000);
    EXPECT_EQ(latin.value("v0_tbc"), 5.0f);
    EXPECT_EQ(latin.value("a0_id"), 2);
    EXPECT_EQ(latin.value("a0_lang"), "eng");
    EXPECT_EQ(latin.value("a0_channels"), 1);
    EXPECT_EQ(latin.value("s0_id"), 3);
    EXPECT_EQ(latin.value("s0_codec"), "text / 0x74786574");
    EXPECT_FALSE(latin.contains("v1_codec"));

    const QVariantMap surround = parsed(oldReport("file_with_surround_sound.txt"));
    EXPECT_EQ(surround.value("a0_channels"), 6);
    EXPECT_EQ(surround.value("v0_fps"), 25.0f);

    // A colour description with a comma inside its parentheses is one field.
    const QVariantMap colour =
        parsed(oldReport("file_with_complex_colorspace_and_decimal_fps.txt"));
    EXPECT_EQ(colour.value("v0_chroma"), "yuv420p(tv, bt709)");
    EXPECT_EQ(colour.value("v0_id"), 1);
    EXPECT_FLOAT_EQ(colour.value("v0_fps").toFloat(), 23.98f);
    EXPECT_EQ(colour.value("v0_tbc"), 48.0f);
    EXPECT_EQ(colour.value("a0_id"), 0);

    const QVariantMap dar = parsed(oldReport("file_with_weird_dar.txt"));
    EXPECT_EQ(dar.value("v0_dar"), "0:1");
    EXPECT_EQ(dar.value("a0_channels"), 2);
    EXPECT_EQ(dar.value("a0_codec"), "pcm_s16le");

    const QVariantMap start = parsed(oldReport("file_with_start_value.txt"));
    EXPECT_FLOAT_EQ(start.value("w_offset").toFloat(), 13.038f);
    EXPECT_EQ(start.value("v0_par"), "1:1");
    EXPECT_EQ(start.value("v0_dar"), "160:107");
    EXPECT_EQ(start.value("a0_channels"), 2);
    EXPECT_FALSE(start.contains("v0_bitrate"));

    const QVariantMap noAudio = parsed(oldReport("file_with_no_audio.txt"));
    EXPECT_EQ(noAudio.value("v0_codec"), "Apple ProRes 422");
    EXPECT_FALSE(noAudio.contains("a0_codec"));

    const QVariantMap unsupported = parsed(oldReport("file_with_non_supported_audio.txt"));
    EXPECT_EQ(unsupported.value("a0_codec"), "aac");
    EXPECT_FALSE(unsupported.contains("a0_rate"));
    EXPECT_EQ(unsupported.value("v0_fps"), 48.0f);

    const QVariantMap sar = parsed(oldReport("file_with_weird_sar.txt"));
    EXPECT_EQ(sar.value("wrapper"), "mpeg");
    EXPECT_EQ(sar.value("v0_par"), "0:1");
    EXPECT_EQ(sar.value("v0_dar"), "704:405");
    EXPECT_FLOAT_EQ(sar.value("w_offset").toFloat(), 0.22f);
}

// Reports of the shipped ffmpeg, made by ffInfos itself on generated clips.
TEST(FfInfos, CamcorderTransportStream) {
    const QString clip = clips::clip("ts1080p50");
    ASSERT_FALSE(clip.isEmpty());
    const QVariantMap infos = ofFile(clip);
    EXPECT_EQ(infos.value("wrapper"), "mpegts");
    EXPECT_EQ(infos.value("w_duration"), 1);
    EXPECT_NEAR(infos.value("w_offset").toFloat(), 1.4f, 0.01f);
    EXPECT_EQ(infos.value("v0_id"), 0);
    EXPECT_EQ(infos.value("v0_codec"), "h264");
    EXPECT_EQ(infos.value("v0_width"), 1920);
    EXPECT_EQ(infos.value("v0_height"), 1080);
    EXPECT_EQ(infos.value("v0_dar"), "16:9");
    EXPECT_EQ(infos.value("v0_par"), "1:1");
    EXPECT_EQ(infos.value("v0_fps"), 50.0f);
    EXPECT_EQ(infos.value("v0_chroma"), "yuv420p(progressive)");
    EXPECT_EQ(infos.value("a0_id"), 1);
    EXPECT_EQ(infos.value("a0_codec"), "ac3");
    EXPECT_EQ(infos.value("a0_rate"), 48000);
    EXPECT_EQ(infos.value("a0_channels"), 2);
    EXPECT_EQ(infos.value("a0_bitrate"), 192);
    EXPECT_FALSE(infos.contains("v0_tbc"));
}

TEST(FfInfos, SurroundAndHighRateAac) {
    const QString surround = clips::clip("surround");
    const QString aac96 = clips::clip("aac96");
    ASSERT_FALSE(surround.isEmpty());
    ASSERT_FALSE(aac96.isEmpty());
    EXPECT_EQ(ofFile(surround).value("a0_channels"), 6);
    const QVariantMap corrected = ofFile(aac96);
    EXPECT_EQ(corrected.value("a0_codec"), "pcm_bluray");
    EXPECT_EQ(corrected.value("a0_rate"), 48000);
    EXPECT_EQ(corrected.value("a0_force"), 1);
}

TEST(FfInfos, QuickTimeMovieWithSubtitle) {
    const QString clip = clips::clip("movSubtitle");
    ASSERT_FALSE(clip.isEmpty());
    const QVariantMap infos = ofFile(clip);
    EXPECT_EQ(infos.value("wrapper"), "mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_EQ(infos.value("v0_id"), 0);
    EXPECT_EQ(infos.value("v0_fps"), 25.0f);
    EXPECT_EQ(infos.value("a0_id"), 1);
    EXPECT_EQ(infos.value("a0_codec"), "aac");
    EXPECT_EQ(infos.value("a0_lang"), "fra");
    EXPECT_EQ(infos.value("s0_id"), 2);
    EXPECT_EQ(infos.value("s0_codec"), "mov_text");
    EXPECT_FLOAT_EQ(infos.value("w_offset").toFloat(), 0.0f);
}

TEST(FfInfos, FileThatIsNotAMovieGivesNothing) {
    const QString clip = clips::clip("notAMovie");
    ASSERT_FALSE(clip.isEmpty());
    EXPECT_FALSE(ffInfos(clip, std::nullopt).has_value());
}

// Quotes, blanks and shell syntax in a name reach ffmpeg as the name, and run nothing.
TEST(FfInfos, HostileFileNamesAreQuoted) {
    const QString clip = clips::clip("movie");
    ASSERT_FALSE(clip.isEmpty());
    QTemporaryDir dir;
    const QString marker =
        QStringLiteral("fluxaro-quoting-%1").arg(QCoreApplication::applicationPid());
    const QString name = dir.filePath("it's a \"clip\" $(touch " + marker + ") `touch " + marker +
                                      "` ; touch " + marker + " %s.mov");
    ASSERT_TRUE(QFile::copy(clip, name));
    EXPECT_EQ(ofFile(name).value("v0_fps"), 10.0f);
    EXPECT_FALSE(QFile::exists(marker));
    QFile::remove(marker);
}
