// The window's images by name ("dndSd", "puceSuccess", "btPauseHud"...): SVG files of the
// resource folder's "images" folder, drawn at the size and scale factor each use asks for, so
// they stay sharp on scaled screens. Main thread only (needs a QGuiApplication).
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

/// The image's file, "<resources>/images/<name>.svg"; the empty text when there is none.
QString imagePathStr(const QString &name);

/// The names of every image that ships, sorted.
QStringList imageNames();

/// The image as an icon drawn afresh for every size and device pixel ratio it is asked for
/// (disabled: drawn faded). A null icon when there is no image of that name.
QIcon imageNamed(const QString &name);

/// The image drawn into `logicalSize` (aspect kept, centred) at the device pixel ratio; a null
/// pixmap when there is no image of that name or the size is empty.
QPixmap imagePixmap(const QString &name, const QSize &logicalSize, qreal devicePixelRatio);

/// The size the image was drawn for (its view box), or an empty size.
QSize imageDefaultSize(const QString &name);
