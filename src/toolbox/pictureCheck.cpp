#include "pictureCheck.h"

#include "libavHandles.h"

namespace toolbox {

namespace {

MovieStatus unreadable(const std::string &path, const std::string &why) {
    return MovieStatus::failure(MovieError::ReadFailed, "\"" + path + "\": " + why);
}

} // namespace

MovieStatus decodeFirstPicture(const std::string &path) {
    if (path.empty())
        return MovieStatus::failure(MovieError::InvalidArgument, "no file to check");
    // "file:" keeps a name such as "concat:a|b" or "pipe:0" a plain file.
    const std::string url = "file:" + path;
    AVFormatContext *raw = nullptr;
    int err = avformat_open_input(&raw, url.c_str(), nullptr, nullptr);
    if (err < 0)
        return MovieStatus::failure(err == AVERROR(ENOENT) ? MovieError::FileNotFound
                                                           : MovieError::NotAMovie,
                                    "\"" + path + "\": " + avErrorText(err));
    InputFormatPtr input(raw);
    // A QuickTime header describes its pictures (codec, size, configuration) already: the
    // search through the first samples of every stream, a third of the check's time on a
    // 1080p movie, is only needed when the container does not.
    const AVCodec *codec = nullptr;
    int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    const bool described = stream >= 0 && input->streams[stream]->codecpar->width > 0 &&
                           input->streams[stream]->codecpar->height > 0;
    if (!described) {
        err = avformat_find_stream_info(input.get(), nullptr);
        if (err < 0)
            return unreadable(path, avErrorText(err));
        codec = nullptr;
        stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    }
    if (stream == AVERROR_DECODER_NOT_FOUND)
        return unreadable(path, "no decoder for its video");
    if (stream < 0 || codec == nullptr)
        return unreadable(path, "no video stream");
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder)
        return MovieStatus::failure(MovieError::ReadFailed, "out of memory");
    err = avcodec_parameters_to_context(decoder.get(), input->streams[stream]->codecpar);
    if (err >= 0) {
        decoder->pkt_timebase = input->streams[stream]->time_base;
        decoder->thread_count = 1; // one picture: threads would only cost their start
        err = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (err < 0)
        return unreadable(path, std::string("cannot open the ") + codec->name +
                                    " decoder: " + avErrorText(err));

    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return MovieStatus::failure(MovieError::ReadFailed, "out of memory");
    bool draining = false;
    for (;;) {
        if (!draining) {
            err = av_read_frame(input.get(), packet.get());
            if (err < 0) {
                // End of file or damage: what the decoder holds may still give a picture.
                draining = true;
                avcodec_send_packet(decoder.get(), nullptr);
            } else if (packet->stream_index != stream) {
                av_packet_unref(packet.get());
                continue;
            } else {
                err = avcodec_send_packet(decoder.get(), packet.get());
                av_packet_unref(packet.get());
                // A damaged packet is skipped, as the ffmpeg program does; a later one may
                // still decode.
                if (err < 0 && err != AVERROR(EAGAIN) && err != AVERROR_INVALIDDATA)
                    return unreadable(path, avErrorText(err));
            }
        }
        err = avcodec_receive_frame(decoder.get(), frame.get());
        if (err == 0)
            return MovieStatus::success();
        if (err == AVERROR(EAGAIN) && !draining)
            continue;
        if (err == AVERROR_EOF || err == AVERROR(EAGAIN))
            return unreadable(path, "no picture decodes");
        if (!draining && err == AVERROR_INVALIDDATA)
            continue;
        return unreadable(path, avErrorText(err));
    }
}

} // namespace toolbox
