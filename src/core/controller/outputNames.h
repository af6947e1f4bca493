// The final names of a batch's outputs: each source gets its own, even when two sources map to
// the same recording-date name.
#pragma once

#include <QSet>
#include <QString>

/// The final path for an output wanted at `wanted` when the paths of `taken` are given to other
/// sources of the batch already: `wanted` itself when it is free, else the first free
/// "<stem> 2.<extension>", "<stem> 3.<extension>"... in the same folder.
QString outputPathInBatch(const QString &wanted, const QSet<QString> &taken);
