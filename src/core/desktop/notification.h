// Desktop notifications (org.freedesktop.Notifications).
#pragma once

#include <QString>

/// Shows a notification with the application's name and icon, attached to its desktop entry,
/// without waiting for the server. No bus or no notification server: nothing is shown and the
/// log says "notification        :-/ skipped: ..." once the answer is known.
void desktopNotify(const QString &summary, const QString &body);
