// Movies of the toolbox: tracks over media, each track with an edit list in movie time.
//
// A movie is opened from any file that libavformat reads. QuickTime files (.mov, .mp4...) are
// read at the atom level: their sample tables are kept as they are, so a movie made of them can
// be written as a reference movie (no sample copied) or, when the result replaces the movie's
// own file, by a new movie header alone. Other containers (MPEG-TS, Matroska...) are read
// through libavformat; their samples are copied once when a self-contained movie is written.
//
// Editing a movie (deleteSegment, scaleSegment, insertMovieSegment, removeTrack) changes edit
// lists only; writing is where samples move. Failures are return values (MovieStatus), never
// exceptions. Nothing here is thread-safe: use a movie from one thread at a time.
#pragma once

#include "fourCharCode.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct AVCodecParameters;
struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace toolbox {

inline constexpr OSType kVideoMediaType = fourCharCode("vide");
inline constexpr OSType kSoundMediaType = fourCharCode("soun");
inline constexpr OSType kSubtitleMediaType = fourCharCode("sbtl");
inline constexpr OSType kTextMediaType = fourCharCode("text");
inline constexpr OSType kTimeCodeMediaType = fourCharCode("tmcd");
inline constexpr OSType kClosedCaptionMediaType = fourCharCode("clcp");
inline constexpr OSType kMetadataMediaType = fourCharCode("meta");
inline constexpr OSType kDataMediaType = fourCharCode("data");

/// Why an operation failed.
enum class MovieError {
    None,
    FileNotFound,    ///< no file at the path
    NotAMovie,       ///< neither a QuickTime file nor anything libavformat reads
    Truncated,       ///< the file ends before its movie header or its samples
    NoTracks,        ///< the operation needs at least one track
    NoSuchTrack,     ///< a track index out of range
    InvalidArgument, ///< a time scale of 0, a negative duration, an empty path...
    Unsupported,     ///< a movie the operation cannot express (named in the message)
    ReadFailed,      ///< reading the source failed
    WriteFailed,     ///< the destination could not be written (missing folder, full disk...)
};

/// The answer of an operation: success, or an error with a message for people.
struct MovieStatus {
    MovieError error = MovieError::None;
    std::string message;

    [[nodiscard]] bool ok() const { return error == MovieError::None; }
    explicit operator bool() const { return ok(); }
    static MovieStatus success() { return {}; }
    static MovieStatus failure(MovieError why, std::string text) { return {why, std::move(text)}; }
};

/// 1.0 as a 16.16 fixed-point number.
inline constexpr std::int32_t kFixedOne = 0x10000;

/// Progress of a long write: the fraction done as 16.16 fixed point, from 0 to 0x10000.
/// Fractions never decrease, and the last call of a successful write is exactly 0x10000.
using MovieProgressProc = std::function<void(std::int32_t fraction16_16)>;

/// Whether a write waits until its data is on the disk before it reports success.
/// Durable: flushed before a new file is renamed into place, and a new movie header flushed
/// before the old one is given up, so a crash leaves the old movie or the new one.
/// Deferred: the system writes the data back in its own time, as the ffmpeg program does; for
/// working files a crash makes worthless anyway, where a flush would wait for every byte
/// written to the file before (hundreds of megabytes after a rewrap).
enum class WriteSync { Durable, Deferred };

/// A stretch of time: start and duration in units of timeScale per second.
struct TimeRange {
    std::int64_t start = 0;
    std::int64_t duration = 0;
    std::int32_t timeScale = 1;

    [[nodiscard]] double startSeconds() const { return double(start) / timeScale; }
    [[nodiscard]] double durationSeconds() const { return double(duration) / timeScale; }
};

/// A rectangle in pixels, QuickTime's Rect.
struct MovieRect {
    std::int16_t top = 0;
    std::int16_t left = 0;
    std::int16_t bottom = 0;
    std::int16_t right = 0;
};

/// A transformation matrix as QuickTime stores it, row by row: a b u / c d v / x y w.
/// a, b, c, d, x, y are 16.16 fixed point; u, v, w are 2.30 fixed point.
using MovieMatrix = std::array<std::int32_t, 9>;

/// The identity matrix (a = d = 1.0, w = 1.0).
constexpr MovieMatrix identityMatrix() {
    return {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
}

/// One entry of a track's edit list.
struct EditSegment {
    std::int64_t movieStart = 0;    ///< where it begins in the movie, in movie time scale
    std::int64_t movieDuration = 0; ///< how long it plays, in movie time scale
    std::int64_t mediaStart = 0;    ///< first media time shown, in media time scale; -1: empty
    double rate = 1.0;              ///< media time per movie time (0.5 plays at half speed)
};

struct MovieMedia; // the samples behind a track (internal)

/// One track of a movie: its media and its edit list.
class MovieTrack {
public:
    /// The media type: 'vide', 'soun', 'sbtl', 'text', 'tmcd'...
    [[nodiscard]] OSType mediaType() const;
    /// Where the track plays in its movie: start (its leading empty edits) and duration (the
    /// rest of its edit list), in the movie's time scale.
    [[nodiscard]] TimeRange range() const;
    /// The whole media's duration, in mediaTimeScale units.
    [[nodiscard]] std::int64_t mediaDuration() const;
    /// Media time units per second.
    [[nodiscard]] std::int32_t mediaTimeScale() const;
    /// The byte size of the samples the track plays (whole samples in its edits); -1 unknown.
    [[nodiscard]] std::int64_t dataSize() const;
    /// The edit list, in movie order; every segment starts where the previous one ends.
    [[nodiscard]] std::vector<EditSegment> edits() const;
    /// The track matrix and its picture size in pixels (0 for tracks without picture).
    [[nodiscard]] const MovieMatrix &matrix() const { return matrix_; }
    void setMatrix(const MovieMatrix &matrix) { matrix_ = matrix; }
    [[nodiscard]] double width() const { return width_; }
    [[nodiscard]] double height() const { return height_; }
    /// The file that holds the media's samples (for a reference movie opened back: the file
    /// its data reference points at).
    [[nodiscard]] const std::string &sourcePath() const;
    /// The libavformat stream index of the media in sourcePath(), -1 when libavformat shows
    /// no stream for it.
    [[nodiscard]] int streamIndex() const;
    /// The codec parameters of the media as libavformat gives them (never null).
    [[nodiscard]] const AVCodecParameters *codecParameters() const;
    /// Whether the track plays (tkhd enabled flag).
    [[nodiscard]] bool enabled() const { return enabled_; }

    struct Edit {
        std::int64_t movieDuration = 0;
        std::int64_t mediaTime = -1;
        double rate = 1.0;
    };

private:
    friend class Movie;
    friend struct MovieAccess;
    std::shared_ptr<const MovieMedia> media_;
    std::vector<Edit> edits_;
    std::int32_t movieTimeScale_ = 600;
    MovieMatrix matrix_ = identityMatrix();
    double width_ = 0;
    double height_ = 0;
    bool enabled_ = true;
    std::int16_t layer_ = 0;
    std::int16_t alternateGroup_ = 0;
    std::int16_t volume_ = 0; ///< 8.8 fixed point
};

/// A movie: tracks over media with edit lists, in movie time.
class Movie {
public:
    ~Movie();
    Movie(const Movie &) = delete;
    Movie &operator=(const Movie &) = delete;

    /// Opens the movie at path. QuickTime files are read at the atom level (with their edit
    /// lists, matrices, and 'alis' data references resolved relative then absolute); any other
    /// file through libavformat. Gives null with the reason in status: FileNotFound,
    /// NotAMovie, Truncated (movie header or samples beyond the end of the file), ReadFailed.
    /// A QuickTime file whose movie has no track opens as a movie with no tracks; a fragmented
    /// one is read through libavformat.
    static std::unique_ptr<Movie> open(const std::string &path, MovieStatus *status = nullptr);

    /// A new, empty movie with the given time scale.
    static std::unique_ptr<Movie> newMovie(std::int32_t timeScale = 600);

    /// The path the movie was opened from (empty for a new movie).
    [[nodiscard]] const std::string &path() const { return path_; }

    [[nodiscard]] std::size_t trackCount() const { return tracks_.size(); }
    [[nodiscard]] const MovieTrack &track(std::size_t index) const { return tracks_.at(index); }
    [[nodiscard]] MovieTrack &track(std::size_t index) { return tracks_.at(index); }
    /// Indexes of the tracks of one media type, in track order.
    [[nodiscard]] std::vector<std::size_t> tracksOfMediaType(OSType type) const;

    /// Movie time units per second. Setting it converts every edit list (rounded to the unit).
    [[nodiscard]] std::int32_t timeScale() const { return timeScale_; }
    MovieStatus setTimeScale(std::int32_t timeScale);
    /// The end of the longest track, in movie time scale.
    [[nodiscard]] std::int64_t duration() const;
    [[nodiscard]] double durationSeconds() const { return double(duration()) / timeScale_; }

    /// The movie matrix (mvhd) and the movie box: the bounds of the tracks' pictures through
    /// their matrices and the movie matrix, in pixels.
    [[nodiscard]] const MovieMatrix &matrix() const { return matrix_; }
    void setMatrix(const MovieMatrix &matrix) { matrix_ = matrix; }
    [[nodiscard]] MovieRect box() const;

    /// The creation time of the movie header in seconds since 1970-01-01 UTC, or nothing
    /// when the header gives none. Every write keeps it, with the modification time and the
    /// movie's metadata ('udta', 'meta'); a movie that had none is written with the current
    /// time. A new movie takes them from the first movie inserted into it.
    [[nodiscard]] std::optional<std::int64_t> creationTimeUnix() const;

    /// Removes a track (later tracks move down by one).
    MovieStatus removeTrack(std::size_t index);

    /// Inserts the segment [sourceStart, sourceStart + sourceDuration) of source (in source's
    /// time scale) at destinationTime (in this movie's time scale): every track of source
    /// becomes a new track of this movie sharing its media, and this movie's own tracks get an
    /// empty stretch of the segment's length at destinationTime.
    MovieStatus insertMovieSegment(const Movie &source, std::int64_t sourceStart,
                                   std::int64_t sourceDuration, std::int64_t destinationTime);

    /// Adds every track of source beside this movie's tracks, each playing at the movie times
    /// it plays in source (its media shared, its edit list kept). The movie's own tracks, dates
    /// and metadata stay as they are.
    MovieStatus addTracks(const Movie &source);

    /// Removes [start, start + duration) (in units of timeScale per second) from every track;
    /// what follows moves earlier. Tracks that begin later begin earlier by the part of the
    /// segment before them.
    MovieStatus deleteSegment(std::int64_t start, std::int64_t duration, std::int32_t timeScale);

    /// A timecode track ('tmcd') says the time of the first picture: one whose playing begins
    /// inside its media (a cut of the sound that came before the picture) plays again from its
    /// media's start, for as much longer as its media lasts. Other tracks stay as they are.
    void startTimecodesAtTheirFirstSample();

    /// Stretches [start, start + duration) of every track to newDuration (all in units of
    /// timeScale per second); the edits in it get their rates multiplied by
    /// duration / newDuration.
    MovieStatus scaleSegment(std::int64_t start, std::int64_t duration, std::int64_t newDuration,
                             std::int32_t timeScale);

    /// True when every track's samples lie in the movie's own file and that file is a
    /// QuickTime file: writing it self-contained onto path() costs a new movie header only.
    [[nodiscard]] bool isSelfContainedQuickTime() const;

    /// Writes a reference movie: 'ftyp' and 'moov' only, each track's data reference an
    /// 'alis' record to the file holding its samples (relative and absolute paths), no
    /// sample copied. Readable by Movie::open and by `ffmpeg -enable_drefs 1`. Needs
    /// QuickTime media (Unsupported otherwise). Edit rates are written as sample timing (see
    /// writeSelfContained). With WriteSync::Deferred the file is not flushed to the disk
    /// before it is renamed into place (working files).
    MovieStatus writeReference(const std::string &path, const MovieProgressProc &progress = {},
                               WriteSync sync = WriteSync::Durable) const;

    /// Writes a self-contained QuickTime movie that honours the edit lists without
    /// re-encoding: a cut is an edit list (several 'elst' entries for a middle cut), so no frame
    /// is lost or duplicated and sound stays in sync. Edit rates become sample timing, since
    /// other readers ignore an edit's rate: a track whose edits share one rate r gets its media
    /// time scale (or, when that is not a whole number, its sample durations) multiplied by
    /// r, and a PCM sound track its sample rate; tracks with edits of different rates give
    /// Unsupported.
    ///  - path is the movie's own file and isSelfContainedQuickTime(): only a new movie
    ///    header is appended and the old one turned into 'free' space; time does not grow with
    ///    the file's size. On failure the file is cut back to its former length.
    ///  - QuickTime media otherwise: every chunk of the kept tracks (also those outside their
    ///    edits) is copied once, in the order of the source files.
    ///  - other containers: the samples are copied once through libavformat into a new
    ///    QuickTime file, whose header is then rewritten with the edits.
    /// A new file is written under a temporary name in the destination folder and renamed
    /// into place when complete; a failed write leaves nothing behind. Memory does not grow
    /// with the number of samples copied (only with the size of the movie header).
    MovieStatus writeSelfContained(const std::string &path, const MovieProgressProc &progress = {},
                                   WriteSync sync = WriteSync::Durable) const;

private:
    Movie() = default;
    friend struct MovieAccess;
    std::string path_;
    std::int32_t timeScale_ = 600;
    MovieMatrix matrix_ = identityMatrix();
    std::vector<MovieTrack> tracks_;
    std::vector<std::uint8_t> fileType_; ///< the source's 'ftyp' body, kept for rewrites
    std::uint64_t creationTime_ = 0;     ///< mvhd, seconds since 1904 UTC; 0: none
    std::uint64_t modificationTime_ = 0; ///< mvhd, seconds since 1904 UTC; 0: none
    std::vector<std::uint8_t> userData_; ///< the source's 'udta' atom, whole, kept for rewrites
    std::vector<std::uint8_t> metadata_; ///< the source's 'meta' atom, whole, kept for rewrites
};

/// Reads a movie's packets in movie order, its edit lists applied, for a re-encoder.
///
/// Behind it is libavformat reading the movie: an unedited movie from the source file itself,
/// an edited one over QuickTime media through a temporary reference movie, an edited one over
/// another container through a temporary self-contained copy (its samples copied once);
/// temporary files are deleted once open. Guarantees:
///  - one AVStream per track, in track order (trackIndexOfStream maps them);
///  - timestamps in the stream's time base, movie time 0 at timestamp 0 (or earlier for
///    packets that only prime a decoder), whatever clock the container keeps (a transport
///    stream's starts near 1.4 s): readPacket rebases them, so an AVStream's start_time and
///    the container's own fields still tell that clock;
///  - packets before an edit's start (from the previous key frame) carry AV_PKT_FLAG_DISCARD,
///    and libavcodec drops the frames they decode to; sound trims carry skip-samples side
///    data that libavcodec honours: decoding every packet gives exactly the movie's frames;
///  - edit rates are applied as sample timing (as writeSelfContained does);
///  - memory does not grow with the movie's length.
class MovieReader {
public:
    ~MovieReader();
    MovieReader(const MovieReader &) = delete;
    MovieReader &operator=(const MovieReader &) = delete;

    /// Opens the reader; null with the reason in status (NoTracks for a movie without tracks).
    static std::unique_ptr<MovieReader> open(const Movie &movie, MovieStatus *status = nullptr);

    /// The libavformat context (streams, codec parameters, time bases); owned by the reader.
    [[nodiscard]] AVFormatContext *formatContext() const { return format_.get(); }
    /// The stream of a track of the movie, or null.
    [[nodiscard]] AVStream *stream(std::size_t trackIndex) const;
    /// The track of a stream index, or -1 for a stream that is no track of the movie.
    [[nodiscard]] int trackIndexOfStream(int streamIndex) const;
    /// The movie's duration in seconds.
    [[nodiscard]] double durationSeconds() const { return durationSeconds_; }

    /// Reads the next packet (unref'd first) and its track. Returns 0, AVERROR_EOF at the
    /// end, or another negative AVERROR. Packets of streams that are no track are skipped.
    int readPacket(AVPacket *packet, std::size_t *trackIndex);

private:
    MovieReader() = default;
    static std::unique_ptr<MovieReader> openThroughCopy(const Movie &movie, MovieStatus *status);
    struct FormatCloser {
        void operator()(AVFormatContext *context) const;
    };
    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::vector<int> trackOfStream_;
    std::vector<int> streamOfTrack_;
    std::vector<std::int64_t> shiftOfStream_; ///< subtracted from timestamps (stream time base)
    double durationSeconds_ = 0;
};

} // namespace toolbox
