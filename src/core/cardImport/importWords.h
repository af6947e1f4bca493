// The card import's results in words (untranslated, as the logs hold them): the progress line,
// the failures, each archive's counts and the verdict "Safe to format" / "Not safe to format",
// and the archive check's findings. Pure functions of the typed results, shared by the terminal
// and the window.
#pragma once

#include "cardImport/archiveCheck.h"
#include "cardImport/cardImport.h"

#include <QString>
#include <QStringList>

/// A path of the card or a copy as text.
QString importPathText(const std::string &path);

/// The import's progress line: "progress:  42 %  [12/120] PRIVATE/.../00001.MTS  85.3 MB/s
/// 1:05 left" (speed and time left once some bytes are read in elapsedMs).
QString importProgressLine(const importProgressValue &value, qint64 elapsedMs);

/// The import's result as lines for the terminal and Resume.log: the failures, one line per
/// archive and the verdict, "Safe to format: ..." or "Not safe to format: ..." last.
QStringList importResultLines(const cardImportResult &result);

/// The archive check's result as lines: one per finding, then "intact: ..." or "not intact: ...".
QStringList checkArchiveLines(const QString &folder, const archiveCheckResult &result);
