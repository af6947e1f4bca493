#include "desktop/cardWatch.h"

#include "platform/log.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QPointer>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

namespace {

const QString udisksService = QStringLiteral("org.freedesktop.UDisks2");
const QString udisksRoot = QStringLiteral("/org/freedesktop/UDisks2");
const QString blockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString filesystemInterface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString objectManagerInterface = QStringLiteral("org.freedesktop.DBus.ObjectManager");

/// How long UDisks2 may take to answer (it is started by the bus on the first call).
constexpr int udisksTimeoutMs = 25000;

using interfaceMap = QMap<QString, QVariantMap>;

/// An a{sv} argument as a map, whether the bus gave it demarshalled or not.
QVariantMap variantMapOf(const QVariant &value) {
    if (value.canConvert<QDBusArgument>()) {
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    }
    return value.toMap();
}

interfaceMap interfacesOf(const QVariant &value) {
    interfaceMap interfaces;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        arg >> interfaces;
    }
    return interfaces;
}

/// MountPoints (aay) from a property's value.
QByteArrayList byteStringsOf(const QVariant &value) {
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        if (arg.currentSignature() != QLatin1String("aay")) {
            return {};
        }
        QByteArrayList list;
        arg >> list;
        return list;
    }
    if (value.metaType() == QMetaType::fromType<QByteArrayList>()) {
        return value.value<QByteArrayList>();
    }
    return {};
}

bool isFolder(const std::filesystem::path &path) {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::symlink_status(path, error));
}

} // namespace

QString firstMountPoint(const QByteArrayList &mountPoints) {
    for (QByteArray point : mountPoints) {
        // Each is a NUL-terminated byte string, the path's bytes as the kernel has them.
        const qsizetype end = point.indexOf('\0');
        if (end >= 0) {
            point.truncate(end);
        }
        if (!point.isEmpty()) {
            return QFile::decodeName(point);
        }
    }
    return {};
}

std::optional<cameraCard> cameraCardOf(const QString &mountPoint, const QString &idLabel,
                                       const cameraLook &look, const QStringList &movieExtensions) {
    if (mountPoint.isEmpty()) {
        return std::nullopt;
    }
    cameraCard card;
    card.mountPoint = mountPoint;
    if (look.privateAvchd) {
        card.layout = cameraLayout::privateAvchd;
    } else if (look.avchd) {
        card.layout = cameraLayout::avchd;
    } else {
        const bool movie =
            std::any_of(look.dcimFiles.cbegin(), look.dcimFiles.cend(), [&](const QString &name) {
                const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
                return dot > 0 && movieExtensions.contains(name.mid(dot + 1), Qt::CaseInsensitive);
            });
        if (!movie) {
            return std::nullopt;
        }
        card.layout = cameraLayout::dcimMovies;
    }
    card.label = idLabel.trimmed();
    if (card.label.isEmpty()) {
        QString path = mountPoint;
        while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
            path.chop(1);
        }
        card.label = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        if (card.label.isEmpty()) {
            card.label = path;
        }
    }
    return card;
}

cameraLook cameraLookAt(const QString &mountPoint, int maxDcimFiles) {
    namespace fs = std::filesystem;
    cameraLook look;
    const fs::path root(QFile::encodeName(mountPoint).toStdString());
    look.privateAvchd = isFolder(root / "PRIVATE" / "AVCHD");
    look.avchd = isFolder(root / "AVCHD");
    if (look.privateAvchd || look.avchd || !isFolder(root / "DCIM")) {
        return look;
    }
    std::error_code error;
    // DCIM/100CANON/MVI_0001.MOV: the files of DCIM and of its folders, links left alone.
    for (fs::directory_iterator it(root / "DCIM", error), end; !error && it != end;
         it.increment(error)) {
        if (look.dcimFiles.size() >= maxDcimFiles) {
            break;
        }
        std::error_code typeError;
        const fs::file_status status = it->symlink_status(typeError);
        if (fs::is_regular_file(status)) {
            look.dcimFiles << QFile::decodeName(it->path().filename().c_str());
        } else if (fs::is_directory(status)) {
            std::error_code subError;
            for (fs::directory_iterator sub(it->path(), subError); !subError && sub != end;
                 sub.increment(subError)) {
                if (look.dcimFiles.size() >= maxDcimFiles) {
                    break;
                }
                std::error_code subType;
                if (fs::is_regular_file(sub->symlink_status(subType))) {
                    look.dcimFiles << QFile::decodeName(sub->path().filename().c_str());
                }
            }
        }
    }
    return look;
}

cardWatch::cardWatch(QStringList movieExtensions, QObject *parent)
    : QObject(parent), movieExtensions_(std::move(movieExtensions)), bus_(QStringLiteral("none")) {}

cardWatch::~cardWatch() = default;

void cardWatch::setState(cardWatchState state) {
    if (state == state_) {
        return;
    }
    state_ = state;
    if (hooks.stateChanged) {
        hooks.stateChanged(state);
    }
}

void cardWatch::start() {
    if (owner_ != nullptr) {
        return; // watching already
    }
    bus_ = QDBusConnection::systemBus();
    if (!bus_.isConnected()) {
        logStr(QStringLiteral("cardWatch           :-/ no system bus: %1")
                   .arg(bus_.lastError().message()));
        setState(cardWatchState::noBus);
        return;
    }
    // The signals first, then the objects: nothing mounted between the two is missed.
    bus_.connect(udisksService, udisksRoot, objectManagerInterface,
                 QStringLiteral("InterfacesAdded"), this, SLOT(interfacesAdded(QDBusMessage)));
    bus_.connect(udisksService, udisksRoot, objectManagerInterface,
                 QStringLiteral("InterfacesRemoved"), this, SLOT(interfacesRemoved(QDBusMessage)));
    bus_.connect(udisksService, QString(), propertiesInterface, QStringLiteral("PropertiesChanged"),
                 this, SLOT(propertiesChanged(QDBusMessage)));
    owner_ = new QDBusServiceWatcher(udisksService, bus_,
                                     QDBusServiceWatcher::WatchForRegistration |
                                         QDBusServiceWatcher::WatchForUnregistration,
                                     this);
    connect(owner_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        logStr(QStringLiteral("cardWatch           - UDisks2 started"));
        askForObjects(true);
    });
    connect(owner_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        logStr(QStringLiteral("cardWatch           :-/ UDisks2 left the bus"));
        udisksGone();
    });
    askForObjects(true);
}

void cardWatch::askForObjects(bool atStart) {
    const quint64 generation = ++generation_;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        udisksService, udisksRoot, objectManagerInterface, QStringLiteral("GetManagedObjects"));
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, udisksTimeoutMs), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation, atStart] {
            watcher->deleteLater();
            if (generation != generation_) {
                return;
            }
            const QDBusMessage reply = watcher->reply();
            if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                logStr(QStringLiteral("cardWatch           :-/ no UDisks2: %1")
                           .arg(reply.errorName()));
                udisksGone();
                return;
            }
            const QDBusArgument arg = reply.arguments().constFirst().value<QDBusArgument>();
            if (arg.currentSignature() != QLatin1String("a{oa{sa{sv}}}")) {
                logStr(QStringLiteral("cardWatch           :-/ UDisks2 answered %1")
                           .arg(arg.currentSignature()));
                udisksGone();
                return;
            }
            QMap<QString, interfaceMap> objects;
            arg.beginMap();
            while (!arg.atEnd()) {
                QDBusObjectPath path;
                interfaceMap interfaces;
                arg.beginMapEntry();
                arg >> path >> interfaces;
                arg.endMapEntry();
                objects.insert(path.path(), interfaces);
            }
            arg.endMap();
            // Devices that went while the answer was on its way are forgotten.
            for (const QString &path : devices_.keys()) {
                if (!objects.contains(path)) {
                    forget(path);
                }
            }
            for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
                if (it.value().contains(blockInterface)) {
                    takeInterfaces(it.key(), it.value(), atStart);
                }
            }
            setState(cardWatchState::watching);
            logStr(QStringLiteral("cardWatch           :-) %1 block devices").arg(devices_.size()));
        });
}

void cardWatch::udisksGone() {
    ++generation_;
    for (const QString &path : devices_.keys()) {
        forget(path);
    }
    setState(cardWatchState::noUdisks);
}

void cardWatch::takeInterfaces(const QString &path, const interfaceMap &interfaces, bool atStart) {
    device &dev = devices_[path];
    if (interfaces.contains(blockInterface)) {
        dev.idLabel = interfaces.value(blockInterface).value(QStringLiteral("IdLabel")).toString();
    }
    if (interfaces.contains(filesystemInterface)) {
        dev.filesystem = true;
        dev.mountPoint = firstMountPoint(byteStringsOf(
            interfaces.value(filesystemInterface).value(QStringLiteral("MountPoints"))));
    }
    settle(path, atStart);
}

void cardWatch::settle(const QString &path, bool atStart) {
    device &dev = devices_[path];
    const QString mountPoint = dev.filesystem ? dev.mountPoint : QString();
    if (dev.card && dev.card->card.mountPoint == mountPoint) {
        return;
    }
    if (dev.card) {
        const cardGoneValue gone{path, dev.card->card.mountPoint};
        dev.card.reset();
        logStr(QStringLiteral("cardWatch           - gone '%1'").arg(gone.mountPoint));
        if (hooks.gone) {
            hooks.gone(gone);
        }
    }
    if (mountPoint.isEmpty() || dev.looking == mountPoint) {
        return;
    }
    // A card is read on a thread of its own: a slow card (or one that hangs) holds no event of
    // the window up. The answer comes back on the event loop, for this watch if it still lives.
    dev.looking = mountPoint;
    const QPointer<cardWatch> self(this);
    std::thread([self, path, mountPoint, atStart] {
        cameraLook look = cameraLookAt(mountPoint);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, mountPoint, atStart, look = std::move(look)] {
                if (self) {
                    self->looked(path, mountPoint, atStart, look);
                }
            },
            Qt::QueuedConnection);
    }).detach();
}

void cardWatch::looked(const QString &path, const QString &mountPoint, bool atStart,
                       const cameraLook &look) {
    const auto it = devices_.find(path);
    if (it == devices_.end()) {
        return;
    }
    device &dev = *it;
    if (dev.looking == mountPoint) {
        dev.looking.clear();
    }
    // Unmounted or moved meanwhile: that change has its own look.
    if (!dev.filesystem || dev.mountPoint != mountPoint || dev.card) {
        return;
    }
    const std::optional<cameraCard> card =
        cameraCardOf(mountPoint, dev.idLabel, look, movieExtensions_);
    if (!card) {
        logStr(QStringLiteral("cardWatch           - no camera layout in '%1'").arg(mountPoint));
        return;
    }
    dev.card = cardMountedValue{path, *card, atStart};
    dev.order = ++nextOrder_;
    logStr(
        QStringLiteral("cardWatch           :-) card '%1' at '%2'").arg(card->label, mountPoint));
    if (hooks.mounted) {
        hooks.mounted(*dev.card);
    }
}

void cardWatch::forget(const QString &path) {
    const auto it = devices_.find(path);
    if (it == devices_.end()) {
        return;
    }
    it->filesystem = false;
    settle(path, false);
    devices_.erase(devices_.find(path));
}

std::vector<cardMountedValue> cardWatch::cards() const {
    std::vector<std::pair<quint64, cardMountedValue>> mounted;
    for (const device &dev : devices_) {
        if (dev.card) {
            mounted.emplace_back(dev.order, *dev.card);
        }
    }
    std::sort(mounted.begin(), mounted.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<cardMountedValue> cards;
    for (auto &entry : mounted) {
        cards.push_back(std::move(entry.second));
    }
    return cards;
}

void cardWatch::interfacesAdded(const QDBusMessage &message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2) {
        return;
    }
    const QString path = args.at(0).value<QDBusObjectPath>().path();
    const interfaceMap interfaces = interfacesOf(args.at(1));
    if (interfaces.contains(blockInterface) || devices_.contains(path)) {
        takeInterfaces(path, interfaces, false);
    }
}

void cardWatch::interfacesRemoved(const QDBusMessage &message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2) {
        return;
    }
    const QString path = args.at(0).value<QDBusObjectPath>().path();
    const QStringList removed = args.at(1).toStringList();
    if (!devices_.contains(path)) {
        return;
    }
    if (removed.contains(blockInterface)) {
        forget(path);
    } else if (removed.contains(filesystemInterface)) {
        devices_[path].filesystem = false;
        settle(path, false);
    }
}

void cardWatch::propertiesChanged(const QDBusMessage &message) {
    const QList<QVariant> args = message.arguments();
    const QString path = message.path();
    if (args.size() < 2 || !devices_.contains(path)) {
        return;
    }
    const QString interface = args.at(0).toString();
    const QVariantMap changed = variantMapOf(args.at(1));
    const QStringList invalidated = args.size() > 2 ? args.at(2).toStringList() : QStringList();
    device &dev = devices_[path];
    if (interface == blockInterface && changed.contains(QStringLiteral("IdLabel"))) {
        dev.idLabel = changed.value(QStringLiteral("IdLabel")).toString();
    }
    if (interface != filesystemInterface) {
        return;
    }
    if (changed.contains(QStringLiteral("MountPoints"))) {
        dev.filesystem = true;
        dev.mountPoint =
            firstMountPoint(byteStringsOf(changed.value(QStringLiteral("MountPoints"))));
        settle(path, false);
    } else if (invalidated.contains(QStringLiteral("MountPoints"))) {
        // Only told that it changed: asked for, without waiting.
        QDBusMessage call = QDBusMessage::createMethodCall(udisksService, path, propertiesInterface,
                                                           QStringLiteral("Get"));
        call << filesystemInterface << QStringLiteral("MountPoints");
        auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, udisksTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, path] {
            watcher->deleteLater();
            const QDBusMessage reply = watcher->reply();
            if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
                !devices_.contains(path)) {
                return;
            }
            device &known = devices_[path];
            known.filesystem = true;
            known.mountPoint = firstMountPoint(
                byteStringsOf(reply.arguments().constFirst().value<QDBusVariant>().variant()));
            settle(path, false);
        });
    }
}
