// The graphical front: `fluxaro` and `fluxaro PATH...` open the main window on the application
// controller, with the window's alerts and panels, the hand-over of a second start's paths and
// the quit question.
#pragma once

#include "controller/startup.h"
#include "platform/utilsSys.h"

#include <QStringList>

#include <memory>

class QObject;
class fluxaroMainWindow;

/// What the session's display offers: whether an OpenGL context can be made for the window and
/// which renderer draws it (a software renderer is not graphics-card acceleration).
graphicsFacts guiGraphicsFacts();

/// A start-up refusal as a critical alert (translations loaded for it when needed).
void guiShowStartupRefusal(StartupStatus status, const QString &message = QString());

class fluxaroMainWindow;

/// What the window does with a second start's hand-over: takes its paths as opened files (none
/// from a start without sources) and comes to the front, restored when it was minimised.
void guiTakeHandOver(fluxaroMainWindow &window, const QStringList &paths);

/// Runs the window on the running QApplication (start-up done), the paths handed to the
/// controller as opened files; returns the exit status.
int guiRun(const QStringList &paths);

/// The end of the session reaches the window: SIGTERM, SIGHUP and SIGINT (a logout, a shutdown,
/// `kill`), the application's quit request from the platform (the session manager's "die") and
/// the session manager's request to commit data. Each quits like Quit confirmed, without a
/// question nobody would answer, so the running job's partial and intermediate files go and
/// quitting cleans up. Lasts as long as the object it returns.
std::unique_ptr<QObject> guiQuitOnSessionEnd(fluxaroMainWindow &window);
