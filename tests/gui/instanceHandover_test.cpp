// The hand-over socket of the running window: idle connections are dropped, and a server that
// Qt closed after a failed accept (no file descriptor left) listens again, so a later
// "Open with" still reaches the window.
#include "instanceHandover.h"
#include "settings/localisation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

namespace {

void spinFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// Hands the paths over from another thread, as a second fluxaro process would, while this
// thread's event loop serves the window's end.
bool handOverFromAnotherThread(const QStringList &paths) {
    bool taken = false;
    std::unique_ptr<QThread> thread(
        QThread::create([&taken, paths] { taken = instanceHandOver(paths, 3000); }));
    thread->start();
    while (!thread->isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    thread->wait();
    return taken;
}

} // namespace

TEST(InstanceHandover, IdleConnectionsAreDroppedAndTheSocketComesBack) {
    instanceServerLimits limits;
    limits.idleMs = 300;
    limits.relistenMs = 200;
    instanceServer server(nullptr, limits);
    QStringList received;
    server.received = [&received](const QStringList &paths) { received += paths; };
    ASSERT_TRUE(server.listen());

    // Connections that send nothing hold nothing for long.
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < 20; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(instanceSocketPathStr());
        ASSERT_TRUE(idle.back()->waitForConnected(1000));
    }
    spinFor(100);
    EXPECT_EQ(server.openConnections(), 20);
    spinFor(600);
    EXPECT_EQ(server.openConnections(), 0);
    for (const auto &socket : idle) {
        EXPECT_NE(socket->state(), QLocalSocket::ConnectedState);
    }
    idle.clear();
    EXPECT_TRUE(handOverFromAnotherThread({QStringLiteral("/a.mts")}));
    EXPECT_EQ(received, QStringList{QStringLiteral("/a.mts")});

    // No file descriptor left when a peer connects: the accept fails, Qt closes the server and
    // removes its socket file. It listens again.
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(instanceSocketPathStr()).constData(), &before), 0);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    QLocalSocket late;
    rlimit tight = saved;
    // Every descriptor below the limit taken but one, which the peer gets: the server's accept
    // has none.
    int highest = 0;
    for (const QString &name :
         QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries)) {
        highest = std::max(highest, name.toInt());
    }
    tight.rlim_cur = static_cast<rlim_t>(highest + 2);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> fillers;
    for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0; fd = ::open("/dev/null", O_RDONLY)) {
        fillers.push_back(fd);
    }
    ASSERT_FALSE(fillers.empty());
    ::close(fillers.back());
    fillers.pop_back();
    late.connectToServer(instanceSocketPathStr());
    const bool connected = late.state() == QLocalSocket::ConnectedState;
    spinFor(100);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    for (const int fd : fillers) {
        ::close(fd);
    }
    ASSERT_TRUE(connected);
    late.abort();
    spinFor(500);
    // The socket was made again (Qt had removed it), and it takes the next list.
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(instanceSocketPathStr()).constData(), &after), 0);
    // A new file may get the freed inode number back: its change time tells it apart.
    EXPECT_TRUE(after.st_ino != before.st_ino || after.st_ctim.tv_sec != before.st_ctim.tv_sec ||
                after.st_ctim.tv_nsec != before.st_ctim.tv_nsec);
    EXPECT_TRUE(handOverFromAnotherThread({QStringLiteral("/b.mts")}));
    EXPECT_EQ(received.size(), 2);
}

// A window that listens only later (it is starting, or listening again after a failed accept,
// or too busy to answer in time): one try is refused, the tries spread over the waits reach it
// and the paths arrive; with no window at all every try fails and the files are named.
TEST(InstanceHandover, ASecondStartTriesAgainBeforeGivingUp) {
    const QList<int> waits = instanceHandOverWaitsMs();
    ASSERT_FALSE(waits.isEmpty());
    EXPECT_EQ(waits.first(), 0);
    EXPECT_TRUE(std::is_sorted(waits.cbegin(), waits.cend()));
    // Past the server's own recovery (it listens again within 2 s).
    EXPECT_GT(std::accumulate(waits.cbegin(), waits.cend(), 0), instanceServerLimits{}.relistenMs);

    auto server = std::make_unique<instanceServer>(nullptr);
    QStringList received;
    server->received = [&received](const QStringList &paths) { received += paths; };
    EXPECT_FALSE(instanceHandOver({QStringLiteral("/card/00001.MTS")}, 500));

    bool taken = false;
    std::unique_ptr<QThread> thread(QThread::create([&taken] {
        taken =
            instanceHandOverRetrying({QStringLiteral("/card/00001.MTS")}, {0, 300, 600, 900}, 2000);
    }));
    thread->start();
    spinFor(450);
    ASSERT_TRUE(server->listen());
    while (!thread->isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    thread->wait();
    EXPECT_TRUE(taken);
    EXPECT_EQ(received, QStringList{QStringLiteral("/card/00001.MTS")});
    server.reset();

    EXPECT_FALSE(instanceHandOverRetrying({QStringLiteral("/card/00002.MTS")}, {0, 50}, 500));
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
    EXPECT_EQ(instanceNotHandedOverStr({"/card/00002.MTS", "/card/00003.MTS"}),
              "These files were not opened: 00002.MTS, 00003.MTS. Open them in the running copy "
              "(File > Open), or try again.");
    EXPECT_TRUE(instanceNotHandedOverStr({}).isEmpty());
}
