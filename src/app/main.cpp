// fluxaro: opens the main window; `fluxaro PATH...` opens it with those sources, or hands them
// to the window that is already open and exits 0 (without sources that window comes to the
// front); without a display it says to use --batch and exits 1. With --facts it prints the
// machine facts and where the logs, the settings and the temporary folder are, and quits. With
// --batch it converts the sources given on the command line (the headless front).
// --import CARD --archive FOLDER copies a card with verified hashes and a manifest, and
// --check-archive FOLDER reads such a copy again. --check-update [--install] looks for a newer
// version (and installs it). --debug, or
// FLUXARO_DEBUG=1 in the environment, turns the debug lines of the log on from the start. --help
// and --version print their text, and a usage error its words and the synopsis (exit 2), before
// anything is started.
#include "checkUpdate.h"
#include "commandLine.h"
#include "controller/startup.h"
#include "guiFront.h"
#include "headlessFront.h"
#include "importFront.h"
#include "instanceHandover.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "update/updateInstall.h"
#include "update/updateTrust.h"
#include "verifyFront.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

// How this copy gets a newer version.
QString appUpdatesStr() {
    switch (appCopyStateOf()) {
    case appCopyState::Replaceable:
        return QStringLiteral("replaces itself");
    case appCopyState::PackageManaged:
        return QStringLiteral("from the package manager");
    case appCopyState::NotWritable:
        return QStringLiteral("not here (the folder is not writable)");
    case appCopyState::UpdatesDisabled:
        return QStringLiteral("from the package manager (self-update left out of this build)");
    }
    return {};
}

void printFacts() {
    const QString facts = QStringLiteral("logs                : %1\n"
                                         "settings            : %2\n"
                                         "temporary folder    : %3\n"
                                         "resources           : %4\n"
                                         "application updates : %5\n")
                              .arg(logFolderPathStr(), prefFilePathStr(), getTMPFOLDER(),
                                   resourcePathStr(), appUpdatesStr());
    std::fputs(facts.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// The arguments as typed, read as QCoreApplication::arguments() reads them, before the
// application exists (which one to make depends on them).
QStringList argumentsOf(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

// Whether the window has a display to open on: an X11 or Wayland session, or a Qt platform
// named in the environment or on the command line (offscreen, vnc...). Without one Qt would
// abort the program with its own message.
bool displayAvailable(const commandLine &line) {
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return line.platformGiven;
}

// A usage error: its words and the synopsis on standard error; exit 2. A name in the words is
// made safe for the terminal.
int refuseUsage(const commandLine &line) {
    std::fprintf(stderr, "fluxaro: %s\n%s", logTerminalSafe(line.faultStr.toUtf8()).constData(),
                 commandLineSynopsisStr().toUtf8().constData());
    return 2;
}

// What is answered before anything starts: the usage, the version, a usage error. Nothing for
// a line that runs a front.
std::optional<int> answerWithoutStarting(const commandLine &line) {
    switch (line.front) {
    case cliFront::help:
        std::fputs(commandLineUsageStr().toUtf8().constData(), stdout);
        return 0;
    case cliFront::version:
        std::printf("fluxaro %s\n", FLUXARO_VERSION);
        return 0;
    case cliFront::usageError:
        return refuseUsage(line);
    case cliFront::verify:
        // Two files read, nothing started: no settings, logs or lock.
        return verifyRun(line);
    case cliFront::checkArchive:
        // A copy read, nothing written: no settings, logs or lock.
        return checkArchiveRun(line);
    case cliFront::window:
    case cliFront::import:
    case cliFront::batch:
    case cliFront::checkUpdate:
    case cliFront::facts:
        break;
    }
    return std::nullopt;
}

// A refused start-up in words on the terminal (and as the window's alert); exit 1. The running
// window takes the sources of a second start, or, without any, comes to the front: exit 0.
int refuseStartup(const commandLine &line, StartupStatus status, const StartupOptions &options) {
    const bool window = line.front == cliFront::window;
    // A window busy under load, or listening again, answers late: the hand-over is tried again
    // before this copy gives up.
    if (window && status == StartupStatus::AlreadyRunning &&
        instanceHandOverRetrying(line.sources, instanceHandOverWaitsMs())) {
        return 0;
    }
    // The refusal in words, not as its key: start-up stops before it loads them (and before
    // the logs are opened, so this goes to the terminal only). Files that could not be handed
    // over are named: none is dropped without a word.
    loadTranslations(options.language);
    QString message = startupAlertMessageStr(status);
    if (window && status == StartupStatus::AlreadyRunning && !line.sources.isEmpty()) {
        message += QLatin1Char('\n') + instanceNotHandedOverStr(line.sources);
    }
    std::fprintf(stderr, "fluxaro: %s\n%s\n",
                 localizedStr(startupAlertTitleKey(status)).toUtf8().constData(),
                 message.toUtf8().constData());
    if (window) {
        guiShowStartupRefusal(status, message);
    }
    return 1;
}

// The front the line asks for, once start-up is done; its exit status.
int runFront(const commandLine &line) {
    switch (line.front) {
    case cliFront::facts:
        printFacts();
        return 0;
    case cliFront::checkUpdate:
        return checkUpdateRun(line.install ? checkUpdateMode::install : checkUpdateMode::report);
    case cliFront::batch:
        return headlessBatchRun(line.batch);
    case cliFront::import:
        return importRun(line);
    case cliFront::window:
        return guiRun(line.sources);
    case cliFront::help:
    case cliFront::version:
    case cliFront::usageError:
    case cliFront::verify:
    case cliFront::checkArchive:
        break;
    }
    return 2;
}

} // namespace

int main(int argc, char *argv[]) {
    commandLine line = commandLineParse(argumentsOf(argc, argv));
    if (const std::optional<int> answered = answerWithoutStarting(line)) {
        return *answered;
    }
    const bool window = line.front == cliFront::window;
    // The terminal modes need no display; the window does.
    if (window && !displayAvailable(line)) {
        std::fputs("fluxaro: no display: use fluxaro --batch\n", stderr);
        return 1;
    }
    // Before anything runs: a file as destination is a usage error, a missing folder is made,
    // so the batch never converts into another folder than the one asked for.
    commandLinePrepareDestination(line);
    if (line.front == cliFront::usageError) {
        return refuseUsage(line);
    }
    std::unique_ptr<QCoreApplication> app;
    if (window) {
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(appNameStr());
    if (line.debug || qEnvironmentVariable("FLUXARO_DEBUG") == QLatin1String("1")) {
        setDEBUG(true);
    }
    const bool batch = line.front == cliFront::batch || line.front == cliFront::import;
    if (batch && !line.batch.verbose) {
        // Start-up's lines belong to the log, not to the batch's terminal.
        logHoldUntilRedirect();
    }
    StartupOptions options;
    // The batch's terminal shows its verdicts, progress and results; the detailed log too only
    // when asked for (--verbose, --debug).
    options.teeToTerminal = !window && (!batch || line.batch.verbose);
    if (window) {
        setGraphicsProbe(guiGraphicsFacts);
    }
    const StartupStatus status = startupRun(options);
    if (status != StartupStatus::Ok) {
        return refuseStartup(line, status, options);
    }
    // An application update that a kill cut short is finished or undone before anything runs.
    updateFinishInterrupted();
    // The update site's certificate is checked against the authorities chosen here.
    updateTrustSetUp();
    const int exitStatus = runFront(line);
    quitCleanup();
    return exitStatus;
}
