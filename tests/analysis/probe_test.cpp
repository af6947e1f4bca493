// The analysis's probing run of the shipped ffmpeg, through the task chain runner, on generated
// clips: the collected report, its stream keys, offsets and the field order of the yuv4mpeg
// header.
#include "analysis/ffmpeg.h"
#include "clips.h"
#include "process/taskLauncher.h"
#include "settings/localisation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class collector : public taskLauncherDelegate {
public:
    QString report;
    bool ended = false;
    void taskLauncherDidReceiveNewString(taskLauncher *, const QString &chunk) override {
        report += chunk;
    }
    void taskLauncherTaskDidEnd(taskLauncher *) override { ended = true; }
};

struct probe {
    QString report;
    QString header; // first line of the yuv4mpeg output
};

probe runProbe(const QString &source) {
    QTemporaryDir dir;
    const QString frames = dir.filePath("frame.yuv");
    collector c;
    taskLauncher launcher;
    launcher.setDelegate(&c);
    EXPECT_EQ(
        launcher.launchTasksWithArguments(clips::probingArguments(ffmpegPathStr(), source, frames)),
        0);
    QElapsedTimer clock;
    clock.start();
    while (!c.ended && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_TRUE(c.ended);
    probe result{c.report, {}};
    QFile file(frames);
    if (file.open(QIODevice::ReadOnly)) {
        result.header = QString::fromLatin1(file.readLine(100));
    }
    return result;
}

QString fieldLetter(const QString &header) {
    const qsizetype at = header.indexOf(QLatin1String(" I"));
    return at < 0 ? QString() : header.mid(at + 2, 1);
}

} // namespace

TEST(Probe, CamcorderClipIsReadWhole) {
    const QString clip = clips::clip("ts1080p50");
    ASSERT_FALSE(clip.isEmpty());
    const probe p = runProbe(clip);
    EXPECT_TRUE(ffmpegSuccess(p.report));
    EXPECT_EQ(interlacedYuvheaders2dudStr(fieldLetter(p.header)), fieldsStr("PFF"));

    // The debug-level stream lines give the same keys as the report of ffInfos on the path.
    const std::optional<QVariantMap> fromProbe = ffInfos(std::nullopt, p.report);
    const std::optional<QVariantMap> fromPath = ffInfos(clip, std::nullopt);
    ASSERT_TRUE(fromProbe.has_value());
    ASSERT_TRUE(fromPath.has_value());
    QVariantMap probeKeys = *fromProbe;
    QVariantMap pathKeys = *fromPath;
    // Only the pixel format field reads differently ("yuv420p(progressive, left)" at debug level).
    EXPECT_EQ(probeKeys.take("v0_chroma"), "yuv420p(progressive, left)");
    pathKeys.remove("v0_chroma");
    EXPECT_EQ(probeKeys, pathKeys);

    const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(p.report);
    ASSERT_TRUE(offsets.has_value());
    // The muxer starts the sound a few milliseconds before the picture: within the tolerance,
    // so no stream key, only the summary.
    EXPECT_GE(offsets->value("v_offsetMs").toInt(), 0);
    EXPECT_LE(offsets->value("v_offsetMs").toInt(), 30);
    EXPECT_FALSE(offsets->contains("a1_offsetMs"));
    // Current ffmpeg numbers the filtered frames from 0.
    EXPECT_EQ(intraOffset(p.report), 0.0f);
}

TEST(Probe, SoundStartingBeforeThePicture) {
    const QString clip = clips::clip("audioEarly");
    ASSERT_FALSE(clip.isEmpty());
    const probe p = runProbe(clip);
    const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(p.report);
    ASSERT_TRUE(offsets.has_value());
    const int audio = offsets->value("a1_offsetMs").toInt();
    // 50 ms by construction; the muxer rounds the picture's start to its frame and packet
    // timing, a few milliseconds either way.
    EXPECT_LE(audio, -45);
    EXPECT_GE(audio, -60);
    EXPECT_EQ(offsets->value("v_offsetMs").toInt(), -audio);
}

TEST(Probe, QuickTimeMovieHasNoFalseOffset) {
    const QString clip = clips::clip("movie");
    ASSERT_FALSE(clip.isEmpty());
    const probe p = runProbe(clip);
    EXPECT_TRUE(ffmpegSuccess(p.report));
    const std::optional<QVariantMap> offsets = ptsDtsOffsetMs(p.report);
    ASSERT_TRUE(offsets.has_value());
    EXPECT_EQ(*offsets, QVariantMap({{"v_offsetMs", 0}}));
    EXPECT_EQ(ffInfos(std::nullopt, p.report)->value("v0_fps"), 10.0f);
}

TEST(Probe, FileThatIsNotAMovieFails) {
    const QString clip = clips::clip("notAMovie");
    ASSERT_FALSE(clip.isEmpty());
    const probe p = runProbe(clip);
    EXPECT_FALSE(ffmpegSuccess(p.report));
    EXPECT_EQ(ffInfos(std::nullopt, p.report), QVariantMap());
    EXPECT_EQ(ptsDtsOffsetMs(p.report), QVariantMap());
}
