// Atom containers round-trip, and hostile bytes are refused without reading out of bounds.
#include "toolbox/atomContainer.h"

#include <gtest/gtest.h>

#include <random>

using namespace toolbox;

namespace {

QTAtomContainer sample() {
    QTAtomContainer c;
    QTAtom &vide = c.root.addChild(fourCharCode("vide"));
    vide.addChild(fourCharCode("sptl"), 1, {1, 2, 3});
    vide.addChild(fourCharCode("sptl"), 2, {4});
    c.root.addChild(fourCharCode("soun")).addChild(fourCharCode("enab"), 1, {1});
    return c;
}

} // namespace

TEST(AtomContainer, RoundTripKeepsTypesIdsAndData) {
    const std::vector<std::uint8_t> bytes = serializeQTAtomContainer(sample());
    // Header 12 + root 20 + vide 20 + 23 + 21 + soun 20 + enab 21.
    ASSERT_EQ(bytes.size(), 12u + 20 + 20 + 23 + 21 + 20 + 21);
    EXPECT_EQ(readU32(bytes, 12), bytes.size() - 12);
    EXPECT_EQ(readU32(bytes, 16), fourCharCode("sean"));
    EXPECT_EQ(readU16(bytes, 12 + 14), 2u); // root child count

    std::string error;
    auto parsed = parseQTAtomContainer(bytes, &error);
    ASSERT_TRUE(parsed) << error;
    const QTAtom *vide = parsed->root.findChild(fourCharCode("vide"));
    ASSERT_NE(vide, nullptr);
    ASSERT_NE(vide->findChild(fourCharCode("sptl"), 2), nullptr);
    EXPECT_EQ(vide->findChild(fourCharCode("sptl"), 2)->data, std::vector<std::uint8_t>{4});
    EXPECT_EQ(vide->findChild(fourCharCode("sptl"))->data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(serializeQTAtomContainer(*parsed), bytes);
}

TEST(AtomContainer, RefusesEmptyTruncatedAndInconsistentBytes) {
    const std::vector<std::uint8_t> good = serializeQTAtomContainer(sample());
    EXPECT_FALSE(parseQTAtomContainer({}));
    EXPECT_FALSE(parseQTAtomContainer(std::vector<std::uint8_t>(32, 0)));
    // Every truncation fails, and so does a byte added at the end.
    for (std::size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(parseQTAtomContainer(std::span(good).first(size))) << size;
    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(parseQTAtomContainer(longer));

    // A child count larger than the children present.
    auto badCount = good;
    badCount[12 + 20 + 15] = 3; // 'vide' claims 3 children
    EXPECT_FALSE(parseQTAtomContainer(badCount));
    // A child size running past its parent.
    auto badSize = good;
    badSize[12 + 20 + 20 + 3] = 0xff;
    EXPECT_FALSE(parseQTAtomContainer(badSize));
    // A root that is not 'sean', and a locked container.
    auto badRoot = good;
    badRoot[16] = 'x';
    EXPECT_FALSE(parseQTAtomContainer(badRoot));
    auto locked = good;
    locked[11] = 1;
    EXPECT_FALSE(parseQTAtomContainer(locked));
    // A text file.
    const std::string text = "this is not an atom container, just some text\n";
    EXPECT_FALSE(parseQTAtomContainer(
        std::span(reinterpret_cast<const std::uint8_t *>(text.data()), text.size())));
}

TEST(AtomContainer, DeepNestingIsRefused) {
    QTAtomContainer c;
    QTAtom *atom = &c.root;
    for (int i = 0; i < 100; ++i)
        atom = &atom->addChild(fourCharCode("nest"));
    EXPECT_FALSE(parseQTAtomContainer(serializeQTAtomContainer(c)));
}

TEST(AtomContainer, RandomBytesNeverCrash) {
    std::mt19937 random(7);
    const std::vector<std::uint8_t> good = serializeQTAtomContainer(sample());
    for (int round = 0; round < 2000; ++round) {
        auto bytes = good;
        for (int flips = 0; flips < 3; ++flips)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        (void)parseQTAtomContainer(bytes); // must stay in bounds (ASan variant checks it)
    }
    SUCCEED();
}
