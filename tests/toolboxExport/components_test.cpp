// The registry answers the searches that trakmill and the codec checks make.
#include "toolbox/components.h"

#include <gtest/gtest.h>

using namespace toolbox;

namespace {

const Component *find(const char *type, const char *subtype, const char *manufacturer,
                      std::uint32_t flags = 0, std::uint32_t mask = 0) {
    return findNextComponent(nullptr, {fourCharCode(type), fourCharCode(subtype),
                                       fourCharCode(manufacturer), flags, mask});
}

} // namespace

TEST(Components, MovieExportersAreFoundWithTheExportFilesFlag) {
    // The search trakmill makes by default, and the one of its WAVE example (-c WAVE -m soun).
    const Component *moov =
        find("spit", "MooV", "appl", kCanMovieExportFiles, kCanMovieExportFiles);
    ASSERT_NE(moov, nullptr);
    EXPECT_EQ(moov->name, "QuickTime Movie");
    const Component *wave =
        find("spit", "WAVE", "soun", kCanMovieExportFiles, kCanMovieExportFiles);
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->implementation, "wav");
    // A three-character code padded with a blank names no exporter.
    EXPECT_EQ(find("spit", "abc ", "appl", kCanMovieExportFiles, kCanMovieExportFiles), nullptr);
    // A manufacturer no exporter has.
    EXPECT_EQ(find("spit", "MooV", "xxxx"), nullptr);
}

TEST(Components, ProResCompressorsAreProfilesOfProresKs) {
    const std::pair<const char *, int> profiles[] = {
        {"apco", 0}, {"apcs", 1}, {"apcn", 2}, {"apch", 3}, {"ap4h", 4}};
    for (const auto &[code, profile] : profiles) {
        const Component *c = find("imco", code, "appl");
        ASSERT_NE(c, nullptr) << code;
        EXPECT_EQ(c->implementation, "prores_ks") << code;
        EXPECT_EQ(c->profile, profile) << code;
        EXPECT_EQ(findImageCompressor(fourCharCode(code)), c);
    }
    EXPECT_NE(find("imdc", "apch", "appl"), nullptr);
}

TEST(Components, AppleIntermediateCodecHasADecompressorOnly) {
    EXPECT_EQ(findImageCompressor(fourCharCode("icod")), nullptr);
    const Component *aic = find("imdc", "icod", "");
    ASSERT_NE(aic, nullptr);
    EXPECT_EQ(aic->description.componentManufacturer, kAppleManufacturer);
}

TEST(Components, SearchWalksEveryMatchInOrderAndHonoursTheMask) {
    const ComponentDescription all{0, 0, 0, 0, kCmpIsMissing};
    const std::size_t total = countComponents(all);
    EXPECT_EQ(total, componentRegistry().size());
    std::size_t walked = 0;
    const Component *previous = nullptr;
    for (const Component *c = findNextComponent(nullptr, all); c; c = findNextComponent(c, all)) {
        if (previous) {
            EXPECT_GT(c, previous);
        }
        previous = c;
        ++walked;
    }
    EXPECT_EQ(walked, total);
    // Only the exporters carry the export-files flag.
    const ComponentDescription exporters{0, 0, 0, kCanMovieExportFiles, kCanMovieExportFiles};
    EXPECT_EQ(countComponents(exporters), 2u);
    // Asking for the missing flag finds nothing: no component is missing.
    EXPECT_EQ(countComponents({0, 0, 0, kCmpIsMissing, kCmpIsMissing}), 0u);
    // A pointer that is no component of the registry ends the walk.
    Component stranger;
    EXPECT_EQ(findNextComponent(&stranger, all), nullptr);
}

TEST(Components, FourCharCodesAsText) {
    EXPECT_EQ(fourCharCode("apch"), 0x61706368u);
    EXPECT_EQ(fourCharCodeString(fourCharCode("abc")), "abc");
    EXPECT_EQ(fourCharCodeBytes(fourCharCode("abc")), std::string("abc\0", 4));
    EXPECT_EQ(fourCharCodeString(0), "");
}
