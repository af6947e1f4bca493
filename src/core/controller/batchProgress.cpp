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

QString batchDurationStr(double seconds) {
    const auto whole = static_cast<int64_t>(seconds + 0.5);
    const int64_t hours = whole / 3600;
    const int64_t minutes = (whole / 60) % 60;
    const int64_t rest = whole % 60;
    return hours > 0 ? QStringLiteral("%1:%2:%3")
                           .arg(hours)
                           .arg(minutes, 2, 10, QLatin1Char('0'))
                           .arg(rest, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

batchProgressValue batchProgressNext(const batchProgressValue &previous, batchPhase phase,
                                     double phaseFraction, const batchProgressRows &rows,
                                     double mediaSeconds, double phaseSeconds,
                                     double batchSeconds) {
    batchProgressValue next = previous;
    if (phase != previous.phase) {
        next.speed = 0;
    }
    next.phase = phase;
    next.total = rows.rows + rows.analysing;
    next.remaining = rows.rowsLeft + rows.analysing;
    next.phaseFraction = std::clamp(phaseFraction, 0.0, 1.0);
    if (rows.running >= 0) {
        next.position = rows.running + 1;
        next.clip = rows.clip;
        next.format = rows.format;
    }
    double fraction = previous.fraction;
    if (phase == batchPhase::finished) {
        fraction = 1;
    } else if (phase != batchPhase::stopped && phase != batchPhase::analysing &&
               rows.running >= 0) {
        fraction = batchFraction(rows.running, next.total,
                                 batchJobFraction(phase, next.phaseFraction, rows.exportFollows));
    }
    // Within a batch the share done never goes back (a later, longer total included).
    next.fraction = std::max(previous.fraction, fraction);
    if (mediaSeconds >= 0 && phaseSeconds >= 0.5) {
        next.speed = mediaSeconds / phaseSeconds;
    }
    next.secondsLeft = phase == batchPhase::finished || phase == batchPhase::stopped
                           ? 0
                           : batchSecondsLeft(next.fraction, batchSeconds);
    return next;
}

void batchProgressTracker::start() {
    value_ = batchProgressValue{};
    batchClock_.start();
    phaseClock_.invalidate();
}

const batchProgressValue &batchProgressTracker::move(batchPhase phase, double phaseFraction,
                                                     const batchProgressRows &rows,
                                                     double mediaSeconds) {
    if (phase != value_.phase || !phaseClock_.isValid()) {
        phaseClock_.start();
    }
    const auto seconds = [](const QElapsedTimer &clock) {
        return clock.isValid() ? static_cast<double>(clock.elapsed()) / 1000.0 : 0.0;
    };
    value_ = batchProgressNext(value_, phase, phaseFraction, rows, mediaSeconds,
                               seconds(phaseClock_), seconds(batchClock_));
    return value_;
}
