// A movie's thumbnail as a small JPEG picture, decoded and written with FFmpeg's libraries in
// the calling process: the picture the ffmpeg program gives for
// `-ss SEEK -i MOVIE -vframes 1 -vf scale=W:H PICTURE.jpg`, without the start of a program.
#pragma once

#include "movie.h"

#include <functional>
#include <string>

namespace toolbox {

/// What picture to make: `seekSeconds` after the movie's start (its first timestamp, as the
/// ffmpeg program counts an input seek), scaled to `width` x `height`.
struct ThumbnailRequest {
    std::string moviePath;
    double seekSeconds = 0;
    int width = 160;
    int height = 90;
    std::string picturePath;
};

/// Decodes the first picture of the movie's first video stream at or after the seek point (the
/// movie's first picture when it ends before that point), scales it and writes it as a JPEG file.
/// The picture appears under its name complete or not at all. `cancelled`, when given, is asked
/// between packets: once it answers true the call ends with a failure and writes nothing. A file
/// name is never read as a protocol or a device.
MovieStatus writeThumbnail(const ThumbnailRequest &request,
                           const std::function<bool()> &cancelled = {});

} // namespace toolbox
