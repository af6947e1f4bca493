// The session bus as the desktop services use it: connected, or a log line saying which
// service is skipped and why. Calls never wait for their answer: the reply (or the error when
// nobody owns the name) comes back on the event loop.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

#include <functional>
#include <optional>

/// The application's desktop entry and application id ("org.fluxaro.Fluxaro").
QString desktopAppIdStr();

/// The connected session bus, or nothing after logging "desktop             :-/ <service>
/// skipped: no session bus".
std::optional<QDBusConnection> desktopSessionBus(const QString &service);

/// Sends the method call without waiting; `done` runs on the event loop with the reply, or with
/// the error (no owner of the name, time-out after `timeoutMs`). Nothing runs when it can't be
/// sent at all: false (logged).
bool desktopAsyncCall(QDBusConnection bus, const QDBusMessage &call, int timeoutMs,
                      std::function<void(const QDBusMessage &reply)> done);

/// The calls sent by desktopAsyncCall whose answer has not been handled yet.
int desktopPendingCalls();
/// Before a front without a window quits: runs the event loop until every sent call has been
/// answered (and logged), at most `timeoutMs`.
void desktopFinishPendingCalls(int timeoutMs);
