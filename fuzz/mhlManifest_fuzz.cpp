// A copy's manifests and the import's journal, read back from an archive disk that anyone may
// have written to: any bytes reach the generation, chain and journal readers.
#include "cardImport/importJournal.h"
#include "cardImport/mhlManifest.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString why;
    if (const auto entries = mhlReadGeneration(bytes, &why)) {
        for (const mhlEntry &entry : *entries) {
            // Every file has a path.
            if (entry.path.empty()) {
                __builtin_trap();
            }
        }
    } else if (why.isEmpty()) {
        __builtin_trap(); // a refusal always says why
    }
    if (const auto links = mhlReadChain(bytes, &why)) {
        int last = -2147483647 - 1;
        for (const mhlChainLink &link : *links) {
            // A generation is a name of the ascmhl folder, in sequence order.
            if (link.fileName.isEmpty() || link.fileName.contains(QLatin1Char('/')) ||
                link.fileName.startsWith(QLatin1Char('.')) || link.sequence < last) {
                __builtin_trap();
            }
            last = link.sequence;
        }
    }
    // Every journal line read writes back as a line that reads as the same entry.
    for (const mhlEntry &entry : importJournalRead(std::string(bytes.constData(), size))) {
        const std::vector<mhlEntry> again = importJournalRead(importJournalLine(entry));
        if (again.size() != 1 || again[0].path != entry.path || again[0].size != entry.size ||
            again[0].mtimeSeconds != entry.mtimeSeconds || again[0].xxh64 != entry.xxh64 ||
            again[0].hashSeconds != entry.hashSeconds) {
            __builtin_trap();
        }
    }
    return 0;
}
