// Camera cards noticed through UDisks2: which volumes are cards and their names, as values; then
// the real udisksd on a system bus of the test's own, with loop-mounted images made by
// mkfs.ext4 (a card mounted at start, cards plugged in later, a USB stick without a camera
// layout, unmounts, udisksd leaving and coming back), a stand-in that speaks UDisks2's
// interfaces where the real one can't run (no root), and the watch without UDisks2 and without
// a bus. The watch runs in cardWatchProbe, a process of its own, since a process has one
// system bus.
#include "desktop/cardWatch.h"
#include "testBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {

const QStringList movieExtensions{QStringLiteral("mts"), QStringLiteral("m2ts"),
                                  QStringLiteral("mov"), QStringLiteral("mp4")};

void writeFile(const QString &path, const QByteArray &bytes = "x") {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

TEST(cameraCards, theLayoutAndTheNameDecideWhatIsOffered) {
    struct row {
        const char *why;
        cameraLook look;
        QString label;
        QString mountPoint;
        std::optional<cameraLayout> layout; // nothing: not offered
        QString name;
    };
    const QString media = QStringLiteral("/media/me/CARD");
    const std::vector<row> rows{
        {"a camcorder's SD card",
         {true, false, {}},
         "CANON_HF",
         media,
         cameraLayout::privateAvchd,
         "CANON_HF"},
        {"PRIVATE/AVCHD wins over a DCIM of photos",
         {true, false, {"IMG_1.JPG"}},
         "",
         media,
         cameraLayout::privateAvchd,
         "CARD"},
        {"AVCHD at the root", {false, true, {}}, "HDD", media, cameraLayout::avchd, "HDD"},
        {"a DCIM with a movie, any letter case",
         {false, false, {"IMG_1.JPG", "MVI_0002.Mov"}},
         "EOS_DIGITAL",
         media,
         cameraLayout::dcimMovies,
         "EOS_DIGITAL"},
        {"a DCIM of photos only",
         {false, false, {"IMG_1.JPG", "IMG_2.CR2"}},
         "EOS",
         media,
         std::nullopt,
         ""},
        {"a name that only looks like a movie",
         {false, false, {".mov", "mov", "clip.mov.txt"}},
         "X",
         media,
         std::nullopt,
         ""},
        {"a USB stick", {false, false, {}}, "STICK", media, std::nullopt, ""},
        {"no label: the mount point's name",
         {false, false, {"GX010001.MP4"}},
         "",
         "/media/me/NIKON D5/",
         cameraLayout::dcimMovies,
         "NIKON D5"},
        {"a blank label is none",
         {true, false, {}},
         "  ",
         media,
         cameraLayout::privateAvchd,
         "CARD"},
        {"not mounted", {true, false, {}}, "CAM", "", std::nullopt, ""},
    };
    for (const row &r : rows) {
        const std::optional<cameraCard> card =
            cameraCardOf(r.mountPoint, r.label, r.look, movieExtensions);
        ASSERT_EQ(card.has_value(), r.layout.has_value()) << r.why;
        if (card) {
            EXPECT_EQ(card->layout, *r.layout) << r.why;
            EXPECT_EQ(card->label, r.name) << r.why;
            EXPECT_EQ(card->mountPoint, r.mountPoint) << r.why;
        }
    }
}

TEST(cameraCards, mountPointsAreNulTerminatedByteStrings) {
    EXPECT_EQ(firstMountPoint({}), QString());
    EXPECT_EQ(firstMountPoint({QByteArray("/media/me/CAM\0", 14)}),
              QStringLiteral("/media/me/CAM"));
    EXPECT_EQ(firstMountPoint({QByteArray("\0", 1), QByteArray("/mnt/b\0", 7)}),
              QStringLiteral("/mnt/b"));
    // Without the terminating NUL (a service that leaves it out) the bytes are the path.
    EXPECT_EQ(firstMountPoint({QByteArray("/mnt/c")}), QStringLiteral("/mnt/c"));
    EXPECT_EQ(firstMountPoint({QByteArray("/media/me/caf\xc3\xa9\0", 15)}),
              QStringLiteral("/media/me/café"));
}

// The look reads the folders a camera writes, one level under DCIM, without following links.
TEST(cameraCards, theLookReadsTheCardsFolders) {
    QTemporaryDir dir;
    const QString root = dir.path();
    EXPECT_FALSE(cameraLookAt(root).privateAvchd);
    writeFile(root + QStringLiteral("/DCIM/100CANON/MVI_0001.MOV"));
    writeFile(root + QStringLiteral("/DCIM/100CANON/DEEPER/HIDDEN.MOV"));
    writeFile(root + QStringLiteral("/DCIM/TOP.JPG"));
    QTemporaryDir elsewhere;
    writeFile(elsewhere.path() + QStringLiteral("/LINKED.MOV"));
    ASSERT_TRUE(QFile::link(elsewhere.path(), root + QStringLiteral("/DCIM/101LINK")));
    cameraLook look = cameraLookAt(root);
    look.dcimFiles.sort();
    EXPECT_EQ(look.dcimFiles, (QStringList{"MVI_0001.MOV", "TOP.JPG"}));
    EXPECT_FALSE(look.avchd);
    EXPECT_EQ(cameraLookAt(root, 1).dcimFiles.size(), 1);

    QDir().mkpath(root + QStringLiteral("/PRIVATE/AVCHD"));
    EXPECT_TRUE(cameraLookAt(root).privateAvchd);
    writeFile(root + QStringLiteral("/AVCHD"));
    EXPECT_FALSE(cameraLookAt(root).avchd) << "a file named AVCHD is no folder";
    EXPECT_FALSE(cameraLookAt(root + QStringLiteral("/absent")).privateAvchd);
}

/// cardWatchProbe on the system bus at `address` (none: no bus at all), read line by line.
class probe {
public:
    explicit probe(const QString &address) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(FLUXARO_BINARY_DIR "/tests/cardWatchProbe"), movieExtensions);
        process_.waitForStarted(5000);
    }
    ~probe() {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    probe(const probe &) = delete;
    probe &operator=(const probe &) = delete;
    /// The next line, or the empty text after `timeoutMs` without one.
    QString next(int timeoutMs = 15000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (!process_.canReadLine() && !deadline.hasExpired() &&
               process_.state() == QProcess::Running) {
            process_.waitForReadyRead(50);
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }
    /// Lines up to and including `last` (or the time-out).
    QStringList until(const QString &last, int timeoutMs = 15000) {
        QStringList lines;
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            const QString line = next(int(deadline.remainingTime()));
            if (line.isEmpty()) {
                break;
            }
            lines << line;
            if (line == last) {
                break;
            }
        }
        return lines;
    }

private:
    QProcess process_;
};

TEST(cardWatchWithout, aBusSaysSo) {
    QTemporaryDir dir;
    probe watch(QStringLiteral("unix:path=") + dir.path() + QStringLiteral("/no-bus"));
    EXPECT_EQ(watch.next(), QStringLiteral("state noBus"));
}

TEST(cardWatchWithout, udisksOnTheBusSaysSo) {
    testBus bus(QStringLiteral("system"));
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    probe watch(bus.address());
    EXPECT_EQ(watch.next(), QStringLiteral("state noUdisks"));
}

/// Runs a command, true when it exits with 0; its output in `out`.
bool run(const QString &program, const QStringList &args, QString *out = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    const QString text = QString::fromUtf8(process.readAll()).trimmed();
    if (out != nullptr) {
        *out = text;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s %s: %s\n", qPrintable(program), qPrintable(args.join(' ')),
                     qPrintable(text));
        return false;
    }
    return true;
}

QString udisksdPath() {
    for (const char *path : {"/usr/libexec/udisks2/udisksd", "/usr/lib/udisks2/udisksd"}) {
        if (QFileInfo(QString::fromLatin1(path)).isExecutable()) {
            return QString::fromLatin1(path);
        }
    }
    return {};
}

QString udevdPath() {
    for (const char *path : {"/lib/systemd/systemd-udevd", "/usr/lib/systemd/systemd-udevd"}) {
        if (QFileInfo(QString::fromLatin1(path)).isExecutable()) {
            return QString::fromLatin1(path);
        }
    }
    return {};
}

/// udisksd on a system bus of its own, over loop devices of images made by mkfs.ext4 from
/// folders, and udev's daemon when none runs (udisksd knows the block devices udev has
/// probed). Needs root; `why` says what is missing.
class udisksRig {
public:
    udisksRig() : bus_(QStringLiteral("system")) {
        if (geteuid() != 0) {
            why = QStringLiteral("loop devices and mounts need root");
            return;
        }
        if (udisksdPath().isEmpty() || QStandardPaths::findExecutable("mkfs.ext4").isEmpty() ||
            QStandardPaths::findExecutable("losetup").isEmpty()) {
            why = QStringLiteral("udisksd, mkfs.ext4 or losetup is not installed");
            return;
        }
        if (bus_.address().isEmpty()) {
            why = QStringLiteral("dbus-daemon did not start");
            return;
        }
        // udev's daemon answers a ping when it runs (its control socket outlives it).
        if (!run(QStringLiteral("udevadm"), {"control", "--ping"})) {
            if (udevdPath().isEmpty()) {
                why = QStringLiteral("no udev daemon");
                return;
            }
            udevd_.start(udevdPath(), {});
            const QDeadlineTimer deadline(10000);
            bool answers = false;
            while (!answers && !deadline.hasExpired() && udevd_.state() != QProcess::NotRunning) {
                udevd_.waitForFinished(100);
                answers = run(QStringLiteral("udevadm"), {"control", "--ping"});
            }
            if (!answers) {
                why = QStringLiteral("the udev daemon does not start here");
                return;
            }
        }
        // A loop device at all (a container may have none).
        const QString probeImage = image(QStringLiteral("probe"), {});
        QString device;
        if (probeImage.isEmpty() ||
            !run(QStringLiteral("losetup"), {"-f", "--show", probeImage}, &device)) {
            why = QStringLiteral("no loop device can be attached");
            return;
        }
        run(QStringLiteral("losetup"), {"-d", device});
        if (!startUdisks()) {
            why = QStringLiteral("udisksd did not take its name on the bus");
        }
    }
    ~udisksRig() {
        for (const QString &mountPoint : mounted_) {
            run(QStringLiteral("umount"), {mountPoint});
        }
        for (const QString &device : devices_) {
            run(QStringLiteral("losetup"), {"-d", device});
        }
        stopUdisks();
        if (udevd_.state() == QProcess::Running) {
            udevd_.terminate();
            udevd_.waitForFinished(5000);
        }
    }
    udisksRig(const udisksRig &) = delete;
    udisksRig &operator=(const udisksRig &) = delete;

    QString why;
    QString address() const { return bus_.address(); }
    QString folder() const { return dir_.path(); }

    bool startUdisks() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus_.address());
        udisksd_.setProcessEnvironment(env);
        udisksd_.setProcessChannelMode(QProcess::MergedChannels);
        udisksd_.setStandardOutputFile(dir_.path() + QStringLiteral("/udisksd.log"),
                                       QIODevice::Append);
        udisksd_.start(udisksdPath(), {});
        QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), QStringLiteral("rig"));
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && udisksd_.state() != QProcess::NotRunning) {
            if (bus.interface() != nullptr &&
                bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.UDisks2"))) {
                return true;
            }
            udisksd_.waitForFinished(100);
        }
        return false;
    }
    void stopUdisks() {
        if (udisksd_.state() == QProcess::Running) {
            udisksd_.terminate();
            if (!udisksd_.waitForFinished(5000)) {
                udisksd_.kill();
                udisksd_.waitForFinished();
            }
        }
    }

    /// An ext4 image named `name` holding the files (relative paths), labelled `label`.
    QString image(const QString &name, const QStringList &files, const QString &label = {}) {
        const QString content = dir_.path() + QLatin1Char('/') + name + QStringLiteral(".d");
        QDir().mkpath(content);
        for (const QString &file : files) {
            writeFile(content + QLatin1Char('/') + file, QByteArray(1000, 'm'));
        }
        const QString path = dir_.path() + QLatin1Char('/') + name + QStringLiteral(".img");
        QFile img(path);
        if (!img.open(QIODevice::WriteOnly) || !img.resize(8 * 1024 * 1024)) {
            return {};
        }
        img.close();
        QStringList args{"-q", "-F", "-d", content};
        if (!label.isEmpty()) {
            args << "-L" << label;
        }
        return run(QStringLiteral("mkfs.ext4"), args << path) ? path : QString();
    }
    /// The image plugged in (a loop device, probed by udev) and mounted at `mountPoint`.
    bool plugAndMount(const QString &imagePath, const QString &mountPoint) {
        QString device;
        if (imagePath.isEmpty() ||
            !run(QStringLiteral("losetup"), {"-f", "--show", imagePath}, &device)) {
            return false;
        }
        devices_ << device;
        run(QStringLiteral("udevadm"), {"settle", "--timeout=10"});
        QDir().mkpath(mountPoint);
        if (!run(QStringLiteral("mount"), {"-o", "ro", device, mountPoint})) {
            return false;
        }
        mounted_ << mountPoint;
        deviceOf_.insert(mountPoint, device);
        return true;
    }
    bool unmount(const QString &mountPoint) {
        mounted_.removeAll(mountPoint);
        return run(QStringLiteral("umount"), {mountPoint});
    }
    /// Unmounted, then its loop device detached (the card pulled out).
    bool pullOut(const QString &mountPoint) {
        const QString device = deviceOf_.value(mountPoint);
        devices_.removeAll(device);
        return unmount(mountPoint) && run(QStringLiteral("losetup"), {"-d", device});
    }

private:
    QTemporaryDir dir_;
    testBus bus_;
    QProcess udevd_;
    QProcess udisksd_;
    QStringList devices_;
    QStringList mounted_;
    QMap<QString, QString> deviceOf_;
};

// The whole life of cards with the real udisksd: a card mounted before the watch starts is
// offered as such; a stick without a camera layout is not offered (the next offer is the card
// plugged in after it); unmounting or pulling out a card says it is gone; udisksd leaving takes
// its cards, and coming back offers those still mounted.
TEST(cardWatchOnUdisks, cardsAreOfferedAsTheyComeAndGo) {
    udisksRig rig;
    if (!rig.why.isEmpty()) {
        GTEST_SKIP() << "the real udisksd cannot run here: " << rig.why.toStdString();
    }
    const QString mnt = rig.folder() + QStringLiteral("/media/");
    const QString camA = mnt + QStringLiteral("CAM_A");
    ASSERT_TRUE(rig.plugAndMount(
        rig.image(QStringLiteral("a"), {"PRIVATE/AVCHD/BDMV/STREAM/00000.MTS"}, "CANON_HF"), camA));

    probe watch(rig.address());
    // The objects are known first; each card is read on a thread and offered after.
    EXPECT_EQ(watch.next(), QStringLiteral("state watching"));
    EXPECT_EQ(watch.next(), QStringLiteral("mounted start privateAvchd CANON_HF|") + camA);

    const QString stick = mnt + QStringLiteral("STICK");
    ASSERT_TRUE(
        rig.plugAndMount(rig.image(QStringLiteral("stick"),
                                   {"DCIM/100PHOTO/IMG_0001.JPG", "Documents/notes.txt"}, "STICK"),
                         stick));
    // No label: named by its mount point, spaces kept.
    const QString camB = mnt + QStringLiteral("NIKON D5");
    ASSERT_TRUE(
        rig.plugAndMount(rig.image(QStringLiteral("b"), {"DCIM/100NIKON/DSC_0001.Mov"}), camB));
    EXPECT_EQ(watch.next(), QStringLiteral("mounted new dcimMovies NIKON D5|") + camB);

    ASSERT_TRUE(rig.unmount(camA));
    EXPECT_EQ(watch.next(), QStringLiteral("gone ") + camA);
    ASSERT_TRUE(rig.pullOut(stick));
    const QString camC = mnt + QStringLiteral("HDD");
    ASSERT_TRUE(rig.plugAndMount(
        rig.image(QStringLiteral("c"), {"AVCHD/BDMV/STREAM/00001.MTS"}, "HANDYCAM"), camC));
    EXPECT_EQ(watch.next(), QStringLiteral("mounted new avchd HANDYCAM|") + camC);
    ASSERT_TRUE(rig.pullOut(camB));
    EXPECT_EQ(watch.next(), QStringLiteral("gone ") + camB);

    rig.stopUdisks();
    const QStringList lines = watch.until(QStringLiteral("state noUdisks"));
    EXPECT_EQ(lines,
              (QStringList{QStringLiteral("gone ") + camC, QStringLiteral("state noUdisks")}));
    ASSERT_TRUE(rig.startUdisks());
    EXPECT_EQ(watch.next(), QStringLiteral("state watching"));
    EXPECT_EQ(watch.next(), QStringLiteral("mounted start avchd HANDYCAM|") + camC);
}

/// udisksStandIn on a system bus of the test's own, one command at a time.
class standIn {
public:
    standIn() : bus_(QStringLiteral("system")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus_.address());
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(FLUXARO_BINARY_DIR "/tests/udisksStandIn"), QStringList());
        ready = answer() == QStringLiteral("ready");
    }
    ~standIn() { stop(); }
    standIn(const standIn &) = delete;
    standIn &operator=(const standIn &) = delete;

    bool ready = false;
    QString address() const { return bus_.address(); }
    bool say(const QString &command) {
        process_.write((command + QLatin1Char('\n')).toUtf8());
        return answer() == QStringLiteral("ok");
    }
    void stop() {
        if (process_.state() == QProcess::Running) {
            process_.closeWriteChannel();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished();
            }
        }
    }

private:
    QString answer() {
        const QDeadlineTimer deadline(10000);
        while (!process_.canReadLine() && !deadline.hasExpired() &&
               process_.state() != QProcess::NotRunning) {
            process_.waitForReadyRead(50);
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }
    testBus bus_;
    QProcess process_;
};

// Where the real udisksd can't run: the same interfaces from a stand-in, and the ways a block
// device's file system and mount points reach the watch besides the usual ones (a Filesystem
// interface added when already mounted, a mount point signalled as invalidated only, a device
// pulled out while mounted), then the service gone.
TEST(cardWatchOnAStandIn, mountPointsReachTheWatchEveryWayUdisksSignalsThem) {
    standIn udisksd;
    ASSERT_TRUE(udisksd.ready);
    QTemporaryDir dir;
    const QString cardA = dir.path() + QStringLiteral("/CAM A");
    const QString stick = dir.path() + QStringLiteral("/STICK");
    const QString cardB = dir.path() + QStringLiteral("/EOS");
    const QString cardC = dir.path() + QStringLiteral("/HDD");
    writeFile(cardA + QStringLiteral("/PRIVATE/AVCHD/BDMV/STREAM/00000.MTS"));
    writeFile(stick + QStringLiteral("/DCIM/100PHOTO/IMG_0001.JPG"));
    writeFile(cardB + QStringLiteral("/DCIM/100CANON/MVI_0001.MOV"));
    writeFile(cardC + QStringLiteral("/AVCHD/BDMV/STREAM/00001.MTS"));
    ASSERT_TRUE(udisksd.say(QStringLiteral("plug sdb1 CANON_HF")));
    ASSERT_TRUE(udisksd.say(QStringLiteral("mount sdb1 ") + cardA));

    probe watch(udisksd.address());
    EXPECT_EQ(watch.next(), QStringLiteral("state watching"));
    EXPECT_EQ(watch.next(), QStringLiteral("mounted start privateAvchd CANON_HF|") + cardA);
    ASSERT_TRUE(udisksd.say(QStringLiteral("plug sdc1 STICK")));
    ASSERT_TRUE(udisksd.say(QStringLiteral("mount sdc1 ") + stick));
    ASSERT_TRUE(udisksd.say(QStringLiteral("block sdd1 -")));
    ASSERT_TRUE(udisksd.say(QStringLiteral("filesystem sdd1 ") + cardB));
    EXPECT_EQ(watch.next(), QStringLiteral("mounted new dcimMovies EOS|") + cardB);
    ASSERT_TRUE(udisksd.say(QStringLiteral("plug sde1 HANDYCAM")));
    ASSERT_TRUE(udisksd.say(QStringLiteral("mount-invalidated sde1 ") + cardC));
    EXPECT_EQ(watch.next(), QStringLiteral("mounted new avchd HANDYCAM|") + cardC);

    ASSERT_TRUE(udisksd.say(QStringLiteral("unmount sdb1")));
    EXPECT_EQ(watch.next(), QStringLiteral("gone ") + cardA);
    ASSERT_TRUE(udisksd.say(QStringLiteral("unplug sdd1")));
    EXPECT_EQ(watch.next(), QStringLiteral("gone ") + cardB);
    ASSERT_TRUE(udisksd.say(QStringLiteral("unplug sdc1")));
    // A card unmounted while it is being read is never left offered.
    ASSERT_TRUE(udisksd.say(QStringLiteral("plug sdf1 QUICK")));
    ASSERT_TRUE(udisksd.say(QStringLiteral("mount sdf1 ") + cardB));
    ASSERT_TRUE(udisksd.say(QStringLiteral("unmount sdf1")));
    ASSERT_TRUE(udisksd.say(QStringLiteral("mount sdb1 ") + cardA));
    const QString again = QStringLiteral("mounted new privateAvchd CANON_HF|") + cardA;
    const QStringList between = watch.until(again);
    ASSERT_FALSE(between.isEmpty());
    EXPECT_EQ(between.last(), again) << "the stick unplugged said nothing";
    if (between.size() > 1) {
        EXPECT_EQ(between, (QStringList{QStringLiteral("mounted new dcimMovies QUICK|") + cardB,
                                        QStringLiteral("gone ") + cardB, again}));
    }

    udisksd.stop();
    QStringList lines = watch.until(QStringLiteral("state noUdisks"));
    lines.sort();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("gone ") + cardA, QStringLiteral("gone ") + cardC,
                                  QStringLiteral("state noUdisks")}));
}

} // namespace
