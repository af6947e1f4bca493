// Movie services of the conversion steps: trimming a movie to its first video frame, cutting,
// re-timing for slow motion, and writing movies in the write modes below.
//
// Write modes (the integer of qtExport):
//    0  a reference movie: the tracks point at the samples of their source file, none is copied
//    1  an export through the QuickTime movie exporter with its default settings
//   -1  a self-contained movie; written onto the movie's own QuickTime file, it costs a new
//       movie header only
//   -2  a WAVE file of the sound
//   any other value: the default write, a reference movie
#pragma once

#include "movie/qt.h"
#include "toolbox/movie.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

inline constexpr int32_t kQtWriteReference = 0;
inline constexpr int32_t kQtWriteExport = 1;
inline constexpr int32_t kQtWriteFlatten = -1;
inline constexpr int32_t kQtWriteWave = -2;

/// One track as the trimming sees it: its media type as text ("vide", "soun"...) and the start
/// of its range in the movie, as a time value in its time scale.
struct QtTrackStart {
    QString mediaType;
    int64_t start = 0;
    int32_t timeScale = 1;
};

/// What trimming a movie to its first video frame comes to.
struct QtTrimPlan {
    enum class Action {
        NoTracks,     ///< failure: nothing to trim
        NoSound,      ///< success, nothing done
        NoVideo,      ///< success, nothing done
        NothingToCut, ///< the first video starts at 0: success, nothing done
        Cut,          ///< remove [0, cutEnd) in cutScale from every track
    };
    Action action = Action::NoTracks;
    double trimSeconds = 0;      ///< the earliest video start (123456789.0 without video)
    int64_t cutEnd = 0;          ///< end of the cut, in cutScale units
    int32_t cutScale = 1;        ///< time scale of cutEnd
    QList<double> videoStarts{}; ///< each video track's start in seconds, in track order
};

/// Media types that count as video: "vide", "MPEG", "flsh", "movi".
bool qtIsVideoMediaType(const QString &mediaType);

/// The trimming decision for a movie's tracks (in track order). The cut ends at the earliest
/// video start, so no video frame of any track is removed.
QtTrimPlan qtTrimPlan(const QList<QtTrackStart> &tracks);

/// The tracks of a movie with their starts, in track order.
QList<QtTrackStart> qtTrackStarts(const QTMovie &movie);

/// One track's edit list as the choice of a picture's route sees it: the rate of each edit that
/// plays media, in order (empty edits left out), and whether an empty edit lies between two
/// that play media.
struct QtTrackEdits {
    QString mediaType;
    QList<double> mediaEditRates{};
    bool holeInside = false;
};

/// How a conversion carries a source's picture into its output.
enum class QtPictureRoute {
    FfmpegCopy,  ///< ffmpeg's stream copy: it presents what the source presents
    SourceTrack, ///< the source's own video track with its edit list, the sound from ffmpeg
};

/// The route of a source's picture. ffmpeg's stream copy writes at most one edit: a video track
/// with several edits (or a hole, or a rate other than 1) would come out with each later
/// edit's pre-roll, the frames from the key frame before it, presented (some twice), and its
/// rate lost. Such a source takes its own track; one whose edits play at different rates too
/// (see qtMovieWithSourcePicture).
QtPictureRoute qtPictureRoutePlan(const QList<QtTrackEdits> &tracks);

/// The tracks' edits of a self-contained QuickTime movie; nothing for another file.
std::optional<QList<QtTrackEdits>> qtTrackEditsOf(const QString &path);

/// Writes a reference movie at dstPath (no sample copied; WriteSync::Deferred, a working file)
/// of the video tracks of sourcePath, their edit lists kept (a track whose edits play at
/// different rates gets each at rate 1, presenting what FFmpeg and GStreamer present of the
/// source: the frames of each edit's movie duration, once each), and the sound tracks of soundPath,
/// each at its own movie times, with soundPath's dates and metadata (the conversion's). True
/// when written.
bool qtMovieWithSourcePicture(const QString &sourcePath, const QString &soundPath,
                              const QString &dstPath);

/// Removes what lies before the first video frame from the movie at srcPath (a leading "~" is
/// expanded). Mode 0 writes the cut movie as a reference movie beside the source (its path with
/// ".mov" appended) and answers whether that file exists. Mode -1 puts the cut movie in place of
/// the source: a self-contained QuickTime source gets a new movie header (no sample is copied);
/// any other source is written self-contained beside it and moved onto it. True also when there
/// was nothing to cut (no sound, no video, video from 0). Leaves no current movie behind.
/// sync Deferred leaves the flush to the system (working files of a conversion).
bool isDebMovieTrimmedToVideoTrack(const QString &srcPath, int32_t mode,
                                   toolbox::WriteSync sync = toolbox::WriteSync::Durable);

/// Marks the pictures of the self-contained QuickTime movie at path as progressive frames: its
/// video sample descriptions get the field information of one field ('fiel' 1, 0) in a new
/// movie header written in place (no sample is copied or changed). For a stream copied from
/// an interlaced container whose pictures are progressive. Leaves no current movie behind.
bool movieFieldsProgressive(const QString &path,
                            toolbox::WriteSync sync = toolbox::WriteSync::Durable);

/// Removes [start, end) (values in units of scale per second) from every track of an editable
/// movie. True when the movie became shorter by the cut length, within one second.
bool movieCut(QTMovie *movie, int64_t start, int64_t end, int32_t scale);

/// Writes the movie to dstPath in a write mode (see above): true when the file was written.
/// Named qtExport because "export" is a C++ keyword. A reference write onto a file that holds
/// the movie's own samples is refused (it would destroy them). sync applies to self-contained
/// writes.
bool qtExport(QTMovie *movie, const QString &dstPath, int32_t mode,
              toolbox::WriteSync sync = toolbox::WriteSync::Durable);

/// Stretches the whole movie in time for slow motion: played at srcScale and delivered at
/// dstScale, a movie of duration D lasts D × srcScale ÷ dstScale. Then writes it self-contained
/// to dstPath. When the movie is a self-contained QuickTime file in the same file system, the
/// re-timing costs a new movie header, not a copy of the samples: the movie's own file gets the
/// new header and dstPath becomes a second name of that file (so the movie's own path then holds
/// the re-timed movie too; the pipeline deletes it). A reference movie is written as a reference
/// movie to the same samples (no copy either). False for a missing or zero argument or a failed
/// write.
bool movieRescalePreExport(QTMovie *movie, int32_t srcScale, int32_t dstScale,
                           const QString &dstPath,
                           toolbox::WriteSync sync = toolbox::WriteSync::Durable);

/// The movie's tracks in order, or nothing when it has none.
std::optional<std::vector<toolbox::MovieTrack *>> movieTracks(QTMovie *movie);

/// Allows edits of the movie.
void movieEditable(QTMovie *movie);
