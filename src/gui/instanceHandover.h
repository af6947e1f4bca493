// One window per user: a second `fluxaro PATH...` hands its paths to the running window over a
// local socket in the runtime folder and exits, as the desktop delivers opened files to a
// running application. Lines of UTF-8 absolute paths, an empty line ends them; the window
// answers "ok".
#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QLocalServer;

/// "<runtime folder>/<identifier>.socket" ($XDG_RUNTIME_DIR, else the temporary folder).
QString instanceSocketPathStr();

/// Sends the paths (made absolute) to the running window; true when it took them. Without
/// paths it asks the window to come to the front.
bool instanceHandOver(const QStringList &paths, int timeoutMs = 5000);

/// The waits before each try of a hand-over, in milliseconds: at once, then longer each time,
/// up to past the server's own recovery (it listens again within 2 s, a busy window answers
/// late under load); the first entry is 0.
QList<int> instanceHandOverWaitsMs();

/// Hands the paths over as instanceHandOver does, trying again after each wait of
/// `waitsMs` (the running window may be busy or be listening again); true when it took them.
bool instanceHandOverRetrying(const QStringList &paths, const QList<int> &waitsMs,
                              int timeoutMs = 5000);

/// The words of a refused second start that could not hand its files over: the files, so
/// none is lost without a word ("These files were not opened: a.MTS, b.MTS").
QString instanceNotHandedOverStr(const QStringList &paths);

/// Bounds of the hand-over socket: a connection that has not sent its whole list within
/// `idleMs` is dropped, at most `maxConnections` are open at once (later ones are dropped at
/// once), and a server that stopped listening (an accept that failed makes Qt close it and
/// remove the socket) listens again within `relistenMs`.
struct instanceServerLimits {
    int idleMs = 5000;
    int maxConnections = 64;
    int relistenMs = 2000;
};

/// The running window's end: listens once the single-instance lock is held (a socket file
/// left by a process that died is replaced), and hands each received list to `received` (an
/// empty one from a start without sources).
class instanceServer : public QObject {
    Q_OBJECT

public:
    explicit instanceServer(QObject *parent = nullptr, instanceServerLimits limits = {});
    ~instanceServer() override;
    bool listen();
    /// Connections open now (tests).
    int openConnections() const { return open_; }
    std::function<void(const QStringList &paths)> received;

private:
    void acceptPending();
    QLocalServer *server_;
    instanceServerLimits limits_;
    int open_ = 0;
    bool wanted_ = false;
};
