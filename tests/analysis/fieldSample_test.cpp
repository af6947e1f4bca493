// The look at the pictures of streams flagged interlaced: idet's report read back, the verdict
// over the samples, and the real ffmpeg run on clips coded as fields (progressive pictures,
// 50 moments a second, 2:3 pulldown, a switch halfway, one picture, scrambled packets, and the
// real camera clip), looked at both by the ffmpeg program and in process over FFmpeg's libraries.
#include "analysis/ffmpeg.h"
#include "analysis/fieldSample.h"
#include "clips.h"
#include "sharedTestData.h"
#include "toolbox/fieldSampleCounts.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// What ffmpeg 5.1 printed for two samples of a 2:3 pulldown clip: every graph's counts at its
// first set-up (empty), then the counts after the run, the later sample first.
const char *const kPulldownReport =
    "Input #0, mpegts, from 'pulldown.mts':\n"
    "  Stream #0:0[0x100]: Video: h264 (Main), yuv420p(top first), 640x360, 29.97 fps\n"
    "[idet@s1 @ 0x55ee7fd8f7c0] Repeated Fields: Neither:     0 Top:     0 Bottom:     0\n"
    "[idet@s1 @ 0x55ee7fd8f7c0] Single frame detection: TFF:     0 BFF:     0 Progressive:     "
    "0 Undetermined:     0\n"
    "[idet@s0 @ 0x55ee7fd903c0] Repeated Fields: Neither:     0 Top:     0 Bottom:     0\n"
    "[idet@s0 @ 0x55ee7fd903c0] Single frame detection: TFF:     0 BFF:     0 Progressive:     "
    "0 Undetermined:     0\n"
    "Stream mapping:\n"
    "video:9kB audio:0kB subtitle:0kB other streams:0kB global headers:0kB\n"
    "[idet@s1 @ 0x55ee80132580] Repeated Fields: Neither:     6 Top:     2 Bottom:     2\n"
    "[idet@s1 @ 0x55ee80132580] Single frame detection: TFF:     8 BFF:     2 Progressive:     "
    "0 Undetermined:     0\n"
    "[idet@s1 @ 0x55ee80132580] Multi frame detection: TFF:     6 BFF:     4 Progressive:     0 "
    "Undetermined:     0\n"
    "[idet@s0 @ 0x55ee7febeb00] Repeated Fields: Neither:     6 Top:     2 Bottom:     2\n"
    "[idet@s0 @ 0x55ee7febeb00] Single frame detection: TFF:    10 BFF:     0 Progressive:     "
    "0 Undetermined:     0\n";

idetSampleCounts counts(int32_t tff, int32_t bff, int32_t progressive, int32_t undetermined,
                        int32_t top = 0, int32_t bottom = 0) {
    idetSampleCounts c;
    c.tff = tff;
    c.bff = bff;
    c.progressive = progressive;
    c.undetermined = undetermined;
    c.repeatedTop = top;
    c.repeatedBottom = bottom;
    c.repeatedNeither = c.frames() - top - bottom;
    return c;
}

TEST(idetReport, lastCountsOfEachSampleInSampleOrder) {
    const QList<idetSampleCounts> samples = idetReportCounts(QString::fromLatin1(kPulldownReport));
    ASSERT_EQ(samples.size(), 2);
    EXPECT_EQ(samples.at(0), counts(10, 0, 0, 0, 2, 2));
    EXPECT_EQ(samples.at(1), counts(8, 2, 0, 0, 2, 2));
    EXPECT_EQ(fieldScanDecision(samples).scan, fieldScan::pulldown);
}

TEST(idetReport, onlyIdetLinesCountAndMissingSamplesAreEmpty) {
    // A metadata value printed in the report can't forge counts; a sample whose counts never
    // came (ffmpeg stopped) is empty, and so decides nothing.
    const QString report = QStringLiteral(
        "    title           : [idet@s0 @ 0x1] Single frame detection: TFF: 0 BFF: 0 "
        "Progressive: 99 Undetermined: 0\n"
        "[idet@s2 @ 0x2] Repeated Fields: Neither:    10 Top:     0 Bottom:     0\r\n"
        "[idet@s2 @ 0x2] Single frame detection: TFF:     0 BFF:     0 Progressive:    10 "
        "Undetermined:     0\r\n");
    const QList<idetSampleCounts> samples = idetReportCounts(report);
    ASSERT_EQ(samples.size(), 3);
    EXPECT_EQ(samples.at(0).frames(), 0);
    EXPECT_EQ(samples.at(1).frames(), 0);
    EXPECT_EQ(samples.at(2), counts(0, 0, 10, 0));
    const fieldScanVerdict verdict = fieldScanDecision(samples);
    EXPECT_EQ(verdict.scan, fieldScan::undecided);
    EXPECT_TRUE(verdict.reason.contains(QStringLiteral("sample 1 of 3 gave 0 pictures")))
        << verdict.reason.toStdString();
    EXPECT_TRUE(idetReportCounts(QString()).isEmpty());
    // The samples that were run, counts or not.
    EXPECT_EQ(idetReportCounts(QString(), 3).size(), 3);
    EXPECT_EQ(fieldScanDecision(idetReportCounts(report, 4)).scan, fieldScan::undecided);
    EXPECT_TRUE(
        idetReportCounts(QStringLiteral("[idet@sx @ 0x1] Repeated Fields: Neither: 3")).isEmpty());
}

TEST(fieldScanDecision, table) {
    struct row {
        const char *what;
        QList<idetSampleCounts> samples;
        fieldScan scan;
    };
    const QList<row> rows = {
        {"progressive everywhere",
         {counts(0, 0, 10, 0), counts(0, 0, 9, 1), counts(0, 0, 10, 0)},
         fieldScan::progressive},
        {"no motion to judge, no combing",
         {counts(0, 0, 0, 10), counts(0, 0, 2, 8)},
         fieldScan::progressive},
        {"one combed picture is fields of two moments",
         {counts(0, 0, 10, 0), counts(1, 0, 9, 0), counts(0, 0, 10, 0)},
         fieldScan::undecided},
        {"interlaced everywhere",
         {counts(10, 0, 0, 0), counts(9, 0, 0, 1), counts(0, 10, 0, 0)},
         fieldScan::interlaced},
        {"2:3 pulldown",
         {counts(6, 0, 4, 0, 2, 2), counts(10, 0, 0, 0, 2, 2)},
         fieldScan::pulldown},
        {"a repeated field of one parity only is no pulldown",
         {counts(10, 0, 0, 0, 4, 0)},
         fieldScan::undecided},
        {"progressive then interlaced",
         {counts(0, 0, 10, 0), counts(10, 0, 0, 0)},
         fieldScan::mixed},
        {"pulldown then progressive",
         {counts(6, 0, 4, 0, 2, 2), counts(0, 0, 10, 0)},
         fieldScan::mixed},
        {"half combed: no clear majority",
         {counts(5, 0, 5, 0), counts(5, 0, 5, 0)},
         fieldScan::undecided},
        {"one picture", {counts(0, 0, 1, 0)}, fieldScan::undecided},
        {"four pictures in all", {counts(0, 0, 2, 0), counts(0, 0, 2, 0)}, fieldScan::undecided},
        {"a short sample among full ones",
         {counts(0, 0, 10, 0), counts(0, 0, 3, 0)},
         fieldScan::undecided},
        {"nothing decoded", {idetSampleCounts{}, idetSampleCounts{}}, fieldScan::undecided},
        {"no sample at all", {}, fieldScan::undecided},
    };
    for (const row &r : rows) {
        const fieldScanVerdict verdict = fieldScanDecision(r.samples);
        EXPECT_EQ(verdict.scan, r.scan) << r.what << ": " << verdict.reason.toStdString();
        EXPECT_FALSE(verdict.reason.isEmpty()) << r.what;
    }
    EXPECT_EQ(fieldScanDecision({counts(0, 0, 10, 0)}).reason,
              QStringLiteral("progressive pictures in an interlaced stream"));
    EXPECT_EQ(fieldScanKey(fieldScan::progressive), QStringLiteral("psf"));
    EXPECT_EQ(fieldScanKey(fieldScan::pulldown), QStringLiteral("pulldown"));
    EXPECT_TRUE(fieldScanKey(fieldScan::mixed).isEmpty());
}

TEST(fieldSampleArguments, samplesSpreadThroughTheClip) {
    EXPECT_EQ(fieldSampleStarts(0), QList<double>{0.0});
    EXPECT_EQ(fieldSampleStarts(2.9), QList<double>{0.0});
    EXPECT_EQ(fieldSampleStarts(std::nan("")), QList<double>{0.0});
    EXPECT_EQ(fieldSampleStarts(60), (QList<double>{0.0, 30.0, 50.0}));

    const QStringList three = fieldSampleArguments("ff", "/a b.mts", 60, QString());
    EXPECT_EQ(three.first(), QStringLiteral("ff"));
    EXPECT_EQ(three.count(QStringLiteral("-i")), 3);
    EXPECT_EQ(three.count(QStringLiteral("/a b.mts")), 3);
    EXPECT_EQ(three.count(QStringLiteral("-ss")), 2);
    EXPECT_TRUE(three.contains(QStringLiteral("30.000")));
    EXPECT_TRUE(three.contains(QStringLiteral("50.000")));
    const qsizetype graph = three.indexOf(QStringLiteral("-filter_complex"));
    ASSERT_GE(graph, 0);
    EXPECT_EQ(three.at(graph + 1),
              QStringLiteral("[0:v:0]trim=end_frame=10,idet@s0[s0];[1:v:0]trim=end_frame=10,"
                             "idet@s1[s1];[2:v:0]trim=end_frame=10,idet@s2[s2]"));
    EXPECT_FALSE(three.contains(QStringLiteral("-f")) &&
                 three.at(three.indexOf(QStringLiteral("-f")) + 1) != QStringLiteral("null"));

    const QStringList one = fieldSampleArguments("ff", "x.mts", 1, QStringLiteral("mpegts"));
    EXPECT_EQ(one.count(QStringLiteral("-i")), 1);
    EXPECT_FALSE(one.contains(QStringLiteral("-ss")));
    EXPECT_EQ(one.at(one.indexOf(QStringLiteral("-i")) - 2), QStringLiteral("-t"));
    EXPECT_EQ(one.at(one.indexOf(QStringLiteral("-f")) + 1), QStringLiteral("mpegts"));
    EXPECT_TRUE(one.at(one.indexOf(QStringLiteral("-filter_complex")) + 1)
                    .contains(QStringLiteral("end_frame=30")));
}

QList<idetSampleCounts> programCounts(const QString &path, double seconds) {
    const QList<double> starts = fieldSampleStarts(seconds);
    const QString report = clips::runFfmpeg(
        fieldSampleArguments(QStringLiteral("/usr/bin/ffmpeg"), path, seconds, QString()).mid(1));
    return idetReportCounts(report, starts.size());
}

toolbox::FieldSampleReport inProcess(const QString &path, double seconds,
                                     const std::string &format = {}) {
    const QList<double> starts = fieldSampleStarts(seconds);
    return toolbox::fieldSampleCounts(
        QFile::encodeName(path).toStdString(), std::vector<double>(starts.cbegin(), starts.cend()),
        starts.size() > 1 ? kFieldSampleFrames : kFieldShortClipFrames, format);
}

QList<idetSampleCounts> inProcessCounts(const QString &path, double seconds) {
    QList<idetSampleCounts> samples;
    for (const toolbox::FieldCounts &f : inProcess(path, seconds).samples) {
        samples << idetSampleCounts{
            f.tff,         f.bff,           f.progressive, f.undetermined, f.repeatedNeither,
            f.repeatedTop, f.repeatedBottom};
    }
    return samples;
}

fieldScanVerdict lookAt(const QString &path, double seconds) {
    return fieldScanDecision(programCounts(path, seconds));
}

TEST(fieldSampleRun, clipsCodedAsFields) {
    struct row {
        const char *clip;
        double seconds;
        fieldScan scan;
    };
    const QList<row> rows = {
        {"psf", 4, fieldScan::progressive},    {"interlaced", 4, fieldScan::interlaced},
        {"pulldown", 4, fieldScan::pulldown},  {"switching", 6, fieldScan::mixed},
        {"oneFrame", 0, fieldScan::undecided}, {"brokenFields", 4, fieldScan::undecided},
    };
    for (const row &r : rows) {
        const QString path = clips::clip(QString::fromLatin1(r.clip));
        ASSERT_FALSE(path.isEmpty()) << r.clip;
        const fieldScanVerdict verdict = lookAt(path, r.seconds);
        EXPECT_EQ(verdict.scan, r.scan) << r.clip << ": " << verdict.reason.toStdString();
        // In process: the same idet over samples from the same places, so the same verdict.
        const QList<idetSampleCounts> counts = inProcessCounts(path, r.seconds);
        const fieldScanVerdict own = fieldScanDecision(counts);
        EXPECT_EQ(own.scan, r.scan) << r.clip << ": " << own.reason.toStdString();
        EXPECT_EQ(counts.size(), fieldSampleStarts(r.seconds).size()) << r.clip;
        if (r.scan != fieldScan::undecided) {
            // Every sample holds its pictures, the last one near the clip's end included.
            for (const idetSampleCounts &s : counts) {
                EXPECT_EQ(s.frames(),
                          counts.size() > 1 ? kFieldSampleFrames : kFieldShortClipFrames)
                    << r.clip;
            }
        }
    }
}

// A stream with a key frame every 10 s: the samples at 6 s and 10 s seek to 5 s and 9 s, and
// the first finds no key frame between where it lands and 4 s later. It must take the key
// frame before (here the file's start) and judge its pictures, not give none.
TEST(fieldSampleInProcess, keyFramesFarApartStillGiveEverySample) {
    const struct {
        const char *clip;
        fieldScan scan;
    } rows[] = {{"psfLongGroup", fieldScan::progressive},
                {"interlacedLongGroup", fieldScan::interlaced}};
    for (const auto &r : rows) {
        const QString path = clips::clip(QString::fromLatin1(r.clip));
        ASSERT_FALSE(path.isEmpty()) << r.clip;
        const QList<idetSampleCounts> counts = inProcessCounts(path, 12);
        ASSERT_EQ(counts.size(), 3) << r.clip;
        for (qsizetype k = 0; k < counts.size(); ++k) {
            EXPECT_EQ(counts.at(k).frames(), kFieldSampleFrames) << r.clip << " sample " << k + 1;
        }
        const fieldScanVerdict verdict = fieldScanDecision(counts);
        EXPECT_EQ(verdict.scan, r.scan) << r.clip << ": " << verdict.reason.toStdString();
    }
}

TEST(fieldSampleInProcess, unreadableInputIsAFailureNotACrash) {
    const QString missing = QStringLiteral("/nonexistent/clip.mts");
    const toolbox::FieldSampleReport none = inProcess(missing, 4);
    EXPECT_FALSE(none.status.ok());
    EXPECT_TRUE(none.samples.empty());

    // Text named like a movie, and a file name that reads like a protocol: never a movie.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = dir.filePath(QStringLiteral("notes.mts"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("no pictures here\n");
    file.close();
    EXPECT_FALSE(inProcess(text, 4).status.ok());
    EXPECT_FALSE(inProcess(QStringLiteral("pipe:0"), 4).status.ok());

    // A clip forced through a container it is not in gives no picture, and an unknown
    // container's name is refused.
    const QString psf = clips::clip(QStringLiteral("psf"));
    ASSERT_FALSE(psf.isEmpty());
    EXPECT_FALSE(inProcess(psf, 4, "noSuchFormat").status.ok());
    const toolbox::FieldSampleReport wrong = inProcess(psf, 4, "wav");
    int32_t pictures = 0;
    for (const toolbox::FieldCounts &f : wrong.samples) {
        pictures += f.tff + f.bff + f.progressive + f.undetermined;
    }
    EXPECT_EQ(pictures, 0);
}

TEST(fieldSampleRun, realCameraClipIsNotAccepted) {
    FLUXARO_NEEDS_SHARED_TEST_DATA();
    const QString canon =
        QString::fromStdString(fluxaro::test::sharedTestFile("canon-truncated.mts"));
    const fieldScanVerdict verdict = lookAt(canon, 0);
    EXPECT_NE(verdict.scan, fieldScan::progressive) << verdict.reason.toStdString();
    EXPECT_NE(verdict.scan, fieldScan::pulldown) << verdict.reason.toStdString();
}

} // namespace
