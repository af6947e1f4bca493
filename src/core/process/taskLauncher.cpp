#include "process/taskLauncher.h"

#include "platform/log.h"
#include "platform/resources.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>

#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

const QString pipeItem = QStringLiteral("|");

// A leading "~" (alone, "~/..." or "~user/...") becomes the home folder, as a shell would.
QString expandTilde(const QString &item) {
    if (!item.startsWith(QLatin1Char('~'))) {
        return item;
    }
    const qsizetype slash = item.indexOf(QLatin1Char('/'));
    const QString user = item.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : item.mid(slash);
    if (user.isEmpty()) {
        return QDir::homePath() + rest;
    }
    const QByteArray name = user.toLocal8Bit();
    const passwd *entry = ::getpwnam(name.constData());
    if (entry == nullptr || entry->pw_dir == nullptr) {
        return item;
    }
    return QString::fromLocal8Bit(entry->pw_dir) + rest;
}

bool isExecutableFile(const QString &path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// The executable a command's first item names: the item as a path, then a resource of the
// application with that file name (the resource folder, then its "tools" folder), then /usr/bin.
QString resolveExecutable(const QString &item) {
    if (item.isEmpty()) {
        return {};
    }
    if (isExecutableFile(item)) {
        return QFileInfo(item).absoluteFilePath();
    }
    const QString fileName = QFileInfo(item).fileName();
    if (!fileName.isEmpty()) {
        for (const QString &folder : {resourcePathStr(), toolsPathStr()}) {
            const QString candidate = folder + QLatin1Char('/') + fileName;
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
    }
    const QString inUsrBin = QStringLiteral("/usr/bin/") + item;
    if (isExecutableFile(inUsrBin)) {
        return inUsrBin;
    }
    return {};
}

} // namespace

taskLauncher::taskLauncher(QObject *parent) : QObject(parent) {}

taskLauncher::~taskLauncher() {
    if (!listBuilt_) {
        logStr(QStringLiteral("taskLauncher :-( try to release a yet-released task"));
    }
    // Never leave a child behind: a chain still running when its launcher goes is killed.
    for (auto &process : tasks_) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            const qint64 pid = process->processId();
            if (pid > 0) {
                ::kill(static_cast<pid_t>(pid), SIGKILL);
            }
            process->waitForFinished(5000);
        }
    }
}

int32_t taskLauncher::launchTasksWithArguments(const QStringList &arguments) {
    QVariantList items;
    items.reserve(arguments.size());
    for (const QString &argument : arguments) {
        items.append(argument);
    }
    return launchTasksWithArguments(items);
}

int32_t taskLauncher::launchTasksWithArguments(const QVariantList &arguments) {
    if (arguments.isEmpty() || launched_ || listBuilt_) {
        return launchNoArguments;
    }
    terminateNoAbort_ = false;
    isSuspended_ = false;

    QList<QStringList> commands;
    QStringList current;
    for (const QVariant &value : arguments) {
        const QString item = value.toString();
        if (item == pipeItem) {
            if (current.isEmpty()) {
                return launchEmptyCommand;
            }
            commands.append(current);
            current.clear();
            continue;
        }
        current.append(item.contains(QLatin1String("://")) ? item : expandTilde(item));
    }
    if (current.isEmpty()) {
        return launchEmptyCommand;
    }
    commands.append(current);

    listBuilt_ = true;
    QStringList executables;
    for (const QStringList &command : commands) {
        const QString executable = resolveExecutable(command.first());
        if (executable.isEmpty()) {
            logDebug(
                QStringLiteral("taskLauncher        :-( no executable '%1'").arg(command.first()));
            return launchNoExecutable;
        }
        executables.append(executable);
    }

    for (qsizetype i = 0; i < commands.size(); ++i) {
        auto process = std::make_unique<QProcess>();
        process->setProgram(executables.at(i));
        process->setArguments(commands.at(i).mid(1));
        // A tool dies with the application: a killed or crashed Fluxaro must not leave an
        // ffmpeg writing on in the destination. (The parent's id is taken before the fork, so
        // a parent gone before prctl is seen too.)
        const pid_t parent = getpid();
        process->setChildProcessModifier([parent] {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) {
                ::_exit(127);
            }
        });
        tasks_.push_back(std::move(process));
    }
    // Wire the pipes: each command feeds the next one's standard input. The first reads from
    // the null device, so a tool never competes with the user for a terminal. Only the last
    // one's two streams are captured; the others' errors go where the application's go.
    for (std::size_t i = 0; i < tasks_.size(); ++i) {
        QProcess *process = tasks_[i].get();
        if (i == 0) {
            process->setStandardInputFile(QProcess::nullDevice());
        }
        if (i + 1 < tasks_.size()) {
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process->setStandardOutputProcess(tasks_[i + 1].get());
        }
    }
    lastTask_ = tasks_.back().get();
    connect(lastTask_, &QProcess::readyReadStandardError, this,
            [this] { readChannel(lastTask_, channel::error); });
    connect(lastTask_, &QProcess::readyReadStandardOutput, this,
            [this] { readChannel(lastTask_, channel::output); });
    connect(lastTask_, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus) { lastProcessFinished(exitCode); });

    isRunning_ = true;
    for (auto &process : tasks_) {
        process->start();
        if (!process->waitForStarted()) {
            // An executable that exists but can't be run (no permission, bad format): nothing
            // of the chain may stay behind, and the launch counts as refused.
            logStr(QStringLiteral("taskLauncher        :-( can't start '%1': %2")
                       .arg(process->program(), process->errorString()));
            for (auto &started : tasks_) {
                started->disconnect(this);
                if (started->state() != QProcess::NotRunning) {
                    started->kill();
                    started->waitForFinished(5000);
                }
            }
            isRunning_ = false;
            return launchNoExecutable;
        }
    }
    launched_ = true;
    return launchOk;
}

void taskLauncher::readChannel(QProcess *process, channel from) {
    if (ended_ || process == nullptr) {
        return;
    }
    QByteArray bytes = from == channel::output ? process->readAllStandardOutput()
                                               : process->readAllStandardError();
    if (!bytes.isEmpty()) {
        pending_.push_back({from, std::move(bytes)});
        scheduleFlush();
    }
}

void taskLauncher::lastProcessFinished(int exitCode) {
    if (ended_) {
        return;
    }
    // Whatever the process wrote before it exited comes first.
    readChannel(lastTask_, channel::error);
    readChannel(lastTask_, channel::output);
    lastExited_ = true;
    lastExitCode_ = exitCode;
    scheduleFlush();
}

void taskLauncher::scheduleFlush() {
    if (flushScheduled_) {
        return;
    }
    flushScheduled_ = true;
    // Delivery runs from the event loop, outside QProcess's own signal handling, so the delegate
    // may terminate or delete the launcher from any callback.
    QMetaObject::invokeMethod(
        this, [this] { flush(); }, Qt::QueuedConnection);
}

void taskLauncher::flush() {
    flushScheduled_ = false;
    const QPointer<taskLauncher> self(this);
    while (!ended_ && !pending_.empty()) {
        const pendingChunk chunk = std::move(pending_.front());
        pending_.pop_front();
        deliver(chunk);
        if (self.isNull()) {
            return;
        }
    }
    if (!ended_ && lastExited_) {
        terminationStatus_ = lastExitCode_;
        terminateNoAbort_ = true;
        terminate();
    }
}

void taskLauncher::deliver(const pendingChunk &chunk) {
    if (delegate_ == nullptr) {
        return;
    }
    if (convert_) {
        delegate_->taskLauncherDidReceiveNewData(this, chunk.bytes);
        return;
    }
    // One stateful decoder per stream: a character split between two reads is completed by the
    // next chunk of the same stream, and invalid bytes become replacement characters instead of
    // losing the whole chunk.
    QStringDecoder &decoder = chunk.from == channel::output ? outputDecoder_ : errorDecoder_;
    const QString text = decoder.decode(chunk.bytes);
    if (text.size() != chunk.bytes.size()) {
        logStr(QStringLiteral("data vs str length = %1 vs %2")
                   .arg(chunk.bytes.size())
                   .arg(text.size()));
    }
    if (!text.isEmpty()) {
        delegate_->taskLauncherDidReceiveNewString(this, text);
    }
}

void taskLauncher::signalAll(int signalNumber, bool lastToFirst) {
    const auto send = [signalNumber](const std::unique_ptr<QProcess> &process) {
        if (process->state() == QProcess::NotRunning) {
            return;
        }
        const qint64 pid = process->processId();
        if (pid > 0) {
            ::kill(static_cast<pid_t>(pid), signalNumber);
        }
    };
    if (lastToFirst) {
        std::for_each(tasks_.rbegin(), tasks_.rend(), send);
    } else {
        std::for_each(tasks_.begin(), tasks_.end(), send);
    }
}

void taskLauncher::suspend() {
    if (!launched_ || isSuspended_ || ended_) {
        return;
    }
    signalAll(SIGSTOP, true);
    isSuspended_ = true;
    if (delegate_ != nullptr) {
        delegate_->taskLauncherTaskDidSuspend(this);
    }
}

void taskLauncher::resume() {
    if (!launched_ || !isSuspended_) {
        return;
    }
    signalAll(SIGCONT, false);
    isSuspended_ = false;
    if (delegate_ != nullptr) {
        delegate_->taskLauncherTaskDidResume(this);
    }
}

void taskLauncher::terminate() {
    isRunning_ = false;
    if (!launched_) {
        return;
    }
    ended_ = true;
    pending_.clear();
    for (auto &process : tasks_) {
        process->disconnect(this);
    }
    const QPointer<taskLauncher> self(this);
    resume();
    if (self.isNull()) {
        return;
    }
    signalAll(SIGKILL, false);
    if (!terminateNoAbort_) {
        terminationStatus_ = interruptedStatus;
    }
    if (delegate_ != nullptr && !alreadyNotified_) {
        alreadyNotified_ = true;
        // Last action of this turn: the delegate may delete the launcher.
        delegate_->taskLauncherTaskDidEnd(this);
    }
}

QList<qint64> taskLauncher::processIds() const {
    QList<qint64> ids;
    for (const auto &process : tasks_) {
        ids.append(process->state() == QProcess::NotRunning ? 0 : process->processId());
    }
    return ids;
}
