#include "components.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/bswap.h>
}

#include <array>
#include <string_view>

namespace toolbox {

namespace {

struct ProresProfile {
    OSType type;
    int profile;
    const char *name;
};

// prores_ks profile numbers and the codec types that QuickTime gives them.
constexpr std::array<ProresProfile, 6> kProresProfiles{{
    {fourCharCode("apco"), 0, "Apple ProRes 422 Proxy"},
    {fourCharCode("apcs"), 1, "Apple ProRes 422 LT"},
    {fourCharCode("apcn"), 2, "Apple ProRes 422"},
    {fourCharCode("apch"), 3, "Apple ProRes 422 HQ"},
    {fourCharCode("ap4h"), 4, "Apple ProRes 4444"},
    {fourCharCode("ap4x"), 5, "Apple ProRes 4444 XQ"},
}};

// Formats whose owner is Apple; every other format is listed under FFmpeg's code.
bool isAppleFormat(OSType type) {
    constexpr std::array<std::string_view, 15> apple{"icod", "rle ", "rpza", "smc ", "8BPS",
                                                     "raw ", "jpeg", "mjpa", "mjpb", "twos",
                                                     "sowt", "in24", "in32", "ima4"};
    for (std::string_view code : apple)
        if (fourCharCode(code) == type)
            return true;
    return false;
}

std::string codecName(const AVCodec *codec) {
    return codec->long_name ? codec->long_name : codec->name;
}

void addCodecComponents(std::vector<Component> &registry, AVMediaType mediaType) {
    const AVCodecTag *const tables[] = {mediaType == AVMEDIA_TYPE_VIDEO
                                            ? avformat_get_mov_video_tags()
                                            : avformat_get_mov_audio_tags(),
                                        nullptr};
    const OSType compressor =
        mediaType == AVMEDIA_TYPE_VIDEO ? kImageCompressorType : kSoundCompressorType;
    const OSType decompressor =
        mediaType == AVMEDIA_TYPE_VIDEO ? kImageDecompressorType : kSoundDecompressorType;
    std::vector<Component> decoders;
    for (const AVCodecDescriptor *desc = avcodec_descriptor_next(nullptr); desc;
         desc = avcodec_descriptor_next(desc)) {
        if (desc->type != mediaType)
            continue;
        unsigned int avTag = 0;
        if (!av_codec_get_tag2(tables, desc->id, &avTag) || avTag == 0)
            continue;
        // libavformat keeps the first character in the lowest byte.
        const OSType tag = av_bswap32(avTag);
        if (desc->id == AV_CODEC_ID_PRORES) {
            // One compressor per profile, all through prores_ks (the encoder with slice and
            // frame threads and every profile); the decoder reads every profile.
            if (const AVCodec *enc = avcodec_find_encoder_by_name("prores_ks"))
                for (const ProresProfile &p : kProresProfiles)
                    registry.push_back({{compressor, p.type, kAppleManufacturer, kCmpThreadSafe, 0},
                                        p.name,
                                        enc->name,
                                        p.profile});
            if (const AVCodec *dec = avcodec_find_decoder(desc->id))
                for (const ProresProfile &p : kProresProfiles)
                    decoders.push_back(
                        {{decompressor, p.type, kAppleManufacturer, kCmpThreadSafe, 0},
                         p.name,
                         dec->name,
                         -1});
            continue;
        }
        const OSType manufacturer = isAppleFormat(tag) ? kAppleManufacturer : kFFmpegManufacturer;
        if (const AVCodec *enc = avcodec_find_encoder(desc->id))
            registry.push_back({{compressor, tag, manufacturer, kCmpThreadSafe, 0},
                                codecName(enc),
                                enc->name,
                                -1});
        if (const AVCodec *dec = avcodec_find_decoder(desc->id))
            decoders.push_back({{decompressor, tag, manufacturer, kCmpThreadSafe, 0},
                                codecName(dec),
                                dec->name,
                                -1});
    }
    registry.insert(registry.end(), decoders.begin(), decoders.end());
}

std::vector<Component> buildRegistry() {
    std::vector<Component> registry;
    // The exporters need their muxer and a PCM encoder.
    const bool pcm = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE) != nullptr;
    if (pcm && av_guess_format("mov", nullptr, nullptr))
        registry.push_back({{kMovieExportType, fourCharCode("MooV"), kAppleManufacturer,
                             kCanMovieExportFiles | kCmpThreadSafe, 0},
                            "QuickTime Movie",
                            "mov",
                            -1});
    if (pcm && av_guess_format("wav", nullptr, nullptr))
        registry.push_back({{kMovieExportType, fourCharCode("WAVE"), fourCharCode("soun"),
                             kCanMovieExportFiles | kCmpThreadSafe, 0},
                            "WAVE",
                            "wav",
                            -1});
    addCodecComponents(registry, AVMEDIA_TYPE_VIDEO);
    addCodecComponents(registry, AVMEDIA_TYPE_AUDIO);
    return registry;
}

bool matches(const ComponentDescription &have, const ComponentDescription &looking) {
    if (looking.componentType && looking.componentType != have.componentType)
        return false;
    if (looking.componentSubType && looking.componentSubType != have.componentSubType)
        return false;
    if (looking.componentManufacturer &&
        looking.componentManufacturer != have.componentManufacturer)
        return false;
    return ((have.componentFlags ^ looking.componentFlags) & looking.componentFlagsMask) == 0;
}

} // namespace

const std::vector<Component> &componentRegistry() {
    static const std::vector<Component> registry = buildRegistry();
    return registry;
}

const Component *findNextComponent(const Component *previous, const ComponentDescription &looking) {
    const std::vector<Component> &registry = componentRegistry();
    std::size_t index = 0;
    if (previous) {
        if (previous < registry.data() || previous >= registry.data() + registry.size())
            return nullptr;
        index = static_cast<std::size_t>(previous - registry.data()) + 1;
    }
    for (; index < registry.size(); ++index)
        if (matches(registry[index].description, looking))
            return &registry[index];
    return nullptr;
}

std::size_t countComponents(const ComponentDescription &looking) {
    std::size_t count = 0;
    for (const Component *c = findNextComponent(nullptr, looking); c;
         c = findNextComponent(c, looking))
        ++count;
    return count;
}

const Component *findImageCompressor(OSType codecType) {
    return findNextComponent(nullptr, {kImageCompressorType, codecType, 0, 0, 0});
}

} // namespace toolbox
