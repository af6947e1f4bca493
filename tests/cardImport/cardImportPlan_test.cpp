// The import's plan as a table of cases: what each archive does with each file of a card given
// what its copy holds, and the card's folder name.
#include "cardImport/cardImportPlan.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kSecond = 1000000000;

cardFile fileOf(const std::string &path, std::int64_t size, std::int64_t seconds) {
    cardFile file;
    file.path = path;
    file.size = size;
    file.mtimeNs = seconds * kSecond + 123456789; // a card's time with a fraction
    return file;
}

} // namespace

TEST(cardImportPlan, eachFileGetsTheActionWhatTheCopyHoldsCallsFor) {
    cardListing card;
    card.files = {fileOf("A.MTS", 100, 1000), fileOf("B.MTS", 200, 2000),
                  fileOf("C.MTS", 300, 3000), fileOf("D.MTS", 400, 4000),
                  fileOf("E.MTS", 500, 5000), fileOf("F.MTS", 600, 6000)};
    card.files.push_back(fileOf("link", 0, 7000));
    card.files.back().regular = false;
    archiveState copy;
    copy.lastGeneration = 2;
    // A: recorded and present as on the card: verified, the time compared to the second.
    copy.recorded["A.MTS"] = {100, 1000, 0xAA};
    copy.present["A.MTS"] = {100, 1000};
    // B: at its name but never recorded (a kill between the rename and the journal): compared.
    copy.present["B.MTS"] = {200, 2000};
    // C: recorded, but what is at the name was touched since: compared, never replaced.
    copy.recorded["C.MTS"] = {300, 3000, 0xCC};
    copy.present["C.MTS"] = {300, 3999};
    // D: recorded but gone from the copy: copied again.
    copy.recorded["D.MTS"] = {400, 4000, 0xDD};
    // E: the card's file is not the one recorded (another card of that name): compared.
    copy.recorded["E.MTS"] = {501, 5000, 0xEE};
    copy.present["E.MTS"] = {501, 5000};
    // F: nothing of it in the copy: copied.
    const cardImportPlanValue plan = cardImportPlan(card, "2024-05-18 CARD", {copy});
    ASSERT_EQ(plan.archives.size(), 1U);
    const archivePlan &archive = plan.archives[0];
    EXPECT_EQ(archive.actions,
              (std::vector<fileAction>{fileAction::verified, fileAction::compare,
                                       fileAction::compare, fileAction::copy, fileAction::compare,
                                       fileAction::copy, fileAction::skip}));
    EXPECT_EQ(archive.toCopy, 2U);
    EXPECT_EQ(archive.toCompare, 3U);
    EXPECT_EQ(archive.alreadyVerified, 1U);
    EXPECT_EQ(archive.nextGeneration, 3);
    EXPECT_EQ(plan.filesToRead, 5U);
    EXPECT_EQ(plan.bytesToRead, 200 + 300 + 400 + 500 + 600);
}

TEST(cardImportPlan, aFileOneArchiveNeedsIsReadOnceForBoth) {
    cardListing card;
    card.files = {fileOf("A.MTS", 100, 1000), fileOf("B.MTS", 200, 2000)};
    archiveState full;
    full.recorded["A.MTS"] = {100, 1000, 1};
    full.present["A.MTS"] = {100, 1000};
    full.recorded["B.MTS"] = {200, 2000, 2};
    full.present["B.MTS"] = {200, 2000};
    const cardImportPlanValue both = cardImportPlan(card, "X", {archiveState{}, full});
    EXPECT_EQ(both.archives[0].toCopy, 2U);
    EXPECT_EQ(both.archives[1].alreadyVerified, 2U);
    EXPECT_EQ(both.archives[1].nextGeneration, 1);
    EXPECT_EQ(both.filesToRead, 2U);
    EXPECT_EQ(both.bytesToRead, 300);
    const cardImportPlanValue done = cardImportPlan(card, "X", {full, full});
    EXPECT_EQ(done.filesToRead, 0U);
    EXPECT_EQ(done.bytesToRead, 0);
}

TEST(cardImportPlan, timesBefore1970RoundDownToTheirSecond) {
    EXPECT_EQ(secondsOfNs(1500000000), 1);
    EXPECT_EQ(secondsOfNs(0), 0);
    EXPECT_EQ(secondsOfNs(-1), -1);
    EXPECT_EQ(secondsOfNs(-1000000000), -1);
    EXPECT_EQ(secondsOfNs(-1000000001), -2);
}

TEST(cardFolderName, dayAndVolumeWithWhatNoFolderNameHoldsReplaced) {
    EXPECT_EQ(cardFolderName(std::string("2024-05-18"), "CANON_HF"), "2024-05-18 CANON_HF");
    EXPECT_EQ(cardFolderName(std::nullopt, "CANON_HF"), "CANON_HF");
    EXPECT_EQ(cardFolderName(std::string("2024-05-18"), ""), "2024-05-18 CARD");
    EXPECT_EQ(cardFolderName(std::string("2024-05-18"), ".."), "2024-05-18 CARD");
    EXPECT_EQ(cardFolderName(std::nullopt, "a/b\nc"), "a_b_c");
    EXPECT_EQ(cardFolderName(std::nullopt, "  EOS DIGITAL "), "EOS DIGITAL");
}
