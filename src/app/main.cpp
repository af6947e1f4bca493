// fluxaro: opens the main window; `fluxaro PATH...` opens it with those sources, or hands them
// to the window that is already open and exits 0. With --facts it prints the machine facts and
// where the logs, the settings and the temporary folder are, and quits. With --batch it converts
// the sources given on the command line (the headless front). --debug, or FLUXARO_DEBUG=1 in
// the environment, turns the debug lines of the log on from the start.
#include "controller/startup.h"
#include "guiFront.h"
#include "headlessFront.h"
#include "instanceHandover.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "settings/prefs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

namespace {

void printFacts() {
    const QString facts =
        QStringLiteral("logs                : %1\n"
                       "settings            : %2\n"
                       "temporary folder    : %3\n"
                       "resources           : %4\n")
            .arg(logFolderPathStr(), prefFilePathStr(), getTMPFOLDER(), resourcePathStr());
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

// The sources of a window start: every argument that is not an option ("--" ends them).
QStringList windowSources(const QStringList &arguments) {
    QStringList paths;
    bool onlySources = false;
    for (const QString &arg : arguments.mid(1)) {
        if (!onlySources && arg == QLatin1String("--")) {
            onlySources = true;
        } else if (onlySources || !arg.startsWith(QLatin1String("--"))) {
            paths << arg;
        }
    }
    return paths;
}

bool hasOption(int argc, char *argv[], const char *option) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--") {
            return false;
        }
        if (std::string_view(argv[i]) == option) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[]) {
    const bool facts = hasOption(argc, argv, "--facts");
    const bool batch = hasOption(argc, argv, "--batch");
    const bool window = !facts && !batch;
    // The terminal modes need no display; the window does.
    std::unique_ptr<QCoreApplication> app;
    if (window) {
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(appNameStr());
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
    }

    StartupOptions options;
    options.teeToTerminal = facts || batch;
    const QStringList sources =
        window ? windowSources(QCoreApplication::arguments()) : QStringList();
    if (window) {
        setGraphicsProbe(guiGraphicsFacts);
    }
    const StartupStatus status = startupRun(options);
    if (status != StartupStatus::Ok) {
        logStr(QStringLiteral("start-up            :-( %1").arg(startupAlertTitleKey(status)));
        if (window && status == StartupStatus::AlreadyRunning && !sources.isEmpty() &&
            instanceHandOver(sources)) {
            return 0;
        }
        if (window) {
            guiShowStartupRefusal(status);
        }
        return 1;
    }
    if (facts) {
        printFacts();
    }
    int exitStatus = 0;
    if (batchOptions) {
        exitStatus = headlessBatchRun(*batchOptions);
    } else if (window) {
        exitStatus = guiRun(sources);
    }
    quitCleanup();
    return exitStatus;
}
