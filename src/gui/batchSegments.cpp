#include "batchSegments.h"

batchSegmentCell batchOutSegments(bool aicAvailable, bool proresAvailable) {
    batchSegmentCell cell;
    cell[0].image = QStringLiteral("iconRewrap_min");
    cell[1].image = QStringLiteral("iconImovie_min");
    cell[2].image = QStringLiteral("iconFcp_min");
    if (!aicAvailable) {
        cell[1] = {QStringLiteral("iconImovieNo_min"), false};
    }
    if (!proresAvailable) {
        cell[2] = {QStringLiteral("iconFcpNo_min"), false};
    }
    return cell;
}

batchSegmentCell batchFpsSegments(double sourceFps, int32_t outInt) {
    batchSegmentCell cell;
    cell[0].image = QStringLiteral("fpsNormal_min");
    if (sourceFps >= 31 && outInt != 0) {
        cell[1] = {QStringLiteral("fpsHalf_min"), true};
    } else {
        cell[1] = {QStringLiteral("fpsHalfNo_min"), false};
    }
    if (sourceFps < 31) {
        cell[2] = {QStringLiteral("fpsSlowNo_min"), false};
    } else {
        cell[2] = {QStringLiteral("fpsSlow_min"), true};
    }
    return cell;
}
