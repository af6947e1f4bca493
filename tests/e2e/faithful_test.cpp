// Outputs judged against their sources by two readers: FFmpeg (framemd5, decoded timestamps)
// and GStreamer's own QuickTime demuxer. Each output presents the frames its source presents,
// once each and in order, as long as the source lasts (times the slow motion), with the sound
// where it was beside the picture: after it, before it (cut at the picture), or after an
// empty edit of a QuickTime source.
#include "e2eMedia.h"
#include "gstReading.h"

#include "toolbox/movie.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>

using namespace e2e;

namespace {

/// Within a millisecond of sound, as players can tell it.
constexpr double kSyncSeconds = 0.001;

QString ffprobeText(const QStringList &args) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/ffprobe"), QStringList{"-v", "error"} + args);
    process.waitForFinished(120000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

/// The time of the first frame FFmpeg decodes from the first stream of a kind ("v", "a").
double firstFrameSeconds(const QString &path, const QString &kind) {
    const QString text = ffprobeText({"-select_streams", kind + ":0", "-show_entries",
                                      "frame=pts_time", "-of", "csv=p=0", path});
    double first = NAN;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        bool ok = false;
        // "0.000000," when the frame has side data.
        const double t = line.section(QLatin1Char(','), 0, 0).trimmed().toDouble(&ok);
        if (ok && (std::isnan(first) || t < first)) {
            first = t;
        }
    }
    return first;
}

/// What each reader makes of a movie.
struct readings {
    QStringList ffmpegFrames;  ///< framemd5 of the presented pictures
    double ffmpegOffset = NAN; ///< the sound's start less the picture's, seconds
    double ffmpegDuration = 0; ///< the video stream's duration
    gstreading::MovieTiming gst;
};

readings readBoth(const QString &path) {
    readings r;
    r.ffmpegFrames = frameHashes(path);
    r.ffmpegOffset = firstFrameSeconds(path, "a") - firstFrameSeconds(path, "v");
    r.ffmpegDuration = probeStream(path, "v").value("duration").toDouble();
    r.gst = gstreading::readMovie(QFile::encodeName(path).toStdString());
    return r;
}

/// The output presents `frames` pictures over `seconds`, the sound `offset` after the picture,
/// for both readers; the movie lasts as long for both. Times of a slow-motion output are
/// `factor` times longer: its sound is compared in the source's time, where the millisecond of
/// the muxer's edit list was kept.
void expectReadersAgree(const QString &out, long frames, double seconds, double offset,
                        double factor, const std::string &what) {
    const readings r = readBoth(out);
    ASSERT_TRUE(r.gst.ok) << what << ": " << r.gst.error;
    EXPECT_EQ(r.ffmpegFrames.size(), frames) << what;
    EXPECT_EQ(r.gst.video.buffers, frames) << what;
    const double frame = seconds * factor / double(frames);
    EXPECT_NEAR(r.ffmpegDuration, seconds * factor, frame) << what;
    EXPECT_NEAR(r.gst.video.end - r.gst.video.start, seconds * factor, frame) << what;
    EXPECT_NEAR(r.gst.duration, probeDuration(out), 0.002) << what;
    EXPECT_NEAR(r.ffmpegOffset / factor, offset, kSyncSeconds) << what;
    EXPECT_NEAR(r.gst.soundOffset() / factor, offset, kSyncSeconds) << what;
}

/// Where FFmpeg finds the sound of a source beside its picture (a transport stream's AC-3
/// starts a few milliseconds before the delay it was given: the encoder's priming).
double sourceOffset(const QString &src) {
    return firstFrameSeconds(src, "a") - firstFrameSeconds(src, "v");
}

std::string show(const runResult &run) {
    return (run.out + QStringLiteral("\n--- stderr tail ---\n") + run.err.right(3000))
        .toStdString();
}

/// Converts src alone and answers the output (empty when the run failed or ProRes is missing).
QString convert(const sandbox &box, const QString &src, const char *format, const char *mode,
                bool *skipped = nullptr) {
    QDir(box.events()).removeRecursively();
    const runResult run =
        box.batch({src, "--format", format, "--mode", mode, "--prores", "hq", "--replace"});
    if (skipped != nullptr) {
        *skipped = run.out.contains(QStringLiteral("no ProRes encoder"));
        if (*skipped) {
            return {};
        }
    }
    EXPECT_EQ(run.status, 0) << format << " " << mode << show(run);
    const QStringList files = box.eventsFiles();
    EXPECT_EQ(files.size(), 1) << format << " " << mode;
    return files.size() == 1 ? box.events() + QLatin1Char('/') + files.first() : QString();
}

struct modeCase {
    const char *format;
    const char *mode;
    long frames;   ///< of a 2 s 50 fps source: half rate keeps every other one
    double factor; ///< how much longer the output lasts (slow motion at 25 fps: twice)
};

const modeCase kModes[] = {{"rewrap", "normal", 100, 1},
                           {"rewrap", "slow", 100, 2},
                           {"prores", "normal", 100, 1},
                           {"prores", "half", 50, 1},
                           {"prores", "slow", 100, 2}};

} // namespace

// A transport stream whose sound starts 0.3 s after its first picture: every output keeps the
// delay (scaled with the slow motion), read so by both readers.
TEST(faithful, soundStartingAfterThePictureStaysThere) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/late.ts");
    ASSERT_TRUE(makeClip(src, "320x180", 50, 2.0, {}, false, -0.3));
    const double offset = sourceOffset(src);
    ASSERT_NEAR(offset, 0.3, 0.01);
    for (const modeCase &c : kModes) {
        bool skipped = false;
        const QString out = convert(box, src, c.format, c.mode, &skipped);
        if (skipped || out.isEmpty()) {
            continue;
        }
        expectReadersAgree(out, c.frames, 2.0, offset, c.factor,
                           std::string(c.format) + " " + c.mode);
    }
}

// Sound that starts 0.4 s before the picture is cut where the picture starts, in every mode.
TEST(faithful, soundStartingBeforeThePictureIsCutAtThePicture) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/early.ts");
    ASSERT_TRUE(makeClip(src, "320x180", 50, 2.0, {}, false, 0.4));
    ASSERT_NEAR(sourceOffset(src), -0.4, 0.01);
    for (const modeCase &c : kModes) {
        bool skipped = false;
        const QString out = convert(box, src, c.format, c.mode, &skipped);
        if (skipped || out.isEmpty()) {
            continue;
        }
        expectReadersAgree(out, c.frames, 2.0, 0.0, c.factor, std::string(c.format) + " " + c.mode);
    }
}

// A QuickTime source whose sound track begins with an 87 ms empty edit keeps it.
TEST(faithful, quickTimeSoundAfterAnEmptyEditKeepsIt) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/late.mov");
    ASSERT_TRUE(makeClip(src, "320x180", 50, 2.0, {}, false, -0.087));
    const readings source = readBoth(src);
    ASSERT_TRUE(source.gst.ok) << source.gst.error;
    ASSERT_NEAR(source.ffmpegOffset, 0.087, 0.01);
    EXPECT_NEAR(source.gst.soundOffset(), source.ffmpegOffset, kSyncSeconds);
    for (const modeCase &c : {kModes[0], kModes[1], kModes[2]}) {
        bool skipped = false;
        const QString out = convert(box, src, c.format, c.mode, &skipped);
        if (skipped || out.isEmpty()) {
            continue;
        }
        expectReadersAgree(out, c.frames, 2.0, source.ffmpegOffset, c.factor,
                           std::string(c.format) + " " + c.mode);
    }
}

// A phone-like clip (60 fps H.264 with B-frames and AAC sound in a QuickTime movie) whose movie
// has two edits: 0.25 s cut out in the middle, the second edit starting half a second after a
// key frame. ffmpeg's stream copy carried that half second of pre-roll into the output; the
// output presents exactly the source's frames, once each and in order: the same pictures in
// the rewrap, as many (each nearest its own source picture) in ProRes.
TEST(faithful, clipWithAnEditListPresentsItsFramesOnce) {
    sandbox box;
    const QString made = box.root() + QStringLiteral("/whole.mov");
    ASSERT_TRUE(
        makeClip(made, "320x180", 60, 3.0, {"-preset", "veryfast", "-c:a", "aac", "-b:a", "96k"}));
    auto movie = toolbox::Movie::open(QFile::encodeName(made).toStdString());
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->deleteSegment(1250, 250, 1000));
    const QString src = box.root() + QStringLiteral("/phone.mov");
    ASSERT_TRUE(movie->writeSelfContained(QFile::encodeName(src).toStdString()));
    const auto edited = toolbox::Movie::open(QFile::encodeName(src).toStdString());
    ASSERT_TRUE(edited);
    ASSERT_EQ(
        edited->track(edited->tracksOfMediaType(toolbox::kVideoMediaType).front()).edits().size(),
        2U);

    const readings source = readBoth(src);
    ASSERT_TRUE(source.gst.ok) << source.gst.error;
    ASSERT_EQ(source.ffmpegFrames.size(), 165);

    const QString rewrap = convert(box, src, "rewrap", "normal");
    ASSERT_FALSE(rewrap.isEmpty());
    const readings out = readBoth(rewrap);
    EXPECT_EQ(out.ffmpegFrames, source.ffmpegFrames);
    EXPECT_NEAR(out.ffmpegDuration, 2.75, 1 / 60.0);
    EXPECT_NEAR(out.ffmpegOffset, source.ffmpegOffset, kSyncSeconds);
    // GStreamer 1.22's qtdemux ends a track with several edits early (at the first key frame
    // where its movie time plus the edit's media start passes the movie's duration), the
    // phone's own clip too: the rewrap, which keeps the edits, reads as the source does.
    ASSERT_TRUE(out.gst.ok) << out.gst.error;
    EXPECT_EQ(out.gst.video.buffers, source.gst.video.buffers);
    EXPECT_NEAR(out.gst.video.end, source.gst.video.end, 1 / 60.0);
    EXPECT_NEAR(out.gst.soundOffset(), source.gst.soundOffset(), kSyncSeconds);

    bool skipped = false;
    const QString prores = convert(box, src, "prores", "normal", &skipped);
    if (!skipped) {
        ASSERT_FALSE(prores.isEmpty());
        expectReadersAgree(prores, 165, 2.75, source.ffmpegOffset, 1, "prores");
    }
}

// A 120 fps phone-like clip whose picture has three edits, the middle one a slow-motion
// section (rate 0.25: ten pictures over the time of forty) starting 13 frames after a key
// frame, the last one 13 frames after another. FFmpeg and GStreamer ignore an edit's rate and
// each read the source otherwise; the output gives each picture of the slow edit four times
// its duration, so both readers present what the source's edits present: every picture once,
// at its edit's speed, with each edit's pre-roll hidden, the sound where it was.
TEST(faithful, clipWithASlowMotionEditPresentsItsFramesOnce) {
    sandbox box;
    const QString made = box.root() + QStringLiteral("/whole.mov");
    ASSERT_TRUE(makeClip(
        made, "320x180", 120, 2.0,
        {"-preset", "veryfast", "-g", "30", "-sc_threshold", "0", "-c:a", "aac", "-b:a", "96k"}));
    auto movie = toolbox::Movie::open(QFile::encodeName(made).toStdString());
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->setTimeScale(600));            // 5 units a frame
    ASSERT_TRUE(movie->deleteSegment(300, 65, 600));  // frames 60 to 72
    ASSERT_TRUE(movie->deleteSegment(500, 100, 600)); // frames 113 to 132
    const QString src = box.root() + QStringLiteral("/slowmo.mov");
    ASSERT_TRUE(movie->writeSelfContained(QFile::encodeName(src).toStdString()));
    const std::size_t video = movie->tracksOfMediaType(toolbox::kVideoMediaType).front();
    ASSERT_EQ(movie->track(video).edits().size(), 3U);

    // The middle edit of the picture's edit list plays at 0.25 (16.16 fixed point).
    QFile file(src);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    qsizetype elst = -1;
    for (std::size_t i = 0; i <= video; ++i) {
        elst = bytes.indexOf("elst", elst + 1);
        ASSERT_GE(elst, 0);
    }
    const bool wide = bytes.at(elst + 4) != 0;
    const qsizetype rate = elst + 12 + (wide ? 20 : 12) + (wide ? 16 : 8);
    bytes.replace(rate, 4, QByteArray::fromHex("00004000"));
    ASSERT_TRUE(file.seek(0));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();
    const auto slowmo = toolbox::Movie::open(QFile::encodeName(src).toStdString());
    ASSERT_TRUE(slowmo);
    const auto edits = slowmo->track(video).edits();
    ASSERT_EQ(edits.size(), 3U);
    ASSERT_EQ(edits[0].rate, 1.0);
    ASSERT_EQ(edits[1].rate, 0.25);
    ASSERT_EQ(edits[2].rate, 1.0);

    const readings source = readBoth(src);
    ASSERT_TRUE(source.gst.ok) << source.gst.error;
    // FFmpeg reads forty pictures for the slow edit's time, played at rate 1.
    ASSERT_EQ(source.ffmpegFrames.size(), 60 + 40 + 107);
    const QStringList whole = frameHashes(made);
    ASSERT_EQ(whole.size(), 240);
    QStringList presented = whole.mid(0, 60) + whole.mid(73, 10) + whole.mid(133, 107);

    const QString rewrap = convert(box, src, "rewrap", "normal");
    ASSERT_FALSE(rewrap.isEmpty());
    const readings out = readBoth(rewrap);
    EXPECT_EQ(out.ffmpegFrames, presented);
    EXPECT_NEAR(out.ffmpegDuration, 207 / 120.0, 1 / 120.0);
    EXPECT_NEAR(out.ffmpegOffset, source.ffmpegOffset, kSyncSeconds);
    // GStreamer's demuxer ends a movie of three edits after its second, the source as the
    // output: there it now shows the slow edit's ten pictures once, over the edit's time.
    ASSERT_TRUE(out.gst.ok) << out.gst.error;
    EXPECT_EQ(out.gst.video.buffers, 60 + 10) << source.gst.video.buffers;
    EXPECT_NEAR(out.gst.video.end - out.gst.video.start, (60 + 40) / 120.0, 1 / 120.0)
        << source.gst.video.end - source.gst.video.start;

    // ProRes of a 120 fps source is delivered at 60 fps: every other picture.
    bool skipped = false;
    const QString prores = convert(box, src, "prores", "normal", &skipped);
    if (!skipped) {
        ASSERT_FALSE(prores.isEmpty());
        // The slow edit's ten pictures each fill two of the sixty a second.
        expectReadersAgree(prores, 104, 207 / 120.0, source.ffmpegOffset, 1, "prores");
    }
}

// A recording the camcorder split into three pieces, joined: both readers see the unsplit
// encode's 75 pictures over 3 s and the sound where FFmpeg reads it in the unsplit stream,
// whether the camera cut at key frames, at any packet inside a group of B-pictures, wrote an
// open group again at the head of the next file, or its clock wrapped inside the second piece.
// The sound runs on through the seams: as many buffers in GStreamer as the unsplit encode
// converted alone, ending within a millisecond of it, and the same pictures in both readers.
TEST(faithful, joinedRecordingReadsAlikeInBothReaders) {
    const struct {
        seamKind seams;
        bool wraps;
    } cases[] = {{seamKind::keyPicture, false},
                 {seamKind::packetCut, false},
                 {seamKind::openRepeatedGroup, false},
                 {seamKind::packetCut, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.seams) * 10 + (c.wraps ? 1 : 0));
        sandbox box;
        const QString card = box.root() + QStringLiteral("/card");
        const QString whole = box.root() + QStringLiteral("/whole.ts");
        ASSERT_FALSE(makeSpannedCard(card, whole, 3, 3.0, 0, QStringLiteral("320x180"), -1, c.seams,
                                     0, c.wraps)
                         .isEmpty());
        const QStringList unsplit = frameHashes(whole);
        ASSERT_EQ(unsplit.size(), 75);
        // The output starts at the picture: sound that starts before it is cut there.
        const double offset = std::max(0.0, sourceOffset(whole));
        const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"});
        ASSERT_EQ(run.status, 0) << show(run);
        ASSERT_EQ(box.eventsFiles().size(), 1);
        const QString out = box.events() + QLatin1Char('/') + box.eventsFiles().first();
        EXPECT_EQ(frameHashes(out), unsplit);
        expectReadersAgree(out, 75, 3.0, offset, 1, "joined");

        const readings joined = readBoth(out);
        const QString alone = convert(box, whole, "rewrap", "normal");
        ASSERT_FALSE(alone.isEmpty());
        const readings reference = readBoth(alone);
        ASSERT_TRUE(joined.gst.ok && reference.gst.ok);
        EXPECT_EQ(joined.gst.video.buffers, reference.gst.video.buffers);
        EXPECT_EQ(joined.gst.sound.buffers, reference.gst.sound.buffers);
        EXPECT_NEAR(joined.gst.sound.end, reference.gst.sound.end, 0.001);
        EXPECT_NEAR(joined.gst.sound.start, reference.gst.sound.start, 0.001);
    }
}
