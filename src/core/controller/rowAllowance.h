// What a batch row may have: which output formats and frame-rate modes this system and the
// row's source allow, why the others are not, and the row's choice brought back to what is
// allowed. One rule for every place that asks: the table's cells, the preferences window, the
// terminal's words and the correction of a new row's stored choice.
#pragma once

#include "controller/exportPreset.h"

#include <array>
#include <cstdint>
#include <optional>

/// Why a format or a frame-rate mode may not be chosen.
enum class rowBlock {
    none,          ///< it may be chosen
    noEncoder,     ///< this system has no encoder for the format
    sourceBelow31, ///< the rate change needs a source of 31 frames/s or more
    rewrapKeeps,   ///< half rate needs an export: a rewrapped movie keeps every frame
};

/// The facts a row's allowance is decided from.
struct rowAllowanceFacts {
    int32_t format = outRewrap; ///< the chosen format (outFormat)
    int32_t rate = fpsNormal;   ///< the chosen frame-rate mode (fpsMode)
    /// The source's frame rate; nothing when no source is known (the defaults of new rows):
    /// the rate changes are then not held against it.
    std::optional<double> sourceFps;
    bool aicAvailable = false;    ///< an Intermediate Codec encoder exists
    bool proresAvailable = false; ///< a ProRes encoder exists
};

/// What the row may have, and its choice as it must be.
struct rowAllowanceValue {
    /// Per output format (outFormat order): why it can't be chosen, rowBlock::none when it can.
    std::array<rowBlock, 3> formats{};
    /// Per frame-rate mode (fpsMode order), for the corrected format.
    std::array<rowBlock, 3> rates{};
    int32_t format = outRewrap; ///< the chosen format, or rewrap when it can't be chosen
    int32_t rate = fpsNormal;   ///< the chosen mode, or normal when it can't be chosen
    /// The chosen format was replaced (its encoder is missing, or it is out of range).
    bool formatCorrected = false;
    /// The chosen mode was replaced.
    bool rateCorrected = false;

    bool formatAllowed(int32_t format) const;
    bool rateAllowed(int32_t rate) const;
};

/// The row's allowance: a format without its encoder is a rewrap; half rate and slow motion need
/// a source of 31 frames/s or more; half rate also needs an export (a format other than rewrap,
/// once the format is corrected). A choice out of range counts as rewrap / normal.
rowAllowanceValue rowAllowance(const rowAllowanceFacts &facts);
