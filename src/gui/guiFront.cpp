#include "guiFront.h"

#include "controller/desktopHooks.h"
#include "dialogs/alertDialogs.h"
#include "dialogs/autoLocalize.h"
#include "frontApi/alerts.h"
#include "instanceHandover.h"
#include "mainWindow.h"
#include "platform/log.h"
#include "settings/localisation.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

graphicsFacts guiGraphicsFacts() {
    graphicsFacts facts;
    const QString platform = QGuiApplication::platformName();
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    if (!context.create() || !surface.isValid() || !context.makeCurrent(&surface)) {
        facts.information << QStringLiteral(
                                 "no OpenGL context can be made on this display (%1): the window "
                                 "draws without graphics acceleration, converting is not slower")
                                 .arg(platform);
        return facts;
    }
    QOpenGLFunctions *gl = context.functions();
    auto text = [gl](unsigned name) {
        const auto *value = reinterpret_cast<const char *>(gl->glGetString(name));
        return value != nullptr ? QString::fromLatin1(value) : QString();
    };
    const QString renderer = text(GL_RENDERER);
    const QString version = text(GL_VERSION);
    context.doneCurrent();
    const QString lower = renderer.toLower();
    const bool software = renderer.isEmpty() || lower.contains(QLatin1String("llvmpipe")) ||
                          lower.contains(QLatin1String("softpipe")) ||
                          lower.contains(QLatin1String("swrast")) ||
                          lower.contains(QLatin1String("software"));
    facts.accelerated = !software;
    facts.information << QStringLiteral("OpenGL on %1: %2 (%3)").arg(platform, renderer, version);
    if (software) {
        facts.information << QStringLiteral(
            "the display is drawn in software: the window works, converting is not slower");
    }
    return facts;
}

void guiShowStartupRefusal(StartupStatus status, const QString &message) {
    // On a display nobody sees (offscreen) an alert would wait for a click forever: the log
    // line of the refusal is all there is.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        return;
    }
    loadTranslations();
    loadQtTranslations(localizedStr(QStringLiteral("D_Langue")));
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fluxaro"),
                    localizedStr(startupAlertTitleKey(status)), QMessageBox::Ok);
    box.setInformativeText(message.isEmpty() ? startupAlertMessageStr(status) : message);
    box.exec();
}

void guiTakeHandOver(fluxaroMainWindow &window, const QStringList &paths) {
    if (!paths.isEmpty()) {
        window.controller()->applicationOpenFiles(paths);
    }
    if (window.isMinimized()) {
        window.showNormal();
    }
    window.raise();
    window.activateWindow();
}

namespace {

// The signals reach the event loop through a pipe: a handler may only write a byte.
int sessionSignalPipe[2] = {-1, -1};

void onSessionSignal(int) {
    const char byte = 1;
    if (write(sessionSignalPipe[1], &byte, 1) < 0) {
        // Nothing can be done inside a signal handler.
    }
}

/// Watches the session's end for one window (see guiQuitOnSessionEnd).
class sessionEndWatch : public QObject {
public:
    explicit sessionEndWatch(fluxaroMainWindow &window) : window_(window) {
        if (sessionSignalPipe[0] >= 0 || pipe2(sessionSignalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
            struct sigaction action = {};
            action.sa_handler = onSessionSignal;
            sigemptyset(&action.sa_mask);
            for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
                sigaction(signal, &action, nullptr);
            }
            notifier_ =
                std::make_unique<QSocketNotifier>(sessionSignalPipe[0], QSocketNotifier::Read);
            connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
                char byte = 0;
                while (read(sessionSignalPipe[0], &byte, 1) > 0) {
                }
                window_.quitWithoutAsking(QStringLiteral("a signal ends the application"));
            });
        }
        if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            app->installEventFilter(this);
            // The session manager asks first; the windows it then closes quit without asking.
            connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) {
                logStr(QStringLiteral("session             : the session manager ends it"));
                window_.setSessionEnding();
            });
        }
    }
    ~sessionEndWatch() override {
        notifier_.reset();
        for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
            std::signal(signal, SIG_DFL);
        }
    }
    sessionEndWatch(const sessionEndWatch &) = delete;
    sessionEndWatch &operator=(const sessionEndWatch &) = delete;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        // The platform's quit request (the session manager's "die"): it would close the
        // window, whose close asks; it is answered as Quit confirmed instead.
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
            window_.quitWithoutAsking(QStringLiteral("the platform asks the application to quit"));
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    fluxaroMainWindow &window_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace

std::unique_ptr<QObject> guiQuitOnSessionEnd(fluxaroMainWindow &window) {
    return std::make_unique<sessionEndWatch>(window);
}

int guiRun(const QStringList &paths) {
    QGuiApplication::setDesktopFileName(QStringLiteral("org.fluxaro.Fluxaro"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own dialogs and buttons speak the application's language.
    loadQtTranslations(localizedStr(QStringLiteral("D_Langue")));
    fluxaroMainWindow window;
    windowAlertPresenter presenter;
    presenter.setWindow(&window);
    alertPresenter *previous = getAlertPresenter();
    setAlertPresenter(&presenter);
    window.startupWindowSteps();
    // The launcher's progress, the end-of-batch notification and the reveal of the new outputs.
    desktopServicesAttach(*window.controller());
    const std::unique_ptr<QObject> sessionEnd = guiQuitOnSessionEnd(window);
    window.show();

    instanceServer server;
    server.received = [&window](const QStringList &received) { guiTakeHandOver(window, received); };
    server.listen();

    if (!paths.isEmpty()) {
        QStringList absolute;
        for (const QString &path : paths) {
            absolute << QFileInfo(path).absoluteFilePath();
        }
        window.controller()->applicationOpenFiles(absolute);
    }
    QTimer::singleShot(0, &window, [&window] { window.applicationDidFinishLaunching(); });
    const int status = QApplication::exec();
    window.controller()->terminateRuns();
    window.controller()->whichArrayController()->clear();
    setAlertPresenter(previous);
    logStr(QStringLiteral("applicationWillTerminate:"));
    return status;
}
