#include "controller/jobFiles.h"
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

#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

StartupOptions quietOptions() {
    StartupOptions options;
    options.redirectLogs = false; // the test program keeps its own streams
    options.language = QStringLiteral("en");
    return options;
}

QString lockPathStr() {
    return QFileInfo(prefFilePathStr()).absolutePath() +
           QStringLiteral("/org.fluxaro.Fluxaro.lock");
}

// The temporary folder start-up makes: "<TMPDIR>/Fluxaro-XXXXXX/", a folder of ours, 0700.
bool isPrivateTmpFolder(const QString &folder) {
    struct stat st {};
    const QString name = QFileInfo(QDir::cleanPath(folder)).fileName();
    return folder.endsWith(QLatin1Char('/')) &&
           QFileInfo(QDir::cleanPath(folder)).absolutePath() == QDir::tempPath() &&
           name.startsWith(QStringLiteral("Fluxaro-")) && name.size() == 14 &&
           ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
}

// Runs the fluxaro program with this test's folders (and the changes of `env`).
QProcess *runFluxaro(const QStringList &arguments, const QMap<QString, QString> &env = {}) {
    auto *process = new QProcess;
    process->setProgram(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"));
    process->setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = env.cbegin(); it != env.cend(); ++it) {
        environment.insert(it.key(), it.value());
    }
    process->setProcessEnvironment(environment);
    process->start();
    process->waitForFinished(60000);
    return process;
}

} // namespace

TEST(Startup, RunPreparesLogsTemporaryFolderAndPreferences) {
    // Leftovers of a previous run: working keys.
    prefWrite(QStringLiteral("encFin"), 1);
    prefWriteDico(QStringLiteral("processEncDico"), {{QStringLiteral("encV"), 1}});
    QDir(logFolderPathStr()).removeRecursively();

    EXPECT_EQ(getTMPFOLDER(), QStringLiteral("/tmp/Fluxaro"));
    ASSERT_EQ(startupRun(quietOptions()), StartupStatus::Ok);
    const QString tmp = getTMPFOLDER();
    EXPECT_TRUE(isPrivateTmpFolder(tmp)) << tmp.toStdString();
    EXPECT_TRUE(QDir(tmp).isEmpty());
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

// A settings folder that can't be written is said as what failed, with the folder and the
// system's reason, never as another running copy.
TEST(Startup, UnwritableSettingsFolderIsSaidAsSuch) {
    const QString blocker = freshWorkDir(QStringLiteral("blocked")) + QStringLiteral("/a-file");
    ASSERT_TRUE(writeBytes(blocker, "x"));
    const QString config = blocker + QStringLiteral("/config");
    std::unique_ptr<QProcess> run(
        runFluxaro({QStringLiteral("--facts")}, {{QStringLiteral("XDG_CONFIG_HOME"), config}}));
    EXPECT_EQ(run->exitCode(), 1);
    const QString err = QString::fromUtf8(run->readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("Fluxaro can't write its settings")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(config + QStringLiteral(": ") +
                             QString::fromLocal8Bit(std::strerror(ENOTDIR))))
        << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("already running"))) << err.toStdString();
}

// HOME unset or not a path: the user's own home from the password database, never the root;
// without one, nothing starts.
TEST(Startup, HomeWithoutHomeVariable) {
    EXPECT_EQ(startupHomePlan(QStringLiteral("/home/me"), QStringLiteral("/root"), true),
              QStringLiteral("/home/me"));
    EXPECT_EQ(startupHomePlan(QString(), QStringLiteral("/root"), true), QStringLiteral("/root"));
    EXPECT_EQ(startupHomePlan(QStringLiteral("relative"), QStringLiteral("/home/me/"), true),
              QStringLiteral("/home/me"));
    EXPECT_TRUE(startupHomePlan(QString(), QStringLiteral("/"), true).isEmpty());
    EXPECT_TRUE(startupHomePlan(QString(), QStringLiteral("//"), true).isEmpty());
    EXPECT_TRUE(startupHomePlan(QString(), QStringLiteral("/nonexistent"), false).isEmpty());
    EXPECT_TRUE(startupHomePlan(QString(), QString(), false).isEmpty());
}

// Another user of the machine made "<TMPDIR>/Fluxaro" first, open to all, with a link named
// "frame.yuv" to one of our files inside: start-up neither uses nor deletes nor trashes it,
// and makes a folder of its own, new at each start, that nobody else may enter.
TEST(Startup, TemporaryFolderIsOursAloneAndNewAtEachStart) {
    const QString foreign = QDir::tempPath() + QStringLiteral("/Fluxaro");
    QDir(foreign).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(foreign));
    QFile::setPermissions(foreign, QFileDevice::Permissions(0x7777));
    const QString victim = freshWorkDir(QStringLiteral("victim")) + QStringLiteral("/.bashrc");
    ASSERT_TRUE(writeBytes(victim, "alias ll='ls -l'\n"));
    ASSERT_TRUE(QFile::link(victim, foreign + QStringLiteral("/frame.yuv")));
    const QString cwd = freshWorkDir(QStringLiteral("cwd"));
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(cwd);

    const QString first = startupTmpFolder();
    EXPECT_TRUE(isPrivateTmpFolder(first)) << first.toStdString();
    EXPECT_FALSE(first.startsWith(foreign + QLatin1Char('/')));
    const QString second = startupTmpFolder();
    EXPECT_TRUE(isPrivateTmpFolder(second)) << second.toStdString();
    EXPECT_NE(first, second);
    EXPECT_FALSE(QFileInfo::exists(first)); // the earlier one of this process is gone

    EXPECT_TRUE(QFileInfo(foreign + QStringLiteral("/frame.yuv")).isSymLink());
    EXPECT_EQ(readBytes(victim), QByteArray("alias ll='ls -l'\n"));
    EXPECT_TRUE(QDir(cwd).isEmpty()) << QDir(cwd).entryList().join(' ').toStdString();
    quitCleanup();
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_TRUE(QFileInfo(foreign).isDir());
    QDir::setCurrent(savedCwd);
    QDir(foreign).removeRecursively();
}

// A crash or a kill leaves the run's temporary folder: the next start deletes it, but never
// the folder of a run that still goes on (its lock is held) nor one it can't prove its own.
TEST(Startup, TemporaryFoldersOfDeadRunsAreSweptAtTheNextStart) {
    const QString tmp = QDir::tempPath();
    const QString dead = tmp + QStringLiteral("/Fluxaro-dead01");
    const QString alive = tmp + QStringLiteral("/Fluxaro-alive1");
    const QString open = tmp + QStringLiteral("/Fluxaro-open01");
    for (const QString &folder : {dead, alive, open}) {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(writeBytes(folder + QStringLiteral("/frame.yuv"), "frame"));
    }
    QFile::setPermissions(dead,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(alive,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QLockFile running(alive + QStringLiteral("/.fluxaro.lock"));
    ASSERT_TRUE(running.tryLock(0));

    const QString mine = startupTmpFolder();
    EXPECT_FALSE(QFileInfo::exists(dead));
    EXPECT_TRUE(QFileInfo::exists(alive + QStringLiteral("/frame.yuv")));
    EXPECT_TRUE(QFileInfo::exists(open + QStringLiteral("/frame.yuv"))); // not 0700: not ours
    EXPECT_TRUE(QFileInfo::exists(mine));
    running.unlock();
    quitCleanup();
    EXPECT_FALSE(QFileInfo::exists(mine));
    QDir(alive).removeRecursively();
    QDir(open).removeRecursively();
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
    EXPECT_TRUE(out.contains(QDir::tempPath() + QStringLiteral("/Fluxaro-")));
    const QString err = QString::fromUtf8(run->readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("Processors/Cores    x "))) << err.toStdString();

    const QString details = QString::fromUtf8(readBytes(logDetailsPathStr()));
    const QRegularExpression prefixed(QStringLiteral(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} Fluxaro\\[\\d+\\] TMPFOLDER  "));
    EXPECT_TRUE(prefixed.match(details).hasMatch()) << details.toStdString();
    EXPECT_TRUE(QDir(QDir::tempPath())
                    .entryList({QStringLiteral("Fluxaro*")}, QDir::AllEntries | QDir::Hidden)
                    .isEmpty());

    // The lock lies beside the settings: a second start with another runtime folder (a cron
    // job, an ssh login) is refused all the same.
    QLockFile held(lockPathStr());
    ASSERT_TRUE(held.tryLock(0));
    const QString otherRuntime = freshWorkDir(QStringLiteral("other-runtime"));
    QFile::setPermissions(otherRuntime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    std::unique_ptr<QProcess> elsewhere(runFluxaro(
        {QStringLiteral("--facts")}, {{QStringLiteral("XDG_RUNTIME_DIR"), otherRuntime}}));
    EXPECT_EQ(elsewhere->exitCode(), 1) << elsewhere->readAllStandardOutput().toStdString();
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
    // temporary folder is a private one in /tmp with its final "/", so that "frame.yuv" lands
    // inside.
    const QByteArray saved = qgetenv("TMPDIR");
    const QString root = freshWorkDir(QStringLiteral("tmpdir"));
    ASSERT_TRUE(writeBytes(root + QStringLiteral("/afile"), "x"));
    for (const QString &bad :
         {root + QStringLiteral("/missing"), root + QStringLiteral("/afile"), QString()}) {
        qputenv("TMPDIR", bad.toLocal8Bit());
        const QString folder = startupTmpFolder();
        EXPECT_TRUE(folder.startsWith(QStringLiteral("/tmp/Fluxaro-"))) << bad.toStdString();
        EXPECT_TRUE(folder.endsWith(QLatin1Char('/')));
        EXPECT_TRUE(QFileInfo(folder).isDir());
        EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/missing")));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/Fluxaro")));
    }
    quitCleanup();
    qputenv("TMPDIR", saved);
    setTMPFOLDER(QString());
}

// The sweep of a crashed job deletes what it can prove to be the job's working files (their
// names, in the job's events folder); a record that names anything else (hand-edited, or a
// path from an older run) costs nothing.
TEST(Startup, CrashedJobSweepDeletesOnlyWorkingFiles) {
    const QString events = freshWorkDir(QStringLiteral("dest")) + QStringLiteral("/fluxaro events");
    ASSERT_TRUE(QDir().mkpath(events));
    const QString working = events + QStringLiteral("/.fluxaro-abcde12345.mov");
    const QString master = events + QStringLiteral("/.fluxaro-abcde12345_MASTER.mov");
    // The long "_MASTER" form and the visible intermediates of earlier versions.
    const QString oldMaster = events + QStringLiteral("/_fluxaro-abcde12345_MASTER.mov");
    const QString offset = events + QStringLiteral("/.fluxaro-offset1234.mov");
    const QString cut = offset + QStringLiteral(".mov");
    const QString sound = events + QStringLiteral("/.fluxaro-sound99.mov");
    const QString oldSlow = events + QStringLiteral("/slow77.mov");
    const QString finalName = events + QStringLiteral("/clip-2024-05-18 10;15;30-00001.mov");
    const QString other = events + QStringLiteral("/holiday.mov");
    const QString elsewhere = freshWorkDir(QStringLiteral("elsewhere"));
    const QString bashrc = elsewhere + QStringLiteral("/.bashrc");
    const QString lookalike = elsewhere + QStringLiteral("/slow42.mov");
    for (const QString &path : {working, master, oldMaster, offset, cut, sound, oldSlow, finalName,
                                other, bashrc, lookalike}) {
        ASSERT_TRUE(writeBytes(path, "data"));
    }
    prefWriteDico(QStringLiteral("processEncDico"), {{QStringLiteral("dstPathStr"), working},
                                                     {QStringLiteral("finalPathStr"), finalName},
                                                     {QStringLiteral("purgePathStr1"), master},
                                                     {QStringLiteral("postProcessPurge"), offset},
                                                     {QStringLiteral("soundPathStr"), sound},
                                                     {QStringLiteral("workPathStr"), bashrc}});
    QStringList deleted = encPurgeCrashedJob();
    prefWriteDico(QStringLiteral("processEncDico"), {{QStringLiteral("dstPathStr"), working},
                                                     {QStringLiteral("workPathStr"), oldSlow}});
    deleted << encPurgeCrashedJob();
    deleted.sort();
    QStringList expected{working, master, oldMaster, offset, cut, sound, oldSlow};
    expected.sort();
    EXPECT_EQ(deleted, expected);
    for (const QString &kept : {finalName, other, bashrc}) {
        EXPECT_TRUE(QFileInfo::exists(kept)) << kept.toStdString();
    }

    // Working names outside an events folder, or another folder's: kept.
    prefWriteDico(
        QStringLiteral("processEncDico"),
        {{QStringLiteral("dstPathStr"), elsewhere + QStringLiteral("/.fluxaro-abcde12345.mov")},
         {QStringLiteral("workPathStr"), lookalike},
         {QStringLiteral("postProcessPurge"), other}});
    EXPECT_TRUE(encPurgeCrashedJob().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(lookalike));
    EXPECT_TRUE(QFileInfo::exists(other));
    prefDelete(QStringLiteral("processEncDico"));
}
