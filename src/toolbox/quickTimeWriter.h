// Writing QuickTime movie headers ('moov') from a movie, one function per atom.
#pragma once

#include "movie.h"
#include "movieMedia.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace toolbox {

/// How one track is written.
struct TrackOutput {
    const MovieTrack *track = nullptr;
    /// The chunk offsets to write (the media's own when null: samples left where they are).
    const std::vector<std::uint64_t> *chunkOffsets = nullptr;
    /// Self: samples in the file that holds the header. Otherwise an 'alis' record to
    /// aliasTarget, relative to the header's file.
    bool selfReference = true;
    std::string aliasTarget;
};

/// How a track's edit rate becomes sample timing: the media time scale to write, a factor
/// for every duration and media time, and the sound sample rate (0: unchanged).
struct TrackTiming {
    std::int32_t mediaTimeScale = 1;
    std::uint32_t durationFactor = 1;
    double soundSampleRate = 0;
    /// Edits at different rates (a phone's slow-motion section): the sample timing written
    /// instead of the media's, each edit's media time in it (-1 for an empty edit), and the
    /// media's duration in it. Empty when the rates are one.
    std::vector<std::uint8_t> foldedStts;
    std::vector<std::uint8_t> foldedCtts;
    /// The edits in the folded timing, all at rate 1: (movie duration, media time or -1).
    std::vector<std::pair<std::int64_t, std::int64_t>> foldedEdits;
    std::int64_t foldedMediaDuration = 0;
};

/// The timing of a track with its edit rates folded into sample timing: one rate scales the
/// media's time scale (or its durations, or a PCM track's sample rate); edits of a picture
/// track at different rates each give their samples their own durations, so every reader plays
/// each picture once at its edit's speed. Unsupported for sound at different rates, media that
/// edits at different rates both show, and a new time scale that does not fit.
MovieStatus planTrackTiming(const MovieTrack &track, TrackTiming &timing);

/// The 'ftyp' atom of a new QuickTime file.
std::vector<std::uint8_t> quickTimeFileType();

/// The whole 'moov' atom for the given tracks of movie, whose header will live in the file
/// at headerPath (for relative alias records).
MovieStatus buildMovieAtom(const Movie &movie, const std::vector<TrackOutput> &tracks,
                           const std::string &headerPath, std::vector<std::uint8_t> &moov);

} // namespace toolbox
