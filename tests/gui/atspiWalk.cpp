// gui_atspi_walk BUS_ADDRESS
//
// Reads the accessibility tree of every application on an AT-SPI bus as a screen reader does
// (org.a11y.atspi.Accessible over D-Bus: GetChildren, GetRoleName, Name, GetState) and prints
// one line per object: "<role name>\t<name>\t<checked|->". Exit 1 when nothing could be read.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QList>
#include <QPair>
#include <QSet>

#include <cstdio>

namespace {

struct atspiRef {
    QString service;
    QDBusObjectPath path;
};

const QDBusArgument &operator>>(const QDBusArgument &argument, atspiRef &ref) {
    argument.beginStructure();
    argument >> ref.service >> ref.path;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const atspiRef &ref) {
    argument.beginStructure();
    argument << ref.service << ref.path;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(atspiRef)

namespace {

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");

QDBusMessage call(QDBusConnection &bus, const atspiRef &ref, const QString &interface,
                  const QString &method, const QVariantList &args = {}) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(ref.service, ref.path.path(), interface, method);
    message.setArguments(args);
    return bus.call(message, QDBus::Block, 5000);
}

QList<atspiRef> childrenOf(QDBusConnection &bus, const atspiRef &ref) {
    const QDBusMessage answer = call(bus, ref, kAccessible, QStringLiteral("GetChildren"));
    QList<atspiRef> children;
    if (answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty()) {
        answer.arguments().first().value<QDBusArgument>() >> children;
    }
    return children;
}

QString textOf(const QDBusMessage &answer) {
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
        return {};
    }
    QVariant value = answer.arguments().first();
    if (value.canConvert<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value.toString();
}

bool isChecked(QDBusConnection &bus, const atspiRef &ref) {
    const QDBusMessage answer = call(bus, ref, kAccessible, QStringLiteral("GetState"));
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
        return false;
    }
    QList<uint> words;
    answer.arguments().first().value<QDBusArgument>() >> words;
    // ATSPI_STATE_CHECKED is state 4 of the first word.
    return !words.isEmpty() && (words.first() & (1U << 4)) != 0;
}

int walk(QDBusConnection &bus, const atspiRef &ref, int depth, QSet<QString> &seen) {
    const QString key = ref.service + ref.path.path();
    if (depth > 40 || seen.contains(key) || seen.size() > 5000) {
        return 0;
    }
    seen.insert(key);
    const QString role = textOf(call(bus, ref, kAccessible, QStringLiteral("GetRoleName")));
    const QString name = textOf(call(bus, ref, QStringLiteral("org.freedesktop.DBus.Properties"),
                                     QStringLiteral("Get"), {kAccessible, QStringLiteral("Name")}));
    std::printf("%s\t%s\t%s\n", role.toUtf8().constData(),
                QString(name).replace(QLatin1Char('\n'), QLatin1Char(' ')).toUtf8().constData(),
                isChecked(bus, ref) ? "checked" : "-");
    int count = 1;
    for (const atspiRef &child : childrenOf(bus, ref)) {
        count += walk(bus, child, depth + 1, seen);
    }
    return count;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_atspi_walk BUS_ADDRESS\n");
        return 2;
    }
    qDBusRegisterMetaType<atspiRef>();
    qDBusRegisterMetaType<QList<atspiRef>>();
    QDBusConnection bus =
        QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), QStringLiteral("a11y"));
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no accessibility bus at %s\n", argv[1]);
        return 1;
    }
    const atspiRef root{QStringLiteral("org.a11y.atspi.Registry"),
                        QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))};
    QSet<QString> seen;
    int count = 0;
    for (const atspiRef &application : childrenOf(bus, root)) {
        count += walk(bus, application, 0, seen);
    }
    std::fflush(stdout);
    return count > 1 ? 0 : 1;
}
