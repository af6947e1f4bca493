// The temporary output every writer goes through: nothing is visible under the destination's
// name (or any other) before commit, and a failed, abandoned or killed write leaves nothing.
#include "toolbox/fileIo.h"

#include "mediaFixture.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace toolbox {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> namesIn(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    std::getline(in, text, '\0');
    return text;
}

// Writes text through a second descriptor opened by writePath(), as libavformat does.
bool writeThroughPath(const TemporaryOutput &output, const std::string &text) {
    const int fd = ::open(output.writePath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    return ::close(fd) == 0 && written;
}

TEST(TemporaryOutput, UnnamedFileAppearsWholeUnderItsNameOnlyAtCommit) {
    test::TemporaryFolder folder;
    const std::string destination = folder.file("movie.mov");
    std::ofstream(destination) << "the previous movie";
    {
        TemporaryOutput output;
        std::string error;
        ASSERT_TRUE(output.create(destination, &error, TemporaryName::Unnamed)) << error;
        EXPECT_TRUE(output.temporaryPath().empty());
        ASSERT_TRUE(writeThroughPath(output, "the new movie"));
        // Written, yet nothing new in the folder and the old file untouched.
        EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"movie.mov"});
        EXPECT_EQ(contents(destination), "the previous movie");
        ASSERT_TRUE(output.commit(&error, false)) << error;
    }
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"movie.mov"});
    EXPECT_EQ(contents(destination), "the new movie");
    // The permissions of any new file.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat(destination.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST(TemporaryOutput, AbandonedOrKilledWritesLeaveNothing) {
    test::TemporaryFolder folder;
    for (const auto naming : {TemporaryName::Hidden, TemporaryName::Unnamed}) {
        TemporaryOutput output;
        std::string error;
        ASSERT_TRUE(output.create(folder.file("out.mov"), &error, naming)) << error;
        ASSERT_TRUE(writeThroughPath(output, "half a movie"));
        // A hidden name is visible only as a hidden partial file.
        if (naming == TemporaryName::Hidden) {
            ASSERT_EQ(namesIn(folder.path()).size(), 1u);
            EXPECT_EQ(namesIn(folder.path())[0].rfind(".out.mov.part-", 0), 0u);
        }
    }
    EXPECT_TRUE(namesIn(folder.path()).empty());

    // A process killed in the middle of its write: no destructor runs.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TemporaryOutput output;
        std::string error;
        if (output.create(folder.file("out.mov"), &error, TemporaryName::Unnamed))
            writeThroughPath(output, "half a movie");
        std::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(namesIn(folder.path()).empty());
}

TEST(TemporaryOutput, MissingFolderIsRefusedWithAMessage) {
    test::TemporaryFolder folder;
    for (const auto naming : {TemporaryName::Hidden, TemporaryName::Unnamed}) {
        TemporaryOutput output;
        std::string error;
        EXPECT_FALSE(output.create(folder.file("missing/out.mov"), &error, naming));
        EXPECT_NE(error.find("missing"), std::string::npos) << error;
        EXPECT_FALSE(output.create(folder.path() + "/", &error, naming));
        EXPECT_NE(error.find("no file name"), std::string::npos) << error;
    }
}

} // namespace
} // namespace toolbox

namespace toolbox {
namespace {

namespace fs = std::filesystem;

// Only regular files are opened, without waiting on a FIFO, and the refusal says what the path
// leads to.
TEST(File, OpensRegularFilesOnlyAndSaysWhy) {
    test::TemporaryFolder folder;
    const std::string fifo = folder.file("pipe.mov");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    File file;
    EXPECT_FALSE(file.open(fifo));
    EXPECT_EQ(file.error(), "is a FIFO, not a regular file");
    EXPECT_EQ(regularFileRefusal(fifo), "is a FIFO, not a regular file");
    EXPECT_FALSE(file.open("/dev/zero"));
    EXPECT_EQ(file.error(), "is a character device, not a regular file");
    EXPECT_FALSE(file.open(folder.file("")));
    EXPECT_EQ(regularFileRefusal(folder.file("missing")), "does not exist");
    const std::string plain = folder.file("plain.mov");
    std::ofstream(plain) << "x";
    ASSERT_TRUE(file.open(plain));
    EXPECT_TRUE(file.error().empty());
    EXPECT_EQ(regularFileRefusal(plain), "");
    // Opened for plain reads, not non-blocking ones.
    EXPECT_EQ(fcntl(file.fd(), F_GETFL) & O_NONBLOCK, 0);
}

} // namespace
} // namespace toolbox
