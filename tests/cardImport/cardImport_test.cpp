// The import of a real card folder into real archive folders: the copies' bytes and times, each
// hash as xxhsum gives it, the manifests as the ASC schemas define them, the check of a copy
// spoiled afterwards, an import stopped in the middle and resumed, and a full archive disk.
#include "cardImport/archiveCheck.h"
#include "cardImport/cardImport.h"
#include "cardImport/cardListing.h"
#include "importTestCard.h"

#include <sys/mount.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using importTest::filesUnder;

const char *const kFolder = "2023-06-30 CARD_A";

struct importFixture : ::testing::Test {
    avchd::TempDir temp;
    fs::path card = temp.path() / "CARD_A";
    fs::path first = temp.path() / "archive one";
    fs::path second = temp.path() / "archive two";
    void SetUp() override { importTest::makeCard(card); }

    cardImportResult run(const std::vector<fs::path> &archives,
                         const importProgressFn &progress = {}) {
        std::vector<std::string> paths;
        for (const fs::path &archive : archives) {
            paths.push_back(archive.string());
        }
        return cardImportRun(card.string(), paths, QStringLiteral("9.9"), progress);
    }
};

std::vector<fs::path> generationsIn(const fs::path &copy) {
    std::vector<fs::path> found;
    for (const auto &entry : fs::directory_iterator(copy / "ascmhl")) {
        if (entry.path().extension() == ".mhl") {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

TEST_F(importFixture, twoArchivesHoldTheCardVerifiedWithItsTimesAndAValidManifest) {
    const std::map<std::string, struct stat> before = filesUnder(card, true);
    const cardImportResult result = run({first, second});
    // The card as it was: no file added, changed or touched (access times included), taken
    // before anything else reads it.
    const std::map<std::string, struct stat> after = filesUnder(card, true);
    ASSERT_EQ(after.size(), before.size());
    for (const auto &[path, status] : before) {
        EXPECT_EQ(after.at(path).st_mtim.tv_sec, status.st_mtim.tv_sec) << path;
        EXPECT_EQ(after.at(path).st_atim.tv_sec, status.st_atim.tv_sec) << path;
        EXPECT_EQ(after.at(path).st_ino, status.st_ino) << path;
    }
    ASSERT_EQ(result.refusal, importRefusal::none);
    EXPECT_EQ(result.folderName, kFolder) << "the playlist's earliest date and the volume";
    EXPECT_TRUE(result.safeToFormat);
    EXPECT_EQ(result.stop, importStop::none);
    EXPECT_EQ(result.cardFiles, before.size());

    for (const fs::path &archive : {first, second}) {
        const fs::path copy = archive / kFolder;
        const std::map<std::string, struct stat> copied = filesUnder(copy, false);
        ASSERT_EQ(copied.size(), before.size()) << copy;
        for (const auto &[path, status] : before) {
            ASSERT_TRUE(copied.count(path)) << path << " missing in " << copy;
            const struct stat &made = copied.at(path);
            EXPECT_EQ(made.st_size, status.st_size) << path;
            EXPECT_EQ(made.st_mtim.tv_sec, status.st_mtim.tv_sec) << path;
            EXPECT_EQ(made.st_mtim.tv_nsec, status.st_mtim.tv_nsec) << path;
            EXPECT_EQ(importTest::xxhsumOf(copy / path, temp.path()),
                      importTest::xxhsumOf(card / path, temp.path()))
                << path;
        }
        // Every file the manifest lists with the hash xxhsum gives the copy.
        const std::vector<fs::path> generations = generationsIn(copy);
        ASSERT_EQ(generations.size(), 1U);
        EXPECT_EQ(generations[0].filename().string().substr(0, 23), "0001_2023-06-30 CARD_A_");
        const std::string manifest = avchd::readFile(generations[0]);
        for (const auto &[path, status] : before) {
            const std::string hash = importTest::xxhsumOf(copy / path, temp.path());
            EXPECT_NE(manifest.find(path + "</path>"), std::string::npos) << path;
            EXPECT_NE(manifest.find(">" + hash + "</xxh64>"), std::string::npos) << path;
        }
        EXPECT_EQ(importTest::schemaErrors(generations[0], "ASCMHL.xsd", temp.path()), "");
        EXPECT_EQ(importTest::schemaErrors(copy / "ascmhl" / "ascmhl_chain.xml",
                                           "ASCMHLDirectory.xsd", temp.path()),
                  "");
        EXPECT_TRUE(importTest::workingFiles(copy).empty());
        EXPECT_TRUE(checkArchive(copy.string()).holds());
    }

    // Done again: nothing read, nothing new written, still safe.
    const cardImportResult again = run({first, second});
    EXPECT_TRUE(again.safeToFormat);
    EXPECT_EQ(again.archives[0].verified, 0U);
    EXPECT_EQ(again.archives[0].alreadyVerified, before.size());
    EXPECT_TRUE(again.archives[0].generationFile.isEmpty());
    EXPECT_EQ(generationsIn(first / kFolder).size(), 1U);
}

TEST_F(importFixture, theCheckFindsAFlippedByteAMissingFileAnUnlistedOneAndAChangedManifest) {
    ASSERT_TRUE(run({first}).safeToFormat);
    const fs::path copy = first / kFolder;
    {
        // One byte of a clip in the middle, its size and time kept.
        const fs::path clip = copy / "PRIVATE/AVCHD/BDMV/STREAM/00002.MTS";
        std::fstream stream(clip, std::ios::in | std::ios::out | std::ios::binary);
        stream.seekg(4 * 1024 * 1024 + 3);
        const char was = static_cast<char>(stream.get());
        stream.seekp(4 * 1024 * 1024 + 3);
        stream.put(static_cast<char>(was ^ 0x01));
    }
    fs::remove(copy / ".hidden-index");
    avchd::writeFile(copy / "DCIM/stray.jpg", "x");
    archiveCheckResult check = checkArchive(copy.string());
    EXPECT_FALSE(check.holds());
    EXPECT_EQ(check.problem, mhlProblem::none);
    ASSERT_EQ(check.findings.size(), 3U);
    EXPECT_EQ(check.findings[0].path, ".hidden-index");
    EXPECT_EQ(check.findings[0].state, archiveFileState::missing);
    EXPECT_EQ(check.findings[1].path, "DCIM/stray.jpg");
    EXPECT_EQ(check.findings[1].state, archiveFileState::notListed);
    EXPECT_EQ(check.findings[2].path, "PRIVATE/AVCHD/BDMV/STREAM/00002.MTS");
    EXPECT_EQ(check.findings[2].state, archiveFileState::changed);
    EXPECT_EQ(check.intact, importTest::cardFiles().size() + 3 - 2);

    // The spoiled copy is never replaced by a new import: it says so, and the card is not safe.
    const cardImportResult again = run({first});
    EXPECT_FALSE(again.safeToFormat);
    ASSERT_EQ(again.archives[0].failures.size(), 1U);
    EXPECT_EQ(again.archives[0].failures[0].path, "PRIVATE/AVCHD/BDMV/STREAM/00002.MTS");
    EXPECT_EQ(again.archives[0].failures[0].outcome, copyOutcome::nameTaken);
    EXPECT_TRUE(fs::exists(copy / ".hidden-index")) << "a missing file is copied again";

    // A manifest edited by hand fails its chain's check.
    const fs::path generation = generationsIn(copy)[0];
    std::string text = avchd::readFile(generation);
    text.replace(text.find("<hostname>"), 10, "<hostname>x");
    avchd::writeFile(generation, text);
    check = checkArchive(copy.string());
    EXPECT_EQ(check.problem, mhlProblem::generationChanged);
    EXPECT_FALSE(check.holds());
}

TEST_F(importFixture, aStoppedImportResumesCopyingOnlyWhatWasMissing) {
    // Stopped once the second clip has begun (the files are read in path order).
    const cardImportResult stopped = run({first, second}, [](const importProgressValue &value) {
        return value.path.find("00002.MTS") == std::string::npos ||
               value.bytesDone < 6 * 1024 * 1024;
    });
    EXPECT_EQ(stopped.stop, importStop::stopped);
    EXPECT_FALSE(stopped.safeToFormat);
    const std::size_t done = stopped.archives[0].verified;
    EXPECT_GT(done, 0U);
    EXPECT_LT(done, stopped.cardFiles);
    for (const fs::path &archive : {first, second}) {
        EXPECT_TRUE(importTest::workingFiles(archive / kFolder).empty())
            << "no working file left, the journal gone into the first generation";
        EXPECT_FALSE(fs::exists(archive / kFolder / "PRIVATE/AVCHD/BDMV/STREAM/00002.MTS"))
            << "nothing under the final name of the file being copied";
    }
    std::size_t read = 0;
    const cardImportResult resumed = run({first, second}, [&](const importProgressValue &value) {
        read = value.fileNumber;
        return true;
    });
    EXPECT_TRUE(resumed.safeToFormat);
    EXPECT_EQ(resumed.archives[0].alreadyVerified, done);
    EXPECT_EQ(resumed.archives[0].verified + done, resumed.cardFiles);
    EXPECT_EQ(read, resumed.cardFiles - done) << "only the missing files are read again";
    for (const fs::path &archive : {first, second}) {
        const std::vector<fs::path> generations = generationsIn(archive / kFolder);
        ASSERT_EQ(generations.size(), 2U) << "the resumed import writes the next generation";
        EXPECT_EQ(generations[1].filename().string().substr(0, 5), "0002_");
        EXPECT_EQ(importTest::schemaErrors(generations[1], "ASCMHL.xsd", temp.path()), "");
        EXPECT_TRUE(checkArchive((archive / kFolder).string()).holds());
    }
}

TEST_F(importFixture, aFullArchiveDiskStopsTheImportWithNothingHalfWritten) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root (the program's test covers a "
                        "file size limit)";
    }
    const fs::path small = temp.path() / "small";
    fs::create_directories(small);
    // Room for the first clips, not for the 9 MB one.
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=6m") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    const cardImportResult result = run({small});
    EXPECT_EQ(result.stop, importStop::archiveFull);
    EXPECT_EQ(result.stopArchive, small.string());
    EXPECT_FALSE(result.safeToFormat);
    ASSERT_FALSE(result.archives[0].failures.empty());
    EXPECT_EQ(result.archives[0].failures.back().outcome, copyOutcome::archiveFull);
    const fs::path copy = small / kFolder;
    EXPECT_FALSE(fs::exists(copy / result.archives[0].failures.back().path));
    for (const std::string &working : importTest::workingFiles(copy)) {
        // The journal alone may stay, when its manifest found no room either.
        EXPECT_EQ(fs::path(working).filename(), ".fluxaro-import");
    }
    // What is under a final name is whole: the manifest's files check.
    if (!result.archives[0].generationFile.isEmpty()) {
        const archiveCheckResult check = checkArchive(copy.string());
        EXPECT_EQ(check.problem, mhlProblem::none);
        for (const archiveCheckItem &item : check.findings) {
            EXPECT_NE(item.state, archiveFileState::changed) << item.path;
        }
    }
    umount(small.c_str());
}

TEST_F(importFixture, archivesOnTheCardOrGivenTwiceAreRefusedBeforeAnythingIsWritten) {
    const std::map<std::string, struct stat> before = filesUnder(card, true);
    EXPECT_EQ(run({card / "backup"}).refusal, importRefusal::archiveInsideCard);
    EXPECT_EQ(run({card}).refusal, importRefusal::archiveInsideCard);
    EXPECT_FALSE(fs::exists(card / "backup"));
    fs::create_directories(first);
    EXPECT_EQ(run({first, temp.path() / "archive one" / "."}).refusal,
              importRefusal::sameArchiveTwice);
    avchd::writeFile(temp.path() / "a file", "x");
    EXPECT_EQ(run({temp.path() / "a file"}).refusal, importRefusal::archiveNotFolder);
    EXPECT_EQ(cardImportRun((temp.path() / "no card").string(), {first.string()}, {}, {}).refusal,
              importRefusal::cardUnreadable);
    EXPECT_EQ(filesUnder(card, true).size(), before.size());
}

TEST(cardFirstRecordingDay, withoutPlaylistsTheOldestFileTimeGivesTheDay) {
    avchd::TempDir temp;
    const fs::path card = temp.path() / "EOS_DIGITAL";
    fs::create_directories(card / "DCIM/100CANON");
    avchd::writeFile(card / "DCIM/100CANON/MVI_0001.MOV", "a");
    avchd::writeFile(card / "DCIM/100CANON/MVI_0002.MOV", "b");
    // Noon UTC: the same day in every zone a camera is used in.
    const struct timespec older[2] = {{1600000000, 0}, {1589457600, 0}}; // 2020-05-14 12:00 UTC
    const struct timespec newer[2] = {{1600000000, 0}, {1600000000, 0}};
    utimensat(AT_FDCWD, (card / "DCIM/100CANON/MVI_0002.MOV").c_str(), older, 0);
    utimensat(AT_FDCWD, (card / "DCIM/100CANON/MVI_0001.MOV").c_str(), newer, 0);
    const cardListing listing = cardListingOf(card.string());
    EXPECT_EQ(cardFirstRecordingDay(card.string(), listing), std::string("2020-05-14"));
    EXPECT_EQ(cardVolumeName(card.string()), "EOS_DIGITAL") << "a folder that is no mount point";
    EXPECT_EQ(cardFirstRecordingDay(card.string(), cardListing{}), std::nullopt);
}

TEST_F(importFixture, aNameNoManifestCanHoldIsCopiedButTheCardNotCalledSafe) {
    const std::string odd = "DCIM/bad\xff name.bin"; // a byte no UTF-8 text has
    avchd::writeFile(card / odd, "payload");
    const cardImportResult result = run({first});
    EXPECT_FALSE(result.safeToFormat);
    ASSERT_EQ(result.archives[0].failures.size(), 1U);
    EXPECT_EQ(result.archives[0].failures[0].path, odd);
    EXPECT_TRUE(result.archives[0].failures[0].nameNotUtf8);
    EXPECT_EQ(avchd::readFile(first / kFolder / odd), "payload") << "its bytes are safe anyway";
    EXPECT_EQ(
        importTest::schemaErrors(generationsIn(first / kFolder)[0], "ASCMHL.xsd", temp.path()), "");
}

TEST(cardVolumeName, aMountedCardIsNamedByItsLabelElseByItsMountPoint) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting a card image needs root";
    }
    avchd::TempDir temp;
    const fs::path point = temp.path() / "mount point";
    fs::create_directories(point);
    if (mount("tmpfs", point.c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "no file system can be mounted here";
    }
    // A tmpfs's source is "tmpfs": no device, so no label; the mount point's name stands.
    EXPECT_EQ(cardVolumeName(point.string()), "mount point");
    EXPECT_EQ(cardVolumeName((point / ".").string()), "mount point") << "the path as typed";
    umount(point.c_str());

    const fs::path image = temp.path() / "card.img";
    {
        std::ofstream sized(image, std::ios::binary);
        sized.seekp(8 * 1024 * 1024 - 1);
        sized.put('\0');
    }
    if (avchd::runProgram("/usr/sbin/mkfs.ext4", {"mkfs.ext4", "-q", image.string()}, temp.path())
                .status != 0 ||
        avchd::runProgram("/usr/bin/mount", {"mount", "-o", "loop", image.string(), point.string()},
                          temp.path())
                .status != 0) {
        GTEST_SKIP() << "no loop device here";
    }
    // The device of the mount, as /proc/self/mountinfo gives it, and a label link to it as udev
    // makes them (its space written \x20).
    std::string device;
    {
        std::ifstream mounts("/proc/self/mountinfo");
        std::string line;
        while (std::getline(mounts, line)) {
            if (line.find(" - ext4 ") != std::string::npos &&
                line.find(temp.path().string()) != std::string::npos) {
                device = line.substr(line.find(" - ext4 ") + 8);
                device = device.substr(0, device.find(' '));
            }
        }
    }
    const fs::path labels = temp.path() / "by-label";
    fs::create_directories(labels);
    fs::create_symlink(device, labels / "CANON\\x20HF");
    fs::create_symlink("/dev/null", labels / "OTHER");
    EXPECT_EQ(cardVolumeName(point.string(), labels.string()), "CANON HF") << device;
    EXPECT_EQ(cardVolumeName(point.string(), (temp.path() / "none").string()), "mount point");
    EXPECT_EQ(cardVolumeName((point / "..").string(), labels.string()),
              temp.path().filename().string())
        << "a folder above the mount point is no card's root";
    avchd::runProgram("/usr/bin/umount", {"umount", point.string()}, temp.path());
}
