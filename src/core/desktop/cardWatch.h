// Camera cards noticed when they are mounted: UDisks2 on the system bus (its object manager's
// objects at start, then InterfacesAdded, InterfacesRemoved and the Filesystem's MountPoints as
// they change), each newly mounted volume looked at for a camera's layout. The front learns
// typed values: a card mounted at a path with its name, a card gone, and whether cards can be
// noticed at all. Every call is sent without waiting; the answers come on the event loop.
#pragma once

#include <QByteArrayList>
#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <vector>

class QDBusMessage;
class QDBusServiceWatcher;

/// The camera layouts a card can have, from the folders at its root.
enum class cameraLayout {
    none,
    privateAvchd, ///< PRIVATE/AVCHD (a camcorder's SD card)
    avchd,        ///< AVCHD at the root (a camcorder's internal memory, a disc copy)
    dcimMovies,   ///< DCIM holding movie files (a photo camera, a phone, an action camera)
};

/// What the look at a mounted volume found (read from the disk by cameraLookAt).
struct cameraLook {
    bool privateAvchd = false; ///< PRIVATE/AVCHD is a folder
    bool avchd = false;        ///< AVCHD is a folder
    /// The names of the files in DCIM and its folders (one level down, as cameras write them).
    QStringList dcimFiles;
};

/// The card a volume is, as the front is told of it.
struct cameraCard {
    QString mountPoint;
    QString label; ///< the file system's label, else the mount point's own name
    cameraLayout layout = cameraLayout::none;
};

/// Decides whether a mounted volume is a camera card and names it: the layout from the look
/// (a DCIM folder counts only with a file of an accepted movie extension, compared without
/// regard to case), the name from the Block's IdLabel, else the last part of the mount point.
/// Nothing for an empty mount point or a volume without a camera layout.
std::optional<cameraCard> cameraCardOf(const QString &mountPoint, const QString &idLabel,
                                       const cameraLook &look, const QStringList &movieExtensions);

/// Reads what cameraCardOf needs at a mount point (at most `maxDcimFiles` names; links are not
/// followed). A volume that can't be read looks empty.
cameraLook cameraLookAt(const QString &mountPoint, int maxDcimFiles = 4096);

/// The first mount point of a Filesystem's MountPoints (NUL-terminated byte strings), or the
/// empty text.
QString firstMountPoint(const QByteArrayList &mountPoints);

/// Whether cards are noticed.
enum class cardWatchState {
    starting, ///< the first answer of UDisks2 has not come yet
    watching,
    noBus,    ///< no system bus could be reached
    noUdisks, ///< nobody owns org.freedesktop.UDisks2 on the bus (or it does not answer)
};

/// A card mounted, as the front learns it.
struct cardMountedValue {
    QString objectPath; ///< the block device's UDisks2 object, which names the card while mounted
    cameraCard card;
    bool atStart = false; ///< mounted before the watch began (not newly plugged in)
};

/// A card unmounted or pulled out.
struct cardGoneValue {
    QString objectPath;
    QString mountPoint;
};

/// Watches UDisks2 for camera cards. Lives on the thread of its event loop.
class cardWatch : public QObject {
    Q_OBJECT
public:
    /// The front's hooks, called on the event loop.
    struct hooksType {
        std::function<void(const cardMountedValue &)> mounted;
        std::function<void(const cardGoneValue &)> gone;
        std::function<void(cardWatchState)> stateChanged;
    };
    hooksType hooks;

    /// `movieExtensions` are those a DCIM folder's files are compared with (lower case).
    explicit cardWatch(QStringList movieExtensions, QObject *parent = nullptr);
    ~cardWatch() override;
    cardWatch(const cardWatch &) = delete;
    cardWatch &operator=(const cardWatch &) = delete;

    /// Connects to the system bus and asks UDisks2 for its objects; returns at once. Once it
    /// watches, a second call does nothing; without a bus, it tries again.
    void start();
    [[nodiscard]] cardWatchState state() const { return state_; }
    /// The cards mounted now, in the order they were noticed.
    [[nodiscard]] std::vector<cardMountedValue> cards() const;

private Q_SLOTS:
    void interfacesAdded(const QDBusMessage &message);
    void interfacesRemoved(const QDBusMessage &message);
    void propertiesChanged(const QDBusMessage &message);

private:
    /// What is known of one block device.
    struct device {
        bool filesystem = false;
        QString idLabel;
        QString mountPoint;
        /// The mount point being looked at on a thread, until its answer comes.
        QString looking;
        /// The card offered to the front while it is mounted, and when it was noticed.
        std::optional<cardMountedValue> card;
        quint64 order = 0;
    };

    void setState(cardWatchState state);
    void askForObjects(bool atStart);
    void udisksGone();
    /// Takes the interfaces and properties of one object (a{sa{sv}}).
    void takeInterfaces(const QString &path, const QMap<QString, QVariantMap> &interfaces,
                        bool atStart);
    /// Says the card is gone when the device's mount point has changed, and has a new mount
    /// point looked at.
    void settle(const QString &path, bool atStart);
    /// The look at a mount point is back: offers the card when the device is still mounted there.
    void looked(const QString &path, const QString &mountPoint, bool atStart,
                const cameraLook &look);
    void forget(const QString &path);

    QStringList movieExtensions_;
    QDBusConnection bus_;
    QDBusServiceWatcher *owner_ = nullptr;
    cardWatchState state_ = cardWatchState::starting;
    QMap<QString, device> devices_;
    quint64 nextOrder_ = 0;
    /// Counts the object requests, so that the answer of an earlier owner's is dropped.
    quint64 generation_ = 0;
};
