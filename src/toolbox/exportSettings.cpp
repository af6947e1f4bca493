#include "exportSettings.h"

#include "atomContainer.h"

#include <cmath>

namespace toolbox {

namespace {

constexpr OSType kVide = fourCharCode("vide");
constexpr OSType kSoun = fourCharCode("soun");
constexpr OSType kEnab = fourCharCode("enab");
constexpr OSType kSptl = fourCharCode("sptl");
constexpr OSType kTprl = fourCharCode("tprl");
constexpr OSType kDrat = fourCharCode("drat");
constexpr OSType kFsiz = fourCharCode("fsiz");
constexpr OSType kSfmt = fourCharCode("sfmt");

bool fail(std::string *error, const char *message) {
    if (error)
        *error = message;
    return false;
}

// 'enab' is optional; when present it must hold exactly one byte.
bool readEnabled(const QTAtom &parent, bool &enabled, std::string *error) {
    enabled = true;
    const QTAtom *enab = parent.findChild(kEnab);
    if (!enab)
        return true;
    if (enab->data.size() != 1)
        return fail(error, "'enab' is not one byte");
    enabled = enab->data[0] != 0;
    return true;
}

bool readVideo(const QTAtom &vide, MovieExportSettings &s, std::string *error) {
    if (!readEnabled(vide, s.videoEnabled, error))
        return false;
    const QTAtom *sptl = vide.findChild(kSptl);
    if (!sptl)
        return fail(error, "'vide' without 'sptl'");
    std::span<const std::uint8_t> d = sptl->data;
    if (d.size() != 14 && d.size() != 16)
        return fail(error, "'sptl' is neither 14 nor 16 bytes");
    s.codecType = readU32(d, 0);
    s.depth = readU16(d, 8);
    s.spatialQuality = readU32(d, d.size() - 4);
    if (s.videoEnabled && s.codecType == 0)
        return fail(error, "'sptl' names no codec");
    if (s.spatialQuality > kCodecLosslessQuality)
        return fail(error, "spatial quality out of range");

    if (const QTAtom *tprl = vide.findChild(kTprl)) {
        d = tprl->data;
        if (d.size() != 12)
            return fail(error, "'tprl' is not 12 bytes");
        s.temporalQuality = readU32(d, 0);
        s.frameRate = static_cast<std::int32_t>(readU32(d, 4));
        s.keyFrameRate = readU32(d, 8);
        if (s.frameRate < 0)
            return fail(error, "negative frame rate");
    }
    if (const QTAtom *drat = vide.findChild(kDrat)) {
        d = drat->data;
        if (d.size() != 16)
            return fail(error, "'drat' is not 16 bytes");
        s.dataRate = readU32(d, 0);
        s.frameDurationMs = readU32(d, 4);
        s.minSpatialQuality = readU32(d, 8);
        s.minTemporalQuality = readU32(d, 12);
    }
    if (const QTAtom *fsiz = vide.findChild(kFsiz)) {
        d = fsiz->data;
        if (d.size() != 12)
            return fail(error, "'fsiz' is not 12 bytes");
        s.width = readU32(d, 0);
        s.height = readU32(d, 4);
        const std::uint32_t fit = readU32(d, 8);
        // Sizes past 16384 are no picture size any encoder takes; odd sizes do not fit 4:2:x.
        if (s.width > 16384 || s.height > 16384 || (s.width == 0) != (s.height == 0) ||
            s.width % 2 || s.height % 2)
            return fail(error, "frame size out of range");
        if (fit > static_cast<std::uint32_t>(FrameFit::Letterbox))
            return fail(error, "unknown frame fit");
        s.fit = static_cast<FrameFit>(fit);
    }
    return true;
}

bool readSound(const QTAtom &soun, MovieExportSettings &s, std::string *error) {
    if (!readEnabled(soun, s.soundEnabled, error))
        return false;
    const QTAtom *sfmt = soun.findChild(kSfmt);
    if (!sfmt)
        return fail(error, "'soun' without 'sfmt'");
    std::span<const std::uint8_t> d = sfmt->data;
    if (d.size() != 12)
        return fail(error, "'sfmt' is not 12 bytes");
    s.soundFormat = readU32(d, 0);
    s.sampleRate = readU32(d, 4);
    s.sampleBits = readU16(d, 8);
    s.channels = readU16(d, 10);
    if (s.sampleRate > 768000 || s.channels > 64)
        return fail(error, "sound format out of range");
    return true;
}

std::vector<std::uint8_t> u32s(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t v : values)
        appendU32(out, v);
    return out;
}

} // namespace

std::int32_t frameRateToFixed(double framesPerSecond) {
    return static_cast<std::int32_t>(std::lround(framesPerSecond * 65536.0));
}

double fixedToFrameRate(std::int32_t fixed) {
    return fixed / 65536.0;
}

std::optional<MovieExportSettings>
movieExportSettingsFromAtomContainer(std::span<const std::uint8_t> bytes, std::string *error) {
    const auto container = parseQTAtomContainer(bytes, error);
    if (!container)
        return std::nullopt;
    MovieExportSettings s;
    const QTAtom *vide = container->root.findChild(kVide);
    const QTAtom *soun = container->root.findChild(kSoun);
    if (!vide && !soun) {
        fail(error, "neither 'vide' nor 'soun' settings");
        return std::nullopt;
    }
    if (vide) {
        if (!readVideo(*vide, s, error))
            return std::nullopt;
    } else {
        s.videoEnabled = false;
    }
    if (soun) {
        if (!readSound(*soun, s, error))
            return std::nullopt;
    } else {
        s.soundEnabled = false;
    }
    return s;
}

std::vector<std::uint8_t> movieExportSettingsToAtomContainer(const MovieExportSettings &s) {
    QTAtomContainer container;
    QTAtom &vide = container.root.addChild(kVide);
    vide.addChild(kEnab, 1, {static_cast<std::uint8_t>(s.videoEnabled ? 1 : 0)});
    std::vector<std::uint8_t> sptl = u32s({s.codecType, 0});
    appendU16(sptl, s.depth);
    appendU32(sptl, s.spatialQuality);
    vide.addChild(kSptl, 1, std::move(sptl));
    vide.addChild(
        kTprl, 1,
        u32s({s.temporalQuality, static_cast<std::uint32_t>(s.frameRate), s.keyFrameRate}));
    vide.addChild(kDrat, 1,
                  u32s({s.dataRate, s.frameDurationMs, s.minSpatialQuality, s.minTemporalQuality}));
    vide.addChild(kFsiz, 1, u32s({s.width, s.height, static_cast<std::uint32_t>(s.fit)}));

    QTAtom &soun = container.root.addChild(kSoun);
    soun.addChild(kEnab, 1, {static_cast<std::uint8_t>(s.soundEnabled ? 1 : 0)});
    std::vector<std::uint8_t> sfmt = u32s({s.soundFormat, s.sampleRate});
    appendU16(sfmt, s.sampleBits);
    appendU16(sfmt, s.channels);
    soun.addChild(kSfmt, 1, std::move(sfmt));
    return serializeQTAtomContainer(container);
}

} // namespace toolbox
