// A small real HTTP/1.1 server on 127.0.0.1 for the update tests, run on the test's event loop:
// each path answers with a status, headers and a body, optionally sent slowly, stalled, with a
// lying length or as a redirect.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <cstdint>

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

class httpTestServer : public QObject {
public:
    httpTestServer();
    /// "http://127.0.0.1:<port>/".
    QString baseUrl() const;
    void setRoute(const QString &path, const httpRoute &route);
    void clearRoutes();
    /// Paths requested so far (with their query), in order.
    QStringList requests() const { return requests_; }

private:
    void onConnection();
    QTcpServer server_;
    QMap<QString, httpRoute> routes_;
    QStringList requests_;
};
