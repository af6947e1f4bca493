// Edit-list arithmetic and alias records, without any file of media.
#include "toolbox/aliasRecord.h"
#include "toolbox/movieEdits.h"

#include "mediaFixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace toolbox {
namespace {

using Edit = MovieTrack::Edit;

bool sameEdits(const EditList &actual, const EditList &expected) {
    if (actual.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < actual.size(); ++i)
        if (actual[i].movieDuration != expected[i].movieDuration ||
            actual[i].mediaTime != expected[i].mediaTime ||
            std::abs(actual[i].rate - expected[i].rate) > 1e-12)
            return false;
    return true;
}

// Sound at 48 kHz in a movie at 1000 units per second: a cut inside an edit must land on the
// exact media sample, and a leading empty edit must shrink before media is removed.
TEST(MovieEdits, DeleteCutsEmptyEditsFirstThenMediaAtTheExactSample) {
    EditList sound{{4000, 0, 1.0}};
    deleteEdits(sound, 0, 480, 48000, 1000);
    EXPECT_TRUE(sameEdits(sound, {{3520, 23040, 1.0}}));

    EditList video{{480, -1, 1.0}, {3520, 0, 1.0}};
    deleteEdits(video, 0, 480, 12800, 1000);
    EXPECT_TRUE(sameEdits(video, {{3520, 0, 1.0}}));

    EditList lateVideo{{480, -1, 1.0}, {3520, 0, 1.0}};
    deleteEdits(lateVideo, 0, 200, 12800, 1000);
    EXPECT_TRUE(sameEdits(lateVideo, {{280, -1, 1.0}, {3520, 0, 1.0}}));
}

TEST(MovieEdits, MiddleCutLeavesTwoEditsAndCutsOfTheEndLeaveNoTrailingGap) {
    EditList edits{{4000, 0, 1.0}};
    deleteEdits(edits, 1000, 1000, 25, 1000);
    EXPECT_TRUE(sameEdits(edits, {{1000, 0, 1.0}, {2000, 50, 1.0}}));

    EditList shortTrack{{500, -1, 1.0}, {1000, 0, 1.0}};
    deleteEdits(shortTrack, 500, 2000, 25, 1000); // the whole media goes
    EXPECT_TRUE(shortTrack.empty());
}

TEST(MovieEdits, ScalingStretchesDurationsAndSlowsTheRate) {
    EditList edits{{480, -1, 1.0}, {3520, 0, 1.0}};
    scaleEdits(edits, 0, 4000, 8000, 0.5, 12800, 1000);
    EXPECT_TRUE(sameEdits(edits, {{960, -1, 1.0}, {7040, 0, 0.5}}));

    // A segment inside a single edit splits it; the media after it keeps its rate.
    EditList middle{{3000, 0, 1.0}};
    scaleEdits(middle, 1000, 1000, 3000, 1.0 / 3, 1000, 1000);
    EXPECT_TRUE(sameEdits(middle, {{1000, 0, 1.0}, {3000, 1000, 1.0 / 3}, {1000, 2000, 1.0}}));
}

// Converting between time scales rounds boundaries, not durations, so the total never drifts.
TEST(MovieEdits, RescalingKeepsTheTotalDuration) {
    EditList edits;
    for (int i = 0; i < 300; ++i)
        edits.push_back({1, i, 1.0});
    const auto converted = rescaleEdits(edits, 3, 1000);
    std::int64_t total = 0;
    for (const auto &edit : converted)
        total += edit.movieDuration;
    EXPECT_EQ(total, 100000);
}

TEST(MovieEdits, InsertAndExtract) {
    EditList edits{{2000, 0, 1.0}};
    insertEmptyEdit(edits, 1000, 500, 1000, 1000);
    EXPECT_TRUE(sameEdits(edits, {{1000, 0, 1.0}, {500, -1, 1.0}, {1000, 1000, 1.0}}));
    insertEmptyEdit(edits, 9000, 500, 1000, 1000); // past the end: nothing
    EXPECT_EQ(edits.size(), 3u);
    const auto part = extractEdits(edits, 500, 2000, 1000, 1000);
    EXPECT_TRUE(sameEdits(part, {{500, 500, 1.0}, {500, -1, 1.0}, {1000, 1000, 1.0}}));
}

// The record must resolve from the movie's folder even after both files moved together, and
// by its absolute path when only the movie moved.
TEST(AliasRecord, ResolvesRelativeAfterAMoveAndAbsoluteOtherwise) {
    namespace fs = std::filesystem;
    test::TemporaryFolder folder;
    fs::create_directories(folder.file("a/movies"));
    fs::create_directories(folder.file("a/media/day 1"));
    std::ofstream(folder.file("a/media/day 1/clip.mov")) << "x";
    const auto record =
        makeAliasRecord(folder.file("a/movies/ref.mov"), folder.file("a/media/day 1/clip.mov"));
    ASSERT_GE(record.size(), 150u);
    EXPECT_EQ(resolveAliasRecord(record, folder.file("a/movies/ref.mov")),
              fs::path(folder.file("a/media/day 1/clip.mov")).lexically_normal().string());

    fs::rename(folder.file("a"), folder.file("b"));
    EXPECT_EQ(resolveAliasRecord(record, folder.file("b/movies/ref.mov")),
              fs::path(folder.file("b/media/day 1/clip.mov")).lexically_normal().string());

    EXPECT_TRUE(resolveAliasRecord({record.data(), 100}, folder.file("b/movies/ref.mov")).empty());
}

} // namespace
} // namespace toolbox
