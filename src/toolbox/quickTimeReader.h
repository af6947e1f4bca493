// Reading QuickTime files at the atom level: the top-level atoms, the movie header, and each
// track's header, edit list, media header and sample tables.
#pragma once

#include "fileIo.h"
#include "movie.h"
#include "movieMedia.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace toolbox {

struct TopLevelAtom {
    OSType type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t headerSize = 8;
};

/// The top-level atoms of a file, in order. looksLikeQuickTime is false when the first atom is
/// not one that starts a QuickTime file; truncated is true when an atom runs past the end.
void scanTopLevelAtoms(const File &file, std::vector<TopLevelAtom> &atoms, bool &looksLikeQuickTime,
                       bool &truncated);

struct ParsedTrack {
    std::uint32_t trackId = 0;
    bool enabled = true;
    std::int16_t layer = 0;
    std::int16_t alternateGroup = 0;
    std::int16_t volume = 0;
    MovieMatrix matrix = identityMatrix();
    double width = 0;
    double height = 0;
    std::vector<MovieTrack::Edit> edits; ///< in the movie's time scale
    std::shared_ptr<MovieMedia> media;
};

struct ParsedMovie {
    std::int32_t timeScale = 600;
    MovieMatrix matrix = identityMatrix();
    std::vector<std::uint8_t> fileType; ///< body of 'ftyp'
    /// The movie header's times, seconds since 1904-01-01 UTC (0: none given).
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    /// The movie's 'udta' and 'meta' atoms, whole (header included), as read; empty if none.
    std::vector<std::uint8_t> userData;
    std::vector<std::uint8_t> metadata;
    std::vector<ParsedTrack> tracks;
};

/// The moment of an ISO 8601 date and time ("2069-07-20T20:17:40+0200", "...Z", a fraction
/// allowed) in seconds since 1904-01-01 UTC; nothing when the text is not one.
std::optional<std::uint64_t> iso8601MacTime(std::string_view text);
/// The time of the "com.apple.quicktime.creationdate" key of a 'meta' atom's body (keys and
/// item list), in seconds since 1904; nothing when it has none.
std::optional<std::uint64_t> creationDateKeyTime(std::span<const std::uint8_t> metaBody);
/// The text of that key ("2016-02-02T14:30:05+0100"); nothing when it has none.
std::optional<std::string> creationDateKeyText(std::span<const std::uint8_t> metaBody);
/// The zone offset (seconds east of Greenwich) of an ISO 8601 time as iso8601MacTime reads
/// it: 0 for "Z", nothing when it gives no zone or an impossible one.
std::optional<std::int32_t> iso8601ZoneSeconds(std::string_view text);
/// Gives a version 0 movie header's creation and modification times back their high bits when
/// the creation-date key's time (seconds since 1904) is past 32 bits and ends with the same low
/// 32 bits (within 2 seconds): writers that keep 32-bit headers cut later dates.
void unwrapHeaderTimes(ParsedMovie &movie, std::optional<std::uint64_t> keyTime);

/// Reads the QuickTime movie at path. isQuickTime tells whether the file is a QuickTime file
/// at all (when false, the status means nothing: try libavformat). Samples are checked to lie
/// inside their files (Truncated otherwise). Codec parameters are not filled in here.
MovieStatus readQuickTimeMovie(const std::string &path, ParsedMovie &movie, bool &isQuickTime);

/// The movie header of a self-contained QuickTime file (for rewriting in place): the offset
/// and size of its first 'moov' atom. False when there is none.
bool findMovieAtom(const std::string &path, TopLevelAtom &moov);

} // namespace toolbox
