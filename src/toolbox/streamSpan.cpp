#include "streamSpan.h"

#include "libavHandles.h"

#include <algorithm>
#include <limits>

namespace toolbox {

namespace {

constexpr AVRational kNinetyKHz{1, 90000};
constexpr std::int64_t kPtsWrap = std::int64_t{1} << 33;

// Reads packets from where the context stands, keeping the video stream's timed ones, until
// the end of the file, a picture later than untilPts, or a packet beyond maxPos.
void readPictures(AVFormatContext *input, AVPacket *packet, int stream, std::int64_t untilPts,
                  std::int64_t maxPos, std::vector<SpanPicture> &pictures) {
    while (av_read_frame(input, packet) >= 0) {
        const bool video = packet->stream_index == stream && packet->pts != AV_NOPTS_VALUE;
        SpanPicture picture;
        if (video) {
            picture.pts = av_rescale_q(packet->pts, input->streams[stream]->time_base, kNinetyKHz);
            picture.pos = packet->pos;
            picture.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        }
        const std::int64_t pos = packet->pos;
        av_packet_unref(packet);
        if (video) {
            if (pictures.empty() && untilPts != std::numeric_limits<std::int64_t>::max()) {
                // A time of the stream's 33-bit clock: moved by whole turns to the nearest of
                // the first picture, so a file that runs through the clock's wrap still stops
                // past it.
                const std::int64_t apart = picture.pts - untilPts + kPtsWrap / 2;
                std::int64_t turns = apart / kPtsWrap;
                if (apart % kPtsWrap < 0)
                    --turns;
                untilPts += turns * kPtsWrap;
            }
            pictures.push_back(picture);
            if (picture.pts > untilPts) {
                return;
            }
        }
        if (pos > maxPos) {
            return;
        }
    }
}

} // namespace

MovieStatus readStreamSpan(const std::string &path, std::int64_t headUntilPts, StreamSpan &span) {
    span = StreamSpan{};
    if (path.empty())
        return MovieStatus::failure(MovieError::InvalidArgument, "no file to read");
    const std::string url = "file:" + path;
    AVFormatContext *raw = nullptr;
    int err = avformat_open_input(&raw, url.c_str(), nullptr, nullptr);
    if (err < 0)
        return MovieStatus::failure(err == AVERROR(ENOENT) ? MovieError::FileNotFound
                                                           : MovieError::NotAMovie,
                                    "\"" + path + "\": " + avErrorText(err));
    InputFormatPtr input(raw);
    err = avformat_find_stream_info(input.get(), nullptr);
    if (err < 0)
        return MovieStatus::failure(MovieError::ReadFailed,
                                    "\"" + path + "\": " + avErrorText(err));
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        return MovieStatus::failure(MovieError::ReadFailed, "\"" + path + "\": no video stream");
    span.size = avio_size(input->pb);
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return MovieStatus::failure(MovieError::ReadFailed, "out of memory");

    readPictures(input.get(), packet.get(), stream, headUntilPts, kSpanHeadBytes, span.head);
    const std::int64_t tailStart = std::max<std::int64_t>(0, span.size - kSpanTailBytes);
    if (av_seek_frame(input.get(), -1, tailStart, AVSEEK_FLAG_BYTE) >= 0) {
        readPictures(input.get(), packet.get(), stream, std::numeric_limits<std::int64_t>::max(),
                     std::numeric_limits<std::int64_t>::max(), span.tail);
    }
    if (span.head.empty())
        return MovieStatus::failure(MovieError::ReadFailed,
                                    "\"" + path + "\": no timed picture at its start");
    if (span.tail.empty())
        span.tail = span.head;

    // The first picture is the earliest of the head, the last the latest of both parts (a
    // byte seek may land anywhere in the file).
    span.firstPts = std::numeric_limits<std::int64_t>::max();
    span.lastPts = std::numeric_limits<std::int64_t>::min();
    for (const SpanPicture &picture : span.head) {
        span.firstPts = std::min(span.firstPts, picture.pts);
        span.lastPts = std::max(span.lastPts, picture.pts);
    }
    for (const SpanPicture &picture : span.tail) {
        span.lastPts = std::max(span.lastPts, picture.pts);
    }
    const AVRational rate = input->streams[stream]->avg_frame_rate.num > 0
                                ? input->streams[stream]->avg_frame_rate
                                : input->streams[stream]->r_frame_rate;
    span.frameTicks = rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), kNinetyKHz) : 0;
    return MovieStatus::success();
}

} // namespace toolbox
