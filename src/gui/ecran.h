// Where the main window goes so that a panel attached to one of its edges stays on its screen.
// Pure arithmetic over rectangles in the desktop's "y up" convention (x, y is the bottom-left
// corner, y grows upwards, the first screen's bottom-left is 0, 0); ecranFlip converts the
// y-down rectangles of the windowing system.
#pragma once

#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

/// The window's new frame (same size) for a panel of `size` on `edge` ("l", "b", "r", "t", in
/// any case), among `screens` in the system's order (the first one holds the menu bar, which
/// takes `menuBarHeight` off its top). Nothing without an edge, with a size of 0, or when no
/// screen holds the window. The frame is unchanged when the panel fits already.
std::optional<QRectF> ecranFrame(const QRectF &window, const QString &edge, double size,
                                 const QList<QRectF> &screens, double menuBarHeight = 32);

/// The screen that holds the window: the first whose horizontal extent strictly contains the
/// window's left edge and whose top lies above the window's top; failing that, the first whose
/// left edge lies strictly between the window's left and right edges and whose right edge lies
/// right of the window's right edge. -1 when none does.
int ecranScreenIndex(const QRectF &window, const QList<QRectF> &screens);

/// A y-down rectangle (Qt's desktop coordinates) in the y-up convention and back: the flip is
/// about the first screen's height, so both conventions share the first screen's left edge.
QRectF ecranFlip(const QRectF &rect, double firstScreenHeight);
