#include "platform/constants.h"
#include "platform/log.h"

#include "testEnv.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Logs : public ::testing::Test {
protected:
    void SetUp() override { QDir(logFolderPathStr()).removeRecursively(); }
};

// Runs `body` in a child process (redirections change the process's own streams) and
// returns its exit status.
template <typename Body> int inChild(Body body) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

const QRegularExpression kPrefixed(QStringLiteral(
    "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} Fluxaro\\[(\\d+)\\] (.*)$"));

} // namespace

TEST_F(Logs, FoldersFollowTheStateHome) {
    EXPECT_EQ(logFolderPathStr(), testRootStr() + QStringLiteral("/state/Fluxaro"));
    EXPECT_EQ(logResumePathStr(), testRootStr() + QStringLiteral("/state/Fluxaro/Resume.log"));
    EXPECT_EQ(logDetailsPathStr(), testRootStr() + QStringLiteral("/state/Fluxaro/Details.log"));
}

TEST_F(Logs, SummaryLogStartsWithMarkAndDateAndTakesTextsAsTheyAre) {
    ASSERT_TRUE(QDir().mkpath(logFolderPathStr()));
    EXPECT_TRUE(logResume());
    const QByteArray first = readBytes(logResumePathStr());
    EXPECT_TRUE(first.startsWith("\xEF\xBB\xBF"
                                 "start date    : "));
    EXPECT_FALSE(first.endsWith('\n'));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^start date    : \\d{4}-\\d\\d-\\d\\d "
                                                  "\\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$"))
                    .match(QString::fromUtf8(first.mid(3)))
                    .hasMatch())
        << first.toStdString();

    EXPECT_TRUE(logResume(QStringLiteral("\nclip 1 : succès")));
    EXPECT_TRUE(logResume(QStringLiteral("\nclip 2")));
    EXPECT_EQ(readBytes(logResumePathStr()),
              first + QStringLiteral("\nclip 1 : succès\nclip 2").toUtf8());
}

TEST_F(Logs, SummaryLogThatCannotBeCreated) {
    // No logs folder and a file where it should be: nothing can be written.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(logFolderPathStr()).path()));
    ASSERT_TRUE(writeBytes(logFolderPathStr(), "in the way"));
    EXPECT_FALSE(logResume(QStringLiteral("text")));
    QFile::remove(logFolderPathStr());
}

TEST_F(Logs, RotationKeepsExactlyOnePreviousPair) {
    const QString folder = logFolderPathStr();
    EXPECT_TRUE(logRotate()); // first run: creates the folder, nothing to rename
    EXPECT_TRUE(QFileInfo(folder).isDir());
    ASSERT_TRUE(writeBytes(logResumePathStr(), "run 1"));
    ASSERT_TRUE(writeBytes(logDetailsPathStr(), "details 1"));
    EXPECT_TRUE(logRotate());
    ASSERT_TRUE(writeBytes(logResumePathStr(), "run 2"));
    ASSERT_TRUE(writeBytes(logDetailsPathStr(), "details 2"));
    EXPECT_TRUE(logRotate());
    EXPECT_FALSE(QFileInfo::exists(logResumePathStr()));
    EXPECT_EQ(readBytes(folder + QStringLiteral("/Previous-Resume.log")), QByteArray("run 2"));
    EXPECT_EQ(readBytes(folder + QStringLiteral("/Previous-Details.log")), QByteArray("details 2"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST_F(Logs, RedirectionPrefixesEveryLineOfTheProcessAndItsChildren) {
    ASSERT_TRUE(QDir().mkpath(logFolderPathStr()));
    const QString path = logDetailsPathStr();
    const int status = inChild([&] {
        if (!redirectLogs2File(path)) {
            return 1;
        }
        std::printf("from stdout\n");
        std::fflush(stdout);
        std::fprintf(stderr, "from stderr\n");
        logStr(QStringLiteral("log line"));
        if (std::system("echo child out; echo child err >&2") != 0) {
            return 2;
        }
        // A second redirection is refused; its message lands in the log too.
        if (redirectLogs2File(path)) {
            return 3;
        }
        // A last line without its line break is kept when the redirection ends.
        std::printf("no line break at the end");
        logStopRedirect();
        return 0;
    });
    ASSERT_EQ(status, 0);

    const QStringList lines =
        QString::fromUtf8(readBytes(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList texts;
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = kPrefixed.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        texts.append(m.captured(2));
    }
    // Without tee, both streams share one pipe: the lines keep the order they were written in.
    EXPECT_EQ(texts, (QStringList{QStringLiteral("from stdout"), QStringLiteral("from stderr"),
                                  QStringLiteral("log line"), QStringLiteral("child out"),
                                  QStringLiteral("child err"),
                                  QStringLiteral("if (newStdout || newStderr)"),
                                  QStringLiteral("no line break at the end")}))
        << texts.join(QLatin1Char('|')).toStdString();
}

TEST_F(Logs, RedirectionCanTeeToTheOriginalStreams) {
    ASSERT_TRUE(QDir().mkpath(logFolderPathStr()));
    const QString path = logDetailsPathStr();
    const QString out = testRootStr() + QStringLiteral("/work/tee-out.txt");
    const QString err = testRootStr() + QStringLiteral("/work/tee-err.txt");
    QDir().mkpath(testRootStr() + QStringLiteral("/work"));
    const int status = inChild([&] {
        // The "terminal" of this child is two files.
        const int outFd =
            ::open(QFile::encodeName(out).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd =
            ::open(QFile::encodeName(err).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        if (!redirectLogs2File(path, true)) {
            return 1;
        }
        std::printf("result line\n");
        std::fflush(stdout);
        logStr(QStringLiteral("progress line"));
        logStopRedirect();
        return 0;
    });
    ASSERT_EQ(status, 0);
    EXPECT_EQ(readBytes(out), QByteArray("result line\n"));
    EXPECT_TRUE(readBytes(err).endsWith("progress line\n")) << readBytes(err).toStdString();
    const QString log = QString::fromUtf8(readBytes(path));
    EXPECT_TRUE(log.contains(QStringLiteral("] result line\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("] progress line\n")));
}

// A terminal front without the log on its terminal: the lines logged before the log opens go
// into the log, not to the terminal; its own lines reach the terminal (made safe) and the log;
// a name's escape sequence in a teed log line is escaped on the terminal, kept in the log.
TEST_F(Logs, HeldLinesGoToTheLogAndTheTerminalGetsSafeText) {
    ASSERT_TRUE(QDir().mkpath(logFolderPathStr()));
    const QString path = logDetailsPathStr();
    const QString out = testRootStr() + QStringLiteral("/work/held-out.txt");
    const QString err = testRootStr() + QStringLiteral("/work/held-err.txt");
    QDir().mkpath(testRootStr() + QStringLiteral("/work"));
    const int status = inChild([&] {
        const int outFd =
            ::open(QFile::encodeName(out).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd =
            ::open(QFile::encodeName(err).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        logHoldUntilRedirect();
        logStr(QStringLiteral("before the log"));
        if (!redirectLogs2File(path)) {
            return 1;
        }
        logStr(QStringLiteral("after \x1b[2J"));
        logTerminalWrite(logTerminalSafe("result \x1b[2J") + '\n', QStringLiteral("result"));
        logStopRedirect();
        return 0;
    });
    ASSERT_EQ(status, 0);
    EXPECT_EQ(readBytes(out), QByteArray("result \\x1b[2J\n"));
    EXPECT_EQ(readBytes(err), QByteArray());
    const QString log = QString::fromUtf8(readBytes(path));
    EXPECT_TRUE(log.contains(QStringLiteral("] before the log\n"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("] after \x1b[2J\n"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("] result\n"))) << log.toStdString();

    // With tee, the log line reaches the terminal with its escape written out.
    const int teed = inChild([&] {
        const int errFd =
            ::open(QFile::encodeName(err).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(errFd, STDERR_FILENO);
        if (!redirectLogs2File(path, true)) {
            return 1;
        }
        logStr(QStringLiteral("name a\x1b[31mb\rc"));
        logStopRedirect();
        return 0;
    });
    ASSERT_EQ(teed, 0);
    EXPECT_TRUE(readBytes(err).endsWith("name a\\x1b[31mb\nc\n")) << readBytes(err).toStdString();
}

TEST_F(Logs, RedirectionToAFileThatCannotBeOpened) {
    const int status = inChild([&] {
        if (redirectLogs2File(testRootStr() + QStringLiteral("/no/such/folder/Details.log"))) {
            return 1;
        }
        // The streams stay where they were and a later redirection still works.
        return redirectLogs2File(testRootStr() + QStringLiteral("/tmp/late.log")) ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
}
