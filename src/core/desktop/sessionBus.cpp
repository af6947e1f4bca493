#include "desktop/sessionBus.h"

#include "platform/log.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDeadlineTimer>
#include <QEventLoop>

namespace {

int pendingCalls = 0;

} // namespace

QString desktopAppIdStr() {
    return QStringLiteral("org.fluxaro.Fluxaro");
}

std::optional<QDBusConnection> desktopSessionBus(const QString &service) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        logStr(QStringLiteral("desktop             :-/ %1 skipped: no session bus").arg(service));
        return std::nullopt;
    }
    return bus;
}

bool desktopAsyncCall(QDBusConnection bus, const QDBusMessage &call, int timeoutMs,
                      std::function<void(const QDBusMessage &reply)> done) {
    const QDBusPendingCall pending = bus.asyncCall(call, timeoutMs);
    if (pending.isFinished() && pending.isError() &&
        pending.error().type() == QDBusError::Disconnected) {
        logStr(QStringLiteral("desktop             :-/ %1 not sent: %2")
                   .arg(call.member(), pending.error().message()));
        return false;
    }
    auto *watcher = new QDBusPendingCallWatcher(pending);
    ++pendingCalls;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, done = std::move(done)] {
                         const QDBusMessage reply = watcher->reply();
                         watcher->deleteLater();
                         if (done) {
                             done(reply);
                         }
                         --pendingCalls;
                     });
    return true;
}

int desktopPendingCalls() {
    return pendingCalls;
}

void desktopFinishPendingCalls(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    while (pendingCalls > 0 && !deadline.hasExpired()) {
        loop.processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}
