#include "movieFacts.h"

#include "atoms.h"
#include "movieEdits.h"
#include "movieMedia.h"
#include "quickTimeReader.h"
#include "sampleTables.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

extern "C" {
#include <libavutil/display.h>
}

namespace toolbox {
namespace {

constexpr std::int64_t kMacEpochOffset = 2082844800; // 1904-01-01 to 1970-01-01

MovieStatus damaged(const std::string &what) {
    return MovieStatus::failure(MovieError::Unsupported, "damaged sample tables: " + what);
}

/// A run of equal values of a time table ('stts': durations, 'ctts': composition offsets).
struct TimeRun {
    std::int64_t count = 0;
    std::int64_t value = 0;
};

/// The runs of 'stts' or 'ctts' (a signed offset in version 1 'ctts'). False when the table
/// says more entries than it holds or more samples than kMovieFactsMaxSamples.
bool readTimeRuns(std::span<const std::uint8_t> atom, bool signedValues,
                  std::vector<TimeRun> &runs) {
    runs.clear();
    if (atom.empty())
        return true;
    if (atom.size() < 16)
        return false;
    AtomReader in(atom.subspan(8));
    in.skip(4); // version and flags
    const auto entries = in.u32();
    if (entries > in.remaining() / 8)
        return false;
    runs.reserve(entries);
    std::int64_t total = 0;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::int64_t count = in.u32();
        const std::uint32_t raw = in.u32();
        const std::int64_t value =
            signedValues ? static_cast<std::int64_t>(static_cast<std::int32_t>(raw)) : raw;
        total += count;
        if (total > kMovieFactsMaxSamples)
            return false;
        runs.push_back({count, value});
    }
    return !in.failed();
}

/// The number of samples 'stsz' lists; -1 when it is damaged.
std::int64_t sampleCountOf(const MovieMedia &media) {
    const auto stsz = sampleTableAtom(media, fourCharCode("stsz"));
    if (stsz.empty())
        return 0;
    if (stsz.size() < 20)
        return -1;
    AtomReader in(stsz.subspan(12));
    const auto uniform = in.u32();
    const auto count = in.u32();
    if (!uniform && count > in.remaining() / 4)
        return -1;
    return count;
}

Rational rationalOf(AVRational value) {
    return reduced(value.num, value.den);
}

/// The rotation of a track matrix, clockwise in degrees, and whether it is only a rotation.
void rotationOf(const MovieMatrix &matrix, PictureFacts &picture) {
    const double a = matrix[0] / 65536.0;
    const double b = matrix[1] / 65536.0;
    const double c = matrix[3] / 65536.0;
    const double d = matrix[4] / 65536.0;
    // QuickTime's matrix turns the picture clockwise for a negative sine in b.
    const double degrees = -std::atan2(b, a) * 180.0 / M_PI;
    const auto quarter = static_cast<std::int32_t>(std::lround(degrees / 90.0));
    picture.rotation = ((quarter % 4) + 4) % 4 * 90;
    const double scale = a * a + b * b;
    picture.matrixIsRotation = std::abs(scale - 1.0) < 1e-3 && std::abs(c + b) < 1e-3 &&
                               std::abs(d - a) < 1e-3 && std::abs(degrees - quarter * 90.0) < 0.5;
}

/// How long the track's edits play, each clipped to the media it has (up to `mediaEnd` in media
/// units, its duration when negative), in seconds.
double playedSeconds(const MovieTrack &track, std::int32_t movieTimeScale,
                     std::int64_t mediaEnd = -1) {
    const auto &edits = MovieAccess::edits(track);
    const double mediaSeconds =
        double(mediaEnd >= 0 ? mediaEnd : track.mediaDuration()) / track.mediaTimeScale();
    double seconds = 0;
    for (const auto &edit : edits) {
        if (edit.mediaTime < 0)
            continue;
        const double from = double(edit.mediaTime) / track.mediaTimeScale();
        const double wanted = double(edit.movieDuration) / movieTimeScale;
        const double rate = edit.rate > 0 ? edit.rate : 1.0;
        const double available = std::max(0.0, mediaSeconds - from) / rate;
        seconds += std::min(wanted, available);
    }
    return seconds;
}

/// The rate of pictures of `total` media units in all (`last` the last one's, often another
/// length), `count` of them: the average duration of all but the last. A duration within a
/// tenth of a unit of a whole rate's, or of a 1000/1001 one's, is that rate: 90 kHz clocks
/// store 59.94 frames/s as 1501 and 1502 alternately.
Rational rateOfDurations(std::int32_t timeScale, std::int64_t total, std::int64_t last,
                         std::int64_t count) {
    if (count <= 0 || total <= 0 || timeScale <= 0)
        return {};
    const std::int64_t units = count > 1 ? total - last : total;
    const std::int64_t pictures = count > 1 ? count - 1 : count;
    if (units <= 0)
        return {};
    const double average = double(units) / double(pictures);
    const double measured = timeScale / average;
    for (const std::int64_t den : {std::int64_t(1), std::int64_t(1001)}) {
        const std::int64_t num =
            den == 1 ? std::llround(measured) : std::llround(measured * 1.001) * 1000;
        if (num <= 0)
            continue;
        const double wanted = double(timeScale) * double(den) / double(num);
        if (std::abs(wanted - average) <= 0.1)
            return reduced(num, den);
    }
    return reduced(std::int64_t(timeScale) * pictures, units);
}

/// The pictures the edits of a QuickTime picture track present (by presentation time) and the
/// rate of its most common picture duration.
MovieStatus countQuickTimePictures(const MovieTrack &track, std::int32_t movieTimeScale,
                                   PictureFacts &picture) {
    const MovieMedia &media = MovieAccess::media(track);
    std::vector<TimeRun> durations;
    std::vector<TimeRun> offsets;
    if (!readTimeRuns(sampleTableAtom(media, fourCharCode("stts")), false, durations))
        return damaged("picture durations");
    if (!readTimeRuns(sampleTableAtom(media, fourCharCode("ctts")), true, offsets))
        return damaged("picture composition offsets");
    const std::int64_t samples = sampleCountOf(media);
    if (samples < 0)
        return damaged("picture sizes");

    // The media ranges the edits show, [start, end) in media time.
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    for (const auto &edit : MovieAccess::edits(track))
        if (edit.mediaTime >= 0)
            ranges.emplace_back(
                edit.mediaTime,
                mediaTimeAt(edit, edit.movieDuration, track.mediaTimeScale(), movieTimeScale));
    // Their union, sorted: each picture is looked up once, however many edits show it.
    std::sort(ranges.begin(), ranges.end());
    std::size_t kept = 0;
    for (const auto &range : ranges) {
        if (kept > 0 && range.first <= ranges[kept - 1].second)
            ranges[kept - 1].second = std::max(ranges[kept - 1].second, range.second);
        else
            ranges[kept++] = range;
    }
    ranges.resize(kept);

    std::int64_t total = 0; // the sum of the picture durations
    std::int64_t last = 0;  // the last one's
    std::int64_t shortest = std::numeric_limits<std::int64_t>::max();
    std::int64_t longest = 0;
    std::int64_t dts = 0;
    std::int64_t sample = 0;
    std::size_t offsetRun = 0;
    std::int64_t offsetLeft = offsets.empty() ? 0 : offsets[0].count;
    std::int64_t shown = 0;
    std::int64_t presentedEnd = 0; // the end of the latest picture, composition offsets included
    for (const TimeRun &run : durations) {
        const std::int64_t count = std::min(run.count, samples - sample);
        if (count <= 0)
            break;
        if (run.value > 0 &&
            count > (std::numeric_limits<std::int64_t>::max() / 4 - total) / run.value)
            return damaged("picture durations");
        total += count * run.value;
        last = run.value;
        for (std::int64_t k = 0; k < count; ++k, ++sample, dts += run.value) {
            std::int64_t pts = dts;
            if (!offsets.empty()) {
                while (offsetLeft == 0 && offsetRun + 1 < offsets.size())
                    offsetLeft = offsets[++offsetRun].count;
                if (offsetLeft > 0) {
                    pts += offsets[offsetRun].value;
                    --offsetLeft;
                }
            }
            presentedEnd = std::max(presentedEnd, pts + run.value);
            // The last range starting at or before pts (the ranges are disjoint and sorted).
            const auto after = std::upper_bound(
                ranges.begin(), ranges.end(), pts,
                [](std::int64_t time, const auto &range) { return time < range.first; });
            if (after != ranges.begin() && pts < (after - 1)->second)
                ++shown;
        }
    }
    picture.pictures = shown;
    picture.seconds = playedSeconds(track, movieTimeScale, presentedEnd);
    picture.rate = rateOfDurations(track.mediaTimeScale(), total, last, sample);
    // Every run's duration but a last picture's of its own.
    for (std::size_t i = 0; i < durations.size(); ++i)
        if (durations[i].value > 0 && (i + 1 < durations.size() || durations[i].count > 1)) {
            shortest = std::min(shortest, durations[i].value);
            longest = std::max(longest, durations[i].value);
        }
    if (longest > 0 && shortest > 0)
        picture.variableRate = double(longest) > double(shortest) * 1.1 + 1.0;
    // Edits at several rates (a slow-motion section) present the pictures at several rates.
    double editRate = 0;
    for (const auto &edit : MovieAccess::edits(track))
        if (edit.mediaTime >= 0) {
            if (editRate > 0 && std::fabs(edit.rate - editRate) > 1e-9 * editRate)
                picture.variableRate = true;
            editRate = edit.rate;
        }
    return MovieStatus::success();
}

/// The text of the creation-date key of a movie's 'meta' atom, or of the 'meta' inside its
/// 'udta' (both whole atoms, as read).
std::optional<std::string> creationKeyTextOf(const std::vector<std::uint8_t> &meta,
                                             const std::vector<std::uint8_t> &userData) {
    const auto bodyOf = [](const std::vector<std::uint8_t> &whole) {
        std::vector<AtomView> atoms;
        listAtoms(whole, atoms);
        return atoms.empty() ? std::span<const std::uint8_t>() : atoms.front().body;
    };
    std::optional<std::string> text;
    if (!meta.empty())
        text = creationDateKeyText(bodyOf(meta));
    if (!text && !userData.empty()) {
        std::vector<AtomView> children;
        listAtoms(bodyOf(userData), children);
        const AtomView inner = findAtom(children, fourCharCode("meta"));
        if (!inner.whole.empty())
            text = creationDateKeyText(inner.body);
    }
    return text;
}

/// The moment of the creation-date key (UTC).
std::optional<std::int64_t> creationKeyOf(const Movie &movie) {
    const std::optional<std::string> text =
        creationKeyTextOf(MovieAccess::metadata(movie), MovieAccess::userData(movie));
    const std::optional<std::uint64_t> mac = text ? iso8601MacTime(*text) : std::nullopt;
    if (!mac)
        return std::nullopt;
    return static_cast<std::int64_t>(*mac) - kMacEpochOffset;
}

void displayOf(const MovieTrack &track, PictureFacts &picture) {
    const AVCodecParameters *parameters = track.codecParameters();
    picture.width = parameters->width;
    picture.height = parameters->height;
    const Rational aspect = rationalOf(parameters->sample_aspect_ratio);
    picture.pixelAspect = aspect.known() ? aspect : Rational{1, 1};
    picture.primaries = parameters->color_primaries;
    picture.transfer = parameters->color_trc;
    picture.matrix = parameters->color_space;
    picture.range = parameters->color_range;
    const AVCodecDescriptor *codec = avcodec_descriptor_get(parameters->codec_id);
    picture.codec = codec != nullptr ? codec->name : "";
    rotationOf(track.matrix(), picture);
}

/// How much of a stream file's end is read for the last timestamps of its streams: a third of
/// a second of a camcorder's 24 Mbit/s, seconds of a phone's.
constexpr std::int64_t kTailBytes = 1LL * 1024 * 1024;

/// The facts of a file without sample tables (a transport stream...), from libavformat: each
/// stream's first timestamp, and its last one read from the file's end (a stream's own
/// duration there is an estimate, a transport stream's sound often a few frames short).
/// The stream file opened with its streams' parameters: from half a second of its head, the
/// pictures' description decoded from key pictures alone on one thread (the other pictures of
/// that half second cost four times as much and add nothing); the whole look again when no key
/// picture described them.
InputFormatPtr openStreamFile(const std::string &path, bool keyPicturesOnly) {
    const std::string url = "file:" + path;
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, url.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    InputFormatPtr format(raw);
    format->max_analyze_duration = AV_TIME_BASE / 2;
    const unsigned streams = format->nb_streams;
    std::vector<AVDictionary *> options(streams, nullptr);
    if (keyPicturesOnly)
        for (AVDictionary *&option : options) {
            av_dict_set(&option, "threads", "1", 0);
            av_dict_set(&option, "skip_frame", "nokey", 0);
        }
    const int found =
        avformat_find_stream_info(format.get(), streams > 0 ? options.data() : nullptr);
    for (AVDictionary *&option : options)
        av_dict_free(&option);
    if (found < 0)
        return nullptr;
    if (keyPicturesOnly)
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVCodecParameters *parameters = format->streams[i]->codecpar;
            if (parameters->codec_type == AVMEDIA_TYPE_VIDEO && parameters->format < 0)
                return openStreamFile(path, false);
        }
    return format;
}

MovieStatus readStreamFacts(const std::string &path, MovieFacts &facts) {
    facts = MovieFacts{};
    // Half a second of the head tells the streams, their rates and their first timestamps.
    InputFormatPtr format = openStreamFile(path, true);
    if (!format)
        return MovieStatus::failure(MovieError::NotAMovie,
                                    "\"" + path + "\" is not a movie or holds no stream");
    const unsigned count = format->nb_streams;
    std::vector<std::int64_t> ends(count, AV_NOPTS_VALUE);
    std::vector<std::int64_t> tailPictures; // the tail's picture times, first video stream
    const int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const std::int64_t size = format->pb != nullptr ? avio_size(format->pb) : -1;
    if (size > 0 && av_seek_frame(format.get(), -1, std::max<std::int64_t>(0, size - kTailBytes),
                                  AVSEEK_FLAG_BYTE) >= 0) {
        PacketPtr packet(av_packet_alloc());
        while (av_read_frame(format.get(), packet.get()) >= 0) {
            const auto index = static_cast<unsigned>(packet->stream_index);
            const std::int64_t when = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (static_cast<int>(index) == video && when != AV_NOPTS_VALUE &&
                tailPictures.size() < 4096)
                tailPictures.push_back(when);
            if (index < count && when != AV_NOPTS_VALUE)
                ends[index] = std::max(ends[index] == AV_NOPTS_VALUE ? when : ends[index],
                                       when + std::max<std::int64_t>(0, packet->duration));
            av_packet_unref(packet.get());
        }
    }
    double movieStart = std::numeric_limits<double>::max();
    for (unsigned i = 0; i < count; ++i) {
        const AVStream *stream = format->streams[i];
        if (stream->start_time != AV_NOPTS_VALUE)
            movieStart = std::min(movieStart, stream->start_time * av_q2d(stream->time_base));
    }
    if (movieStart == std::numeric_limits<double>::max())
        movieStart = 0;
    for (unsigned i = 0; i < count; ++i) {
        const AVStream *stream = format->streams[i];
        const AVCodecParameters *parameters = stream->codecpar;
        const double unit = av_q2d(stream->time_base);
        const double start =
            stream->start_time != AV_NOPTS_VALUE ? stream->start_time * unit : movieStart;
        double seconds = 0;
        if (ends[i] != AV_NOPTS_VALUE && stream->start_time != AV_NOPTS_VALUE)
            seconds = std::max(0.0, (ends[i] - stream->start_time) * unit);
        else if (stream->duration != AV_NOPTS_VALUE)
            seconds = stream->duration * unit;
        facts.durationSeconds = std::max(facts.durationSeconds, start - movieStart + seconds);
        const AVCodecDescriptor *codec = avcodec_descriptor_get(parameters->codec_id);
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && !facts.picture) {
            PictureFacts picture;
            picture.seconds = seconds;
            picture.startSeconds = start - movieStart;
            picture.rate = rationalOf(stream->r_frame_rate.num > 0 ? stream->r_frame_rate
                                                                   : stream->avg_frame_rate);
            picture.pictures = std::llround(seconds * picture.rate.value());
            picture.picturesEstimated = true;
            // The tail's pictures at another spacing than the head's rate: a variable rate.
            std::sort(tailPictures.begin(), tailPictures.end());
            if (tailPictures.size() > 2 && picture.rate.known()) {
                const double spacing = double(tailPictures.back() - tailPictures.front()) /
                                       double(tailPictures.size() - 1) * unit;
                picture.variableRate = std::abs(spacing * picture.rate.value() - 1.0) > 0.05;
            }
            const Rational average = rationalOf(stream->avg_frame_rate);
            if (average.known() && picture.rate.known() &&
                std::abs(average.value() / picture.rate.value() - 1.0) > 0.01)
                picture.variableRate = true;
            picture.width = parameters->width;
            picture.height = parameters->height;
            const Rational aspect = rationalOf(parameters->sample_aspect_ratio);
            picture.pixelAspect = aspect.known() ? aspect : Rational{1, 1};
            picture.primaries = parameters->color_primaries;
            picture.transfer = parameters->color_trc;
            picture.matrix = parameters->color_space;
            picture.range = parameters->color_range;
            picture.codec = codec != nullptr ? codec->name : "";
            const auto *display = reinterpret_cast<const std::int32_t *>(
                av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
            if (display != nullptr) {
                // libavutil's angle turns counterclockwise.
                const double degrees = -av_display_rotation_get(display);
                const auto quarter = static_cast<std::int32_t>(std::lround(degrees / 90.0));
                picture.rotation = ((quarter % 4) + 4) % 4 * 90;
            }
            facts.picture = picture;
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            SoundFacts sound;
            sound.seconds = seconds;
            sound.startSeconds = start - movieStart;
            sound.sampleRate = parameters->sample_rate;
            sound.channels = parameters->ch_layout.nb_channels;
            sound.codec = codec != nullptr ? codec->name : "";
            sound.frameSamples = av_get_exact_bits_per_sample(parameters->codec_id) > 0
                                     ? 1
                                     : std::max(0, parameters->frame_size);
            facts.sounds.push_back(sound);
        }
    }
    const AVDictionaryEntry *created = av_dict_get(format->metadata, "creation_time", nullptr, 0);
    if (created != nullptr)
        if (const auto mac = iso8601MacTime(created->value))
            facts.createdUnix = static_cast<std::int64_t>(*mac) - kMacEpochOffset;
    return MovieStatus::success();
}

} // namespace

MovieStatus editDecodeWork(const MovieTrack &track, std::int32_t movieTimeScale,
                           EditDecodeWork &work) {
    work = {};
    const MovieMedia &media = MovieAccess::media(track);
    std::vector<TimeRun> durations;
    if (!readTimeRuns(sampleTableAtom(media, fourCharCode("stts")), false, durations))
        return damaged("picture durations");
    const std::int64_t samples = sampleCountOf(media);
    if (samples < 0)
        return damaged("picture sizes");
    work.samples = samples;
    if (samples == 0 || durations.empty())
        return MovieStatus::success();

    // Each run's first sample and decode time, to find the sample at a time by bisection.
    struct RunStart {
        std::int64_t sample = 0;
        std::int64_t dts = 0;
        std::int64_t count = 0;
        std::int64_t duration = 0;
    };
    std::vector<RunStart> runs;
    runs.reserve(durations.size());
    std::int64_t sample = 0;
    std::int64_t dts = 0;
    for (const TimeRun &run : durations) {
        const std::int64_t count = std::min(run.count, samples - sample);
        if (count <= 0)
            break;
        if (run.value > 0 &&
            count > (std::numeric_limits<std::int64_t>::max() / 4 - dts) / run.value)
            return damaged("picture durations");
        runs.push_back({sample, dts, count, run.value});
        sample += count;
        dts += count * run.value;
    }
    // The first sample that begins at or after time t (`sample` past the last).
    const auto sampleAt = [&](std::int64_t t) {
        auto after =
            std::upper_bound(runs.begin(), runs.end(), t,
                             [](std::int64_t time, const RunStart &run) { return time < run.dts; });
        if (after == runs.begin())
            return std::int64_t{0};
        const RunStart &run = *(after - 1);
        if (run.duration <= 0)
            return run.sample + run.count;
        const std::int64_t into = (t - run.dts + run.duration - 1) / run.duration;
        return std::min(run.sample + into, run.sample + run.count);
    };

    // The key pictures, by number from 1; no table: every picture is one.
    std::vector<std::int64_t> keys;
    if (const auto stss = sampleTableAtom(media, fourCharCode("stss")); !stss.empty()) {
        if (stss.size() < 16)
            return damaged("key pictures");
        AtomReader in(stss.subspan(8));
        in.skip(4);
        const auto entries = in.u32();
        if (entries > in.remaining() / 4)
            return damaged("key pictures");
        keys.reserve(entries);
        for (std::uint32_t i = 0; i < entries; ++i)
            keys.push_back(in.u32());
        std::sort(keys.begin(), keys.end());
    }
    for (const auto &edit : MovieAccess::edits(track)) {
        if (edit.mediaTime < 0)
            continue;
        const std::int64_t end =
            mediaTimeAt(edit, edit.movieDuration, track.mediaTimeScale(), movieTimeScale);
        const std::int64_t first = std::min(sampleAt(edit.mediaTime), sample - 1);
        const std::int64_t last = std::max(sampleAt(end), first + 1);
        std::int64_t key = first;
        if (!keys.empty()) {
            const auto at = std::upper_bound(keys.begin(), keys.end(), first + 1);
            key = at == keys.begin() ? 0 : *(at - 1) - 1;
        }
        work.shown += last - first;
        work.decoded += last - key;
    }
    return MovieStatus::success();
}

Rational reduced(std::int64_t num, std::int64_t den) {
    if (num <= 0 || den <= 0)
        return {};
    const std::int64_t divisor = std::gcd(num, den);
    return {num / divisor, den / divisor};
}

MovieStatus movieFactsOf(const Movie &movie, MovieFacts &facts) {
    facts = MovieFacts{};
    const std::int32_t scale = movie.timeScale();
    facts.durationSeconds = movie.durationSeconds();
    facts.createdUnix = movie.creationTimeUnix();
    facts.creationKeyUnix = creationKeyOf(movie);
    for (std::size_t i = 0; i < movie.trackCount(); ++i) {
        const MovieTrack &track = movie.track(i);
        const MovieMedia &media = MovieAccess::media(track);
        facts.quickTime =
            (i == 0 || facts.quickTime) && media.storage == MovieMedia::Storage::QuickTime;
        // Disabled tracks count too: a writer enables one track of each kind only, and the
        // kept sound of a source is its first, enabled or not.
        if (track.mediaTimeScale() <= 0)
            continue;
        if (track.mediaType() == kVideoMediaType && !facts.picture) {
            PictureFacts picture;
            picture.seconds = playedSeconds(track, scale);
            picture.startSeconds = track.range().startSeconds();
            displayOf(track, picture);
            if (media.storage == MovieMedia::Storage::QuickTime) {
                if (const MovieStatus counted = countQuickTimePictures(track, scale, picture);
                    !counted)
                    return counted;
            } else {
                // No sample tables: the stream's own rate, over the span its timestamps cover.
                picture.rate = rationalOf(media.frameRate);
                picture.pictures = std::llround(picture.seconds * picture.rate.value());
            }
            facts.picture = picture;
        } else if (track.mediaType() == kSoundMediaType) {
            SoundFacts sound;
            sound.seconds = playedSeconds(track, scale);
            sound.startSeconds = track.range().startSeconds();
            const AVCodecParameters *parameters = track.codecParameters();
            sound.sampleRate = parameters->sample_rate;
            sound.channels = parameters->ch_layout.nb_channels;
            const AVCodecDescriptor *codec = avcodec_descriptor_get(parameters->codec_id);
            sound.codec = codec != nullptr ? codec->name : "";
            sound.frameSamples = av_get_exact_bits_per_sample(parameters->codec_id) > 0
                                     ? 1
                                     : std::max(0, parameters->frame_size);
            facts.sounds.push_back(sound);
        }
    }
    return MovieStatus::success();
}

MovieStatus readMovieFacts(const std::string &path, MovieFacts &facts,
                           const std::function<void(Movie &movie)> &asPresented) {
    facts = MovieFacts{};
    // A file that is no QuickTime file has no tables to read: libavformat's reading of its
    // streams is the one needed (opening it as a movie too would probe it twice).
    File file;
    if (file.open(path)) {
        std::vector<TopLevelAtom> atoms;
        bool quickTime = false;
        bool truncated = false;
        scanTopLevelAtoms(file, atoms, quickTime, truncated);
        if (!quickTime)
            return readStreamFacts(path, facts);
    }
    MovieStatus status;
    const std::unique_ptr<Movie> movie = Movie::open(path, &status);
    if (!movie)
        return status;
    if (asPresented)
        asPresented(*movie);
    if (const MovieStatus read = movieFactsOf(*movie, facts); !read)
        return read;
    // Without sample tables the timing comes from the streams' timestamps.
    return facts.quickTime || movie->trackCount() == 0 ? MovieStatus::success()
                                                       : readStreamFacts(path, facts);
}

std::optional<MovieRecordedDate> movieRecordedDate(const std::string &path) {
    // The header alone, through the toolbox's own reader: nothing else of the file is read
    // (a card's file keeps its access time), and no other container is opened.
    ParsedMovie parsed;
    bool isQuickTime = false;
    if (!readQuickTimeMovie(path, parsed, isQuickTime) || !isQuickTime)
        return std::nullopt;
    if (const std::optional<std::string> text = creationKeyTextOf(parsed.metadata, parsed.userData))
        if (const std::optional<std::uint64_t> mac = iso8601MacTime(*text))
            return MovieRecordedDate{static_cast<std::int64_t>(*mac) - kMacEpochOffset,
                                     iso8601ZoneSeconds(*text), true};
    const std::int64_t created = static_cast<std::int64_t>(parsed.creationTime) - kMacEpochOffset;
    if (parsed.creationTime != 0 && created >= kMovieRecordedDateEarliest)
        return MovieRecordedDate{created, std::nullopt, false};
    return std::nullopt;
}

} // namespace toolbox
