// The shares of a batch that are done, and the time left.
#include "controller/batchProgress.h"

#include <algorithm>

double batchJobFraction(batchPhase phase, double phaseFraction, bool exportFollows) {
    const double f = std::clamp(phaseFraction, 0.0, 1.0);
    switch (phase) {
    case batchPhase::converting:
        return exportFollows ? 0.15 * f : 0.95 * f;
    case batchPhase::exporting:
        return 0.15 + 0.8 * f;
    case batchPhase::checking:
        return 0.95 + 0.05 * f;
    case batchPhase::finished:
        return 1;
    case batchPhase::analysing:
    case batchPhase::stopped:
        break;
    }
    return 0;
}

double batchFraction(int32_t doneRows, int32_t total, double jobFraction) {
    if (total <= 0) {
        return 0;
    }
    const double done = std::clamp(static_cast<double>(doneRows), 0.0, static_cast<double>(total));
    return std::clamp((done + std::clamp(jobFraction, 0.0, 1.0)) / total, 0.0, 1.0);
}

double batchSecondsLeft(double fraction, double elapsedSeconds) {
    if (fraction < 0.02 || elapsedSeconds < 3) {
        return -1;
    }
    if (fraction >= 1) {
        return 0;
    }
    return elapsedSeconds * (1 - fraction) / fraction;
}
