// Window placement for the batch panel, the enabling rules of the rows' segment cells and the run
// control's pictures: the arithmetic a wrong sign or a swapped edge would break without anyone
// seeing it on one screen.
#include "batchSegments.h"
#include "batchWords.h"
#include "ecran.h"
#include "settings/localisation.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {
const QList<QRectF> oneScreen{QRectF(0, 0, 1440, 900)};
}

// Bottom edge: a window 100 above the bottom moves up by 320 + 50 - 100; one 500 above stays.
TEST(ecran, bottomPanelMovesTheWindowUpOnlyWhenNeeded) {
    const std::optional<QRectF> low = ecranFrame(QRectF(200, 100, 560, 360), "b", 320, oneScreen);
    ASSERT_TRUE(low);
    EXPECT_DOUBLE_EQ(low->y(), 370);
    EXPECT_DOUBLE_EQ(low->x(), 200);
    EXPECT_EQ(low->size(), QSizeF(560, 360));
    const std::optional<QRectF> high = ecranFrame(QRectF(200, 500, 560, 360), "b", 320, oneScreen);
    ASSERT_TRUE(high);
    EXPECT_EQ(*high, QRectF(200, 500, 560, 360));
}

// The other edges, in either case of the letter; the top allows for the first screen's menu bar.
TEST(ecran, everyEdge) {
    EXPECT_DOUBLE_EQ(ecranFrame(QRectF(100, 300, 400, 300), "L", 320, oneScreen)->x(), 370);
    EXPECT_DOUBLE_EQ(ecranFrame(QRectF(1000, 300, 400, 300), "r", 320, oneScreen)->x(), 670);
    EXPECT_DOUBLE_EQ(ecranFrame(QRectF(100, 500, 400, 300), "T", 320, oneScreen)->y(),
                     900 - 370 - 300 - 32);
    EXPECT_DOUBLE_EQ(ecranFrame(QRectF(100, 500, 400, 300), "t", 320, oneScreen, 0)->y(),
                     900 - 370 - 300);
    EXPECT_DOUBLE_EQ(ecranFrame(QRectF(500, 300, 400, 300), "l", 320, oneScreen)->x(), 500);
}

// Nothing without an edge, with a size of 0, or without a screen that holds the window.
TEST(ecran, nothingToPlace) {
    EXPECT_FALSE(ecranFrame(QRectF(10, 10, 100, 100), "", 320, oneScreen));
    EXPECT_FALSE(ecranFrame(QRectF(10, 10, 100, 100), "b", 0, oneScreen));
    EXPECT_FALSE(ecranFrame(QRectF(10, 10, 100, 100), "x", 320, oneScreen));
    EXPECT_FALSE(ecranFrame(QRectF(3000, 10, 100, 100), "b", 320, oneScreen));
    EXPECT_FALSE(ecranFrame(QRectF(10, 10, 100, 100), "b", 320, {}));
}

// A window across two screens goes by the screen that holds its left edge; a window whose left
// edge is off every screen goes by the screen it reaches into. The second screen is taller and
// lower, so the answer tells which one was used.
TEST(ecran, straddlingTwoScreens) {
    const QList<QRectF> two{QRectF(0, 200, 1000, 800), QRectF(1000, 0, 1200, 1200)};
    EXPECT_EQ(ecranScreenIndex(QRectF(900, 250, 400, 300), two), 0);
    EXPECT_DOUBLE_EQ(ecranFrame(QRectF(900, 250, 400, 300), "b", 320, two)->y(), 200 + 370);
    EXPECT_EQ(ecranScreenIndex(QRectF(1100, 250, 400, 300), two), 1);
    EXPECT_DOUBLE_EQ(ecranFrame(QRectF(1100, 250, 400, 300), "b", 320, two)->y(), 370);
    // Left edge left of every screen, right edge inside the first one.
    EXPECT_EQ(ecranScreenIndex(QRectF(-100, 250, 400, 300), two), 0);
}

// The y-down rectangles of the windowing system and back.
TEST(ecran, flipIsItsOwnInverse) {
    const QRectF down(10, 20, 300, 200);
    EXPECT_EQ(ecranFlip(down, 900), QRectF(10, 680, 300, 200));
    EXPECT_EQ(ecranFlip(ecranFlip(down, 900), 900), down);
}

// The cells show what the row's allowance says: 25 frames/s: neither half rate nor slow
// motion; 50 frames/s rewrapped: only half rate is off; 50 frames/s in a codec: all three;
// missing codecs show their "No" picture, disabled, with the reason kept for the tooltip.
TEST(batchSegments, enablingByRateAndCodec) {
    const auto fps = [](double rate, int32_t out, bool aic = true) {
        return batchFpsSegments(rowAllowance({out, fpsNormal, rate, aic, true}));
    };
    const batchSegmentCell slow25 = fps(25, outAic);
    EXPECT_TRUE(slow25[0].enabled);
    EXPECT_FALSE(slow25[1].enabled);
    EXPECT_EQ(slow25[1].image, "fpsHalfNo_min");
    EXPECT_EQ(slow25[1].block, batchSegmentBlock::sourceBelow31);
    EXPECT_FALSE(slow25[2].enabled);
    EXPECT_EQ(slow25[2].image, "fpsSlowNo_min");
    const batchSegmentCell rewrap50 = fps(50, outRewrap);
    EXPECT_FALSE(rewrap50[1].enabled);
    EXPECT_EQ(rewrap50[1].block, batchSegmentBlock::rewrapKeeps);
    EXPECT_TRUE(rewrap50[2].enabled);
    EXPECT_EQ(rewrap50[2].image, "fpsSlow_min");
    const batchSegmentCell codec50 = fps(50, outProres);
    EXPECT_TRUE(codec50[1].enabled);
    EXPECT_EQ(codec50[1].image, "fpsHalf_min");
    // A format without its encoder is a rewrap: no half rate in its cell either.
    EXPECT_FALSE(fps(50, outAic, false)[1].enabled);
    // The boundary: 31 frames/s counts as fast, 30.99 does not.
    EXPECT_TRUE(fps(31, outAic)[1].enabled);
    EXPECT_FALSE(fps(30.99, outAic)[2].enabled);

    const batchSegmentCell noCodec =
        batchOutSegments(rowAllowance({outRewrap, fpsNormal, 50.0, false, false}));
    EXPECT_TRUE(noCodec[0].enabled);
    EXPECT_EQ(noCodec[0].image, "iconRewrap_min");
    EXPECT_FALSE(noCodec[1].enabled);
    EXPECT_EQ(noCodec[1].image, "iconImovieNo_min");
    EXPECT_EQ(noCodec[1].block, batchSegmentBlock::noEncoder);
    EXPECT_FALSE(noCodec[2].enabled);
    EXPECT_EQ(noCodec[2].image, "iconFcpNo_min");
    const batchSegmentCell prores =
        batchOutSegments(rowAllowance({outRewrap, fpsNormal, 50.0, false, true}));
    EXPECT_FALSE(prores[1].enabled);
    EXPECT_TRUE(prores[2].enabled);
    EXPECT_EQ(prores[2].image, "iconFcp_min");
}

// The run control's pause segment: play while paused, pause otherwise, in the look it has; each
// segment is named by what it does now, in either look, and a name that only nearly matches is
// no command.
TEST(batchWords, runControlPicturesAndNames) {
    const std::tuple<bool, const char *, const char *> toggles[] = {
        {true, "btPause", "btPlay"},
        {false, "btPlay", "btPause"},
        {true, "btPauseHud", "btPlayHud"},
        {false, "btPlayHud", "btPauseHud"},
        {false, "btPause", "btPause"},
        {true, "btPlay", "btPlay"},
        {true, "", "btPlay"},
    };
    for (const auto &[paused, shown, expected] : toggles) {
        EXPECT_EQ(runToggleImage(paused, QString::fromUtf8(shown)).toStdString(), expected)
            << shown << (paused ? " paused" : " going");
    }
    EXPECT_EQ(runCommandName("btPause"), localizedStr("btPause"));
    EXPECT_EQ(runCommandName("btPauseHud"), localizedStr("btPause"));
    EXPECT_EQ(runCommandName("btPlayHud"), localizedStr("btPlay"));
    EXPECT_EQ(runCommandName("btStop"), localizedStr("btStop"));
    for (const char *other : {"btpause", "btPauseHUD", "hudbtPause", "btPauseHudHud", ""}) {
        EXPECT_TRUE(runCommandName(QString::fromUtf8(other)).isEmpty()) << other;
    }
}
