#include "fieldInfo.h"

#include "movieMedia.h"

#include <memory>

extern "C" {
#include <libavcodec/codec_par.h>
}

namespace toolbox {

namespace {

constexpr std::size_t kVideoDescriptionHeader = 86; // sample entry fields before extensions

std::uint32_t readU32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
           std::uint32_t{b[at + 2]} << 8 | std::uint32_t{b[at + 3]};
}

void putU32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>(v >> 16);
    b[at + 2] = static_cast<std::uint8_t>(v >> 8);
    b[at + 3] = static_cast<std::uint8_t>(v);
}

void appendU32(std::vector<std::uint8_t> &b, std::uint32_t v) {
    b.resize(b.size() + 4);
    putU32(b, b.size() - 4, v);
}

/// One video sample description with its 'fiel' set; empty when it can't be walked.
std::vector<std::uint8_t> entryWithFieldInfo(std::span<const std::uint8_t> entry,
                                             std::uint8_t fields, std::uint8_t detail) {
    if (entry.size() < kVideoDescriptionHeader)
        return {};
    const std::uint16_t colourTable = static_cast<std::uint16_t>(
        entry[kVideoDescriptionHeader - 2] << 8 | entry[kVideoDescriptionHeader - 1]);
    if (colourTable == 0)
        return {};
    std::vector<std::uint8_t> out(entry.begin(), entry.begin() + kVideoDescriptionHeader);
    std::size_t at = kVideoDescriptionHeader;
    while (at + 8 <= entry.size()) {
        const std::uint32_t size = readU32(entry, at);
        if (size < 8 || size > entry.size() - at)
            return {};
        if (readU32(entry, at + 4) != fourCharCode("fiel"))
            out.insert(out.end(), entry.begin() + at, entry.begin() + at + size);
        at += size;
    }
    // A trailing 32-bit zero terminator (some writers end the list with it) is kept last.
    const bool terminator = entry.size() - at == 4 && readU32(entry, at) == 0;
    if (at != entry.size() && !terminator)
        return {};
    appendU32(out, 10);
    appendU32(out, fourCharCode("fiel"));
    out.push_back(fields);
    out.push_back(detail);
    if (terminator)
        appendU32(out, 0);
    putU32(out, 0, static_cast<std::uint32_t>(out.size()));
    return out;
}

} // namespace

std::vector<std::uint8_t> stsdWithFieldInfo(std::span<const std::uint8_t> stsd, std::uint8_t fields,
                                            std::uint8_t detail) {
    if (stsd.size() < 16 || readU32(stsd, 0) != stsd.size() ||
        readU32(stsd, 4) != fourCharCode("stsd"))
        return {};
    const std::uint32_t count = readU32(stsd, 12);
    std::vector<std::uint8_t> out(stsd.begin(), stsd.begin() + 16);
    std::size_t at = 16;
    for (std::uint32_t k = 0; k < count; ++k) {
        if (at + 8 > stsd.size())
            return {};
        const std::uint32_t size = readU32(stsd, at);
        if (size < 8 || size > stsd.size() - at)
            return {};
        const auto entry = entryWithFieldInfo(stsd.subspan(at, size), fields, detail);
        if (entry.empty())
            return {};
        out.insert(out.end(), entry.begin(), entry.end());
        at += size;
    }
    if (at != stsd.size())
        return {};
    putU32(out, 0, static_cast<std::uint32_t>(out.size()));
    return out;
}

MovieStatus setVideoFieldInfo(Movie &movie, std::uint8_t fields, std::uint8_t detail) {
    for (std::size_t i = 0; i < movie.trackCount(); ++i) {
        MovieTrack &track = movie.track(i);
        if (track.mediaType() != kVideoMediaType)
            continue;
        const MovieMedia &media = MovieAccess::media(track);
        if (media.storage != MovieMedia::Storage::QuickTime)
            return MovieStatus::failure(MovieError::Unsupported,
                                        "field information of a track whose media is not "
                                        "QuickTime media");
        auto changed = std::make_shared<MovieMedia>();
        changed->storage = media.storage;
        changed->path = media.path;
        changed->headerPath = media.headerPath;
        changed->selfReference = media.selfReference;
        changed->mediaType = media.mediaType;
        changed->timeScale = media.timeScale;
        changed->duration = media.duration;
        changed->streamIndex = media.streamIndex;
        if (media.codecParameters) {
            changed->codecParameters.reset(avcodec_parameters_alloc());
            if (!changed->codecParameters ||
                avcodec_parameters_copy(changed->codecParameters.get(),
                                        media.codecParameters.get()) < 0)
                return MovieStatus::failure(MovieError::Unsupported, "out of memory");
        }
        changed->language = media.language;
        changed->mediaInfoHeader = media.mediaInfoHeader;
        changed->sampleTableAtoms = media.sampleTableAtoms;
        changed->chunkOffsets = media.chunkOffsets;
        changed->timeBase = media.timeBase;
        changed->startTime = media.startTime;
        bool found = false;
        for (auto &atom : changed->sampleTableAtoms) {
            if (atom.size() < 8 || readU32(atom, 4) != fourCharCode("stsd"))
                continue;
            auto patched = stsdWithFieldInfo(atom, fields, detail);
            if (patched.empty())
                return MovieStatus::failure(MovieError::Unsupported,
                                            "a video sample description that can't be read");
            atom = std::move(patched);
            found = true;
        }
        if (!found)
            return MovieStatus::failure(MovieError::Unsupported,
                                        "a video track without sample descriptions");
        MovieAccess::replaceMedia(track, std::move(changed));
    }
    return MovieStatus::success();
}

} // namespace toolbox
