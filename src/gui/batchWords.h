// The window's words and pictures for what the batch does and did: the progress bar's text, the
// run control's segments, the summary at the end of a batch. Pure functions over the
// controller's typed values and the localised strings table, so the tests read them without a
// window.
#pragma once

#include "controller/appController.h"

#include <QString>

/// The progress bar's text for the batch's progress: the clip, its phase, its place
/// ("00003.MTS: encoding to ProRes 422 HQ, 2 of 6"); only the phase while no clip is worked on.
/// `out` is the clip's row's format (0 rewrap, 1 AIC, 2 ProRes), `proresTitle` the ProRes
/// variant's name. '%' is doubled: the bar reads "%p" and "%v" in its text.
QString batchProgressBarText(const batchProgressValue &value, int32_t out,
                             const QString &proresTitle);

/// The name of the run control's segment showing `image` (any look): "Pause", "Resume" while
/// paused (the segment shows play), "Stop"; empty for another image.
QString runCommandName(const QString &image);

/// The image of the run control's pause segment for the run's paused state, in the look of the
/// image it shows now (the dark look's names end in "Hud"): play while paused, else pause.
QString runToggleImage(bool paused, const QString &shown);
