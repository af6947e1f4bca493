// The pause/play/stop control's images: what a press on a segment does and what the segment
// shows after it, in both looks.
#include "controller/runDisplay.h"

#include <gtest/gtest.h>

#include <utility>

// Pause and play turn into each other in the look the segment has; stop and unknown images stay
// as they are. A name that only nearly matches ("btpause", the wrong case of the look) is no
// command, so a control of another kind is never taken for the run's.
TEST(runDisplay, pressTurnsTheSegmentInItsLook) {
    struct row {
        const char *image;
        runCommand command;
        const char *turnsTo;
    };
    const row table[] = {
        {"btPause", runCommand::pause, "btPlay"},
        {"btPlay", runCommand::play, "btPause"},
        {"btStop", runCommand::stop, ""},
        {"btPauseHud", runCommand::pause, "btPlayHud"},
        {"btPlayHud", runCommand::play, "btPauseHud"},
        {"btStopHud", runCommand::stop, ""},
        {"btPauseHUD", runCommand::none, ""},
        {"btpause", runCommand::none, ""},
        {"hudbtPause", runCommand::none, ""},
        {"btPauseHudHud", runCommand::none, ""},
        {"", runCommand::none, ""},
    };
    for (const row &r : table) {
        const runPressValue press = runPressFor(QString::fromUtf8(r.image));
        EXPECT_EQ(press.command, r.command) << r.image;
        EXPECT_EQ(press.turnsTo.toStdString(), r.turnsTo) << r.image;
    }
}

// A new tool starts unpaused: a segment left on play shows pause again, keeping its look; a
// segment on pause, or another image, is left alone.
TEST(runDisplay, startShowsPauseInTheSameLook) {
    const std::pair<const char *, const char *> table[] = {
        {"btPlay", "btPause"},        {"btPlayHud", "btPauseHud"},
        {"btPlayhud", "btPauseHud"},  {"btPause", "btPause"},
        {"btPauseHud", "btPauseHud"}, {"btStop", "btStop"},
        {"playBt", "playBt"},         {"", ""},
    };
    for (const auto &[image, shown] : table) {
        EXPECT_EQ(runStartImage(QString::fromUtf8(image)).toStdString(), shown) << image;
    }
}
