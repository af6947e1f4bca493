// The help menu's other commands: the web site in the default browser, and a mail to the
// support (a bug report shows the logs folder). Each address goes to the desktop's opener, and
// what the person is told follows what the opener answered, never the mere start of it: the
// address is always shown beside the attempt, selectable, with a button that copies it.
#pragma once

#include "desktop/desktopOpen.h"

#include <QString>

#include <functional>

class QObject;

/// What was handed to the desktop.
enum class helpOpenKind { site, mailBug, mailContact };

/// What a person is told after handing an address to the desktop: the alert's title, message
/// and whether it warns.
struct helpOpenTold {
    QString title;
    QString message;
    bool warning = false;
    bool timed = false; ///< closes by itself (the bug report's note, while the logs are attached)
};

/// The words for an attempt to open `address` (the web site or the mail's recipient).
helpOpenTold helpOpenWords(helpOpenKind kind, const QString &address,
                           const desktopOpenVerdict &verdict);

/// Opens the product's web site. When no address is set, or the desktop opened nothing, an
/// alert says so with the address to copy. `done` gets whether the site was opened.
void iba_openUrl(QObject *context, std::function<void(bool)> done = {});
/// Composes the mail (bug report or contact) with the versions and hands it to the desktop's
/// mail program. `versionCaption` is the main window's version caption. Then an alert says
/// what happened, with the recipient's address and a button that copies it; `done` gets
/// whether a mail program took the message.
void iba_mail(QObject *context, bool bugReport, const QString &versionCaption,
              std::function<void(bool)> done = {});
