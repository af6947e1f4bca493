// Showing items in the file manager.
#pragma once

#include <QString>
#include <QStringList>

/// Shows the item in a file-manager window with it selected; with `selected` (items inside the
/// folder `path`, such as a batch's new outputs), the folder is shown with the first of them
/// that is there selected instead: one item, so one window whatever the file manager. Asks
/// org.freedesktop.FileManager1.ShowItems on the session bus without waiting; when there is no bus
/// or nobody answers, the folder is opened with the desktop's default opener (xdg-open) and the log
/// says why. Does nothing for an empty or absent path.
void revealInFinder(const QString &path, const QStringList &selected = {});

/// The one item that ShowItems is given: the first present one of `selected` inside the
/// folder `path`, else `path` itself; as an absolute file URI. Empty for an empty or absent path.
QStringList revealItemUris(const QString &path, const QStringList &selected);
