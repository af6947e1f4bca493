// The update sheet (the offer in words, release notes, stop during a download) and the help
// window (toggle, subtitle of the language, placed on its screen, what it says when the media
// back end cannot play the movie), offscreen, against a local HTTPS server whose throwaway
// certificate only these tests trust.
#include "frontApi/alerts.h"
#include "helpMenu.h"
#include "helpWindow.h"
#include "httpTestServer.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "settings/localisation.h"
#include "testEnv.h"
#include "update/supportMail.h"
#include "update/updateRecord.h"
#include "updateWidgets.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

class silentPresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &plan) override {
        titles.append(plan.title);
        plans.append(plan);
        return {};
    }
    QStringList titles;
    QList<alertPlan> plans;
};

// Answers each alert with the given button and keeps its plan.
class answeringPresenter : public alertPresenter {
public:
    explicit answeringPresenter(int32_t button) : button_(button) {}
    alertOutcome present(const alertPlan &plan) override {
        plans.append(plan);
        return {button_, false};
    }
    QList<alertPlan> plans;

private:
    int32_t button_;
};

// A folder on PATH holding an xdg-open of the test's own: a shell script that notes its
// argument and ends with the given status. Without a status, the folder holds no xdg-open.
class fakeOpener {
public:
    explicit fakeOpener(std::optional<int> status) {
        const QString script = dir_.path() + QStringLiteral("/xdg-open");
        if (status) {
            QFile file(script);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                           .arg(noted(), QString::number(*status))
                           .toUtf8());
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        oldPath_ = qgetenv("PATH");
        // Only the folder and the shell's own: the machine's xdg-open is not found.
        qputenv("PATH", (dir_.path() + QStringLiteral(":/bin:/usr/bin")).toUtf8());
        if (!status) {
            qputenv("PATH", dir_.path().toUtf8());
        }
    }
    ~fakeOpener() { qputenv("PATH", oldPath_); }
    QString noted() const { return dir_.path() + QStringLiteral("/noted"); }
    QString argument() const {
        QFile file(noted());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QTemporaryDir dir_;
    QByteArray oldPath_;
};

// Runs `start` and turns the event loop until its `done` is called (at most 20 s).
std::optional<bool> runUntilDone(const std::function<void(std::function<void(bool)>)> &start) {
    std::optional<bool> result;
    start([&result](bool opened) { result = opened; });
    QElapsedTimer clock;
    clock.start();
    while (!result && clock.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return result;
}

// "Contact": with no opener on PATH, with one that finds no mail program (xdg-open's status 3)
// and with one that opens the message, the alert says what happened, always with the address
// to write to and a button that copies it.
TEST(HelpMenu, ContactSaysWhatTheDesktopDidWithTheAddress) {
    loadTranslations(QStringLiteral("en"));
    QObject context;
    const QString address =
        supportMailContactLocalPartStr() + QLatin1Char('@') + supportMailDomainStr();
    struct attempt {
        std::optional<int> status;
        bool opened;
        QString title;
        QString why;
    };
    const QList<attempt> attempts{
        {std::nullopt, false, QStringLiteral("No mail program could be opened"),
         QStringLiteral("xdg-open is missing")},
        {3, false, QStringLiteral("No mail program could be opened"),
         QStringLiteral("The desktop knows no program for it.")},
        {4, false, QStringLiteral("No mail program could be opened"),
         QStringLiteral("xdg-open ended with status 4")},
        {0, true, QStringLiteral("Contact"), QStringLiteral("If no message opens, write to")},
    };
    for (const attempt &a : attempts) {
        const std::string label = a.status ? std::to_string(*a.status) : "no opener";
        fakeOpener opener(a.status);
        answeringPresenter presenter(1);
        setAlertPresenter(&presenter);
        const std::optional<bool> opened = runUntilDone([&](std::function<void(bool)> done) {
            iba_mail(&context, false, QStringLiteral("version"), done);
        });
        setAlertPresenter(nullptr);
        ASSERT_TRUE(opened.has_value()) << label;
        EXPECT_EQ(*opened, a.opened) << label;
        ASSERT_EQ(presenter.plans.size(), 1) << label;
        const alertPlan &plan = presenter.plans.first();
        EXPECT_EQ(plan.title, a.title) << label;
        EXPECT_TRUE(plan.message.contains(address)) << label << " " << plan.message.toStdString();
        EXPECT_TRUE(plan.message.contains(a.why)) << label << " " << plan.message.toStdString();
        EXPECT_EQ(plan.warning, !a.opened) << label;
        ASSERT_EQ(plan.buttons.size(), 2) << label;
        EXPECT_EQ(plan.buttons.at(1), QStringLiteral("Copy the address")) << label;
        EXPECT_EQ(QGuiApplication::clipboard()->text(), address) << label;
        QGuiApplication::clipboard()->clear();
        if (a.status) {
            EXPECT_TRUE(opener.argument().startsWith(QStringLiteral("mailto:") + address))
                << label << " " << opener.argument().toStdString();
        }
    }
}

// The web site that no browser opens is said, with its address.
TEST(HelpMenu, SiteThatNothingOpensIsSaid) {
    loadTranslations(QStringLiteral("en"));
    QObject context;
    fakeOpener opener(3);
    answeringPresenter presenter(0);
    setAlertPresenter(&presenter);
    const std::optional<bool> opened =
        runUntilDone([&](std::function<void(bool)> done) { iba_openUrl(&context, done); });
    setAlertPresenter(nullptr);
    ASSERT_TRUE(opened.has_value());
    EXPECT_FALSE(*opened);
    ASSERT_EQ(presenter.plans.size(), 1);
    EXPECT_EQ(presenter.plans.first().title, QStringLiteral("The web site could not be opened"));
    EXPECT_TRUE(presenter.plans.first().message.contains(updateWebSiteUrlStr()));
    EXPECT_EQ(opener.argument(), QUrl(updateWebSiteUrlStr()).toString(QUrl::FullyEncoded));
}

TEST(UpdateSheet, ShowsTheNotesAndStopsADownload) {
    loadTranslations(QStringLiteral("en"));
    const std::optional<tlsTestIdentity> identity =
        makeTlsTestIdentity(freshWorkDir(QStringLiteral("gui-tls")));
    ASSERT_TRUE(identity.has_value());
    const tlsTrustGuard trust({identity->certificate});
    httpTestServer server(*identity);
    setenv("FLUXARO_UPDATE_URL", server.baseUrl().toUtf8().constData(), 1);
    setTMPFOLDER(freshWorkDir(QStringLiteral("gui-tmp")) + QLatin1Char('/'));
    silentPresenter presenter;
    setAlertPresenter(&presenter);
    httpRoute route;
    route.body = "ok";
    server.setRoute(QStringLiteral("/fluxaro/isConnected.htm"), route);
    route.body = "<key>version</key><value>9</value><key>systemVersionMin</key><value>0</value>"
                 "<key>dlPath</key><value>builds/slowtool.zip</value>";
    server.setRoute(QStringLiteral("/dlCenter/update.php"), route);
    route.body =
        "<html><body><h1>What is new</h1><script>document.write('x')</script></body></html>";
    server.setRoute(QStringLiteral("/dlCenter/update.php?s=fluxaro&l=en&h"), route);
    httpRoute slow;
    slow.body = QByteArray(400000, 'z');
    slow.bytesPerTick = 2000;
    server.setRoute(QStringLiteral("/dlCenter/builds/slowtool.zip"), slow);

    QMainWindow window;
    window.show();
    updateSheetDialog sheet(&window);
    sheet.checkForUpdates(true);
    ASSERT_TRUE(spinUntil([&] { return !sheet.isChecking(); }, 5000));
    ASSERT_TRUE(sheet.isVisible());
    // The offer in words, with the running version beside it.
    EXPECT_EQ(sheet.offeredLabel()->text(),
              QStringLiteral("Version 9 is available, you have %1.")
                  .arg(infoPlistStr(QStringLiteral("CFBundleShortVersionString"))));
    EXPECT_EQ(sheet.stopBt()->text(), QStringLiteral("Stop"));
    ASSERT_TRUE(
        spinUntil([&] { return sheet.notesView()->toPlainText().contains("What is new"); }, 5000));

    auto *stop = sheet.findChildren<QPushButton *>().at(0);
    auto *bar = sheet.findChild<QProgressBar *>();
    int determinateValue = -1;
    // The stop button is clicked while the download runs: the window kept handling events.
    QTimer::singleShot(500, [&] {
        determinateValue = bar->maximum() > 0 ? bar->value() : -1;
        EXPECT_TRUE(stop->isVisible());
        stop->click();
    });
    const QList<QPushButton *> buttons = sheet.findChildren<QPushButton *>();
    buttons.last()->click(); // download
    EXPECT_GT(determinateValue, 0);
    EXPECT_LT(determinateValue, 1000);
    // A download the user stopped is reported as stopped, not as a failure; the sheet stays
    // with its offer so the user may download after all.
    EXPECT_TRUE(presenter.titles.isEmpty()) << presenter.titles.join(", ").toStdString();
    EXPECT_TRUE(sheet.isVisible());
    bool saysCancelled = false;
    for (const QLabel *label : sheet.findChildren<QLabel *>()) {
        saysCancelled =
            saysCancelled || label->text() == QStringLiteral("The download was cancelled.");
    }
    EXPECT_TRUE(saysCancelled);
    EXPECT_TRUE(buttons.last()->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(getTMPFOLDER() + QStringLiteral("dl")));
    sheet.close();
    setAlertPresenter(nullptr);
    unsetenv("FLUXARO_UPDATE_URL");
}

// An update site that takes the connection and never answers: the menu command returns at
// once, a click on the window is answered while the site is asked, and the check gives up on
// its own after its deadline, saying that the site did not answer in time.
TEST(UpdateSheet, AHangingSiteNeverFreezesTheWindow) {
    loadTranslations(QStringLiteral("en"));
    const std::optional<tlsTestIdentity> identity =
        makeTlsTestIdentity(freshWorkDir(QStringLiteral("gui-tls")));
    ASSERT_TRUE(identity.has_value());
    const tlsTrustGuard trust({identity->certificate});
    httpTestServer server(*identity);
    setenv("FLUXARO_UPDATE_URL", server.baseUrl().toUtf8().constData(), 1);
    silentPresenter presenter;
    setAlertPresenter(&presenter);
    httpRoute hanging;
    hanging.body = "ok";
    hanging.stallAfter = 0;
    server.setRoute(QStringLiteral("/fluxaro/isConnected.htm"), hanging);

    QMainWindow window;
    auto *other = new QPushButton(QStringLiteral("Other"), &window);
    window.setCentralWidget(other);
    window.show();
    updateSheetDialog sheet(&window);
    webFetchLimits limits;
    limits.deadlineMs = 1500;
    sheet.setFetchLimits(limits);
    std::optional<updateCheckResult> checked;
    sheet.onChecked = [&](const updateCheckResult &result) { checked = result; };
    // The window is told the check runs (it says so) and when it ended.
    QList<bool> checking;
    sheet.onCheckingChanged = [&](bool now) { checking << now; };

    QElapsedTimer clock;
    clock.start();
    qint64 commandTook = -1;
    // The menu command, run from the window's event loop as a click on it is.
    QTimer::singleShot(0, [&] {
        QElapsedTimer command;
        command.start();
        sheet.checkForUpdates(true);
        commandTook = command.elapsed();
    });
    qint64 clickAnswered = -1;
    qint64 clickPosted = -1;
    QObject::connect(other, &QPushButton::clicked, [&] {
        clickAnswered = clock.elapsed() - clickPosted;
        EXPECT_TRUE(sheet.isChecking());
    });
    QTimer::singleShot(400, [&] {
        clickPosted = clock.elapsed();
        const QPointF at(other->rect().center());
        QCoreApplication::postEvent(other, new QMouseEvent(QEvent::MouseButtonPress, at,
                                                           other->mapToGlobal(at), Qt::LeftButton,
                                                           Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(other, new QMouseEvent(QEvent::MouseButtonRelease, at,
                                                           other->mapToGlobal(at), Qt::LeftButton,
                                                           Qt::NoButton, Qt::NoModifier));
    });
    ASSERT_TRUE(spinUntil([&] { return checked.has_value(); }, 8000));
    EXPECT_GE(commandTook, 0);
    EXPECT_LT(commandTook, 200);
    EXPECT_GE(clickAnswered, 0);
    EXPECT_LT(clickAnswered, 200);
    // It ended on its own, near its deadline.
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(sheet.isChecking());
    EXPECT_EQ(checking, (QList<bool>{true, false}));
    EXPECT_EQ(checked->status, updateCheckStatus::NoNetwork);
    EXPECT_EQ(checked->fetchOutcome, webFetchOutcome::TimedOut);
    ASSERT_EQ(presenter.plans.size(), 1);
    EXPECT_EQ(presenter.plans.first().title, QStringLiteral("Update check failed"));
    EXPECT_TRUE(presenter.plans.first().message.contains(
        QStringLiteral("The update site did not answer within 2 s.")))
        << presenter.plans.first().message.toStdString();
    EXPECT_FALSE(sheet.isVisible());
    setAlertPresenter(nullptr);
    unsetenv("FLUXARO_UPDATE_URL");
}

// A build with no update site says so, asks nobody, and in French too.
TEST(UpdateSheet, ABuildWithNoUpdateSiteSaysSo) {
    unsetenv("FLUXARO_UPDATE_URL");
    if (!updateBaseUrlStr().isEmpty()) {
        GTEST_SKIP() << "this build has an update site";
    }
    silentPresenter presenter;
    setAlertPresenter(&presenter);
    QMainWindow window;
    updateSheetDialog sheet(&window);
    std::optional<updateCheckResult> checked;
    sheet.onChecked = [&](const updateCheckResult &result) { checked = result; };
    loadTranslations(QStringLiteral("en"));
    sheet.checkForUpdates(true);
    ASSERT_TRUE(checked.has_value());
    EXPECT_EQ(checked->status, updateCheckStatus::NoSite);
    ASSERT_EQ(presenter.plans.size(), 1);
    EXPECT_TRUE(
        presenter.plans.first().message.contains(QStringLiteral("has no update site configured")))
        << presenter.plans.first().message.toStdString();
    EXPECT_FALSE(presenter.plans.first().message.contains(QStringLiteral("network")));
    loadTranslations(QStringLiteral("fr"));
    sheet.checkForUpdates(true);
    ASSERT_EQ(presenter.plans.size(), 2);
    EXPECT_TRUE(presenter.plans.last().message.contains(
        QStringLiteral("aucun site de mise à jour configuré")))
        << presenter.plans.last().message.toStdString();
    loadTranslations(QStringLiteral("en"));
    setAlertPresenter(nullptr);
}

TEST(HelpWindow, ToggledByTheHelpCommandWithTheSubtitleOfTheLanguage) {
    for (const char *language : {"en", "fr"}) {
        SCOPED_TRACE(language);
        loadTranslations(QString::fromLatin1(language));
        helpWindow help;
        help.iba_menuHelp();
        EXPECT_TRUE(help.isVisible());
        EXPECT_TRUE(help.caption().endsWith(localizedStr(QStringLiteral("menuHelp"))));
        if (help.player() == nullptr ||
            !spinUntil([&] { return help.player()->subtitleTracks().size() >= 2; }, 5000)) {
            help.iba_menuHelp();
            GTEST_SKIP() << "the media back end reports no subtitle tracks here";
        }
        const int wanted = QLatin1String(language) == QLatin1String("fr") ? 1 : 0;
        spinUntil([&] { return help.activeSubtitleTrack() == wanted; }, 3000);
        EXPECT_EQ(help.activeSubtitleTrack(), wanted);
        help.iba_menuHelp();
        EXPECT_FALSE(help.isVisible());
        EXPECT_NE(help.player()->playbackState(), QMediaPlayer::PlayingState);
    }
    loadTranslations(QStringLiteral("en"));
}

// Escape closes the help window, as its close button and the Help command do.
TEST(HelpWindow, EscapeClosesIt) {
    helpWindow help;
    help.iba_menuHelp();
    ASSERT_TRUE(help.isVisible());
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&help, &other);
    EXPECT_TRUE(help.isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&help, &escape);
    EXPECT_FALSE(help.isVisible());
}

// The help movie's pictures are H.264: playable only when the back end decodes it.
TEST(HelpWindow, MovieVerdictFromTheBackEndsDecoders) {
    using codec = QMediaFormat::VideoCodec;
    EXPECT_EQ(helpMovieVerdictOf({}), helpMovieVerdict::NoVideoDecoder);
    EXPECT_EQ(helpMovieVerdictOf({codec::VP9, codec::H265, codec::MPEG4}),
              helpMovieVerdict::NoVideoDecoder);
    EXPECT_EQ(helpMovieVerdictOf({codec::VP9, codec::H264}), helpMovieVerdict::Playable);
}

// Without GStreamer's plugins the Help command crashed the program, and without an H.264
// decoder the window stayed black: the window now says it cannot play the movie. With every
// plugin the movie's pictures reach the window. Each case runs the probe in a process of its own
// with GStreamer's plugin folders and registry in its environment.
TEST(HelpWindow, SaysItCannotPlayWithoutTheMediaPlugins) {
    QTemporaryDir dir;
    const QString none = dir.path() + QStringLiteral("/none");
    const QString noLibav = dir.path() + QStringLiteral("/nolibav");
    ASSERT_TRUE(QDir().mkpath(none) && QDir().mkpath(noLibav));
    int linked = 0;
    for (const QFileInfo &plugin :
         QDir(QStringLiteral(FLUXARO_GST_PLUGIN_DIR)).entryInfoList({QStringLiteral("*.so")})) {
        if (plugin.fileName() != QLatin1String("libgstlibav.so")) {
            linked += QFile::link(plugin.filePath(), noLibav + QLatin1Char('/') + plugin.fileName())
                          ? 1
                          : 0;
        }
    }
    ASSERT_GT(linked, 10) << "GStreamer's plugins are missing (gstreamer1.0-plugins-good)";
    loadTranslations(QStringLiteral("en"));
    const QString notice =
        QStringLiteral("notice: ") + localizedStr(QStringLiteral("helpMovieUnplayable"));
    struct probeCase {
        const char *name;
        QString plugins; // empty: the system's
        bool playable;
    };
    for (const probeCase &c :
         {probeCase{"no plugin", none, false}, probeCase{"no H.264 decoder", noLibav, false},
          probeCase{"every plugin", QString(), true}}) {
        SCOPED_TRACE(c.name);
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FLUXARO_RESOURCE_DIR"), QStringLiteral(FLUXARO_RESOURCE_DIR));
        if (!c.plugins.isEmpty()) {
            env.insert(QStringLiteral("GST_PLUGIN_SYSTEM_PATH_1_0"), c.plugins);
            env.insert(QStringLiteral("GST_PLUGIN_PATH_1_0"), none);
            env.insert(QStringLiteral("GST_REGISTRY_1_0"),
                       dir.path() + QStringLiteral("/%1.bin").arg(QLatin1String(c.name)));
        }
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral(FLUXARO_HELP_PROBE), QStringList());
        ASSERT_TRUE(probe.waitForFinished(90000));
        const QString out = QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
        const QString err = QString::fromUtf8(probe.readAllStandardError()).right(2000);
        ASSERT_EQ(probe.exitStatus(), QProcess::NormalExit) << err.toStdString();
        EXPECT_EQ(probe.exitCode(), 0) << err.toStdString();
        if (c.playable) {
            EXPECT_TRUE(out.startsWith(QStringLiteral("frame: "))) << out.toStdString();
        } else {
            EXPECT_EQ(out, notice) << err.toStdString();
        }
    }
}

} // namespace

// The sheet's notice is shown as written: "&" and "<" as they are, not as "&amp;" or a tag.
TEST(UpdateSheet, NoticeShowsItsCharactersAsTheyAre) {
    loadTranslations(QStringLiteral("en"));
    QMainWindow window;
    updateSheetDialog sheet(&window);
    const QString notice = QStringLiteral("Fixes & speed-ups for <small> screens");
    sheet.show(QStringLiteral("https://example.invalid/f.zip"), QString(), notice);
    const QList<QLabel *> labels = sheet.findChildren<QLabel *>();
    const auto shown = std::find_if(labels.cbegin(), labels.cend(), [](const QLabel *label) {
        return label->isVisibleTo(label->window()) && label->text().contains("Fixes");
    });
    ASSERT_NE(shown, labels.cend());
    const QLabel *label = *shown;
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    const QString seen =
        rich ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : label->text();
    EXPECT_EQ(seen, notice);
    sheet.close();
}
