// The output check: a movie counts only when a picture decodes from it. Files that look like
// movies but hold no picture, or whose samples are gone, must fail.
#include "toolbox/pictureCheck.h"

#include "mediaFixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace toolbox {
namespace {

namespace fs = std::filesystem;
using test::clips;

/// Where the top-level 'moov' atom of a QuickTime file ends; 0 when there is none.
std::uint64_t endOfMovieHeader(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::uint64_t offset = 0;
    unsigned char header[8];
    while (in.seekg(static_cast<std::streamoff>(offset)) &&
           in.read(reinterpret_cast<char *>(header), 8)) {
        const std::uint64_t size = (std::uint64_t(header[0]) << 24) |
                                   (std::uint64_t(header[1]) << 16) |
                                   (std::uint64_t(header[2]) << 8) | std::uint64_t(header[3]);
        if (size < 8)
            return 0;
        if (std::string(reinterpret_cast<char *>(header + 4), 4) == "moov")
            return offset + size;
        offset += size;
    }
    return 0;
}

TEST(PictureCheck, MoviesWithPicturesPassWhateverTheirContainer) {
    EXPECT_TRUE(decodeFirstPicture(clips().av()).ok());
    EXPECT_TRUE(decodeFirstPicture(clips().transport()).ok());
    // A name that libavformat would otherwise take for a protocol.
    test::TemporaryFolder folder;
    const auto odd = folder.file("concat:a.mov|b.mov");
    fs::copy_file(clips().av(), odd);
    EXPECT_TRUE(decodeFirstPicture(odd).ok()) << decodeFirstPicture(odd).message;
}

TEST(PictureCheck, FilesWithoutADecodablePictureFail) {
    test::TemporaryFolder folder;

    EXPECT_EQ(decodeFirstPicture(folder.file("missing.mov")).error, MovieError::FileNotFound);
    EXPECT_EQ(decodeFirstPicture("").error, MovieError::InvalidArgument);

    const auto text = folder.file("notes.mov");
    std::ofstream(text) << "not a movie at all\n";
    EXPECT_EQ(decodeFirstPicture(text).error, MovieError::NotAMovie);

    const auto sound = folder.file("sound.mov");
    ASSERT_TRUE(test::makeClip(sound, "-f lavfi -i sine=duration=1", "-c:a pcm_s16le"));
    const auto noVideo = decodeFirstPicture(sound);
    EXPECT_FALSE(noVideo.ok());
    EXPECT_NE(noVideo.message.find("no video"), std::string::npos) << noVideo.message;

    // Header first, then the samples cut away: the movie opens but nothing decodes.
    const auto cut = folder.file("cut.mov");
    ASSERT_TRUE(
        test::makeClip(cut, "-i " + test::quoted(clips().av()), "-c copy -movflags +faststart"));
    const auto headerEnd = endOfMovieHeader(cut);
    ASSERT_GT(headerEnd, 0u);
    ASSERT_LT(headerEnd + 16, test::fileSize(cut));
    fs::resize_file(cut, headerEnd + 16);
    const auto noSamples = decodeFirstPicture(cut);
    EXPECT_FALSE(noSamples.ok());
    EXPECT_EQ(noSamples.error, MovieError::ReadFailed) << noSamples.message;
}

} // namespace
} // namespace toolbox
