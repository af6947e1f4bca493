// Interlace detection over short samples of a movie's pictures, in process over FFmpeg's
// libraries: one open, for each sample a seek to the key frame before its start, a few pictures
// decoded on one thread and passed through FFmpeg's idet filter, whose counts come back.
#pragma once

#include "movie.h"

#include <cstdint>
#include <string>
#include <vector>

namespace toolbox {

/// What idet counted over one sample: its single-frame detection (each picture on its own) and
/// its repeated-field detection (a field equal to the same field of the picture before).
struct FieldCounts {
    int32_t tff = 0;
    int32_t bff = 0;
    int32_t progressive = 0;
    int32_t undetermined = 0;
    int32_t repeatedNeither = 0;
    int32_t repeatedTop = 0;
    int32_t repeatedBottom = 0;
};

struct FieldSampleReport {
    MovieStatus status;               ///< failure when the file or its video can't be opened
    std::vector<FieldCounts> samples; ///< one per start when the file opened
};

/// Looks at `frames` pictures from each of `starts` (seconds from the start of the movie's first
/// video stream; 0 reads from the start without a seek, a later start seeks a second before it
/// and decodes from the first key frame after where the seek lands). A sample that finds no key
/// frame from there to 4 s past its point takes the key frame before it: it seeks further back
/// (4 s, 16 s, 64 s, then the file's start) until it finds one, so a stream whose key frames lie
/// far apart is still looked at. A sample stops early at the end of the file, after 4 s of stream
/// time from its key frame, when its pictures change size or format, or when the decoder fails;
/// it counts what it saw. `forceFormat` names the container (FFmpeg's input
/// format name), or is empty. A file name is never read as a protocol or a device.
FieldSampleReport fieldSampleCounts(const std::string &path, const std::vector<double> &starts,
                                    int32_t frames, const std::string &forceFormat = {});

} // namespace toolbox
