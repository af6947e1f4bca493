// `fluxaro --import CARD --archive FOLDER [--archive FOLDER2]` and `fluxaro --check-archive
// FOLDER`: the card import and the archive check in the terminal. Their lines come from the core's
// typed results only; the import's summary also goes into Resume.log.
#pragma once

#include "cardImport/archiveCheck.h"
#include "cardImport/cardImport.h"
#include "commandLine.h"

#include <QString>
#include <QStringList>

/// The import's progress line: "progress:  42 %  [12/120] PRIVATE/.../00001.MTS  85.3 MB/s
/// 1:05 left" (speed and time left once some bytes are read in elapsedMs).
QString importProgressLine(const importProgressValue &value, qint64 elapsedMs);

/// The import's result as lines for the terminal and Resume.log: the failures, one line per
/// archive and the verdict, "Safe to format: ..." or "Not safe to format: ...".
QStringList importResultLines(const cardImportResult &result);

/// The archive check's result as lines: one per finding, then "intact: ..." or "not intact: ...".
QStringList checkArchiveLines(const QString &folder, const archiveCheckResult &result);

/// Runs the import the line asks for (start-up done): 0 when the card is safe to format, 1 when
/// not (or when it could not begin). With --convert, an import that was not stopped is followed
/// by the batch on the first archive's copy; the worse of both statuses.
int importRun(const commandLine &line);

/// Runs the archive check the line asks for (nothing started): 0 intact, 1 not.
int checkArchiveRun(const commandLine &line);
