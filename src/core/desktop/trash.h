// The freedesktop trash, without a permanent delete in its place.
#pragma once

#include <QString>

enum class trashOutcome {
    trashed, ///< the item is in a trash folder now
    stays,   ///< no trash could take it (a mount without trash, no rights): nothing was deleted
    missing, ///< there was no such item
};

/// Moves the item into the trash of its mount or the user's home trash (QFile::moveToTrash).
/// When no trash can take it, the item stays where it is and the log says so: the caller asks
/// the user before deleting it any other way.
trashOutcome trashItem(const QString &path);
