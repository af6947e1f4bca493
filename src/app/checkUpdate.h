// `fluxaro --check-update [--install]`: the update check of the menu item, with the terminal
// as its sheet and alerts.
#pragma once

/// What the check goes on to do with an update it is offered.
enum class checkUpdateMode {
    report,  ///< say it: 0 up to date, 1 an update is offered, 2 no network or an unreadable answer
    install, ///< --install: download and install it: 0 installed, 1 nothing offered, 2 any failure
};

/// Runs the check on the running QCoreApplication (start-up done) and returns the exit status.
int checkUpdateRun(checkUpdateMode mode);
