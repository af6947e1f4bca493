// The conversion's running tool as the controls show it: whether the pause/play/stop control is
// shown, the progress bar, the percent field and the action text. It knows no tool and no job:
// the controller tells it what happens to the run (start, progress, pause, play, stop, end) and
// it turns that into the controls' state. The control's pictures are the front's, drawn from the
// paused state the controller tells (hooks.conversionPaused).
#pragma once

#include "frontApi/appControls.h"

#include <QString>

#include <cstdint>
#include <optional>

/// The controls that show the running tool; a pause keeps the action text it replaced, for play
/// to put back.
class runDisplay {
public:
    explicit runDisplay(const appControls &controls) : c_(controls) {}

    /// A tool starts unpaused: its pause/stop control shown and enabled, the percent empty, the
    /// bar from 0 to `maximum` (left as it is without a maximum).
    void start(float maximum);
    /// The tool's position moved: the bar to `value`, the percent field to `fraction` (0 to 1).
    /// Returns the percent's text.
    QString progressed(double value, double fraction);
    /// The tool's position can't be shown: the percent field empty.
    void progressLost();
    /// The tool ended: the percent empty, the control hidden, the bar full.
    void ended();
    /// The action text says the pause.
    void pause();
    /// The action text is put back as it was before the pause.
    void play();
    /// The batch stops: the action text empty, the control hidden.
    void stopShown();
    /// Between two jobs: the batch view's bar at 0 and still, its texts empty, its control hidden.
    void reset();
    /// The batch is over: the batch view's texts empty and its control hidden; the bar stays.
    void batchOver();
    /// The pause/stop control may be used (false while a drop's sources are analysed).
    void setStopEnabled(bool enabled);

private:
    const appControls &c_;
    std::optional<QString> progressActionStrBeforePause_;
};
