// The conversion's running tool: its start, its progress, pause and play, the watchdog, its end,
// and the judgement of the job's output.
#include "controller/conversionRun.h"

#include "analysis/taskParsers.h"
#include "controller/outputCheck.h"
#include "platform/log.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cmath>

double taskStallLimitSeconds(double mediaSeconds) {
    bool set = false;
    const double forced = qEnvironmentVariable("FLUXARO_STALL_SECONDS").toDouble(&set);
    if (set && forced > 0) {
        return forced;
    }
    return 120.0 + std::max(0.0, mediaSeconds) / 10.0;
}

QString toolFailureText(const QString &output) {
    QStringList kept;
    const QStringList lines =
        output.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        // Progress lines and the tools' own markers say nothing about a failure.
        if (line.isEmpty() || line.startsWith(QLatin1String("frame=")) ||
            line.startsWith(QLatin1String("size=")) ||
            line.startsWith(QLatin1String("pourcentage")) || line == QLatin1String("0%") ||
            line == QLatin1String("Done")) {
            continue;
        }
        kept << line;
    }
    return kept.mid(std::max<qsizetype>(0, kept.size() - 2)).join(QStringLiteral(" / "));
}

double stallClock::tick(int64_t nowMs) {
    const int64_t gap = nowMs - lastTickMs_;
    lastTickMs_ = nowMs;
    stillMs_ += gap > 5 * intervalMs_ ? intervalMs_ : std::max<int64_t>(gap, 0);
    return static_cast<double>(stillMs_) / 1000.0;
}

progressMove conversionProgressMove(double previous, double value, double maximum) {
    if (maximum <= 0 || value <= 0) {
        return progressMove::none;
    }
    const double whole = std::trunc(value);
    const double previousWhole = std::trunc(previous);
    if (whole > previousWhole && value <= maximum) {
        return progressMove::advance;
    }
    return whole != previousWhole ? progressMove::lost : progressMove::none;
}

bool conversionParserReadsProgress(int32_t parser) {
    return parser == 0 || (parser >= 2 && parser <= 4);
}

conversionRun::conversionRun(QObject *parent) : QObject(parent) {}

conversionRun::~conversionRun() {
    terminate();
}

int32_t conversionRun::start(const QStringList &args, double maximum, int32_t parser,
                             double mediaSeconds) {
    if (launcher_) {
        logStr(QStringLiteral("forget to release previous task?"));
        launcher_->setDelegate(nullptr);
        launcher_->terminate();
        launcher_.reset();
    }
    args_ = args;
    maximum_ = maximum;
    parser_ = parser;
    mediaSeconds_ = std::max(0.0, mediaSeconds);
    shown_ = 0;
    outputTail_.clear();
    report_.clear();
    setPaused(false);
    launcher_ = std::make_unique<taskLauncher>();
    launcher_->setDelegate(this);
    const int32_t result = launcher_->launchTasksWithArguments(args);
    if (result != taskLauncher::launchOk) {
        launcher_.reset();
        return result;
    }
    clock_.start();
    if (conversionParserReadsProgress(parser)) {
        // A tool whose progress stands still for too long is stopped (a piece of a joined
        // recording swapped for an endless device keeps ffmpeg busy for ever).
        stallLimitSeconds_ = taskStallLimitSeconds(mediaSeconds_);
        if (!monotonic_.isValid()) {
            monotonic_.start();
        }
        still_.moved(monotonic_.elapsed());
        if (watchdog_ == nullptr) {
            watchdog_ = new QTimer(this);
            watchdog_->setInterval(static_cast<int>(kWatchdogIntervalMs));
            connect(watchdog_, &QTimer::timeout, this, [this] { watchdogTick(); });
        }
        watchdog_->start();
    }
    return result;
}

void conversionRun::pause() {
    if (launcher_) {
        launcher_->suspend();
    }
    setPaused(true);
}

void conversionRun::resume() {
    if (launcher_) {
        launcher_->resume();
    }
    setPaused(false);
}

void conversionRun::setPaused(bool paused) {
    if (paused == paused_) {
        return;
    }
    paused_ = paused;
    if (on.pausedChanged) {
        on.pausedChanged(paused);
    }
}

void conversionRun::stop() {
    if (!launcher_) {
        return;
    }
    // The launcher reports its end from inside terminate() unless it has reported it already.
    launcher_->terminate();
    if (launcher_) {
        release();
        if (on.ended) {
            on.ended(conversionEnd{taskLauncher::interruptedStatus, QString(), QString()});
        }
    }
}

void conversionRun::terminate() {
    if (watchdog_ != nullptr) {
        watchdog_->stop();
    }
    dropOutputCheck();
    if (launcher_) {
        launcher_->setDelegate(nullptr);
        launcher_->terminate();
        launcher_.reset();
    }
    paused_ = false;
}

void conversionRun::release() {
    if (watchdog_ != nullptr) {
        watchdog_->stop();
    }
    if (launcher_) {
        logStr(QStringLiteral("taskClass           : release"));
        // The launcher may be the one reporting its end right now: it touches nothing of itself
        // after the report, so it is deleted on the next turn of the loop.
        launcher_->setDelegate(nullptr);
        launcher_.release()->deleteLater();
    }
}

void conversionRun::taskLauncherDidReceiveNewString(taskLauncher *launcher, const QString &chunk) {
    if (launcher != launcher_.get()) {
        return;
    }
    outputTail_.append(chunk);
    report_.add(chunk);
    if (outputTail_.size() > 8192) {
        outputTail_.remove(0, outputTail_.size() - 8192);
    }
    if (!conversionParserReadsProgress(parser_)) {
        return;
    }
    const double value = progressForParser(parser_, chunk);
    switch (conversionProgressMove(shown_, value, maximum_)) {
    case progressMove::none:
        return;
    case progressMove::lost:
        if (on.progressLost) {
            on.progressLost();
        }
        return;
    case progressMove::advance:
        break;
    }
    shown_ = value;
    if (monotonic_.isValid()) {
        still_.moved(monotonic_.elapsed());
    }
    conversionProgress progress;
    progress.value = value;
    progress.maximum = maximum_;
    progress.fraction = value / maximum_;
    // ffmpeg counts media seconds, trakmill percents of the movie.
    progress.mediaSeconds = parser_ == 0 ? value : progress.fraction * mediaSeconds_;
    const double seconds = static_cast<double>(clock_.elapsed()) / 1000.0;
    progress.speed = seconds >= 0.5 ? progress.mediaSeconds / seconds : 0;
    if (on.progressed) {
        on.progressed(progress);
    }
}

void conversionRun::taskLauncherTaskDidEnd(taskLauncher *launcher) {
    if (launcher != launcher_.get()) {
        return;
    }
    conversionEnd end;
    end.status = launcher->terminationStatus();
    if (end.status != 0 && end.status != taskLauncher::interruptedStatus) {
        end.failureText = toolFailureText(outputTail_);
    }
    report_.finish();
    if (end.status != taskLauncher::interruptedStatus) {
        end.readError = report_.failingLine();
    }
    release();
    setPaused(false);
    if (on.ended) {
        on.ended(end);
    }
}

void conversionRun::taskLauncherTaskDidSuspend(taskLauncher *launcher) {
    logStr(QStringLiteral("task suspended"));
    if (launcher == launcher_.get()) {
        setPaused(true);
    }
}

void conversionRun::taskLauncherTaskDidResume(taskLauncher *launcher) {
    logStr(QStringLiteral("task resumed"));
    if (launcher == launcher_.get()) {
        setPaused(false);
    }
}

void conversionRun::watchdogTick() {
    if (!launcher_ || !launcher_->isRunning()) {
        watchdog_->stop();
        return;
    }
    if (launcher_->isSuspended()) {
        // A pause is no stall: the clock starts again when the run goes on.
        still_.moved(monotonic_.elapsed());
        return;
    }
    const double still = still_.tick(monotonic_.elapsed());
    if (still < stallLimitSeconds_) {
        return;
    }
    watchdog_->stop();
    const conversionStall stall{QFileInfo(args_.value(0)).fileName(), still};
    if (on.stalled) {
        on.stalled(stall);
    }
    stop();
}

void conversionRun::checkOutput(const QString &path,
                                std::function<void(const outputCheckResult &result)> verdict) {
    const uint64_t check = ++check_;
    judging_ = true;
    outputCheckAsync(path, this,
                     [this, check, verdict = std::move(verdict)](const outputCheckResult &result) {
                         if (check != check_) {
                             return;
                         }
                         judging_ = false;
                         if (verdict) {
                             verdict(result);
                         }
                     });
}

void conversionRun::dropOutputCheck() {
    judging_ = false;
    ++check_;
}
