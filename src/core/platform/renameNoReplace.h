// A rename that never replaces what is at the new name: how a finished file gets its final name
// (a converted movie, an imported card's file), so a name taken meanwhile is never lost.
#pragma once

#include <QString>

/// Moves `from` onto `to` in one step unless something is at `to` (false with errno EEXIST
/// then, and nothing moved): renameat2's RENAME_NOREPLACE, else link and unlink. On a file
/// system with neither (FAT) a look, then rename: a name taken between the two is replaced.
bool renameNoReplace(const char *from, const char *to);
bool renameNoReplace(const QString &from, const QString &to);
