// Movie services on clips made by ffmpeg: the current movie, trimming to the first video frame
// in both write modes, cutting, slow-motion re-timing and the write modes.
#include "media.h"
#include "movie/qt.h"
#include "movie/qtUtils.h"

#include "toolbox/movie.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using mediatest::fileMd5;
using mediatest::makeClip;
using mediatest::probe;
using mediatest::probeNumber;

class MovieServices : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    void TearDown() override { QTMOVIErelease(); }
    QString path(const QString &name) const { return dir_.filePath(name); }

    // The movie as the toolbox reads it back (a reference movie included).
    static std::unique_ptr<toolbox::Movie> reopen(const QString &file) {
        return toolbox::Movie::open(QFile::encodeName(file).toStdString());
    }
    static const toolbox::MovieTrack *firstTrack(const toolbox::Movie &movie,
                                                 toolbox::OSType type) {
        const auto indexes = movie.tracksOfMediaType(type);
        return indexes.empty() ? nullptr : &movie.track(indexes.front());
    }

    QTemporaryDir dir_;
};

TEST(QtTrimPlan, DecisionFromTheTracks) {
    using Action = QtTrimPlan::Action;
    EXPECT_EQ(qtTrimPlan({}).action, Action::NoTracks);
    EXPECT_EQ(qtTrimPlan({{QStringLiteral("vide"), 480, 1000}}).action, Action::NoSound);
    // Text and time code tracks are no video.
    EXPECT_EQ(qtTrimPlan({{QStringLiteral("soun"), 0, 1000},
                          {QStringLiteral("text"), 1000, 1000},
                          {QStringLiteral("tmcd"), 1000, 1000}})
                  .action,
              Action::NoVideo);
    EXPECT_EQ(
        qtTrimPlan({{QStringLiteral("soun"), 0, 1000}, {QStringLiteral("vide"), 0, 600}}).action,
        Action::NothingToCut);

    // Several video tracks: the cut ends at the earliest start, in that track's scale, so no
    // frame of any video track is lost. "MPEG" counts as video.
    const QtTrimPlan plan = qtTrimPlan({{QStringLiteral("vide"), 480, 600},
                                        {QStringLiteral("soun"), 0, 1000},
                                        {QStringLiteral("MPEG"), 1200, 2500}});
    EXPECT_EQ(plan.action, Action::Cut);
    EXPECT_DOUBLE_EQ(plan.trimSeconds, 0.48);
    EXPECT_EQ(plan.cutEnd, 1200);
    EXPECT_EQ(plan.cutScale, 2500);
    EXPECT_EQ(plan.videoStarts, (QList<double>{0.8, 0.48}));
}

// ffmpeg's stream copy keeps one edit: a video track edited more than that (or with a hole, or
// played at another rate, or at several) takes its own track; other tracks' edits don't
// decide.
TEST(QtPictureRoutePlan, SeveralEditsTakeTheSourceTrack) {
    using Route = QtPictureRoute;
    const QString vide = QStringLiteral("vide");
    const QString soun = QStringLiteral("soun");
    EXPECT_EQ(qtPictureRoutePlan({}), Route::FfmpegCopy);
    EXPECT_EQ(qtPictureRoutePlan({{vide, {1.0}}, {soun, {1.0}}}), Route::FfmpegCopy);
    EXPECT_EQ(qtPictureRoutePlan({{vide, {}}}), Route::FfmpegCopy);
    EXPECT_EQ(qtPictureRoutePlan({{vide, {1.0}}, {soun, {1.0, 1.0}}}), Route::FfmpegCopy);
    EXPECT_EQ(qtPictureRoutePlan({{vide, {1.0, 1.0}}, {soun, {1.0}}}), Route::SourceTrack);
    EXPECT_EQ(qtPictureRoutePlan({{soun, {1.0}}, {QStringLiteral("MPEG"), {1.0, 1.0}}}),
              Route::SourceTrack);
    EXPECT_EQ(qtPictureRoutePlan({{vide, {1.0, 1.0}, true}}), Route::SourceTrack);
    EXPECT_EQ(qtPictureRoutePlan({{vide, {1.0}, true}}), Route::SourceTrack);
    EXPECT_EQ(qtPictureRoutePlan({{vide, {0.25}}}), Route::SourceTrack);
    // A slow-motion section among edits at rate 1: ffmpeg's copy would show its pre-roll.
    EXPECT_EQ(qtPictureRoutePlan({{vide, {1.0, 0.25, 1.0}}}), Route::SourceTrack);
    EXPECT_EQ(qtPictureRoutePlan({{vide, {1.0, 1.0}}, {vide, {1.0, 0.5}}}), Route::SourceTrack);
    EXPECT_EQ(qtPictureRoutePlan({{soun, {1.0, 0.5}}, {vide, {1.0}}}), Route::FfmpegCopy);
}

// A movie cut in the middle has two edits on each track (a leading empty edit is no edit of
// its media); a movie that is no self-contained QuickTime file has none to tell. The source's
// picture beside another movie's sound keeps both tracks' places and the sound's dates.
TEST_F(MovieServices, TrackEditsAndTheSourcesPictureBesideASound) {
    const QString src = path(QStringLiteral("edited.mov"));
    ASSERT_TRUE(makeClip(src, 2.0, 2.0, 0.2));
    const std::optional<QList<QtTrackEdits>> plain = qtTrackEditsOf(src);
    ASSERT_TRUE(plain);
    ASSERT_EQ(plain->size(), 2);
    for (const QtTrackEdits &track : *plain) {
        EXPECT_EQ(track.mediaEditRates, QList<double>{1.0}) << track.mediaType.toStdString();
        EXPECT_FALSE(track.holeInside);
    }
    EXPECT_EQ(qtPictureRoutePlan(*plain), QtPictureRoute::FfmpegCopy);

    auto movie = reopen(src);
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->deleteSegment(1000, 400, 1000));
    const QString cut = path(QStringLiteral("cut.mov"));
    ASSERT_TRUE(movie->writeSelfContained(QFile::encodeName(cut).toStdString()));
    const std::optional<QList<QtTrackEdits>> edited = qtTrackEditsOf(cut);
    ASSERT_TRUE(edited);
    for (const QtTrackEdits &track : *edited) {
        EXPECT_EQ(track.mediaEditRates, (QList<double>{1.0, 1.0})) << track.mediaType.toStdString();
    }
    EXPECT_EQ(qtPictureRoutePlan(*edited), QtPictureRoute::SourceTrack);
    EXPECT_FALSE(qtTrackEditsOf(path(QStringLiteral("missing.mov"))));

    // The sound of another movie, 1.5 s long, with its recording date.
    const QString sound = path(QStringLiteral("sound.mov"));
    ASSERT_TRUE(mediatest::run(QStringLiteral("/usr/bin/ffmpeg"),
                               {"-v", "error", "-y", "-f", "lavfi", "-i",
                                "sine=sample_rate=48000:duration=1.5", "-c:a", "pcm_s16le",
                                "-metadata", "creation_time=2024-05-18T08:15:30Z", sound}));
    const QString both = path(QStringLiteral("both.mov"));
    ASSERT_TRUE(qtMovieWithSourcePicture(cut, sound, both));
    auto together = reopen(both);
    ASSERT_TRUE(together);
    ASSERT_EQ(together->trackCount(), 2U);
    const toolbox::MovieTrack *video = firstTrack(*together, toolbox::kVideoMediaType);
    const toolbox::MovieTrack *audio = firstTrack(*together, toolbox::kSoundMediaType);
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->sourcePath(), QFile::encodeName(cut).toStdString());
    EXPECT_EQ(audio->sourcePath(), QFile::encodeName(sound).toStdString());
    const auto original = reopen(cut);
    const toolbox::MovieTrack *before = firstTrack(*original, toolbox::kVideoMediaType);
    ASSERT_EQ(video->edits().size(), before->edits().size());
    for (std::size_t i = 0; i < video->edits().size(); ++i) {
        EXPECT_NEAR(double(video->edits()[i].movieDuration) / video->range().timeScale,
                    double(before->edits()[i].movieDuration) / before->range().timeScale, 1e-3);
        EXPECT_EQ(video->edits()[i].mediaStart, before->edits()[i].mediaStart);
    }
    EXPECT_NEAR(audio->range().startSeconds(), 0.0, 1e-3);
    EXPECT_NEAR(audio->range().durationSeconds(), 1.5, 0.05);
    EXPECT_EQ(together->creationTimeUnix(), std::optional<int64_t>(1716020130));
    // A source without picture gives nothing.
    EXPECT_FALSE(qtMovieWithSourcePicture(sound, sound, path(QStringLiteral("none.mov"))));
}

TEST_F(MovieServices, TrimModeZeroWritesAReferenceMovieBesideTheSource) {
    const QString src = path(QStringLiteral("offset1.mov"));
    ASSERT_TRUE(makeClip(src, 1.52, 2.0, 0.48));
    const QString before = fileMd5(src);

    ASSERT_TRUE(isDebMovieTrimmedToVideoTrack(src, 0));
    EXPECT_EQ(getQTMOVIE(), nullptr);
    EXPECT_EQ(fileMd5(src), before);
    const QString beside = src + QStringLiteral(".mov");
    ASSERT_TRUE(QFileInfo::exists(beside));
    // A reference movie: a header, no samples.
    EXPECT_LT(QFileInfo(beside).size(), QFileInfo(src).size() / 4);

    const auto cut = reopen(beside);
    ASSERT_TRUE(cut);
    const auto *video = firstTrack(*cut, toolbox::kVideoMediaType);
    const auto *sound = firstTrack(*cut, toolbox::kSoundMediaType);
    ASSERT_TRUE(video && sound);
    EXPECT_NEAR(video->range().startSeconds(), 0.0, 0.001);
    EXPECT_NEAR(sound->range().startSeconds(), 0.0, 0.001);
    EXPECT_NEAR(sound->range().durationSeconds(), 1.52, 0.03);
    EXPECT_NEAR(cut->durationSeconds(), 1.52, 0.05);
}

TEST_F(MovieServices, TrimModeMinusOneReplacesTheSource) {
    const QString src = path(QStringLiteral("offset2.mov"));
    ASSERT_TRUE(makeClip(src, 1.52, 2.0, 0.48));
    const qint64 sizeBefore = QFileInfo(src).size();

    ASSERT_TRUE(isDebMovieTrimmedToVideoTrack(src, -1));
    EXPECT_EQ(getQTMOVIE(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(src + QStringLiteral(".mov")));
    // Other programs read the trimmed movie: the sound lost its first 0.48 s, the video
    // starts at 0 with all of its frames.
    EXPECT_NEAR(probeNumber(src, QString(), QStringLiteral("duration")), 1.52, 0.05);
    EXPECT_NEAR(probeNumber(src, QStringLiteral("v:0"), QStringLiteral("start_time")), 0.0, 0.01);
    EXPECT_EQ(probe(src, QStringLiteral("v:0"), QStringLiteral("nb_read_frames")),
              QStringLiteral("38"));
    // The samples stayed where they were: the file grew by a movie header at most.
    EXPECT_LT(QFileInfo(src).size(), sizeBefore + 64 * 1024);

    // Trimming again finds nothing to cut.
    const QString again = fileMd5(src);
    EXPECT_TRUE(isDebMovieTrimmedToVideoTrack(src, -1));
    EXPECT_EQ(fileMd5(src), again);
}

// ffmpeg starts its timecode track with the first packet, here the sound 0.48 s before the
// picture: after the trim the timecode plays from its first sample, beside the first picture,
// for as long as the picture does, as other readers see it too.
TEST_F(MovieServices, TheTimecodeStartsWithTheFirstPicture) {
    const QString plain = path(QStringLiteral("plain.mov"));
    ASSERT_TRUE(makeClip(plain, 1.52, 2.0, 0.48));
    const QString src = path(QStringLiteral("timecode.mov"));
    ASSERT_TRUE(mediatest::run(QStringLiteral("/usr/bin/ffmpeg"),
                               {"-v", "error", "-y", "-i", plain, "-map", "0", "-c", "copy",
                                "-timecode", "10:15:30:00", src}));
    const auto before = reopen(src);
    ASSERT_TRUE(before);
    const auto *code = firstTrack(*before, toolbox::fourCharCode("tmcd"));
    ASSERT_TRUE(code);
    ASSERT_NEAR(code->range().startSeconds(), 0.0, 0.001); // with the sound, not the picture

    ASSERT_TRUE(isDebMovieTrimmedToVideoTrack(src, -1));
    const auto cut = reopen(src);
    ASSERT_TRUE(cut);
    const auto *video = firstTrack(*cut, toolbox::kVideoMediaType);
    code = firstTrack(*cut, toolbox::fourCharCode("tmcd"));
    ASSERT_TRUE(video && code);
    const std::vector<toolbox::EditSegment> edits = code->edits();
    ASSERT_FALSE(edits.empty());
    EXPECT_EQ(edits.front().mediaStart, 0);
    EXPECT_NEAR(code->range().startSeconds(), video->range().startSeconds(), 0.001);
    EXPECT_NEAR(code->range().durationSeconds(), video->range().durationSeconds(), 0.05);
    EXPECT_EQ(probe(src, QStringLiteral("d:0"), QStringLiteral("duration")).left(4),
              probe(src, QStringLiteral("v:0"), QStringLiteral("duration")).left(4));
}

TEST_F(MovieServices, MovieWithoutSoundOrVideoIsLeftUntouched) {
    const QString videoOnly = path(QStringLiteral("video.mov"));
    const QString soundOnly = path(QStringLiteral("sound.mov"));
    ASSERT_TRUE(makeClip(videoOnly, 0.4, 0, 0.2));
    ASSERT_TRUE(makeClip(soundOnly, 0, 0.4));
    for (const QString &src : {videoOnly, soundOnly}) {
        for (const int mode : {0, -1}) {
            const QString before = fileMd5(src);
            EXPECT_TRUE(isDebMovieTrimmedToVideoTrack(src, mode)) << src.toStdString();
            EXPECT_EQ(fileMd5(src), before);
            EXPECT_FALSE(QFileInfo::exists(src + QStringLiteral(".mov")));
            EXPECT_EQ(getQTMOVIE(), nullptr);
        }
    }
}

TEST_F(MovieServices, TrimmingFailures) {
    const QString text = path(QStringLiteral("notes.mov"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a movie at all\n");
    file.close();
    EXPECT_FALSE(isDebMovieTrimmedToVideoTrack(text, -1));
    EXPECT_FALSE(isDebMovieTrimmedToVideoTrack(path(QStringLiteral("missing.mov")), 0));
    EXPECT_FALSE(isDebMovieTrimmedToVideoTrack(QString(), 0));
    EXPECT_EQ(getQTMOVIE(), nullptr);

    // The cut movie can't be written (a folder holds its name): failure, even though something
    // exists at the ".mov" path, and the source stays as it was.
    const QString src = path(QStringLiteral("blocked.mov"));
    ASSERT_TRUE(makeClip(src, 0.6, 1.0, 0.4));
    ASSERT_TRUE(QDir().mkdir(src + QStringLiteral(".mov")));
    const QString before = fileMd5(src);
    EXPECT_FALSE(isDebMovieTrimmedToVideoTrack(src, 0));
    EXPECT_EQ(fileMd5(src), before);
}

TEST_F(MovieServices, SamePathIsOpenedOnceAnotherPathReplacesTheMovie) {
    const QString first = path(QStringLiteral("first.mov"));
    const QString second = path(QStringLiteral("second.mov"));
    ASSERT_TRUE(makeClip(first, 2.0, 2.0));
    ASSERT_TRUE(makeClip(second, 1.0, 1.0));

    EXPECT_FALSE(QTMOVIEinstantiate(std::nullopt));
    ASSERT_TRUE(QTMOVIEinstantiate(first));
    QTMovie *opened = getQTMOVIE();
    ASSERT_NE(opened, nullptr);
    // An edit in memory survives the second instantiate: the file was not read again.
    movieEditable(opened);
    ASSERT_TRUE(movieCut(opened, 0, 500, 1000));
    ASSERT_TRUE(QTMOVIEinstantiate(first));
    EXPECT_EQ(getQTMOVIE(), opened);
    EXPECT_NEAR(getQTMOVIE()->movie().durationSeconds(), 1.5, 0.05);

    ASSERT_TRUE(QTMOVIEinstantiate(second));
    EXPECT_EQ(getQTMOVIESTR(), std::optional<QString>(second));
    EXPECT_NEAR(getQTMOVIE()->movie().durationSeconds(), 1.0, 0.05);

    // The file went away: no current movie any more.
    ASSERT_TRUE(QFile::remove(second));
    EXPECT_FALSE(QTMOVIEinstantiate(second));
    EXPECT_EQ(getQTMOVIE(), nullptr);
    EXPECT_EQ(getQTMOVIESTR(), std::nullopt);

    // The path is kept as a copy and can be set alone.
    setQTMOVIESTR(first);
    EXPECT_EQ(getQTMOVIESTR(), std::optional<QString>(first));
    setQTMOVIESTR(std::nullopt);
    EXPECT_EQ(getQTMOVIESTR(), std::nullopt);
}

TEST_F(MovieServices, AsynchronousOpeningOnlyForLargeFlvMkvAvi) {
    const auto sparse = [this](const QString &name, qint64 megabytes) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(file.resize(megabytes * 1024 * 1024));
        return path(name);
    };
    EXPECT_TRUE(QTMOVIEasyncOpenAllowed(sparse(QStringLiteral("big.MKV"), 150)));
    EXPECT_TRUE(QTMOVIEasyncOpenAllowed(sparse(QStringLiteral("big.avi"), 150)));
    EXPECT_FALSE(QTMOVIEasyncOpenAllowed(sparse(QStringLiteral("small.mkv"), 50)));
    EXPECT_FALSE(QTMOVIEasyncOpenAllowed(sparse(QStringLiteral("big.mov"), 150)));
    EXPECT_FALSE(QTMOVIEasyncOpenAllowed(path(QStringLiteral("absent.flv"))));
}

TEST_F(MovieServices, CutNeedsAnEditableMovieAndShortensIt) {
    const QString src = path(QStringLiteral("cut.mov"));
    ASSERT_TRUE(makeClip(src, 2.0, 2.0));
    auto movie = QTMovie::movieWithFile(src, false);
    ASSERT_TRUE(movie);
    EXPECT_FALSE(movieCut(movie.get(), 0, 500, 1000));
    EXPECT_NEAR(movie->movie().durationSeconds(), 2.0, 0.05);

    movieEditable(movie.get());
    EXPECT_FALSE(movieCut(movie.get(), 500, 500, 1000));
    EXPECT_FALSE(movieCut(movie.get(), 0, 500, 0));
    EXPECT_FALSE(movieCut(nullptr, 0, 500, 1000));
    // A cut in the middle: from 0.5 s to 1.0 s.
    EXPECT_TRUE(movieCut(movie.get(), 2500, 5000, 5000));
    EXPECT_NEAR(movie->movie().durationSeconds(), 1.5, 0.05);
}

TEST_F(MovieServices, RescaleHalfTheTimeScaleDoublesTheDuration) {
    const QString slow = path(QStringLiteral("slow1.mov"));
    ASSERT_TRUE(makeClip(slow, 2.0, 2.0));
    ASSERT_TRUE(QTMOVIEinstantiate(slow));
    EXPECT_FALSE(movieRescalePreExport(getQTMOVIE(), 0, 2500, slow + QStringLiteral(".mov")));
    EXPECT_FALSE(movieRescalePreExport(getQTMOVIE(), 5000, 2500, QString()));
    EXPECT_FALSE(movieRescalePreExport(nullptr, 5000, 2500, slow + QStringLiteral(".mov")));

    const QString out = slow + QStringLiteral(".mov");
    ASSERT_TRUE(movieRescalePreExport(getQTMOVIE(), 5000, 2500, out));
    QTMOVIErelease();
    // Self-contained, twice as long, every frame kept, the sound played at half its rate.
    EXPECT_NEAR(probeNumber(out, QString(), QStringLiteral("duration")), 4.0, 0.1);
    EXPECT_EQ(probe(out, QStringLiteral("v:0"), QStringLiteral("nb_read_frames")),
              QStringLiteral("50"));
    EXPECT_EQ(probe(out, QStringLiteral("a:0"), QStringLiteral("sample_rate")),
              QStringLiteral("24000"));

    // The pipeline then replaces the slow file by the re-timed one.
    ASSERT_TRUE(QFile::remove(slow));
    EXPECT_NEAR(probeNumber(out, QString(), QStringLiteral("duration")), 4.0, 0.1);
}

TEST_F(MovieServices, RescaleOfAReferenceMovieStaysAReferenceMovie) {
    // An export job's trimmed movie is a reference movie into the offset file.
    const QString offset = path(QStringLiteral("offset3.mov"));
    ASSERT_TRUE(makeClip(offset, 1.52, 2.0, 0.48));
    ASSERT_TRUE(isDebMovieTrimmedToVideoTrack(offset, 0));
    const QString slow = offset + QStringLiteral(".mov");
    ASSERT_TRUE(QTMOVIEinstantiate(slow));
    const QString out = slow + QStringLiteral(".mov");
    ASSERT_TRUE(movieRescalePreExport(getQTMOVIE(), 5000, 2500, out));
    QTMOVIErelease();
    EXPECT_LT(QFileInfo(out).size(), QFileInfo(offset).size() / 4);
    const auto back = reopen(out);
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->durationSeconds(), 3.04, 0.1);
    const auto *video = firstTrack(*back, toolbox::kVideoMediaType);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(QFileInfo(QString::fromStdString(video->sourcePath())).fileName(),
              QStringLiteral("offset3.mov"));
}

TEST_F(MovieServices, RescaleOfAnotherContainerCopiesIntoAQuickTimeMovie) {
    const QString src = path(QStringLiteral("clip.mkv"));
    ASSERT_TRUE(makeClip(src, 2.0, 0));
    ASSERT_TRUE(QTMOVIEinstantiate(src));
    const QString out = path(QStringLiteral("clip.mkv.mov"));
    ASSERT_TRUE(movieRescalePreExport(getQTMOVIE(), 5000, 2500, out));
    EXPECT_NEAR(probeNumber(out, QString(), QStringLiteral("duration")), 4.0, 0.1);
    EXPECT_TRUE(
        probe(out, QString(), QStringLiteral("format_name")).contains(QLatin1String("mov")));
    EXPECT_NEAR(probeNumber(src, QString(), QStringLiteral("duration")), 2.0, 0.1);
}

TEST_F(MovieServices, WriteModes) {
    const QString src = path(QStringLiteral("modes.mov"));
    ASSERT_TRUE(makeClip(src, 0.4, 0.4));
    auto movie = QTMovie::movieWithFile(src, false);
    ASSERT_TRUE(movie);
    const QString before = fileMd5(src);

    // -2: the sound as a WAVE file.
    const QString wave = path(QStringLiteral("sound.wav"));
    ASSERT_TRUE(qtExport(movie.get(), wave, -2));
    EXPECT_EQ(probe(wave, QString(), QStringLiteral("format_name")), QStringLiteral("wav"));
    EXPECT_EQ(probe(wave, QStringLiteral("a:0"), QStringLiteral("codec_name")),
              QStringLiteral("pcm_s16le"));

    // 1: the movie exporter's defaults (ProRes 422 HQ, 48 kHz PCM).
    const QString exported = path(QStringLiteral("exported.mov"));
    ASSERT_TRUE(qtExport(movie.get(), exported, 1));
    EXPECT_EQ(probe(exported, QStringLiteral("v:0"), QStringLiteral("codec_tag_string")),
              QStringLiteral("apch"));

    // Any other mode: the default write, a reference movie (no sample copied).
    const QString reference = path(QStringLiteral("reference.mov"));
    ASSERT_TRUE(qtExport(movie.get(), reference, 2));
    EXPECT_LT(QFileInfo(reference).size(), QFileInfo(src).size() / 4);
    const auto back = reopen(reference);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->trackCount(), 2u);

    // A reference movie onto the file that holds the samples would destroy them: refused.
    EXPECT_FALSE(qtExport(movie.get(), src, 0));
    EXPECT_EQ(fileMd5(src), before);
    // A folder that doesn't exist: failure, nothing written.
    EXPECT_FALSE(qtExport(movie.get(), path(QStringLiteral("no/such/out.mov")), -1));
    EXPECT_FALSE(qtExport(nullptr, path(QStringLiteral("x.mov")), -1));
}

TEST_F(MovieServices, TracksInOrderOrNothing) {
    const QString src = path(QStringLiteral("tracks.mov"));
    ASSERT_TRUE(makeClip(src, 0.2, 0.2));
    auto movie = QTMovie::movieWithFile(src, false);
    ASSERT_TRUE(movie);
    const auto tracks = movieTracks(movie.get());
    ASSERT_TRUE(tracks.has_value());
    ASSERT_EQ(tracks->size(), 2u);
    EXPECT_EQ(tracks->at(0)->mediaType(), toolbox::kVideoMediaType);
    EXPECT_EQ(tracks->at(1)->mediaType(), toolbox::kSoundMediaType);

    QTMovie empty(toolbox::Movie::newMovie());
    EXPECT_FALSE(movieTracks(&empty).has_value());
    EXPECT_FALSE(movieTracks(nullptr).has_value());
    EXPECT_FALSE(empty.editable());
    movieEditable(&empty);
    EXPECT_TRUE(empty.editable());
}

} // namespace
