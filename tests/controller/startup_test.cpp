#include "controller/startup.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/utilsFile.h"
#include "settings/prefs.h"

#include "testEnv.h"

#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

StartupOptions quietOptions() {
    StartupOptions options;
    options.redirectLogs = false; // the test program keeps its own streams
    options.language = QStringLiteral("en");
    return options;
}

QString lockPathStr() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/org.fluxaro.Fluxaro.lock");
}

// Runs the fluxaro program with this test's folders.
QProcess *runFluxaro(const QStringList &arguments) {
    auto *process = new QProcess;
    process->setProgram(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"));
    process->setArguments(arguments);
    process->setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process->start();
    process->waitForFinished(60000);
    return process;
}

} // namespace

TEST(Startup, RunPreparesLogsTemporaryFolderAndPreferences) {
    // Leftovers of a previous run: a temporary file and working keys.
    const QString tmp = QDir::tempPath() + QStringLiteral("/Fluxaro/");
    ASSERT_TRUE(QDir().mkpath(tmp));
    ASSERT_TRUE(writeBytes(tmp + QStringLiteral("thumb.png"), "old"));
    prefWrite(QStringLiteral("encFin"), 1);
    prefWriteDico(QStringLiteral("processEncDico"), {{QStringLiteral("encV"), 1}});
    QDir(logFolderPathStr()).removeRecursively();

    EXPECT_EQ(getTMPFOLDER(), QStringLiteral("/tmp/Fluxaro"));
    ASSERT_EQ(startupRun(quietOptions()), StartupStatus::Ok);
    EXPECT_EQ(getTMPFOLDER(), tmp);
    EXPECT_TRUE(QFileInfo(tmp).isDir());
    EXPECT_FALSE(QFileInfo::exists(tmp + QStringLiteral("thumb.png")));
    EXPECT_TRUE(getOPENPERM());
    EXPECT_TRUE(readBytes(logResumePathStr())
                    .startsWith("\xEF\xBB\xBF"
                                "start date    : "));
    EXPECT_TRUE(QFileInfo(startupToolboxUserFolderStr()).isDir());
    EXPECT_FALSE(prefRead2(QStringLiteral("encFin")).isValid());
    EXPECT_FALSE(prefRead2(QStringLiteral("processEncDico")).isValid());
    EXPECT_EQ(prefRead2(QStringLiteral("prefSpeed")).toInt(), 2);

    // While the lock is held, nobody else gets it.
    QLockFile other(lockPathStr());
    EXPECT_FALSE(other.tryLock(0));

    quitCleanup();
    EXPECT_FALSE(QFileInfo::exists(tmp));
    EXPECT_TRUE(other.tryLock(0));
    other.unlock();
    EXPECT_TRUE(QFileInfo::exists(prefFilePathStr()));
}

TEST(Startup, RefusalsNameTheirAlertKeys) {
    EXPECT_EQ(startupAlertTitleKey(StartupStatus::AlreadyRunning),
              QStringLiteral("D_appAlreadyOpened_1"));
    EXPECT_EQ(startupAlertMessageKey(StartupStatus::AlreadyRunning),
              QStringLiteral("D_appAlreadyOpened_2"));
    EXPECT_EQ(startupAlertTitleKey(StartupStatus::BadResourcePath),
              QStringLiteral("D_appAlreadyOpened_3"));
    EXPECT_EQ(startupAlertMessageKey(StartupStatus::OldProcessor), QStringLiteral("DL_loi_2"));
    EXPECT_TRUE(startupAlertTitleKey(StartupStatus::Ok).isEmpty());
}

TEST(Startup, TemporaryFolderFallsBackWhenItCannotBeMade) {
    // A file where the folder should be: it is deleted and the folder made.
    const QString tmp = QDir::tempPath() + QStringLiteral("/Fluxaro");
    QDir(tmp).removeRecursively();
    ASSERT_TRUE(writeBytes(tmp, "a file"));
    EXPECT_EQ(startupTmpFolder(), tmp + QStringLiteral("/"));
    EXPECT_TRUE(QFileInfo(tmp).isDir());
    QDir(tmp).removeRecursively();
}

TEST(ResourcesAndInfoList, ResourceFolderAndInformationList) {
    EXPECT_EQ(QFileInfo(resourcePathStr()).canonicalFilePath(),
              QFileInfo(QStringLiteral(FLUXARO_RESOURCE_DIR)).canonicalFilePath());
    EXPECT_EQ(toolsPathStr(), resourcePathStr() + QStringLiteral("/tools"));
    EXPECT_TRUE(QFileInfo(toolsPathStr() + QStringLiteral("/ffmpeg")).isExecutable());

    qputenv("FLUXARO_RESOURCE_DIR", "/elsewhere/res/");
    EXPECT_EQ(resourcePathStr(), QStringLiteral("/elsewhere/res"));
    qunsetenv("FLUXARO_RESOURCE_DIR");

    EXPECT_EQ(infoPlistStr(QStringLiteral("CFBundleName")), appNameStr());
    EXPECT_EQ(infoPlistStr(QStringLiteral("CFBundleIdentifier")), appIdentifierStr());
    EXPECT_EQ(infoPlistStr(QStringLiteral("CFBundleShortVersionString")),
              QStringLiteral(FLUXARO_VERSION_STR));
    EXPECT_EQ(infoPlistStr(QStringLiteral("CFBundleExecutable")), QStringLiteral("fluxaro"));
    const QStringList extensions = infoPlistExtensions();
    EXPECT_EQ(extensions.size(), 15);
    for (const char *ext : {"mts", "m2ts", "ts", "mod", "tod", "mov", "mkv", "dv"}) {
        EXPECT_TRUE(extensions.contains(QString::fromLatin1(ext))) << ext;
    }
}

// The program itself: --facts runs start-up, prints where things are, keeps the lines on the
// terminal and in Details.log (prefixed), and a second instance is refused.
TEST(FluxaroProgram, FactsAndSingleInstance) {
    std::unique_ptr<QProcess> run(runFluxaro({QStringLiteral("--facts")}));
    ASSERT_EQ(run->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(run->readAllStandardOutput());
    EXPECT_TRUE(out.contains(logFolderPathStr())) << out.toStdString();
    EXPECT_TRUE(out.contains(prefFilePathStr()));
    EXPECT_TRUE(out.contains(QDir::tempPath() + QStringLiteral("/Fluxaro/")));
    const QString err = QString::fromUtf8(run->readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("Processors/Cores    x "))) << err.toStdString();

    const QString details = QString::fromUtf8(readBytes(logDetailsPathStr()));
    const QRegularExpression prefixed(QStringLiteral(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} Fluxaro\\[\\d+\\] TMPFOLDER  "));
    EXPECT_TRUE(prefixed.match(details).hasMatch()) << details.toStdString();
    EXPECT_FALSE(QFileInfo::exists(QDir::tempPath() + QStringLiteral("/Fluxaro")));

    QLockFile held(lockPathStr());
    ASSERT_TRUE(held.tryLock(0));
    std::unique_ptr<QProcess> second(runFluxaro({}));
    EXPECT_EQ(second->exitCode(), 1);
    // The refusal in words, never as its key.
    const QString refusal = QString::fromUtf8(second->readAllStandardError());
    EXPECT_TRUE(refusal.contains(QStringLiteral("Fluxaro is already running")))
        << refusal.toStdString();
    EXPECT_FALSE(refusal.contains(QStringLiteral("D_appAlreadyOpened"))) << refusal.toStdString();
    held.unlock();
}

TEST(Startup, BadTmpdirFallsBackToAFolderWithItsSlash) {
    // TMPDIR missing, a file or empty: no folder is made under it (nor at the root), and the
    // temporary folder is /tmp/Fluxaro/ with its final "/", so that "frame.yuv" lands inside.
    const QByteArray saved = qgetenv("TMPDIR");
    const QString root = freshWorkDir(QStringLiteral("tmpdir"));
    ASSERT_TRUE(writeBytes(root + QStringLiteral("/afile"), "x"));
    for (const QString &bad :
         {root + QStringLiteral("/missing"), root + QStringLiteral("/afile"), QString()}) {
        qputenv("TMPDIR", bad.toLocal8Bit());
        const QString folder = startupTmpFolder();
        EXPECT_EQ(folder, QStringLiteral("/tmp/Fluxaro/")) << bad.toStdString();
        EXPECT_TRUE(QFileInfo(folder).isDir());
        EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/missing")));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/Fluxaro")));
        rmCocoa(folder);
    }
    qputenv("TMPDIR", saved);
    setTMPFOLDER(QString());
}
