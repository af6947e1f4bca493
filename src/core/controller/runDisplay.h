// The conversion's running tool as the controls show it: the pause/play/stop control, the
// progress bar, the percent field and the action text. It knows no tool and no job: the
// controller tells it what happens to the run (start, progress, pause, play, stop, end) and it
// turns that into the controls' state.
#pragma once

#include "frontApi/appControls.h"

#include <QString>

#include <cstdint>
#include <optional>

/// What a press on a segment of the run's control does, by the image the segment shows.
enum class runCommand {
    none,  ///< not one of the control's images: nothing happens
    pause, ///< "btPause": the tool pauses, the segment turns to play
    play,  ///< "btPlay": the tool goes on, the segment turns to pause
    stop,  ///< "btStop": the batch stops
};

/// A press on a segment, and the image the segment shows after it.
struct runPressValue {
    runCommand command = runCommand::none;
    QString turnsTo; ///< the segment's image after the press; empty when it stays as it is
};

/// The press on a segment showing `image`. The images are "btPause", "btPlay" and "btStop", in
/// the plain look or, with the suffix "Hud", in the dark one; pause and play keep the look.
runPressValue runPressFor(const QString &image);

/// The image of the pause/play segment when a tool starts, unpaused: a segment showing play
/// turns to pause in its look; any other image stays.
QString runStartImage(const QString &image);

/// The controls that show the running tool. A start names the controls it uses (the batch
/// view's by default); a pause keeps the action text it replaced, for play to put back.
class runDisplay {
public:
    explicit runDisplay(const appControls &controls) : c_(controls) {}

    /// A tool starts unpaused: its pause/stop control shown and enabled, the percent empty, the
    /// bar from 0 to `maximum` (left as it is without a maximum). Null controls: the defaults.
    void start(float maximum, uiProgressBar *progressBar, uiTextField *verboseField,
               uiSegmented *stopBt);
    /// The tool's position moved: the bar to `value`, the percent field to `fraction` (0 to 1).
    /// Returns the percent's text.
    QString progressed(double value, double fraction);
    /// The tool's position can't be shown: the percent field empty.
    void progressLost();
    /// The tool ended: the percent empty, the control hidden, the bar full.
    void ended();
    /// The segment pressed to pause turns to `image`; the action text says the pause.
    void pause(uiSegmented *control, int32_t segment, const QString &image);
    /// The segment pressed to play turns to `image`; the action text is put back as it was.
    void play(uiSegmented *control, int32_t segment, const QString &image);
    /// The batch stops: the action text empty, the control hidden.
    void stopShown(uiSegmented *control);
    /// Between two jobs: the batch view's bar at 0 and still, its texts empty, its control hidden.
    void reset();
    /// The batch is over: the batch view's texts empty and its control hidden; the bar stays.
    void batchOver();
    /// The pause/stop control of the running (or last) tool; null before the first start.
    uiSegmented *stopControl() const { return taskStopBt_; }

private:
    const appControls &c_;
    uiSegmented *taskStopBt_ = nullptr;
    uiProgressBar *taskProgress_ = nullptr;
    uiTextField *taskProgressPercent_ = nullptr;
    std::optional<QString> progressActionStrBeforePause_;
};
