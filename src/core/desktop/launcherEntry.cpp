#include "desktop/launcherEntry.h"

#include "desktop/sessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <algorithm>
#include <optional>

namespace {

void sendUpdate(std::optional<double> fraction) {
    // A signal has no answer; without a bus the log says so once per run, not per update.
    static bool noBusLogged = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (!noBusLogged) {
            noBusLogged = true;
            desktopSessionBus(QStringLiteral("com.canonical.Unity.LauncherEntry"));
        }
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/fluxaro/Fluxaro/LauncherEntry"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    signal << QStringLiteral("application://%1.desktop").arg(desktopAppIdStr())
           << launcherEntryProperties(fraction);
    bus.send(signal);
}

} // namespace

QVariantMap launcherEntryProperties(std::optional<double> fraction) {
    if (!fraction) {
        return {{QStringLiteral("progress-visible"), false}};
    }
    return {{QStringLiteral("progress"), std::clamp(*fraction, 0.0, 1.0)},
            {QStringLiteral("progress-visible"), true}};
}

void launcherEntryProgress(double fraction) {
    sendUpdate(fraction);
}

void launcherEntryDone() {
    sendUpdate(std::nullopt);
}
