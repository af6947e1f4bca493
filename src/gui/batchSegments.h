// The three-segment cells of the batch table: which image each segment of a row's "out"
// (output format) and "fps" (frame-rate mode) cell shows, which segments may be chosen and why
// a segment may not, and where the keyboard moves the choice.
#pragma once

#include "controller/rowAllowance.h"

#include <QMetaType>
#include <QString>

#include <array>
#include <cstdint>

/// Why a segment can't be chosen.
enum class batchSegmentBlock {
    none,          ///< it can be chosen
    noEncoder,     ///< this system has no encoder for the format
    sourceBelow31, ///< the rate change needs a source of 31 frames/s or more
    rewrapKeeps,   ///< a rewrapped movie keeps every frame of its source
    converted,     ///< the row is converted: its choices are what its movie was made with
};

struct batchSegment {
    QString image; ///< image name; empty: the segment's own picture
    bool enabled = true;
    batchSegmentBlock block = batchSegmentBlock::none;
};
using batchSegmentCell = std::array<batchSegment, 3>;
Q_DECLARE_METATYPE(batchSegmentCell)

/// "out": rewrap, Apple Intermediate Codec, ProRes, as the row's allowance says; a codec that
/// can't be written here shows its "No" picture and can't be chosen.
batchSegmentCell batchOutSegments(const rowAllowanceValue &allowed);

/// "fps": normal, half rate, slow motion, as the row's allowance says (half rate needs a source
/// of 31 frames/s or more and an export, slow motion 31 frames/s or more); a mode the row may
/// not have shows its "No" picture and can't be chosen.
batchSegmentCell batchFpsSegments(const rowAllowanceValue &allowed);

/// A converted row's cell: every segment locked as it is (Convert would leave the row alone, so
/// a change there would change nothing); "Convert Again" opens the row to changes.
batchSegmentCell batchConvertedSegments(batchSegmentCell cell);

/// The segment a key moves the choice to: `step` -1 (Left) or +1 (Right) goes to the nearest
/// enabled segment that way, or nothing at the end; `wrap` (Space) goes on past the end and
/// round to the start. Nothing when no other enabled segment is found.
int32_t batchSegmentStep(const batchSegmentCell &cell, int32_t selected, int32_t step, bool wrap);
