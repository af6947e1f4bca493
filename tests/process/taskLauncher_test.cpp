#include "process/taskLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

// Records every callback in order; chunks are kept apart so tests can look at their borders.
class recorder : public taskLauncherDelegate {
public:
    QStringList events;
    QStringList chunks;
    QByteArray raw;
    int ends = 0;
    bool deleteOnEnd = false;

    void taskLauncherDidReceiveNewString(taskLauncher *, const QString &chunk) override {
        chunks << chunk;
    }
    void taskLauncherDidReceiveNewData(taskLauncher *, const QByteArray &chunk) override {
        raw += chunk;
    }
    void taskLauncherTaskDidSuspend(taskLauncher *) override { events << "suspend"; }
    void taskLauncherTaskDidResume(taskLauncher *) override { events << "resume"; }
    void taskLauncherTaskDidEnd(taskLauncher *launcher) override {
        events << "end";
        ++ends;
        if (deleteOnEnd) {
            delete launcher;
        }
    }
    QString text() const { return chunks.join(QString()); }
};

// Spins the event loop until the delegate saw the end (or the time is up).
bool waitForEnd(const recorder &r, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (r.ends == 0 && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return r.ends > 0;
}

void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// The scheduler state letter of a process ('R', 'S', 'T' stopped, 'Z' zombie), or '-' when gone.
char processState(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return '-';
    }
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line.at(close + 2) : '?';
}

bool isGone(qint64 pid) {
    const char state = processState(pid);
    return state == '-' || state == 'Z' || state == 'X';
}

} // namespace

TEST(TaskLauncher, RefusesBadArraysWithoutStartingAnything) {
    struct refusal {
        QStringList arguments;
        int32_t code;
    };
    const QList<refusal> cases = {
        {{}, 1},
        {{"|", "/bin/echo", "x"}, 2},
        {{"/bin/echo", "x", "|"}, 2},
        {{"/bin/echo", "x", "|", "|", "/bin/cat"}, 2},
        {{"no-such-tool-fluxaro"}, 3},
        {{"/bin/echo", "x", "|", "no-such-tool-fluxaro"}, 3},
    };
    for (const refusal &c : cases) {
        recorder r;
        taskLauncher launcher;
        launcher.setDelegate(&r);
        EXPECT_EQ(launcher.launchTasksWithArguments(c.arguments), c.code)
            << c.arguments.join(' ').toStdString();
        EXPECT_FALSE(launcher.isRunning());
        EXPECT_TRUE(launcher.processIds().isEmpty());
        launcher.terminate();
        spin(50);
        EXPECT_TRUE(r.events.isEmpty());
        EXPECT_TRUE(r.chunks.isEmpty());
    }
}

// An existing file that can't be executed is refused like a missing one.
TEST(TaskLauncher, RefusesFileThatIsNotExecutable) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plain.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("echo hi\n");
    file.close();
    taskLauncher launcher;
    EXPECT_EQ(launcher.launchTasksWithArguments(QStringList{path}), 3);
}

TEST(TaskLauncher, ExpandsTildeExceptInUrlsAndPassesItemsUnsplit) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    const QVariantList arguments = {"/usr/bin/printf", "[%s]\n",  "~", "~/a b",          "x~",
                                    "http://~/y",      "$HOME *", 42,  "file:///~/z.mov"};
    ASSERT_EQ(launcher.launchTasksWithArguments(arguments), 0);
    EXPECT_TRUE(launcher.isRunning());
    ASSERT_TRUE(waitForEnd(r));
    const QString home = QDir::homePath();
    EXPECT_EQ(r.text(), "[" + home + "]\n[" + home +
                            "/a b]\n[x~]\n[http://~/y]\n[$HOME *]\n[42]\n" + "[file:///~/z.mov]\n");
    EXPECT_EQ(launcher.terminationStatus(), 0);
    EXPECT_FALSE(launcher.isRunning());
}

TEST(TaskLauncher, BareNameIsFoundInUsrBinAndInTheResourceFolder) {
    {
        recorder r;
        taskLauncher launcher;
        launcher.setDelegate(&r);
        ASSERT_EQ(launcher.launchTasksWithArguments(QStringList{"printf", "bin"}), 0);
        ASSERT_TRUE(waitForEnd(r));
        EXPECT_EQ(r.text(), "bin");
    }
    QTemporaryDir resources;
    const QString tool = resources.filePath(QStringLiteral("fluxaroTestTool"));
    QFile file(tool);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho resource \"$1\"\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    const QByteArray previous = qgetenv("FLUXARO_RESOURCE_DIR");
    qputenv("FLUXARO_RESOURCE_DIR", resources.path().toLocal8Bit());
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    const int32_t code = launcher.launchTasksWithArguments(QStringList{"fluxaroTestTool", "ok"});
    if (previous.isNull()) {
        qunsetenv("FLUXARO_RESOURCE_DIR");
    } else {
        qputenv("FLUXARO_RESOURCE_DIR", previous);
    }
    ASSERT_EQ(code, 0);
    ASSERT_TRUE(waitForEnd(r));
    EXPECT_EQ(r.text(), "resource ok\n");
}

TEST(TaskLauncher, ReportsLastExitStatusOnceAndBothStreams) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    ASSERT_EQ(launcher.launchTasksWithArguments(
                  QStringList{"/bin/sh", "-c", "echo out; sleep 0.2; echo err >&2; exit 3"}),
              0);
    ASSERT_TRUE(waitForEnd(r));
    spin(100);
    EXPECT_EQ(r.text(), "out\nerr\n");
    EXPECT_EQ(r.events, QStringList{"end"});
    EXPECT_EQ(launcher.terminationStatus(), 3);

    // A later terminate keeps the real status and reports nothing again.
    launcher.terminate();
    EXPECT_EQ(launcher.terminationStatus(), 3);
    EXPECT_EQ(r.ends, 1);
}

TEST(TaskLauncher, ChainPipesEachCommandIntoTheNext) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    // The first command exits at once; only the last one's end counts.
    ASSERT_EQ(launcher.launchTasksWithArguments(
                  QStringList{"/bin/echo", "hello", "|", "/usr/bin/tr", "a-z", "A-Z", "|",
                              "/bin/sh", "-c", "sleep 0.3; cat; exit 5"}),
              0);
    ASSERT_TRUE(waitForEnd(r));
    EXPECT_EQ(r.text(), "HELLO\n");
    EXPECT_EQ(launcher.terminationStatus(), 5);
}

// Only the last command's streams are captured; an earlier command's errors go where the
// application's own go.
TEST(TaskLauncher, OnlyTheLastCommandIsCaptured) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    ASSERT_EQ(launcher.launchTasksWithArguments(QStringList{
                  "/bin/sh", "-c", "echo upstream-error >&2; echo data", "|", "/bin/cat"}),
              0);
    ASSERT_TRUE(waitForEnd(r));
    EXPECT_EQ(r.text(), "data\n");
}

// A last process killed by a signal ends the chain with the signal's number as its status.
TEST(TaskLauncher, SignalledLastProcessReportsTheSignal) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    ASSERT_EQ(launcher.launchTasksWithArguments(QStringList{"/bin/sh", "-c", "kill -9 $$"}), 0);
    ASSERT_TRUE(waitForEnd(r));
    EXPECT_EQ(launcher.terminationStatus(), 9);
}

TEST(TaskLauncher, LastCommandEndingKillsTheEarlierOnes) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    ASSERT_EQ(launcher.launchTasksWithArguments(
                  QStringList{"/bin/sleep", "30", "|", "/bin/sh", "-c", "exit 4"}),
              0);
    const qint64 sleeper = launcher.processIds().value(0);
    ASSERT_GT(sleeper, 0);
    ASSERT_TRUE(waitForEnd(r, 10000));
    EXPECT_EQ(launcher.terminationStatus(), 4);
    EXPECT_EQ(r.ends, 1);
    spin(200);
    EXPECT_TRUE(isGone(sleeper));
}

TEST(TaskLauncher, SuspendResumeAndTerminateWhilePaused) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    ASSERT_EQ(
        launcher.launchTasksWithArguments(QStringList{"/bin/sleep", "30", "|", "/bin/sleep", "30"}),
        0);
    const QList<qint64> pids = launcher.processIds();
    ASSERT_EQ(pids.size(), 2);

    launcher.resume(); // running: nothing to do
    launcher.suspend();
    launcher.suspend(); // already paused: nothing to do
    EXPECT_TRUE(launcher.isSuspended());
    spin(100);
    EXPECT_EQ(processState(pids[0]), 'T');
    EXPECT_EQ(processState(pids[1]), 'T');
    launcher.resume();
    spin(100);
    EXPECT_NE(processState(pids[0]), 'T');
    EXPECT_FALSE(launcher.isSuspended());
    launcher.suspend();
    EXPECT_EQ(r.events, QStringList({"suspend", "resume", "suspend"}));

    launcher.terminate();
    EXPECT_EQ(r.events, QStringList({"suspend", "resume", "suspend", "resume", "end"}));
    EXPECT_EQ(launcher.terminationStatus(), taskLauncher::interruptedStatus);
    EXPECT_FALSE(launcher.isRunning());
    spin(200);
    EXPECT_TRUE(isGone(pids[0]));
    EXPECT_TRUE(isGone(pids[1]));
    // Nothing more after the end, not even the process's own exit.
    EXPECT_EQ(r.ends, 1);
    launcher.terminate();
    launcher.suspend();
    EXPECT_EQ(r.ends, 1);
    EXPECT_EQ(r.events.size(), 5);
}

TEST(TaskLauncher, TerminateWithoutLaunchOnlyClearsRunning) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    launcher.terminate();
    launcher.suspend();
    launcher.resume();
    EXPECT_FALSE(launcher.isRunning());
    EXPECT_TRUE(r.events.isEmpty());
}

// The pipeline disposes of its launcher inside the end callback, both when the tool ends by
// itself and when the user stops it.
TEST(TaskLauncher, DelegateMayDeleteTheLauncherInTheEndCallback) {
    {
        recorder r;
        r.deleteOnEnd = true;
        auto *launcher = new taskLauncher;
        launcher->setDelegate(&r);
        ASSERT_EQ(launcher->launchTasksWithArguments(
                      QStringList{"/bin/sh", "-c", "echo a; echo b >&2; echo c"}),
                  0);
        ASSERT_TRUE(waitForEnd(r));
        spin(100);
        EXPECT_EQ(r.ends, 1);
    }
    {
        recorder r;
        r.deleteOnEnd = true;
        auto *launcher = new taskLauncher;
        launcher->setDelegate(&r);
        ASSERT_EQ(launcher->launchTasksWithArguments(QStringList{"/bin/sleep", "30"}), 0);
        launcher->terminate();
        EXPECT_EQ(r.ends, 1);
        spin(100);
    }
}

// A delegate that stops the run from inside a chunk callback gets its end at once, and no
// further chunk.
TEST(TaskLauncher, TerminateFromChunkCallbackStopsDelivery) {
    struct stopper : recorder {
        void taskLauncherDidReceiveNewString(taskLauncher *launcher,
                                             const QString &chunk) override {
            recorder::taskLauncherDidReceiveNewString(launcher, chunk);
            launcher->terminate();
        }
    } r;
    r.deleteOnEnd = true;
    auto *launcher = new taskLauncher;
    launcher->setDelegate(&r);
    ASSERT_EQ(launcher->launchTasksWithArguments(
                  QStringList{"/bin/sh", "-c", "echo first; sleep 0.3; echo second; sleep 30"}),
              0);
    ASSERT_TRUE(waitForEnd(r));
    spin(500);
    EXPECT_EQ(r.chunks, QStringList{"first\n"});
    EXPECT_EQ(r.ends, 1);
}

TEST(TaskLauncher, SeparateWritesArriveAsSeparateChunks) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    ASSERT_EQ(launcher.launchTasksWithArguments(
                  QStringList{"/bin/sh", "-c", "printf 'time=1'; sleep 0.4; printf '2.5\\n'"}),
              0);
    ASSERT_TRUE(waitForEnd(r));
    EXPECT_EQ(r.chunks, QStringList({"time=1", "2.5\n"}));
}

// Bytes above 127 are not a reason to lose output: a UTF-8 character split between two reads is
// put together, and invalid bytes show as replacement characters.
TEST(TaskLauncher, TextModeKeepsNonAsciiOutput) {
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    ASSERT_EQ(launcher.launchTasksWithArguments(QStringList{
                  "/bin/sh", "-c", "printf 'caf\\303'; sleep 0.4; printf '\\251 \\377!'"}),
              0);
    ASSERT_TRUE(waitForEnd(r));
    EXPECT_EQ(r.text(), QString::fromUtf8("café \xEF\xBF\xBD!"));
}

// A tool that prints 100 MB: every byte arrives, in order, while the event loop keeps turning.
TEST(TaskLauncher, HundredMegabytesArriveWholeInOrderWithoutBlocking) {
    const int lines = 13000000; // "1\n" .. "13000000\n": about 101 MB
    recorder r;
    taskLauncher launcher;
    launcher.setDelegate(&r);
    launcher.dontConvertDataToString(true);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(5);
    ASSERT_EQ(
        launcher.launchTasksWithArguments(QVariantList{"/usr/bin/seq", 1, lines, "|", "/bin/cat"}),
        0);
    ASSERT_TRUE(waitForEnd(r, 120000));
    ticker.stop();

    QByteArray expected;
    expected.reserve(r.raw.size());
    for (int i = 1; i <= lines; ++i) {
        expected += QByteArray::number(i);
        expected += '\n';
    }
    EXPECT_GT(r.raw.size(), 100 * 1000 * 1000);
    EXPECT_TRUE(r.raw == expected);
    EXPECT_TRUE(r.chunks.isEmpty());
    EXPECT_GT(ticks, 2);
}
