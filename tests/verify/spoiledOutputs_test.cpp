// Movies made by the ffmpeg program, read back by the verification's own reader, and copies of
// them spoiled on purpose: each spoiled copy must fail the check it is there for, the faithful
// copy must hold.
#include "verify/outputVerdict.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

/// Runs /usr/bin/ffmpeg quietly with the arguments; true when it succeeds.
bool ffmpeg(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/ffmpeg"),
                  QStringList{"-y", "-v", "error", "-nostdin"} + arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

toolbox::MovieFacts factsOf(const QString &path) {
    toolbox::MovieFacts facts;
    const toolbox::MovieStatus status =
        toolbox::readMovieFacts(QFile::encodeName(path).toStdString(), facts);
    EXPECT_TRUE(status.ok()) << path.toStdString() << ": " << status.message;
    return facts;
}

std::vector<verifyCheck> checksOf(const verifyVerdict &verdict) {
    std::vector<verifyCheck> checks;
    for (const verifyFinding &found : verdict.findings) {
        checks.push_back(found.check);
    }
    return checks;
}

bool has(const verifyVerdict &verdict, verifyCheck check) {
    const std::vector<verifyCheck> checks = checksOf(verdict);
    return std::find(checks.begin(), checks.end(), check) != checks.end();
}

/// The clips of the tests, made once: a 59.94 frames/s H.264 stream (with B pictures) and two
/// sound tracks of different lengths, as a transport stream and as a QuickTime movie.
class spoiledOutputs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const QString d = dir_->path();
        ASSERT_TRUE(ffmpeg({"-f",
                            "lavfi",
                            "-i",
                            "testsrc2=size=320x240:rate=60000/1001",
                            "-t",
                            "4",
                            "-c:v",
                            "libx264",
                            "-g",
                            "30",
                            "-bf",
                            "2",
                            "-pix_fmt",
                            "yuv420p",
                            "-color_primaries",
                            "bt709",
                            "-color_trc",
                            "bt709",
                            "-colorspace",
                            "bt709",
                            "-f",
                            "h264",
                            d + "/pictures.h264"}));
        ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=4",
                            "-c:a", "pcm_s16le", d + "/long.wav"}));
        ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=frequency=880:sample_rate=48000:duration=2",
                            "-c:a", "pcm_s16le", d + "/short.wav"}));
        // The source: pictures at 60000/1001, the long sound first, the short one second.
        ASSERT_TRUE(ffmpeg({"-f",
                            "lavfi",
                            "-i",
                            "testsrc2=size=320x240:rate=60000/1001",
                            "-i",
                            d + "/long.wav",
                            "-i",
                            d + "/short.wav",
                            "-map",
                            "0",
                            "-map",
                            "1",
                            "-map",
                            "2",
                            "-t",
                            "4.004",
                            "-c:v",
                            "libx264",
                            "-g",
                            "30",
                            "-bf",
                            "2",
                            "-pix_fmt",
                            "yuv420p",
                            "-color_primaries",
                            "bt709",
                            "-color_trc",
                            "bt709",
                            "-colorspace",
                            "bt709",
                            "-c:a",
                            "copy",
                            d + "/source.mov"}));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static QString file(const QString &name) { return dir_->path() + QLatin1Char('/') + name; }

    /// The source's facts and the expectation of a copy of it (a rewrap).
    static verifyExpect copyExpected() { return verifyExpectOf(factsOf(file("source.mov")), {}); }

    static QTemporaryDir *dir_;
};
QTemporaryDir *spoiledOutputs::dir_ = nullptr;

} // namespace

// The source as its index tells it: every picture, its exact rate, both sound tracks.
TEST_F(spoiledOutputs, theSourceReadFromItsIndex) {
    const toolbox::MovieFacts facts = factsOf(file("source.mov"));
    ASSERT_TRUE(facts.picture);
    EXPECT_EQ(facts.picture->pictures, 240);
    EXPECT_EQ(facts.picture->rate, (toolbox::Rational{60000, 1001}));
    EXPECT_NEAR(facts.picture->seconds, 240 * 1001 / 60000.0, 0.002);
    EXPECT_EQ(facts.picture->primaries, 1);
    ASSERT_EQ(facts.sounds.size(), 2U);
    EXPECT_NEAR(facts.sounds[0].seconds, 4.0, 0.01);
    EXPECT_NEAR(facts.sounds[1].seconds, 2.0, 0.01);
}

// A faithful copy holds; so does the same movie as a transport stream read without tables.
TEST_F(spoiledOutputs, aFaithfulCopyHolds) {
    ASSERT_TRUE(ffmpeg({"-i", file("source.mov"), "-map", "0:v", "-map", "0:a:0", "-c", "copy",
                        file("copy.mov")}));
    const verifyVerdict verdict = verifyOutput(copyExpected(), factsOf(file("copy.mov")));
    EXPECT_TRUE(verdict.holds) << verdict.failureLogWords().toStdString();
    EXPECT_EQ(verdict.logWords,
              QStringLiteral("verified: 240 pictures at 60000/1001, 4.004 s, sound +0.0 ms"));

    ASSERT_TRUE(ffmpeg({"-i", file("source.mov"), "-map", "0:v", "-map", "0:a:0", "-c:v", "copy",
                        "-c:a", "ac3", "-f", "mpegts", file("source.MTS")}));
    const toolbox::MovieFacts stream = factsOf(file("source.MTS"));
    ASSERT_TRUE(stream.picture);
    EXPECT_FALSE(stream.quickTime);
    EXPECT_EQ(stream.picture->rate, (toolbox::Rational{60000, 1001}));
    EXPECT_LE(std::llabs(stream.picture->pictures - 240), 1);
    const verifyVerdict fromStream =
        verifyOutput(verifyExpectOf(stream, {}), factsOf(file("copy.mov")));
    EXPECT_TRUE(fromStream.holds) << fromStream.failureLogWords().toStdString();
}

// A copy that stops early (what a card failing half-way gives).
TEST_F(spoiledOutputs, aTruncatedCopy) {
    ASSERT_TRUE(ffmpeg({"-i", file("source.mov"), "-map", "0:v", "-map", "0:a:0", "-c", "copy",
                        "-t", "2", file("short.mov")}));
    const verifyVerdict verdict = verifyOutput(copyExpected(), factsOf(file("short.mov")));
    EXPECT_TRUE(has(verdict, verifyCheck::pictures));
    EXPECT_TRUE(has(verdict, verifyCheck::duration));
    EXPECT_TRUE(has(verdict, verifyCheck::soundLength));
}

// The same pictures stamped at 60/1: a few per mille faster, which the sound's real time drifts
// from.
TEST_F(spoiledOutputs, aCopyRestampedAt60) {
    ASSERT_TRUE(ffmpeg({"-r", "60", "-i", file("pictures.h264"), "-i", file("long.wav"), "-c",
                        "copy", file("sixty.mov")}));
    const verifyVerdict verdict = verifyOutput(copyExpected(), factsOf(file("sixty.mov")));
    EXPECT_TRUE(has(verdict, verifyCheck::rate)) << verdict.failureLogWords().toStdString();
}

// A portrait clip whose copy lost its display matrix.
TEST_F(spoiledOutputs, aDroppedDisplayMatrix) {
    ASSERT_TRUE(ffmpeg({"-i", file("source.mov"), "-map", "0:v", "-map", "0:a:0", "-c", "copy",
                        "-metadata:s:v", "rotate=90", file("portrait.mov")}));
    const toolbox::MovieFacts portrait = factsOf(file("portrait.mov"));
    ASSERT_TRUE(portrait.picture);
    EXPECT_EQ(portrait.picture->rotation, 90);
    ASSERT_TRUE(ffmpeg({"-i", file("portrait.mov"), "-map", "0", "-c", "copy", "-metadata:s:v",
                        "rotate=0", file("upright.mov")}));
    const verifyVerdict verdict =
        verifyOutput(verifyExpectOf(portrait, {}), factsOf(file("upright.mov")));
    EXPECT_EQ(checksOf(verdict), std::vector<verifyCheck>{verifyCheck::rotation})
        << verdict.failureLogWords().toStdString();
}

// The other of the two sound tracks converted.
TEST_F(spoiledOutputs, swappedSoundTracks) {
    ASSERT_TRUE(ffmpeg({"-i", file("source.mov"), "-map", "0:v", "-map", "0:a:1", "-c", "copy",
                        file("other.mov")}));
    const verifyVerdict verdict = verifyOutput(copyExpected(), factsOf(file("other.mov")));
    EXPECT_EQ(checksOf(verdict), std::vector<verifyCheck>{verifyCheck::soundLength})
        << verdict.failureLogWords().toStdString();
}

// The sound moved 40 ms later against the pictures.
TEST_F(spoiledOutputs, soundMovedBy40ms) {
    ASSERT_TRUE(ffmpeg({"-i", file("source.mov"), "-itsoffset", "0.040", "-i", file("long.wav"),
                        "-map", "0:v", "-map", "1:a", "-c", "copy", file("late.mov")}));
    const verifyVerdict verdict = verifyOutput(copyExpected(), factsOf(file("late.mov")));
    EXPECT_TRUE(has(verdict, verifyCheck::soundStart)) << verdict.failureLogWords().toStdString();
}

// A damaged output is a clear failure of its reading, never a verdict on garbage.
TEST_F(spoiledOutputs, aDamagedOutput) {
    ASSERT_TRUE(ffmpeg({"-i", file("source.mov"), "-map", "0:v", "-map", "0:a:0", "-c", "copy",
                        file("whole.mov")}));
    QFile whole(file("whole.mov"));
    ASSERT_TRUE(whole.open(QIODevice::ReadWrite));
    ASSERT_TRUE(whole.resize(whole.size() / 2));
    whole.close();
    toolbox::MovieFacts facts;
    EXPECT_FALSE(
        toolbox::readMovieFacts(QFile::encodeName(file("whole.mov")).toStdString(), facts).ok());
}
