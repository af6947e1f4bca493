// fluxaro: opens the main window; `fluxaro PATH...` opens it with those sources, or hands them
// to the window that is already open and exits 0 (without sources that window comes to the
// front); without a display it says to use --batch and exits 1. With --facts it prints the
// machine facts and where the logs, the settings and the temporary folder are, and quits. With
// --batch it converts the sources given on the command line (the headless front).
// --check-update [--install] looks for a newer version (and installs it). --debug, or
// FLUXARO_DEBUG=1 in the environment, turns the debug lines of the log on from the start. --help
// and --version print their text and exit before anything is started.
#include "checkUpdate.h"
#include "controller/startup.h"
#include "guiFront.h"
#include "headlessFront.h"
#include "instanceHandover.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "update/updateInstall.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

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

// The debug switch: "--debug" among the options (before a "--" that ends them), or
// FLUXARO_DEBUG set to 1.
bool debugRequested(const QStringList &arguments) {
    if (qEnvironmentVariable("FLUXARO_DEBUG") == QLatin1String("1")) {
        return true;
    }
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("--")) {
            break;
        }
        if (arg == QLatin1String("--debug")) {
            return true;
        }
    }
    return false;
}

// True when `option` (or its short form) is among the options, before a "--" that ends them.
bool hasOption(const QStringList &arguments, const QString &option, const QString &shortForm) {
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("--")) {
            break;
        }
        if (arg == option || (!shortForm.isEmpty() && arg == shortForm)) {
            return true;
        }
    }
    return false;
}

// The same before the application exists (which one to make depends on it).
bool argvHasOption(int argc, char *argv[], std::string_view option, std::string_view shortForm) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--") {
            return false;
        }
        if (arg == option || (!shortForm.empty() && arg == shortForm)) {
            return true;
        }
    }
    return false;
}

// The sources of a window start: every argument that is not an option ("--" ends them).
QStringList windowSources(const QStringList &arguments) {
    QStringList paths;
    bool onlySources = false;
    for (const QString &arg : arguments.mid(1)) {
        if (!onlySources && arg == QLatin1String("--")) {
            onlySources = true;
        } else if (onlySources || !arg.startsWith(QLatin1String("-"))) {
            paths << arg;
        }
    }
    return paths;
}

// Whether the window has a display to open on: an X11 or Wayland session, or a Qt platform
// named in the environment or on the command line (offscreen, vnc...). Without one Qt would
// abort the program with its own message.
bool displayAvailable(int argc, char *argv[]) {
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return argvHasOption(argc, argv, "-platform", "");
}

QString usageStr() {
    return QStringLiteral(
        "usage: fluxaro [--debug] [FILE...]\n"
        "       fluxaro --batch SOURCE... [options]\n"
        "       fluxaro --check-update [--install]\n"
        "       fluxaro --facts | --help | --version\n"
        "\n"
        "Converts camcorder recordings (AVCHD and other movie files) into QuickTime\n"
        "movies named after their recording date, in the folder \"fluxaro events\" of\n"
        "the destination.\n"
        "\n"
        "  FILE...        sources (files or folders) for the window's batch\n"
        "  --batch        convert the sources without a window, then exit:\n"
        "                 0 all converted, 1 any refused, skipped or failed, 2 usage\n"
        "  --dest DIR     destination folder, made when missing (default: the\n"
        "                 settings' destination)\n"
        "  --format rewrap|aic|prores        output format\n"
        "  --mode normal|half|slow           frame-rate mode\n"
        "  --prores 4444|hq|lt|proxy         ProRes variant\n"
        "  --surround     keep multichannel sound\n"
        "  --no-join      convert the pieces of a spanned recording one by one\n"
        "  --replace, --keep                 answer for outputs that exist already\n"
        "  --verbose      with --batch: show the detailed log on the terminal too\n"
        "  --check-update look for a newer version: 0 up to date, 1 offered,\n"
        "                 2 no network or unreadable answer\n"
        "  --install      with --check-update: download and install it: 0 installed,\n"
        "                 1 nothing offered, 2 failure\n"
        "  --facts        print where logs, settings and resources are, then exit\n"
        "  --debug        write the debug lines to the log (also FLUXARO_DEBUG=1);\n"
        "                 with --batch, show the log on the terminal too\n"
        "  -h, --help     print this text and exit\n"
        "  -V, --version  print the version and exit\n"
        "\n"
        "Logs: $XDG_STATE_HOME/Fluxaro/Details.log and Resume.log. See fluxaro(1).\n");
}

} // namespace

int main(int argc, char *argv[]) {
    const bool facts = argvHasOption(argc, argv, "--facts", "");
    const bool batch = argvHasOption(argc, argv, "--batch", "");
    const bool textOnly =
        argvHasOption(argc, argv, "--help", "-h") || argvHasOption(argc, argv, "--version", "-V");
    const bool checkUpdate = argvHasOption(argc, argv, "--check-update", "");
    const bool window = !facts && !batch && !checkUpdate && !textOnly;
    // The terminal modes need no display; the window does.
    if (window && !displayAvailable(argc, argv)) {
        std::fputs("fluxaro: no display: use fluxaro --batch\n", stderr);
        return 1;
    }
    std::unique_ptr<QCoreApplication> app;
    if (window) {
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(appNameStr());
    if (hasOption(QCoreApplication::arguments(), QStringLiteral("--help"), QStringLiteral("-h"))) {
        std::fputs(usageStr().toUtf8().constData(), stdout);
        return 0;
    }
    if (hasOption(QCoreApplication::arguments(), QStringLiteral("--version"),
                  QStringLiteral("-V"))) {
        std::printf("fluxaro %s\n", FLUXARO_VERSION);
        return 0;
    }
    if (debugRequested(QCoreApplication::arguments())) {
        setDEBUG(true);
    }
    std::optional<headlessOptions> batchOptions;
    if (batch) {
        QString error;
        batchOptions = headlessParseArguments(QCoreApplication::arguments(), &error);
        if (!batchOptions) {
            std::fprintf(stderr, "fluxaro: %s\n%s\n", error.toUtf8().constData(),
                         headlessUsageStr().toUtf8().constData());
            return 2;
        }
        // Before anything runs: a file as destination is a usage error, a missing folder is
        // made, so the batch never converts into another folder than the one asked for.
        const QString refused = headlessPrepareDestination(batchOptions->destination);
        if (!refused.isEmpty()) {
            std::fprintf(stderr, "fluxaro: %s\n", logTerminalSafe(refused.toUtf8()).constData());
            return 2;
        }
    }

    if (batchOptions && !batchOptions->verbose) {
        // Start-up's lines belong to the log, not to the batch's terminal.
        logHoldUntilRedirect();
    }
    StartupOptions options;
    // The batch's terminal shows its verdicts, progress and results; the detailed log too only
    // when asked for (--verbose, --debug).
    options.teeToTerminal = facts || checkUpdate || (batchOptions && batchOptions->verbose);
    const QStringList sources =
        window ? windowSources(QCoreApplication::arguments()) : QStringList();
    if (window) {
        setGraphicsProbe(guiGraphicsFacts);
    }
    const StartupStatus status = startupRun(options);
    if (status != StartupStatus::Ok) {
        // The running window takes the sources, or, without any, comes to the front.
        if (window && status == StartupStatus::AlreadyRunning && instanceHandOver(sources)) {
            return 0;
        }
        // The refusal in words, not as its key: start-up stops before it loads them (and
        // before the logs are opened, so this goes to the terminal only).
        loadTranslations(options.language);
        std::fprintf(stderr, "fluxaro: %s\n%s\n",
                     localizedStr(startupAlertTitleKey(status)).toUtf8().constData(),
                     localizedStr(startupAlertMessageKey(status)).toUtf8().constData());
        if (window) {
            guiShowStartupRefusal(status);
        }
        return 1;
    }
    // An application update that a kill cut short is finished or undone before anything runs.
    updateFinishInterrupted();
    if (facts) {
        printFacts();
    }
    int exitStatus = 0;
    if (checkUpdate) {
        exitStatus = checkUpdateRun(QCoreApplication::arguments());
    } else if (batchOptions) {
        exitStatus = headlessBatchRun(*batchOptions);
    } else if (window) {
        exitStatus = guiRun(sources);
    }
    quitCleanup();
    return exitStatus;
}
