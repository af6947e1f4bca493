// Hands an address (a web page, a mail to write) to the desktop's opener, xdg-open, and tells
// what became of it. Qt's own openUrl answers yes as soon as xdg-open starts, also when it then
// finds no program for the address, so a person would be told a message opens when none does.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QObject;

/// How a hand-over to the desktop ended.
enum class desktopOpenEnd {
    opened,    ///< the opener said it opened the address (or is still busy with it)
    noOpener,  ///< no opener program could be started (xdg-open missing)
    noProgram, ///< the opener found no program for the address (xdg-open's status 3)
    failed,    ///< the opener ran and failed (another status, or it crashed)
};

struct desktopOpenVerdict {
    desktopOpenEnd end = desktopOpenEnd::failed;
    int exitCode = -1; ///< the opener's exit status, -1 when it did not end by itself
};

/// The verdict of one run of the opener: not started; still running after the wait (the
/// program it started keeps it: counted as opened); ended with its status; crashed.
desktopOpenVerdict desktopOpenVerdictOf(bool started, bool finished, bool crashed, int exitCode);

/// Runs `xdg-open ADDRESS` (found on PATH) and calls `done` once, on `context`'s thread, with the
/// verdict: when the opener ends, or after `waitMs` if it is still running. Nothing waits on the
/// event loop meanwhile. `done` is not called when `context` is destroyed first.
void desktopOpenAsync(const QUrl &address, QObject *context,
                      std::function<void(desktopOpenVerdict)> done, int waitMs = 15000);
