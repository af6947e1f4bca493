#include "thumbnail.h"

#include "fileIo.h"
#include "libavHandles.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <span>

namespace toolbox {

namespace {

struct ScalerFreer {
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

MovieStatus unreadable(const std::string &path, const std::string &why) {
    return MovieStatus::failure(MovieError::ReadFailed, "\"" + path + "\": " + why);
}

MovieStatus stopped() {
    return MovieStatus::failure(MovieError::InvalidArgument, "thumbnail cancelled");
}

/// The decoded picture scaled into a JPEG packet.
MovieStatus encodeJpeg(const AVFrame &picture, int width, int height, PacketPtr &jpeg) {
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (codec == nullptr)
        return MovieStatus::failure(MovieError::Unsupported, "no JPEG encoder");
    CodecContextPtr encoder(avcodec_alloc_context3(codec));
    FramePtr scaled(av_frame_alloc());
    jpeg.reset(av_packet_alloc());
    if (!encoder || !scaled || !jpeg)
        return MovieStatus::failure(MovieError::WriteFailed, "out of memory");
    // Full-range 4:2:0, the ffmpeg program's choice for a JPEG from camera video.
    const AVPixelFormat format = AV_PIX_FMT_YUV420P;
    encoder->width = width;
    encoder->height = height;
    encoder->pix_fmt = format;
    encoder->time_base = AVRational{1, 25};
    encoder->color_range = AVCOL_RANGE_JPEG;
    encoder->flags |= AV_CODEC_FLAG_QSCALE;
    encoder->global_quality = FF_QP2LAMBDA * 3;
    encoder->thread_count = 1;
    int err = avcodec_open2(encoder.get(), codec, nullptr);
    if (err < 0)
        return MovieStatus::failure(MovieError::WriteFailed,
                                    "cannot open the JPEG encoder: " + avErrorText(err));
    scaled->format = format;
    scaled->width = width;
    scaled->height = height;
    scaled->quality = encoder->global_quality;
    err = av_frame_get_buffer(scaled.get(), 0);
    if (err < 0)
        return MovieStatus::failure(MovieError::WriteFailed, "out of memory");
    const auto source = static_cast<AVPixelFormat>(picture.format);
    ScalerPtr scaler(sws_getContext(picture.width, picture.height, source, width, height, format,
                                    SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler)
        return MovieStatus::failure(MovieError::Unsupported, "cannot scale the picture");
    // Video levels in, the full levels of a JPEG out.
    const AVPixFmtDescriptor *described = av_pix_fmt_desc_get(source);
    const bool sourceFull = picture.color_range == AVCOL_RANGE_JPEG ||
                            (described != nullptr && (described->flags & AV_PIX_FMT_FLAG_RGB));
    const int *coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(scaler.get(), coefficients, sourceFull ? 1 : 0, coefficients, 1, 0,
                             1 << 16, 1 << 16);
    sws_scale(scaler.get(), picture.data, picture.linesize, 0, picture.height, scaled->data,
              scaled->linesize);
    err = avcodec_send_frame(encoder.get(), scaled.get());
    if (err >= 0)
        err = avcodec_send_frame(encoder.get(), nullptr);
    if (err >= 0)
        err = avcodec_receive_packet(encoder.get(), jpeg.get());
    if (err < 0)
        return MovieStatus::failure(MovieError::WriteFailed,
                                    "cannot encode the picture: " + avErrorText(err));
    return MovieStatus::success();
}

/// Decodes the stream's pictures until one at or after `target` (any with no target) is in
/// `frame`. Truncated when the stream ends first.
MovieStatus decodeFrom(AVFormatContext &input, AVCodecContext &decoder, int stream,
                       std::int64_t target, AVPacket &packet, AVFrame &frame,
                       const std::function<bool()> &stop) {
    bool draining = false;
    for (;;) {
        if (stop())
            return stopped();
        if (!draining) {
            int err = av_read_frame(&input, &packet);
            if (err < 0) {
                // End of file or damage: what the decoder holds may still give a picture.
                draining = true;
                avcodec_send_packet(&decoder, nullptr);
            } else if (packet.stream_index != stream) {
                av_packet_unref(&packet);
                continue;
            } else {
                err = avcodec_send_packet(&decoder, &packet);
                av_packet_unref(&packet);
                // A damaged packet is skipped, as the ffmpeg program does.
                if (err < 0 && err != AVERROR(EAGAIN) && err != AVERROR_INVALIDDATA)
                    return MovieStatus::failure(MovieError::ReadFailed, avErrorText(err));
            }
        }
        int err = 0;
        while ((err = avcodec_receive_frame(&decoder, &frame)) == 0) {
            const std::int64_t when = frame.best_effort_timestamp;
            if (target == AV_NOPTS_VALUE || when == AV_NOPTS_VALUE || when >= target)
                return MovieStatus::success();
            av_frame_unref(&frame);
        }
        if (err == AVERROR_EOF || (draining && err == AVERROR(EAGAIN)))
            return MovieStatus::failure(MovieError::Truncated, "no picture");
        if (err != AVERROR(EAGAIN) && err != AVERROR_INVALIDDATA)
            return MovieStatus::failure(MovieError::ReadFailed, avErrorText(err));
    }
}

} // namespace

MovieStatus writeThumbnail(const ThumbnailRequest &request,
                           const std::function<bool()> &cancelled) {
    const std::string &path = request.moviePath;
    if (path.empty() || request.picturePath.empty() || request.width < 2 || request.height < 2)
        return MovieStatus::failure(MovieError::InvalidArgument, "no movie or picture to make");
    const std::function<bool()> stop = [&] { return cancelled && cancelled(); };
    // "file:" keeps a name such as "concat:a|b" or "pipe:0" a plain file.
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
        return unreadable(path, avErrorText(err));
    if (stop())
        return stopped();
    const AVCodec *codec = nullptr;
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream == AVERROR_DECODER_NOT_FOUND)
        return unreadable(path, "no decoder for its video");
    if (stream < 0 || codec == nullptr)
        return unreadable(path, "no video stream");
    AVStream *video = input->streams[stream];
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder)
        return MovieStatus::failure(MovieError::ReadFailed, "out of memory");
    err = avcodec_parameters_to_context(decoder.get(), video->codecpar);
    if (err >= 0) {
        decoder->pkt_timebase = video->time_base;
        // A few pictures of one stream: frame threads would cost more than they give, and the
        // thumbnail runs beside a conversion.
        decoder->thread_count = 1;
        err = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (err < 0)
        return unreadable(path, std::string("cannot open the ") + codec->name +
                                    " decoder: " + avErrorText(err));
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (static_cast<int>(i) != stream)
            input->streams[i]->discard = AVDISCARD_ALL;
    }

    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return MovieStatus::failure(MovieError::ReadFailed, "out of memory");

    // The seek point counts from the movie's first timestamp, as an input seek of the ffmpeg
    // program does; pictures before it are decoded and dropped, so the picture is the one at
    // the point, not the key frame before it.
    std::int64_t target = AV_NOPTS_VALUE;
    if (request.seekSeconds > 0) {
        const std::int64_t start = input->start_time != AV_NOPTS_VALUE ? input->start_time : 0;
        const std::int64_t point =
            start + static_cast<std::int64_t>(request.seekSeconds * AV_TIME_BASE);
        // A failed seek (a stream without an index) decodes from the start instead.
        if (avformat_seek_file(input.get(), -1, INT64_MIN, point, point, 0) >= 0)
            avcodec_flush_buffers(decoder.get());
        target = av_rescale_q(point, AV_TIME_BASE_Q, video->time_base);
    }
    MovieStatus decoded = decodeFrom(*input, *decoder, stream, target, *packet, *frame, stop);
    if (!decoded && decoded.error == MovieError::Truncated && target != AV_NOPTS_VALUE) {
        // The movie ends before the seek point (a duration that promised more): its first
        // picture rather than none.
        if (avformat_seek_file(input.get(), -1, INT64_MIN, INT64_MIN, INT64_MIN, 0) < 0)
            return unreadable(path, "no picture at the seek point");
        avcodec_flush_buffers(decoder.get());
        decoded = decodeFrom(*input, *decoder, stream, AV_NOPTS_VALUE, *packet, *frame, stop);
    }
    if (!decoded && decoded.error != MovieError::InvalidArgument)
        return unreadable(path, decoded.error == MovieError::Truncated ? "no picture decodes"
                                                                       : decoded.message);
    if (!decoded)
        return decoded;

    PacketPtr jpeg;
    MovieStatus encoded = encodeJpeg(*frame, request.width, request.height, jpeg);
    if (!encoded)
        return encoded;
    if (stop())
        return stopped();
    TemporaryOutput output;
    std::string error;
    if (!output.create(request.picturePath, &error, TemporaryName::Unnamed))
        return MovieStatus::failure(MovieError::WriteFailed, error);
    const std::span<const std::uint8_t> bytes(jpeg->data, static_cast<std::size_t>(jpeg->size));
    if (!output.file().writeAt(0, bytes))
        return MovieStatus::failure(MovieError::WriteFailed,
                                    "\"" + request.picturePath + "\": " + errnoText());
    // A picture in the temporary folder: nothing is lost if it never reaches the disk.
    if (!output.commit(&error, false))
        return MovieStatus::failure(MovieError::WriteFailed, error);
    return MovieStatus::success();
}

} // namespace toolbox
