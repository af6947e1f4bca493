#include "movie.h"

#include "fileIo.h"
#include "movieMedia.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace toolbox {
namespace {

namespace fs = std::filesystem;

MovieStatus fail(MovieStatus *status, MovieError error, std::string message) {
    auto result = MovieStatus::failure(error, std::move(message));
    if (status)
        *status = result;
    return result;
}

/// Whether a track of a libav source plays its stream as the source does (not edited).
bool playsWholeStream(const MovieTrack &track) {
    const auto edits = track.edits();
    std::size_t played = 0;
    for (const auto &edit : edits) {
        if (edit.mediaStart < 0)
            continue;
        if (++played > 1 || edit.mediaStart != 0 || edit.rate != 1.0)
            return false;
        // The whole stream, to within the unit of movie time the edit was rounded to: an edit
        // cut short ends the track before the stream does, which reading the file would not.
        const auto movieScale = track.range().timeScale;
        const auto whole = av_rescale(track.mediaDuration(), movieScale, track.mediaTimeScale());
        if (std::llabs(edit.movieDuration - whole) > 1)
            return false;
    }
    return true;
}

/// The timestamp of movie time 0 in the clock of an unedited libav source, in time base *unit:
/// taken from the track that starts first in the movie (its first timestamp less its lead-in,
/// exact for the track the movie starts with), so every stream keeps its place beside the
/// others as the container has it.
std::int64_t movieOrigin(const Movie &movie, AVRational *unit) {
    std::optional<std::size_t> first;
    for (std::size_t t = 0; t < movie.trackCount(); ++t) {
        const auto range = movie.track(t).range();
        if (!first || range.startSeconds() < movie.track(*first).range().startSeconds())
            first = t;
    }
    const auto &media = MovieAccess::media(movie.track(*first));
    const auto range = movie.track(*first).range();
    *unit = media.timeBase;
    return media.startTime - av_rescale_q(range.start, AVRational{1, range.timeScale}, *unit);
}

/// The system's temporary folder: TMPDIR when it names a folder, else /tmp. A missing, empty
/// or wrong TMPDIR is no reason to fail a conversion.
fs::path temporaryFolder() {
    std::error_code code;
    fs::path folder = fs::temp_directory_path(code);
    if (code || folder.empty() || !fs::is_directory(folder, code) ||
        access(folder.c_str(), W_OK | X_OK) != 0)
        folder = "/tmp";
    return folder;
}

/// A temporary file name in the system's temporary folder.
std::string temporaryMoviePath() {
    std::string path = (temporaryFolder() / "fluxaro-reader-XXXXXX.mov").string();
    const int fd = mkstemps(path.data(), 4);
    if (fd < 0)
        return {};
    ::close(fd);
    return path;
}

} // namespace

std::unique_ptr<MovieReader> MovieReader::openThroughCopy(const Movie &movie, MovieStatus *status) {
    // An edited movie over a file that is no QuickTime file: its samples are copied once into
    // a temporary QuickTime movie, read as QuickTime media, and the copy deleted once open
    // (libavformat keeps its own handle on it).
    const auto path = temporaryMoviePath();
    if (path.empty()) {
        fail(status, MovieError::WriteFailed, "no temporary file: " + errnoText());
        return nullptr;
    }
    auto reader = [&]() -> std::unique_ptr<MovieReader> {
        // A scratch copy, deleted once open: not worth waiting for the disk.
        const auto written = movie.writeSelfContained(path, {}, WriteSync::Deferred);
        if (!written) {
            if (status)
                *status = written;
            return nullptr;
        }
        auto copy = Movie::open(path, status);
        return copy ? open(*copy, status) : nullptr;
    }();
    ::unlink(path.c_str());
    if (reader)
        reader->durationSeconds_ = movie.durationSeconds();
    return reader;
}

void MovieReader::FormatCloser::operator()(AVFormatContext *context) const {
    avformat_close_input(&context);
}

MovieReader::~MovieReader() = default;

std::unique_ptr<MovieReader> MovieReader::open(const Movie &movie, MovieStatus *status) {
    if (status)
        *status = MovieStatus::success();
    if (movie.trackCount() == 0) {
        fail(status, MovieError::NoTracks, "the movie has no tracks");
        return nullptr;
    }
    std::unique_ptr<MovieReader> reader(new MovieReader);
    reader->durationSeconds_ = movie.durationSeconds();
    reader->streamOfTrack_.assign(movie.trackCount(), -1);

    bool quickTime = true;
    for (std::size_t t = 0; t < movie.trackCount(); ++t)
        quickTime = quickTime &&
                    MovieAccess::media(movie.track(t)).storage == MovieMedia::Storage::QuickTime;

    AVFormatContext *raw = nullptr;
    if (quickTime) {
        // libavformat applies the edit lists of a reference movie to the files it points at.
        const auto temporary = temporaryMoviePath();
        if (temporary.empty()) {
            fail(status, MovieError::WriteFailed, "no temporary file: " + errnoText());
            return nullptr;
        }
        const auto written = movie.writeReference(temporary);
        if (!written) {
            ::unlink(temporary.c_str());
            if (status)
                *status = written;
            return nullptr;
        }
        AVDictionary *options = nullptr;
        av_dict_set(&options, "enable_drefs", "1", 0);
        av_dict_set(&options, "use_absolute_path", "1", 0);
        const int opened = avformat_open_input(&raw, temporary.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (opened >= 0)
            reader->format_.reset(raw);
        const int info = opened >= 0 ? avformat_find_stream_info(raw, nullptr) : opened;
        ::unlink(temporary.c_str());
        if (opened < 0 || info < 0) {
            fail(status, MovieError::ReadFailed,
                 "cannot read the movie's media: " + avErrorText(opened < 0 ? opened : info));
            return nullptr;
        }
        if (reader->format_->nb_streams < movie.trackCount()) {
            fail(status, MovieError::ReadFailed, "a track of the movie cannot be read");
            return nullptr;
        }
        for (std::size_t t = 0; t < movie.trackCount(); ++t)
            reader->streamOfTrack_[t] = static_cast<int>(t);
    } else {
        const auto &path = movie.track(0).sourcePath();
        for (std::size_t t = 0; t < movie.trackCount(); ++t) {
            const auto &track = movie.track(t);
            if (track.sourcePath() != path || !playsWholeStream(track))
                return openThroughCopy(movie, status);
            reader->streamOfTrack_[t] = track.streamIndex();
        }
        if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
            fail(status, MovieError::ReadFailed, "cannot read \"" + path + "\"");
            return nullptr;
        }
        reader->format_.reset(raw);
        if (avformat_find_stream_info(raw, nullptr) < 0) {
            fail(status, MovieError::ReadFailed, "cannot read \"" + path + "\"");
            return nullptr;
        }
    }
    reader->trackOfStream_.assign(reader->format_->nb_streams, -1);
    for (std::size_t t = 0; t < reader->streamOfTrack_.size(); ++t) {
        const int stream = reader->streamOfTrack_[t];
        if (stream >= 0 && stream < static_cast<int>(reader->format_->nb_streams))
            reader->trackOfStream_[static_cast<std::size_t>(stream)] = static_cast<int>(t);
    }
    for (unsigned i = 0; i < reader->format_->nb_streams; ++i)
        if (reader->trackOfStream_[i] < 0)
            reader->format_->streams[i]->discard = AVDISCARD_ALL;
    // Media read through a QuickTime movie is in movie time already; an unedited source is
    // read on its container's clock, which is moved to start with the movie.
    reader->shiftOfStream_.assign(reader->format_->nb_streams, 0);
    if (!quickTime) {
        AVRational unit{1, 1};
        const std::int64_t origin = movieOrigin(movie, &unit);
        for (unsigned i = 0; i < reader->format_->nb_streams; ++i)
            reader->shiftOfStream_[i] =
                av_rescale_q(origin, unit, reader->format_->streams[i]->time_base);
    }
    return reader;
}

AVStream *MovieReader::stream(std::size_t trackIndex) const {
    if (trackIndex >= streamOfTrack_.size() || streamOfTrack_[trackIndex] < 0)
        return nullptr;
    return format_->streams[streamOfTrack_[trackIndex]];
}

int MovieReader::trackIndexOfStream(int streamIndex) const {
    if (streamIndex < 0 || streamIndex >= static_cast<int>(trackOfStream_.size()))
        return -1;
    return trackOfStream_[static_cast<std::size_t>(streamIndex)];
}

int MovieReader::readPacket(AVPacket *packet, std::size_t *trackIndex) {
    for (;;) {
        av_packet_unref(packet);
        const int result = av_read_frame(format_.get(), packet);
        if (result < 0)
            return result;
        const int track = trackIndexOfStream(packet->stream_index);
        if (track >= 0) {
            const std::int64_t shift =
                shiftOfStream_[static_cast<std::size_t>(packet->stream_index)];
            if (packet->pts != AV_NOPTS_VALUE)
                packet->pts -= shift;
            if (packet->dts != AV_NOPTS_VALUE)
                packet->dts -= shift;
            if (trackIndex)
                *trackIndex = static_cast<std::size_t>(track);
            return 0;
        }
    }
}

} // namespace toolbox
