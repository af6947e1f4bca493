// Streams flagged interlaced, through fluxaro --batch: progressive pictures coded as fields are
// accepted and converted as progressive (rewrap and ProRes, every picture kept), fields of 50
// moments a second and the real camera clip stay refused, and 24 pictures a second in 2:3
// pulldown become 23.976 progressive ProRes with every original picture once (a rewrap refuses
// them). The outputs are judged with ffprobe, mediainfo and GStreamer against the pictures the
// clips were made of.
#include "e2eMedia.h"
#include "sharedTestData.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using namespace e2e;

namespace {

std::string show(const runResult &run) {
    return (run.out + QStringLiteral("\n--- stderr tail ---\n") + run.err.right(3000))
        .toStdString();
}

QString run(const QString &program, const QStringList &args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    process.waitForFinished(240000);
    return QString::fromUtf8(process.readAll());
}

/// x264 coding as fields, top field first, a key frame every 12 pictures.
const QStringList kFields = {"-c:v",     "libx264", "-preset", "veryfast",     "-qp",
                             "18",       "-g",      "12",      "-x264-params", "interlaced=1:tff=1",
                             "-pix_fmt", "yuv420p"};

/// The pictures `source` (a lavfi source) makes, kept losslessly, and the same pictures run
/// through `filter` and coded as fields (with a sound track) in a transport stream.
bool makeFieldClip(const QString &pictures, const QString &clip, const QString &source,
                   const QString &filter) {
    run("/usr/bin/ffmpeg",
        {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", source, "-c:v", "ffv1", pictures});
    QStringList args{
        "-nostdin", "-v",       "error", "-y",  "-i",
        pictures,   "-f",       "lavfi", "-i",  "sine=frequency=440:sample_rate=48000:duration=4",
        "-map",     "0:v",      "-map",  "1:a", "-c:a",
        "ac3",      "-shortest"};
    if (!filter.isEmpty()) {
        args << "-vf" << filter;
    }
    run("/usr/bin/ffmpeg", args + kFields + QStringList{"-f", "mpegts", clip});
    return QFileInfo(pictures).size() > 0 && QFileInfo(clip).size() > 0;
}

/// The PSNR (dB) of each picture of `movie` (from its picture `movieFrom`, scaled to 640x360)
/// against the picture of `pictures` as many places further (from `picturesFrom`): pictures are
/// paired by their numbers, whatever their times.
QList<double> picturePsnr(const QString &movie, const QString &pictures, int movieFrom = 0,
                          int picturesFrom = 0) {
    const QString graph =
        QStringLiteral("[0:v]trim=start_frame=%1,scale=640:360,setpts=N/(25*TB),"
                       "format=yuv420p[a];"
                       "[1:v]trim=start_frame=%2,setpts=N/(25*TB),format=yuv420p[b];"
                       "[a][b]psnr=stats_file=-")
            .arg(movieFrom)
            .arg(picturesFrom);
    // The statistics alone, on the standard output (messages would break their lines).
    QProcess ffmpeg;
    ffmpeg.setStandardInputFile(QProcess::nullDevice());
    ffmpeg.start("/usr/bin/ffmpeg", {"-nostdin", "-v", "error", "-i", movie, "-i", pictures,
                                     "-lavfi", graph, "-f", "null", "-"});
    ffmpeg.waitForFinished(240000);
    const QString text = QString::fromUtf8(ffmpeg.readAllStandardOutput());
    QList<double> values;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype at = line.indexOf(QStringLiteral("psnr_avg:"));
        if (line.startsWith(QStringLiteral("n:")) && at >= 0) {
            const QString value = line.mid(at + 9).section(QLatin1Char(' '), 0, 0);
            values << (value == QStringLiteral("inf") ? 99.0 : value.toDouble());
        }
    }
    return values;
}

/// Each picture of `movie` is the same-numbered one of `pictures`: closer to it than to its
/// neighbours there, so none is lost, repeated or out of place.
void expectEveryPictureOnce(const QString &movie, const QString &pictures, qsizetype count) {
    const QList<double> same = picturePsnr(movie, pictures);
    const QList<double> next = picturePsnr(movie, pictures, 0, 1);   // movie i, pictures i + 1
    const QList<double> before = picturePsnr(movie, pictures, 1, 0); // movie i + 1, pictures i
    ASSERT_EQ(same.size(), count);
    // One side a picture shorter: its last picture pairs with nothing.
    ASSERT_GE(next.size(), count - 2);
    ASSERT_GE(before.size(), count - 2);
    for (qsizetype i = 0; i < count; ++i) {
        EXPECT_GT(same.at(i), 25.0) << "picture " << i;
        if (i + 1 < count && i < next.size() && i < before.size()) {
            EXPECT_GT(same.at(i), next.at(i)) << "picture " << i << " looks like the next one";
            EXPECT_GT(same.at(i + 1), before.at(i))
                << "picture " << i + 1 << " looks like the one before";
        }
    }
}

/// ffprobe's interlaced_frame flag of each decoded picture.
QStringList interlacedFlags(const QString &movie) {
    QStringList flags;
    const QString text =
        run("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                 "frame=interlaced_frame", "-of", "csv=p=0", movie});
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        flags << line.trimmed();
    }
    return flags;
}

QString onlyOutput(const sandbox &box) {
    const QStringList files = box.eventsFiles();
    return files.size() == 1 ? box.events() + QLatin1Char('/') + files.first() : QString();
}

bool proresAvailable(const runResult &r) {
    return !r.out.contains(QStringLiteral("no ProRes encoder"));
}

} // namespace

TEST(fields, progressivePicturesInAnInterlacedStream) {
    sandbox box;
    const QString pictures = box.root() + QStringLiteral("/pictures.mkv");
    const QString src = box.root() + QStringLiteral("/psf.mts");
    ASSERT_TRUE(makeFieldClip(pictures, src,
                              QStringLiteral("testsrc=size=640x360:rate=25:duration=4"), {}));
    ASSERT_EQ(probeStream(src, "v").value("field_order"), "tt");

    // Rewrap: accepted as progressive, the stream copied untouched, the movie says progressive.
    runResult r = box.batch({src, "--format", "rewrap"});
    ASSERT_EQ(r.status, 0) << show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("accepted: %1 (progressive pictures in an "
                                              "interlaced stream)")
                                   .arg(src)))
        << show(r);
    QString out = onlyOutput(box);
    ASSERT_FALSE(out.isEmpty());
    EXPECT_EQ(probeStream(out, "v").value("field_order"), "progressive");
    EXPECT_EQ(frameHashes(out), frameHashes(src));
    const QString mediainfo = run("/usr/bin/mediainfo", {"--Inform=Video;%ScanType%", out});
    EXPECT_TRUE(mediainfo.trimmed() == QStringLiteral("Progressive")) << mediainfo.toStdString();
    // GStreamer's QuickTime demuxer takes the movie's field information too.
    QString discovered =
        run("/usr/bin/gst-discoverer-1.0", {"-v", QStringLiteral("file://") + out});
    EXPECT_TRUE(discovered.contains(QStringLiteral("Interlaced: false")))
        << discovered.toStdString();

    // ProRes: progressive frames and field order, every picture of the source.
    QDir(box.events()).removeRecursively();
    r = box.batch({src, "--format", "prores", "--prores", "hq"});
    if (!proresAvailable(r)) {
        GTEST_SKIP() << "no ProRes encoder";
    }
    ASSERT_EQ(r.status, 0) << show(r);
    out = onlyOutput(box);
    ASSERT_FALSE(out.isEmpty());
    const auto video = probeStream(out, "v");
    EXPECT_EQ(video.value("codec_tag_string"), "apch");
    EXPECT_EQ(video.value("field_order"), "progressive");
    const QStringList flags = interlacedFlags(out);
    EXPECT_EQ(flags.size(), 100);
    EXPECT_EQ(flags.count(QStringLiteral("0")), flags.size()) << flags.join(' ').toStdString();
    expectEveryPictureOnce(out, pictures, 100);
    discovered = run("/usr/bin/gst-discoverer-1.0", {"-v", QStringLiteral("file://") + out});
    EXPECT_TRUE(discovered.contains(QStringLiteral("Interlaced: false")))
        << discovered.toStdString();
}

TEST(fields, interlacedMaterialStaysRefused) {
    sandbox box;
    const QString pictures = box.root() + QStringLiteral("/pictures.mkv");
    const QString src = box.root() + QStringLiteral("/interlaced.mts");
    ASSERT_TRUE(makeFieldClip(pictures, src,
                              QStringLiteral("testsrc=size=640x360:rate=50:duration=4"),
                              QStringLiteral("tinterlace=mode=interleave_top")));
    QStringList sources{src};
    // The first packets of a real camera's clip join it where the shared real files are here:
    // ffmpeg's report gives no field order for them and nothing decodes, so no movie comes of it.
    const QString canon =
        QString::fromStdString(fluxaro::test::sharedTestFile("canon-truncated.mts"));
    if (!canon.isEmpty()) {
        sources << canon;
    }
    const runResult r = box.batch(sources + QStringList{"--format", "prores"});
    EXPECT_EQ(r.status, 1) << show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("refused:  %1 (interlaced (").arg(src))) << show(r);
    EXPECT_FALSE(r.out.contains(QStringLiteral("accepted: ") + src)) << show(r);
    for (const QString &s : sources) {
        EXPECT_FALSE(r.out.contains(QStringLiteral("converted: ") + s)) << show(r);
    }
    EXPECT_TRUE(box.eventsFiles().isEmpty());
}

// Camcorders that write a key frame every 10 s: the look's samples in the middle of such a
// 12 s clip find no key frame after their seek point and take the one before (the file's
// start), so the progressive pictures coded as fields are accepted and the fields of 50
// moments still refused, with no sample "too few to judge".
TEST(fields, keyFramesTenSecondsApartAreStillJudged) {
    sandbox box;
    const QStringList longGroups = {
        "-c:v",     "libx264", "-preset",       "veryfast", "-qp",          "18",
        "-g",       "250",     "-sc_threshold", "0",        "-x264-params", "interlaced=1:tff=1",
        "-pix_fmt", "yuv420p", "-c:a",          "ac3",      "-f",           "mpegts"};
    const QString psf = box.root() + QStringLiteral("/psf.mts");
    const QString woven = box.root() + QStringLiteral("/woven.mts");
    const QString tone = QStringLiteral("sine=frequency=440:sample_rate=48000:duration=12");
    run("/usr/bin/ffmpeg",
        QStringList{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc=size=640x360:rate=25:duration=12", "-f", "lavfi", "-i", tone} +
            longGroups + QStringList{psf});
    run("/usr/bin/ffmpeg", QStringList{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                       "testsrc=size=640x360:rate=50:duration=12", "-f", "lavfi",
                                       "-i", tone, "-vf", "tinterlace=mode=interleave_top"} +
                               longGroups + QStringList{woven});
    ASSERT_EQ(probeStream(psf, "v").value("field_order"), "tt");
    ASSERT_EQ(probeStream(woven, "v").value("field_order"), "tt");
    const runResult r = box.batch({psf, woven, "--format", "rewrap"});
    EXPECT_EQ(r.status, 1) << show(r);
    EXPECT_TRUE(r.out.contains(
        QStringLiteral("accepted: %1 (progressive pictures in an interlaced stream)").arg(psf)))
        << show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("refused:  %1 (interlaced (").arg(woven))) << show(r);
    EXPECT_FALSE(r.out.contains(QStringLiteral("too few to judge"))) << show(r);
    const QString out = onlyOutput(box);
    ASSERT_FALSE(out.isEmpty());
    EXPECT_EQ(frameHashes(out), frameHashes(psf));
}

TEST(fields, pulldownBecomesProgressiveProres) {
    sandbox box;
    const QString pictures = box.root() + QStringLiteral("/pictures.mkv");
    const QString src = box.root() + QStringLiteral("/pulldown.mts");
    ASSERT_TRUE(makeFieldClip(pictures, src,
                              QStringLiteral("testsrc2=size=640x360:rate=24000/1001:duration=4"),
                              QStringLiteral("telecine=first_field=top:pattern=23")));
    const int originals = static_cast<int>(frameHashes(pictures).size());
    ASSERT_EQ(originals, 96);

    // A rewrap can't remove the pulldown: refused, naming ProRes.
    runResult r = box.batch({src, "--format", "rewrap"});
    EXPECT_EQ(r.status, 1) << show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("accepted: %1 (24p in 2:3 pulldown").arg(src)))
        << show(r);
    EXPECT_TRUE(r.out.contains(QStringLiteral("failed:   ") + src) &&
                r.out.contains(QStringLiteral("choose ProRes")))
        << show(r);
    EXPECT_TRUE(box.eventsFiles().isEmpty());

    r = box.batch({src, "--format", "prores", "--prores", "hq"});
    if (!proresAvailable(r)) {
        GTEST_SKIP() << "no ProRes encoder";
    }
    ASSERT_EQ(r.status, 0) << show(r);
    const QString out = onlyOutput(box);
    ASSERT_FALSE(out.isEmpty());
    const auto video = probeStream(out, "v");
    // The job's summary says what became of the pictures.
    QFile summary(box.resumeLog());
    ASSERT_TRUE(summary.open(QIODevice::ReadOnly));
    const QString summaryText = QString::fromUtf8(summary.readAll());
    EXPECT_TRUE(summaryText.contains(QStringLiteral("24p in 2:3 pulldown, removed")))
        << summaryText.toStdString();
    EXPECT_EQ(video.value("r_frame_rate"), "24000/1001");
    EXPECT_EQ(video.value("field_order"), "progressive");
    const QStringList flags = interlacedFlags(out);
    EXPECT_EQ(flags.count(QStringLiteral("0")), flags.size());
    EXPECT_EQ(frameHashes(out).size(), originals);
    // Every original picture once, in order (testsrc2 moves every picture).
    expectEveryPictureOnce(out, pictures, originals);
}
