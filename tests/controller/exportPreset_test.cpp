// Delivered rates, slow-motion re-timing and settings names.
#include "controller/exportPreset.h"

#include <gtest/gtest.h>

TEST(exportPreset, presetRatesAndDividers) {
    const struct {
        double fps;
        int32_t preset;
        int32_t divider;
    } cases[] = {{120, 120, 4}, {119.88, 120, 4}, {100, 100, 4}, {59.94, 60, 2}, {50, 50, 2},
                 {30, 30, 1},   {29.97, 30, 1},   {25, 25, 1},   {23.976, 24, 1}};
    for (const auto &c : cases) {
        const exportPreset preset = exportPresetFor(c.fps, 1080, fpsNormal);
        EXPECT_EQ(preset.presetRate, c.preset) << c.fps;
        EXPECT_EQ(preset.divider, c.divider) << c.fps;
    }
}

TEST(exportPreset, heightIsClamped) {
    EXPECT_EQ(exportPresetFor(25, 576, 0).height, 720);
    EXPECT_EQ(exportPresetFor(25, 1088, 0).height, 1080);
    EXPECT_EQ(exportPresetFor(QStringLiteral("25"), 900, 0).height, 900);
}

TEST(exportPreset, sixtyFramesPerSecond) {
    const exportPreset normal = exportPresetFor(QStringLiteral("59.94"), 1080, fpsNormal);
    EXPECT_EQ(exportDeliveredRate(normal, fpsNormal, false), 60);
    EXPECT_EQ(exportSettingsName(outAic, 1920, normal.height, 60, {}),
              QStringLiteral("aic1080p60"));
    EXPECT_FALSE(normal.retime);

    const exportPreset half = exportPresetFor(59.94, 1080, fpsHalf);
    EXPECT_EQ(exportDeliveredRate(half, fpsHalf, false), 30);

    const exportPreset slow = exportPresetFor(59.94, 1080, fpsSlow);
    EXPECT_TRUE(slow.retime);
    EXPECT_EQ(slow.retimeFromScale, 6000);
    EXPECT_EQ(slow.retimeToScale, 3000);
    EXPECT_EQ(exportDeliveredRate(slow, fpsSlow, true), 30);
}

TEST(exportPreset, hundredFramesPerSecond) {
    EXPECT_EQ(exportDeliveredRate(exportPresetFor(100, 1080, 0), fpsNormal, true), 50);
    EXPECT_EQ(exportDeliveredRate(exportPresetFor(100, 1080, 1), fpsHalf, true), 25);
    const exportPreset slow = exportPresetFor(100, 1080, fpsSlow);
    EXPECT_EQ(slow.retimeFromScale, 10000);
    EXPECT_EQ(slow.retimeToScale, 2500);
    EXPECT_EQ(exportDeliveredRate(slow, fpsSlow, true), 25);
    EXPECT_EQ(exportDeliveredRate(slow, fpsSlow, false), 50);
}

TEST(exportPreset, slowMotionBelowFiftyIsNotRetimed) {
    const exportPreset preset = exportPresetFor(25, 1080, fpsSlow);
    EXPECT_FALSE(preset.retime);
    EXPECT_EQ(exportDeliveredRate(preset, fpsSlow, false), 25);
    EXPECT_EQ(exportDeliveredRate(preset, 7, false), 25);
}

TEST(exportPreset, settingsNames) {
    EXPECT_EQ(
        exportSettingsName(outProres, 1440, 1080, 25, QStringLiteral("ProRes (imco:apch:appl)")),
        QStringLiteral("prHdv1080p25"));
    EXPECT_EQ(exportSettingsName(outProres, 1280, 720, 30, QStringLiteral("imco:apcs:appl")),
              QStringLiteral("prLt720p30"));
    EXPECT_EQ(exportSettingsName(outProres, 1920, 1080, 50, QStringLiteral("x imco:apco:appl")),
              QStringLiteral("prProxy1080p50"));
    EXPECT_EQ(exportSettingsName(outProres, 1920, 1080, 50, proresItemTitleForType("ap4h")),
              QStringLiteral("pr4x41080p50"));
    EXPECT_EQ(exportSettingsName(outProres, 1920, 1080, 50, proresItemTitleForType("")),
              QStringLiteral("pr1080p50"));
    EXPECT_FALSE(exportSettingsName(outRewrap, 1920, 1080, 50, {}));
    EXPECT_EQ(exportSettingsName(5, 1920, 720, 24, {}), QStringLiteral("720p24"));
}
