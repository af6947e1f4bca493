// A session bus of the test's own (dbus-daemon with a private configuration in a temporary
// folder) and the recording stand-in for the desktop's services (dbusRecorder) on it; or a
// system bus of its own, for the services a system bus carries.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

/// Test failures show texts as text.
inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

class testBus {
public:
    /// `type` is the bus's type in its configuration: "session" or "system".
    explicit testBus(const QString &type = QStringLiteral("session"));
    ~testBus();
    testBus(const testBus &) = delete;
    testBus &operator=(const testBus &) = delete;

    /// The address for DBUS_SESSION_BUS_ADDRESS; empty when the daemon did not start.
    QString address() const { return address_; }
    /// Starts the recorder (with the file manager and notification names, or only listening to
    /// the launcher's signal); false when it did not get ready.
    bool startRecorder(bool withServices = true);
    void stopRecorder();
    /// The recorded lines ("Member | arg | arg..."), waiting up to `timeoutMs` for at least
    /// `atLeast` of them.
    QStringList records(int atLeast = 0, int timeoutMs = 5000) const;

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    std::unique_ptr<QProcess> recorder_;
    QString address_;
};
