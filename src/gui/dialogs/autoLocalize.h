// The localisation walker: windows, views and menus are designed with "@@key" texts (Qt
// Designer forms); the walker replaces each by the key's translation in the table that
// settings/localisation.h chooses (FVAutoLocalizeSetBundle, FVAutoLocalizeSetName).
//
// Texts by widget class: a group box its title; a combo box its item texts; a tab widget its
// pages first, then its tab labels; a table its column headers; a segmented control its segment
// labels; a line edit its text and its placeholder; a label its text; any button its text.
// Other widgets have none; children are walked depth first in creation order.
//
// A push button takes the width its new title needs: the title's width in the button's font plus
// 38, at least 96 (autoLocalizeButtonWidth). In a layout that becomes its minimum width. Placed
// without a layout it is resized by its anchor, the dynamic property "anchor": "right" keeps its
// right edge and grows to the left, "left" (the default) keeps its left edge, "none" keeps its
// frame; a button that grew pushes its neighbours on the same row on that side. A widget whose
// dynamic property "tag" is 12345 keeps its frame and is never moved.
//
// Main thread only.
#pragma once

#include <QString>

class QMenu;
class QMenuBar;
class QWidget;

/// Qt's own texts (file dialogs, standard buttons, shortcut names) in the language of the
/// application's table ("D_Langue"): Qt's "qtbase" translation, from Qt's translations folder
/// (Debian: qt6-translations-l10n), replacing the one loaded before. False when there is none
/// for the language (English needs none).
bool loadQtTranslations(const QString &language);

/// The tag of widgets whose frame the walker never changes.
constexpr int autoLocalizeKeepFrameTag = 12345;

/// The width a button's title needs: text width + 38, at least 96.
int autoLocalizeButtonWidth(int textWidth);

/// The window's title when it is a key, then its content. The number of texts replaced.
int FVAutoLocalizeWindow(QWidget *window);
/// A widget and everything inside it. The number of texts replaced.
int FVAutoLocalizeView(QWidget *view);
/// A menu's title and its items, submenus first. The number of titles replaced.
int FVAutoLocalizeMenu(QMenu *menu);
/// Every menu of a menu bar. The number of titles replaced.
int FVAutoLocalizeMenuBar(QMenuBar *bar);

/// Moves the neighbours of a button placed without a layout after its width changed by
/// `change` (the growth of a right-anchored button, minus the growth of a left-anchored one):
/// the widgets of the same parent on the same row, on the side it grew towards, shift by the
/// change; one that would pass the leftmost neighbour's place is put there and narrowed instead.
void autoLocalizeMoveNeighbours(QWidget *button, int change);
