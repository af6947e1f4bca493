#include "importFront.h"

#include "cardImport/importWords.h"
#include "headlessFront.h"
#include "platform/log.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <optional>
#include <vector>

namespace {

std::atomic<bool> gStopAsked{false};

void onStopSignal(int /*signal*/) {
    gStopAsked = true;
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

/// SIGINT, SIGTERM and SIGHUP stop the import between two blocks (its working files deleted)
/// until destroyed; a signal the run was started to ignore (nohup) stays ignored. SIGXFSZ is
/// ignored, so a file size limit is a write error said as a full archive, not a killed program.
class stopSignals {
public:
    stopSignals() {
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : kStopSignals) {
            struct sigaction before = {};
            if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) {
                continue;
            }
            sigaction(signal, &action, nullptr);
            routed_.push_back(signal);
        }
        std::signal(SIGXFSZ, SIG_IGN);
    }
    ~stopSignals() {
        for (const int signal : routed_) {
            std::signal(signal, SIG_DFL);
        }
    }
    stopSignals(const stopSignals &) = delete;
    stopSignals &operator=(const stopSignals &) = delete;

private:
    std::vector<int> routed_;
};

} // namespace

int importRun(const commandLine &line) {
    std::optional<stopSignals> signals;
    signals.emplace();
    gStopAsked = false;
    const bool inPlace = logTerminalIsTty();
    QElapsedTimer clock;
    clock.start();
    int lastTenth = -1;
    QByteArray shown;
    const auto say = [&](const QString &text) {
        const QByteArray safe = logTerminalSafe(text.toUtf8());
        if (inPlace && !shown.isEmpty()) {
            logTerminalWrite(QByteArrayLiteral("\r\x1b[K"));
            shown.clear();
        }
        logTerminalWrite(safe + '\n', QString::fromUtf8(safe));
    };
    qint64 lastDrawMs = -1000;
    const importProgressFn progress = [&](const importProgressValue &value) {
        if (gStopAsked) {
            return false;
        }
        const int tenth =
            value.bytesTotal > 0 ? static_cast<int>(10 * value.bytesDone / value.bytesTotal) : 0;
        const qint64 now = clock.elapsed();
        if (inPlace && now - lastDrawMs >= 250) {
            lastDrawMs = now;
            shown = logTerminalSafe(importProgressLine(value, now).toUtf8());
            logTerminalWrite(QByteArrayLiteral("\r") + shown + QByteArrayLiteral("\x1b[K"));
        } else if (!inPlace && tenth != lastTenth) {
            lastTenth = tenth;
            say(importProgressLine(value, now));
        }
        return true;
    };
    std::vector<std::string> archives;
    for (const QString &archive : line.cardImport.archives) {
        archives.push_back(QFile::encodeName(archive).toStdString());
    }
    say(QStringLiteral("import: %1 into %2")
            .arg(line.cardImport.card, line.cardImport.archives.join(QStringLiteral(", "))));
    const cardImportResult result =
        cardImportRun(QFile::encodeName(line.cardImport.card).toStdString(), archives,
                      QStringLiteral(FLUXARO_VERSION), progress);
    if (inPlace && !shown.isEmpty()) {
        logTerminalWrite(QByteArrayLiteral("\n"));
    }
    const QStringList lines = importResultLines(result);
    QString block = QStringLiteral("\ncard import         : %1\n").arg(line.cardImport.card);
    if (!result.folderName.empty()) {
        block +=
            QStringLiteral("card folder         : %1\n").arg(importPathText(result.folderName));
    }
    for (const QString &text : lines) {
        say(text);
        block += QStringLiteral("                    : %1\n").arg(text);
    }
    logResume(block);
    const int status = result.safeToFormat ? 0 : 1;
    if (!line.cardImport.convert || result.refusal != importRefusal::none ||
        result.stop != importStop::none || result.archives.empty()) {
        return status;
    }
    // The batch reads the verified copy, with the card's playlists beside its clips: the card
    // can go. Only verified files are under their final names there.
    signals.reset(); // the batch routes the signals its own way
    headlessOptions options = line.batch;
    options.sources = {importPathText(result.archives.front().copyFolder)};
    say(QStringLiteral("convert: %1").arg(options.sources.first()));
    const int converted = headlessBatchRun(options);
    return std::max(status, converted);
}

int checkArchiveRun(const commandLine &line) {
    const QString folder = line.cardImport.archives.value(0);
    const archiveCheckResult result = checkArchive(QFile::encodeName(folder).toStdString());
    for (const QString &text : checkArchiveLines(folder, result)) {
        std::fprintf(stdout, "%s\n", logTerminalSafe(text.toUtf8()).constData());
    }
    std::fflush(stdout);
    return result.holds() ? 0 : 1;
}
