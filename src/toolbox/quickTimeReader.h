// Reading QuickTime files at the atom level: the top-level atoms, the movie header, and each
// track's header, edit list, media header and sample tables.
#pragma once

#include "fileIo.h"
#include "movie.h"
#include "movieMedia.h"

#include <memory>
#include <string>
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

/// Reads the QuickTime movie at path. isQuickTime tells whether the file is a QuickTime file
/// at all (when false, the status means nothing: try libavformat). Samples are checked to lie
/// inside their files (Truncated otherwise). Codec parameters are not filled in here.
MovieStatus readQuickTimeMovie(const std::string &path, ParsedMovie &movie, bool &isQuickTime);

/// The movie header of a self-contained QuickTime file (for rewriting in place): the offset
/// and size of its first 'moov' atom. False when there is none.
bool findMovieAtom(const std::string &path, TopLevelAtom &moov);

} // namespace toolbox
