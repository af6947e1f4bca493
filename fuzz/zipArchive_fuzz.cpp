// A downloaded archive: any bytes, unpacked into a fresh destination inside a scratch folder.
// Besides sanitizer findings, anything the unpacking leaves outside the destination, and a
// refused archive that leaves files inside it, are findings.
#include "update/QuillZipArchive.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QStringList entriesUnder(const QString &folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        names << it.next();
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::abort();
    }
    const QString root = scratch.path();
    const QString archive = root + QStringLiteral("/in.zip");
    const QString destination = root + QStringLiteral("/out");
    QFile file(archive);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size)) {
        std::abort();
    }
    file.close();
    QDir(destination).removeRecursively();
    QDir().mkpath(destination);

    zipArchiveLimits limits;
    limits.maxEntries = 200;
    limits.maxTotalBytes = 8 * 1024 * 1024;
    zipArchiveError error;
    const bool unpacked =
        QuillZipArchive::unzipFileAtPath(archive, destination, true, QString(), &error, limits);

    // Only the archive and the destination may lie in the scratch folder.
    for (const QString &entry : QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                     QDir::Hidden | QDir::System)) {
        if (entry != QLatin1String("in.zip") && entry != QLatin1String("out")) {
            std::abort();
        }
    }
    // A refused archive leaves nothing in the destination, not even its staging folder.
    if (!unpacked && !entriesUnder(destination).isEmpty()) {
        std::abort();
    }
    return 0;
}
