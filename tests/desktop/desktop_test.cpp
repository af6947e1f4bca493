// The desktop services on a real bus: the calls reach a recording stand-in with the arguments
// the file manager, the notification server and the launcher expect, and without a service the
// log says what was skipped while nothing waits.
#include "desktop/launcherEntry.h"
#include "desktop/notification.h"
#include "desktop/reveal.h"
#include "desktop/sessionBus.h"
#include "desktop/trash.h"
#include "testBus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

extern testBus *theTestBus;
extern QString theTestHome;

namespace {

/// The log lines (standard error) written while it lives.
class logCapture {
public:
    logCapture() {
        std::fflush(stderr);
        saved_ = dup(2);
        const int fd = ::open(qPrintable(dir_.path() + QStringLiteral("/log")),
                              O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        ::close(fd);
    }
    ~logCapture() { restore(); }
    QString text() {
        restore();
        QFile file(dir_.path() + QStringLiteral("/log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
    }
    QTemporaryDir dir_;
    int saved_ = -1;
};

void touch(const QString &path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
}

QString uri(const QString &path) {
    return QUrl::fromLocalFile(path).toString();
}

class desktopServices : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(theTestBus, nullptr);
        ASSERT_FALSE(theTestBus->address().isEmpty()) << "dbus-daemon did not start";
    }
    void TearDown() override {
        desktopFinishPendingCalls(5000);
        theTestBus->stopRecorder();
    }
};

} // namespace

// The batch's events folder is shown with its first new output selected, one item in one call;
// an item outside the folder or gone is not handed to the file manager, and a folder without
// outputs is shown itself.
TEST_F(desktopServices, revealAsksTheFileManagerForTheNewOutputs) {
    ASSERT_TRUE(theTestBus->startRecorder());
    QTemporaryDir dir;
    const QString events = dir.path() + QStringLiteral("/fluxaro events");
    QDir().mkpath(events);
    touch(events + QStringLiteral("/clip-a.mov"));
    touch(events + QStringLiteral("/clip b.mov"));
    touch(dir.path() + QStringLiteral("/elsewhere.mov"));

    revealInFinder(events + QLatin1Char('/'),
                   {events + QStringLiteral("/clip-a.mov"), events + QStringLiteral("/clip b.mov"),
                    dir.path() + QStringLiteral("/elsewhere.mov"),
                    events + QStringLiteral("/gone.mov")});
    revealInFinder(events);
    const QStringList calls = theTestBus->records(2);
    ASSERT_EQ(calls.size(), 2);
    // One item, one window: a file manager may open a window for every item it is given.
    EXPECT_EQ(
        calls[0],
        QStringLiteral("ShowItems | [%1] | ").arg(uri(events + QStringLiteral("/clip-a.mov"))));
    EXPECT_EQ(revealItemUris(events, {events + QStringLiteral("/gone.mov"),
                                      events + QStringLiteral("/clip b.mov"),
                                      events + QStringLiteral("/clip-a.mov")}),
              QStringList{uri(events + QStringLiteral("/clip b.mov"))});
    EXPECT_EQ(calls[1], QStringLiteral("ShowItems | [%1] | ").arg(uri(events)));

    EXPECT_TRUE(revealItemUris(dir.path() + QStringLiteral("/absent"), {}).isEmpty());
    EXPECT_TRUE(revealItemUris(QString(), {}).isEmpty());
}

// One notification: the application's name and icon, the texts, no actions, the desktop entry
// as a hint, the server's default time-out; the server's answer is logged.
TEST_F(desktopServices, notificationCarriesTheApplicationAndItsTexts) {
    ASSERT_TRUE(theTestBus->startRecorder());
    logCapture log;
    desktopNotify(QStringLiteral("The conversion is finished"),
                  QStringLiteral("2 converted, 1 failed"));
    const QStringList calls = theTestBus->records(1);
    desktopFinishPendingCalls(5000);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0],
              QStringLiteral("Notify | Fluxaro | 0 | org.fluxaro.Fluxaro | The conversion "
                             "is finished | 2 converted, 1 failed | [] | "
                             "{desktop-entry=org.fluxaro.Fluxaro,urgency=byte:1} | -1"));
    EXPECT_TRUE(
        log.text().contains(QStringLiteral("notification        :-) The conversion is finished")));
}

// The launcher's progress is a signal for the application's desktop entry; hiding it sends
// progress-visible false. Out-of-range fractions are clamped.
TEST_F(desktopServices, launcherProgressIsSignalledForTheDesktopEntry) {
    ASSERT_TRUE(theTestBus->startRecorder(false));
    launcherEntryProgress(0.25);
    launcherEntryProgress(1.5);
    launcherEntryDone();
    const QStringList signals = theTestBus->records(3);
    ASSERT_EQ(signals.size(), 3);
    const QString app = QStringLiteral("Update | application://org.fluxaro.Fluxaro.desktop | ");
    EXPECT_EQ(signals[0], app + QStringLiteral("{progress=0.25,progress-visible=true}"));
    EXPECT_EQ(signals[1], app + QStringLiteral("{progress=1,progress-visible=true}"));
    EXPECT_EQ(signals[2], app + QStringLiteral("{progress-visible=false}"));
}

// Nobody owns the names: the calls fail on the event loop, not in the caller (which returns at
// once), and the log says what was skipped; reveal falls back to opening the folder.
TEST_F(desktopServices, missingServicesAreSkippedAndLogged) {
    QTemporaryDir dir;
    logCapture log;
    QElapsedTimer timer;
    timer.start();
    desktopNotify(QStringLiteral("Done"), QStringLiteral("1 converted, 0 failed"));
    revealInFinder(dir.path());
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(desktopPendingCalls(), 2);
    desktopFinishPendingCalls(5000);
    EXPECT_EQ(desktopPendingCalls(), 0);
    const QString text = log.text();
    EXPECT_TRUE(text.contains(QStringLiteral("notification        :-/ skipped: no notification "
                                             "server (org.freedesktop.DBus.Error.ServiceUnknown)")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("revealInFinder      :-/ no file manager on the bus")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(dir.path())) << text.toStdString();
}

// The trash takes an item into the user's trash with its info file, says when there was no such
// item, and leaves an item that no trash takes where it is.
TEST_F(desktopServices, trashMovesTheItemOrLeavesIt) {
    const QString folder = theTestHome + QStringLiteral("/home/trash-test");
    QDir().mkpath(folder);
    const QString item = folder + QStringLiteral("/old.mov");
    touch(item);
    EXPECT_EQ(trashItem(item), trashOutcome::trashed);
    EXPECT_FALSE(QFileInfo::exists(item));
    const QString trash = theTestHome + QStringLiteral("/data/Trash");
    EXPECT_TRUE(QFileInfo::exists(trash + QStringLiteral("/files/old.mov")));
    EXPECT_TRUE(QFileInfo::exists(trash + QStringLiteral("/info/old.mov.trashinfo")));
    EXPECT_EQ(trashItem(item), trashOutcome::missing);

    // A file system without a trash, whose items can't be moved to the home's: the item stays
    // (never deleted instead), and the log says so.
    logCapture log;
    EXPECT_EQ(trashItem(QStringLiteral("/proc/version")), trashOutcome::stays);
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/proc/version")));
    EXPECT_TRUE(log.text().contains(QStringLiteral("no trash takes '/proc/version': it stays")));
}
