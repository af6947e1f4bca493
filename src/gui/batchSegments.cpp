#include "batchSegments.h"

batchSegmentCell batchOutSegments(bool aicAvailable, bool proresAvailable) {
    batchSegmentCell cell;
    cell[0].image = QStringLiteral("iconRewrap_min");
    cell[1].image = QStringLiteral("iconImovie_min");
    cell[2].image = QStringLiteral("iconFcp_min");
    if (!aicAvailable) {
        cell[1] = {QStringLiteral("iconImovieNo_min"), false, batchSegmentBlock::noEncoder};
    }
    if (!proresAvailable) {
        cell[2] = {QStringLiteral("iconFcpNo_min"), false, batchSegmentBlock::noEncoder};
    }
    return cell;
}

batchSegmentCell batchFpsSegments(double sourceFps, int32_t outInt) {
    batchSegmentCell cell;
    cell[0].image = QStringLiteral("fpsNormal_min");
    if (sourceFps >= 31 && outInt != 0) {
        cell[1] = {QStringLiteral("fpsHalf_min"), true, batchSegmentBlock::none};
    } else {
        // The source's rate is the first reason: with it, rewrap is the only one left.
        cell[1] = {QStringLiteral("fpsHalfNo_min"), false,
                   sourceFps < 31 ? batchSegmentBlock::sourceBelow31
                                  : batchSegmentBlock::rewrapKeeps};
    }
    if (sourceFps < 31) {
        cell[2] = {QStringLiteral("fpsSlowNo_min"), false, batchSegmentBlock::sourceBelow31};
    } else {
        cell[2] = {QStringLiteral("fpsSlow_min"), true, batchSegmentBlock::none};
    }
    return cell;
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
