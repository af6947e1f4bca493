#include "platform/utilsSys.h"

#include "testEnv.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

// A one-page web server on the loopback interface, answering every request with `body`.
class PageServer {
public:
    explicit PageServer(QByteArray body) : body_(std::move(body)) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket *socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->readAll().contains("\r\n\r\n")) {
                    return;
                }
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                              QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" +
                              body_);
                socket->disconnectFromHost();
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }

private:
    QByteArray body_;
    QTcpServer server_;
};

} // namespace

TEST(SystemFacts, MachineFacts) {
    EXPECT_GT(versionOS(), 0.0F);
    EXPECT_GT(versionQT(), 0.0F);
    EXPECT_GE(nbProcessors(), 1);
    EXPECT_FALSE(cpuG3());
#if defined(__x86_64__)
    EXPECT_TRUE(archIntel());
#endif
}

TEST(SystemFacts, InternetCheckAgainstALocalServer) {
    PageServer empty{QByteArray()};
    EXPECT_TRUE(internetConnexionCheck(empty.url()));
    PageServer text{QByteArray("version 2.0\n")};
    EXPECT_TRUE(internetConnexionCheck(text.url()));
    PageServer binary{QByteArray("\xC3\xA9t\xC3\xA9")};
    EXPECT_FALSE(internetConnexionCheck(binary.url()));

    // A port nobody listens on.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    EXPECT_FALSE(internetConnexionCheck(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    EXPECT_FALSE(internetConnexionCheck(QString()));
}
