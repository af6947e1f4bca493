// Writing movies, checked with the ffmpeg program: the frames that come out of a written movie
// are compared, by checksum, with the frames of its source.
#include "toolbox/movie.h"
#include "toolbox/movieFacts.h"
#include "toolbox/quickTimeReader.h"

#include "mediaFixture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "testMedia.h"
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

namespace toolbox {
namespace {

namespace fs = std::filesystem;
using test::clips;

std::vector<std::string> slice(const std::vector<std::string> &all, std::size_t from,
                               std::size_t to) {
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())),
            all.begin() + static_cast<std::ptrdiff_t>(std::min(to, all.size()))};
}

std::size_t filesIn(const std::string &folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

TEST(ReferenceMovie, DecodesToTheSameFramesAsItsSourceAndCopiesNoSample) {
    test::TemporaryFolder folder;
    auto movie = Movie::open(clips().av());
    ASSERT_TRUE(movie);
    const auto path = folder.file("reference.mov");
    ASSERT_TRUE(movie->writeReference(path));
    EXPECT_LT(test::fileSize(path), 8000u); // a header, no samples

    const std::string drefs = "-enable_drefs 1";
    const auto sourceVideo = test::frameChecksums(clips().av(), "v:0");
    ASSERT_EQ(sourceVideo.size(), 100u);
    EXPECT_EQ(test::frameChecksums(path, "v:0", drefs), sourceVideo);
    EXPECT_EQ(test::soundChecksum(path, {}, drefs), test::soundChecksum(clips().av()));

    // Read back by the toolbox: the same tracks, over the source's samples.
    MovieStatus status;
    auto back = Movie::open(path, &status);
    ASSERT_TRUE(back) << status.message;
    ASSERT_EQ(back->trackCount(), 2u);
    EXPECT_EQ(fs::path(back->track(0).sourcePath()), fs::path(clips().av()));
    EXPECT_EQ(back->track(0).streamIndex(), movie->track(0).streamIndex());
    EXPECT_FALSE(back->isSelfContainedQuickTime());

    // Refused: a reference movie over its own media, and media that is no QuickTime file.
    EXPECT_EQ(movie->writeReference(clips().av()).error, MovieError::InvalidArgument);
    auto transport = Movie::open(clips().transport());
    ASSERT_TRUE(transport);
    EXPECT_EQ(transport->writeReference(folder.file("ts.mov")).error, MovieError::Unsupported);
    EXPECT_FALSE(fs::exists(folder.file("ts.mov")));
}

TEST(ReferenceMovie, RealMovieWithDelayedSoundKeepsItsTiming) {
    const auto source = test::realTestFile("awesome movie.mov");
    if (source.empty())
        GTEST_SKIP() << "shared test data absent";
    test::TemporaryFolder folder;
    auto movie = Movie::open(source);
    ASSERT_TRUE(movie);
    const auto path = folder.file("reference.mov");
    ASSERT_TRUE(movie->writeReference(path));
    const std::string drefs = "-enable_drefs 1";
    EXPECT_EQ(test::frameChecksums(path, "v:0", drefs), test::frameChecksums(source, "v:0"));
    EXPECT_EQ(test::frameChecksums(path, "a:0", drefs), test::frameChecksums(source, "a:0"));
    EXPECT_EQ(test::probe(path, "a:0", "start_time", drefs),
              test::probe(source, "a:0", "start_time"));
}

// The pipeline's trim: picture starts 0.48 s after sound; removing those 0.48 s from every
// track must start both at 0 with the sound moved by exactly 0.48 s of samples.
void expectTrimmedInSync(const std::string &path) {
    EXPECT_NEAR(test::probeNumber(path, "", "duration"), 4.0, 0.03);
    EXPECT_EQ(test::frameChecksums(path, "v:0"), test::frameChecksums(clips().lateVideo(), "v:0"));
    EXPECT_EQ(test::soundChecksum(path),
              test::soundChecksum(clips().lateVideo(), "atrim=start_sample=23040"));
    EXPECT_NEAR(test::probeNumber(path, "v:0", "start_time"), 0.0, 0.001);
    EXPECT_NEAR(test::probeNumber(path, "a:0", "start_time"), 0.0, 0.001);
}

TEST(SelfContainedMovie, TrimmedBesideTheSourceKeepsSoundAndPictureInSync) {
    test::TemporaryFolder folder;
    auto movie = Movie::open(clips().lateVideo());
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->deleteSegment(0, 480, 1000));
    const auto path = folder.file("trimmed.mov");
    std::vector<std::int32_t> fractions;
    ASSERT_TRUE(movie->writeSelfContained(path, [&](std::int32_t f) { fractions.push_back(f); }));
    expectTrimmedInSync(path);
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), kFixedOne);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_EQ(std::count(fractions.begin(), fractions.end(), kFixedOne), 1);
    EXPECT_EQ(filesIn(folder.path()), 1u); // no temporary file left beside it
}

TEST(SelfContainedMovie, TrimmedInPlaceRewritesOnlyTheHeader) {
    test::TemporaryFolder folder;
    const auto path = folder.file("in place.mov");
    fs::copy_file(clips().lateVideo(), path);
    const auto before = test::fileSize(path);
    auto movie = Movie::open(path);
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->isSelfContainedQuickTime());
    ASSERT_TRUE(movie->deleteSegment(0, 480, 1000));
    std::vector<std::int32_t> fractions;
    ASSERT_TRUE(movie->writeSelfContained(path, [&](std::int32_t f) { fractions.push_back(f); }));
    EXPECT_EQ(fractions.back(), kFixedOne);
    // One new header appended; the samples stayed where they were.
    EXPECT_GT(test::fileSize(path), before);
    EXPECT_LT(test::fileSize(path), before + 4096);
    expectTrimmedInSync(path);

    // And again on the rewritten file: the new header is the one read.
    auto again = Movie::open(path);
    ASSERT_TRUE(again);
    EXPECT_NEAR(again->durationSeconds(), 4.0, 0.03);
    ASSERT_TRUE(again->deleteSegment(0, 1000, 1000));
    ASSERT_TRUE(again->writeSelfContained(path));
    EXPECT_NEAR(test::probeNumber(path, "", "duration"), 3.0, 0.03);
}

// A header at the front (fast start) is rewritten at the end; readers skip the old one.
TEST(SelfContainedMovie, InPlaceOnAMovieWithItsHeaderFirst) {
    test::TemporaryFolder folder;
    const auto path = folder.file("fast.mov");
    ASSERT_TRUE(test::makeClip(path, "-i " + test::quoted(clips().lateVideo()),
                               "-c copy -movflags +faststart"));
    auto movie = Movie::open(path);
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->deleteSegment(0, 480, 1000));
    ASSERT_TRUE(movie->writeSelfContained(path));
    expectTrimmedInSync(path);
}

// What trakmill does with -t: a new movie made of a source's tracks, one of them removed;
// only the kept track's samples are copied.
TEST(SelfContainedMovie, NewMovieOfSelectedTracksCopiesOnlyTheirSamples) {
    test::TemporaryFolder folder;
    auto source = Movie::open(clips().av());
    ASSERT_TRUE(source);
    auto movie = Movie::newMovie();
    ASSERT_TRUE(movie->insertMovieSegment(*source, 0, source->duration(), 0));
    ASSERT_TRUE(movie->removeTrack(movie->tracksOfMediaType(kVideoMediaType)[0]));
    const auto path = folder.file("sound.mov");
    ASSERT_TRUE(movie->writeSelfContained(path));
    EXPECT_EQ(test::probe(path, "v", "codec_type"), "");
    EXPECT_EQ(test::probe(path, "a:0", "codec_name"), "pcm_s16le");
    EXPECT_LT(test::fileSize(path), 4u * 48000 * 2 + 8000);
    EXPECT_EQ(test::soundChecksum(path), test::soundChecksum(clips().av()));
}

TEST(SelfContainedMovie, MiddleCutKeepsTheFramesAroundIt) {
    test::TemporaryFolder folder;
    auto movie = Movie::open(clips().av());
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->deleteSegment(1000, 1000, 1000)); // 1 s to 2 s
    const auto path = folder.file("cut.mov");
    ASSERT_TRUE(movie->writeSelfContained(path));
    const auto source = test::frameChecksums(clips().av(), "v:0");
    auto expected = slice(source, 0, 25);
    const auto after = slice(source, 50, 100);
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(test::frameChecksums(path, "v:0"), expected);
    EXPECT_NEAR(test::probeNumber(path, "", "duration"), 3.0, 0.03);
    auto back = Movie::open(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->track(0).edits().size(), 2u);
}

// Slow motion as the pipeline asks for it: time scale 5000 re-timed to 2500.
TEST(SelfContainedMovie, ScalingFromFiveThousandToTwentyFiveHundredDoublesTheDuration) {
    test::TemporaryFolder folder;
    const auto path = folder.file("slow.mov");
    fs::copy_file(clips().av(), path);
    auto movie = Movie::open(path);
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->setTimeScale(5000));
    const auto duration = movie->duration();
    ASSERT_TRUE(movie->setTimeScale(2500));
    ASSERT_TRUE(
        movie->scaleSegment(0, duration, duration * 5000 / 2500 * 5000 / 5000 / 2 * 2, 5000).ok());
    // The whole movie now lasts twice as long.
    EXPECT_NEAR(movie->durationSeconds(), 8.0, 0.01);
    const auto size = test::fileSize(path);
    // In place, a header only; unflushed, as the pipeline writes its working files.
    ASSERT_TRUE(movie->writeSelfContained(path, {}, WriteSync::Deferred));
    EXPECT_LT(test::fileSize(path), size + 4096);
    EXPECT_NEAR(test::probeNumber(path, "", "duration"), 8.0, 0.05);
    EXPECT_NEAR(test::probeNumber(path, "v:0", "duration"), 8.0, 0.05);
    EXPECT_EQ(test::probe(path, "a:0", "sample_rate"), "24000");
    EXPECT_EQ(test::probe(path, "v:0", "r_frame_rate"), "25/2");
    // Every frame and every sound sample is still there, only slower.
    EXPECT_EQ(test::frameChecksums(path, "v:0"), test::frameChecksums(clips().av(), "v:0"));
    EXPECT_EQ(test::soundChecksum(path, "asetrate=48000"), test::soundChecksum(clips().av()));
}

// A movie whose length does not divide evenly into the new time scale: the stretch must still be
// exactly four times, or the written sound rate and frame rate drift (12001 Hz, 25.0025 fps).
TEST(SelfContainedMovie, SlowMotionRateIsExactWhenTheMovieTimeScaleRounds) {
    test::TemporaryFolder folder;
    const auto path = folder.file("slow4.mov");
    fs::copy_file(clips().av(), path);
    auto movie = Movie::open(path);
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->setTimeScale(10000));
    ASSERT_TRUE(movie->deleteSegment(0, 3, 10000).ok());
    const auto duration = movie->duration();
    ASSERT_NE(duration % 4, 0);
    ASSERT_TRUE(movie->setTimeScale(2500));
    ASSERT_TRUE(movie->scaleSegment(0, duration, duration * 4, 10000).ok());
    for (std::size_t i = 0; i < movie->trackCount(); ++i) {
        for (const auto &edit : movie->track(i).edits()) {
            if (edit.mediaStart >= 0) {
                EXPECT_DOUBLE_EQ(edit.rate, 0.25);
            }
        }
    }
    ASSERT_TRUE(movie->writeSelfContained(path));
    EXPECT_EQ(test::probe(path, "a:0", "sample_rate"), "12000");
    EXPECT_EQ(test::probe(path, "v:0", "r_frame_rate"), "25/4");
}

// A slow-motion section in the middle of a picture track (one second played over four): the
// written movie gives each of its pictures four times the duration, so FFmpeg, which ignores an
// edit's rate, shows every picture once, the slow ones longer, over the seven seconds the edits
// play; the toolbox reads as much of the source and of the copy. PCM at several rates has no
// such timing: its write is refused.
TEST(SelfContainedMovie, EditsAtSeveralRatesBecomeEachPicturesOwnDuration) {
    test::TemporaryFolder folder;
    auto movie = Movie::open(clips().av());
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->scaleSegment(1000, 1000, 4000, 1000).ok());
    const auto sound = movie->tracksOfMediaType(kSoundMediaType);
    ASSERT_EQ(sound.size(), 1u);
    EXPECT_EQ(movie->writeSelfContained(folder.file("with sound.mov")).error,
              MovieError::Unsupported);
    ASSERT_TRUE(movie->removeTrack(sound.front()));
    MovieFacts source;
    ASSERT_TRUE(movieFactsOf(*movie, source));
    ASSERT_TRUE(source.picture);
    EXPECT_EQ(source.picture->pictures, 100);
    EXPECT_NEAR(source.picture->seconds, 7.0, 0.001);
    EXPECT_TRUE(source.picture->variableRate);

    const auto path = folder.file("slow middle.mov");
    ASSERT_TRUE(movie->writeSelfContained(path));
    EXPECT_EQ(test::frameChecksums(path, "v:0"), test::frameChecksums(clips().av(), "v:0"));
    EXPECT_NEAR(test::probeNumber(path, "v:0", "duration"), 7.0, 0.05);
    // The slow second's 25 pictures last 4/25 s each, the others 1/25 s, as FFmpeg times them.
    std::string frames;
    ASSERT_TRUE(test::runCommand(
        "/usr/bin/ffmpeg -v error -i " + test::quoted(path) + " -map 0:v -f framemd5 -", &frames));
    std::vector<long> gaps;
    long previous = -1;
    std::istringstream lines(frames);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const long pts = std::stol(line.substr(line.find(',', line.find(',') + 1) + 1));
        if (previous >= 0)
            gaps.push_back(pts - previous);
        previous = pts;
    }
    std::vector<long> expected(99, 1);
    std::fill(expected.begin() + 25, expected.begin() + 50, 4);
    EXPECT_EQ(gaps, expected);
    MovieFacts written;
    ASSERT_TRUE(readMovieFacts(path, written));
    ASSERT_TRUE(written.picture);
    EXPECT_EQ(written.picture->pictures, 100);
    EXPECT_NEAR(written.picture->seconds, 7.0, 0.001);
    // One run of pictures now: a single edit at rate 1.
    const auto edits = Movie::open(path)->track(0).edits();
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits.front().rate, 1.0);
}

TEST(SelfContainedMovie, OtherContainersAreCopiedOnceIntoQuickTime) {
    test::TemporaryFolder folder;
    auto movie = Movie::open(clips().transport());
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->deleteSegment(0, 1000, 1000));
    const auto path = folder.file("from ts.mov");
    std::int32_t last = 0;
    MovieStatus status = movie->writeSelfContained(
        path, [&](std::int32_t f) { last = f; }, WriteSync::Deferred);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(last, kFixedOne);
    EXPECT_EQ(test::probe(path, "", "format_name"), "mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_NEAR(test::probeNumber(path, "", "duration"), 3.0, 0.1);
    const auto source = test::frameChecksums(clips().transport(), "v:0");
    EXPECT_EQ(test::frameChecksums(path, "v:0"), slice(source, 25, 100));
    EXPECT_EQ(filesIn(folder.path()), 1u);
}

// While a movie is written its folder shows nothing new: the file has no name until it is
// complete, so a process killed during a long copy leaves nothing behind. Both copies: the
// QuickTime chunk copy and the libavformat remux of another container.
TEST(SelfContainedMovie, NothingAppearsInTheFolderUntilTheMovieIsComplete) {
    for (const auto &source : {clips().av(), clips().transport()}) {
        test::TemporaryFolder folder;
        auto movie = Movie::open(source);
        ASSERT_TRUE(movie);
        const auto path = folder.file("out.mov");
        bool midway = false;
        std::size_t seen = 0;
        const auto status = movie->writeSelfContained(path, [&](std::int32_t fraction) {
            if (fraction > 0 && fraction < kFixedOne) {
                midway = true;
                seen = std::max(seen, filesIn(folder.path()));
            }
        });
        ASSERT_TRUE(status) << status.message;
        EXPECT_TRUE(midway) << source;
        EXPECT_EQ(seen, 0u) << source;
        EXPECT_EQ(filesIn(folder.path()), 1u) << source;
        EXPECT_EQ(test::frameChecksums(path, "v:0"), test::frameChecksums(source, "v:0"));
    }
}

// Fragmented files describe their samples after the header: they are read through
// libavformat, and a self-contained write copies every sample.
TEST(SelfContainedMovie, FragmentedMoviesAreCopiedWhole) {
    test::TemporaryFolder folder;
    const auto source = folder.file("fragments.mp4");
    ASSERT_TRUE(test::makeClip(source, "-i " + test::quoted(clips().av()),
                               "-c:v copy -c:a aac -movflags frag_keyframe+empty_moov"));
    auto movie = Movie::open(source);
    ASSERT_TRUE(movie);
    EXPECT_NEAR(movie->durationSeconds(), 4.0, 0.1);
    EXPECT_FALSE(movie->isSelfContainedQuickTime());
    const auto path = folder.file("whole.mov");
    const auto status = movie->writeSelfContained(path);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(test::frameChecksums(path, "v:0"), test::frameChecksums(clips().av(), "v:0"));
}

TEST(SelfContainedMovie, FailedWritesLeaveNothingBehind) {
    test::TemporaryFolder folder;
    auto movie = Movie::open(clips().av());
    ASSERT_TRUE(movie);
    auto status = movie->writeSelfContained(folder.file("missing/out.mov"));
    EXPECT_EQ(status.error, MovieError::WriteFailed);
    EXPECT_EQ(movie->writeReference(folder.file("missing/ref.mov")).error, MovieError::WriteFailed);

    // A disk that fills up during the write: a file size limit makes writes fail the same way.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 100 * 1024;
    setrlimit(RLIMIT_FSIZE, &limited);
    status = movie->writeSelfContained(folder.file("full.mov"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(status.error, MovieError::WriteFailed);
    EXPECT_EQ(filesIn(folder.path()), 0u);
}

// What a re-encoder gets: every frame of the edited movie in order, once.
class EditedMovieReader : public testing::TestWithParam<bool> {};

TEST_P(EditedMovieReader, DecodesExactlyTheFramesOfAnEditedMovie) {
    auto movie = Movie::open(GetParam() ? clips().transport() : clips().av());
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->deleteSegment(1000, 1000, 1000));
    MovieStatus status;
    auto reader = MovieReader::open(*movie, &status);
    ASSERT_TRUE(reader) << status.message;
    const auto video = movie->tracksOfMediaType(kVideoMediaType)[0];
    AVStream *stream = reader->stream(video);
    ASSERT_TRUE(stream);
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    ASSERT_TRUE(codec);
    AVCodecContext *context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, stream->codecpar);
    ASSERT_EQ(avcodec_open2(context, codec, nullptr), 0);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    int frames = 0;
    std::int64_t firstPts = AV_NOPTS_VALUE;
    std::size_t track = 0;
    auto drain = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            if (firstPts == AV_NOPTS_VALUE)
                firstPts = frame->pts;
            ++frames;
        }
    };
    while (reader->readPacket(packet, &track) == 0) {
        if (track != video)
            continue;
        avcodec_send_packet(context, packet);
        drain();
    }
    avcodec_send_packet(context, nullptr);
    drain();
    EXPECT_EQ(frames, 75);
    // The first frame shows where the picture starts in the movie (after any lead-in).
    const auto range = movie->track(video).range();
    const auto expected =
        av_rescale_q(range.start, AVRational{1, range.timeScale}, stream->time_base);
    EXPECT_NEAR(double(firstPts), double(expected), stream->time_base.den / 1000.0);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
}

// QuickTime media (through a reference movie) and MPEG-TS media (through a copy).
INSTANTIATE_TEST_SUITE_P(MovieReader, EditedMovieReader, testing::Bool());

// An unedited transport stream is read from the file itself, whose clock starts near 1.4 s:
// the reader hands out movie time all the same, every track at its place in the movie (the
// picture of the second clip starts 0.48 s after its sound).
TEST(MovieReaderClock, UneditedTransportStreamIsReadInMovieTime) {
    test::TemporaryFolder folder;
    const auto late = folder.file("late video.ts");
    ASSERT_TRUE(
        test::makeClip(late,
                       "-itsoffset 0.48 -f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
                       "-f lavfi -i sine=sample_rate=48000:duration=2",
                       "-c:v libx264 -g 12 -c:a mp2 -f mpegts"));
    for (const auto &path : {clips().transport(), late}) {
        SCOPED_TRACE(path);
        ASSERT_GT(test::probeNumber(path, "", "start_time"), 1.0); // the container's clock
        auto movie = Movie::open(path);
        ASSERT_TRUE(movie);
        MovieStatus status;
        auto reader = MovieReader::open(*movie, &status);
        ASSERT_TRUE(reader) << status.message;
        std::vector<double> first(movie->trackCount(), 1e9);
        AVPacket *packet = av_packet_alloc();
        std::size_t track = 0;
        while (reader->readPacket(packet, &track) == 0)
            if (packet->pts != AV_NOPTS_VALUE)
                first[track] = std::min(first[track], double(packet->pts) *
                                                          av_q2d(reader->stream(track)->time_base));
        av_packet_free(&packet);
        for (std::size_t t = 0; t < movie->trackCount(); ++t)
            EXPECT_NEAR(first[t], movie->track(t).range().startSeconds(), 0.001) << "track " << t;
        EXPECT_NEAR(*std::min_element(first.begin(), first.end()), 0.0, 0.001);
    }
    EXPECT_NEAR(Movie::open(late)->track(0).range().startSeconds(), 0.48, 0.03);
}

} // namespace
} // namespace toolbox

namespace toolbox {
namespace {

// The recording-date tags ffprobe reads from a movie: the header's creation time, the QuickTime
// creation-date key and the video track's creation time.
std::string dateTags(const std::string &path) {
    std::string text;
    test::runCommand("/usr/bin/ffprobe -v error -show_entries "
                     "format_tags=creation_time,com.apple.quicktime.creationdate:stream_tags="
                     "creation_time -select_streams v:0 -of compact=p=0 " +
                         test::quoted(path) + " 2>/dev/null",
                     &text);
    return text;
}

// Rewrites of the header keep the movie's dates and metadata: trimmed in place, copied, written
// as a reference movie, or made into a new movie of its tracks.
TEST(MovieDates, EveryWriteKeepsTheDatesAndMetadata) {
    test::TemporaryFolder folder;
    const auto source = folder.file("dated.mov");
    ASSERT_TRUE(test::makeClip(source,
                               "-f lavfi -i testsrc=size=64x48:rate=25:duration=2 -f lavfi -i "
                               "sine=frequency=440:sample_rate=48000:duration=2",
                               "-c:v mpeg4 -c:a pcm_s16le -metadata creation_time=2011-06-15T12:30:"
                               "05Z -metadata com.apple.quicktime.creationdate=2011-06-15T14:30:"
                               "05+02:00 -movflags +use_metadata_tags"));
    const std::string expected = dateTags(source);
    ASSERT_NE(expected.find("com.apple.quicktime.creationdate=2011-06-15T14:30:05+02:00"),
              std::string::npos)
        << expected;
    ASSERT_NE(expected.find("2011-06-15T12:30:05"), std::string::npos) << expected;

    auto movie = Movie::open(source);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->creationTimeUnix(), 1308141005);
    ASSERT_TRUE(movie->deleteSegment(0, 200, 1000));
    const auto copy = folder.file("copy.mov");
    ASSERT_TRUE(movie->writeSelfContained(copy));
    EXPECT_EQ(dateTags(copy), expected);
    const auto reference = folder.file("reference.mov");
    ASSERT_TRUE(movie->writeReference(reference));
    EXPECT_EQ(dateTags(reference), expected);
    ASSERT_TRUE(movie->writeSelfContained(source));
    EXPECT_EQ(dateTags(source), expected);

    auto made = Movie::newMovie(600);
    ASSERT_TRUE(made->insertMovieSegment(*movie, 0, movie->duration(), 0));
    const auto joined = folder.file("new.mov");
    ASSERT_TRUE(made->writeSelfContained(joined));
    EXPECT_EQ(dateTags(joined), expected);

    // A movie without dates gets the time of writing, as before.
    auto undated = Movie::open(clips().lateVideo());
    ASSERT_TRUE(undated);
    EXPECT_FALSE(undated->creationTimeUnix().has_value() &&
                 *undated->creationTimeUnix() == 1308141005);
}

// Dates after 2040-02-06 need 64-bit header times. The ffmpeg program writes version 0
// headers and so cuts 2069-07-20 to its low 32 bits; the toolbox reads the whole date back
// from the creation-date key and writes version 1 headers, which every reader takes as 2069.
TEST(MovieDates, DatesAfter2040KeepTheirCentury) {
    test::TemporaryFolder folder;
    const auto source = folder.file("moon.mov");
    ASSERT_TRUE(test::makeClip(source, "-f lavfi -i testsrc=size=64x48:rate=25:duration=1",
                               "-c:v mpeg4 -metadata creation_time=2069-07-20T20:17:40Z -metadata "
                               "com.apple.quicktime.creationdate=2069-07-20T22:17:40+02:00 "
                               "-movflags +use_metadata_tags"));

    EXPECT_EQ(iso8601MacTime("2069-07-20T22:17:40+02:00"), 5224421860ull);
    EXPECT_EQ(iso8601MacTime("2069-07-20T20:17:40.5Z"), 5224421860ull);
    EXPECT_EQ(iso8601MacTime("1970-01-01T00:00:00Z"), 2082844800ull);
    EXPECT_FALSE(iso8601MacTime("2069-13-20T20:17:40Z"));
    EXPECT_FALSE(iso8601MacTime("yesterday"));

    auto movie = Movie::open(source);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->creationTimeUnix(), 3141577060);
    const auto copy = folder.file("copy.mov");
    ASSERT_TRUE(movie->writeSelfContained(copy));
    ASSERT_TRUE(movie->writeSelfContained(source));
    for (const std::string &written : {copy, source})
        for (const char *type : {"mvhd", "tkhd", "mdhd"})
            EXPECT_EQ(testmedia::headerTime(written, type),
                      std::make_pair(1, std::uint64_t{5224421860}))
                << written << " " << type;
    // Read back: version 1 headers give the same date.
    auto again = Movie::open(source);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->creationTimeUnix(), 3141577060);
}

// A data reference is followed to a regular file that is a QuickTime movie only: a FIFO in its
// place is refused at once, saying so (opening it would wait for a writer for ever), and so are
// a device and a file of another kind (a person's notes would become the movie's samples).
TEST(ReferenceMovie, FollowsItsDataReferenceToAMovieFileOnly) {
    test::TemporaryFolder folder;
    const auto media = folder.file("media.mov");
    fs::copy_file(clips().av(), media);
    auto movie = Movie::open(media);
    ASSERT_TRUE(movie);
    const auto path = folder.file("reference.mov");
    ASSERT_TRUE(movie->writeReference(path));
    movie.reset();
    MovieStatus status;
    ASSERT_TRUE(Movie::open(path, &status)) << status.message;

    fs::rename(media, folder.file("kept.mov"));
    ASSERT_EQ(mkfifo(media.c_str(), 0600), 0);
    EXPECT_FALSE(Movie::open(path, &status));
    EXPECT_NE(status.message.find("is a FIFO, not a regular file"), std::string::npos)
        << status.message;
    // The FIFO named directly.
    EXPECT_FALSE(Movie::open(media, &status));
    EXPECT_NE(status.message.find("FIFO"), std::string::npos) << status.message;
    fs::remove(media);

    fs::create_symlink("/dev/zero", media);
    EXPECT_FALSE(Movie::open(path, &status));
    EXPECT_NE(status.message.find("character device"), std::string::npos) << status.message;
    fs::remove(media);

    {
        std::ofstream notes(media, std::ios::binary);
        notes << std::string(4 * 1024 * 1024, 'n');
    }
    EXPECT_FALSE(Movie::open(path, &status));
    EXPECT_EQ(status.error, MovieError::NotAMovie) << status.message;
    EXPECT_NE(status.message.find("not a movie"), std::string::npos) << status.message;
}

} // namespace
} // namespace toolbox
