// trakmill's self-contained and flattened movies read by two readers: FFmpeg and GStreamer's
// own QuickTime demuxer agree with each other and with the source on the frames presented,
// the duration and where the sound starts beside the picture.
#include "gstReading.h"
#include "testMedia.h"

#include "toolbox/exportSettings.h"
#include "toolbox/movie.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

using namespace testmedia;

namespace {

const std::string kTrakmill = FLUXARO_TOOLS_DIR "/trakmill";
constexpr double kSyncSeconds = 0.001;

std::string quoted(const std::string &path) {
    return "'" + path + "'";
}

long ffmpegFrames(const std::string &path) {
    const std::string text =
        shell("ffmpeg -nostdin -v error -i " + quoted(path) + " -map 0:v:0 -f framemd5 -");
    std::istringstream lines(text);
    long frames = 0;
    for (std::string line; std::getline(lines, line);)
        frames += !line.empty() && line[0] != '#';
    return frames;
}

double firstFrameSeconds(const std::string &path, const std::string &kind) {
    const std::string text = shell("ffprobe -v error -select_streams " + kind +
                                   ":0 -show_entries frame=pts_time -read_intervals %+#40 "
                                   "-of csv=p=0 " +
                                   quoted(path));
    std::istringstream lines(text);
    double first = NAN;
    for (std::string line; std::getline(lines, line);) {
        char *end = nullptr;
        const double t = std::strtod(line.c_str(), &end);
        if (end != line.c_str() && (std::isnan(first) || t < first))
            first = t;
    }
    return first;
}

// FFmpeg reads `frames` pictures over `seconds`, the sound `offset` after the picture; so does
// GStreamer, or, given its reading of the source, as it reads the source.
void expectReadersAgree(const std::string &path, long frames, double seconds, double offset,
                        const gstreading::MovieTiming *asSource = nullptr) {
    const gstreading::MovieTiming gst = gstreading::readMovie(path);
    ASSERT_TRUE(gst.ok) << path << ": " << gst.error;
    EXPECT_EQ(ffmpegFrames(path), frames) << path;
    const double frame = seconds / double(frames);
    EXPECT_NEAR(streamDuration(path, "v:0"), seconds, frame) << path;
    EXPECT_NEAR(firstFrameSeconds(path, "a") - firstFrameSeconds(path, "v"), offset, kSyncSeconds)
        << path;
    if (asSource != nullptr) {
        EXPECT_EQ(gst.video.buffers, asSource->video.buffers) << path;
        EXPECT_NEAR(gst.video.end, asSource->video.end, frame) << path;
        EXPECT_NEAR(gst.soundOffset(), asSource->soundOffset(), kSyncSeconds) << path;
        return;
    }
    EXPECT_EQ(gst.video.buffers, frames) << path;
    EXPECT_NEAR(gst.video.end - gst.video.start, seconds, frame) << path;
    EXPECT_NEAR(gst.soundOffset(), offset, kSyncSeconds) << path;
}

void writeProresSettings(const std::string &path) {
    toolbox::MovieExportSettings s;
    s.codecType = toolbox::fourCharCode("apch");
    s.soundFormat = toolbox::fourCharCode("twos");
    s.sampleRate = 48000;
    s.sampleBits = 16;
    const auto bytes = toolbox::movieExportSettingsToAtomContainer(s);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

} // namespace

// A movie whose sound starts 87 ms after its picture (an empty edit), and one cut in the
// middle (two edits on each track, the second starting half a second after a key frame): the
// self-contained copy and the ProRes export present them as the source does.
TEST(trakmillReaders, selfContainedAndExportedMoviesReadAlike) {
    TempDir dir;
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc2=size=320x180:rate=50:duration=2 -itsoffset 0.087 "
                       "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=1.5 "
                       "-c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p -c:a pcm_s16le",
                       dir / "late.mov"));
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc2=size=320x180:rate=50:duration=2 "
                       "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 "
                       "-c:v libx264 -preset veryfast -g 50 -pix_fmt yuv420p -c:a aac",
                       dir / "whole.mov"));
    auto movie = toolbox::Movie::open(dir / "whole.mov");
    ASSERT_TRUE(movie);
    ASSERT_TRUE(movie->deleteSegment(1200, 300, 1000));
    ASSERT_TRUE(movie->writeSelfContained(dir / "cut.mov"));
    writeProresSettings(dir / "apch.settings");

    // GStreamer 1.22's qtdemux ends a track with several edits early (at the first key frame
    // where its movie time plus the edit's media start passes the movie's duration): a copy
    // that keeps the edits is read by it as it reads the source.
    const struct {
        const char *name;
        long frames;
        double seconds;
        double offset;
        bool edited;
    } sources[] = {{"late.mov", 100, 2.0, 0.087, false}, {"cut.mov", 85, 1.7, 0.0, true}};
    for (const auto &source : sources) {
        SCOPED_TRACE(source.name);
        const std::string src = dir / source.name;
        const gstreading::MovieTiming gstSource = gstreading::readMovie(src);
        expectReadersAgree(src, source.frames, source.seconds, source.offset,
                           source.edited ? &gstSource : nullptr);
        const std::string copy = dir / (std::string("copy-") + source.name);
        RunResult r = run(kTrakmill, {"-i", src, "-y", "-o", copy});
        ASSERT_EQ(r.status, 0) << r.err;
        expectReadersAgree(copy, source.frames, source.seconds, source.offset,
                           source.edited ? &gstSource : nullptr);
        const std::string exported = dir / (std::string("prores-") + source.name);
        r = run(kTrakmill, {"-s", dir / "apch.settings", "-i", src, "-y", "-o", exported});
        if (r.err.find("No compressor") != std::string::npos)
            continue; // no ProRes encoder in this FFmpeg
        ASSERT_EQ(r.status, 0) << r.err;
        expectReadersAgree(exported, source.frames, source.seconds, source.offset);
    }
}
