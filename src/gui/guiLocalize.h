// Replaces the "@@key" texts of a widget tree by their translations in the "Localized" table.
#pragma once

class QWidget;

/// Labels, buttons, group boxes, line edits (text and placeholder) and the window title; the
/// number of texts replaced.
int guiLocalizeView(QWidget *view);
