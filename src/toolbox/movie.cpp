#include "movie.h"

#include "fileIo.h"
#include "movieEdits.h"
#include "movieMedia.h"
#include "quickTimeReader.h"
#include "sampleTables.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace toolbox {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kLibavMovieTimeScale = 1000;

MovieStatus fail(MovieStatus *status, MovieError error, std::string message) {
    auto result = MovieStatus::failure(error, std::move(message));
    if (status)
        *status = result;
    return result;
}

OSType mediaTypeOfStream(const AVStream &stream) {
    const auto &parameters = *stream.codecpar;
    switch (parameters.codec_type) {
    case AVMEDIA_TYPE_VIDEO:
        return kVideoMediaType;
    case AVMEDIA_TYPE_AUDIO:
        return kSoundMediaType;
    case AVMEDIA_TYPE_SUBTITLE:
        if (parameters.codec_id == AV_CODEC_ID_MOV_TEXT)
            return kTextMediaType;
        if (parameters.codec_id == AV_CODEC_ID_EIA_608)
            return kClosedCaptionMediaType;
        return kSubtitleMediaType;
    default:
        if (parameters.codec_tag == MKTAG('t', 'm', 'c', 'd'))
            return kTimeCodeMediaType;
        return kDataMediaType;
    }
}

CodecParametersPtr parametersFor(OSType mediaType, const AVCodecParameters *from) {
    CodecParametersPtr parameters(avcodec_parameters_alloc());
    if (from)
        avcodec_parameters_copy(parameters.get(), from);
    else
        parameters->codec_type = mediaType == kVideoMediaType   ? AVMEDIA_TYPE_VIDEO
                                 : mediaType == kSoundMediaType ? AVMEDIA_TYPE_AUDIO
                                                                : AVMEDIA_TYPE_DATA;
    return parameters;
}

/// The stream of a QuickTime file whose first sample lies at offset: how a track of a
/// reference movie finds its stream in the file it points at.
int streamWithFirstSampleAt(const std::string &path, OSType mediaType, std::uint64_t offset) {
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    InputFormatPtr format(raw);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream *stream = format->streams[i];
        if (mediaTypeOfStream(*stream) != mediaType ||
            avformat_index_get_entries_count(stream) == 0)
            continue;
        if (static_cast<std::uint64_t>(avformat_index_get_entry(stream, 0)->pos) == offset)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

// ---- MovieTrack ----

OSType MovieTrack::mediaType() const {
    return media_->mediaType;
}

TimeRange MovieTrack::range() const {
    TimeRange range{0, 0, movieTimeScale_};
    bool leading = true;
    for (const auto &edit : edits_) {
        if (leading && edit.mediaTime < 0)
            range.start += edit.movieDuration;
        else
            leading = false, range.duration += edit.movieDuration;
    }
    return range;
}

std::int64_t MovieTrack::mediaDuration() const {
    return media_->duration;
}
std::int32_t MovieTrack::mediaTimeScale() const {
    return media_->timeScale;
}
const std::string &MovieTrack::sourcePath() const {
    return media_->path;
}
int MovieTrack::streamIndex() const {
    return media_->streamIndex;
}
const AVCodecParameters *MovieTrack::codecParameters() const {
    return media_->codecParameters.get();
}

std::vector<EditSegment> MovieTrack::edits() const {
    std::vector<EditSegment> segments;
    std::int64_t start = 0;
    for (const auto &edit : edits_) {
        segments.push_back({start, edit.movieDuration, edit.mediaTime, edit.rate});
        start += edit.movieDuration;
    }
    return segments;
}

std::int64_t MovieTrack::dataSize() const {
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    for (const auto &edit : edits_)
        if (edit.mediaTime >= 0)
            ranges.emplace_back(edit.mediaTime, mediaTimeAt(edit, edit.movieDuration,
                                                            media_->timeScale, movieTimeScale_));
    if (media_->storage == MovieMedia::Storage::QuickTime)
        return sampleBytesInRanges(*media_, ranges);

    // Libav streams: the packets of the stream inside the played ranges, read once.
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, media_->path.c_str(), nullptr, nullptr) < 0)
        return -1;
    InputFormatPtr format(raw);
    PacketPtr packet(av_packet_alloc());
    std::int64_t total = 0;
    const AVRational mediaUnit{1, media_->timeScale};
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == media_->streamIndex) {
            const auto when = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            const auto time = when == AV_NOPTS_VALUE ? 0
                                                     : av_rescale_q(when - media_->startTime,
                                                                    media_->timeBase, mediaUnit);
            for (const auto &[start, end] : ranges)
                if (time >= start && time < end) {
                    total += packet->size;
                    break;
                }
        }
        av_packet_unref(packet.get());
    }
    return total;
}

// ---- Movie ----

Movie::~Movie() = default;

std::unique_ptr<Movie> Movie::newMovie(std::int32_t timeScale) {
    std::unique_ptr<Movie> movie(new Movie);
    movie->timeScale_ = timeScale > 0 ? timeScale : 600;
    return movie;
}

std::unique_ptr<Movie> Movie::open(const std::string &path, MovieStatus *status) {
    if (status)
        *status = MovieStatus::success();
    // Only a regular file: libavformat would wait for ever on a FIFO, or read a device.
    if (const std::string refusal = path.empty() ? "is no path" : regularFileRefusal(path);
        !refusal.empty()) {
        fail(status, MovieError::FileNotFound, "no movie file at \"" + path + "\": it " + refusal);
        return nullptr;
    }
    std::unique_ptr<Movie> movie(new Movie);
    movie->path_ = path;

    ParsedMovie parsed;
    bool isQuickTime = false;
    const auto read = readQuickTimeMovie(path, parsed, isQuickTime);
    if (isQuickTime) {
        if (!read) {
            if (status)
                *status = read;
            return nullptr;
        }
        movie->timeScale_ = parsed.timeScale;
        movie->matrix_ = parsed.matrix;
        movie->fileType_ = parsed.fileType;
        movie->creationTime_ = parsed.creationTime;
        movie->modificationTime_ = parsed.modificationTime;
        movie->userData_ = std::move(parsed.userData);
        movie->metadata_ = std::move(parsed.metadata);
        // Codec parameters from libavformat's reading of the same header.
        AVFormatContext *raw = nullptr;
        InputFormatPtr format;
        if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) >= 0)
            format.reset(raw);
        for (auto &parsedTrack : parsed.tracks) {
            auto &media = *parsedTrack.media;
            const AVCodecParameters *parameters = nullptr;
            for (unsigned i = 0; format && i < format->nb_streams; ++i)
                if (format->streams[i]->id == static_cast<int>(parsedTrack.trackId)) {
                    parameters = format->streams[i]->codecpar;
                    if (media.selfReference)
                        media.streamIndex = static_cast<int>(i);
                }
            media.codecParameters = parametersFor(media.mediaType, parameters);
            if (!media.selfReference && !media.chunkOffsets.empty())
                media.streamIndex =
                    streamWithFirstSampleAt(media.path, media.mediaType, media.chunkOffsets[0]);
            MovieTrack track;
            track.media_ = parsedTrack.media;
            track.edits_ = parsedTrack.edits;
            track.movieTimeScale_ = movie->timeScale_;
            track.matrix_ = parsedTrack.matrix;
            track.width_ = parsedTrack.width;
            track.height_ = parsedTrack.height;
            track.enabled_ = parsedTrack.enabled;
            track.layer_ = parsedTrack.layer;
            track.alternateGroup_ = parsedTrack.alternateGroup;
            track.volume_ = parsedTrack.volume;
            tidyEdits(track.edits_);
            movie->tracks_.push_back(std::move(track));
        }
        return movie;
    }

    // Anything else libavformat reads.
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        fail(status, MovieError::NotAMovie, "\"" + path + "\" is not a movie");
        return nullptr;
    }
    InputFormatPtr format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0 || format->nb_streams == 0) {
        fail(status, MovieError::NotAMovie, "\"" + path + "\" holds no stream");
        return nullptr;
    }
    movie->timeScale_ = kLibavMovieTimeScale;
    const AVRational movieUnit{1, kLibavMovieTimeScale};
    std::int64_t movieStart = std::numeric_limits<std::int64_t>::max();
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *stream = format->streams[i];
        if (stream->start_time != AV_NOPTS_VALUE)
            movieStart = std::min(
                movieStart, av_rescale_q(stream->start_time, stream->time_base, AV_TIME_BASE_Q));
    }
    if (movieStart == std::numeric_limits<std::int64_t>::max())
        movieStart = 0;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *stream = format->streams[i];
        if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
            continue;
        auto media = std::make_shared<MovieMedia>();
        media->storage = MovieMedia::Storage::Libav;
        media->path = path;
        media->headerPath = path;
        media->selfReference = true;
        media->streamIndex = static_cast<int>(i);
        media->mediaType = mediaTypeOfStream(*stream);
        media->timeBase = stream->time_base;
        media->timeScale =
            stream->time_base.num == 1 && stream->time_base.den > 0 ? stream->time_base.den : 90000;
        media->startTime = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        const AVRational mediaUnit{1, media->timeScale};
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            media->duration = av_rescale_q(stream->duration, stream->time_base, mediaUnit);
        else if (format->duration != AV_NOPTS_VALUE)
            media->duration = av_rescale_q(format->duration, AV_TIME_BASE_Q, mediaUnit);
        media->codecParameters = parametersFor(media->mediaType, stream->codecpar);
        if (media->mediaType == kVideoMediaType)
            media->frameRate =
                stream->r_frame_rate.num > 0 ? stream->r_frame_rate : stream->avg_frame_rate;

        MovieTrack track;
        track.media_ = media;
        track.movieTimeScale_ = kLibavMovieTimeScale;
        const auto lead = av_rescale_q(
            av_rescale_q(media->startTime, stream->time_base, AV_TIME_BASE_Q) - movieStart,
            AV_TIME_BASE_Q, movieUnit);
        if (lead > 0)
            track.edits_.push_back({lead, -1, 1.0});
        track.edits_.push_back({av_rescale_q(media->duration, mediaUnit, movieUnit), 0, 1.0});
        tidyEdits(track.edits_);
        if (media->mediaType == kVideoMediaType) {
            track.width_ = stream->codecpar->width;
            track.height_ = stream->codecpar->height;
        }
        track.volume_ = media->mediaType == kSoundMediaType ? 0x0100 : 0;
        movie->tracks_.push_back(std::move(track));
    }
    return movie;
}

std::vector<std::size_t> Movie::tracksOfMediaType(OSType type) const {
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < tracks_.size(); ++i)
        if (tracks_[i].mediaType() == type)
            indexes.push_back(i);
    return indexes;
}

MovieStatus Movie::setTimeScale(std::int32_t timeScale) {
    if (timeScale <= 0)
        return MovieStatus::failure(MovieError::InvalidArgument, "a time scale must be positive");
    for (auto &track : tracks_) {
        track.edits_ = rescaleEdits(track.edits_, timeScale_, timeScale);
        track.movieTimeScale_ = timeScale;
    }
    timeScale_ = timeScale;
    return MovieStatus::success();
}

std::optional<std::int64_t> Movie::creationTimeUnix() const {
    constexpr std::int64_t kMacEpochOffset = 2082844800; // 1904-01-01 to 1970-01-01
    if (creationTime_ == 0)
        return std::nullopt;
    return static_cast<std::int64_t>(creationTime_) - kMacEpochOffset;
}

std::int64_t Movie::duration() const {
    std::int64_t longest = 0;
    for (const auto &track : tracks_) {
        const auto range = track.range();
        longest = std::max(longest, range.start + range.duration);
    }
    return longest;
}

MovieRect Movie::box() const {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool any = false;
    auto apply = [](const MovieMatrix &m, double &x, double &y) {
        const double a = m[0] / 65536.0, b = m[1] / 65536.0, c = m[3] / 65536.0, d = m[4] / 65536.0,
                     tx = m[6] / 65536.0, ty = m[7] / 65536.0;
        const double nx = a * x + c * y + tx;
        const double ny = b * x + d * y + ty;
        x = nx, y = ny;
    };
    for (const auto &track : tracks_) {
        if (track.width_ <= 0 || track.height_ <= 0)
            continue;
        for (const auto &[cx, cy] : {std::pair{0.0, 0.0},
                                     {track.width_, 0.0},
                                     {0.0, track.height_},
                                     {track.width_, track.height_}}) {
            double x = cx, y = cy;
            apply(track.matrix_, x, y);
            apply(matrix_, x, y);
            if (!any) {
                left = right = x, top = bottom = y, any = true;
            } else {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    auto clamp = [](double value) {
        return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768l, 32767l));
    };
    return {clamp(top), clamp(left), clamp(bottom), clamp(right)};
}

MovieStatus Movie::removeTrack(std::size_t index) {
    if (index >= tracks_.size())
        return MovieStatus::failure(MovieError::NoSuchTrack, "no track " + std::to_string(index));
    tracks_.erase(tracks_.begin() + static_cast<std::ptrdiff_t>(index));
    return MovieStatus::success();
}

MovieStatus Movie::insertMovieSegment(const Movie &source, std::int64_t sourceStart,
                                      std::int64_t sourceDuration, std::int64_t destinationTime) {
    if (sourceStart < 0 || sourceDuration < 0 || destinationTime < 0)
        return MovieStatus::failure(MovieError::InvalidArgument, "negative segment time");
    if (&source == this)
        return MovieStatus::failure(MovieError::InvalidArgument,
                                    "a movie cannot be inserted into itself");
    const auto length = av_rescale(sourceDuration, timeScale_, source.timeScale_);
    for (auto &track : tracks_)
        insertEmptyEdit(track.edits_, destinationTime, length, track.media_->timeScale, timeScale_);
    if (tracks_.empty())
        matrix_ = source.matrix_;
    if (creationTime_ == 0 && userData_.empty() && metadata_.empty()) {
        // A movie made of others keeps the dates and metadata of the first one.
        creationTime_ = source.creationTime_;
        modificationTime_ = source.modificationTime_;
        userData_ = source.userData_;
        metadata_ = source.metadata_;
    }
    for (const auto &sourceTrack : source.tracks_) {
        MovieTrack track = sourceTrack;
        auto part = extractEdits(sourceTrack.edits_, sourceStart, sourceDuration,
                                 sourceTrack.media_->timeScale, source.timeScale_);
        track.edits_ = rescaleEdits(part, source.timeScale_, timeScale_);
        if (destinationTime > 0 && !track.edits_.empty()) {
            std::vector<MovieTrack::Edit> shifted{{destinationTime, -1, 1.0}};
            shifted.insert(shifted.end(), track.edits_.begin(), track.edits_.end());
            track.edits_ = std::move(shifted);
        }
        track.movieTimeScale_ = timeScale_;
        tidyEdits(track.edits_);
        tracks_.push_back(std::move(track));
    }
    return MovieStatus::success();
}

MovieStatus Movie::addTracks(const Movie &source) {
    if (&source == this)
        return MovieStatus::failure(MovieError::InvalidArgument,
                                    "a movie cannot be added to itself");
    if (tracks_.empty())
        matrix_ = source.matrix_;
    for (const auto &sourceTrack : source.tracks_) {
        MovieTrack track = sourceTrack;
        track.edits_ = rescaleEdits(sourceTrack.edits_, source.timeScale_, timeScale_);
        track.movieTimeScale_ = timeScale_;
        tidyEdits(track.edits_);
        tracks_.push_back(std::move(track));
    }
    return MovieStatus::success();
}

MovieStatus Movie::deleteSegment(std::int64_t start, std::int64_t duration,
                                 std::int32_t timeScale) {
    if (timeScale <= 0 || start < 0 || duration < 0)
        return MovieStatus::failure(MovieError::InvalidArgument, "invalid segment to delete");
    const auto from = av_rescale(start, timeScale_, timeScale);
    const auto to = av_rescale(start + duration, timeScale_, timeScale);
    for (auto &track : tracks_)
        deleteEdits(track.edits_, from, to - from, track.media_->timeScale, timeScale_);
    return MovieStatus::success();
}

void Movie::startTimecodesAtTheirFirstSample() {
    for (auto &track : tracks_) {
        if (track.media_->mediaType != fourCharCode("tmcd"))
            continue;
        const auto playing =
            std::find_if(track.edits_.begin(), track.edits_.end(),
                         [](const MovieTrack::Edit &edit) { return edit.mediaTime >= 0; });
        if (playing == track.edits_.end() || playing->mediaTime <= 0 || playing->rate != 1.0 ||
            track.media_->timeScale <= 0)
            continue;
        const std::int64_t whole =
            av_rescale(track.media_->duration, timeScale_, track.media_->timeScale);
        const std::int64_t skipped =
            av_rescale(playing->mediaTime, timeScale_, track.media_->timeScale);
        playing->mediaTime = 0;
        playing->movieDuration = std::min(whole, playing->movieDuration + skipped);
    }
}

MovieStatus Movie::scaleSegment(std::int64_t start, std::int64_t duration, std::int64_t newDuration,
                                std::int32_t timeScale) {
    if (timeScale <= 0 || start < 0 || duration <= 0 || newDuration <= 0)
        return MovieStatus::failure(MovieError::InvalidArgument, "invalid segment to scale");
    const auto from = av_rescale(start, timeScale_, timeScale);
    const auto to = av_rescale(start + duration, timeScale_, timeScale);
    const auto newTo = av_rescale(start + newDuration, timeScale_, timeScale);
    if (to <= from || newTo <= from)
        return MovieStatus::failure(MovieError::InvalidArgument,
                                    "segment shorter than the movie's time unit");
    const double rateFactor = double(duration) / double(newDuration);
    for (auto &track : tracks_)
        scaleEdits(track.edits_, from, to - from, newTo - from, rateFactor, track.media_->timeScale,
                   timeScale_);
    return MovieStatus::success();
}

bool Movie::isSelfContainedQuickTime() const {
    if (path_.empty())
        return false;
    std::error_code code;
    for (const auto &track : tracks_) {
        const auto &media = *track.media_;
        if (media.storage != MovieMedia::Storage::QuickTime || !media.selfReference ||
            !fs::equivalent(media.path, path_, code))
            return false;
    }
    return true;
}

} // namespace toolbox
