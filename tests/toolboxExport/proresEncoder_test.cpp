#include "libavHandles.h"
#include "proresEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

using namespace toolbox;

namespace {

constexpr int kWidth = 256;
constexpr int kHeight = 144;

enum class Content { Gradient, Noise, Black };

// A 10-bit 4:2:2 picture: a moving gradient with detail, pure noise, or black.
FramePtr picture(Content content, int index, std::mt19937 &random) {
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV422P10LE;
    frame->width = kWidth;
    frame->height = kHeight;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    std::uniform_int_distribution<int> sample(64, 940);
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? kWidth : kWidth / 2;
        for (int y = 0; y < kHeight; ++y) {
            auto *row = reinterpret_cast<std::uint16_t *>(
                frame->data[plane] + std::ptrdiff_t{y} * frame->linesize[plane]);
            for (int x = 0; x < width; ++x) {
                int value = 512;
                if (content == Content::Black)
                    value = plane == 0 ? 64 : 512;
                else if (content == Content::Noise)
                    value = sample(random);
                else
                    value = plane == 0 ? 64 + ((x * 3 + y * 2 + index * 5) % 800) +
                                             (((x / 8 + y / 8) % 2) ? 60 : 0)
                                       : 400 + (x + index) % 200;
                row[x] = static_cast<std::uint16_t>(value);
            }
        }
    }
    frame->color_primaries = AVCOL_PRI_BT709;
    frame->color_trc = AVCOL_TRC_BT709;
    frame->colorspace = AVCOL_SPC_BT709;
    return frame;
}

CodecContextPtr params() {
    CodecContextPtr p(avcodec_alloc_context3(nullptr));
    p->width = kWidth;
    p->height = kHeight;
    p->pix_fmt = AV_PIX_FMT_YUV422P10LE;
    p->time_base = {1, 25};
    p->framerate = {25, 1};
    p->sample_aspect_ratio = {1, 1};
    p->color_primaries = AVCOL_PRI_BT709;
    p->color_trc = AVCOL_TRC_BT709;
    p->colorspace = AVCOL_SPC_BT709;
    p->field_order = AV_FIELD_PROGRESSIVE;
    return p;
}

struct Encoded {
    std::vector<std::int64_t> pts;
    std::vector<int> sizes;
    std::vector<std::uint32_t> tags; // the frame header's picture type at bytes 4..7: 'icpf'
    int decoded = 0;
    std::vector<int> primaries;
};

// Encodes the contents in order, then decodes every packet with FFmpeg's ProRes decoder.
Encoded run(const std::vector<Content> &contents, int profile, unsigned threads,
            int *largestQuantiser = nullptr, std::int64_t *budget = nullptr) {
    Encoded result;
    MovieStatus status;
    CodecContextPtr p = params();
    std::unique_ptr<ProresEncoder> encoder = ProresEncoder::open(*p, profile, threads, status);
    EXPECT_TRUE(encoder) << status.message;
    if (!encoder)
        return result;
    EXPECT_EQ(encoder->threads(), threads);
    if (budget)
        *budget = encoder->frameBudget();

    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_PRORES);
    CodecContextPtr dec(avcodec_alloc_context3(codec));
    dec->width = kWidth;
    dec->height = kHeight;
    EXPECT_EQ(avcodec_open2(dec.get(), codec, nullptr), 0);
    FramePtr out(av_frame_alloc());
    const auto write = [&](AVPacket *packet) {
        result.pts.push_back(packet->pts);
        result.sizes.push_back(packet->size);
        if (packet->size >= 8)
            result.tags.push_back(std::uint32_t{packet->data[4]} << 24 |
                                  std::uint32_t{packet->data[5]} << 16 |
                                  std::uint32_t{packet->data[6]} << 8 | packet->data[7]);
        if (avcodec_send_packet(dec.get(), packet) == 0 &&
            avcodec_receive_frame(dec.get(), out.get()) == 0) {
            ++result.decoded;
            result.primaries.push_back(out->color_primaries);
            av_frame_unref(out.get());
        }
        return MovieStatus::success();
    };
    std::mt19937 random(7);
    for (std::size_t i = 0; i < contents.size(); ++i) {
        FramePtr frame = picture(contents[i], static_cast<int>(i), random);
        frame->pts = static_cast<std::int64_t>(i);
        EXPECT_TRUE(encoder->send(frame.get(), write));
    }
    EXPECT_TRUE(encoder->flush(write));
    if (largestQuantiser)
        *largestQuantiser = encoder->largestQuantiser();
    return result;
}

} // namespace

// Frames encoded on several threads come out complete, in order, each one a ProRes frame the
// decoder reads with the colour tags it was given, whatever the profile.
TEST(ProresEncoder, EveryFrameInOrderAndReadableInEveryProfile) {
    const std::vector<Content> contents(12, Content::Gradient);
    for (int profile : {0, 1, 2, 3, 4}) {
        Encoded e = run(contents, profile, 3);
        ASSERT_EQ(e.pts.size(), contents.size()) << profile;
        for (std::size_t i = 0; i < e.pts.size(); ++i)
            EXPECT_EQ(e.pts[i], static_cast<std::int64_t>(i)) << profile;
        EXPECT_EQ(e.decoded, static_cast<int>(contents.size())) << profile;
        for (std::uint32_t tag : e.tags)
            EXPECT_EQ(tag, 0x69637066U) << profile; // 'icpf'
        for (int primaries : e.primaries)
            EXPECT_EQ(primaries, AVCOL_PRI_BT709) << profile;
    }
}

// Pure noise, black and a switch between them all stay within the profile's frame budget, and
// not one frame is dropped; noise needs a coarser quantiser than any clean picture.
TEST(ProresEncoder, NoiseAndBlackStayWithinTheProfilesRate) {
    std::vector<Content> contents;
    for (int i = 0; i < 6; ++i)
        contents.push_back(Content::Black);
    for (int i = 0; i < 10; ++i)
        contents.push_back(Content::Noise);
    for (int i = 0; i < 6; ++i)
        contents.push_back(Content::Gradient);
    for (int profile : {0, 3}) {
        int largest = 0;
        std::int64_t budget = 0;
        Encoded e = run(contents, profile, 2, &largest, &budget);
        ASSERT_EQ(e.sizes.size(), contents.size());
        EXPECT_EQ(e.decoded, static_cast<int>(contents.size()));
        EXPECT_EQ(budget, proresFrameBudget(profile, kWidth, kHeight, false));
        for (int size : e.sizes)
            EXPECT_LE(size, budget) << profile;
        EXPECT_GT(largest, profile == 0 ? 4 : 1);
        // Black costs next to nothing.
        EXPECT_LT(e.sizes[0], budget / 10);
    }
    // On one thread the choice is repeatable: the same pictures give the same frames.
    const std::vector<Content> clean(4, Content::Gradient);
    EXPECT_EQ(run(clean, 3, 1).sizes, run(clean, 3, 1).sizes);
}

TEST(ProresEncoder, FrameBudgetFollowsProfileAndSize) {
    // 1080 lines of HQ: 8160 macroblocks of 950 bits, about 0.97 MB a frame.
    const std::int64_t hq1080 = proresFrameBudget(3, 1920, 1080, false);
    EXPECT_GT(hq1080, 960000);
    EXPECT_LT(hq1080, 1000000);
    EXPECT_LT(proresFrameBudget(0, 1920, 1080, false), proresFrameBudget(1, 1920, 1080, false));
    EXPECT_LT(proresFrameBudget(3, 1920, 1080, false), proresFrameBudget(4, 1920, 1080, false));
    EXPECT_GT(proresFrameBudget(4, 1920, 1080, true), proresFrameBudget(4, 1920, 1080, false));
    EXPECT_GE(usableCores(), 1U);
}
