// Edit-list arithmetic on one track: splitting, cutting, stretching and shifting in movie time.
#pragma once

#include "movie.h"

#include <cstdint>
#include <vector>

namespace toolbox {

using EditList = std::vector<MovieTrack::Edit>;

/// The media time at offset movie units into edit (rounded), for a media and movie scale.
std::int64_t mediaTimeAt(const MovieTrack::Edit &edit, std::int64_t offset,
                         std::int32_t mediaTimeScale, std::int32_t movieTimeScale);

/// Makes sure an edit boundary lies at movie time `at` (no change when `at` is at a boundary or
/// past the end). Returns the index of the first edit starting at or after `at`.
std::size_t splitEdits(EditList &edits, std::int64_t at, std::int32_t mediaTimeScale,
                       std::int32_t movieTimeScale);

/// Removes [start, start + duration) of movie time.
void deleteEdits(EditList &edits, std::int64_t start, std::int64_t duration,
                 std::int32_t mediaTimeScale, std::int32_t movieTimeScale);

/// Stretches [start, start + duration) to newDuration; rates are multiplied by rateFactor.
/// The caller gives the factor from its own exact durations: the movie-time values here may be
/// rounded to the movie's time scale, and a factor taken from them would drift (a 4x slow
/// motion becoming 4.0001x, PCM at 12001 Hz instead of 12000).
void scaleEdits(EditList &edits, std::int64_t start, std::int64_t duration,
                std::int64_t newDuration, double rateFactor, std::int32_t mediaTimeScale,
                std::int32_t movieTimeScale);

/// Inserts an empty stretch of movie time at `at` (nothing when `at` is past the end).
void insertEmptyEdit(EditList &edits, std::int64_t at, std::int64_t duration,
                     std::int32_t mediaTimeScale, std::int32_t movieTimeScale);

/// The part [start, start + duration) of the edits, as its own list starting at 0.
EditList extractEdits(EditList edits, std::int64_t start, std::int64_t duration,
                      std::int32_t mediaTimeScale, std::int32_t movieTimeScale);

/// The edits with their movie durations converted from one movie time scale to another,
/// boundaries rounded once each so that the total does not drift.
EditList rescaleEdits(const EditList &edits, std::int32_t from, std::int32_t to);

/// Joins neighbouring empty edits and drops empty edits at the end and zero-length edits.
void tidyEdits(EditList &edits);

} // namespace toolbox
