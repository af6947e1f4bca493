// The field information of video sample descriptions: the 'fiel' extension of a QuickTime
// video sample description says whether its pictures are whole frames (1 field) or two fields
// and in which order. A stream copied from an interlaced container keeps no 'fiel' (the
// QuickTime muxer writes none for H.264), so editors take the H.264 stream's interlaced coding
// as interlaced pictures; a movie whose pictures are known to be progressive says so here.
#pragma once

#include "movie.h"

#include <cstdint>
#include <span>
#include <vector>

namespace toolbox {

/// 'fiel' values: one field (progressive frames), or two fields with the QuickTime detail code
/// (1 top field first, 6 bottom field first, 9 and 14 the stored-field orders).
inline constexpr std::uint8_t kFieldsProgressive = 1;

/// The 'stsd' atom `stsd` with the 'fiel' extension of every video sample description set to
/// fields and detail (an existing one replaced, else appended after the others). Empty when
/// the atom is not a sample description table whose sizes add up, or a description carries a
/// colour table (its extensions can't be found without reading it).
std::vector<std::uint8_t> stsdWithFieldInfo(std::span<const std::uint8_t> stsd, std::uint8_t fields,
                                            std::uint8_t detail);

/// Sets the field information of every video track of the movie, in memory: the next write
/// (writeSelfContained, writeReference) carries it. Unsupported when a video track's media is
/// not QuickTime media or its sample descriptions can't be rewritten.
MovieStatus setVideoFieldInfo(Movie &movie, std::uint8_t fields, std::uint8_t detail);

} // namespace toolbox
