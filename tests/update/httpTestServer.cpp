#include "httpTestServer.h"

#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

httpTestServer::httpTestServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { onConnection(); });
}

QString httpTestServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort());
}

void httpTestServer::setRoute(const QString &path, const httpRoute &route) {
    routes_.insert(path, route);
}

void httpTestServer::clearRoutes() {
    routes_.clear();
}

void httpTestServer::onConnection() {
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        auto *request = new QByteArray;
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, request] {
            delete request;
            socket->deleteLater();
        });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            request->append(socket->readAll());
            if (!request->contains("\r\n\r\n")) {
                return;
            }
            const QList<QByteArray> words = request->left(request->indexOf("\r\n")).split(' ');
            request->clear();
            const QString target = words.size() > 1 ? QString::fromLatin1(words.at(1)) : QString();
            requests_.append(target);
            const QString path = QUrl(target).path();
            httpRoute route;
            if (routes_.contains(target)) {
                route = routes_.value(target);
            } else if (routes_.contains(path)) {
                route = routes_.value(path);
            } else {
                route.status = 404;
                route.body = "not found";
                route.contentType = "text/plain";
            }
            QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " X\r\n";
            head += "Content-Type: " + route.contentType + "\r\n";
            if (!route.location.isEmpty()) {
                head += "Location: " + route.location + "\r\n";
            }
            if (route.announcedLength >= 0) {
                head += "Content-Length: " + QByteArray::number(route.announcedLength) + "\r\n";
            } else if (route.announcedLength == -1) {
                head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
            }
            head += "Connection: close\r\n\r\n";
            socket->write(head);
            const QByteArray body =
                route.stallAfter >= 0 ? route.body.left(route.stallAfter) : route.body;
            const bool closeAtEnd = route.stallAfter < 0;
            if (route.bytesPerTick <= 0) {
                socket->write(body);
                if (closeAtEnd) {
                    socket->disconnectFromHost();
                }
                return;
            }
            auto *timer = new QTimer(socket);
            auto sent = std::make_shared<qsizetype>(0);
            QObject::connect(timer, &QTimer::timeout, socket,
                             [socket, timer, body, sent, closeAtEnd, route] {
                                 if (*sent >= body.size()) {
                                     timer->stop();
                                     if (closeAtEnd) {
                                         socket->disconnectFromHost();
                                     }
                                     return;
                                 }
                                 const QByteArray piece = body.mid(*sent, route.bytesPerTick);
                                 *sent += piece.size();
                                 socket->write(piece);
                             });
            timer->start(20);
        });
    }
}
