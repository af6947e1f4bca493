// The joining of the batch's spanned recordings, applied to the batch list: spannedJoinPlan
// decides, this regroups the rows and says what it did.
#pragma once

#include "controller/batchList.h"
#include "controller/spannedJoin.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

/// Whom the joining tells: a thumbnail no row takes any more (a joined piece's), and each kept
/// row's verdict (src; every piece's path when joined, else empty; the note). Both optional.
struct spannedJoinTellers {
    std::function<void(const QString &img)> dropThumbnail;
    std::function<void(const QString &src, const QStringList &joined, const QString &note)> verdict;
};

/// Joins the waiting rows of `list` that are every piece of one recording into one row (the
/// first piece's, which takes every piece's path, bytes and the whole duration), removes the
/// other pieces' rows, and notes in the rows left apart why (a piece missing, damaged, from
/// another recording, refused by the analysis (`refused`: absolute path to reason), or
/// `joining` off).
void applySpannedJoin(batchList &list, const QMap<QString, QString> &refused, bool joining,
                      const spannedJoinTellers &tell);
