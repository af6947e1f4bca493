#include "batchSegments.h"

namespace {

batchSegmentBlock segmentBlockOf(rowBlock block) {
    switch (block) {
    case rowBlock::none:
        break;
    case rowBlock::noEncoder:
        return batchSegmentBlock::noEncoder;
    case rowBlock::sourceBelow31:
        return batchSegmentBlock::sourceBelow31;
    case rowBlock::rewrapKeeps:
        return batchSegmentBlock::rewrapKeeps;
    }
    return batchSegmentBlock::none;
}

/// The cell of three choices: each segment shows its picture, or its "No" picture when the
/// allowance blocks it.
batchSegmentCell cellOf(const std::array<rowBlock, 3> &blocks,
                        const std::array<const char *, 3> &on,
                        const std::array<const char *, 3> &off) {
    batchSegmentCell cell;
    for (size_t i = 0; i < cell.size(); ++i) {
        const bool allowed = blocks.at(i) == rowBlock::none;
        cell.at(i) = {QString::fromLatin1(allowed ? on.at(i) : off.at(i)), allowed,
                      segmentBlockOf(blocks.at(i))};
    }
    return cell;
}

} // namespace

batchSegmentCell batchOutSegments(const rowAllowanceValue &allowed) {
    // Rewrap is always possible: it has no "No" picture.
    return cellOf(allowed.formats, {"iconRewrap_min", "iconImovie_min", "iconFcp_min"},
                  {"iconRewrap_min", "iconImovieNo_min", "iconFcpNo_min"});
}

batchSegmentCell batchFpsSegments(const rowAllowanceValue &allowed) {
    return cellOf(allowed.rates, {"fpsNormal_min", "fpsHalf_min", "fpsSlow_min"},
                  {"fpsNormal_min", "fpsHalfNo_min", "fpsSlowNo_min"});
}

batchSegmentCell batchConvertedSegments(batchSegmentCell cell) {
    for (batchSegment &segment : cell) {
        segment.enabled = false;
        segment.block = batchSegmentBlock::converted;
    }
    return cell;
}

int32_t batchSegmentStep(const batchSegmentCell &cell, int32_t selected, int32_t step, bool wrap) {
    const auto count = static_cast<int32_t>(cell.size());
    if (step == 0) {
        return -1;
    }
    int32_t at = selected < 0 || selected >= count ? (step > 0 ? -1 : count) : selected;
    for (int32_t tried = 0; tried < count; ++tried) {
        at += step;
        if (at < 0 || at >= count) {
            if (!wrap) {
                return -1;
            }
            at = (at + count) % count;
        }
        if (at == selected) {
            return -1;
        }
        if (cell[static_cast<size_t>(at)].enabled) {
            return at;
        }
    }
    return -1;
}
