// The three-segment cells of the batch table: which image each segment of a row's "out"
// (output format) and "fps" (frame-rate mode) cell shows, and which segments may be chosen.
#pragma once

#include <QMetaType>
#include <QString>

#include <array>
#include <cstdint>

struct batchSegment {
    QString image; ///< image name; empty: the segment's own picture
    bool enabled = true;
};
using batchSegmentCell = std::array<batchSegment, 3>;
Q_DECLARE_METATYPE(batchSegmentCell)

/// "out": rewrap, Apple Intermediate Codec, ProRes; a codec that can't be written here shows
/// its "No" picture and can't be chosen.
batchSegmentCell batchOutSegments(bool aicAvailable, bool proresAvailable);

/// "fps": normal, half rate, slow motion. Half rate needs a source of 31 frames/s or more and
/// an output format other than rewrap; slow motion needs 31 frames/s or more.
batchSegmentCell batchFpsSegments(double sourceFps, int32_t outInt);
