// A small real HTTP/1.1 server on 127.0.0.1 for the update tests, run on the test's event loop,
// in plain HTTP or over TLS (HTTPS) with a certificate the test makes: each path answers with a
// status, headers and a body, optionally sent slowly, stalled, with a lying length or as a
// redirect.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>

#include <cstdint>
#include <memory>
#include <optional>

struct httpRoute {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/octet-stream";
    /// The announced Content-Length; -1: the body's real size; -2: none (connection closed at
    /// the end).
    int64_t announcedLength = -1;
    QByteArray location; ///< a redirect's target
    /// Bytes sent per 20 ms tick (0: all at once).
    int32_t bytesPerTick = 0;
    /// Stop sending after this many bytes and keep the connection open (-1: never).
    int64_t stallAfter = -1;
};

/// A throwaway certificate for 127.0.0.1 and its key, made with the openssl program; the
/// certificate is its own authority (self-signed), trusted only where a test says so.
struct tlsTestIdentity {
    QSslCertificate certificate;
    QSslKey key;
    QString certificatePath; ///< the certificate as a PEM file
};

/// Makes a new identity in `folder` (a key and a self-signed certificate, valid for two days,
/// naming 127.0.0.1 as its address); nothing when openssl is missing or fails.
std::optional<tlsTestIdentity> makeTlsTestIdentity(const QString &folder);

/// The process's default TLS configuration trusts `certificates` and nothing else (not the
/// system's authorities); the previous default comes back when the guard ends.
class tlsTrustGuard {
public:
    explicit tlsTrustGuard(const QList<QSslCertificate> &certificates);
    ~tlsTrustGuard();
    tlsTrustGuard(const tlsTrustGuard &) = delete;
    tlsTrustGuard &operator=(const tlsTrustGuard &) = delete;

private:
    struct saved;
    std::unique_ptr<saved> previous_;
};

class httpTestServer : public QObject {
public:
    /// A plain HTTP server.
    httpTestServer();
    /// An HTTPS server presenting `identity`.
    explicit httpTestServer(const tlsTestIdentity &identity);
    ~httpTestServer() override;
    /// "http://127.0.0.1:<port>/", or "https://..." for an HTTPS server.
    QString baseUrl() const;
    void setRoute(const QString &path, const httpRoute &route);
    void clearRoutes();
    /// Paths requested so far (with their query), in order.
    QStringList requests() const { return requests_; }

private:
    void onConnection();
    std::unique_ptr<QTcpServer> server_;
    bool tls_ = false;
    QMap<QString, httpRoute> routes_;
    QStringList requests_;
};
