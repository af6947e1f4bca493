// One window per user: a second `fluxaro PATH...` hands its paths to the running window over a
// local socket in the runtime folder and exits, as the desktop delivers opened files to a
// running application. Lines of UTF-8 absolute paths, an empty line ends them; the window
// answers "ok".
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QLocalServer;

/// "<runtime folder>/<identifier>.socket" ($XDG_RUNTIME_DIR, else the temporary folder).
QString instanceSocketPathStr();

/// Sends the paths (made absolute) to the running window; true when it took them. Without
/// paths it asks the window to come to the front.
bool instanceHandOver(const QStringList &paths, int timeoutMs = 5000);

/// The running window's end: listens once the single-instance lock is held (a socket file
/// left by a process that died is replaced), and hands each received list to `received` (an
/// empty one from a start without sources).
class instanceServer : public QObject {
    Q_OBJECT

public:
    explicit instanceServer(QObject *parent = nullptr);
    ~instanceServer() override;
    bool listen();
    std::function<void(const QStringList &paths)> received;

private:
    QLocalServer *server_;
};
