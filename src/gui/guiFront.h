// The graphical front: `fluxaro` and `fluxaro PATH...` open the main window on the application
// controller, with the window's alerts and panels, the hand-over of a second start's paths and
// the quit question.
#pragma once

#include "controller/startup.h"
#include "platform/utilsSys.h"

#include <QStringList>

/// What the session's display offers: whether an OpenGL context can be made for the window and
/// which renderer draws it (a software renderer is not graphics-card acceleration).
graphicsFacts guiGraphicsFacts();

/// A start-up refusal as a critical alert (translations loaded for it when needed).
void guiShowStartupRefusal(StartupStatus status);

class fluxaroMainWindow;

/// What the window does with a second start's hand-over: takes its paths as opened files (none
/// from a start without sources) and comes to the front, restored when it was minimised.
void guiTakeHandOver(fluxaroMainWindow &window, const QStringList &paths);

/// Runs the window on the running QApplication (start-up done), the paths handed to the
/// controller as opened files; returns the exit status.
int guiRun(const QStringList &paths);
