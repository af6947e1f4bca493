#include "fieldSampleCounts.h"

#include "libavHandles.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

namespace toolbox {

namespace {

struct FilterGraphFreer {
    void operator()(AVFilterGraph *graph) const { avfilter_graph_free(&graph); }
};
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphFreer>;

constexpr double kSampleStreamSeconds = 4.0;
// Packets of one sample read at most (the search for its key frame included): a damaged file
// whose timestamps never grow still ends.
constexpr int kSamplePacketLimit = 1500;
// Packets searched for a key one before every packet is decoded, in a file whose demuxer has
// flagged no key packet yet.
constexpr int kKeySearchPackets = 300;
// How far a sample that finds no key picture after its point steps back for the one before it
// (then four times further each time, past the last step to the file's start), and how many
// packets its search reads: some per second searched (fields of 60 moments, and the sound's
// packets are not counted), never more than the cap.
constexpr double kFirstStepBackSeconds = 4.0;
constexpr double kLastStepBackSeconds = 64.0;
constexpr double kKeySearchPacketsPerSecond = 240.0;
constexpr double kKeySearchPacketCap = 20000.0;
// How far before its point a sample is sought: a transport stream's seek lands near the point,
// often past the key frame before it; the first key frame after the landing starts the sample.
constexpr double kSeekLeadSeconds = 1.0;

// The name of the look's idet, whose counts are read from its pictures.
constexpr const char *kIdetName = "fieldSampleIdet";

/// libav's printer, less the counts the look's idet prints when its graph is freed: they are
/// read from its pictures, and would otherwise reach the standard error of every run.
void logWithoutIdetCounts(void *context, int level, const char *format, va_list args) {
    if (context != nullptr && level > AV_LOG_WARNING) {
        const AVClass *cls = *static_cast<const AVClass *const *>(context);
        if (cls != nullptr && cls->item_name != nullptr &&
            std::strcmp(cls->class_name, "AVFilter") == 0 &&
            std::strcmp(cls->item_name(context), kIdetName) == 0)
            return;
    }
    av_log_default_callback(context, level, format, args);
}

MovieStatus unreadable(const std::string &path, const std::string &why) {
    return MovieStatus::failure(MovieError::ReadFailed, "\"" + path + "\": " + why);
}

/// One idet over the pictures of one sample: buffer -> idet -> buffersink.
class IdetGraph {
public:
    bool open(const AVFrame &first, AVRational timeBase) {
        graph_.reset(avfilter_graph_alloc());
        if (!graph_)
            return false;
        graph_->nb_threads = 1;
        width_ = first.width;
        height_ = first.height;
        format_ = first.format;
        const AVRational aspect =
            first.sample_aspect_ratio.num > 0 ? first.sample_aspect_ratio : AVRational{1, 1};
        const std::string args =
            "video_size=" + std::to_string(first.width) + "x" + std::to_string(first.height) +
            ":pix_fmt=" + std::to_string(first.format) +
            ":time_base=" + std::to_string(timeBase.num) + "/" + std::to_string(timeBase.den) +
            ":pixel_aspect=" + std::to_string(aspect.num) + "/" + std::to_string(aspect.den);
        AVFilterContext *idet = nullptr;
        if (avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in",
                                         args.c_str(), nullptr, graph_.get()) < 0 ||
            avfilter_graph_create_filter(&idet, avfilter_get_by_name("idet"), kIdetName, nullptr,
                                         nullptr, graph_.get()) < 0 ||
            avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                         nullptr, graph_.get()) < 0 ||
            avfilter_link(source_, 0, idet, 0) < 0 || avfilter_link(idet, 0, sink_, 0) < 0 ||
            avfilter_graph_config(graph_.get(), nullptr) < 0)
            return false;
        output_.reset(av_frame_alloc());
        return output_ != nullptr;
    }

    /// Whether a picture has the size and format the graph was made for.
    bool fits(const AVFrame &frame) const {
        return frame.width == width_ && frame.height == height_ && frame.format == format_;
    }

    bool push(AVFrame *frame) {
        if (av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
            return false;
        return drain();
    }

    void finish() {
        if (av_buffersrc_add_frame_flags(source_, nullptr, 0) >= 0)
            drain();
    }

    const FieldCounts &counts() const { return counts_; }

private:
    bool drain() {
        for (;;) {
            const int err = av_buffersink_get_frame(sink_, output_.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                return true;
            if (err < 0)
                return false;
            // idet writes its running counts into each picture it passes on; the last
            // picture's are the sample's.
            const AVDictionary *metadata = output_->metadata;
            counts_.tff = count(metadata, "lavfi.idet.single.tff");
            counts_.bff = count(metadata, "lavfi.idet.single.bff");
            counts_.progressive = count(metadata, "lavfi.idet.single.progressive");
            counts_.undetermined = count(metadata, "lavfi.idet.single.undetermined");
            counts_.repeatedNeither = count(metadata, "lavfi.idet.repeated.neither");
            counts_.repeatedTop = count(metadata, "lavfi.idet.repeated.top");
            counts_.repeatedBottom = count(metadata, "lavfi.idet.repeated.bottom");
            av_frame_unref(output_.get());
        }
    }

    static int32_t count(const AVDictionary *metadata, const char *key) {
        const AVDictionaryEntry *entry = av_dict_get(metadata, key, nullptr, 0);
        if (entry == nullptr)
            return 0;
        // Printed as a fixed-point number ("12.00").
        const double value = std::strtod(entry->value, nullptr);
        if (!(value >= 0) || value > 1e8)
            return 0;
        return static_cast<int32_t>(std::lround(value));
    }

    FilterGraphPtr graph_;
    AVFilterContext *source_ = nullptr;
    AVFilterContext *sink_ = nullptr;
    FramePtr output_;
    FieldCounts counts_;
    int width_ = 0;
    int height_ = 0;
    int format_ = -1;
};

/// What one sample saw: idet's counts, and whether a key packet was found before its key
/// search ended (without one nothing was decoded).
struct SampleLook {
    FieldCounts counts;
    bool keySeen = false;
    bool keyFlagged = false; ///< the key packet was flagged as one by the demuxer
};

/// Decodes up to `frames` pictures of `stream` from where the input stands, the first from a key
/// packet, through one idet. The key packet is looked for until `keyLimitTs` (stream time; none:
/// no limit) and `keyPackets` packets; the pictures after it for kSampleStreamSeconds of its
/// time. Without a flagged key packet after `forceAfter` packets, they are decoded anyway.
SampleLook lookAtSample(AVFormatContext *input, int stream, AVCodecContext *decoder, int32_t frames,
                        int64_t keyLimitTs, int keyPackets, int forceAfter) {
    const AVStream *st = input->streams[stream];
    const int64_t span = av_rescale_q(static_cast<int64_t>(kSampleStreamSeconds * AV_TIME_BASE),
                                      AV_TIME_BASE_Q, st->time_base);
    int64_t limitTs = keyLimitTs;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    IdetGraph idet;
    bool graphOpen = false;
    bool stopped = false;
    SampleLook look;
    if (!packet || !frame)
        return look;
    int32_t decoded = 0;
    bool draining = false;
    bool keySeen = false;
    int packets = 0;
    int keyPacket = 0;
    while (decoded < frames && !stopped) {
        if (!draining) {
            const int err = av_read_frame(input, packet.get());
            if (err < 0) {
                draining = true;
                avcodec_send_packet(decoder, nullptr);
            } else if (packet->stream_index != stream) {
                av_packet_unref(packet.get());
                continue;
            } else {
                const int64_t ts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
                ++packets;
                if ((keySeen ? packets - keyPacket > kSamplePacketLimit : packets > keyPackets) ||
                    (limitTs != AV_NOPTS_VALUE && ts != AV_NOPTS_VALUE && ts > limitTs)) {
                    av_packet_unref(packet.get());
                    draining = true;
                    avcodec_send_packet(decoder, nullptr);
                } else {
                    // A seek lands near its point, not on a key frame: the packets before the
                    // first key one lack their references and are not decoded. A demuxer that
                    // flags no key packet at all has every packet decoded after a while.
                    const bool flagged = (packet->flags & AV_PKT_FLAG_KEY) != 0;
                    if (!keySeen && (flagged || packets > forceAfter)) {
                        keySeen = true;
                        look.keyFlagged = flagged;
                        keyPacket = packets;
                        // The sample's pictures: kSampleStreamSeconds from its key picture.
                        limitTs = ts != AV_NOPTS_VALUE ? ts + span : AV_NOPTS_VALUE;
                    }
                    const int sent = keySeen ? avcodec_send_packet(decoder, packet.get()) : 0;
                    av_packet_unref(packet.get());
                    // A damaged packet is skipped, as the ffmpeg program does.
                    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA)
                        break;
                }
            }
        }
        for (;;) {
            const int err = avcodec_receive_frame(decoder, frame.get());
            if (err == AVERROR(EAGAIN) && !draining)
                break;
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) {
                stopped = true;
                break;
            }
            if (err == AVERROR_INVALIDDATA)
                continue;
            if (err < 0) {
                stopped = true;
                break;
            }
            if (!graphOpen) {
                graphOpen = idet.open(*frame, st->time_base);
                if (!graphOpen) {
                    stopped = true;
                    av_frame_unref(frame.get());
                    break;
                }
            }
            // A picture of another size or format ends the sample: idet compares each
            // picture with the one before.
            if (!idet.fits(*frame) || !idet.push(frame.get())) {
                stopped = true;
                av_frame_unref(frame.get());
                break;
            }
            av_frame_unref(frame.get());
            if (++decoded >= frames)
                break;
        }
    }
    look.keySeen = keySeen;
    if (!graphOpen)
        return look;
    idet.finish();
    look.counts = idet.counts();
    return look;
}

} // namespace

FieldSampleReport fieldSampleCounts(const std::string &path, const std::vector<double> &starts,
                                    int32_t frames, const std::string &forceFormat) {
    static std::once_flag logOnce;
    std::call_once(logOnce, [] { av_log_set_callback(logWithoutIdetCounts); });
    FieldSampleReport report;
    if (path.empty() || starts.empty() || frames <= 0) {
        report.status = MovieStatus::failure(MovieError::InvalidArgument, "nothing to look at");
        return report;
    }
    const AVInputFormat *format = nullptr;
    if (!forceFormat.empty()) {
        format = av_find_input_format(forceFormat.c_str());
        if (format == nullptr) {
            report.status = MovieStatus::failure(MovieError::InvalidArgument,
                                                 "no container format named " + forceFormat);
            return report;
        }
    }
    // "file:" keeps a name such as "concat:a|b" or "pipe:0" a plain file.
    const std::string url = "file:" + path;
    AVFormatContext *raw = nullptr;
    int err = avformat_open_input(&raw, url.c_str(), format, nullptr);
    if (err < 0) {
        report.status = MovieStatus::failure(err == AVERROR(ENOENT) ? MovieError::FileNotFound
                                                                    : MovieError::NotAMovie,
                                             "\"" + path + "\": " + avErrorText(err));
        return report;
    }
    InputFormatPtr input(raw);
    // A short search of the streams: the pictures' size and format are all the look needs.
    input->max_analyze_duration = AV_TIME_BASE;
    err = avformat_find_stream_info(input.get(), nullptr);
    if (err < 0) {
        report.status = unreadable(path, avErrorText(err));
        return report;
    }
    const AVCodec *codec = nullptr;
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream == AVERROR_DECODER_NOT_FOUND) {
        report.status = unreadable(path, "no decoder for its video");
        return report;
    }
    if (stream < 0 || codec == nullptr) {
        report.status = unreadable(path, "no video stream");
        return report;
    }
    AVStream *st = input->streams[stream];
    for (unsigned k = 0; k < input->nb_streams; ++k) {
        if (static_cast<int>(k) != stream)
            input->streams[k]->discard = AVDISCARD_ALL;
    }
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder) {
        report.status = MovieStatus::failure(MovieError::ReadFailed, "out of memory");
        return report;
    }
    err = avcodec_parameters_to_context(decoder.get(), st->codecpar);
    if (err >= 0) {
        decoder->pkt_timebase = st->time_base;
        // One thread: for a few pictures, the contexts of more cost more than they save. The
        // deblocking filter (a fifth of the decoding) is left out: combing survives it.
        decoder->thread_count = 1;
        decoder->skip_loop_filter = AVDISCARD_ALL;
        err = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (err < 0) {
        report.status = unreadable(path, std::string("cannot open the ") + codec->name +
                                             " decoder: " + avErrorText(err));
        return report;
    }
    const int64_t origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    const int64_t fileOrigin = input->start_time != AV_NOPTS_VALUE ? input->start_time : 0;
    const auto streamTs = [&](double seconds) {
        return origin + av_rescale_q(static_cast<int64_t>(seconds * AV_TIME_BASE), AV_TIME_BASE_Q,
                                     st->time_base);
    };
    // Once the demuxer has flagged a key packet, unflagged ones are never decoded as if they
    // were: the key picture of a long group may lie hundreds of packets away.
    bool keysFlagged = false;
    for (const double start : starts) {
        const bool seeks = (start > 0 && std::isfinite(start)) || !report.samples.empty();
        const double point = seeks && start > kSeekLeadSeconds && std::isfinite(start)
                                 ? start - kSeekLeadSeconds
                                 : 0.0;
        // The key picture is looked for from where the seek lands to a few seconds past the
        // point; when there is none, the sample steps back to the one before the point, at
        // last to the file's start.
        const int64_t keyLimitTs = streamTs(point + kSampleStreamSeconds);
        double back = 0;
        SampleLook look;
        for (;;) {
            const double from = std::max(0.0, point - back);
            if (seeks) {
                // Over the file's own clock, to the key frame at or before the point where the
                // demuxer can tell; the file's start by its first byte where the demuxer can
                // (a transport stream's search by time lands past its first picture).
                const int64_t target = fileOrigin + static_cast<int64_t>(from * AV_TIME_BASE);
                const bool toStart =
                    from <= 0 && av_seek_frame(input.get(), -1, 0, AVSEEK_FLAG_BYTE) >= 0;
                if (!toStart &&
                    avformat_seek_file(input.get(), -1, INT64_MIN, target, target, 0) < 0) {
                    // A file that can't seek there gives an empty sample, which decides nothing.
                    look = {};
                    break;
                }
                avcodec_flush_buffers(decoder.get());
            }
            const double searched = point - from + kSampleStreamSeconds;
            const int keyPackets = static_cast<int>(std::min<double>(
                kKeySearchPacketCap, kSamplePacketLimit + searched * kKeySearchPacketsPerSecond));
            look = lookAtSample(input.get(), stream, decoder.get(), frames, keyLimitTs, keyPackets,
                                keysFlagged ? std::numeric_limits<int>::max() : kKeySearchPackets);
            // A decoder drained at a sample's end takes no more packets until it is flushed.
            avcodec_flush_buffers(decoder.get());
            keysFlagged = keysFlagged || look.keyFlagged;
            if (look.keySeen || !seeks || from <= 0) {
                break;
            }
            back = back == 0 ? kFirstStepBackSeconds : back * 4;
            if (back > kLastStepBackSeconds) {
                back = point;
            }
        }
        report.samples.push_back(look.counts);
    }
    report.status = MovieStatus::success();
    return report;
}

} // namespace toolbox
