// fluxaro --batch and the desktop: with the services on the bus, one notification with the
// counts at the end and the launcher's progress going forward then hidden; without a bus or
// without the services the batch ends as before and Details.log says what was skipped.
#include "e2eMedia.h"
#include "testBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>

using namespace e2e;

namespace {

QString readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::string show(const runResult &run) {
    return (run.out + QStringLiteral("\n--- stderr tail ---\n") + run.err.right(3000))
        .toStdString();
}

/// A card of one short clip.
QString makeSources(const sandbox &box) {
    const QString card = box.root() + QStringLiteral("/card");
    makeCard(card, {{"320x180", 25}}, 1);
    return card;
}

} // namespace

TEST(batchDesktop, oneNotificationWithTheCountsAndLauncherProgress) {
    testBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    ASSERT_TRUE(bus.startRecorder());
    sandbox box;
    const QString card = makeSources(box);
    const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"}, 240000,
                                    {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}});
    ASSERT_EQ(run.status, 0) << show(run);
    const QStringList records = bus.records(1);
    QStringList notifications;
    QList<double> progress;
    bool hidden = false;
    for (const QString &line : records) {
        if (line.startsWith(QStringLiteral("Notify | "))) {
            notifications << line;
        } else if (line.startsWith(QStringLiteral("Update | "))) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("progress=([0-9.]+)")).match(line);
            if (m.hasMatch()) {
                EXPECT_FALSE(hidden) << "progress after the batch ended";
                progress << m.captured(1).toDouble();
            } else {
                EXPECT_TRUE(line.endsWith(QStringLiteral("{progress-visible=false}")));
                hidden = true;
            }
        }
    }
    ASSERT_EQ(notifications.size(), 1) << records.join('\n').toStdString();
    EXPECT_TRUE(
        notifications[0].contains(QStringLiteral(" | The conversion is finished | 1 converted | ")))
        << notifications[0].toStdString();
    ASSERT_FALSE(progress.isEmpty());
    for (qsizetype i = 1; i < progress.size(); ++i) {
        EXPECT_GT(progress[i], progress[i - 1]);
    }
    EXPECT_EQ(progress.last(), 1.0);
    EXPECT_TRUE(hidden);
    // The terminal front prints the folder instead of opening a file manager.
    for (const QString &line : records) {
        EXPECT_FALSE(line.startsWith(QStringLiteral("ShowItems"))) << line.toStdString();
    }
    EXPECT_TRUE(readAll(box.detailsLog()).contains(QStringLiteral("notification        :-) ")));
}

TEST(batchDesktop, withoutBusOrServicesTheBatchRunsAndTheLogSaysWhatWasSkipped) {
    {
        sandbox box;
        const QString card = makeSources(box);
        const runResult run =
            box.batch({card, "--format", "rewrap", "--mode", "normal"}, 240000,
                      {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"}});
        ASSERT_EQ(run.status, 0) << show(run);
        EXPECT_EQ(box.eventsFiles(), QStringList{cardClipName(1)});
        const QString log = readAll(box.detailsLog());
        EXPECT_TRUE(log.contains(QStringLiteral(
            "desktop             :-/ org.freedesktop.Notifications skipped: no session bus")))
            << log.right(3000).toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral(
            "desktop             :-/ com.canonical.Unity.LauncherEntry skipped: no session bus")));
        EXPECT_TRUE(log.contains(QStringLiteral("notification        :-/ skipped")));
    }
    {
        testBus bus;
        ASSERT_FALSE(bus.address().isEmpty());
        sandbox box;
        const QString card = makeSources(box);
        const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"}, 240000,
                                        {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}});
        ASSERT_EQ(run.status, 0) << show(run);
        EXPECT_EQ(box.eventsFiles(), QStringList{cardClipName(1)});
        const QString log = readAll(box.detailsLog());
        EXPECT_TRUE(
            log.contains(QStringLiteral("notification        :-/ skipped: no notification server "
                                        "(org.freedesktop.DBus.Error.ServiceUnknown)")))
            << log.right(3000).toStdString();
    }
}

// Ctrl-C during a conversion: the notification says the batch was stopped, with the job that
// was stopped and the source left undone counted as such, in the end-of-batch alert's words
// (not "finished, 0 converted, 0 failed", nor "failed or stopped").
TEST(batchDesktop, stoppedBatchIsNotifiedAsStoppedWithItsCounts) {
    testBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    ASSERT_TRUE(bus.startRecorder());
    sandbox box;
    const QString longClip = box.root() + QStringLiteral("/long.ts");
    const QString shortClip = box.root() + QStringLiteral("/short.ts");
    ASSERT_TRUE(makeClip(longClip, "1280x720", 25, 30.0));
    ASSERT_TRUE(makeClip(shortClip, "320x180", 25, 1.0));
    QProcess process;
    QProcessEnvironment env = box.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
                  {"--batch", longClip, shortClip, "--dest", box.dest(), "--format", "prores",
                   "--mode", "normal"});
    ASSERT_TRUE(process.waitForStarted());
    QString out;
    QElapsedTimer timer;
    timer.start();
    // Both sources listed, the first one converting.
    while (!(out.contains(QStringLiteral("converting 2 source(s)")) &&
             out.contains(QStringLiteral("[1/2] "))) &&
           process.state() == QProcess::Running && timer.elapsed() < 120000) {
        process.waitForReadyRead(100);
        out += QString::fromUtf8(process.readAllStandardOutput());
    }
    ASSERT_EQ(process.state(), QProcess::Running) << out.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    out += QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_EQ(process.exitCode(), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("stopped:  ") + longClip)) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[1/2] stopped long.ts"))) << out.toStdString();
    QStringList notifications;
    for (const QString &line : bus.records(1)) {
        if (line.startsWith(QStringLiteral("Notify | "))) {
            notifications << line;
        }
    }
    ASSERT_EQ(notifications.size(), 1) << out.toStdString();
    EXPECT_TRUE(notifications[0].contains(
        QStringLiteral(" | The conversion was stopped | 0 converted, 1 stopped, 1 not done | ")))
        << notifications[0].toStdString();
}
