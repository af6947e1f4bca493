// `fluxaro --check-update [--install]`: the update check of the menu item, with the terminal
// as its sheet and alerts.
#pragma once

#include <QStringList>

/// Runs the check on the running QCoreApplication (start-up done) and returns the exit status.
/// Without `--install`: 0 up to date, 1 an update is offered, 2 no network or an unreadable
/// answer. With it: 0 installed, 1 nothing offered, 2 any failure.
int checkUpdateRun(const QStringList &arguments);
