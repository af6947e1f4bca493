#include "platform/shellQuote.h"

#include "testEnv.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// Runs `printf %s WORD` through /bin/sh and returns what it printed: the word must reach the
// program as the very same text, and nothing inside it may run.
QString echoedThroughShell(const QString &text) {
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"),
             {QStringLiteral("-c"), QStringLiteral("printf %s ") + shellQuote(text)});
    sh.waitForFinished();
    return QString::fromUtf8(sh.readAllStandardOutput());
}

} // namespace

TEST(ShellQuote, HostileNamesReachTheCommandUnchanged) {
    const QStringList names = {
        QStringLiteral("plain.mts"),
        QStringLiteral("with space.mts"),
        QStringLiteral("it's.mts"),
        QStringLiteral("''"),
        QStringLiteral("a\"b\".mts"),
        QStringLiteral("$(touch /tmp/fluxaro-shellquote-pwned).mts"),
        QStringLiteral("`id`.mts"),
        QStringLiteral("100%.mts"),
        QStringLiteral("line\nbreak.mts"),
        QStringLiteral("back\\slash;|&<>*?.mts"),
        QStringLiteral("été à Noël.mts"),
        QString(),
    };
    for (const QString &name : names) {
        EXPECT_EQ(echoedThroughShell(name), name) << name.toStdString();
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/fluxaro-shellquote-pwned")));
}

TEST(ShellQuote, QuoteIsClosedEscapedAndReopened) {
    EXPECT_EQ(shellQuote(QStringLiteral("a'b")), QStringLiteral("'a'\\''b'"));
    EXPECT_EQ(shellQuote(QString()), QStringLiteral("''"));
}
