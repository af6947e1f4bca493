// The update check, the download and the install against a real HTTPS server on 127.0.0.1,
// whose throwaway certificate the tests trust through Qt's TLS configuration: records, release
// notes and archives, the server's bad answers, and what is refused (plain HTTP, another
// certificate, an archive other than the record's, a new copy that does not answer).
#include "frontApi/alerts.h"
#include "frontApi/uiControls.h"
#include "httpTestServer.h"
#include "platform/constants.h"
#include "platform/resources.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "testEnv.h"
#include "update/updateCheck.h"
#include "update/updateInstall.h"
#include "update/webUtils.h"
#include "zipMaker.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLockFile>
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

// `extra`: more "<key>...</key><value>...</value>" pairs (the archive's length and digest).
QByteArray recordText(const QString &version, const QString &dlPath, const QString &extra = {}) {
    return QStringLiteral("<dict><key>version</key><value>%1</value>"
                          "<key>systemVersionMin</key><value>0</value>"
                          "<key>dlPath</key><value>%2</value>%3</dict>")
        .arg(version, dlPath, extra)
        .toUtf8();
}

QString checksText(qsizetype length, const QByteArray &bytes) {
    QString text;
    if (length >= 0) {
        text += QStringLiteral("<key>dlLength</key><value>%1</value>").arg(length);
    }
    if (!bytes.isNull()) {
        text += QStringLiteral("<key>dlSha256</key><value>%1</value>")
                    .arg(QString::fromLatin1(
                        QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    }
    return text;
}

// The test's certificate for 127.0.0.1, made once for the whole run; null when openssl failed.
const tlsTestIdentity *testIdentity() {
    static const std::optional<tlsTestIdentity> identity =
        makeTlsTestIdentity(freshWorkDir(QStringLiteral("tls")));
    return identity ? &*identity : nullptr;
}

// The new copy's program as the archives hold it: answers --facts naming the resource folder
// beside it, as the real program does (`extra`: shell lines run first).
QByteArray answeringProgram(const QByteArray &extra = {}) {
    return "#!/bin/sh\n" + extra +
           "echo \"resources           : $(cd \"$(dirname \"$0\")/..\" && pwd)/share/fluxaro\"\n";
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
        identity = testIdentity();
        ASSERT_NE(identity, nullptr) << "openssl could not make a certificate";
        // Only the test's certificate is trusted, and the programs the tests start trust it too.
        trust.reset();
        trust = std::make_unique<tlsTrustGuard>(QList<QSslCertificate>{identity->certificate});
        setenv("FLUXARO_UPDATE_CA_FILE", identity->certificatePath.toUtf8().constData(), 1);
        server = std::make_unique<httpTestServer>(*identity);
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
        unsetenv("FLUXARO_UPDATE_CA_FILE");
        server.reset();
        trust.reset();
    }
    void serveRecord(const QString &version, const QString &dlPath, const QString &extra = {}) {
        httpRoute record;
        record.body = recordText(version, dlPath, extra);
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

    const tlsTestIdentity *identity = nullptr;
    std::unique_ptr<tlsTrustGuard> trust;
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
    // Neither the record nor the server says how long the archive is: a connection cut short
    // could not be told from the end.
    httpRoute unannounced;
    unannounced.announcedLength = -2;
    cases.push_back({"length said by nobody", unannounced, archive});

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

// Nothing of an update is asked over plain HTTP: not the site, not a link of its record, not
// the target of a redirect (which the plain server would see). A redirect to another HTTPS
// address is followed.
TEST_F(UpdateServer, OnlyHttpsIsAskedAnything) {
    httpTestServer plain;
    httpRoute any;
    any.body = "ok";
    for (const char *path : {"/fluxaro/isConnected.htm", "/dlCenter/update.php", "/plain.zip"}) {
        plain.setRoute(QString::fromLatin1(path), any);
    }

    // A plain site: refused before any request, and said so.
    setenv("FLUXARO_UPDATE_URL", plain.baseUrl().toUtf8().constData(), 1);
    updateCheckResult result = iba_checkForUpdates(true, &sheet);
    EXPECT_EQ(result.status, updateCheckStatus::Refused);
    EXPECT_EQ(result.refusedUrl, plain.baseUrl());
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_TRUE(presenter.messages.first().contains(
        plain.baseUrl() + QStringLiteral(" does not begin with https://")))
        << presenter.messages.first().toStdString();
    EXPECT_FALSE(sheet.visible);
    setenv("FLUXARO_UPDATE_URL", server->baseUrl().toUtf8().constData(), 1);

    // A secure site whose record links to a plain address.
    serveRecord(QStringLiteral("9.0"), plain.baseUrl() + QStringLiteral("plain.zip"));
    result = iba_checkForUpdates(true, &sheet);
    EXPECT_EQ(result.status, updateCheckStatus::Refused);
    EXPECT_EQ(result.refusedUrl, plain.baseUrl() + QStringLiteral("plain.zip"));
    EXPECT_FALSE(sheet.visible);
    // An offer made up by hand with that link is not downloaded either.
    updateCheckResult forged = result;
    forged.status = updateCheckStatus::Offered;
    EXPECT_EQ(iba_dl(forged, &sheet, nullptr, false).status, updateInstallStatus::Failed);
    EXPECT_EQ(
        webUtils::downloadURL(plain.baseUrl() + QStringLiteral("plain.zip"),
                              freshWorkDir(QStringLiteral("dl-plain")) + QStringLiteral("/p.zip"),
                              nullptr, nullptr, false),
        2);

    // Redirects to plain HTTP from the probe, the record and the download.
    httpRoute toPlain;
    toPlain.status = 302;
    toPlain.location = (plain.baseUrl() + QStringLiteral("fluxaro/isConnected.htm")).toUtf8();
    server->setRoute(QStringLiteral("/fluxaro/isConnected.htm"), toPlain);
    EXPECT_EQ(iba_checkForUpdates(true, &sheet).status, updateCheckStatus::NoNetwork);
    SetUp();
    toPlain.location = (plain.baseUrl() + QStringLiteral("dlCenter/update.php")).toUtf8();
    server->setRoute(QStringLiteral("/dlCenter/update.php"), toPlain);
    EXPECT_EQ(iba_checkForUpdates(true, &sheet).status, updateCheckStatus::Unreadable);
    SetUp();
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/movedtool.zip"));
    toPlain.location = (plain.baseUrl() + QStringLiteral("plain.zip")).toUtf8();
    server->setRoute(QStringLiteral("/dlCenter/builds/movedtool.zip"), toPlain);
    result = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(result.status, updateCheckStatus::Offered);
    EXPECT_EQ(iba_dl(result, &sheet, nullptr, false).status, updateInstallStatus::Failed);
    EXPECT_FALSE(QFileInfo::exists(updateToolFolderStr() + QStringLiteral("/movedtool")));
    // The fetch under the check refuses a plain address by itself as well.
    webFetchLimits secure;
    secure.httpsOnly = true;
    EXPECT_EQ(webFetch(plain.baseUrl() + QStringLiteral("fluxaro/isConnected.htm"), secure).outcome,
              webFetchOutcome::Failed);
    EXPECT_TRUE(plain.requests().isEmpty()) << plain.requests().join(' ').toStdString();

    // The same redirects within HTTPS are followed.
    httpRoute moved;
    moved.status = 301;
    moved.location = "/dlCenter/moved.php";
    server->setRoute(QStringLiteral("/dlCenter/update.php"), moved);
    httpRoute record;
    record.body = recordText(QStringLiteral("9.0"), QStringLiteral("builds/movedtool.zip"));
    server->setRoute(QStringLiteral("/dlCenter/moved.php"), record);
    moved.location = (server->baseUrl() + QStringLiteral("files/movedtool.zip")).toUtf8();
    server->setRoute(QStringLiteral("/dlCenter/builds/movedtool.zip"), moved);
    serveFile(QStringLiteral("/files/movedtool.zip"), zipBytes({{"movedtool", "#!/bin/sh\n"}}));
    result = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(result.status, updateCheckStatus::Offered);
    EXPECT_EQ(iba_dl(result, &sheet, nullptr, false).status, updateInstallStatus::ToolInstalled);
    EXPECT_TRUE(QFileInfo(updateToolFolderStr() + QStringLiteral("/movedtool")).isFile());
}

// A site whose certificate the TLS configuration does not trust is no site: a certificate of
// its own making, or any certificate once nothing is trusted.
TEST_F(UpdateServer, AnUntrustedCertificateEndsTheCheckAndTheDownload) {
    const std::optional<tlsTestIdentity> other =
        makeTlsTestIdentity(freshWorkDir(QStringLiteral("tls-other")));
    ASSERT_TRUE(other.has_value());
    httpTestServer impostor(*other);
    httpRoute probe;
    probe.body = "ok";
    impostor.setRoute(QStringLiteral("/fluxaro/isConnected.htm"), probe);
    impostor.setRoute(QStringLiteral("/t.zip"), probe);
    setenv("FLUXARO_UPDATE_URL", impostor.baseUrl().toUtf8().constData(), 1);
    EXPECT_EQ(iba_checkForUpdates(true, &sheet).status, updateCheckStatus::NoNetwork);
    const QString path = freshWorkDir(QStringLiteral("dl-untrusted")) + QStringLiteral("/t.zip");
    EXPECT_EQ(webUtils::downloadURL(impostor.baseUrl() + QStringLiteral("t.zip"), path, nullptr,
                                    nullptr, false),
              2);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(impostor.requests().isEmpty());

    // The trusted site itself, once nothing is trusted.
    setenv("FLUXARO_UPDATE_URL", server->baseUrl().toUtf8().constData(), 1);
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/x.zip"));
    ASSERT_EQ(iba_checkForUpdates(true, &sheet).status, updateCheckStatus::Offered);
    trust.reset();
    tlsTrustGuard nothing(QList<QSslCertificate>{});
    EXPECT_EQ(iba_checkForUpdates(true, &sheet).status, updateCheckStatus::NoNetwork);
}

// The archive is the one the record describes: its length (the record's, else the server's;
// one of them must say it) and, when the record gives it, its SHA-256. Tool archives as
// application archives: a mismatch installs nothing.
TEST_F(UpdateServer, TheArchiveIsTheOneTheRecordDescribes) {
    const QByteArray archive = zipBytes({{"sumtool", "#!/bin/sh\necho good\n"}});
    const QByteArray other = zipBytes({{"sumtool", "#!/bin/sh\necho evil\n"}});
    ASSERT_EQ(other.size(), archive.size());
    httpRoute announced;
    httpRoute unannounced;
    unannounced.announcedLength = -2;
    struct sumCase {
        const char *name;
        QString checks;
        httpRoute route;
        QByteArray served;
        bool installs;
    };
    const std::vector<sumCase> cases = {
        {"length and digest right", checksText(archive.size(), archive), announced, archive, true},
        {"another archive of the same length", checksText(archive.size(), archive), announced,
         other, false},
        {"digest of another archive", checksText(-1, other), announced, archive, false},
        {"record's length differs from the server's", checksText(archive.size() - 1, {}), announced,
         archive, false},
        {"record's length only", checksText(archive.size(), archive), unannounced, archive, true},
        {"cut short under the record's length", checksText(archive.size(), {}), unannounced,
         archive.left(archive.size() - 10), false},
        {"longer than the record's length", checksText(archive.size() - 10, {}), unannounced,
         archive, false},
    };
    const QString tool = updateToolFolderStr() + QStringLiteral("/sumtool");
    for (const sumCase &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(tool);
        serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/sumtool.zip"), c.checks);
        serveFile(QStringLiteral("/dlCenter/builds/sumtool.zip"), c.served, c.route);
        const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
        ASSERT_EQ(offer.status, updateCheckStatus::Offered);
        const updateInstallStatus status = iba_dl(offer, &sheet, nullptr, false).status;
        EXPECT_EQ(status,
                  c.installs ? updateInstallStatus::ToolInstalled : updateInstallStatus::Failed);
        EXPECT_EQ(readBytes(tool),
                  c.installs ? QByteArray("#!/bin/sh\necho good\n") : QByteArray());
        EXPECT_TRUE(downloadFolderGone());
    }

    // A record whose checks can't be read offers nothing, and nothing is downloaded.
    for (const QString &bad : {QStringLiteral("<key>dlSha256</key><value>abc</value>"),
                               QStringLiteral("<key>dlLength</key><value>12 KB</value>")}) {
        SCOPED_TRACE(bad.toStdString());
        serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/sumtool.zip"), bad);
        presenter.messages.clear();
        const qsizetype requests = server->requests().size();
        const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
        EXPECT_EQ(offer.status, updateCheckStatus::Refused);
        EXPECT_TRUE(offer.refusedUrl.isEmpty());
        ASSERT_EQ(presenter.messages.size(), 1);
        EXPECT_TRUE(presenter.messages.first().contains(QStringLiteral("cannot be read")));
        // The probe and the record only.
        EXPECT_EQ(server->requests().size(), requests + 2);
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
              zipBytes({{"Fluxaro-9.0/bin/fluxaro", answeringProgram()},
                        {"Fluxaro-9.0/share/fluxaro/Info.plist", "new list"},
                        {"Fluxaro-9.0/share/fluxaro/tools/clipdater", "tool"}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    const updateInstallResult result = iba_dl(offer, &sheet, nullptr, false);
    ASSERT_EQ(result.status, updateInstallStatus::AppInstalled);
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), answeringProgram());
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

// The journal of a replacement: its state, then each part and where its old copy is kept.
QByteArray journalText(const QByteArray &state, const QStringList &parts) {
    QByteArray text = state + '\n';
    for (const QString &part : parts) {
        text += part.toUtf8().toPercentEncoding() + ' ' +
                (part + QStringLiteral(".fluxaro-old")).toUtf8().toPercentEncoding() + '\n';
    }
    return text;
}

// The new copy is tried where it was unpacked, before anything of the running copy moves: one
// that does not start, fails, or answers for another copy's resources replaces nothing, nor
// does an archive other than the record's.
TEST_F(AppUpdate, ACopyThatDoesNotAnswerReplacesNothing) {
    struct trialCase {
        const char *name;
        QByteArray program;
        QString checks;
    };
    const QByteArray good = answeringProgram();
    const std::vector<trialCase> cases = {
        {"not a program", "new program", {}},
        {"fails", "#!/bin/sh\nexit 1\n", {}},
        {"answers for the running copy's resources",
         "#!/bin/sh\necho 'resources           : " +
             (prefix + QStringLiteral("/share/fluxaro")).toUtf8() + "'\n",
         {}},
        {"answers, but is not the record's archive", good,
         checksText(-1, QByteArray("another archive"))},
    };
    for (const trialCase &c : cases) {
        SCOPED_TRACE(c.name);
        serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/Fluxaro-9.0.zip"), c.checks);
        serveFile(QStringLiteral("/dlCenter/builds/Fluxaro-9.0.zip"),
                  zipBytes({{"Fluxaro-9.0/bin/fluxaro", c.program},
                            {"Fluxaro-9.0/share/fluxaro/Info.plist", "new list"}}));
        const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
        ASSERT_EQ(offer.status, updateCheckStatus::Offered);
        presenter.messages.clear();
        const updateInstallResult result = iba_dl(offer, &sheet, nullptr, false);
        EXPECT_EQ(result.status, c.checks.isEmpty() ? updateInstallStatus::NotAnswering
                                                    : updateInstallStatus::Failed);
        ASSERT_EQ(presenter.messages.size(), 1);
        if (c.checks.isEmpty()) {
            EXPECT_EQ(presenter.messages.first(),
                      QStringLiteral("The new version does not start: nothing was replaced."));
        }
        EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), QByteArray("old program"));
        EXPECT_NE(readBytes(prefix + QStringLiteral("/share/fluxaro/Info.plist")),
                  QByteArray("new list"));
        EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/fluxaro.fluxaro-old")));
        EXPECT_FALSE(QFileInfo::exists(updateJournalPathStr(prefix)));
        EXPECT_TRUE(downloadFolderGone());
    }
}

// The trial runs the unpacked program with per-user folders of its own (inside the download
// folder), on trial, finding its resources beside it rather than where this process's are; the
// swap then moves the application's program last.
TEST_F(AppUpdate, TheNewCopyAnswersInAHomeOfItsOwnAndItsProgramMovesLast) {
    const QString seen = freshWorkDir(QStringLiteral("trial-env")) + QStringLiteral("/seen");
    const QByteArray record =
        "printf '%s\\n' \"$HOME\" \"$XDG_CONFIG_HOME\" \"$XDG_DATA_HOME\" \"$XDG_STATE_HOME\" "
        "\"$XDG_CACHE_HOME\" \"$XDG_RUNTIME_DIR\" \"$TMPDIR\" \"$FLUXARO_UPDATE_TRIAL\" "
        "\"${FLUXARO_RESOURCE_DIR-none}\" > '" +
        seen.toUtf8() + "'\n";
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/Fluxaro-9.0.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/Fluxaro-9.0.zip"),
              zipBytes({{"Fluxaro-9.0/bin/fluxaro", answeringProgram(record)},
                        {"Fluxaro-9.0/bin/trakmill", "new tool"},
                        {"Fluxaro-9.0/share/fluxaro/Info.plist", "new list"}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    const updateInstallResult result = iba_dl(offer, &sheet, nullptr, false);
    ASSERT_EQ(result.status, updateInstallStatus::AppInstalled);

    const QStringList lines = QString::fromUtf8(readBytes(seen)).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 9) << lines.join(QLatin1Char('|')).toStdString();
    const QString scratch = getTMPFOLDER() + QStringLiteral("dl/trial/");
    for (qsizetype i = 0; i < 7; ++i) {
        EXPECT_TRUE(lines.at(i).startsWith(scratch)) << lines.at(i).toStdString();
    }
    EXPECT_EQ(lines.at(7), QStringLiteral("1"));
    EXPECT_EQ(lines.at(8), QStringLiteral("none"));

    EXPECT_EQ(result.replacement.parts, QStringList({prefix + QStringLiteral("/share/fluxaro"),
                                                     prefix + QStringLiteral("/bin/trakmill"),
                                                     prefix + QStringLiteral("/bin/fluxaro")}));
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/trakmill")), QByteArray("new tool"));
    updateDropOldApp(result.replacement);
}

// The real program answers its trial from a staging folder while the user's own copy holds the
// single-instance lock, and leaves the user's settings and logs as they were.
TEST_F(AppUpdate, TheRealProgramAnswersFromAStagingFolder) {
    const QString staged = freshWorkDir(QStringLiteral("staged")) + QStringLiteral("/Fluxaro-9.0");
    ASSERT_TRUE(QDir().mkpath(staged + QStringLiteral("/bin")));
    ASSERT_TRUE(QDir().mkpath(staged + QStringLiteral("/share")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
                            staged + QStringLiteral("/bin/fluxaro")));
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"),
                                {QStringLiteral("-R"), QStringLiteral(FLUXARO_RESOURCE_DIR),
                                 staged + QStringLiteral("/share/fluxaro")}),
              0);
    QLockFile lock(QFileInfo(prefFilePathStr()).absolutePath() + QLatin1Char('/') +
                   appIdentifierStr() + QStringLiteral(".lock"));
    QDir().mkpath(QFileInfo(prefFilePathStr()).absolutePath());
    ASSERT_TRUE(lock.tryLock(0));
    auto listing = [] {
        QStringList files;
        for (const char *folder : {"/config", "/state", "/data", "/cache"}) {
            QDirIterator it(testRootStr() + QLatin1String(folder),
                            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                files << path + QLatin1Char(' ') + QString::number(QFileInfo(path).size());
            }
        }
        files.sort();
        return files;
    };
    const QStringList before = listing();
    EXPECT_TRUE(updateTryUnpackedApp(staged, freshWorkDir(QStringLiteral("real-trial"))));
    EXPECT_EQ(listing(), before);
    lock.unlock();
}

// Killed while the resources were swapped and before the program moved, the update is undone by
// the old program itself at its next start: recovery does not wait on the new copy.
TEST_F(AppUpdate, ASwapCutShortIsUndoneByTheOldProgramAtItsStart) {
    const QString program = prefix + QStringLiteral("/bin/fluxaro");
    const QString resources = prefix + QStringLiteral("/share/fluxaro");
    ASSERT_TRUE(QFile::remove(program));
    ASSERT_TRUE(QFile::link(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), program));
    ASSERT_TRUE(QDir(resources).removeRecursively());
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"),
                                {QStringLiteral("-R"), QStringLiteral(FLUXARO_RESOURCE_DIR),
                                 resources + QStringLiteral(".fluxaro-old")}),
              0);
    ASSERT_TRUE(writeBytes(resources + QStringLiteral(".fluxaro-old/which"), "old"));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("cp"),
                          {QStringLiteral("-R"), QStringLiteral(FLUXARO_RESOURCE_DIR), resources}),
        0);
    ASSERT_TRUE(writeBytes(resources + QStringLiteral("/which"), "new"));
    const QString journal = updateJournalPathStr(prefix);
    ASSERT_TRUE(writeBytes(journal, journalText("swapping", {resources, program})));

    QProcess old;
    old.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    old.start(program, {QStringLiteral("--facts")});
    ASSERT_TRUE(old.waitForFinished(60000));
    EXPECT_EQ(old.exitCode(), 0);
    EXPECT_EQ(readBytes(resources + QStringLiteral("/which")), QByteArray("old"));
    EXPECT_FALSE(QFileInfo::exists(resources + QStringLiteral(".fluxaro-old")));
    EXPECT_FALSE(QFileInfo::exists(journal));
    EXPECT_TRUE(QFileInfo(program).isSymLink());
}

// Killed after the swap (while the new copy, tried before the swap, was tried again in place),
// the update leaves the new copy in place and the old one set aside: the next start finishes
// it. A copy swapped in untried (the "swapped" journal of earlier versions) and a swap cut
// short both come undone at the next start.
TEST_F(AppUpdate, InterruptedReplacementIsFinishedOrUndoneAtTheNextStart) {
    serveRecord(QStringLiteral("9.0"), QStringLiteral("builds/Fluxaro-9.0.zip"));
    serveFile(QStringLiteral("/dlCenter/builds/Fluxaro-9.0.zip"),
              zipBytes({{"Fluxaro-9.0/bin/fluxaro", answeringProgram()},
                        {"Fluxaro-9.0/share/fluxaro/Info.plist", "new list"}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    ASSERT_EQ(iba_dl(offer, &sheet, nullptr, false).status, updateInstallStatus::AppInstalled);
    const QString journal = updateJournalPathStr(prefix);
    const QString program = prefix + QStringLiteral("/bin/fluxaro");
    const QString resources = prefix + QStringLiteral("/share/fluxaro");
    EXPECT_EQ(readBytes(journal), journalText("verified", {resources, program}));
    // The process that tried the new copy died here. Its trial run leaves things as they are.
    setenv("FLUXARO_UPDATE_TRIAL", "1", 1);
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::None);
    unsetenv("FLUXARO_UPDATE_TRIAL");
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::Finished);
    EXPECT_EQ(readBytes(program), answeringProgram());
    EXPECT_FALSE(QFileInfo::exists(program + QStringLiteral(".fluxaro-old")));
    EXPECT_FALSE(QFileInfo::exists(resources + QStringLiteral(".fluxaro-old")));
    EXPECT_FALSE(QFileInfo::exists(journal));
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::None);

    // Swapped in by an earlier version that had not tried it: the old copy comes back.
    ASSERT_TRUE(writeBytes(program + QStringLiteral(".fluxaro-old"), "old program"));
    ASSERT_TRUE(writeBytes(journal, journalText("swapped", {program})));
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::RolledBack);
    EXPECT_EQ(readBytes(program), QByteArray("old program"));
    EXPECT_FALSE(QFileInfo::exists(journal));

    // Cut short during the swap: the resources are new, the program still old (it moves last).
    ASSERT_TRUE(QDir().rename(resources, resources + QStringLiteral(".fluxaro-old")));
    ASSERT_TRUE(QDir().mkpath(resources));
    ASSERT_TRUE(writeBytes(resources + QStringLiteral("/Info.plist"), "newer list"));
    ASSERT_TRUE(writeBytes(journal, journalText("swapping", {resources, program})));
    EXPECT_EQ(updateFinishInterrupted(prefix), updateInterruptedOutcome::RolledBack);
    EXPECT_EQ(readBytes(program), QByteArray("old program"));
    EXPECT_EQ(readBytes(resources + QStringLiteral("/Info.plist")), QByteArray("new list"));
    EXPECT_FALSE(QFileInfo::exists(resources + QStringLiteral(".fluxaro-old")));
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
              zipBytes({{"Fluxaro-9.0/bin/fluxaro", answeringProgram()},
                        {"Fluxaro-9.0/share/fluxaro/Info.plist", "new list"},
                        {"Fluxaro-9.0/share/fluxaro/tools/clipdater", "tool"}}));
    const updateCheckResult offer = iba_checkForUpdates(true, &sheet);
    ASSERT_EQ(offer.status, updateCheckStatus::Offered);
    const updateInstallResult result = iba_dl(offer, &sheet, nullptr, false);
    ASSERT_EQ(result.status, updateInstallStatus::AppInstalled);
    EXPECT_EQ(readBytes(prefix + QStringLiteral("/bin/fluxaro")), answeringProgram());
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

// The program trusts the authorities of FLUXARO_UPDATE_CA_FILE alone: the test's site passes
// above; with another certificate's file, or a file with none, the same site is no site. A
// plain address is refused in words.
TEST_F(UpdateServer, CommandLineTrustsOnlyItsAuthoritiesAndHttps) {
    serveRecord(QStringLiteral("1.0"), QStringLiteral("builds/clitool.zip"));
    ASSERT_EQ(runFluxaro({QStringLiteral("--check-update")}).exitCode, 0);
    const QString folder = freshWorkDir(QStringLiteral("tls-cli"));
    const std::optional<tlsTestIdentity> other = makeTlsTestIdentity(folder);
    ASSERT_TRUE(other.has_value());
    ASSERT_TRUE(writeBytes(folder + QStringLiteral("/empty.pem"), "no certificate here\n"));
    for (const QString &authorities :
         {other->certificatePath, folder + QStringLiteral("/empty.pem")}) {
        SCOPED_TRACE(authorities.toStdString());
        setenv("FLUXARO_UPDATE_CA_FILE", authorities.toUtf8().constData(), 1);
        const cliRun run = runFluxaro({QStringLiteral("--check-update")});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.output.contains(QStringLiteral("Update check failed")))
            << run.output.toStdString();
    }

    httpTestServer plain;
    setenv("FLUXARO_UPDATE_URL", plain.baseUrl().toUtf8().constData(), 1);
    const cliRun run = runFluxaro({QStringLiteral("--check-update"), QStringLiteral("--install")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.output.contains(QStringLiteral("does not begin with https://")))
        << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QStringLiteral("refused: ") + plain.baseUrl()));
    EXPECT_TRUE(plain.requests().isEmpty());
}

} // namespace
