#include "cardImport/importWords.h"

#include <QFile>

#include <algorithm>
#include <cstring>

QString importPathText(const std::string &path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

namespace {

QString megabytes(std::int64_t bytes) {
    return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

QString outcomeWords(const importFailure &failure) {
    if (failure.notRegular) {
        return QStringLiteral("not a regular file, not copied");
    }
    if (failure.nameNotUtf8) {
        return QStringLiteral("copied, but its name is not UTF-8 and no manifest can list it");
    }
    const QString system =
        failure.error != 0 ? QString::fromLocal8Bit(std::strerror(failure.error)) : QString();
    switch (failure.outcome) {
    case copyOutcome::verified:
        return QStringLiteral("verified");
    case copyOutcome::readFailed:
        return QStringLiteral("the card's file can't be read (%1)").arg(system);
    case copyOutcome::writeFailed:
        return QStringLiteral("the copy can't be written (%1)").arg(system);
    case copyOutcome::archiveFull:
        return QStringLiteral("the archive is full (%1)").arg(system);
    case copyOutcome::readBackDiffers:
        return QStringLiteral("the copy read back from the disk is not the card's file");
    case copyOutcome::nameTaken:
        return QStringLiteral("a different file is already in the archive under this name; "
                              "it is left as it is");
    case copyOutcome::stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

QString refusalWords(const cardImportResult &result) {
    const QString path = importPathText(result.refusalPath);
    const QString system = result.refusalError != 0
                               ? QString::fromLocal8Bit(std::strerror(result.refusalError))
                               : QString();
    switch (result.refusal) {
    case importRefusal::none:
        break;
    case importRefusal::cardUnreadable:
        return QStringLiteral("the card '%1' can't be read (%2)").arg(path, system);
    case importRefusal::archiveInsideCard:
        return QStringLiteral("the archive '%1' is on the card: nothing is written to the card")
            .arg(path);
    case importRefusal::archiveNotFolder:
        return QStringLiteral("the archive '%1' is no folder and can't be made (%2)")
            .arg(path, system);
    case importRefusal::sameArchiveTwice:
        return QStringLiteral("the archive '%1' is given twice").arg(path);
    }
    return {};
}

QString stateWords(const archiveCheckItem &item) {
    switch (item.state) {
    case archiveFileState::changed:
        return QStringLiteral("changed");
    case archiveFileState::missing:
        return QStringLiteral("missing");
    case archiveFileState::notListed:
        return QStringLiteral("not in the manifest");
    case archiveFileState::unreadable:
        return QStringLiteral("unreadable (%1)")
            .arg(QString::fromLocal8Bit(std::strerror(item.error)));
    }
    return {};
}

QString problemWords(mhlProblem problem, const QString &file) {
    switch (problem) {
    case mhlProblem::none:
        break;
    case mhlProblem::noManifest:
        return QStringLiteral("no ASC MHL manifest in the folder");
    case mhlProblem::chainUnreadable:
        return QStringLiteral("the manifests' chain file can't be read: %1").arg(file);
    case mhlProblem::generationMissing:
        return QStringLiteral("a manifest the chain lists is missing: %1").arg(file);
    case mhlProblem::generationChanged:
        return QStringLiteral("a manifest was changed since it was written: %1").arg(file);
    case mhlProblem::generationUnreadable:
        return QStringLiteral("a manifest can't be read: %1").arg(file);
    }
    return {};
}

} // namespace

QString importProgressLine(const importProgressValue &value, qint64 elapsedMs) {
    const int share =
        value.bytesTotal > 0 ? static_cast<int>(100 * value.bytesDone / value.bytesTotal) : 0;
    QString line = QStringLiteral("progress: %1 %  [%2/%3] %4")
                       .arg(share, 3)
                       .arg(value.fileNumber)
                       .arg(value.fileCount)
                       .arg(importPathText(value.path));
    if (elapsedMs > 500 && value.bytesDone > 0) {
        const double perSecond =
            static_cast<double>(value.bytesDone) * 1000.0 / static_cast<double>(elapsedMs);
        const auto left = static_cast<qint64>(
            static_cast<double>(value.bytesTotal - value.bytesDone) / perSecond);
        line += QStringLiteral("  %1 MB/s  %2:%3 left")
                    .arg(perSecond / 1e6, 0, 'f', 1)
                    .arg(left / 60)
                    .arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    return line;
}

QStringList importResultLines(const cardImportResult &result) {
    QStringList lines;
    if (result.refusal != importRefusal::none) {
        lines << QStringLiteral("import refused: %1").arg(refusalWords(result));
        lines << QStringLiteral("Not safe to format: nothing was copied");
        return lines;
    }
    for (const std::string &folder : result.unreadFolders) {
        lines
            << QStringLiteral("unread: %1 (its files are not copied)").arg(importPathText(folder));
    }
    for (const archiveImportOutcome &archive : result.archives) {
        for (const importFailure &failure : archive.failures) {
            lines << QStringLiteral("failed: %1: %2: %3")
                         .arg(importPathText(archive.archive), importPathText(failure.path),
                              outcomeWords(failure));
        }
    }
    switch (result.stop) {
    case importStop::none:
        break;
    case importStop::stopped:
        lines << QStringLiteral("stopped: the import was stopped; run it again to go on");
        break;
    case importStop::archiveFull:
        lines << QStringLiteral("stopped: the archive '%1' is full; make room and run the "
                                "import again to go on")
                     .arg(importPathText(result.stopArchive));
        break;
    case importStop::cardGone:
        lines << QStringLiteral("stopped: the card can no longer be read; put it back and run "
                                "the import again to go on");
        break;
    }
    QStringList archives;
    std::size_t missing = 0;
    for (const archiveImportOutcome &archive : result.archives) {
        archives << importPathText(archive.copyFolder);
        const std::size_t verified = archive.verified + archive.alreadyVerified;
        missing = std::max(missing, result.cardFiles - std::min(result.cardFiles, verified));
        QString line = QStringLiteral("archive: %1: %2 of %3 files verified (%4 already), %5 "
                                      "failed")
                           .arg(importPathText(archive.copyFolder))
                           .arg(verified)
                           .arg(result.cardFiles)
                           .arg(archive.alreadyVerified)
                           .arg(archive.failures.size());
        if (!archive.generationFile.isEmpty()) {
            line += QStringLiteral(", manifest ascmhl/%1").arg(archive.generationFile);
        }
        if (!archive.manifestError.isEmpty()) {
            line += QStringLiteral(", manifest not written (%1)").arg(archive.manifestError);
        }
        if (!archive.manifestSound) {
            line += QStringLiteral(", its earlier manifests fail their check");
        }
        lines << line;
    }
    if (result.safeToFormat) {
        lines << QStringLiteral("Safe to format: %1 files (%2) verified in %3 %4: %5")
                     .arg(result.cardFiles)
                     .arg(megabytes(result.cardBytes))
                     .arg(result.archives.size())
                     .arg(result.archives.size() == 1 ? QStringLiteral("archive")
                                                      : QStringLiteral("archives"))
                     .arg(archives.join(QStringLiteral(", ")));
    } else {
        lines << QStringLiteral("Not safe to format: %1 of %2 files not verified in every "
                                "archive")
                     .arg(missing == 0 && !result.unreadFolders.empty() ? 1 : missing)
                     .arg(result.cardFiles);
    }
    return lines;
}

QStringList checkArchiveLines(const QString &folder, const archiveCheckResult &result) {
    QStringList lines;
    if (result.problem != mhlProblem::none) {
        lines
            << QStringLiteral("manifest: %1").arg(problemWords(result.problem, result.problemFile));
    }
    for (const archiveCheckItem &item : result.findings) {
        lines << QStringLiteral("%1: %2").arg(stateWords(item), importPathText(item.path));
    }
    std::size_t changed = 0;
    std::size_t missing = 0;
    std::size_t unlisted = 0;
    for (const archiveCheckItem &item : result.findings) {
        changed +=
            item.state == archiveFileState::changed || item.state == archiveFileState::unreadable;
        missing += item.state == archiveFileState::missing;
        unlisted += item.state == archiveFileState::notListed;
    }
    if (result.holds()) {
        lines << QStringLiteral("intact: %1: %2 files as %3 manifest%4 lists them")
                     .arg(folder)
                     .arg(result.intact)
                     .arg(result.generations)
                     .arg(result.generations == 1 ? QString() : QStringLiteral("s"));
    } else {
        lines << QStringLiteral("not intact: %1: %2 of %3 files intact, %4 changed, %5 missing, "
                                "%6 not in the manifest")
                     .arg(folder)
                     .arg(result.intact)
                     .arg(result.listed)
                     .arg(changed)
                     .arg(missing)
                     .arg(unlisted);
    }
    return lines;
}
