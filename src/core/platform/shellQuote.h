// Quoting of paths and other texts for /bin/sh command lines.
#pragma once

#include <QString>

/// Returns the text as one shell word: wrapped in single quotes, each single quote inside closed,
/// escaped and reopened ('\''). Whatever the text holds (quotes, "$(...)", backquotes, "%",
/// blanks, line breaks), the shell passes it on unchanged and runs nothing from it.
/// The empty text gives ''.
QString shellQuote(const QString &text);
