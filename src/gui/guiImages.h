// The application's pictures by name ("dndSd", "puceSuccess", "btPauseHud"...): SVG files of
// the resource folder's "images" folder, drawn at the screen's scale, so they stay crisp.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

/// The picture as an icon; a null icon when the resource folder has no such image.
QIcon guiIcon(const QString &name);
/// The picture drawn at `size` logical pixels for a device pixel ratio; null when missing.
QPixmap guiPixmap(const QString &name, const QSize &size, qreal devicePixelRatio);
/// The file behind a name.
QString guiImagePathStr(const QString &name);
