// The batch's progress as the fronts see it: its phase, its share done and the time left.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>

/// What a batch is doing. The window, the terminal and the launcher read it as numbers; its
/// words are the front's.
enum class batchPhase {
    analysing,  ///< waiting for the analysis of sources that belong to the batch
    converting, ///< ffmpeg writes the movie
    exporting,  ///< trakmill re-encodes it
    checking,   ///< the output is judged
    finished,   ///< every row is done
    stopped,    ///< the user (or a signal) stopped the batch
};

/// The batch's progress as the controller knows it.
struct batchProgressValue {
    batchPhase phase = batchPhase::analysing;
    int32_t position = 0;     ///< 1-based place of the source being worked on (0: none yet)
    int32_t total = 0;        ///< rows plus the sources still being analysed
    QString clip;             ///< the source being worked on (path)
    int32_t format = 0;       ///< its row's output format (outFormat)
    double phaseFraction = 0; ///< the running phase's share done, 0 to 1
    double fraction = 0;      ///< the batch's share done, 0 to 1; never goes back in a batch
    double speed = 0;         ///< media seconds per second in the running phase (0: unknown)
    double secondsLeft = -1;  ///< the batch's time left (negative: not known yet)
    int32_t remaining = 0;    ///< rows not ended yet (the running one too), sources in analysis
};

/// The share of a job that is done when `phase` is at `phaseFraction`: ffmpeg's copy is most of
/// a rewrap, the export most of a job that has one; the judgement is the last twentieth.
double batchJobFraction(batchPhase phase, double phaseFraction, bool exportFollows);

/// The share of the batch that is done: `doneRows` whole rows of `total` (rows and sources
/// still being analysed), plus `jobFraction` of the running one.
double batchFraction(int32_t doneRows, int32_t total, double jobFraction);

/// The time left from the share done after `elapsedSeconds`; negative while too little is done
/// to tell (under 2 % or 3 s).
double batchSecondsLeft(double fraction, double elapsedSeconds);

/// A time to wait, rounded to the second: "4:05" under an hour, "1:02:03" from an hour on.
QString batchDurationStr(double seconds);

/// The rows as a batch's progress counts them, read from the list when the progress moves.
struct batchProgressRows {
    int32_t running = -1;       ///< the row being worked on (-1: none)
    QString clip;               ///< its source
    int32_t format = 0;         ///< its output format (outFormat)
    bool exportFollows = false; ///< its conversion is followed by an export
    int32_t rows = 0;           ///< rows in the list
    int32_t rowsLeft = 0;       ///< rows waiting or being converted
    int32_t analysing = 0;      ///< sources still being analysed
};

/// The progress after `previous` when the batch is at `phaseFraction` of `phase`: the share
/// never goes back within a batch; the speed is `mediaSeconds` of the source over `phaseSeconds`
/// (kept from before while unknown, 0 at a new phase); the time left from `batchSeconds`.
batchProgressValue batchProgressNext(const batchProgressValue &previous, batchPhase phase,
                                     double phaseFraction, const batchProgressRows &rows,
                                     double mediaSeconds, double phaseSeconds, double batchSeconds);

/// One batch's progress and its clocks (the batch's, and its running phase's).
class batchProgressTracker {
public:
    /// A new batch: nothing done, the batch's clock started.
    void start();
    /// The progress moved (see batchProgressNext); a new phase restarts the phase's clock.
    const batchProgressValue &move(batchPhase phase, double phaseFraction,
                                   const batchProgressRows &rows, double mediaSeconds = -1);
    const batchProgressValue &now() const { return value_; }

private:
    batchProgressValue value_;
    QElapsedTimer batchClock_;
    QElapsedTimer phaseClock_;
};
