// The samples behind a track, shared by every track (of any movie) that plays them.
#pragma once

#include "libavHandles.h"
#include "movie.h"

#include <cstdint>
#include <string>
#include <vector>

namespace toolbox {

struct MovieMedia {
    enum class Storage {
        QuickTime, ///< sample tables read from a QuickTime header; offsets into `path`
        Libav,     ///< a stream of a file that only libavformat reads
    };
    Storage storage = Storage::QuickTime;
    std::string path;           ///< the file holding the samples
    std::string headerPath;     ///< the file whose movie header described the media
    bool selfReference = false; ///< samples in the same file as the header
    OSType mediaType = 0;
    std::int32_t timeScale = 1;
    std::int64_t duration = 0;
    int streamIndex = -1;
    CodecParametersPtr codecParameters;

    // QuickTime sample tables, kept as they were read.
    std::uint16_t language = 0x55c4;                         ///< packed ISO-639-2 "und"
    std::vector<std::uint8_t> mediaInfoHeader;               ///< the whole vmhd/smhd/gmhd/nmhd atom
    std::vector<std::vector<std::uint8_t>> sampleTableAtoms; ///< whole stbl children but offsets
    std::vector<std::uint64_t> chunkOffsets;                 ///< absolute offsets into `path`

    // Libav streams: media time 0 is the stream's first timestamp.
    AVRational timeBase{1, 1};
    std::int64_t startTime = 0;
    AVRational frameRate{0, 1}; ///< the stream's own picture rate (0/1: none or not a picture)
};

/// Access to the inside of movies and tracks for the toolbox's own modules.
struct MovieAccess {
    static const MovieMedia &media(const MovieTrack &track) { return *track.media_; }
    static std::shared_ptr<const MovieMedia> mediaPtr(const MovieTrack &track) {
        return track.media_;
    }
    static std::vector<MovieTrack::Edit> &edits(MovieTrack &track) { return track.edits_; }
    static const std::vector<MovieTrack::Edit> &edits(const MovieTrack &track) {
        return track.edits_;
    }
    static void replaceMedia(MovieTrack &track, std::shared_ptr<const MovieMedia> media) {
        track.media_ = std::move(media);
    }
    static std::int32_t movieTimeScale(const MovieTrack &track) { return track.movieTimeScale_; }
    static std::int16_t layer(const MovieTrack &track) { return track.layer_; }
    static std::int16_t alternateGroup(const MovieTrack &track) { return track.alternateGroup_; }
    static std::int16_t volume(const MovieTrack &track) { return track.volume_; }
    static std::uint64_t creationTime(const Movie &movie) { return movie.creationTime_; }
    static std::uint64_t modificationTime(const Movie &movie) { return movie.modificationTime_; }
    static void setTimes(Movie &movie, std::uint64_t created, std::uint64_t modified) {
        movie.creationTime_ = created;
        movie.modificationTime_ = modified;
    }
    static const std::vector<std::uint8_t> &userData(const Movie &movie) { return movie.userData_; }
    static const std::vector<std::uint8_t> &metadata(const Movie &movie) { return movie.metadata_; }
};

} // namespace toolbox
