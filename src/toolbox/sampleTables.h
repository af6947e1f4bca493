// Questions asked of a QuickTime media's sample tables, and the rewrites that re-timing needs.
#pragma once

#include "movieMedia.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace toolbox {

/// The whole sample-table atom of that type ('stsd', 'stts'...), or an empty span.
std::span<const std::uint8_t> sampleTableAtom(const MovieMedia &media, OSType type);

/// The byte size of every chunk (from 'stsc' and 'stsz'). False when the tables are damaged
/// or do not cover every chunk's samples.
bool chunkByteSizes(const MovieMedia &media, std::vector<std::uint64_t> &sizes);

/// The byte size of the samples whose decode times fall in the given media ranges
/// ([start, end) pairs in media time). -1 when the tables are damaged.
std::int64_t sampleBytesInRanges(const MovieMedia &media,
                                 const std::vector<std::pair<std::int64_t, std::int64_t>> &ranges);

/// The sound sample description's rate in samples per second (0 for none), and whether its
/// format stores uncompressed samples, whose rate can be changed to play them slower.
double soundSampleRate(const MovieMedia &media);
bool isUncompressedSound(const MovieMedia &media);

/// The sample-table atom with every duration ('stts') or composition offset ('ctts')
/// multiplied by factor. Empty when the atom is damaged or a value overflows.
std::vector<std::uint8_t> multiplyTimeTable(std::span<const std::uint8_t> atom,
                                            std::uint32_t factor);

/// The 'stsd' atom with the sound sample rate of every entry set to rate. Empty when a rate
/// cannot be stored in the entries' layout.
std::vector<std::uint8_t> withSoundSampleRate(std::span<const std::uint8_t> stsd, double rate);

} // namespace toolbox
