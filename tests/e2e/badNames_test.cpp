// Source names a user or a stranger may give: line breaks and tabs that would forge the
// terminal's result lines, and names too long for the output's dated name.
#include "e2eMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

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
