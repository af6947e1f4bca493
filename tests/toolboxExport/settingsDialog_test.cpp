// The terminal settings dialog of the movie exporter, driven by scripted answers.
#include "toolbox/components.h"
#include "toolbox/settingsDialog.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace toolbox;

TEST(SettingsDialog, AnswersMakeTheSettings) {
    std::istringstream in("apch\n1280x720 letterbox\n29.97\npcm24\n");
    std::ostringstream out;
    auto s = runExportSettingsDialog(in, out, MovieExportSettings{}, true);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->codecType, fourCharCode("apch"));
    EXPECT_EQ(s->width, 1280u);
    EXPECT_EQ(s->height, 720u);
    EXPECT_EQ(s->fit, FrameFit::Letterbox);
    EXPECT_NEAR(fixedToFrameRate(s->frameRate), 29.97, 0.001);
    EXPECT_TRUE(s->soundEnabled);
    EXPECT_EQ(s->sampleBits, 24);
    EXPECT_EQ(s->sampleRate, 48000u);
    EXPECT_NE(out.str().find("(apch)"), std::string::npos);
}

TEST(SettingsDialog, EmptyAnswersKeepTheDefaultsAndBadOnesAreAskedAgain) {
    MovieExportSettings initial;
    initial.codecType = fourCharCode("apcs");
    // Bad codec, odd size, zero rate, then 24-bit sound that needs high resolution audio.
    std::istringstream in("zzzz\n\n641x480\n\n0\n\npcm24\nnone\n");
    std::ostringstream out;
    auto s = runExportSettingsDialog(in, out, initial, false);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->codecType, fourCharCode("apcs"));
    EXPECT_EQ(s->width, 0u);
    EXPECT_EQ(s->frameRate, 0);
    EXPECT_FALSE(s->soundEnabled);
    EXPECT_NE(out.str().find("Unknown codec"), std::string::npos);
}

TEST(SettingsDialog, QuitOrEndOfInputCancels) {
    std::ostringstream out;
    std::istringstream quit("1\nq\n");
    EXPECT_FALSE(runExportSettingsDialog(quit, out, MovieExportSettings{}, false));
    std::istringstream ended("1\n1920x1080\n");
    EXPECT_FALSE(runExportSettingsDialog(ended, out, MovieExportSettings{}, false));
}
