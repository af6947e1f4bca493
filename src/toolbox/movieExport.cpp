#include "movieExport.h"

#include "components.h"
#include "fileIo.h"
#include "libavHandles.h"
#include "movieFacts.h"
#include "movieMedia.h"
#include "proresEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

namespace toolbox {

namespace {

// Owners of the libav handles: nothing is freed by hand on a return path.
struct SwsFree {
    void operator()(SwsContext *s) const { sws_freeContext(s); }
};
struct SwrFree {
    void operator()(SwrContext *s) const { swr_free(&s); }
};
struct BufferPoolFree {
    void operator()(AVBufferPool *p) const { av_buffer_pool_uninit(&p); }
};
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;
using BufferPoolPtr = std::unique_ptr<AVBufferPool, BufferPoolFree>;

MovieStatus writeFailed(const std::string &path, int err) {
    return MovieStatus::failure(MovieError::WriteFailed,
                                "Cannot write " + path + ": " + avErrorText(err));
}

MovieStatus codecFailed(const std::string &what, int err) {
    return MovieStatus::failure(MovieError::Unsupported, what + ": " + avErrorText(err));
}

// The output file: a TemporaryOutput without a name (O_TMPFILE) in the destination folder,
// written by libavformat through its /proc/self/fd path and given the destination's name by
// finish() once complete, so even a killed export leaves nothing behind.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    ~OutputFile() { discard(); }

    MovieStatus open(const std::string &path, const char *formatName) {
        path_ = path;
        if (std::string error; !output_.create(path, &error))
            return MovieStatus::failure(MovieError::WriteFailed,
                                        "Cannot write " + path + ": " + error);
        int err = avformat_alloc_output_context2(&context_, nullptr, formatName, nullptr);
        if (err < 0)
            return writeFailed(path, err);
        // "file:" so that no part of the path is taken for another protocol.
        err = avio_open(&context_->pb, ("file:" + output_.writePath()).c_str(), AVIO_FLAG_WRITE);
        if (err < 0)
            return writeFailed(path, err);
        return MovieStatus::success();
    }

    [[nodiscard]] AVFormatContext *context() const { return context_; }

    MovieStatus writeHeader() {
        const int err = avformat_write_header(context_, nullptr);
        if (err < 0)
            return writeFailed(path_, err);
        return MovieStatus::success();
    }

    [[nodiscard]] std::int64_t packetsWritten() const { return packets_; }

    MovieStatus writePacket(AVPacket *packet) {
        ++packets_;
        const int err = av_interleaved_write_frame(context_, packet);
        if (err < 0)
            return writeFailed(path_, err);
        if (context_->pb->error < 0)
            return writeFailed(path_, context_->pb->error);
        return MovieStatus::success();
    }

    // Writes the trailer, closes libavformat's handle and gives the file the destination's
    // name. Not flushed to disk: movies are large and the rename alone keeps them whole.
    MovieStatus finish() {
        int err = av_write_trailer(context_);
        if (err < 0)
            return writeFailed(path_, err);
        avio_flush(context_->pb);
        if (context_->pb->error < 0)
            return writeFailed(path_, context_->pb->error);
        err = avio_closep(&context_->pb);
        if (err < 0)
            return writeFailed(path_, err);
        if (std::string error; !output_.commit(&error, false))
            return MovieStatus::failure(MovieError::WriteFailed,
                                        "Cannot write " + path_ + ": " + error);
        return MovieStatus::success();
    }

private:
    // libavformat's handle goes first; the TemporaryOutput then deletes an uncommitted file.
    void discard() {
        if (context_) {
            if (context_->pb)
                avio_closep(&context_->pb);
            avformat_free_context(context_);
            context_ = nullptr;
        }
    }

    std::string path_;
    TemporaryOutput output_;
    AVFormatContext *context_ = nullptr;
    std::int64_t packets_ = 0;
};

// Frames per second for a 16.16 rate: the NTSC rates come back as their exact fractions.
AVRational rateFromFixed(std::int32_t fixed) {
    const double fps = fixedToFrameRate(fixed);
    for (int base : {24, 30, 48, 60, 120}) {
        const AVRational ntsc{base * 1000, 1001};
        if (std::fabs(fps - av_q2d(ntsc)) < 0.005)
            return ntsc;
    }
    return av_d2q(fps, 1000000);
}

// The rate of the export: the settings' whole rate (24, 30, 60 and their multiples) for a
// source on the NTSC clock (23.976, 29.97, 59.94, 119.88) is that clock's, so 60 for 59.94
// material and half rate of it (30) keep the source's pictures in step with its sound; a whole
// 60/1 would repeat one picture in a thousand while the sound keeps real time.
AVRational exportRateFor(AVRational settingsRate, AVRational source) {
    if (settingsRate.den != 1 || settingsRate.num <= 0 ||
        (settingsRate.num % 24 != 0 && settingsRate.num % 30 != 0) || source.num <= 0 ||
        source.den <= 0)
        return settingsRate;
    // On the NTSC clock: a whole number of pictures every 1.001 s.
    const double perNtscSecond = av_q2d(source) * 1.001;
    if (std::fabs(perNtscSecond - std::round(perNtscSecond)) >= 0.001 ||
        std::fabs(av_q2d(source) - std::round(av_q2d(source))) < 0.001)
        return settingsRate;
    return AVRational{settingsRate.num * 1000, 1001};
}

AVCodecID soundCodecFor(OSType format, int bits) {
    switch (format) {
    case fourCharCode("twos"):
        return bits == 8    ? AV_CODEC_ID_PCM_S8
               : bits == 24 ? AV_CODEC_ID_PCM_S24BE
               : bits == 32 ? AV_CODEC_ID_PCM_S32BE
               : bits == 16 ? AV_CODEC_ID_PCM_S16BE
                            : AV_CODEC_ID_NONE;
    case fourCharCode("sowt"):
        return bits == 24   ? AV_CODEC_ID_PCM_S24LE
               : bits == 32 ? AV_CODEC_ID_PCM_S32LE
               : bits == 16 ? AV_CODEC_ID_PCM_S16LE
                            : AV_CODEC_ID_NONE;
    case fourCharCode("in24"):
        return AV_CODEC_ID_PCM_S24BE;
    case fourCharCode("in32"):
        return AV_CODEC_ID_PCM_S32BE;
    case fourCharCode("fl32"):
        return AV_CODEC_ID_PCM_F32BE;
    case fourCharCode("fl64"):
        return AV_CODEC_ID_PCM_F64BE;
    case fourCharCode("raw "):
        return AV_CODEC_ID_PCM_U8;
    default:
        return AV_CODEC_ID_NONE;
    }
}

CodecContextPtr openDecoder(const AVStream *stream, MovieStatus &status) {
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        status = MovieStatus::failure(MovieError::Unsupported,
                                      std::string("No decoder for ") +
                                          avcodec_get_name(stream->codecpar->codec_id));
        return nullptr;
    }
    CodecContextPtr dec(avcodec_alloc_context3(codec));
    int err = avcodec_parameters_to_context(dec.get(), stream->codecpar);
    dec->pkt_timebase = stream->time_base;
    dec->thread_count = 0; // as many as the machine has, as the ffmpeg program does
    if (err >= 0)
        err = avcodec_open2(dec.get(), codec, nullptr);
    if (err < 0) {
        status = codecFailed(std::string("Cannot open the decoder ") + codec->name, err);
        return nullptr;
    }
    return dec;
}

// Sends frame (or nullptr to flush) to the encoder and writes every packet it gives back.
MovieStatus encode(AVCodecContext *enc, AVStream *out, AVFrame *frame, OutputFile &file,
                   AVPacket *packet) {
    int err = avcodec_send_frame(enc, frame);
    if (err < 0 && err != AVERROR_EOF)
        return codecFailed("Encoding failed", err);
    for (;;) {
        err = avcodec_receive_packet(enc, packet);
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return MovieStatus::success();
        if (err < 0)
            return codecFailed("Encoding failed", err);
        av_packet_rescale_ts(packet, enc->time_base, out->time_base);
        packet->stream_index = out->index;
        if (MovieStatus s = file.writePacket(packet); !s)
            return s;
    }
}

// Whether a decoding error only concerns the packet at hand: the next packet (or key frame)
// recovers. With a damage counter every error but a lack of memory counts as such, as the
// ffmpeg program goes on after any decoding error: some decoders report damage in codes of
// their own (AC-3's sync errors). The caller then judges by the count.
bool skippable(int err, const std::int64_t *damaged) {
    return err == AVERROR_INVALIDDATA || (damaged && err != AVERROR(ENOMEM));
}

// Decodes into frame, giving each frame to handle; stops at EAGAIN/EOF. Damaged packets and
// frames are counted in *damaged when given.
template <typename Handler>
MovieStatus decode(AVCodecContext *dec, const AVPacket *packet, AVFrame *frame, Handler &&handle,
                   std::int64_t *damaged = nullptr) {
    int err = avcodec_send_packet(dec, packet);
    // Damaged packets are skipped, as the ffmpeg program does; the next key frame recovers.
    if (err < 0 && err != AVERROR_EOF) {
        if (!skippable(err, damaged))
            return codecFailed("Decoding failed", err);
        if (damaged)
            ++*damaged;
    }
    for (;;) {
        err = avcodec_receive_frame(dec, frame);
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return MovieStatus::success();
        if (err < 0 && skippable(err, damaged)) {
            if (damaged)
                ++*damaged;
            continue;
        }
        if (err < 0)
            return codecFailed("Decoding failed", err);
        MovieStatus s = handle(frame);
        av_frame_unref(frame);
        if (!s)
            return s;
    }
}

double frameSeconds(const AVFrame *frame, AVRational timeBase) {
    std::int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        ts = frame->pts;
    return ts == AV_NOPTS_VALUE ? 0.0 : double(ts) * av_q2d(timeBase);
}

// ---- video ------------------------------------------------------------------------------

struct VideoPipe {
    std::size_t track = 0;
    AVStream *in = nullptr;
    AVStream *out = nullptr;
    CodecContextPtr dec;
    CodecContextPtr enc;
    std::unique_ptr<ProresEncoder> prores; // ProRes: enc gives only the stream's parameters
    SwsPtr sws;
    BufferPoolPtr pool;
    FramePtr last; // the last picture sent, repeated to fill gaps
    AVRational rate{25, 1};
    AVPixelFormat outFormat = AV_PIX_FMT_NONE;
    int outWidth = 0;
    int outHeight = 0;
    // Where the picture lies inside the frame (the whole frame unless letterboxed).
    int innerX = 0, innerY = 0, innerWidth = 0, innerHeight = 0;
    bool letterbox = false;
    bool started = false;
    std::int64_t nextSlot = 0;
    std::int64_t endSlot = INT64_MAX;
    /// The source's pictures per output picture when the export takes every step-th one
    /// (half rate: 2); 1 otherwise.
    std::int64_t step = 1;
};

int evenAtLeast2(double value) {
    return std::max(2, static_cast<int>(std::lround(value / 2)) * 2);
}

AVPixelFormat chooseVideoFormat(const AVCodec *codec, const Component &compressor,
                                AVPixelFormat source, int depth) {
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(source);
    const bool alpha = desc && (desc->flags & AV_PIX_FMT_FLAG_ALPHA);
    if (compressor.profile >= 0 && std::string_view(codec->name) == "prores_ks") {
        if (compressor.profile <= 3)
            return AV_PIX_FMT_YUV422P10LE;
        return depth == 32 && alpha ? AV_PIX_FMT_YUVA444P10LE : AV_PIX_FMT_YUV444P10LE;
    }
    if (codec->id == AV_CODEC_ID_MJPEG) {
        // Motion JPEG is full range: the J formats tell swscale to expand the levels.
        static const AVPixelFormat jpeg[] = {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P,
                                             AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_NONE};
        return avcodec_find_best_pix_fmt_of_list(jpeg, source, false, nullptr);
    }
    if (!codec->pix_fmts)
        return source == AV_PIX_FMT_NONE ? AV_PIX_FMT_YUV420P : source;
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, source, alpha && depth == 32,
                                             nullptr);
}

// A track matrix that turns or mirrors the picture (a phone's portrait clip: landscape
// pictures and a quarter turn) goes with the exported pictures, its translation made again for
// their size so the turned picture still begins at the origin. A matrix that only moves or
// scales the picture is left out: the export's size already holds its scale.
MovieStatus keepTurn(const MovieMatrix &matrix, int width, int height, AVStream *out) {
    const auto unitOrZero = [](std::int32_t value) {
        return value == 0 || value == 0x10000 || value == -0x10000;
    };
    const std::int32_t a = matrix[0], b = matrix[1], c = matrix[3], d = matrix[4];
    const bool quarterTurns = unitOrZero(a) && unitOrZero(b) && unitOrZero(c) && unitOrZero(d) &&
                              (a == 0) == (d == 0) && (b == 0) == (c == 0) && (a == 0) != (b == 0);
    if (!quarterTurns || (a == 0x10000 && d == 0x10000))
        return MovieStatus::success();
    // x' = a x + c y + tx, y' = b x + d y + ty, over the picture's corners.
    const auto low = [&](std::int32_t onX, std::int32_t onY) {
        const std::int64_t x = onX < 0 ? width : 0;
        const std::int64_t y = onY < 0 ? height : 0;
        return (onX / 0x10000) * x + (onY / 0x10000) * y;
    };
    std::array<std::int32_t, 9> turned = {a, b, 0, c, d, 0, 0, 0, 0x40000000};
    turned[6] = static_cast<std::int32_t>(-low(a, c) * 0x10000);
    turned[7] = static_cast<std::int32_t>(-low(b, d) * 0x10000);
    std::uint8_t *data = av_stream_new_side_data(out, AV_PKT_DATA_DISPLAYMATRIX, sizeof(turned));
    if (!data)
        return codecFailed("Cannot keep the picture's display matrix", AVERROR(ENOMEM));
    std::memcpy(data, turned.data(), sizeof(turned));
    return MovieStatus::success();
}

MovieStatus setUpVideo(VideoPipe &v, const Movie &movie, const MovieExportSettings &settings,
                       AVFormatContext *output) {
    MovieStatus status;
    v.dec = openDecoder(v.in, status);
    if (!v.dec)
        return status;
    const Component *compressor = findImageCompressor(settings.codecType);
    const AVCodec *codec =
        compressor ? avcodec_find_encoder_by_name(compressor->implementation.c_str()) : nullptr;
    if (!codec)
        return MovieStatus::failure(MovieError::Unsupported,
                                    "No compressor for " + fourCharCodeString(settings.codecType));

    // Frame rate: the settings', or the source's.
    if (settings.frameRate > 0) {
        const AVRational source =
            v.in->avg_frame_rate.num > 0 ? v.in->avg_frame_rate : v.in->r_frame_rate;
        v.rate = exportRateFor(rateFromFixed(settings.frameRate), source);
        if (source.num > 0 && source.den > 0) {
            const double ratio = av_q2d(source) / av_q2d(v.rate);
            const std::int64_t step = std::llround(ratio);
            if (step >= 2 && std::fabs(ratio - double(step)) < 1e-3)
                v.step = step;
        }
    } else if (v.in->avg_frame_rate.num > 0 && v.in->avg_frame_rate.den > 0)
        v.rate = v.in->avg_frame_rate;
    else if (v.in->r_frame_rate.num > 0 && v.in->r_frame_rate.den > 0)
        v.rate = v.in->r_frame_rate;
    const MovieTrack &track = movie.track(v.track);
    const TimeRange range = track.range();
    const double endSeconds = double(range.start + range.duration) / range.timeScale;
    if (endSeconds > 0)
        v.endSlot = std::llround(endSeconds * av_q2d(v.rate));

    // Picture size and pixel aspect ratio.
    const int srcWidth = v.dec->width;
    const int srcHeight = v.dec->height;
    if (srcWidth <= 0 || srcHeight <= 0)
        return MovieStatus::failure(MovieError::Unsupported, "Video track without picture size");
    AVRational srcSar = v.in->codecpar->sample_aspect_ratio;
    if (srcSar.num <= 0 || srcSar.den <= 0)
        srcSar = {1, 1};
    const double srcDar = double(srcWidth) * av_q2d(srcSar) / srcHeight;
    AVRational outSar = srcSar;
    if (settings.width > 0 && settings.height > 0) {
        v.outWidth = static_cast<int>(settings.width);
        v.outHeight = static_cast<int>(settings.height);
        if (settings.fit == FrameFit::Letterbox) {
            // Square pixels; the picture's display shape fits inside, centred.
            v.letterbox = true;
            outSar = {1, 1};
            if (srcDar > double(v.outWidth) / v.outHeight) {
                v.innerWidth = v.outWidth;
                v.innerHeight = std::min(v.outHeight, evenAtLeast2(v.outWidth / srcDar));
            } else {
                v.innerHeight = v.outHeight;
                v.innerWidth = std::min(v.outWidth, evenAtLeast2(v.outHeight * srcDar));
            }
            v.innerX = (v.outWidth - v.innerWidth) / 4 * 2;
            v.innerY = (v.outHeight - v.innerHeight) / 4 * 2;
        } else {
            // Scaled to the size; the pixel aspect ratio keeps the picture's display shape.
            outSar = av_d2q(srcDar * v.outHeight / v.outWidth, 10000);
        }
    } else {
        // The source's size through the track's and the movie's matrices (the movie box).
        const double sx = track.matrix()[0] / 65536.0 * (movie.matrix()[0] / 65536.0);
        const double sy = track.matrix()[4] / 65536.0 * (movie.matrix()[4] / 65536.0);
        v.outWidth = sx > 0 ? evenAtLeast2(srcWidth * sx) : srcWidth;
        v.outHeight = sy > 0 ? evenAtLeast2(srcHeight * sy) : srcHeight;
    }
    if (!v.letterbox) {
        v.innerWidth = v.outWidth;
        v.innerHeight = v.outHeight;
    }

    const auto sourceFormat = static_cast<AVPixelFormat>(v.in->codecpar->format);
    v.outFormat = chooseVideoFormat(codec, *compressor, sourceFormat, settings.depth);

    v.enc.reset(avcodec_alloc_context3(codec));
    AVCodecContext *enc = v.enc.get();
    enc->width = v.outWidth;
    enc->height = v.outHeight;
    enc->sample_aspect_ratio = outSar;
    enc->pix_fmt = v.outFormat;
    enc->time_base = av_inv_q(v.rate);
    enc->framerate = v.rate;
    enc->color_range = v.in->codecpar->color_range;
    if (const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(v.outFormat);
        d && std::string_view(d->name).starts_with("yuvj"))
        enc->color_range = AVCOL_RANGE_JPEG;
    enc->color_primaries = v.in->codecpar->color_primaries;
    enc->color_trc = v.in->codecpar->color_trc;
    enc->colorspace = v.in->codecpar->color_space;
    enc->field_order = AV_FIELD_PROGRESSIVE;
    enc->thread_count = 0; // frame or slice threads on every core, as the ffmpeg program does
    if (settings.keyFrameRate > 0)
        enc->gop_size = static_cast<int>(settings.keyFrameRate);
    if (settings.dataRate > 0)
        enc->bit_rate = std::int64_t{settings.dataRate} * 8;
    const bool prores = compressor->profile >= 0 && std::string_view(codec->name) == "prores_ks";
    // ProRes holds video levels, whatever a container says: a full-range source is brought
    // into them (convertPicture), and said so.
    if (prores)
        enc->color_range = AVCOL_RANGE_MPEG;
    if (compressor->profile >= 0) {
        enc->profile = compressor->profile;
        av_opt_set_int(enc->priv_data, "profile", compressor->profile, 0);
        if (prores) {
            // This context only describes the stream: the ProresEncoder's workers encode.
            enc->thread_count = 1;
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = FF_QP2LAMBDA * 4;
        }
    } else if (settings.dataRate == 0 && (codec->capabilities & AV_CODEC_CAP_LOSSLESS) == 0) {
        // Spatial quality 0..1024 as a quantiser 31..1 for the encoders that take one.
        const int q =
            1 + static_cast<int>((kCodecLosslessQuality -
                                  std::min(settings.spatialQuality, kCodecLosslessQuality)) *
                                 30 / kCodecLosslessQuality);
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * q;
    }
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int err = avcodec_open2(enc, codec, nullptr);
    if (err < 0)
        return codecFailed(std::string("Cannot open the encoder ") + codec->name, err);
    if (prores) {
        v.prores = ProresEncoder::open(*enc, compressor->profile, 0, status);
        if (!v.prores)
            return status;
    }

    v.out = avformat_new_stream(output, nullptr);
    if (!v.out)
        return codecFailed("Cannot add the video stream", AVERROR(ENOMEM));
    err = avcodec_parameters_from_context(v.out->codecpar, enc);
    if (err < 0)
        return codecFailed("Cannot add the video stream", err);
    v.out->time_base = enc->time_base;
    v.out->avg_frame_rate = v.rate;
    v.out->sample_aspect_ratio = outSar;
    if (status = keepTurn(track.matrix(), v.outWidth, v.outHeight, v.out); !status)
        return status;

    const int size = av_image_get_buffer_size(v.outFormat, v.outWidth, v.outHeight, 64);
    if (size < 0)
        return codecFailed("Bad picture size", size);
    v.pool.reset(av_buffer_pool_init(static_cast<std::size_t>(size), av_buffer_alloc));
    return MovieStatus::success();
}

// A frame of the output format from the pool (the encoder may keep it while its threads work).
FramePtr poolFrame(VideoPipe &v) {
    FramePtr frame(av_frame_alloc());
    frame->buf[0] = av_buffer_pool_get(v.pool.get());
    if (!frame->buf[0])
        return nullptr;
    av_image_fill_arrays(frame->data, frame->linesize, frame->buf[0]->data, v.outFormat, v.outWidth,
                         v.outHeight, 64);
    frame->format = v.outFormat;
    frame->width = v.outWidth;
    frame->height = v.outHeight;
    return frame;
}

FramePtr convertPicture(VideoPipe &v, const AVFrame *in) {
    FramePtr out = poolFrame(v);
    if (!out)
        return nullptr;
    v.sws.reset(sws_getCachedContext(
        v.sws.release(), in->width, in->height, static_cast<AVPixelFormat>(in->format),
        v.innerWidth, v.innerHeight, v.outFormat, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!v.sws)
        return nullptr;
    // The levels of the source as it says they are, into those the output says: a full-range
    // phone clip stays full range under its full-range tag instead of being squeezed into
    // video levels.
    if (const AVPixFmtDescriptor *from =
            av_pix_fmt_desc_get(static_cast<AVPixelFormat>(in->format));
        from && !(from->flags & AV_PIX_FMT_FLAG_RGB)) {
        const int srcFull =
            in->color_range == AVCOL_RANGE_JPEG || std::string_view(from->name).starts_with("yuvj");
        const int dstFull = v.enc->color_range == AVCOL_RANGE_JPEG;
        int *inverse = nullptr, *table = nullptr;
        int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
        if (sws_getColorspaceDetails(v.sws.get(), &inverse, &srcRange, &table, &dstRange,
                                     &brightness, &contrast, &saturation) >= 0 &&
            (srcRange != srcFull || dstRange != dstFull))
            sws_setColorspaceDetails(v.sws.get(), inverse, srcFull, table, dstFull, brightness,
                                     contrast, saturation);
    }
    std::array<std::uint8_t *, 4> dst{};
    if (v.letterbox) {
        const std::array<std::ptrdiff_t, 4> lines{out->linesize[0], out->linesize[1],
                                                  out->linesize[2], out->linesize[3]};
        av_image_fill_black(out->data, lines.data(), v.outFormat, v.enc->color_range, v.outWidth,
                            v.outHeight);
        const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(v.outFormat);
        for (int plane = 0; plane < 4 && out->data[plane]; ++plane) {
            int step = 1;
            for (int c = 0; c < desc->nb_components; ++c)
                if (desc->comp[c].plane == plane)
                    step = desc->comp[c].step;
            const bool chroma = plane == 1 || plane == 2;
            const int x = chroma ? v.innerX >> desc->log2_chroma_w : v.innerX;
            const int y = chroma ? v.innerY >> desc->log2_chroma_h : v.innerY;
            dst[static_cast<std::size_t>(plane)] =
                out->data[plane] + std::ptrdiff_t{y} * out->linesize[plane] + x * step;
        }
    } else {
        for (std::size_t plane = 0; plane < 4; ++plane)
            dst[plane] = out->data[plane];
    }
    sws_scale(v.sws.get(), in->data, in->linesize, 0, in->height, dst.data(), out->linesize);
    out->sample_aspect_ratio = v.enc->sample_aspect_ratio;
    // ProRes writes each frame's own colour description into its header, which readers take
    // before the container's: the source's, not "unspecified".
    out->color_range = v.enc->color_range;
    out->color_primaries = v.enc->color_primaries;
    out->color_trc = v.enc->color_trc;
    out->colorspace = v.enc->colorspace;
    return out;
}

MovieStatus writeVideoPacket(VideoPipe &v, AVPacket *packet, OutputFile &file) {
    av_packet_rescale_ts(packet, v.enc->time_base, v.out->time_base);
    packet->stream_index = v.out->index;
    return file.writePacket(packet);
}

MovieStatus sendPicture(VideoPipe &v, const AVFrame *picture, OutputFile &file, AVPacket *packet) {
    FramePtr copy(av_frame_alloc());
    av_frame_ref(copy.get(), picture);
    copy->pts = v.nextSlot++;
    copy->pict_type = AV_PICTURE_TYPE_NONE;
    if (v.prores)
        return v.prores->send(copy.get(),
                              [&](AVPacket *p) { return writeVideoPacket(v, p, file); });
    return encode(v.enc.get(), v.out, copy.get(), file, packet);
}

// Places a decoded picture on the constant-rate time line: gaps are filled by repeating the
// previous picture, a picture that falls on an already filled slot is dropped.
MovieStatus takePicture(VideoPipe &v, const AVFrame *frame, OutputFile &file, AVPacket *packet) {
    const double seconds = frameSeconds(frame, v.in->time_base);
    // Taking every step-th picture, the first of each step lands on its slot and the others
    // before the next one, whatever the rounding of their times (59.94 pictures on a 90 kHz
    // clock are 1501.5 ticks apart); otherwise the small bias keeps a picture exactly between
    // two slots on the earlier one.
    const double position = seconds * av_q2d(v.rate);
    const std::int64_t slot =
        v.step > 1 ? static_cast<std::int64_t>(std::floor(position + 0.5 / double(v.step)))
                   : std::llround(position - 1e-6);
    if (!v.started) {
        v.started = true;
        v.nextSlot = std::max<std::int64_t>(slot, 0);
    }
    while (v.last && v.nextSlot < slot && v.nextSlot < v.endSlot)
        if (MovieStatus s = sendPicture(v, v.last.get(), file, packet); !s)
            return s;
    if (slot < v.nextSlot || v.nextSlot >= v.endSlot)
        return MovieStatus::success();
    FramePtr picture = convertPicture(v, frame);
    if (!picture)
        return MovieStatus::failure(MovieError::Unsupported, "Cannot convert the picture");
    v.last = std::move(picture);
    return sendPicture(v, v.last.get(), file, packet);
}

MovieStatus finishVideo(VideoPipe &v, OutputFile &file, AVPacket *packet, AVFrame *frame) {
    MovieStatus s = decode(v.dec.get(), nullptr, frame,
                           [&](AVFrame *f) { return takePicture(v, f, file, packet); });
    if (!s)
        return s;
    while (v.last && v.endSlot != INT64_MAX && v.nextSlot < v.endSlot)
        if (s = sendPicture(v, v.last.get(), file, packet); !s)
            return s;
    v.last.reset();
    if (v.prores)
        return v.prores->flush([&](AVPacket *p) { return writeVideoPacket(v, p, file); });
    return encode(v.enc.get(), v.out, nullptr, file, packet);
}

// ---- sound ------------------------------------------------------------------------------

struct SoundPipe {
    std::size_t track = 0;
    AVStream *in = nullptr;
    AVStream *out = nullptr;
    CodecContextPtr dec;
    CodecContextPtr enc;
    SwrPtr swr;
    int swrFormat = -1;
    int swrRate = 0;
    AVChannelLayout swrLayout{};
    bool started = false;
    std::int64_t nextSample = 0;
    // What the decoder made of the track, to tell a lost track from a few damaged packets.
    std::int64_t packets = 0; ///< packets sent to the decoder
    std::int64_t damaged = 0; ///< packets or frames that held no usable sound
    std::int64_t frames = 0;  ///< frames whose sound was kept
};

MovieStatus setUpSound(SoundPipe &a, AVCodecID codecId, int sampleRate, int channels,
                       AVFormatContext *output) {
    MovieStatus status;
    a.dec = openDecoder(a.in, status);
    if (!a.dec)
        return status;
    const AVCodec *codec = avcodec_find_encoder(codecId);
    if (!codec)
        return MovieStatus::failure(MovieError::Unsupported,
                                    std::string("No encoder for ") + avcodec_get_name(codecId));
    a.enc.reset(avcodec_alloc_context3(codec));
    AVCodecContext *enc = a.enc.get();
    enc->sample_rate = sampleRate > 0 ? sampleRate : a.dec->sample_rate;
    const int count = channels > 0 ? channels : a.dec->ch_layout.nb_channels;
    if (enc->sample_rate <= 0 || count <= 0)
        return MovieStatus::failure(MovieError::Unsupported, "Sound track without format");
    if (channels > 0 || a.dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&enc->ch_layout, count);
    else
        av_channel_layout_copy(&enc->ch_layout, &a.dec->ch_layout);
    enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    enc->time_base = {1, enc->sample_rate};
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int err = avcodec_open2(enc, codec, nullptr);
    if (err < 0)
        return codecFailed(std::string("Cannot open the encoder ") + codec->name, err);
    a.out = avformat_new_stream(output, nullptr);
    if (!a.out)
        return codecFailed("Cannot add the sound stream", AVERROR(ENOMEM));
    err = avcodec_parameters_from_context(a.out->codecpar, enc);
    if (err < 0)
        return codecFailed("Cannot add the sound stream", err);
    a.out->time_base = enc->time_base;
    return MovieStatus::success();
}

MovieStatus sendSamples(SoundPipe &a, const AVFrame *in, int silence, OutputFile &file,
                        AVPacket *packet) {
    AVCodecContext *enc = a.enc.get();
    FramePtr out(av_frame_alloc());
    out->format = enc->sample_fmt;
    out->sample_rate = enc->sample_rate;
    av_channel_layout_copy(&out->ch_layout, &enc->ch_layout);
    const int room =
        in || silence == 0 ? swr_get_out_samples(a.swr.get(), in ? in->nb_samples : 0) : silence;
    if (room <= 0)
        return MovieStatus::success();
    out->nb_samples = room;
    int err = av_frame_get_buffer(out.get(), 0);
    if (err < 0)
        return codecFailed("Out of memory", err);
    int produced = room;
    if (silence > 0) {
        av_samples_set_silence(out->extended_data, 0, room, enc->ch_layout.nb_channels,
                               enc->sample_fmt);
    } else {
        produced = swr_convert(a.swr.get(), out->extended_data, room,
                               in ? const_cast<const std::uint8_t **>(in->extended_data) : nullptr,
                               in ? in->nb_samples : 0);
        if (produced < 0)
            return codecFailed("Sound conversion failed", produced);
    }
    if (produced == 0)
        return MovieStatus::success();
    out->nb_samples = produced;
    out->pts = a.nextSample;
    a.nextSample += produced;
    return encode(enc, a.out, out.get(), file, packet);
}

MovieStatus takeSamples(SoundPipe &a, const AVFrame *frame, OutputFile &file, AVPacket *packet) {
    // A damaged packet can decode to a frame without a format: it holds no sound to keep.
    if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0 || frame->nb_samples <= 0) {
        ++a.damaged;
        return MovieStatus::success();
    }
    ++a.frames;
    if (!a.swr || a.swrFormat != frame->format || a.swrRate != frame->sample_rate ||
        av_channel_layout_compare(&a.swrLayout, &frame->ch_layout) != 0) {
        if (a.swr)
            if (MovieStatus s = sendSamples(a, nullptr, 0, file, packet); !s)
                return s;
        SwrContext *swr = nullptr;
        int err = swr_alloc_set_opts2(
            &swr, &a.enc->ch_layout, a.enc->sample_fmt, a.enc->sample_rate,
            const_cast<AVChannelLayout *>(&frame->ch_layout),
            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        a.swr.reset(swr);
        if (err >= 0)
            err = swr_init(swr);
        if (err < 0)
            return codecFailed("Cannot convert the sound", err);
        a.swrFormat = frame->format;
        a.swrRate = frame->sample_rate;
        av_channel_layout_uninit(&a.swrLayout);
        av_channel_layout_copy(&a.swrLayout, &frame->ch_layout);
    }
    const std::int64_t at = std::llround(frameSeconds(frame, a.in->time_base) * a.enc->sample_rate);
    if (!a.started) {
        a.started = true;
        a.nextSample = std::max<std::int64_t>(at, 0);
    } else if (at - a.nextSample > a.enc->sample_rate / 100) {
        // A hole in the sound (an empty edit): silence keeps what follows in sync.
        std::int64_t missing = at - a.nextSample;
        while (missing > 0) {
            const int chunk = static_cast<int>(std::min<std::int64_t>(missing, 48000));
            if (MovieStatus s = sendSamples(a, nullptr, chunk, file, packet); !s)
                return s;
            missing -= chunk;
        }
    }
    return sendSamples(a, frame, 0, file, packet);
}

MovieStatus finishSound(SoundPipe &a, OutputFile &file, AVPacket *packet, AVFrame *frame) {
    MovieStatus s = decode(
        a.dec.get(), nullptr, frame, [&](AVFrame *f) { return takeSamples(a, f, file, packet); },
        &a.damaged);
    if (!s)
        return s;
    if (a.swr)
        if (s = sendSamples(a, nullptr, 0, file, packet); !s)
            return s;
    av_channel_layout_uninit(&a.swrLayout);
    return encode(a.enc.get(), a.out, nullptr, file, packet);
}

// Whether the sound of a track came through: skipping a damaged packet now and then is
// normal, but a track that gave no sound at all, or lost most of it, would leave an export
// without its sound (or full of holes) that still looks finished.
MovieStatus checkSoundKept(const SoundPipe &a, const Movie &movie) {
    const std::string name = "Sound track " + std::to_string(a.track + 1) + " (" +
                             avcodec_get_name(a.in->codecpar->codec_id) + ")";
    if (a.frames == 0) {
        if (a.packets == 0 && movie.track(a.track).range().duration <= 0)
            return MovieStatus::success(); // plays nothing in the movie: nothing to lose
        return MovieStatus::failure(
            MovieError::ReadFailed,
            name + ": no sound could be decoded from its " + std::to_string(a.packets) +
                " packets (damaged samples, or not the sound its description announces)");
    }
    if (a.damaged > a.frames)
        return MovieStatus::failure(MovieError::ReadFailed,
                                    name + ": most of its sound could not be decoded (" +
                                        std::to_string(a.damaged) + " damaged, " +
                                        std::to_string(a.frames) + " kept)");
    return MovieStatus::success();
}

// ---- the export loop --------------------------------------------------------------------

// Reports fractions that grow by at least half a percent, and never 1.0 before the end.
class ProgressReporter {
public:
    ProgressReporter(const MovieProgressProc &proc, double durationSeconds)
        : proc_(proc), duration_(durationSeconds) {}
    void start() { report(0, true); }
    void at(double seconds) {
        if (duration_ <= 0)
            return;
        const double fraction = std::clamp(seconds / duration_, 0.0, 1.0);
        report(
            std::min<std::int32_t>(static_cast<std::int32_t>(fraction * kFixedOne), kFixedOne - 1),
            false);
    }
    void done() { report(kFixedOne, true); }

private:
    void report(std::int32_t value, bool always) {
        if (!proc_)
            return;
        if (!always && value < last_ + kFixedOne / 200)
            return;
        if (value < last_)
            return;
        last_ = value;
        proc_(value);
    }
    const MovieProgressProc &proc_;
    double duration_;
    std::int32_t last_ = 0;
};

struct ExportJob {
    std::optional<std::size_t> videoTrack;
    std::vector<std::size_t> soundTracks;
    const char *formatName = "mov";
    const MovieExportSettings *settings = nullptr; // null: WAVE
};

// The export carries the source's recording date (the movie header's creation time and the
// QuickTime metadata key of the creation date) and what it says of the camera and the place
// (a phone's make, model and ISO 6709 location keys, a camera's user data), as libavformat
// read them from the source.
void keepRecordingDate(const AVFormatContext *input, AVFormatContext *output) {
    if (std::strcmp(output->oformat->name, "mov") != 0)
        return;
    bool kept = false;
    for (const char *key :
         {"creation_time", "com.apple.quicktime.creationdate", "com.apple.quicktime.make",
          "com.apple.quicktime.model", "com.apple.quicktime.software",
          "com.apple.quicktime.location.ISO6709", "make", "model", "location"}) {
        if (const AVDictionaryEntry *entry = av_dict_get(input->metadata, key, nullptr, 0)) {
            av_dict_set(&output->metadata, key, entry->value, 0);
            kept = kept || std::string_view(key).starts_with("com.apple.quicktime.");
        }
    }
    if (kept)
        av_opt_set(output->priv_data, "movflags", "+use_metadata_tags", 0);
}

// The timecode (a time of day) of the file that holds the picture's samples, as libavformat
// reads it from that file's own timecode track; empty without one.
std::string sourceTimecode(const Movie &movie, const std::optional<std::size_t> &videoTrack) {
    if (!videoTrack)
        return {};
    AVFormatContext *raw = nullptr;
    const std::string &path = MovieAccess::media(movie.track(*videoTrack)).path;
    if (path.empty() || avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, nullptr) < 0)
        return {};
    InputFormatPtr format(raw);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (const AVDictionaryEntry *timecode =
                av_dict_get(format->streams[i]->metadata, "timecode", nullptr, 0))
            return timecode->value;
    return {};
}

// The source's timecode gives the export a timecode track of its own, so editors relink and
// line up cameras by time after the re-encoding too.
void keepTimecode(const std::string &timecode, AVFormatContext *output) {
    if (timecode.empty() || std::strcmp(output->oformat->name, "mov") != 0)
        return;
    for (unsigned o = 0; o < output->nb_streams; ++o)
        if (output->streams[o]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            av_dict_set(&output->streams[o]->metadata, "timecode", timecode.c_str(), 0);
}

// libavformat writes version 0 movie, track and media headers whatever the date, so a
// recording dated after 2040-02-06 (past 32 bits of seconds since 1904) would come out cut
// to its low bits. Its header is written again by the toolbox, which keeps the whole time.
MovieStatus keepWideHeaderTimes(const Movie &source, const std::string &path,
                                const ExportJob &job) {
    const std::uint64_t created = MovieAccess::creationTime(source);
    const std::uint64_t modified = MovieAccess::modificationTime(source);
    if (std::strcmp(job.formatName, "mov") != 0 ||
        (created <= 0xFFFFFFFFull && modified <= 0xFFFFFFFFull))
        return MovieStatus::success();
    MovieStatus status;
    std::unique_ptr<Movie> written = Movie::open(path, &status);
    if (!written)
        return status;
    MovieAccess::setTimes(*written, created, modified != 0 ? modified : created);
    return written->writeSelfContained(path, {}, WriteSync::Deferred);
}

MovieStatus runExport(const Movie &movie, const std::string &path, const ExportJob &job,
                      const MovieProgressProc &progressProc) {
    if (!job.videoTrack && job.soundTracks.empty())
        return MovieStatus::failure(MovieError::NoTracks,
                                    job.settings ? "Nothing to export: no video or sound track"
                                                 : "Nothing to export: no sound track");
    MovieStatus status;
    if (job.videoTrack) {
        // Refused before anything is read: a decoding out of all proportion to the pictures
        // would keep the export busy for hours on a file of a few hundred kilobytes.
        EditDecodeWork work;
        if (status = editDecodeWork(movie.track(*job.videoTrack), movie.timeScale(), work); !status)
            return status;
        if (work.excessive())
            return MovieStatus::failure(
                MovieError::Unsupported,
                "The picture track's edits ask to decode " + std::to_string(work.decoded) +
                    " pictures to show " + std::to_string(work.shown) + " of its " +
                    std::to_string(work.samples) + ": too many edits to export");
    }
    std::unique_ptr<MovieReader> reader = MovieReader::open(movie, &status);
    if (!reader)
        return status;

    OutputFile file;
    if (status = file.open(path, job.formatName); !status)
        return status;
    AVFormatContext *output = file.context();

    std::optional<VideoPipe> video;
    std::vector<SoundPipe> sounds;
    std::vector<int> pipeOfTrack(movie.trackCount(), -2); // -1 video, >= 0 sound, -2 none
    if (job.videoTrack) {
        video.emplace();
        video->track = *job.videoTrack;
        video->in = reader->stream(video->track);
        if (!video->in)
            return MovieStatus::failure(MovieError::ReadFailed, "Video track cannot be read");
        if (status = setUpVideo(*video, movie, *job.settings, output); !status)
            return status;
        pipeOfTrack[video->track] = -1;
    }
    sounds.resize(job.soundTracks.size());
    for (std::size_t i = 0; i < job.soundTracks.size(); ++i) {
        SoundPipe &a = sounds[i];
        a.track = job.soundTracks[i];
        a.in = reader->stream(a.track);
        if (!a.in)
            return MovieStatus::failure(MovieError::ReadFailed, "Sound track cannot be read");
        const AVCodecID codecId =
            job.settings ? soundCodecFor(job.settings->soundFormat, job.settings->sampleBits)
                         : AV_CODEC_ID_PCM_S16LE;
        const int rate = job.settings ? static_cast<int>(job.settings->sampleRate) : 0;
        const int channels = job.settings ? job.settings->channels : 0;
        if (status = setUpSound(a, codecId, rate, channels, output); !status)
            return status;
        pipeOfTrack[a.track] = static_cast<int>(i);
    }
    // Tracks that are not exported are not read at all.
    AVFormatContext *input = reader->formatContext();
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const int track = reader->trackIndexOfStream(static_cast<int>(i));
        if (track < 0 || pipeOfTrack[static_cast<std::size_t>(track)] == -2)
            input->streams[i]->discard = AVDISCARD_ALL;
    }

    keepRecordingDate(input, output);
    keepTimecode(sourceTimecode(movie, job.videoTrack), output);
    if (status = file.writeHeader(); !status)
        return status;
    ProgressReporter progress(progressProc, movie.durationSeconds());
    progress.start();

    PacketPtr packet(av_packet_alloc());
    PacketPtr outPacket(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    for (;;) {
        std::size_t track = 0;
        const int err = reader->readPacket(packet.get(), &track);
        if (err == AVERROR_EOF)
            break;
        if (err < 0)
            return MovieStatus::failure(MovieError::ReadFailed,
                                        "Cannot read the movie's samples: " + avErrorText(err));
        if (track >= pipeOfTrack.size() || pipeOfTrack[track] == -2)
            continue;
        const int pipe = pipeOfTrack[track];
        const AVStream *in = pipe < 0 ? video->in : sounds[static_cast<std::size_t>(pipe)].in;
        if (packet->dts != AV_NOPTS_VALUE)
            progress.at(double(packet->dts) * av_q2d(in->time_base));
        if (pipe < 0)
            status = decode(video->dec.get(), packet.get(), frame.get(), [&](AVFrame *f) {
                return takePicture(*video, f, file, outPacket.get());
            });
        else {
            SoundPipe &a = sounds[static_cast<std::size_t>(pipe)];
            ++a.packets;
            status = decode(
                a.dec.get(), packet.get(), frame.get(),
                [&](AVFrame *f) { return takeSamples(a, f, file, outPacket.get()); }, &a.damaged);
        }
        av_packet_unref(packet.get());
        if (!status)
            return status;
    }
    if (video)
        if (status = finishVideo(*video, file, outPacket.get(), frame.get()); !status)
            return status;
    for (SoundPipe &a : sounds)
        if (status = finishSound(a, file, outPacket.get(), frame.get()); !status)
            return status;
    // A movie without a single picture or sound sample would pass for a finished export.
    if (file.packetsWritten() == 0)
        return MovieStatus::failure(MovieError::ReadFailed,
                                    "Nothing could be decoded from the movie's tracks");
    // Likewise a picture track that gave not one picture: the movie would have sound only.
    if (video && !video->started && movie.track(video->track).range().duration > 0)
        return MovieStatus::failure(MovieError::ReadFailed,
                                    "Video track " + std::to_string(video->track + 1) + " (" +
                                        avcodec_get_name(video->in->codecpar->codec_id) +
                                        "): no picture could be decoded");
    for (const SoundPipe &a : sounds)
        if (status = checkSoundKept(a, movie); !status)
            return status;
    if (status = file.finish(); !status)
        return status;
    if (status = keepWideHeaderTimes(movie, path, job); !status)
        return status;
    progress.done();
    return MovieStatus::success();
}

std::optional<std::size_t> firstEnabledTrack(const Movie &movie, OSType type) {
    for (std::size_t index : movie.tracksOfMediaType(type))
        if (movie.track(index).enabled())
            return index;
    return std::nullopt;
}

} // namespace

bool movieExportSettingsSupported(const MovieExportSettings &settings, std::string *error) {
    if (settings.videoEnabled) {
        const Component *compressor = findImageCompressor(settings.codecType);
        if (!compressor || !avcodec_find_encoder_by_name(compressor->implementation.c_str())) {
            if (error)
                *error = "no compressor for '" + fourCharCodeString(settings.codecType) + "'";
            return false;
        }
    }
    if (settings.soundEnabled) {
        const AVCodecID id = soundCodecFor(settings.soundFormat, settings.sampleBits);
        const AVOutputFormat *mov = av_guess_format("mov", nullptr, nullptr);
        if (id == AV_CODEC_ID_NONE || !avcodec_find_encoder(id) || !mov ||
            avformat_query_codec(mov, id, FF_COMPLIANCE_NORMAL) != 1) {
            if (error)
                *error = "unsupported sound format '" + fourCharCodeString(settings.soundFormat) +
                         "' of " + std::to_string(settings.sampleBits) + " bits";
            return false;
        }
    }
    if (!settings.videoEnabled && !settings.soundEnabled) {
        if (error)
            *error = "neither video nor sound exported";
        return false;
    }
    return true;
}

MovieStatus exportMovieAsQuickTime(const Movie &movie, const std::string &path,
                                   const MovieExportSettings &settings,
                                   const MovieProgressProc &progress) {
    if (std::string why; !movieExportSettingsSupported(settings, &why))
        return MovieStatus::failure(MovieError::InvalidArgument, "Export settings: " + why);
    ExportJob job;
    job.settings = &settings;
    job.formatName = "mov";
    if (settings.videoEnabled)
        job.videoTrack = firstEnabledTrack(movie, kVideoMediaType);
    if (settings.soundEnabled)
        for (std::size_t index : movie.tracksOfMediaType(kSoundMediaType))
            if (movie.track(index).enabled())
                job.soundTracks.push_back(index);
    return runExport(movie, path, job, progress);
}

MovieStatus exportMovieAsWave(const Movie &movie, const std::string &path,
                              const MovieProgressProc &progress) {
    ExportJob job;
    job.formatName = "wav";
    if (auto sound = firstEnabledTrack(movie, kSoundMediaType))
        job.soundTracks.push_back(*sound);
    return runExport(movie, path, job, progress);
}

} // namespace toolbox
