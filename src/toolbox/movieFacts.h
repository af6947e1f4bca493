// What a movie presents, read from its index: the pictures (how many, how long, at which rate),
// each sound track (how long, where it begins against the first picture), the picture's display
// (size, pixel aspect, rotation, colour description) and its dates. Nothing is decoded: a
// QuickTime file is read through its sample tables and edit lists, any other file through
// libavformat's own reading of its streams (a transport stream's first and last timestamps).
// What a converter proves an output by, against the same facts of its source.
#pragma once

#include "movie.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace toolbox {

/// A rational number of frames (or pixels) per unit; 0/1 when unknown.
struct Rational {
    std::int64_t num = 0;
    std::int64_t den = 1;
    [[nodiscard]] bool known() const { return num > 0 && den > 0; }
    [[nodiscard]] double value() const { return known() ? double(num) / double(den) : 0.0; }
    friend bool operator==(const Rational &, const Rational &) = default;
};

/// The rational in lowest terms (0/1 for a zero or negative part).
Rational reduced(std::int64_t num, std::int64_t den);

/// The first picture track of a movie, as it is presented.
struct PictureFacts {
    std::int64_t pictures = 0; ///< pictures its edits present
    double seconds = 0;        ///< how long they play
    double startSeconds = 0;   ///< where the track begins in the movie
    Rational rate;             ///< the rate of its average picture duration
    /// Its pictures last differently long (a clip of 25 then 30 frames/s): `rate` is an
    /// average, and `pictures` only an estimate when read without sample tables.
    bool variableRate = false;
    bool picturesEstimated = false; ///< counted from its span and rate, not its samples
    std::int32_t width = 0;         ///< the coded picture's size in pixels
    std::int32_t height = 0;
    Rational pixelAspect{1, 1};   ///< 1/1 when the file says none
    std::int32_t rotation = 0;    ///< degrees clockwise of the track matrix: 0, 90, 180, 270
    bool matrixIsRotation = true; ///< false for a matrix that also scales, skews or mirrors
    /// The colour description as libavformat names it (AVColorPrimaries,
    /// AVColorTransferCharacteristic, AVColorSpace, AVColorRange): 2 (or 0 for the range) when
    /// the file says nothing.
    std::int32_t primaries = 2;
    std::int32_t transfer = 2;
    std::int32_t matrix = 2;
    std::int32_t range = 0;
    std::string codec; ///< libavcodec's name of its codec
};

/// One sound track, as it is presented.
struct SoundFacts {
    double seconds = 0;      ///< how long its edits play
    double startSeconds = 0; ///< where it begins in the movie
    std::int32_t sampleRate = 0;
    std::int32_t channels = 0;
    std::int32_t frameSamples = 0; ///< samples per coded frame (1 for PCM, 0 when unknown)
    std::string codec;
};

/// A movie's facts.
struct MovieFacts {
    bool quickTime = false;                      ///< read through its QuickTime index
    double durationSeconds = 0;                  ///< the end of its longest track
    std::optional<PictureFacts> picture;         ///< none without a picture track
    std::vector<SoundFacts> sounds;              ///< in track order
    std::optional<std::int64_t> createdUnix;     ///< the movie header's creation time (UTC)
    std::optional<std::int64_t> creationKeyUnix; ///< the creation-date key's moment (UTC)
};

/// Tables larger than this many samples are taken as damaged rather than walked (a 50 frames/s
/// movie of 300 hours has fewer).
inline constexpr std::int64_t kMovieFactsMaxSamples = 64LL * 1024 * 1024;

/// Reads the facts of the movie at path. Failure (with the reason) for a file that is no movie,
/// a QuickTime file whose header or tables are damaged, and tables beyond
/// kMovieFactsMaxSamples.
/// `asPresented`, when given, changes the opened movie first to what a converter presents of it
/// (edits played at rate 1, say).
MovieStatus readMovieFacts(const std::string &path, MovieFacts &facts,
                           const std::function<void(Movie &movie)> &asPresented = {});

/// The facts of an opened movie (what readMovieFacts reads after opening it).
MovieStatus movieFactsOf(const Movie &movie, MovieFacts &facts);

/// The decoding a picture track's edits ask for: each edit shows the pictures of its media
/// range, and a decoder starts from the key picture before the first of them. Thousands of
/// tiny edits into a long group of pictures ask a small file for a decoding without end.
struct EditDecodeWork {
    std::int64_t samples = 0; ///< pictures in the track's media
    std::int64_t shown = 0;   ///< pictures its edits show (one at least for each edit)
    std::int64_t decoded = 0; ///< pictures decoded to show them
    /// More decoding than twice the media's pictures and a margin: no player asks for that.
    [[nodiscard]] bool excessive() const { return decoded > 2 * samples + kEditDecodeMargin; }
    static constexpr std::int64_t kEditDecodeMargin = 50000;
};

/// The decoding the edits of a QuickTime track ask for, by its sample tables (nothing decoded).
/// Failure for damaged tables; a track without tables (not read from a QuickTime file) asks
/// for nothing.
MovieStatus editDecodeWork(const MovieTrack &track, std::int32_t movieTimeScale,
                           EditDecodeWork &work);

/// The moment a QuickTime or MP4 movie says it was recorded: its creation-date key
/// ("com.apple.quicktime.creationdate", a phone's, with the zone it was recorded in), else its
/// movie header's creation time (UTC, no zone) when it is a possible recording time.
struct MovieRecordedDate {
    std::int64_t unixSeconds = 0;
    std::optional<std::int32_t> zoneSeconds; ///< east of Greenwich, when the key gives one
    bool fromKey = false;                    ///< the creation-date key, else the movie header
};
/// Header times before 1990 are a writer's zero or a camera clock never set, no recording's.
inline constexpr std::int64_t kMovieRecordedDateEarliest = 631152000;
/// Nothing for a file that is no QuickTime or MP4 movie, or that gives no date.
std::optional<MovieRecordedDate> movieRecordedDate(const std::string &path);

} // namespace toolbox
