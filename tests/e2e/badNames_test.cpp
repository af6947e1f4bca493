// Source names a user or a stranger may give: line breaks and tabs that would forge the
// terminal's result lines, and names too long for the output's dated name.
#include "e2eMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <unistd.h>

using namespace e2e;

namespace {

std::string show(const runResult &run) {
    return (run.out + QStringLiteral("\n--- stderr tail ---\n") + run.err.right(3000))
        .toStdString();
}

} // namespace

// A line break or a tab in a source's name is printed as \x0a or \x09 on the result lines: the
// name can't print a line of its own ("converted: ... -> forged").
TEST(badNames, lineBreaksAndTabsInANameForgeNoResultLine) {
    sandbox box;
    const QString plain = box.root() + QStringLiteral("/plain.ts");
    const QString src =
        box.root() + QStringLiteral("/clip\nconverted: secret.ts -> forged\tend.ts");
    ASSERT_TRUE(makeClip(plain, "320x180", 25, 1.0));
    ASSERT_TRUE(QFile::rename(plain, src));
    const runResult run = box.batch({src, "--format", "rewrap"}, 120000);
    ASSERT_EQ(run.status, 0) << show(run);
    const QStringList lines = run.out.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        EXPECT_FALSE(line.startsWith(QStringLiteral("converted: secret.ts"))) << show(run);
        EXPECT_FALSE(line.contains(QLatin1Char('\t'))) << show(run);
    }
    EXPECT_TRUE(run.out.contains(
        QStringLiteral("converted: %1/clip\\x0aconverted: secret.ts -> forged\\x09end.ts -> ")
            .arg(box.root())))
        << show(run);
    EXPECT_EQ(box.eventsFiles().size(), 1) << box.eventsFiles().join(", ").toStdString();
}

// A source whose name is 245 bytes long converts: its output's dated name would pass the file
// system's 255 bytes, so the job shortens the base name at its start (the date prefix kept) and
// says so, instead of failing at the rename once the movie is made.
TEST(badNames, aLongSourceNameGetsAShortenedDatedName) {
    sandbox box;
    const QString longName = QString(242, QLatin1Char('n')) + QStringLiteral(".ts");
    ASSERT_EQ(QFile::encodeName(longName).size(), 245);
    const QString plain = box.root() + QStringLiteral("/plain.ts");
    const QString src = box.root() + QLatin1Char('/') + longName;
    ASSERT_TRUE(makeClip(plain, "320x180", 25, 1.0));
    ASSERT_TRUE(QFile::rename(plain, src));
    const runResult run = box.batch({src, "--format", "rewrap"}, 120000);
    ASSERT_EQ(run.status, 0) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("too long for the file system"))) << show(run);
    const QStringList files = box.eventsFiles();
    ASSERT_EQ(files.size(), 1) << files.join(", ").toStdString();
    const QString name = files.first();
    EXPECT_TRUE(name.startsWith(QStringLiteral("clip-"))) << name.toStdString();
    EXPECT_TRUE(name.contains(QStringLiteral("-nnnn"))) << name.toStdString();
    EXPECT_TRUE(name.endsWith(QStringLiteral("n.mov"))) << name.toStdString();
    EXPECT_LE(QFile::encodeName(name).size(), 255);
}

// A folder below a source folder that can't be read is said with the system's reason and fails
// the run, rather than being taken for a folder without sources; the sources found convert.
TEST(badNames, aFolderThatCannotBeReadIsSaid) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every folder";
    }
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    const QString locked = card + QStringLiteral("/locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(makeClip(card + QStringLiteral("/one.ts"), "320x180", 25, 1.0));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    const runResult run = box.batch({card, "--format", "rewrap"}, 120000);
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("fluxaro: can't read the folder ") + locked +
                                 QStringLiteral(": ") +
                                 QString::fromLocal8Bit(std::strerror(EACCES))))
        << show(run);
    EXPECT_EQ(run.out.count(QStringLiteral("converted: ")), 1) << show(run);
}
