// The 'MooV' exporter's settings survive a file round trip and bad settings are refused.
#include "toolbox/atomContainer.h"
#include "toolbox/exportSettings.h"

#include <gtest/gtest.h>

using namespace toolbox;

namespace {

MovieExportSettings proresHq1080p25() {
    MovieExportSettings s;
    s.codecType = fourCharCode("apch");
    s.width = 1920;
    s.height = 1080;
    s.frameRate = frameRateToFixed(25);
    s.soundFormat = fourCharCode("twos");
    s.sampleRate = 48000;
    s.sampleBits = 16;
    s.channels = 2;
    return s;
}

std::vector<std::uint8_t> withVideoAtom(const char *type, std::vector<std::uint8_t> data) {
    QTAtomContainer c;
    QTAtom &vide = c.root.addChild(fourCharCode("vide"));
    std::vector<std::uint8_t> sptl;
    appendU32(sptl, fourCharCode("apch"));
    appendU32(sptl, 0);
    appendU16(sptl, 24);
    appendU32(sptl, kCodecNormalQuality);
    vide.addChild(fourCharCode("sptl"), 1, sptl);
    if (type)
        vide.addChild(fourCharCode(type), 1, std::move(data));
    return serializeQTAtomContainer(c);
}

} // namespace

TEST(ExportSettings, RoundTrip) {
    MovieExportSettings letterbox = proresHq1080p25();
    letterbox.codecType = fourCharCode("apcs");
    letterbox.width = 1280;
    letterbox.height = 720;
    letterbox.fit = FrameFit::Letterbox;
    letterbox.frameRate = frameRateToFixed(30000.0 / 1001);
    letterbox.soundEnabled = false;
    for (const MovieExportSettings &s : {proresHq1080p25(), letterbox, MovieExportSettings{}}) {
        const auto bytes = movieExportSettingsToAtomContainer(s);
        std::string error;
        auto back = movieExportSettingsFromAtomContainer(bytes, &error);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(*back, s);
    }
    EXPECT_NEAR(fixedToFrameRate(letterbox.frameRate), 29.97, 0.001);
}

TEST(ExportSettings, LayoutOfTheStandardAtoms) {
    const auto bytes = movieExportSettingsToAtomContainer(proresHq1080p25());
    auto c = parseQTAtomContainer(bytes);
    ASSERT_TRUE(c);
    const QTAtom *vide = c->root.findChild(fourCharCode("vide"));
    ASSERT_NE(vide, nullptr);
    const QTAtom *sptl = vide->findChild(fourCharCode("sptl"));
    ASSERT_NE(sptl, nullptr);
    ASSERT_EQ(sptl->data.size(), 14u);
    EXPECT_EQ(readU32(sptl->data, 0), fourCharCode("apch"));
    EXPECT_EQ(readU16(sptl->data, 8), 24u);
    const QTAtom *tprl = vide->findChild(fourCharCode("tprl"));
    ASSERT_NE(tprl, nullptr);
    EXPECT_EQ(readU32(tprl->data, 4), 25u << 16);
    const QTAtom *sfmt = c->root.findChild(fourCharCode("soun"))->findChild(fourCharCode("sfmt"));
    ASSERT_NE(sfmt, nullptr);
    EXPECT_EQ(readU32(sfmt->data, 4), 48000u);
}

TEST(ExportSettings, PaddedSpatialSettingsAreRead) {
    // The 16-byte form: two padding bytes after the depth.
    QTAtomContainer c;
    std::vector<std::uint8_t> sptl;
    appendU32(sptl, fourCharCode("apcn"));
    appendU32(sptl, 0);
    appendU16(sptl, 24);
    appendU16(sptl, 0);
    appendU32(sptl, kCodecMaxQuality);
    c.root.addChild(fourCharCode("vide")).addChild(fourCharCode("sptl"), 1, sptl);
    auto s = movieExportSettingsFromAtomContainer(serializeQTAtomContainer(c));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->codecType, fourCharCode("apcn"));
    EXPECT_EQ(s->spatialQuality, kCodecMaxQuality);
    EXPECT_FALSE(s->soundEnabled); // no 'soun' atom
}

TEST(ExportSettings, MalformedSettingsAreRefused) {
    EXPECT_FALSE(movieExportSettingsFromAtomContainer({}));
    // A container without 'vide' or 'soun'.
    EXPECT_FALSE(movieExportSettingsFromAtomContainer(serializeQTAtomContainer({})));
    // 'vide' without 'sptl'.
    QTAtomContainer noSptl;
    noSptl.root.addChild(fourCharCode("vide"))
        .addChild(fourCharCode("tprl"), 1, std::vector<std::uint8_t>(12));
    EXPECT_FALSE(movieExportSettingsFromAtomContainer(serializeQTAtomContainer(noSptl)));
    // Atoms of the wrong size, odd or one-sided frame sizes, an unknown fit.
    EXPECT_FALSE(movieExportSettingsFromAtomContainer(withVideoAtom("tprl", {1, 2, 3})));
    EXPECT_FALSE(movieExportSettingsFromAtomContainer(withVideoAtom("drat", {0})));
    auto size = [](std::uint32_t w, std::uint32_t h, std::uint32_t fit) {
        std::vector<std::uint8_t> d;
        appendU32(d, w);
        appendU32(d, h);
        appendU32(d, fit);
        return withVideoAtom("fsiz", d);
    };
    EXPECT_TRUE(movieExportSettingsFromAtomContainer(size(1280, 720, 1)));
    EXPECT_FALSE(movieExportSettingsFromAtomContainer(size(1281, 720, 0)));
    EXPECT_FALSE(movieExportSettingsFromAtomContainer(size(1280, 0, 0)));
    EXPECT_FALSE(movieExportSettingsFromAtomContainer(size(1280, 720, 7)));
    EXPECT_FALSE(movieExportSettingsFromAtomContainer(size(100000, 720, 0)));
    // Unknown atoms are ignored.
    EXPECT_TRUE(movieExportSettingsFromAtomContainer(withVideoAtom("zzzz", {1, 2})));
}
