// Runs one external command, or a chain of commands joined by pipes, as child processes beside
// the event loop, streams what the last command prints to a delegate, and reports the end of the
// chain exactly once.
//
// The argument array is flat: an item that is exactly "|" separates two commands; the first item
// of each command names the executable, the others are its arguments, each passed as one argument
// (no shell, no quoting, no word splitting). A leading "~" is expanded to the home folder in every
// item that does not contain "://".
//
// Output of the last command (standard output and standard error) reaches the delegate in chunks,
// in arrival order, exactly as read: nothing splits or joins lines. Everything happens on the
// thread that launched the chain; the delegate is called from the event loop, never from inside
// the process machinery, so it may dispose of the launcher in `taskLauncherTaskDidEnd`.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QVariantList>

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

class taskLauncher;

/// The client of a launcher. Every callback is optional: the defaults do nothing.
class taskLauncherDelegate {
public:
    virtual ~taskLauncherDelegate() = default;

    /// A non-empty chunk of text from either stream (text mode).
    virtual void taskLauncherDidReceiveNewString(taskLauncher *launcher, const QString &chunk) {
        (void)launcher;
        (void)chunk;
    }
    /// A non-empty chunk of raw bytes from either stream (raw mode).
    virtual void taskLauncherDidReceiveNewData(taskLauncher *launcher, const QByteArray &chunk) {
        (void)launcher;
        (void)chunk;
    }
    /// The chain has been paused.
    virtual void taskLauncherTaskDidSuspend(taskLauncher *launcher) { (void)launcher; }
    /// The chain has been continued.
    virtual void taskLauncherTaskDidResume(taskLauncher *launcher) { (void)launcher; }
    /// Once, when the chain has ended by itself or was terminated. The launcher touches nothing
    /// of itself after this call returns: the delegate may delete it here.
    virtual void taskLauncherTaskDidEnd(taskLauncher *launcher) { (void)launcher; }
};

class taskLauncher : public QObject {
    Q_OBJECT

public:
    /// Status of a chain that its client (or a broadcast) terminated.
    static constexpr int32_t interruptedStatus = -7654312;

    /// Return codes of launchTasksWithArguments.
    enum launchResult : int32_t {
        launchOk = 0,
        launchNoArguments = 1,
        launchEmptyCommand = 2,
        launchNoExecutable = 3,
    };

    explicit taskLauncher(QObject *parent = nullptr);
    ~taskLauncher() override;

    taskLauncher(const taskLauncher &) = delete;
    taskLauncher &operator=(const taskLauncher &) = delete;

    void setDelegate(taskLauncherDelegate *delegate) { delegate_ = delegate; }
    taskLauncherDelegate *delegate() const { return delegate_; }

    /// Starts the chain. Items are used through their text form (numbers by their decimal
    /// text). Returns 0 when the chain runs; 1 for an empty array; 2 when a command of the chain
    /// is empty ("|" first, last or twice in a row); 3 when an executable can't be found or
    /// started. A refused launch starts nothing and makes no callback. A launcher serves one
    /// launch: a second call is refused with 1.
    int32_t launchTasksWithArguments(const QVariantList &arguments);
    int32_t launchTasksWithArguments(const QStringList &arguments);

    /// Pauses every process of the chain, last to first (SIGSTOP), then calls
    /// taskLauncherTaskDidSuspend. Does nothing when nothing was launched or already paused.
    void suspend();
    /// Continues every process, first to last (SIGCONT), then calls taskLauncherTaskDidResume.
    /// Does nothing when nothing was launched or the chain isn't paused.
    void resume();
    /// Kills the chain (continuing it first when paused, then SIGKILL to each process still
    /// running) and reports the end, unless it has been reported already. On a launcher that was
    /// never launched it only clears isRunning.
    void terminate();

    bool isRunning() const { return isRunning_; }
    bool isSuspended() const { return isSuspended_; }
    /// Exit status of the last process, or interruptedStatus when the chain was terminated.
    int32_t terminationStatus() const { return terminationStatus_; }

    /// When set before the launch, chunks are delivered raw (taskLauncherDidReceiveNewData).
    void dontConvertDataToString(bool raw) { convert_ = raw; }

    /// Process ids of the chain, first to last (0 for a process that is not running).
    QList<qint64> processIds() const;

private:
    enum class channel { output, error };
    struct pendingChunk {
        channel from;
        QByteArray bytes;
    };

    void readChannel(QProcess *process, channel from);
    void lastProcessFinished(int exitCode);
    void scheduleFlush();
    void flush();
    void deliver(const pendingChunk &chunk);
    void signalAll(int signalNumber, bool lastToFirst);

    std::vector<std::unique_ptr<QProcess>> tasks_;
    taskLauncherDelegate *delegate_ = nullptr;
    bool alreadyNotified_ = false;
    bool isRunning_ = false;
    int32_t terminationStatus_ = 0;
    QProcess *lastTask_ = nullptr;
    bool isSuspended_ = false;
    bool terminateNoAbort_ = false;
    bool convert_ = false;

    bool listBuilt_ = false;
    bool launched_ = false;
    bool ended_ = false;
    bool flushScheduled_ = false;
    bool lastExited_ = false;
    int32_t lastExitCode_ = 0;
    std::deque<pendingChunk> pending_;
    QStringDecoder outputDecoder_{QStringDecoder::Utf8};
    QStringDecoder errorDecoder_{QStringDecoder::Utf8};
};
