// The field information of video sample descriptions: 'fiel' appended or replaced, every size
// on the way up kept true, and tables that can't be walked refused.
#include "toolbox/fieldInfo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

void u32(bytes &b, std::uint32_t v) {
    for (int shift : {24, 16, 8, 0})
        b.push_back(static_cast<std::uint8_t>(v >> shift));
}

bytes atom(const char *type, const bytes &body) {
    bytes b;
    u32(b, static_cast<std::uint32_t>(8 + body.size()));
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

/// A video sample description: the 78 bytes after size and type (colour table -1), then the
/// extension atoms.
bytes videoEntry(const char *type, const std::vector<bytes> &extensions,
                 std::uint16_t colourTable = 0xFFFF) {
    bytes body(78, 0);
    body[7] = 1; // data reference index
    body[76] = static_cast<std::uint8_t>(colourTable >> 8);
    body[77] = static_cast<std::uint8_t>(colourTable);
    for (const bytes &e : extensions)
        body.insert(body.end(), e.begin(), e.end());
    return atom(type, body);
}

bytes stsd(const std::vector<bytes> &entries) {
    bytes body;
    u32(body, 0);
    u32(body, static_cast<std::uint32_t>(entries.size()));
    for (const bytes &e : entries)
        body.insert(body.end(), e.begin(), e.end());
    return atom("stsd", body);
}

const bytes kAvcC = atom("avcC", {1, 0x64, 0, 0x29, 0xff, 0xe0, 0});
const bytes kPasp = atom("pasp", {0, 0, 0, 1, 0, 0, 0, 1});

TEST(fieldInfo, appendedAfterTheExtensionsOfEveryEntry) {
    const bytes table = stsd({videoEntry("avc1", {kAvcC, kPasp}), videoEntry("avc1", {kAvcC})});
    const bytes expected = stsd({videoEntry("avc1", {kAvcC, kPasp, atom("fiel", {1, 0})}),
                                 videoEntry("avc1", {kAvcC, atom("fiel", {1, 0})})});
    EXPECT_EQ(toolbox::stsdWithFieldInfo(table, toolbox::kFieldsProgressive, 0), expected);
}

TEST(fieldInfo, anExistingOneIsReplacedAndATerminatorStaysLast) {
    bytes entry = videoEntry("avc1", {kAvcC, atom("fiel", {2, 9}), kPasp});
    const bytes table = stsd({entry});
    const bytes expected = stsd({videoEntry("avc1", {kAvcC, kPasp, atom("fiel", {1, 0})})});
    EXPECT_EQ(toolbox::stsdWithFieldInfo(table, 1, 0), expected);

    // A list ended by a 32-bit zero keeps it at its end.
    bytes ended = videoEntry("avc1", {kAvcC});
    u32(ended, 0);
    ended[3] = static_cast<std::uint8_t>(ended.size());
    bytes endedExpected = videoEntry("avc1", {kAvcC, atom("fiel", {1, 0})});
    u32(endedExpected, 0);
    endedExpected[3] = static_cast<std::uint8_t>(endedExpected.size());
    EXPECT_EQ(toolbox::stsdWithFieldInfo(stsd({ended}), 1, 0), stsd({endedExpected}));
}

TEST(fieldInfo, tablesThatCantBeWalkedAreRefused) {
    const bytes good = stsd({videoEntry("avc1", {kAvcC})});
    bytes wrongSize = good;
    wrongSize[3] = static_cast<std::uint8_t>(wrongSize[3] + 1);
    EXPECT_TRUE(toolbox::stsdWithFieldInfo(wrongSize, 1, 0).empty());

    bytes extensionTooLong = videoEntry("avc1", {kAvcC});
    extensionTooLong[86 + 3] = 0x7f; // the avcC atom's size runs past its entry
    EXPECT_TRUE(toolbox::stsdWithFieldInfo(stsd({extensionTooLong}), 1, 0).empty());

    bytes twoCounted = good;
    twoCounted[15] = 2; // two entries announced, one present
    EXPECT_TRUE(toolbox::stsdWithFieldInfo(twoCounted, 1, 0).empty());

    EXPECT_TRUE(toolbox::stsdWithFieldInfo(stsd({videoEntry("rle ", {}, 0)}), 1, 0).empty());
    EXPECT_TRUE(toolbox::stsdWithFieldInfo(atom("stsz", bytes(8, 0)), 1, 0).empty());
    EXPECT_TRUE(toolbox::stsdWithFieldInfo(bytes{}, 1, 0).empty());
}

} // namespace
