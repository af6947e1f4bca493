#include "httpTestServer.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

std::optional<tlsTestIdentity> makeTlsTestIdentity(const QString &folder) {
    const QString keyPath = folder + QStringLiteral("/key.pem");
    const QString certificatePath = folder + QStringLiteral("/certificate.pem");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                   keyPath, QStringLiteral("-out"), certificatePath});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        return std::nullopt;
    }
    QFile keyFile(keyPath);
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificatePath);
    if (certificates.size() != 1 || !keyFile.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    tlsTestIdentity identity;
    identity.certificate = certificates.first();
    identity.key = QSslKey(keyFile.readAll(), QSsl::Ec);
    identity.certificatePath = certificatePath;
    if (identity.key.isNull()) {
        return std::nullopt;
    }
    return identity;
}

struct tlsTrustGuard::saved {
    QSslConfiguration configuration;
};

tlsTrustGuard::tlsTrustGuard(const QList<QSslCertificate> &certificates)
    : previous_(std::make_unique<saved>(saved{QSslConfiguration::defaultConfiguration()})) {
    QSslConfiguration trusting = previous_->configuration;
    trusting.setCaCertificates(certificates);
    QSslConfiguration::setDefaultConfiguration(trusting);
}

tlsTrustGuard::~tlsTrustGuard() {
    QSslConfiguration::setDefaultConfiguration(previous_->configuration);
}

httpTestServer::httpTestServer() : server_(std::make_unique<QTcpServer>()) {
    server_->listen(QHostAddress::LocalHost, 0);
    // A TLS connection is pending once its handshake is done, after newConnection.
    QObject::connect(server_.get(), &QTcpServer::pendingConnectionAvailable, this,
                     [this] { onConnection(); });
}

httpTestServer::httpTestServer(const tlsTestIdentity &identity) : tls_(true) {
    auto server = std::make_unique<QSslServer>();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(identity.certificate);
    configuration.setPrivateKey(identity.key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    server->setSslConfiguration(configuration);
    server_ = std::move(server);
    server_->listen(QHostAddress::LocalHost, 0);
    // A TLS connection is pending once its handshake is done, after newConnection.
    QObject::connect(server_.get(), &QTcpServer::pendingConnectionAvailable, this,
                     [this] { onConnection(); });
}

httpTestServer::~httpTestServer() = default;

QString httpTestServer::baseUrl() const {
    return QStringLiteral("%1://127.0.0.1:%2/")
        .arg(tls_ ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(server_->serverPort());
}

void httpTestServer::setRoute(const QString &path, const httpRoute &route) {
    routes_.insert(path, route);
}

void httpTestServer::clearRoutes() {
    routes_.clear();
}

void httpTestServer::onConnection() {
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
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
