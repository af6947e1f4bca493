// fluxaro: runs the start-up of the core and quits. With --facts it prints the machine facts
// and where the logs, the settings and the temporary folder are. With --batch it converts the
// sources given on the command line (the headless front). --debug, or FLUXARO_DEBUG=1 in the
// environment, turns the debug lines of the log on from the start.
#include "controller/startup.h"
#include "headlessFront.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <optional>

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

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(appNameStr());
    if (debugRequested(QCoreApplication::arguments())) {
        setDEBUG(true);
    }
    const bool facts = QCoreApplication::arguments().contains(QStringLiteral("--facts"));
    const bool batch = QCoreApplication::arguments().contains(QStringLiteral("--batch"));
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
    const StartupStatus status = startupRun(options);
    if (status != StartupStatus::Ok) {
        // The refusal in words, not as its key: start-up stops before it loads them (and
        // before the logs are opened, so this goes to the terminal only).
        loadTranslations(options.language);
        std::fprintf(stderr, "fluxaro: %s\n%s\n",
                     localizedStr(startupAlertTitleKey(status)).toUtf8().constData(),
                     localizedStr(startupAlertMessageKey(status)).toUtf8().constData());
        return 1;
    }
    if (facts) {
        printFacts();
    }
    const int exitStatus = batchOptions ? headlessBatchRun(*batchOptions) : 0;
    quitCleanup();
    return exitStatus;
}
