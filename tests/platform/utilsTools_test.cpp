#include "platform/utilsTools.h"

#include "platform/shellQuote.h"
#include "testEnv.h"

#include <gtest/gtest.h>

TEST(BlockingCommands, OutputForms) {
    // Nothing printed: nothing from taskWithStr, the empty text from taskWithStrBasic.
    EXPECT_FALSE(taskWithStr(QStringLiteral("true")).has_value());
    EXPECT_EQ(taskWithStrBasic(QStringLiteral("true")), QString());

    // Only one final line break is removed, and only by taskWithStrBasic.
    EXPECT_EQ(taskWithStr(QStringLiteral("printf 'a\\n\\n'")), QStringLiteral("a\n\n"));
    EXPECT_EQ(taskWithStrBasic(QStringLiteral("printf 'a\\n\\n'")), QStringLiteral("a\n"));

    // Output that is not UTF-8.
    EXPECT_EQ(taskWithStr(QStringLiteral("printf '\\377\\376'")), QString());
    EXPECT_FALSE(taskWithStrBasic(QStringLiteral("printf '\\377\\376'")).has_value());

    // The exit status does not matter; standard error is captured only when redirected.
    EXPECT_EQ(taskWithStrBasic(QStringLiteral("echo out; echo err >&2; exit 3")),
              QStringLiteral("out"));
    EXPECT_EQ(taskWithStrBasic(QStringLiteral("(echo err >&2) 2>&1")), QStringLiteral("err"));
}

TEST(BlockingCommands, FolderAndEnvironment) {
    const QString work = freshWorkDir(QStringLiteral("it's a folder"));
    EXPECT_EQ(taskWithStr(QStringLiteral("pwd -P"), work), work + QStringLiteral("\n"));
    // The empty folder is no folder: the command runs where the application is.
    EXPECT_EQ(taskWithStr(QStringLiteral("pwd -P"), QString()),
              taskWithStr(QStringLiteral("pwd -P")));
    EXPECT_TRUE(taskWithStrBasic(QStringLiteral("printf %s \"$LC_CTYPE\""))
                    ->endsWith(QStringLiteral("UTF-8")));
    // Texts pass through unchanged in UTF-8.
    EXPECT_EQ(taskWithStrBasic(QStringLiteral("printf %s ") + shellQuote(QStringLiteral("été 🎬"))),
              QStringLiteral("été 🎬"));
}

TEST(BlockingCommands, OutputLargerThanAPipeBuffer) {
    const std::optional<QString> out =
        taskWithStrBasic(QStringLiteral("head -c 1000000 /dev/zero | tr '\\0' a"));
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(out->size(), 1000000);
    EXPECT_EQ(out->count(QLatin1Char('a')), 1000000);
}
