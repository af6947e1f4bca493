// A stand-in for udisksd where the real one can't run (no root for loop devices and mounts): it
// owns org.freedesktop.UDisks2 on the system bus its environment names and speaks its
// interfaces at its paths: the object manager at /org/freedesktop/UDisks2 (GetManagedObjects,
// InterfacesAdded, InterfacesRemoved) and block devices at
// /org/freedesktop/UDisks2/block_devices/NAME with org.freedesktop.UDisks2.Block (IdLabel) and
// org.freedesktop.UDisks2.Filesystem (MountPoints, NUL-terminated byte strings), whose changes it
// signals with org.freedesktop.DBus.Properties.PropertiesChanged and answers Properties.Get.
// Driven by lines on its standard input, each answered "ok" on its standard output:
//   plug NAME LABEL|-       a block device with a file system (no mount point)
//   block NAME LABEL|-      a block device without a file system yet
//   filesystem NAME PATH    its Filesystem interface added, already mounted at PATH
//   mount NAME PATH         mounted (PropertiesChanged with the value)
//   mount-invalidated NAME PATH   mounted, the change signalled as invalidated only
//   unmount NAME
//   unplug NAME             every interface of the object removed
// It prints "ready" once it owns the name.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMap>
#include <QSocketNotifier>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

using interfaceMap = QMap<QString, QVariantMap>;
using objectMap = QMap<QDBusObjectPath, interfaceMap>;

const QString blockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString filesystemInterface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString root = QStringLiteral("/org/freedesktop/UDisks2");

struct blockDevice {
    QString label;
    bool filesystem = false;
    QByteArrayList mountPoints;
};

QByteArrayList mountPointsOf(const QString &path) {
    if (path.isEmpty()) {
        return {};
    }
    // As udisksd gives them: the path's bytes and a NUL.
    return {path.toUtf8() + QByteArray(1, '\0')};
}

class udisks : public QDBusVirtualObject {
public:
    explicit udisks(QDBusConnection bus) : bus_(std::move(bus)) {}

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage) {
            return false;
        }
        if (message.path() == root && message.member() == QLatin1String("GetManagedObjects")) {
            objectMap objects;
            for (auto it = devices_.cbegin(); it != devices_.cend(); ++it) {
                objects.insert(QDBusObjectPath(pathOf(it.key())), interfacesOf(it.value()));
            }
            connection.send(message.createReply(QVariant::fromValue(objects)));
            return true;
        }
        const QString name = message.path().section(QLatin1Char('/'), -1);
        if (message.interface() == properties && message.member() == QLatin1String("Get") &&
            devices_.contains(name) && message.arguments().size() == 2) {
            const interfaceMap interfaces = interfacesOf(devices_.value(name));
            const QString interface = message.arguments().at(0).toString();
            const QString property = message.arguments().at(1).toString();
            if (interfaces.value(interface).contains(property)) {
                connection.send(message.createReply(QVariant::fromValue(
                    QDBusVariant(interfaces.value(interface).value(property)))));
                return true;
            }
        }
        connection.send(message.createErrorReply(
            QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), message.member()));
        return true;
    }

    void command(const QStringList &words) {
        const QString verb = words.value(0);
        const QString name = words.value(1);
        const QString value = words.mid(2).join(QLatin1Char(' '));
        const QString label = value == QLatin1String("-") ? QString() : value;
        if (verb == QLatin1String("plug") || verb == QLatin1String("block")) {
            blockDevice device{label, verb == QLatin1String("plug"), {}};
            devices_.insert(name, device);
            added(name, interfacesOf(device));
        } else if (verb == QLatin1String("filesystem")) {
            blockDevice &device = devices_[name];
            device.filesystem = true;
            device.mountPoints = mountPointsOf(value);
            added(name, {{filesystemInterface, interfacesOf(device).value(filesystemInterface)}});
        } else if (verb == QLatin1String("mount") || verb == QLatin1String("unmount") ||
                   verb == QLatin1String("mount-invalidated")) {
            blockDevice &device = devices_[name];
            device.mountPoints =
                mountPointsOf(verb == QLatin1String("unmount") ? QString() : value);
            QDBusMessage signal = QDBusMessage::createSignal(pathOf(name), properties,
                                                             QStringLiteral("PropertiesChanged"));
            QVariantMap changed;
            QStringList invalidated;
            if (verb == QLatin1String("mount-invalidated")) {
                invalidated << QStringLiteral("MountPoints");
            } else {
                changed.insert(QStringLiteral("MountPoints"),
                               QVariant::fromValue(device.mountPoints));
            }
            signal << filesystemInterface << changed << invalidated;
            bus_.send(signal);
        } else if (verb == QLatin1String("unplug")) {
            const blockDevice device = devices_.take(name);
            QDBusMessage signal = QDBusMessage::createSignal(
                root, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                QStringLiteral("InterfacesRemoved"));
            signal << QVariant::fromValue(QDBusObjectPath(pathOf(name)))
                   << QStringList(interfacesOf(device).keys());
            bus_.send(signal);
        }
        std::printf("ok\n");
        std::fflush(stdout);
    }

private:
    static QString pathOf(const QString &name) {
        return root + QStringLiteral("/block_devices/") + name;
    }
    static interfaceMap interfacesOf(const blockDevice &device) {
        interfaceMap interfaces;
        interfaces.insert(blockInterface,
                          {{QStringLiteral("IdLabel"), device.label},
                           {QStringLiteral("Device"), QVariant::fromValue(QByteArray("/dev/x"))}});
        if (device.filesystem) {
            interfaces.insert(filesystemInterface, {{QStringLiteral("MountPoints"),
                                                     QVariant::fromValue(device.mountPoints)}});
        }
        return interfaces;
    }
    void added(const QString &name, const interfaceMap &interfaces) {
        QDBusMessage signal =
            QDBusMessage::createSignal(root, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                       QStringLiteral("InterfacesAdded"));
        signal << QVariant::fromValue(QDBusObjectPath(pathOf(name)))
               << QVariant::fromValue(interfaces);
        bus_.send(signal);
    }

    QDBusConnection bus_;
    QMap<QString, blockDevice> devices_;
};

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<QByteArrayList>();
    qDBusRegisterMetaType<interfaceMap>();
    qDBusRegisterMetaType<objectMap>();
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "udisksStandIn: no system bus\n");
        return 1;
    }
    udisks service(bus);
    if (!bus.registerVirtualObject(root, &service, QDBusConnection::SubPath) ||
        !bus.registerService(QStringLiteral("org.freedesktop.UDisks2"))) {
        std::fprintf(stderr, "udisksStandIn: the name can't be owned\n");
        return 1;
    }
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&service, &input] {
        std::string line;
        if (!std::getline(std::cin, line)) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        service.command(QString::fromStdString(line).split(QLatin1Char(' ')));
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
