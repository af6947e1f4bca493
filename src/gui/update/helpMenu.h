// The help menu's other commands: the web site in the default browser, and a mail to the
// support (a bug report shows the logs folder and a message that closes itself after 180 s).
#pragma once

#include <QString>

/// Opens the product's web site; false when no address is set or the desktop refused.
bool iba_openUrl();
/// Composes the mail (bug report or contact) with the versions and hands it to the desktop's
/// mail program. `versionCaption` is the main window's version caption. When no mail program
/// takes it, an alert says so and shows the address to copy; false then.
bool iba_mail(bool bugReport, const QString &versionCaption);
