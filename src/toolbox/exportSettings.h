// Settings of the QuickTime movie exporter ('spit' 'MooV'), kept as an atom container.
//
// Layout of the container (atomContainer.h gives the byte layout of atoms; every number is
// big-endian; atoms not listed here are ignored when read):
//
//   'sean' root
//   +- 'vide' ID 1            video settings
//   |  +- 'enab' ID 1         1 byte: 1 = the video is exported, 0 = left out (default 1)
//   |  +- 'sptl' ID 1         spatial settings, 14 bytes: codec type (4), codec (4, 0),
//   |                         depth (2: 24 colour, 32 with alpha), spatial quality (4, 0..1024).
//   |                         The 16-byte form with 2 padding bytes after the depth is read too.
//   |  +- 'tprl' ID 1         temporal settings, 12 bytes: temporal quality (4), frame rate
//   |                         (4, 16.16 fixed point, 0 = the source's rate), key frame rate (4,
//   |                         0 = the encoder's choice)
//   |  +- 'drat' ID 1         data rate settings, 16 bytes: data rate in bytes per second (4,
//   |                         0 = the encoder's choice), frame duration in ms (4), minimum
//   |                         spatial quality (4), minimum temporal quality (4)
//   |  +- 'fsiz' ID 1         frame size, 12 bytes: width (4), height (4) in pixels (0 and 0 =
//   |                         the source's size), fit (4): 0 = scaled to the size, 1 = letterbox
//   |                         (the picture keeps its aspect ratio inside the size, black bars)
//   +- 'soun' ID 1            sound settings
//      +- 'enab' ID 1         1 byte, as for video (default 1)
//      +- 'sfmt' ID 1         sound format, 12 bytes: format (4: 'twos' 16/24/32-bit signed
//                             big-endian PCM by sample size, 'sowt' little-endian, 'in24',
//                             'in32', 'fl32', 'fl64'), sample rate in Hz (4, 0 = the source's),
//                             sample size in bits (2), channel count (2, 0 = the source's)
//
// 'vide' needs 'sptl' ('tprl', 'drat' and 'fsiz' are optional); 'soun' needs 'sfmt'. At least
// one of 'vide' and 'soun' must be present.
#pragma once

#include "fourCharCode.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace toolbox {

enum class FrameFit : std::uint32_t { Scale = 0, Letterbox = 1 };

inline constexpr std::uint32_t kCodecNormalQuality = 0x200;
inline constexpr std::uint32_t kCodecMaxQuality = 0x3ff;
inline constexpr std::uint32_t kCodecLosslessQuality = 0x400;

struct MovieExportSettings {
    bool videoEnabled = true;
    OSType codecType = fourCharCode("apch");
    std::uint16_t depth = 24;
    std::uint32_t spatialQuality = kCodecNormalQuality;
    std::uint32_t temporalQuality = 0;
    std::int32_t frameRate = 0; ///< 16.16 fixed point; 0 keeps the source's rate
    std::uint32_t keyFrameRate = 0;
    std::uint32_t dataRate = 0; ///< bytes per second; 0 leaves it to the encoder
    std::uint32_t frameDurationMs = 0;
    std::uint32_t minSpatialQuality = 0;
    std::uint32_t minTemporalQuality = 0;
    std::uint32_t width = 0; ///< 0 with height 0 keeps the source's size
    std::uint32_t height = 0;
    FrameFit fit = FrameFit::Scale;

    bool soundEnabled = true;
    OSType soundFormat = fourCharCode("twos");
    std::uint32_t sampleRate = 48000; ///< Hz; 0 keeps the source's rate
    std::uint16_t sampleBits = 16;
    std::uint16_t channels = 0; ///< 0 keeps the source's count

    bool operator==(const MovieExportSettings &) const = default;
};

/// 16.16 fixed point from frames per second, and back.
std::int32_t frameRateToFixed(double framesPerSecond);
double fixedToFrameRate(std::int32_t fixed);

/// Reads settings from a container's bytes. Nothing when the bytes are not an atom container or
/// the container lacks what the layout above requires (reason in error).
std::optional<MovieExportSettings>
movieExportSettingsFromAtomContainer(std::span<const std::uint8_t> bytes,
                                     std::string *error = nullptr);

/// The container's bytes for these settings.
std::vector<std::uint8_t> movieExportSettingsToAtomContainer(const MovieExportSettings &settings);

} // namespace toolbox
