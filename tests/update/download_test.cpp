// The update check, the download and the install against a real HTTP server on 127.0.0.1:
// records, release notes and archives, and the server's bad answers.
#include "frontApi/alerts.h"
#include "frontApi/uiControls.h"
#include "httpTestServer.h"
#include "platform/constants.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "testEnv.h"
#include "update/updateCheck.h"
#include "update/updateInstall.h"
#include "update/webUtils.h"
#include "zipMaker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

#include <unistd.h>

namespace {

class recordingPresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &plan) override {
        titles.append(plan.title);
        messages.append(plan.message);
        return {};
    }
    QStringList titles;
    QStringList messages;
};

class testSheet : public updateSheet {
public:
    bool isVisible() const override { return visible; }
    void show(const QString &downloadUrl, const QString &notesUrl, const QString &notice) override {
        visible = true;
        shownUrl = downloadUrl;
        shownNotes = notesUrl;
        shownNotice = notice;
    }
    void close() override { visible = false; }
    void setOutcomeText(const QString &text) override { outcomes.append(text); }
    uiProgressBar *progressBar() override { return &bar; }
    uiButton *stopButton() override { return &stop; }
    bool visible = false;
    QString shownUrl, shownNotes, shownNotice;
    QStringList outcomes;
    plainProgressBar bar;
    plainButton stop;
};

QByteArray recordText(const QString &version, const QString &dlPath) {
    return QStringLiteral("<dict><key>version</key><value>%1</value>"
                          "<key>systemVersionMin</key><value>0</value>"
                          "<key>dlPath</key><value>%2</value></dict>")
        .arg(version, dlPath)
        .toUtf8();
}

QByteArray zipBytes(const std::vector<zipMakerEntry> &entries) {
    const QString path = freshWorkDir(QStringLiteral("zip-src")) + QStringLiteral("/z.zip");
    makeZip(path, entries);
    return readBytes(path);
}

class UpdateServer : public ::testing::Test {
protected:
    void SetUp() override {
        loadTranslations(QStringLiteral("en"));
        server = std::make_unique<httpTestServer>();
        setenv("FLUXARO_UPDATE_URL", server->baseUrl().toUtf8().constData(), 1);
        setTMPFOLDER(freshWorkDir(QStringLiteral("tmpfolder")) + QLatin1Char('/'));
        previous = getAlertPresenter();
        setAlertPresenter(&presenter);
        httpRoute probe;
        probe.body = "ok";
        server->setRoute(QStringLiteral("/fluxaro/isConnected.htm"), probe);
        httpRoute notes;
        notes.body = "<html><body>Release notes</body></html>";
        notes.contentType = "text/html";
        server->setRoute(QStringLiteral("/dlCenter/update.php?s=fluxaro&l=en&h"), notes);
    }
    void TearDown() override {
        setAlertPresenter(previous);
        unsetenv("FLUXARO_UPDATE_URL");
        server.reset();
    }
    void serveRecord(const QString &version, const QString &dlPath) {
        httpRoute record;
        record.body = recordText(version, dlPath);
        record.contentType = "text/xml";
        server->setRoute(QStringLiteral("/dlCenter/update.php"), record);
    }
    void serveFile(const QString &path, const QByteArray &bytes, httpRoute route = {}) {
        route.body = bytes;
        server->setRoute(path, route);
    }
    bool downloadFolderGone() const {
        return !QFileInfo::exists(getTMPFOLDER() + QStringLiteral("dl"));
    }

    std::unique_ptr<httpTestServer> server;
    recordingPresenter presenter;
    alertPresenter *previous = nullptr;
    testSheet sheet;
};

TEST_F(UpdateServer, NoNetworkUpToDateAndUnreadable) {
    // The automatic check with automatic checks off makes no request at all.
    prefWrite(QStringLiteral("update"), QStringLiteral("0"));
    EXPECT_EQ(iba_checkForUpdates(false, &sheet).status, updateCheckStatus::NotRun);
    EXPECT_TRUE(server->requests().isEmpty());

    server->clearRoutes();
    EXPECT_EQ(iba_checkForUpdates(true, &sheet).status, updateCheckStatus::NoNetwork);
    ASSERT_EQ(presenter.titles.size(), 1);
    EXPECT_EQ(presenter.titles.first(), QStringLiteral("Update check failed"));
    EXPECT_TRUE(presenter.messages.first().contains(QStringLiteral("could not be reached")));
    SetUp();

    serveRecord(QStringLiteral("1.0.0"), QStringLiteral("builds/ffmpeg.zip"));
    EXPECT_EQ(iba_checkForUpdates(true, &sheet).status, updateCheckStatus::UpToDate);
    EXPECT_EQ(presenter.titles.last(), QStringLiteral(":-)"));
    EXPECT_FALSE(sheet.visible);
    EXPECT_TRUE(server->requests().last().startsWith(
        QStringLiteral("/dlCenter/update.php?s=fluxaro&l=en&os=")));

    // Garbage is only logged, even when the user asked.
    const qsizetype alerts = presenter.titles.size();
    serveFile(QStringLiteral("/dlCenter/update.php"), "\x89garbage\xff<html>");
    EXPECT_EQ(iba_checkForUpdates(true, &sheet).status, updateCheckStatus::Unreadable);
    EXPECT_EQ(presenter.titles.size(), alerts);
}

TEST_F(UpdateServer, ToolUpdateDownloadsUnpacksAndInstalls) {
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/mytool.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/mytool.zip"),
              zipBytes({{"mytool", QByteArray("#!/bin/sh\necho tool\n").repeated(2000)}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    EXPECT_TRUE(sheet.visible);
    EXPECT_EQ(sheet.shownUrl, server->baseUrl() + QStringLiteral("dlCenter/builds/mytool.zip"));
    EXPECT_TRUE(sheet.shownNotice.isEmpty());

    double lastValue = 0;
    bool determinate = false;
    sheet.bar.changed = [&] {
        if (!sheet.bar.isIndeterminate()) {
            determinate = true;
            lastValue = sheet.bar.value();
        }
    };
    plainButton sender;
    const updateInstallResult result = iba_dl(offer, &sheet, &sender, false);
    EXPECT_EQ(result.status, updateInstallStatus::ToolInstalled);
    EXPECT_TRUE(determinate);
    EXPECT_NEAR(lastValue, 100.0, 0.01);
    const QFileInfo tool(updateToolFolderStr() + QStringLiteral("/mytool"));
    EXPECT_TRUE(tool.isFile());
    EXPECT_TRUE(tool.isExecutable());
    EXPECT_TRUE(downloadFolderGone());
    EXPECT_TRUE(sender.isEnabled());
    EXPECT_FALSE(sheet.visible);
}

// A server that sends a byte now and then never lets a transfer timeout fire, and one whose
// answer never ends would fill the memory: the probe and the record request each end by their
// deadline (20 s; shortened here) or past their size bound (64 KB), and say which.
TEST_F(UpdateServer, HangingAndEndlessServersEndTheCheck) {
    webFetchLimits limits;
    limits.deadlineMs = 1000;
    httpRoute drip;
    drip.bytesPerTick = 1; // a byte every 20 ms: 40 s for the whole answer
    drip.body = QByteArray(2000, ' ');
    httpRoute endless;
    endless.announcedLength = -2;
    endless.body = QByteArray(8 * 1024 * 1024, 'x');
    struct endCase {
        const char *name;
        QString path;
        httpRoute route;
        updateCheckStatus status;
        webFetchOutcome outcome;
    };
    const std::vector<endCase> cases = {
        {"dripping probe", QStringLiteral("/fluxaro/isConnected.htm"), drip,
         updateCheckStatus::NoNetwork, webFetchOutcome::TimedOut},
        {"endless probe", QStringLiteral("/fluxaro/isConnected.htm"), endless,
         updateCheckStatus::NoNetwork, webFetchOutcome::TooLarge},
        {"dripping record", QStringLiteral("/dlCenter/update.php"), drip,
         updateCheckStatus::Unreadable, webFetchOutcome::TimedOut},
        {"endless record", QStringLiteral("/dlCenter/update.php"), endless,
         updateCheckStatus::Unreadable, webFetchOutcome::TooLarge},
    };
    for (const endCase &bad : cases) {
        SCOPED_TRACE(bad.name);
        SetUp();
        serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/x.zip"));
        server->setRoute(bad.path, bad.route);
        QElapsedTimer clock;
        clock.start();
        const updateCheckResult result = iba_checkForUpdates(true, &sheet, limits);
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(result.status, bad.status);
        EXPECT_EQ(result.fetchOutcome, bad.outcome);
    }
    EXPECT_EQ(webFetchOutcomeStr(webFetchOutcome::TimedOut),
              QStringLiteral("no answer within 20 s"));
    EXPECT_EQ(webFetchOutcomeStr(webFetchOutcome::TooLarge),
              QStringLiteral("the answer is larger than 64 KB"));
    // Within the bounds, the answer is whole.
    httpRoute small;
    small.bytesPerTick = 100;
    small.body = QByteArray(3000, 'a');
    server->setRoute(QStringLiteral("/small.txt"), small);
    const webFetchResult fetched =
        webFetch(server->baseUrl() + QStringLiteral("small.txt"), limits);
    EXPECT_EQ(fetched.outcome, webFetchOutcome::Answered);
    EXPECT_EQ(fetched.body.size(), 3000);
}

// A tool archive named after a folder of the support folder ("QuickTime" holds the toolbox's
// per-user files) installs nothing and deletes nothing.
TEST_F(UpdateServer, ToolNamedAfterAFolderNeverReplacesIt) {
    const QString folder = updateToolFolderStr() + QStringLiteral("/QuickTime");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(writeBytes(folder + QStringLiteral("/settings.bin"), "mine"));
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/QuickTime.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/QuickTime.zip"), zipBytes({{"QuickTime", "tool"}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    EXPECT_EQ(iba_dl(offer, &sheet, nullptr, false).status, updateInstallStatus::Failed);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(readBytes(folder + QStringLiteral("/settings.bin")), QByteArray("mine"));
    EXPECT_TRUE(downloadFolderGone());
}

TEST_F(UpdateServer, BadDownloadsFailWithTheirTextsAndInstallNothing) {
    const QByteArray archive = zipBytes({{"badtool", "data"}});
    struct badCase {
        const char *name;
        httpRoute route;
        QByteArray body;
    };
    std::vector<badCase> cases;
    cases.push_back({"garbage instead of a zip", {}, "<html>not a zip</html>"});
    httpRoute shortLie;
    shortLie.announcedLength = archive.size() + 1000; // announces more than it sends
    cases.push_back({"length above the body", shortLie, archive});
    httpRoute longLie;
    longLie.announcedLength = 10; // sends more than announced
    cases.push_back({"body above the length", longLie, archive});
    httpRoute missing;
    missing.status = 404;
    cases.push_back({"not found", missing, "gone"});
    httpRoute loop;
    loop.status = 302;
    loop.location = "/dlCenter/builds/badtool.zip";
    cases.push_back({"redirect loop", loop, {}});
    httpRoute damaged;
    QByteArray cut = archive.left(archive.size() - 30);
    cases.push_back({"truncated archive", damaged, cut});

    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/badtool.zip"));
    for (const badCase &bad : cases) {
        SCOPED_TRACE(bad.name);
        serveFile(QStringLiteral("/dlCenter/builds/badtool.zip"), bad.body, bad.route);
        const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
        ASSERT_EQ(offer.status, updateCheckStatus::Offered);
        presenter.titles.clear();
        sheet.outcomes.clear();
        const updateInstallResult result = iba_dl(offer, &sheet, nullptr, false);
        EXPECT_EQ(result.status, updateInstallStatus::Failed);
        ASSERT_FALSE(presenter.titles.isEmpty());
        EXPECT_EQ(presenter.titles.first(), QStringLiteral(":-("));
        EXPECT_EQ(presenter.messages.first(), QStringLiteral("The download failed."));
        EXPECT_TRUE(sheet.outcomes.contains(QStringLiteral("The download failed.")));
        EXPECT_TRUE(downloadFolderGone());
        EXPECT_FALSE(QFileInfo::exists(updateToolFolderStr() + QStringLiteral("/badtool")));
    }
}

TEST_F(UpdateServer, StopDuringADownloadAnswersOneAndAStallTimesOut) {
    httpRoute slow;
    slow.bytesPerTick = 1000;
    slow.body = QByteArray(400000, 'x'); // 8 s at this pace
    server->setRoute(QStringLiteral("/slow.zip"), slow);
    const QString path = freshWorkDir(QStringLiteral("dl-stop")) + QStringLiteral("/slow.zip");
    plainButton stop;
    plainProgressBar bar;
    // The stop button is pressed from the event loop the downloader keeps running.
    QTimer::singleShot(300, [&stop] { webUtils::stopDL(&stop); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(webUtils::downloadURL(server->baseUrl() + QStringLiteral("slow.zip"), path, &bar,
                                    &stop, true),
              1);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(stop.isEnabled());
    EXPECT_TRUE(stop.isHidden());
    EXPECT_FALSE(QFileInfo::exists(path));

    httpRoute stall;
    stall.body = QByteArray(5000, 'y');
    stall.stallAfter = 100;
    server->setRoute(QStringLiteral("/stall.zip"), stall);
    webDownloadLimits limits;
    limits.stallTimeoutMs = 500;
    EXPECT_EQ(webUtils::downloadURL(server->baseUrl() + QStringLiteral("stall.zip"), path, &bar,
                                    &stop, true, limits),
              2);
    EXPECT_FALSE(QFileInfo::exists(path));

    EXPECT_EQ(webUtils::downloadURL(QStringLiteral("not an address"), path, &bar, &stop, true), 2);
}

// The running copy is a folder with bin/ and share/fluxaro, as a build tree or an unpacked
// copy in the home folder.
class AppUpdate : public UpdateServer {
protected:
    void SetUp() override {
        UpdateServer::SetUp();
        prefix = freshWorkDir(QStringLiteral("copy"));
        QDir().mkpath(prefix + QStringLiteral("/bin"));
        QDir().mkpath(prefix + QStringLiteral("/share/fluxaro"));
        writeBytes(prefix + QStringLiteral("/bin/fluxaro"), "old program");
        writeBytes(prefix + QStringLiteral("/share/fluxaro/Info.plist"),
                   readBytes(QStringLiteral(FLUXARO_RESOURCE_DIR "/Info.plist")));
        setenv("FLUXARO_RESOURCE_DIR", (prefix + QStringLiteral("/share/fluxaro")).toUtf8(), 1);
    }
    void TearDown() override {
        unsetenv("FLUXARO_RESOURCE_DIR");
        UpdateServer::TearDown();
    }
    QString prefix;
};

TEST_F(AppUpdate, ReplacesTheWritableCopyAndKeepsTheOldOne) {
    EXPECT_EQ(appCopyStateOf(prefix), appCopyState::Replaceable);
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/Fluxaro-9.0.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/Fluxaro-9.0.zip"),
              zipBytes({{"Fluxaro-9.0/bin/fluxaro", "new program"},
                        {"Fluxaro-9.0/share/fluxaro/Info.plist", "new list"},
                        {"Fluxaro-9.0/share/fluxaro/tools/clipdater", "tool"}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    const updateInstallResult result = iba_dl(offer, &sheet, nullptr, false);
    ASSERT_EQ(result.status, updateInstallStatus::AppInstalled);
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), QByteArray("new program"));
    EXPECT_TRUE(QFileInfo(prefix + QStringLiteral("/bin/fluxaro")).isExecutable());
    EXPECT_TRUE(
        QFileInfo(prefix + QStringLiteral("/share/fluxaro/tools/clipdater")).isExecutable());
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro.fluxaro-old")),
              QByteArray("old program"));
    const QString restart = updateRestartCommandStr(result.replacement, 4242);
    EXPECT_TRUE(restart.startsWith(QStringLiteral("while kill -0 4242")));
    EXPECT_TRUE(restart.contains(QStringLiteral("'") + prefix + QStringLiteral("/bin/fluxaro' &")));

    // The new copy did not start: the old one comes back whole.
    ASSERT_TRUE(updateRestoreApp(result.replacement));
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), QByteArray("old program"));
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/share/fluxaro/tools")));
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/fluxaro.fluxaro-old")));
}

// Killed while the new copy was on trial, the update leaves the new copy in place and the old
// one set aside: the next start (the new copy's) finishes it. Killed in the middle of the swap,
// it leaves a mixed copy: the next start puts the old one back.
TEST_F(AppUpdate, InterruptedReplacementIsFinishedOrUndoneAtTheNextStart) {
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/Fluxaro-9.0.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/Fluxaro-9.0.zip"),
              zipBytes({{"Fluxaro-9.0/bin/fluxaro", "new program"},
                        {"Fluxaro-9.0/share/fluxaro/Info.plist", "new list"}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    ASSERT_EQ(iba_dl(offer, &sheet, nullptr, false).status, updateInstallStatus::AppInstalled);
    const QString journal = updateJournalPathStr(prefix);
    ASSERT_TRUE(QFileInfo::exists(journal));
    // The process that tried the new copy died here. Its trial run leaves things as they are.
    setenv("FLUXARO_UPDATE_TRIAL", "1", 1);
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::None);
    unsetenv("FLUXARO_UPDATE_TRIAL");
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::Finished);
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), QByteArray("new program"));
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/fluxaro.fluxaro-old")));
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/share/fluxaro.fluxaro-old")));
    EXPECT_FALSE(QFileInfo::exists(journal));
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::None);

    // Cut short during the swap: the program is new, the resources still old.
    writeBytes(prefix + QStringLiteral("/bin/fluxaro.fluxaro-old"), "old program");
    ASSERT_TRUE(writeBytes(
        journal,
        "swapping\n" + (prefix + QStringLiteral("/bin/fluxaro")).toUtf8().toPercentEncoding() +
            ' ' +
            (prefix + QStringLiteral("/bin/fluxaro.fluxaro-old")).toUtf8().toPercentEncoding() +
            '\n' + (prefix + QStringLiteral("/share/fluxaro")).toUtf8().toPercentEncoding() + ' ' +
            (prefix + QStringLiteral("/share/fluxaro.fluxaro-old")).toUtf8().toPercentEncoding() +
            '\n'));
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::RolledBack);
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), QByteArray("old program"));
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/share/fluxaro/Info.plist")),
              QByteArray("new list"));
    EXPECT_FALSE(QFileInfo::exists(journal));

    // A journal that names anything outside the copy touches nothing.
    const QString outside = freshWorkDir(QStringLiteral("outside")) + QStringLiteral("/keep");
    ASSERT_TRUE(writeBytes(outside, "keep"));
    ASSERT_TRUE(writeBytes(journal, "swapping\n" + outside.toUtf8().toPercentEncoding() + " \n"));
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::Failed);
    EXPECT_TRUE(QFileInfo::exists(outside));
    QFile::remove(journal);
}

// The download folder on another file system than the copy (a tmpfs here): every part is
// staged beside its place and renamed into it, where one rename(2) used to fail with EXDEV.
TEST_F(AppUpdate, ReplacesTheCopyFromAnotherFileSystem) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const QString mountPoint = freshWorkDir(QStringLiteral("tmpfs"));
    ASSERT_EQ(std::system(
                  ("mount -t tmpfs -o size=16m tmpfs '" + mountPoint.toStdString() + "'").c_str()),
              0);
    struct unmount {
        QString path;
        ~unmount() { std::system(("umount '" + path.toStdString() + "'").c_str()); }
    } unmountAtEnd{mountPoint};
    setTMPFOLDER(mountPoint + QLatin1Char('/'));
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/Fluxaro-9.0.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/Fluxaro-9.0.zip"),
              zipBytes({{"Fluxaro-9.0/bin/fluxaro", "new program"},
                        {"Fluxaro-9.0/share/fluxaro/Info.plist", "new list"},
                        {"Fluxaro-9.0/share/fluxaro/tools/clipdater", "tool"}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    const updateInstallResult result = iba_dl(offer, &sheet, nullptr, false);
    ASSERT_EQ(result.status, updateInstallStatus::AppInstalled);
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), QByteArray("new program"));
    EXPECT_TRUE(QFileInfo(prefix + QStringLiteral("/bin/fluxaro")).isExecutable());
    EXPECT_TRUE(
        QFileInfo(prefix + QStringLiteral("/share/fluxaro/tools/clipdater")).isExecutable());
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/share/fluxaro.fluxaro-new")));
    updateDropOldApp(result.replacement);
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/fluxaro.fluxaro-old")));
}

TEST_F(AppUpdate, ArchiveWithoutApplicationAndReadOnlyCopy) {
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/Fluxaro-9.0.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/Fluxaro-9.0.zip"),
              zipBytes({{"readme.txt", "nothing to install"}}));
    updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    presenter.titles.clear();
    EXPECT_EQ(iba_dl(offer, &sheet, nullptr, false).status, updateInstallStatus::NoApplication);
    EXPECT_TRUE(presenter.titles.isEmpty()); // cleaned up without an alert
    EXPECT_TRUE(downloadFolderGone());
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), QByteArray("old program"));

    // A copy of the package manager (here: one under /usr) is never replaced; the sheet points
    // at the release notes and nothing is downloaded.
    setenv("FLUXARO_RESOURCE_DIR", "/usr/share/fluxaro", 1);
    offer = iba_checkForUpdates(true, &sheet);
    EXPECT_TRUE(sheet.shownNotice.contains(QStringLiteral("package manager")));
    EXPECT_TRUE(sheet.shownNotice.contains(offer.notesUrl));
    const qsizetype requests = server->requests().size();
    EXPECT_EQ(iba_dl(offer, &sheet, nullptr, false).status, updateInstallStatus::NotReplaceable);
    EXPECT_EQ(server->requests().size(), requests);
    EXPECT_TRUE(sheet.outcomes.last().contains(QStringLiteral("package manager")));
}

TEST(AppCopy, PackageManagerFilesAreNeverReplaced) {
    EXPECT_TRUE(appCopyIsPackageFile(QStringLiteral("/usr/bin/fluxaro")));
    EXPECT_FALSE(appCopyIsPackageFile(QStringLiteral("/usr/local/bin/fluxaro-not-there")));
    EXPECT_EQ(appCopyStateOf(QStringLiteral("/usr")), appCopyState::PackageManaged);
}

} // namespace

namespace {

struct cliRun {
    int exitCode = -1;
    QString output;
};

// Runs the fluxaro program while this process's event loop serves its requests.
cliRun runFluxaro(const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    process.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), arguments);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

TEST_F(UpdateServer, CommandLineCheckAndInstall) {
    serveRecord(QStringLiteral("1.0"), QStringLiteral("builds/clitool.zip"));
    cliRun run = runFluxaro({QStringLiteral("--check-update")});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(runFluxaro({QStringLiteral("--check-update"), QStringLiteral("--install")}).exitCode,
              1);

    serveRecord(QStringLiteral("9.5"), QStringLiteral("builds/clitool.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/clitool.zip"),
              zipBytes({{"clitool", "#!/bin/sh\n"}}));
    run = runFluxaro({QStringLiteral("--check-update")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.contains(QStringLiteral("version 9.5"))) << run.output.toStdString();
    EXPECT_TRUE(
        run.output.contains(server->baseUrl() + QStringLiteral("dlCenter/builds/clitool.zip")));

    run = runFluxaro({QStringLiteral("--check-update"), QStringLiteral("--install")});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(QFileInfo(updateToolFolderStr() + QStringLiteral("/clitool")).isExecutable());

    serveFile(QStringLiteral("/dlCenter/builds/clitool.zip"), "garbage");
    run = runFluxaro({QStringLiteral("--check-update"), QStringLiteral("--install")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.output.contains(QStringLiteral("The download failed.")))
        << run.output.toStdString();

    server->clearRoutes();
    run = runFluxaro({QStringLiteral("--check-update")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.output.contains(QStringLiteral("Update check failed")));
}

} // namespace
