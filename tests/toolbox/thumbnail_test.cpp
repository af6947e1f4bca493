// Thumbnails made in process: the picture at the seek point (counted from the movie's start,
// not the key frame before it), at the size asked, as a JPEG other programs read; nothing
// written for a movie without pictures or a cancelled run.
#include "toolbox/thumbnail.h"

#include "mediaFixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace toolbox {
namespace {

namespace fs = std::filesystem;

/// The mean luma of a picture as the ffmpeg program reads it, -1 when it can't.
double meanLuma(const std::string &picture) {
    std::string out;
    if (!test::runCommand("ffmpeg -nostdin -v error -i " + test::quoted(picture) +
                              " -vf signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=- "
                              "-f null - 2>/dev/null",
                          &out))
        return -1;
    const auto at = out.find("YAVG=");
    return at == std::string::npos ? -1 : std::stod(out.substr(at + 5));
}

/// 2.5 s of black then 1.5 s of white, a key frame every 0.4 s, in a transport stream (whose
/// timestamps start at 1.4 s).
const std::string &blackThenWhite() {
    static const std::string path = [] {
        static test::TemporaryFolder folder;
        const std::string clip = folder.file("black then white.ts");
        test::makeClip(clip,
                       "-f lavfi -i \"color=c=black:s=320x180:r=25:d=2.5,format=yuv420p[a];"
                       "color=c=white:s=320x180:r=25:d=1.5,format=yuv420p[b];"
                       "[a][b]concat=n=2:v=1:a=0\"",
                       "-c:v libx264 -g 10 -bf 2 -f mpegts");
        return clip;
    }();
    return path;
}

TEST(Thumbnail, ThePictureAtTheSeekPointAtTheSizeAsked) {
    ASSERT_TRUE(fs::exists(blackThenWhite()));
    test::TemporaryFolder folder;
    ThumbnailRequest request{blackThenWhite(), 0, 160, 90, folder.file("start.jpg")};
    ASSERT_TRUE(writeThumbnail(request).ok()) << writeThumbnail(request).message;
    EXPECT_EQ(test::probe(request.picturePath, "v:0", "width"), "160");
    EXPECT_EQ(test::probe(request.picturePath, "v:0", "height"), "90");
    EXPECT_LT(meanLuma(request.picturePath), 20);

    // 2.6 s in: the key frame before it (2.4 s) is still black, the picture is white.
    request.seekSeconds = 2.6;
    request.width = 120;
    request.picturePath = folder.file("later.jpg");
    ASSERT_TRUE(writeThumbnail(request).ok());
    EXPECT_EQ(test::probe(request.picturePath, "v:0", "width"), "120");
    EXPECT_GT(meanLuma(request.picturePath), 235);

    // A duration that promised more than the movie holds: its first picture rather than none.
    request.seekSeconds = 10;
    request.picturePath = folder.file("beyond.jpg");
    const MovieStatus beyond = writeThumbnail(request);
    ASSERT_TRUE(beyond.ok()) << beyond.message;
    EXPECT_LT(meanLuma(request.picturePath), 20);

    // An existing picture of that name is replaced whole.
    request.seekSeconds = 3;
    const MovieStatus replaced = writeThumbnail(request);
    ASSERT_TRUE(replaced.ok()) << replaced.message;
    EXPECT_GT(meanLuma(request.picturePath), 235);
}

TEST(Thumbnail, NothingIsWrittenWithoutAPicture) {
    test::TemporaryFolder folder;
    const std::string picture = folder.file("picture.jpg");

    EXPECT_EQ(writeThumbnail({folder.file("missing.ts"), 0, 160, 90, picture}).error,
              MovieError::FileNotFound);
    const std::string text = folder.file("notes.ts");
    std::ofstream(text) << "not a movie at all\n";
    EXPECT_FALSE(writeThumbnail({text, 0, 160, 90, picture}).ok());
    const std::string sound = folder.file("sound.mov");
    ASSERT_TRUE(test::makeClip(sound, "-f lavfi -i sine=duration=1", "-c:a pcm_s16le"));
    const MovieStatus noVideo = writeThumbnail({sound, 0, 160, 90, picture});
    EXPECT_NE(noVideo.message.find("no video"), std::string::npos) << noVideo.message;
    EXPECT_FALSE(writeThumbnail({blackThenWhite(), 0, 160, 90, ""}).ok());

    // Cancelled while it decodes.
    int asked = 0;
    const MovieStatus cancelled =
        writeThumbnail({blackThenWhite(), 3, 160, 90, picture}, [&] { return ++asked > 3; });
    EXPECT_FALSE(cancelled.ok());
    EXPECT_GT(asked, 3);

    EXPECT_FALSE(fs::exists(picture));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator{}), 2)
        << "only the two inputs are left";
}

} // namespace
} // namespace toolbox
