// The pictures at the head and the tail of a stream file: its first and last picture times and
// where its key pictures begin, in bytes. What a join needs to present each piece of a split
// recording from its IN to its OUT time without reading the gigabytes in between.
#pragma once

#include "movie.h"

#include <cstdint>
#include <string>
#include <vector>

namespace toolbox {

/// One video packet: its presentation time (90 kHz), the byte where its packet begins in the
/// file, and whether it is a key picture (one that decodes without the pictures before it).
struct SpanPicture {
    std::int64_t pts = 0;
    std::int64_t pos = 0;
    bool key = false;
};

/// The head and tail of a stream file's first video stream, in the file's own 90 kHz clock.
struct StreamSpan {
    /// The earliest and the latest picture time read; the duration of one picture.
    std::int64_t firstPts = 0;
    std::int64_t lastPts = 0;
    std::int64_t frameTicks = 0;
    /// The file's size in bytes.
    std::int64_t size = 0;
    /// The pictures of the first bytes read (up to the one after `headUntilPts`) and of the
    /// last `kSpanTailBytes`, in file order.
    std::vector<SpanPicture> head;
    std::vector<SpanPicture> tail;
};

/// How far the head is read at most, and how much of the end makes the tail.
inline constexpr std::int64_t kSpanHeadBytes = 64LL * 1024 * 1024;
inline constexpr std::int64_t kSpanTailBytes = 8LL * 1024 * 1024;

/// Reads the head of the file until a picture later than `headUntilPts` (or kSpanHeadBytes; a
/// time of the stream's 33-bit clock, taken at the turn nearest the file's first picture),
/// then its last kSpanTailBytes. Failure when the file is no movie or holds no timed picture.
/// A file name is never read as a protocol or a device.
MovieStatus readStreamSpan(const std::string &path, std::int64_t headUntilPts, StreamSpan &span);

} // namespace toolbox
