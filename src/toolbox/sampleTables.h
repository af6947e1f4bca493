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

/// A media's sample timing with each edit's rate folded in: `ranges` are the media ranges the
/// edits show ([start, end) in media time) with their rates, merged (mergeRateRanges); media time
/// t becomes `map(t)` in a time scale `factor` times the media's, where a range at rate r plays
/// 1/r as long. The 'stts' and 'ctts' atoms of the folded timing (ctts only when the media has
/// one), and the folded media duration. Empty atoms when the tables are damaged, ranges at
/// different rates overlap or a value does not fit.
struct FoldedTiming {
    std::vector<std::uint8_t> stts;
    std::vector<std::uint8_t> ctts;
    std::int64_t mediaDuration = 0;
};
struct RateRange {
    std::int64_t start = 0;
    std::int64_t end = 0;
    double rate = 1.0;
};
/// The ranges sorted, those at one rate that overlap or touch joined; nothing when ranges at
/// different rates overlap (one picture cannot play at two speeds).
std::optional<std::vector<RateRange>> mergeRateRanges(const std::vector<RateRange> &ranges);
/// The folded media time of t (media time units) in the folded time scale, for merged ranges.
std::int64_t foldedMediaTime(const std::vector<RateRange> &ranges, std::uint32_t factor,
                             std::int64_t t);
FoldedTiming foldEditRates(const MovieMedia &media, const std::vector<RateRange> &ranges,
                           std::uint32_t factor);

} // namespace toolbox
