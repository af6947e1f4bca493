#include "instanceHandover.h"

#include "platform/constants.h"
#include "platform/log.h"
#include "settings/localisation.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

QString instanceSocketPathStr() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return folder + QLatin1Char('/') + appIdentifierStr() + QStringLiteral(".socket");
}

bool instanceHandOver(const QStringList &paths, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPathStr());
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    QByteArray message;
    for (const QString &path : paths) {
        // A path with a line break can't travel as a line; it is not a movie a camera made.
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (!absolute.contains(QLatin1Char('\n'))) {
            message += absolute.toUtf8() + '\n';
        }
    }
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
        answer += socket.readAll();
    }
    return answer.startsWith("ok");
}

QList<int> instanceHandOverWaitsMs() {
    return {0, 250, 750, 1500, 3000};
}

bool instanceHandOverRetrying(const QStringList &paths, const QList<int> &waitsMs, int timeoutMs) {
    for (qsizetype attempt = 0; attempt < waitsMs.size(); ++attempt) {
        if (waitsMs[attempt] > 0) {
            QThread::msleep(static_cast<unsigned long>(waitsMs[attempt]));
        }
        if (instanceHandOver(paths, timeoutMs)) {
            if (attempt > 0) {
                logStr(
                    QStringLiteral("open with           : handed over at try %1").arg(attempt + 1));
            }
            return true;
        }
        logStr(QStringLiteral("open with           :-/ try %1 of %2 not answered")
                   .arg(attempt + 1)
                   .arg(waitsMs.size()));
    }
    return false;
}

QString instanceNotHandedOverStr(const QStringList &paths) {
    if (paths.isEmpty()) {
        return {};
    }
    QStringList names;
    for (const QString &path : paths) {
        names << QFileInfo(path).fileName();
    }
    return localizedStr(QStringLiteral("D_notHandedOver")).arg(names.join(QStringLiteral(", ")));
}

instanceServer::instanceServer(QObject *parent, instanceServerLimits limits)
    : QObject(parent), server_(new QLocalServer(this)), limits_(limits) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &instanceServer::acceptPending);
    // Qt closes the server, and removes its socket file, when an accept fails (no file
    // descriptor left): every later "Open with" would be lost for the window's life.
    auto *watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        if (wanted_ && !server_->isListening()) {
            logStr(QStringLiteral("open with           :-/ listening again"));
            listen();
        }
    });
    watch->start(limits_.relistenMs);
}

void instanceServer::acceptPending() {
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        if (open_ >= limits_.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++open_;
        connect(socket, &QObject::destroyed, this, [this] { --open_; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A peer that keeps the connection without sending its list holds a file descriptor
        // for nothing: it is dropped.
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        idle->start(limits_.idleMs);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
            // Nobody sends a megabyte of paths: a peer that does is not a Fluxaro.
            if (buffer.size() > (1 << 20)) {
                socket->abort();
                return;
            }
            socket->setProperty("buffer", buffer);
            if (!buffer.endsWith("\n\n") && buffer != "\n") {
                return;
            }
            QStringList paths;
            for (const QByteArray &line : buffer.split('\n')) {
                if (!line.isEmpty()) {
                    paths << QString::fromUtf8(line);
                }
            }
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            logStr(QStringLiteral("open with           : %1").arg(paths.size()));
            // No paths: a second start without sources, which asks for the window.
            if (received) {
                received(paths);
            }
        });
    }
}

instanceServer::~instanceServer() {
    wanted_ = false;
    server_->close();
}

bool instanceServer::listen() {
    wanted_ = true;
    const QString path = instanceSocketPathStr();
    // Only the holder of the single-instance lock gets here: a socket file is a dead one's.
    QLocalServer::removeServer(path);
    if (!server_->listen(path)) {
        logStr(QStringLiteral("open with           :-( %1").arg(server_->errorString()));
        return false;
    }
    return true;
}
