// The conversion's running tool (ffmpeg or trakmill): it starts the tool, reads its progress
// from what it prints, pauses and continues it, stops it when its progress stands still for
// too long, and judges the job's output once the last tool is done. It knows no control and no
// job record: it tells its owner (appController) what happens through typed callbacks, and the
// owner shows it and decides what the job becomes.
#pragma once

#include "controller/outputCheck.h"
#include "process/taskLauncher.h"
#include "verify/toolReport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

/// How long a tool may go without its progress moving before it is stopped, for a source of
/// `mediaSeconds`: two minutes, plus a tenth of the source's length (a percent of a long export
/// may take a while). FLUXARO_STALL_SECONDS, when set to a positive number, replaces it.
double taskStallLimitSeconds(double mediaSeconds);

/// The watchdog's count of how long a tool's progress stood still while this program ran. Each
/// tick of the watchdog's periodic timer adds the time since the last one; a gap of more than
/// five intervals is time this program was itself stopped (Ctrl-Z, SIGSTOP, a debugger), when
/// its timer could not tick and its tool was stopped with it, and counts as one interval.
class stallClock {
public:
    explicit stallClock(int64_t intervalMs) : intervalMs_(intervalMs) {}
    /// The progress moved (or the run was paused) at nowMs: nothing stood still yet.
    void moved(int64_t nowMs) { lastTickMs_ = nowMs, stillMs_ = 0; }
    /// A tick at nowMs; the seconds the progress stood still so far.
    double tick(int64_t nowMs);

private:
    int64_t intervalMs_;
    int64_t lastTickMs_ = 0;
    int64_t stillMs_ = 0;
};

/// The last two lines a tool printed that are not progress: the reason it gives when it fails.
QString toolFailureText(const QString &output);

/// What a new reading of the tool's position does to the progress shown.
enum class progressMove {
    none,    ///< nothing: not a reading, or still within the same whole unit
    advance, ///< the position moved forward by at least a whole unit, within the end
    lost,    ///< the position jumped back or past the end: no percent can be shown for it
};

/// The move from the position shown, `previous`, to a new reading `value`, on a scale that ends
/// at `maximum` (media seconds for ffmpeg, percent for trakmill). Whole units only: a reading
/// of 0 or less is none (the chunk held no position), and so is any reading without a maximum.
progressMove conversionProgressMove(double previous, double value, double maximum);

/// True when the tool of parser number `parser` prints a position the run reads (0 ffmpeg,
/// 2 to 4 trakmill and the others of taskParsers.h); 1 and other numbers print none.
bool conversionParserReadsProgress(int32_t parser);

/// The running tool's progress, each time it moves forward.
struct conversionProgress {
    double value = 0;        ///< the tool's position, in its own unit
    double maximum = 0;      ///< the position at its end
    double fraction = 0;     ///< value / maximum, 0 to 1
    double mediaSeconds = 0; ///< the seconds of the source done
    double speed = 0;        ///< media seconds per second since the tool started (0: too early)
};

/// How a tool ended.
struct conversionEnd {
    int32_t status = 0;  ///< its exit status; taskLauncher::interruptedStatus when stopped
    QString failureText; ///< toolFailureText of its output after a failure; empty otherwise
    /// The line of its report that says it could not read its source (toolReportReader),
    /// whatever its status; empty when it said none.
    QString readError;
};

/// A tool whose progress stood still too long (it is stopped right after this is told).
struct conversionStall {
    QString tool;       ///< the executable's file name
    double seconds = 0; ///< how long its progress stood still
};

/// One conversion tool at a time, its progress, its pause state, the watchdog and the output
/// check. Everything runs on the thread that owns it.
class conversionRun : public QObject, public taskLauncherDelegate {
public:
    /// Typed callbacks to the owner; every one is optional.
    struct callbacks {
        /// The position moved forward by at least a whole unit.
        std::function<void(const conversionProgress &progress)> progressed;
        /// The tool printed a position the progress can't show (back, or past the end).
        std::function<void()> progressLost;
        /// The pause state changed (pause, play, or a new tool starting unpaused).
        std::function<void(bool paused)> pausedChanged;
        /// The watchdog found the tool stalled; the tool is stopped next (then `ended`).
        std::function<void(const conversionStall &stall)> stalled;
        /// The tool ended, by itself or stopped, and was released: told once per started tool.
        std::function<void(const conversionEnd &end)> ended;
    };

    explicit conversionRun(QObject *parent = nullptr);
    ~conversionRun() override;
    conversionRun(const conversionRun &) = delete;
    conversionRun &operator=(const conversionRun &) = delete;

    callbacks on;

    /// Starts `args` (a taskLauncher chain), whose position ends at `maximum` and is read with
    /// parser number `parser`, for a source of `mediaSeconds` (the watchdog's limit, and the
    /// media seconds of a tool that counts percents). A tool still held is first terminated
    /// without a report. Returns taskLauncher's launch result; on a refusal nothing is held.
    int32_t start(const QStringList &args, double maximum, int32_t parser, double mediaSeconds);
    /// Pauses the tool (when one runs) and records the pause, with or without a tool.
    void pause();
    /// Continues the tool (when one is held) and records that it is no longer paused.
    void resume();
    bool isPaused() const { return paused_; }
    /// Kills the tool; `ended` is told before this returns (with interruptedStatus).
    void stop();
    /// Kills the tool and forgets it and any output check under way, without telling anything.
    void terminate();
    /// True while a tool is held (from its start until its end is told).
    bool hasTool() const { return launcher_ != nullptr; }
    bool isRunning() const { return launcher_ && launcher_->isRunning(); }
    /// The arguments of the tool held (or of the last one).
    const QStringList &arguments() const { return args_; }
    /// The parser number of the tool held (or of the last one).
    int32_t parser() const { return parser_; }

    /// Judges whether `path` is a readable movie and reads its facts (outputCheckAsync);
    /// `verdict` runs later on this thread, unless a newer check or dropOutputCheck came first.
    void checkOutput(const QString &path,
                     std::function<void(const outputCheckResult &result)> verdict);
    /// Makes the check under way (if any) give no verdict.
    void dropOutputCheck();
    /// True between checkOutput and its verdict.
    bool isJudgingOutput() const { return judging_; }

    void taskLauncherDidReceiveNewString(taskLauncher *launcher, const QString &chunk) override;
    void taskLauncherTaskDidEnd(taskLauncher *launcher) override;
    void taskLauncherTaskDidSuspend(taskLauncher *launcher) override;
    void taskLauncherTaskDidResume(taskLauncher *launcher) override;

private:
    static constexpr int64_t kWatchdogIntervalMs = 1000;
    /// Lets the launcher go; deleted on the next turn of the loop (it may be reporting now).
    void release();
    void setPaused(bool paused);
    void watchdogTick();

    std::unique_ptr<taskLauncher> launcher_;
    QStringList args_;
    double maximum_ = 0;
    int32_t parser_ = 1;
    double mediaSeconds_ = 0;
    double shown_ = 0;
    /// The end of what the tool printed: its reason when it fails.
    QString outputTail_;
    /// Its whole report, read for the lines that say the source could not be read.
    toolReportReader report_;
    bool paused_ = false;
    QElapsedTimer clock_;
    /// The watchdog: when the progress last moved, and the limit.
    QTimer *watchdog_ = nullptr;
    QElapsedTimer monotonic_;
    stallClock still_{kWatchdogIntervalMs};
    double stallLimitSeconds_ = 0;
    /// The number of the latest output check; a verdict for an older one is dropped.
    uint64_t check_ = 0;
    bool judging_ = false;
};
