// Re-encoding export of movies: what lands in the file, how edits and settings shape it, and
// that a failed export leaves nothing behind.
#include "testMedia.h"
#include "toolbox/movieExport.h"
#include "toolbox/movieExporter.h"
#include "toolbox/movieFacts.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <utility>

using namespace toolbox;
using namespace testmedia;

namespace {

class MovieExport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        av_log_set_level(AV_LOG_ERROR);
        media = new TempDir;
        // 4:3 picture at 50 frames per second with stereo sound, 2 s.
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=320x240:rate=50:duration=2 "
                           "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 "
                           "-c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p "
                           "-c:a pcm_s16le -ac 2",
                           *media / "av50.mov"));
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mjpeg",
                           *media / "silent.mov"));
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }
    static std::unique_ptr<Movie> open(const char *name) {
        MovieStatus status;
        auto movie = Movie::open(*media / name, &status);
        EXPECT_TRUE(movie) << status.message;
        return movie;
    }
    static MovieExportSettings prores(const char *type) {
        MovieExportSettings s;
        s.codecType = fourCharCode(type);
        return s;
    }
    std::size_t filesInWork() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(work.path()), {}));
    }

    static TempDir *media;
    TempDir work;
};

TempDir *MovieExport::media = nullptr;

} // namespace

TEST_F(MovieExport, ProResProfileRateChangeAndProgress) {
    auto movie = open("av50.mov");
    ASSERT_TRUE(movie);
    MovieExportSettings s = prores("apcs");
    s.frameRate = frameRateToFixed(25);
    std::vector<std::int32_t> fractions;
    const std::string out = work / "lt25.mov";
    const MovieStatus status =
        exportMovieAsQuickTime(*movie, out, s, [&](std::int32_t f) { fractions.push_back(f); });
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(probe(out, "v:0", "stream=codec_tag_string,width,height,r_frame_rate"),
              "codec_tag_string=apcs|width=320|height=240|r_frame_rate=25/1");
    // Half the frames, the same length; the sound resampled to 48 kHz.
    EXPECT_EQ(countFrames(out, "v:0"), 50);
    EXPECT_EQ(probe(out, "a:0", "stream=codec_tag_string,sample_rate"),
              "codec_tag_string=twos|sample_rate=48000");
    EXPECT_NEAR(streamDuration(out, "a:0"), 2.0, 0.03);
    // Progress: starts at 0, never goes back, ends with exactly 1.0.
    ASSERT_GE(fractions.size(), 2u);
    EXPECT_EQ(fractions.front(), 0);
    EXPECT_EQ(fractions.back(), kFixedOne);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_EQ(std::count(fractions.begin(), fractions.end(), kFixedOne), 1);
}

TEST_F(MovieExport, FrameSizeScaledOrLetterboxed) {
    auto movie = open("av50.mov");
    ASSERT_TRUE(movie);
    MovieExportSettings s = prores("apco");
    s.width = 1280;
    s.height = 720;
    s.soundEnabled = false;
    s.frameRate = frameRateToFixed(5); // ten pictures are enough to look at
    // Scaled: the pixel aspect ratio keeps the 4:3 picture's shape.
    ASSERT_TRUE(exportMovieAsQuickTime(*movie, work / "scaled.mov", s));
    EXPECT_EQ(probe(work / "scaled.mov", "v:0", "stream=width,height,sample_aspect_ratio"),
              "width=1280|height=720|sample_aspect_ratio=3:4");
    EXPECT_EQ(probe(work / "scaled.mov", "a", "stream=index"), "");
    // Letterbox: square pixels, the picture 960 wide in the middle, black bars at the sides.
    s.fit = FrameFit::Letterbox;
    ASSERT_TRUE(exportMovieAsQuickTime(*movie, work / "box.mov", s));
    EXPECT_EQ(probe(work / "box.mov", "v:0", "stream=width,height"), "width=1280|height=720");
    ASSERT_TRUE(ffmpeg("-i '" + work / "box.mov" + "' -frames:v 1 -f rawvideo -pix_fmt gray",
                       work / "frame.gray"));
    std::FILE *f = std::fopen((work / "frame.gray").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<unsigned char> gray(1280 * 720);
    ASSERT_EQ(std::fread(gray.data(), 1, gray.size(), f), gray.size());
    std::fclose(f);
    int barMax = 0, pictureMax = 0;
    for (int y = 0; y < 720; ++y) {
        barMax = std::max({barMax, int(gray[y * 1280 + 40]), int(gray[y * 1280 + 1240])});
        pictureMax = std::max(pictureMax, int(gray[y * 1280 + 400]));
    }
    EXPECT_LE(barMax, 20);
    EXPECT_GE(pictureMax, 100);
}

// A stream whose picture size changes midway (two recordings of different sizes joined byte
// for byte, as a card's pieces or a broadcast can be): every picture of both parts comes out,
// at the export's size, as ProRes that decodes. Without a size in the settings, the first
// part's size is the movie's and the second part is scaled to it.
TEST_F(MovieExport, PictureSizeChangingMidStreamKeepsEveryFrame) {
    const std::string small = work / "small.ts";
    const std::string large = work / "large.ts";
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=320x180:rate=25:duration=1 "
                       "-c:v libx264 -preset ultrafast -g 5 -pix_fmt yuv420p",
                       small));
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=640x360:rate=25:duration=1 "
                       "-c:v libx264 -preset ultrafast -g 5 -pix_fmt yuv420p",
                       large));
    const std::string joined = work / "joined.ts";
    {
        std::ofstream out(joined, std::ios::binary);
        for (const std::string &part : {small, large}) {
            std::ifstream in(part, std::ios::binary);
            out << in.rdbuf();
        }
    }
    const std::string master = work / "joined.mov";
    ASSERT_TRUE(ffmpeg("-i '" + joined + "' -c:v copy -vtag avc1", master));
    ASSERT_EQ(countFrames(master, "v:0"), 50);

    MovieStatus status;
    auto movie = Movie::open(master, &status);
    ASSERT_TRUE(movie) << status.message;
    for (const std::uint32_t width : {0u, 1280u}) {
        SCOPED_TRACE(width);
        MovieExportSettings s = prores("apch");
        s.width = width;
        s.height = width * 9 / 16;
        const std::string out = work / ("out" + std::to_string(width) + ".mov");
        status = exportMovieAsQuickTime(*movie, out, s);
        ASSERT_TRUE(status) << status.message;
        EXPECT_EQ(probe(out, "v:0", "stream=codec_name,width,height"),
                  width == 0 ? "codec_name=prores|width=320|height=180"
                             : "codec_name=prores|width=1280|height=720");
        EXPECT_EQ(countFrames(out, "v:0"), 50);
        // Every picture decodes, all at the one size.
        std::istringstream frames(probe(out, "v:0", "frame=width"));
        std::string line;
        int decoded = 0;
        while (std::getline(frames, line)) {
            EXPECT_EQ(line, std::string("width=") + (width == 0 ? "320" : "1280"));
            ++decoded;
        }
        EXPECT_EQ(decoded, 50);
    }
}

TEST_F(MovieExport, EditsAreHonoured) {
    auto movie = open("av50.mov");
    ASSERT_TRUE(movie);
    // The first 0.48 s go: 76 of the 100 frames remain, and as much sound.
    ASSERT_TRUE(movie->deleteSegment(0, 480, 1000));
    MovieExportSettings s = prores("apch");
    ASSERT_TRUE(exportMovieAsQuickTime(*movie, work / "cut.mov", s));
    EXPECT_EQ(countFrames(work / "cut.mov", "v:0"), 76);
    EXPECT_NEAR(streamDuration(work / "cut.mov", "v:0"), 1.52, 0.021);
    EXPECT_NEAR(streamDuration(work / "cut.mov", "a:0"), 1.52, 0.03);
}

TEST_F(MovieExport, TransportStreamClockIsNotMovieTime) {
    // MPEG-TS timestamps start near 1.4 s; the export starts at movie time 0 anyway, keeps the
    // length, and keeps picture and sound where they are beside each other (the second clip's
    // picture starts 0.48 s after its sound, as camcorder clips can).
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
                       "-f lavfi -i sine=sample_rate=48000:duration=2 "
                       "-c:v libx264 -preset ultrafast -c:a ac3",
                       work / "src.ts"));
    ASSERT_TRUE(ffmpeg("-itsoffset 0.48 -f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
                       "-f lavfi -i sine=sample_rate=48000:duration=2 "
                       "-c:v libx264 -preset ultrafast -c:a ac3",
                       work / "late.ts"));
    const auto startOf = [](const std::string &path, const char *stream) {
        return std::stod(probe(path, stream, "stream=start_time").substr(11));
    };
    for (const auto &[source, videoStart] : {std::pair{"src.ts", 0.0}, {"late.ts", 0.48}}) {
        SCOPED_TRACE(source);
        MovieStatus status;
        auto movie = Movie::open(work / source, &status);
        ASSERT_TRUE(movie) << status.message;
        const std::string out = work / (std::string(source) + ".mov");
        status = exportMovieAsQuickTime(*movie, out, prores("apco"));
        ASSERT_TRUE(status) << status.message;
        EXPECT_EQ(countFrames(out, "v:0"), 50);
        EXPECT_NEAR(streamDuration(out, "v:0"), 2.0, 0.041);
        EXPECT_NEAR(streamDuration(out, "a:0"), 2.0, 0.05);
        EXPECT_NEAR(startOf(out, "a:0"), 0.0, 0.001);
        EXPECT_NEAR(startOf(out, "v:0"), videoStart, 0.04); // within one frame
    }
}

TEST_F(MovieExport, CutEndOfATransportStreamIsLeftOut) {
    // Only the end cut: the edit still starts the stream at its beginning, but the sound must
    // stop where the movie does, as the picture does.
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
                       "-f lavfi -i sine=sample_rate=48000:duration=2 "
                       "-c:v libx264 -preset ultrafast -c:a mp2",
                       work / "src.ts"));
    MovieStatus status;
    auto movie = Movie::open(work / "src.ts", &status);
    ASSERT_TRUE(movie) << status.message;
    ASSERT_TRUE(movie->setTimeScale(1000));
    ASSERT_TRUE(movie->deleteSegment(1000, movie->duration() - 1000, 1000));
    status = exportMovieAsQuickTime(*movie, work / "cut.mov", prores("apco"));
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(countFrames(work / "cut.mov", "v:0"), 25);
    EXPECT_NEAR(streamDuration(work / "cut.mov", "a:0"), 1.0, 0.03);
}

TEST_F(MovieExport, WaveHoldsTheSoundAndNeedsSome) {
    auto movie = open("av50.mov");
    ASSERT_TRUE(movie);
    ASSERT_TRUE(exportMovieAsWave(*movie, work / "sound.wav"));
    EXPECT_EQ(probe(work / "sound.wav", "a:0", "stream=codec_name,sample_rate,channels"),
              "codec_name=pcm_s16le|sample_rate=44100|channels=2");
    EXPECT_NEAR(streamDuration(work / "sound.wav", "a:0"), 2.0, 0.03);

    auto silent = open("silent.mov");
    ASSERT_TRUE(silent);
    const MovieStatus status = exportMovieAsWave(*silent, work / "none.wav");
    EXPECT_EQ(status.error, MovieError::NoTracks);
    EXPECT_EQ(filesInWork(), 1u); // sound.wav only
}

TEST_F(MovieExport, FailuresLeaveNoFile) {
    auto movie = open("av50.mov");
    ASSERT_TRUE(movie);
    MovieStatus status = exportMovieAsQuickTime(*movie, work / "missing/out.mov", prores("apch"));
    EXPECT_EQ(status.error, MovieError::WriteFailed);
    // No encoder for the Apple Intermediate Codec.
    status = exportMovieAsQuickTime(*movie, work / "aic.mov", prores("icod"));
    EXPECT_FALSE(status);
    // A movie whose tracks were all removed.
    auto empty = open("silent.mov");
    ASSERT_TRUE(empty->removeTrack(0));
    status = exportMovieAsQuickTime(*empty, work / "empty.mov", prores("apch"));
    EXPECT_EQ(status.error, MovieError::NoTracks);
    EXPECT_EQ(filesInWork(), 0u);
}

// Every other millisecond cut out: thousands of edits into one group of pictures ask a
// decoder to go through its head again for each, which no export finishes; the same cuts of a
// movie of key pictures only cost what they show, and it exports.
TEST_F(MovieExport, EditsAskingForEndlessDecodingAreRefused) {
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=8 "
                       "-c:v libx264 -preset ultrafast -g 250",
                       work / "oneGroup.mov"));
    const auto cutEveryOtherMillisecond = [](Movie &movie, std::int64_t milliseconds) {
        for (std::int64_t t = milliseconds - 2; t >= 0; t -= 2)
            ASSERT_TRUE(movie.deleteSegment(t, 1, 1000));
    };
    MovieStatus status;
    auto group = Movie::open(work / "oneGroup.mov", &status);
    ASSERT_TRUE(group) << status.message;
    cutEveryOtherMillisecond(*group, 8000);
    EditDecodeWork work_;
    ASSERT_TRUE(editDecodeWork(group->track(0), group->timeScale(), work_));
    EXPECT_EQ(work_.samples, 200);
    EXPECT_EQ(work_.shown, 4000);
    EXPECT_GT(work_.decoded, 300000);
    EXPECT_TRUE(work_.excessive());
    status = exportMovieAsQuickTime(*group, work / "out.mov", prores("apco"));
    EXPECT_EQ(status.error, MovieError::Unsupported);
    EXPECT_NE(status.message.find("too many edits"), std::string::npos) << status.message;
    EXPECT_FALSE(std::filesystem::exists(work / "out.mov"));

    auto intra = open("silent.mov");
    ASSERT_TRUE(intra);
    cutEveryOtherMillisecond(*intra, 1000);
    ASSERT_TRUE(editDecodeWork(intra->track(0), intra->timeScale(), work_));
    EXPECT_EQ(work_.decoded, work_.shown);
    EXPECT_FALSE(work_.excessive());
    status = exportMovieAsQuickTime(*intra, work / "intra.mov", prores("apco"));
    EXPECT_TRUE(status) << status.message;
}

TEST(MovieExporter, OpensExportersOnlyAndGuardsItsSettings) {
    EXPECT_FALSE(MovieExporter::open(nullptr));
    EXPECT_FALSE(MovieExporter::open(findImageCompressor(fourCharCode("apch"))));
    const Component *moov =
        findNextComponent(nullptr, {kMovieExportType, fourCharCode("MooV"), 0, 0, 0});
    auto exporter = MovieExporter::open(moov);
    ASSERT_TRUE(exporter);

    MovieExportSettings s;
    s.codecType = fourCharCode("apcn");
    s.width = 1920;
    s.height = 1080;
    s.frameRate = frameRateToFixed(50);
    ASSERT_TRUE(exporter->setSettingsFromAtomContainer(movieExportSettingsToAtomContainer(s)));
    EXPECT_EQ(exporter->settings(), s);
    EXPECT_EQ(exporter->getSettingsAsAtomContainer(), movieExportSettingsToAtomContainer(s));
    // Refused settings leave the current ones in place.
    const std::vector<std::uint8_t> garbage{1, 2, 3, 4, 5};
    std::string why;
    EXPECT_FALSE(exporter->setSettingsFromAtomContainer(garbage, &why));
    EXPECT_FALSE(why.empty());
    MovieExportSettings pcm8 = s;
    pcm8.soundFormat = fourCharCode("twos");
    pcm8.sampleBits = 12;
    EXPECT_FALSE(exporter->setSettingsFromAtomContainer(movieExportSettingsToAtomContainer(pcm8)));
    EXPECT_EQ(exporter->settings(), s);
}

// A re-timed reference movie whose sound rate is no whole number of samples per second (a
// stretch of slightly more than four times) still exports its sound: no track is dropped.
TEST_F(MovieExport, SoundOfAnInexactlyRetimedReferenceMovieIsKept) {
    auto movie = open("av50.mov");
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->setTimeScale(10000));
    ASSERT_TRUE(movie->deleteSegment(0, 50, 10000).ok());
    const std::string trimmed = work / "trimmed.mov";
    ASSERT_TRUE(movie->writeReference(trimmed));
    MovieStatus status;
    auto slow = Movie::open(trimmed, &status);
    ASSERT_TRUE(slow) << status.message;
    ASSERT_TRUE(slow->setTimeScale(10000));
    const auto duration = slow->duration();
    ASSERT_TRUE(slow->setTimeScale(2500));
    ASSERT_TRUE(slow->scaleSegment(0, duration, duration * 4 + 3, 10000).ok());
    const std::string retimed = work / "retimed.mov";
    ASSERT_TRUE(slow->writeReference(retimed));
    auto again = Movie::open(retimed, &status);
    ASSERT_TRUE(again) << status.message;
    const std::string out = work / "slow.mov";
    status = exportMovieAsQuickTime(*again, out, prores("apch"));
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(probe(out, "a:0", "stream=sample_rate"), "sample_rate=48000");
    EXPECT_NEAR(streamDuration(out, "a:0"), streamDuration(out, "v:0"), 0.1);
}

namespace {

// Overwrites the samples of the packets of a stream with noise, all but one packet in
// `keepEvery` (0: every packet), as a damaged recording or a sound description that does not
// match its samples looks to a decoder. The file keeps its size and its sample tables.
void damagePackets(const std::string &path, const std::string &stream, int keepEvery) {
    std::istringstream lines(probe(path, stream, "packet=pos,size"));
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(file);
    std::mt19937 noise(7);
    int index = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty())
            continue;
        const auto value = [&](const char *key) {
            const auto at = line.find(key);
            return at == std::string::npos ? -1 : std::atoll(line.c_str() + at + std::strlen(key));
        };
        const long long pos = value("pos="), size = value("size=");
        ASSERT_TRUE(pos >= 0 && size > 0) << line;
        if (keepEvery > 0 && index++ % keepEvery == 0)
            continue;
        index += keepEvery > 0 ? 0 : 1;
        file.seekp(pos);
        for (long long i = 0; i < size; ++i)
            file.put(static_cast<char>(noise()));
    }
    ASSERT_GT(index, 10);
}

} // namespace

// A sound track that decodes to nothing, or mostly to nothing, fails the export (naming the
// track) instead of giving a movie without its sound; a single damaged packet does not. A
// picture track without a single picture fails it too.
TEST_F(MovieExport, LostSoundOrPictureFailsTheExport) {
    const std::string source = work / "source.mov";
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
                       "-f lavfi -i sine=sample_rate=48000:duration=2 -c:v mjpeg -c:a aac",
                       source));
    struct Case {
        const char *name;
        int keepEvery;   // -1: one packet damaged
        const char *why; // in the failure's message; null: the export succeeds
    };
    for (const Case c :
         {Case{"all", 0, "no sound could be decoded"},
          Case{"most", 4, "most of its sound could not be decoded"}, Case{"one", -1, nullptr}}) {
        SCOPED_TRACE(c.name);
        const std::string damaged = work / (std::string(c.name) + ".mov");
        std::filesystem::copy_file(source, damaged);
        if (c.keepEvery >= 0) {
            damagePackets(damaged, "a:0", c.keepEvery);
        } else {
            // The fifth packet only: noise over its first bytes.
            std::istringstream lines(probe(damaged, "a:0", "packet=pos"));
            std::string line;
            for (int i = 0; i < 5;)
                if (std::getline(lines, line) && !line.empty())
                    ++i;
            std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(std::stoll(line.substr(4)));
            file << "garbage, no sound in here";
        }
        MovieStatus status;
        auto movie = Movie::open(damaged, &status);
        ASSERT_TRUE(movie) << status.message;
        const std::string out = work / (std::string(c.name) + "-out.mov");
        status = exportMovieAsQuickTime(*movie, out, prores("apco"));
        const MovieStatus wave = exportMovieAsWave(*movie, work / (std::string(c.name) + ".wav"));
        if (!c.why) {
            EXPECT_TRUE(status) << status.message;
            EXPECT_NEAR(streamDuration(out, "a:0"), 2.0, 0.05);
            EXPECT_TRUE(wave) << wave.message;
            continue;
        }
        EXPECT_EQ(status.error, MovieError::ReadFailed);
        EXPECT_NE(status.message.find("Sound track 2 ("), std::string::npos) << status.message;
        EXPECT_NE(status.message.find(c.why), std::string::npos) << status.message;
        EXPECT_EQ(wave.error, MovieError::ReadFailed);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // Only the sources and the single good export and sound file: nothing half-written.
    EXPECT_EQ(filesInWork(), 6u);

    // The same for a picture track that gives not one picture: the sound alone is no export.
    const std::string noPicture = work / "no picture.mov";
    std::filesystem::copy_file(source, noPicture);
    damagePackets(noPicture, "v:0", 0);
    MovieStatus status;
    auto movie = Movie::open(noPicture, &status);
    ASSERT_TRUE(movie) << status.message;
    status = exportMovieAsQuickTime(*movie, work / "no picture out.mov", prores("apco"));
    EXPECT_EQ(status.error, MovieError::ReadFailed);
    EXPECT_NE(status.message.find("Video track 1 ("), std::string::npos) << status.message;
    EXPECT_EQ(filesInWork(), 7u);
}

// A recording dated after 2040-02-06: libavformat writes 32-bit header times, which would cut
// 2069 to 1933 or so; the export's header keeps the whole date.
TEST_F(MovieExport, DateAfter2040KeepsItsCentury) {
    const auto source = work / "moon.mov";
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mjpeg "
                       "-metadata creation_time=2069-07-20T20:17:40Z -metadata "
                       "com.apple.quicktime.creationdate=2069-07-20T22:17:40+02:00 "
                       "-movflags +use_metadata_tags -timecode 14:30:05:00",
                       source));
    MovieStatus status;
    auto movie = Movie::open(source, &status);
    ASSERT_TRUE(movie) << status.message;
    ASSERT_TRUE(exportMovieAsQuickTime(*movie, work / "out.mov", prores("apco")));
    EXPECT_EQ(probe(work / "out.mov", "d:0", "stream=codec_tag_string:stream_tags=timecode"),
              "codec_tag_string=tmcd|tag:timecode=14:30:05:00");
    for (const char *type : {"mvhd", "tkhd", "mdhd"})
        EXPECT_EQ(headerTime(work / "out.mov", type), std::make_pair(1, std::uint64_t{5224421860}))
            << type;
    EXPECT_EQ(countFrames(work / "out.mov", "v:0"), 25);
}

// Settings of a whole 24 (or 30, 60) for a movie at the NTSC rate keep the movie's rate: at 24
// one picture in a thousand would be repeated and the movie a thousandth shorter than its sound.
TEST_F(MovieExport, WholeRateOfTheSettingsKeepsTheSourcesNtscRate) {
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=24000/1001:duration=5 -c:v mjpeg",
                       work / "ntsc.mov"));
    MovieStatus status;
    auto movie = Movie::open(work / "ntsc.mov", &status);
    ASSERT_TRUE(movie) << status.message;
    MovieExportSettings s = prores("apco");
    s.soundEnabled = false;
    s.frameRate = frameRateToFixed(24);
    const std::string out = work / "pr24.mov";
    status = exportMovieAsQuickTime(*movie, out, s);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(probe(out, "v:0", "stream=r_frame_rate"), "r_frame_rate=24000/1001");
    EXPECT_EQ(countFrames(out, "v:0"), countFrames(work / "ntsc.mov", "v:0"));
    EXPECT_NEAR(streamDuration(out, "v:0"), streamDuration(work / "ntsc.mov", "v:0"), 0.002);

    // A rate that is no NTSC neighbour of the settings' is converted as before.
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v mjpeg", work / "pal.mov"));
    auto pal = Movie::open(work / "pal.mov", &status);
    ASSERT_TRUE(pal) << status.message;
    status = exportMovieAsQuickTime(*pal, work / "pal24.mov", s);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(probe(work / "pal24.mov", "v:0", "stream=r_frame_rate"), "r_frame_rate=24/1");
}

namespace {

/// The decoded pictures of a movie's first video stream, 64x36 in grey, through the ffmpeg
/// program.
std::vector<std::string> greyPictures(const std::string &path, const std::string &raw) {
    int status = 0;
    shell("/usr/bin/ffmpeg -v error -y -i '" + path + "' -map 0:v:0 -vf scale=64:36 " +
              "-pix_fmt gray -f rawvideo '" + raw + "'",
          &status);
    std::ifstream in(raw, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::vector<std::string> pictures;
    for (std::size_t at = 0; status == 0 && at + 64 * 36 <= bytes.size(); at += 64 * 36)
        pictures.push_back(bytes.substr(at, 64 * 36));
    return pictures;
}

/// For each picture of `out`, the index of the nearest picture of `source`.
std::vector<std::size_t> nearestPictures(const std::vector<std::string> &out,
                                         const std::vector<std::string> &source) {
    std::vector<std::size_t> nearest;
    for (const std::string &picture : out) {
        std::size_t best = 0;
        long bestDistance = -1;
        for (std::size_t j = 0; j < source.size(); ++j) {
            long distance = 0;
            for (std::size_t k = 0; k < picture.size(); ++k)
                distance += std::abs(int(static_cast<unsigned char>(picture[k])) -
                                     int(static_cast<unsigned char>(source[j][k])));
            if (bestDistance < 0 || distance < bestDistance)
                best = j, bestDistance = distance;
        }
        nearest.push_back(best);
    }
    return nearest;
}

} // namespace

// A camcorder's 59.94 recording rewrapped from its transport stream (B pictures, its sound
// first, its pictures on the 90 kHz clock, 1501.5 ticks apart): exported at a whole 60 it keeps
// 60000/1001 and every picture; at half rate (30) it is 30000/1001 and takes pictures 0, 2, 4...
// exactly, where a 30/1 grid drifted from the sound and rounding took the odd ones.
TEST_F(MovieExport, NtscCameraRateKeptWholeAndHalved) {
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc2=size=320x180:rate=60000/1001 -f lavfi "
                       "-i sine=sample_rate=48000 -t 3.1 -c:v libx264 -preset ultrafast -bf 2 "
                       "-g 30 -c:a ac3 -f mpegts",
                       work / "camera.mts"));
    ASSERT_TRUE(ffmpeg("-i '" + (work / "camera.mts") + "' -c copy", work / "camera.mov"));
    MovieStatus status;
    auto movie = Movie::open(work / "camera.mov", &status);
    ASSERT_TRUE(movie) << status.message;
    const std::vector<std::string> source = greyPictures(work / "camera.mov", work / "camera.grey");
    ASSERT_EQ(source.size(), 186u);

    MovieExportSettings s = prores("apco");
    s.frameRate = frameRateToFixed(60);
    status = exportMovieAsQuickTime(*movie, work / "pr60.mov", s);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(probe(work / "pr60.mov", "v:0", "stream=r_frame_rate"), "r_frame_rate=60000/1001");
    EXPECT_EQ(countFrames(work / "pr60.mov", "v:0"), 186);

    s.frameRate = frameRateToFixed(30);
    status = exportMovieAsQuickTime(*movie, work / "pr30.mov", s);
    ASSERT_TRUE(status) << status.message;
    EXPECT_EQ(probe(work / "pr30.mov", "v:0", "stream=r_frame_rate"), "r_frame_rate=30000/1001");
    const std::vector<std::size_t> taken =
        nearestPictures(greyPictures(work / "pr30.mov", work / "pr30.grey"), source);
    ASSERT_EQ(taken.size(), 93u);
    for (std::size_t i = 0; i < taken.size(); ++i)
        ASSERT_EQ(taken[i], 2 * i) << "picture " << i;
    EXPECT_NEAR(streamDuration(work / "pr30.mov", "v:0"), streamDuration(work / "pr30.mov", "a:0"),
                0.034);
}

// A phone's portrait clip is landscape pictures with a quarter turn in the track matrix: the
// export keeps the turn (and a half turn, three quarters, a mirror), its translation made for
// the exported size, as FFmpeg's reader and the toolbox's read it; an upright clip gets none.
TEST_F(MovieExport, TurnedPicturesStayTurned) {
    const struct {
        const char *name;
        MovieMatrix matrix;
        const char *ffprobeRotation;
        std::int32_t rotation; // clockwise
    } cases[] = {
        {"a quarter turn", {0, -0x10000, 0, 0x10000, 0, 0, 0, 320 << 16, 0x40000000}, "90", 90},
        {"a half turn",
         {-0x10000, 0, 0, 0, -0x10000, 0, 320 << 16, 240 << 16, 0x40000000},
         "-180",
         180},
        {"three quarters", {0, 0x10000, 0, -0x10000, 0, 0, 240 << 16, 0, 0x40000000}, "-90", 270},
        {"upright", identityMatrix(), "", 0},
    };
    for (const auto &c : cases) {
        auto movie = open("av50.mov");
        ASSERT_TRUE(movie);
        movie->track(0).setMatrix(c.matrix);
        MovieExportSettings s = prores("apco");
        s.width = 640;
        s.height = 480;
        s.soundEnabled = false;
        s.frameRate = frameRateToFixed(5);
        const std::string out = work / (std::string(c.name) + ".mov");
        const MovieStatus status = exportMovieAsQuickTime(*movie, out, s);
        ASSERT_TRUE(status) << c.name << ": " << status.message;
        EXPECT_EQ(probe(out, "v:0", "stream_side_data=rotation"),
                  *c.ffprobeRotation ? std::string("rotation=") + c.ffprobeRotation : "")
            << c.name;
        MovieFacts facts;
        ASSERT_TRUE(readMovieFacts(out, facts)) << c.name;
        ASSERT_TRUE(facts.picture) << c.name;
        EXPECT_EQ(facts.picture->rotation, c.rotation) << c.name;
        EXPECT_TRUE(facts.picture->matrixIsRotation) << c.name;
        EXPECT_EQ(facts.picture->width, 640) << c.name;
        auto written = Movie::open(out);
        ASSERT_TRUE(written) << c.name;
        // The turned picture begins at the origin: at most the exported size moves it there.
        const MovieMatrix &m = written->track(0).matrix();
        EXPECT_TRUE((m[6] == 0 || m[6] == 640 << 16 || m[6] == 480 << 16) &&
                    (m[7] == 0 || m[7] == 640 << 16 || m[7] == 480 << 16))
            << c.name << ": " << m[6] << " " << m[7];
    }
}

// ProRes readers take a frame's colour description from its own header: a 10-bit HLG clip's
// pictures say BT.2020 and HLG there too, not "unspecified", and stay 10-bit. ProRes holds video
// levels: a full-range phone clip's white comes out as video white (940 of 1023), said so.
TEST_F(MovieExport, ColourDescribedInEveryPicture) {
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc2=size=320x180:rate=25 -t 0.4 -c:v libx265 "
                       "-pix_fmt yuv420p10le -color_primaries bt2020 -color_trc arib-std-b67 "
                       "-colorspace bt2020nc -x265-params log-level=error",
                       work / "hlg.mov"));
    ASSERT_TRUE(ffmpeg("-f lavfi -i color=white:size=320x180:rate=25,format=yuvj420p -t 0.4 "
                       "-c:v libx264 -preset ultrafast -color_range pc",
                       work / "full.mov"));
    MovieExportSettings s = prores("apcn");
    s.soundEnabled = false;
    MovieStatus status;
    auto hlg = Movie::open(work / "hlg.mov", &status);
    ASSERT_TRUE(hlg) << status.message;
    ASSERT_TRUE(exportMovieAsQuickTime(*hlg, work / "hlg pr.mov", s));
    const std::string firstFrame =
        shell("ffprobe -v error -read_intervals %+#1 -select_streams v:0 -show_entries "
              "frame=color_primaries,color_transfer,color_space -of compact=p=0 '" +
              (work / "hlg pr.mov") + "'");
    EXPECT_EQ(firstFrame.substr(0, firstFrame.find('\n')),
              "color_space=bt2020nc|color_primaries=bt2020|color_transfer=arib-std-b67");
    EXPECT_EQ(probe(work / "hlg pr.mov", "v:0", "stream=pix_fmt"), "pix_fmt=yuv422p10le");

    auto full = Movie::open(work / "full.mov", &status);
    ASSERT_TRUE(full) << status.message;
    ASSERT_TRUE(exportMovieAsQuickTime(*full, work / "full pr.mov", s));
    EXPECT_EQ(probe(work / "full pr.mov", "v:0", "stream=color_range"), "color_range=tv");
    const std::string white =
        shell("ffmpeg -v error -i '" + (work / "full pr.mov") +
              "' -vf signalstats,metadata=print:key=lavfi.signalstats.YMAX:file=- -frames:v 1 "
              "-f null - 2>&1");
    EXPECT_NE(white.find("YMAX=940"), std::string::npos) << white;
}

// A phone's keys of its make, model and place go with the export, as they do with the rewrap,
// and so does the source's timecode, as a timecode track of the export's own.
TEST_F(MovieExport, CameraAndPlaceKeysAreKept) {
    const auto source = work / "phone.mov";
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=0.4 -c:v mjpeg "
                       "-metadata com.apple.quicktime.make=Apple "
                       "-metadata com.apple.quicktime.model=iPhone "
                       "-metadata com.apple.quicktime.location.ISO6709=+48.8577+002.2950+035.000/ "
                       "-movflags +use_metadata_tags -timecode 14:30:05:00",
                       source));
    MovieStatus status;
    auto movie = Movie::open(source, &status);
    ASSERT_TRUE(movie) << status.message;
    ASSERT_TRUE(exportMovieAsQuickTime(*movie, work / "out.mov", prores("apco")));
    EXPECT_EQ(probe(work / "out.mov", "d:0", "stream=codec_tag_string:stream_tags=timecode"),
              "codec_tag_string=tmcd|tag:timecode=14:30:05:00");
    const std::string tags = shell("ffprobe -v error -show_entries format_tags -of compact=p=0 '" +
                                   (work / "out.mov") + "'");
    for (const char *tag : {"com.apple.quicktime.make=Apple", "com.apple.quicktime.model=iPhone",
                            "com.apple.quicktime.location.ISO6709=+48.8577+002.2950+035.000/"})
        EXPECT_NE(tags.find(tag), std::string::npos) << tag << " in " << tags;
}
