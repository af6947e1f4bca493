// fluxaro --batch when its terminal is closed: it stops as an interrupted run does.
#include "e2eMedia.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

using namespace e2e;

// The terminal closed (SIGHUP) during an export stops the batch as SIGTERM does: the job is
// stopped, the exit status is 1 and nothing is left. Until then every file the job has in the
// events folder has a hidden working name (the working output, its "_MASTER", the offset and
// slow-motion intermediates), never a movie-like one.
TEST(interruptedBatch, hangUpStopsAsTerminateDoesAndIntermediatesAreHidden) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/late-picture.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 50, 8.0, {}, false, 0.3));
    QProcess process;
    process.setProcessEnvironment(box.environment());
    process.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
                  {"--batch", src, "--dest", box.dest(), "--format", "prores", "--mode", "slow"});
    ASSERT_TRUE(process.waitForStarted());
    QStringList seen;
    const bool exporting = box.waitForExport(process, &seen);
    QStringList visible;
    for (const QString &name : seen) {
        if (!name.startsWith(QLatin1Char('.'))) {
            visible << name;
        }
    }
    EXPECT_TRUE(visible.isEmpty()) << visible.join(", ").toStdString();
    if (!exporting) {
        GTEST_SKIP() << "no export ran";
    }
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGHUP), 0);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("interrupted"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("stopped:"))) << out.toStdString();
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}
