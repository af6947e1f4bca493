// The final names of a batch's outputs: each source gets its own, even when two sources map to
// the same recording-date name.
#pragma once

#include <QDir>
#include <QSet>
#include <QString>

/// The folder of the destination that receives the outputs (and each job's working folder).
inline const QString kEventsFolder = QStringLiteral("fluxaro events");
/// The events folder of a destination folder ("DEST/fluxaro events"), for every front and step.
inline QString eventsFolderIn(const QString &destination) {
    return QDir(destination).filePath(kEventsFolder);
}

/// The final path for an output wanted at `wanted` when the paths of `taken` are given to other
/// sources of the batch already: `wanted` itself when it is free, else the first free
/// "<stem> 2.<extension>", "<stem> 3.<extension>"... in the same folder.
QString outputPathInBatch(const QString &wanted, const QSet<QString> &taken);

/// Room a final name keeps for the " 2", " 3"... forms given to a name taken already.
inline constexpr qsizetype kOutputNumberRoom = 6;

/// The base name `stem` of an output shortened so that "<stem><number room><suffix>" fits in
/// `nameMax` bytes of the file system's encoding (UTF-8): the end of the base name is cut, by
/// whole characters, and a date prefix "clip-YYYY-MM-DD hh;mm;ss-" is kept whole. The stem as
/// it is when it fits.
QString outputStemToFit(const QString &stem, const QString &suffix, qsizetype nameMax);
