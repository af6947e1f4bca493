// The fluxaro program's import and check as a person runs them: killed in the middle and run
// again, a card whose file fails its reads (the failingReads library preloaded), a file size
// limit that leaves no room, and the exit statuses, terminal lines and Resume.log they leave.
#include "importTestCard.h"

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(FLUXARO_BIN_DIR) + "/fluxaro";
const char *const kFolder = "2023-06-30 CARD_B";

struct programFixture : ::testing::Test {
    avchd::TempDir temp;
    fs::path card = temp.path() / "CARD_B";
    fs::path archive = temp.path() / "archive";
    fs::path state = temp.path() / "state";

    void SetUp() override {
        importTest::makeCard(card);
        // The program's settings, logs and lock in the test's own folder.
        for (const char *name :
             {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            setenv(name, (state / name).c_str(), 1);
        }
    }
    avchd::RunResult import(const std::vector<std::string> &extraEnv = {},
                            const std::vector<std::string> &before = {}) {
        std::vector<std::string> argv = before;
        argv.insert(argv.end(),
                    {kProgram, "--import", card.string(), "--archive", archive.string()});
        return avchd::runProgram(before.empty() ? kProgram : before[0], argv, temp.path(),
                                 extraEnv);
    }
    std::string resumeLog() const {
        return avchd::readFile(state / "XDG_STATE_HOME" / "Fluxaro" / "Resume.log");
    }
};

bool hasLineStarting(const std::string &text, const std::string &start) {
    return text.rfind(start, 0) == 0 || text.find("\n" + start) != std::string::npos;
}

std::size_t lineCount(const fs::path &file) {
    const std::string text = avchd::readFile(file);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST_F(programFixture, aSafeImportSaysSoExitsZeroAndTheCheckFindsAFlippedByte) {
    const avchd::RunResult run = import();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(hasLineStarting(run.out, "Safe to format: 9 files")) << run.out;
    EXPECT_NE(resumeLog().find("Safe to format: 9 files"), std::string::npos) << resumeLog();
    EXPECT_NE(resumeLog().find("card folder         : 2023-06-30 CARD_B"), std::string::npos);

    const fs::path copy = archive / kFolder;
    avchd::RunResult check =
        avchd::runProgram(kProgram, {kProgram, "--check-archive", copy.string()}, temp.path());
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_TRUE(hasLineStarting(check.out, "intact: ")) << check.out;
    {
        std::fstream clip(copy / "PRIVATE/AVCHD/BDMV/STREAM/00001.MTS",
                          std::ios::in | std::ios::out | std::ios::binary);
        clip.seekp(1000);
        clip.put('\x5a');
    }
    check = avchd::runProgram(kProgram, {kProgram, "--check-archive", copy.string()}, temp.path());
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(hasLineStarting(check.out, "changed: PRIVATE/AVCHD/BDMV/STREAM/00001.MTS"))
        << check.out;
    EXPECT_TRUE(hasLineStarting(check.out, "not intact: ")) << check.out;
}

TEST_F(programFixture, anImportKilledInTheMiddleResumesWithoutCopyingTheVerifiedFilesAgain) {
    // Enough files that the kill lands while they are copied: each is flushed to the disk.
    for (int i = 0; i < 60; ++i) {
        avchd::writeFile(card / "DCIM" / ("CLIP" + std::to_string(100 + i) + ".MOV"),
                         std::string(512 * 1024, static_cast<char>(i)));
    }
    std::vector<char *> args;
    std::vector<std::string> argv = {kProgram, "--import", card.string(), "--archive",
                                     archive.string()};
    for (std::string &arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(kProgram.c_str(), args.data());
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    const fs::path journal = archive / kFolder / ".fluxaro-import";
    for (int i = 0; i < 30000 && lineCount(journal) < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the import ended before it could be killed";
    const std::size_t verified = lineCount(journal);
    ASSERT_GE(verified, 5U);
    const std::size_t total = importTest::filesUnder(card, true).size();
    ASSERT_LT(verified, total);
    EXPECT_FALSE(fs::exists(archive / kFolder / "ascmhl")) << "no manifest yet";

    const avchd::RunResult resumed = import();
    ASSERT_EQ(resumed.status, 0) << resumed.out << resumed.err;
    EXPECT_TRUE(hasLineStarting(resumed.out, "Safe to format: " + std::to_string(total)))
        << resumed.out;
    // Every file the journal held counts as verified already: it was not read again.
    EXPECT_NE(resumed.out.find("(" + std::to_string(verified) + " already)"), std::string::npos)
        << resumed.out;
    EXPECT_TRUE(importTest::workingFiles(archive / kFolder).empty())
        << "the killed run's working file and the journal are gone";
    EXPECT_EQ(avchd::runProgram(kProgram,
                                {kProgram, "--check-archive", (archive / kFolder).string()},
                                temp.path())
                  .status,
              0);
}

TEST_F(programFixture, aCardFileThatFailsItsReadsIsReportedAndTheCardNeverSafe) {
    const fs::path failing = fs::canonical(card / "PRIVATE/AVCHD/BDMV/STREAM/00002.MTS");
    const avchd::RunResult run = import(
        {std::string("LD_PRELOAD=") + FAILING_READS_LIB, "FAILING_READ_PATH=" + failing.string(),
         "FAILING_READ_OFFSET=1048576", "FAILING_READ_WHEN=--import"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_TRUE(hasLineStarting(run.out, "failed: " + archive.string() +
                                             ": PRIVATE/AVCHD/BDMV/STREAM/00002.MTS: the card's "
                                             "file can't be read (Input/output error)"))
        << run.out;
    EXPECT_TRUE(hasLineStarting(run.out, "Not safe to format: 1 of 9 files")) << run.out;
    EXPECT_FALSE(hasLineStarting(run.out, "Safe to format")) << run.out;
    EXPECT_NE(resumeLog().find("Not safe to format"), std::string::npos);
    const fs::path copy = archive / kFolder;
    EXPECT_FALSE(fs::exists(copy / "PRIVATE/AVCHD/BDMV/STREAM/00002.MTS"));
    EXPECT_TRUE(fs::exists(copy / "PRIVATE/AVCHD/BDMV/STREAM/00003.MTS")) << "the others go on";
    EXPECT_TRUE(importTest::workingFiles(copy).empty());
}

TEST_F(programFixture, aFileSizeLimitStopsTheImportClearlyWithNothingHalfWritten) {
    // 5 MB per file: room for every file but the 9 MB clip.
    const avchd::RunResult run = import({}, {"/usr/bin/prlimit", "--fsize=5000000", "--"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_TRUE(hasLineStarting(run.out, "stopped: the archive '" + archive.string() + "' is full"))
        << run.out;
    EXPECT_TRUE(hasLineStarting(run.out, "failed: " + archive.string() +
                                             ": PRIVATE/AVCHD/BDMV/STREAM/00002.MTS: the archive "
                                             "is full"))
        << run.out;
    EXPECT_TRUE(hasLineStarting(run.out, "Not safe to format")) << run.out;
    const fs::path copy = archive / kFolder;
    EXPECT_FALSE(fs::exists(copy / "PRIVATE/AVCHD/BDMV/STREAM/00002.MTS"));
    EXPECT_TRUE(importTest::workingFiles(copy).empty());
    // With room again, the import goes on from there.
    const avchd::RunResult again = import();
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_TRUE(hasLineStarting(again.out, "Safe to format")) << again.out;
}

// --convert: the batch takes its sources from the verified copy, with the card's playlists and
// dates beside them, so the card can go once the import has said it is safe.
TEST(importConvert, theBatchConvertsTheVerifiedCopyNamedByTheCardsDates) {
    avchd::TempDir temp;
    for (const char *name :
         {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        setenv(name, (temp.path() / "state" / name).c_str(), 1);
    }
    const fs::path card = temp.path() / "CANON_HF";
    const avchd::RunResult made = avchd::runProgram(
        "/bin/bash",
        {"bash", std::string(FLUXARO_SOURCE_DIR) + "/scripts/make-sample-card.sh", card.string()},
        temp.path());
    ASSERT_EQ(made.status, 0) << made.err;
    const fs::path archive = temp.path() / "archive";
    const fs::path dest = temp.path() / "dest";
    const avchd::RunResult run =
        avchd::runProgram(kProgram,
                          {kProgram, "--import", card.string(), "--archive", archive.string(),
                           "--convert", "--dest", dest.string(), "--format", "rewrap"},
                          temp.path());
    const fs::path copy = archive / "2024-05-18 CANON_HF";
    EXPECT_TRUE(hasLineStarting(run.out, "Safe to format: ")) << run.out;
    EXPECT_TRUE(hasLineStarting(run.out, "convert: " + copy.string())) << run.out;
    // Every job's source is in the copy, none on the card.
    std::size_t jobs = 0;
    for (const std::string start : {"\nconverted: ", "\nfailed:   "}) {
        for (std::size_t at = run.out.find(start); at != std::string::npos;
             at = run.out.find(start, at + 1)) {
            ++jobs;
            EXPECT_EQ(run.out.compare(at + start.size(), copy.string().size(), copy.string()), 0)
                << run.out.substr(at, 200);
        }
    }
    EXPECT_GE(jobs, 4U) << run.out;
    // The single shots named by the playlist's dates, read from the copy's PLAYLIST folder.
    for (const char *name :
         {"clip-2024-05-18 10;15;30-00001.mov", "clip-2024-05-18 10;20;05-00002.mov",
          "clip-2024-05-18 10;31;44-00003.mov", "clip-2024-05-18 10;45;10-00007.mov"}) {
        EXPECT_TRUE(fs::exists(dest / "fluxaro events" / name)) << name << "\n" << run.out;
    }
    // The exit status is the batch's when the card is safe: 0 only if every job converted.
    const bool anyFailed = run.out.find("\nfailed:   ") != std::string::npos;
    EXPECT_EQ(run.status, anyFailed ? 1 : 0) << run.out;
}
