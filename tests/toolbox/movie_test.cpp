// Opening movies: what the toolbox sees in QuickTime files and in other containers, and the
// clean failures on files that are not (whole) movies.
#include "sharedTestData.h"
#include "toolbox/movie.h"

#include "mediaFixture.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

namespace toolbox {
namespace {

using test::clips;

TEST(MovieOpen, QuickTimeTracksRangesTimeScalesAndBox) {
    MovieStatus status;
    auto movie = Movie::open(clips().lateVideo(), &status);
    ASSERT_TRUE(movie) << status.message;
    ASSERT_EQ(movie->trackCount(), 2u);
    const auto video = movie->tracksOfMediaType(kVideoMediaType);
    const auto sound = movie->tracksOfMediaType(kSoundMediaType);
    ASSERT_EQ(video.size(), 1u);
    ASSERT_EQ(sound.size(), 1u);

    const auto &picture = movie->track(video[0]);
    EXPECT_NEAR(picture.range().startSeconds(), 0.48, 0.001);
    EXPECT_NEAR(picture.range().durationSeconds(), 4.0, 0.05);
    EXPECT_EQ(picture.codecParameters()->codec_id, AV_CODEC_ID_H264);
    EXPECT_EQ(picture.sourcePath(), clips().lateVideo());
    EXPECT_GE(picture.streamIndex(), 0);
    EXPECT_GT(picture.dataSize(), 0);

    const auto &audio = movie->track(sound[0]);
    EXPECT_EQ(audio.range().start, 0);
    EXPECT_EQ(audio.mediaTimeScale(), 48000);
    EXPECT_EQ(audio.mediaDuration(), 4 * 48000);
    // 16-bit mono PCM: the data size is exactly the samples played.
    EXPECT_EQ(audio.dataSize(), 4 * 48000 * 2);

    EXPECT_NEAR(movie->durationSeconds(), 4.48, 0.05);
    const auto box = movie->box();
    EXPECT_EQ(box.right - box.left, 160);
    EXPECT_EQ(box.bottom - box.top, 120);
}

TEST(MovieOpen, OtherContainersThroughLibavformat) {
    MovieStatus status;
    auto movie = Movie::open(clips().transport(), &status);
    ASSERT_TRUE(movie) << status.message;
    ASSERT_EQ(movie->trackCount(), 2u);
    EXPECT_EQ(movie->tracksOfMediaType(kVideoMediaType).size(), 1u);
    EXPECT_EQ(movie->tracksOfMediaType(kSoundMediaType).size(), 1u);
    EXPECT_NEAR(movie->durationSeconds(), 4.0, 0.1);
    EXPECT_EQ(movie->track(0).mediaTimeScale(), 90000);
    EXPECT_GT(movie->track(0).dataSize(), 0);
}

TEST(MovieOpen, CleanFailuresOnMissingGarbageAndTruncatedFiles) {
    test::TemporaryFolder folder;
    MovieStatus status;
    EXPECT_FALSE(Movie::open(folder.file("none.mov"), &status));
    EXPECT_EQ(status.error, MovieError::FileNotFound);

    std::ofstream(folder.file("text.mov")) << "this is no movie at all, only some text\n";
    EXPECT_FALSE(Movie::open(folder.file("text.mov"), &status));
    EXPECT_EQ(status.error, MovieError::NotAMovie);

    // ffmpeg writes the header at the end: cut in half, the file has samples but no header.
    namespace fs = std::filesystem;
    fs::copy_file(clips().av(), folder.file("half.mov"));
    fs::resize_file(folder.file("half.mov"), test::fileSize(clips().av()) / 2);
    EXPECT_FALSE(Movie::open(folder.file("half.mov"), &status));
    EXPECT_EQ(status.error, MovieError::Truncated);

    // Header first: cut in half, the header points at samples beyond the end.
    ASSERT_TRUE(test::makeClip(folder.file("fast.mov"), "-i " + test::quoted(clips().av()),
                               "-c copy -movflags +faststart"));
    fs::resize_file(folder.file("fast.mov"), test::fileSize(folder.file("fast.mov")) / 2);
    EXPECT_FALSE(Movie::open(folder.file("fast.mov"), &status));
    EXPECT_EQ(status.error, MovieError::Truncated);
}

// Damaged headers: every size, count and offset is read from the file, so bytes overwritten
// anywhere in the header must give a movie or a clean failure, never a crash (run under the
// address sanitizer as well).
TEST(MovieOpen, DamagedHeadersFailCleanly) {
    test::TemporaryFolder folder;
    const auto path = folder.file("damaged.mov");
    ASSERT_TRUE(test::makeClip(path, "-i " + test::quoted(clips().av()),
                               "-t 0.5 -c copy -movflags +faststart"));
    std::vector<char> original(test::fileSize(path));
    std::ifstream(path, std::ios::binary).read(original.data(), std::streamsize(original.size()));
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    int opened = 0;
    for (int round = 0; round < 300; ++round) {
        auto bytes = original;
        const std::size_t header = std::min<std::size_t>(bytes.size(), 4000);
        for (int i = 0; i < 4; ++i)
            bytes[next() % header] = static_cast<char>(next() >> 24);
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), std::streamsize(bytes.size()));
        MovieStatus status;
        auto movie = Movie::open(path, &status);
        if (movie) {
            ++opened;
            for (std::size_t t = 0; t < movie->trackCount(); ++t)
                (void)movie->track(t).dataSize();
            (void)movie->writeSelfContained(folder.file("copy.mov"));
        } else {
            EXPECT_FALSE(status.message.empty());
        }
    }
    EXPECT_GT(opened, 0); // most single-byte damage lands in tables that stay readable
}

TEST(MovieOpen, MovieWithoutTracksOpensEmptyAndCannotBeRead) {
    test::TemporaryFolder folder;
    auto empty = Movie::newMovie(600);
    ASSERT_TRUE(empty->writeSelfContained(folder.file("empty.mov")));
    MovieStatus status;
    auto movie = Movie::open(folder.file("empty.mov"), &status);
    ASSERT_TRUE(movie) << status.message;
    EXPECT_EQ(movie->trackCount(), 0u);
    EXPECT_FALSE(MovieReader::open(*movie, &status));
    EXPECT_EQ(status.error, MovieError::NoTracks);
}

TEST(MovieOpen, RealHeaderOnlyMovieIsTruncated) {
    const auto path = test::realTestFile("header-only.mov");
    if (path.empty())
        GTEST_SKIP() << fluxaro::test::sharedTestDataAbsent();
    MovieStatus status;
    EXPECT_FALSE(Movie::open(path, &status));
    EXPECT_EQ(status.error, MovieError::Truncated) << status.message;
}

TEST(MovieOpen, RealMovieWithDelayedSound) {
    const auto path = test::realTestFile("awesome movie.mov");
    if (path.empty())
        GTEST_SKIP() << fluxaro::test::sharedTestDataAbsent();
    MovieStatus status;
    auto movie = Movie::open(path, &status);
    ASSERT_TRUE(movie) << status.message;
    const auto sound = movie->tracksOfMediaType(kSoundMediaType);
    const auto video = movie->tracksOfMediaType(kVideoMediaType);
    ASSERT_EQ(sound.size(), 1u);
    ASSERT_EQ(video.size(), 1u);
    EXPECT_NEAR(movie->track(sound[0]).range().startSeconds(), 0.0867, 0.002);
    EXPECT_EQ(movie->track(video[0]).range().start, 0);
    EXPECT_EQ(movie->box().right - movie->box().left, 640);
}

TEST(MovieEditing, TrackRemovalInsertionAndTimeScale) {
    auto source = Movie::open(clips().lateVideo());
    ASSERT_TRUE(source);
    auto movie = Movie::newMovie(600);
    ASSERT_TRUE(movie->insertMovieSegment(*source, 0, source->duration(), 0));
    ASSERT_EQ(movie->trackCount(), 2u);
    EXPECT_EQ(movie->duration(), 600 * 448 / 100);
    EXPECT_EQ(movie->track(movie->tracksOfMediaType(kVideoMediaType)[0]).range().start,
              600 * 48 / 100);
    EXPECT_EQ(movie->removeTrack(5).error, MovieError::NoSuchTrack);
    ASSERT_TRUE(movie->removeTrack(movie->tracksOfMediaType(kSoundMediaType)[0]));
    EXPECT_EQ(movie->trackCount(), 1u);
    EXPECT_EQ(movie->track(0).mediaType(), kVideoMediaType);
    ASSERT_TRUE(movie->setTimeScale(5000));
    EXPECT_EQ(movie->duration(), 5000 * 448 / 100);
    EXPECT_EQ(movie->setTimeScale(0).error, MovieError::InvalidArgument);
    EXPECT_EQ(movie->deleteSegment(0, -1, 600).error, MovieError::InvalidArgument);
}

} // namespace
} // namespace toolbox
