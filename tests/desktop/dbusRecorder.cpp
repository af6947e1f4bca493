// A stand-in for the desktop's services on a test's own session bus: it owns the names of the
// file manager and of the notification server, answers their calls as they would, listens to
// the launcher's Update signal, and writes one line per call or signal to the file named by its
// argument: the member, then each argument as text, separated by " | ". It prints "ready" once
// its names are owned. With "--no-services" it only records the launcher signal.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

namespace {

QString textOf(const QVariant &value) {
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        if (arg.currentSignature() == QLatin1String("a{sv}")) {
            const QVariantMap map = qdbus_cast<QVariantMap>(arg);
            QStringList parts;
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                parts << it.key() + QLatin1Char('=') + textOf(it.value());
            }
            return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
        }
        return QStringLiteral("<%1>").arg(arg.currentSignature());
    }
    if (value.metaType().id() == QMetaType::QStringList) {
        return QLatin1Char('[') + value.toStringList().join(QLatin1Char(',')) + QLatin1Char(']');
    }
    if (value.metaType().id() == QMetaType::UChar) {
        return QStringLiteral("byte:%1").arg(value.value<uchar>());
    }
    if (value.metaType().id() == QMetaType::Bool) {
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    }
    return value.toString();
}

class recorder : public QDBusVirtualObject {
    Q_OBJECT
public:
    explicit recorder(const QString &path) : file_(path) {
        file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }

    void record(const QDBusMessage &message) {
        QStringList fields{message.member()};
        for (const QVariant &arg : message.arguments()) {
            fields << textOf(arg);
        }
        file_.write((fields.join(QStringLiteral(" | ")) + QLatin1Char('\n')).toUtf8());
    }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage) {
            return false;
        }
        record(message);
        QDBusMessage reply = message.createReply();
        if (message.member() == QLatin1String("Notify")) {
            reply << 7U;
        }
        connection.send(reply);
        return true;
    }

public Q_SLOTS:
    void launcherUpdate(const QDBusMessage &message) { record(message); }

private:
    QFile file_;
};

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: dbusRecorder RECORD-FILE [--no-services]\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "dbusRecorder: no session bus\n");
        return 1;
    }
    recorder rec(args.at(1));
    bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                QStringLiteral("Update"), &rec, SLOT(launcherUpdate(QDBusMessage)));
    if (!args.contains(QStringLiteral("--no-services"))) {
        if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &rec) ||
            !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &rec) ||
            !bus.registerService(QStringLiteral("org.freedesktop.FileManager1")) ||
            !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
            std::fprintf(stderr, "dbusRecorder: the names can't be owned\n");
            return 1;
        }
    }
    // The match rule of the signal is in place once the bus has answered a call after it.
    bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "dbusRecorder.moc"
