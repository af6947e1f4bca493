// The component registry: what FFmpeg's libraries can do, described the way QuickTime's
// Component Manager described installed components.
//
// - image compressors ('imco') for the video encoders and image decompressors ('imdc') for the
//   video decoders, with the QuickTime codec type as subtype; the ProRes family is one
//   compressor per profile (apco, apcs, apcn, apch, ap4h, ap4x, manufacturer 'appl') through
//   prores_ks;
// - sound compressors ('scom') and decompressors ('sdec') with QuickTime sound format subtypes;
// - movie exporters ('spit'): 'MooV' 'appl' (QuickTime movie) and 'WAVE' 'soun' (WAVE sound).
// A format without an encoder in this build has no compressor, so it is never offered as an
// output (the Apple Intermediate Codec 'icod' has a decompressor only).
#pragma once

#include "fourCharCode.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace toolbox {

inline constexpr OSType kMovieExportType = fourCharCode("spit");
inline constexpr OSType kImageCompressorType = fourCharCode("imco");
inline constexpr OSType kImageDecompressorType = fourCharCode("imdc");
inline constexpr OSType kSoundCompressorType = fourCharCode("scom");
inline constexpr OSType kSoundDecompressorType = fourCharCode("sdec");
inline constexpr OSType kAppleManufacturer = fourCharCode("appl");
/// Manufacturer of the formats that belong to no single owner (FFmpeg provides them).
inline constexpr OSType kFFmpegManufacturer = fourCharCode("FFmp");

/// Component flags.
inline constexpr std::uint32_t kCanMovieExportFiles = 0x10;
inline constexpr std::uint32_t kCmpThreadSafe = 0x10000000;
inline constexpr std::uint32_t kCmpIsMissing = 0x20000000;

struct ComponentDescription {
    OSType componentType = 0;         ///< 0 matches any type in a search
    OSType componentSubType = 0;      ///< 0 matches any subtype
    OSType componentManufacturer = 0; ///< 0 matches any manufacturer
    std::uint32_t componentFlags = 0;
    std::uint32_t componentFlagsMask = 0; ///< flags compared in a search
};

struct Component {
    ComponentDescription description; ///< flags mask 0
    std::string name;
    /// FFmpeg's encoder (compressors), decoder (decompressors) or muxer (exporters) behind it.
    std::string implementation;
    /// The encoder's profile for this subtype (ProRes), or -1.
    int profile = -1;
};

/// Every component, in registry order; built once, never changes afterwards.
const std::vector<Component> &componentRegistry();

/// The next component after previous (nullptr: from the first) whose description matches:
/// zero type, subtype or manufacturer match anything; the flags of the mask must be equal.
const Component *findNextComponent(const Component *previous, const ComponentDescription &looking);

/// How many components match.
std::size_t countComponents(const ComponentDescription &looking);

/// The image compressor for a codec type, or nullptr when no encoder writes it.
const Component *findImageCompressor(OSType codecType);

} // namespace toolbox
