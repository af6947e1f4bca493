#include "desktop/notification.h"

#include "desktop/sessionBus.h"
#include "platform/log.h"

#include <QDBusArgument>
#include <QStringList>
#include <QVariantMap>

void desktopNotify(const QString &summary, const QString &body) {
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    const std::optional<QDBusConnection> bus = desktopSessionBus(service);
    if (!bus) {
        logStr(QStringLiteral("notification        :-/ skipped: %1").arg(summary));
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                       service, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), desktopAppIdStr()},
        {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(1))},
    };
    call << QStringLiteral("Fluxaro") << 0U << desktopAppIdStr() << summary << body << QStringList()
         << hints << -1;
    desktopAsyncCall(*bus, call, 10000, [summary](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ReplyMessage) {
            logStr(QStringLiteral("notification        :-) %1").arg(summary));
        } else {
            logStr(QStringLiteral("notification        :-/ skipped: no notification server (%1)")
                       .arg(reply.errorName()));
        }
    });
}
