// A QuickTime movie as GStreamer presents it: qtdemux (gstreamer1.0-plugins-good) parses the
// file independently of FFmpeg, so tests can check FFmpeg's reading of an output, and the
// output itself, against a second reader. Run through gst-launch-1.0 and gst-discoverer-1.0
// (gstreamer1.0-tools, gstreamer1.0-plugins-base-apps).
#pragma once

#include <string>

namespace gstreading {

/// One stream as it is presented: the demuxer's buffers clipped to the segments it sends (one
/// per edit of the track), in running time, the clock a player plays them on.
struct StreamTiming {
    long buffers = 0;  ///< buffers presented (for video: the frames shown)
    double start = -1; ///< seconds, where the first presented buffer begins; -1: no buffer
    double end = -1;   ///< seconds, where the last presented buffer ends
};

struct MovieTiming {
    bool ok = false;
    std::string error;    ///< why the reading failed
    StreamTiming video;   ///< the first video track
    StreamTiming sound;   ///< the first sound track
    double duration = -1; ///< the movie's duration as gst-discoverer-1.0 gives it, seconds
    /// Where the sound begins relative to the picture, in seconds (negative: before it).
    [[nodiscard]] double soundOffset() const { return sound.start - video.start; }
};

/// Reads the movie at path with GStreamer's QuickTime demuxer.
MovieTiming readMovie(const std::string &path);

} // namespace gstreading
