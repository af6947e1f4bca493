// fluxaro's command line read without starting anything: the front each line asks for, its
// sources and options, and every kind of usage error with its words.
#include "commandLine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

/// The program's name, then the arguments; "@" at the start of one stands for a scratch folder.
QStringList typed(const QStringList &arguments, const QString &scratch) {
    QStringList all{QStringLiteral("/usr/bin/fluxaro")};
    for (const QString &arg : arguments) {
        all << (arg.startsWith(QLatin1Char('@')) ? scratch + QLatin1Char('/') + arg.mid(1) : arg);
    }
    return all;
}

} // namespace

// Each line's front, its sources (the window's or the batch's) and, for a refusal, its fault and
// words. The --dest cases go through the destination's preparation as main does.
TEST(commandLine, frontsSourcesAndUsageErrors) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    QFile file(scratch.path() + QStringLiteral("/afile"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct lineCase {
        QStringList arguments;
        cliFront front;
        cliFault fault;
        QString words;       ///< in the refusal's words
        QStringList sources; ///< the window's or the batch's
    };
    using F = cliFront;
    using E = cliFault;
    const std::vector<lineCase> cases = {
        {{}, F::window, E::none, {}, {}},
        {{"card", "b.mts", "--debug"}, F::window, E::none, {}, {"card", "b.mts"}},
        // Qt's own window options and their values are not sources.
        {{"-platform", "offscreen", "-style", "fusion", "-reverse", "card"},
         F::window,
         E::none,
         {},
         {"card"}},
        {{"--", "-odd.mts", "--batch"}, F::window, E::none, {}, {"-odd.mts", "--batch"}},
        {{"--batch", "a.mts", "--dest", "@out", "card"}, F::batch, E::none, {}, {"a.mts", "card"}},
        {{"--batch", "--", "-x.mts"}, F::batch, E::none, {}, {"-x.mts"}},
        // A value is the next argument, whatever it looks like.
        {{"--batch", "a", "--format", "--keep"}, F::usageError, E::badValue, "'--keep'", {}},
        {{"--check-update", "--install", "--debug"}, F::checkUpdate, E::none, {}, {}},
        {{"--facts"}, F::facts, E::none, {}, {}},
        {{"--batch", "x.mts", "--help"}, F::help, E::none, {}, {}},
        {{"--install", "-h"}, F::help, E::none, {}, {}},
        {{"-V", "--batch"}, F::version, E::none, {}, {}},
        {{"--bogus"}, F::usageError, E::unknownOption, "unknown option '--bogus'", {}},
        {{"--batch", "a", "-x"}, F::usageError, E::unknownOption, "unknown option '-x'", {}},
        {{"--bogus=3", "--help"}, F::usageError, E::unknownOption, "'--bogus'", {}},
        {{"--batch", "a", "--dest"}, F::usageError, E::missingValue, "--dest needs a value", {}},
        {{"card", "-platform"}, F::usageError, E::missingValue, "-platform needs a value", {}},
        {{"--batch", "a", "--format", "gif"}, F::usageError, E::badValue, "format 'gif'", {}},
        {{"--batch", "a", "--mode", "fast"}, F::usageError, E::badValue, "mode 'fast'", {}},
        {{"--batch", "a", "--prores", "xq"}, F::usageError, E::badValue, "variant 'xq'", {}},
        {{"--batch=yes", "a"}, F::usageError, E::badValue, "--batch takes no value", {}},
        {{"--batch", "a", "--replace", "--keep"},
         F::usageError,
         E::conflictingOptions,
         "--replace and --keep",
         {}},
        {{"--batch", "a", "--facts"}, F::usageError, E::conflictingOptions, "--batch and --f", {}},
        {{"--check-update", "--facts"}, F::usageError, E::conflictingOptions, "exclude", {}},
        {{"--install"},
         F::usageError,
         E::misplacedOption,
         "--install goes with --check-update",
         {}},
        {{"card", "--dest", "d"},
         F::usageError,
         E::misplacedOption,
         "--dest goes with --batch",
         {}},
        {{"--facts", "--verbose"}, F::usageError, E::misplacedOption, "--verbose goes with", {}},
        {{"--batch", "a", "-platform", "xcb"}, F::usageError, E::misplacedOption, "-platform", {}},
        {{"--check-update", "x.mts"},
         F::usageError,
         E::strayArgument,
         "--check-update takes no source",
         {}},
        {{"--batch", "--format", "rewrap"}, F::usageError, E::noSource, "no source given", {}},
        {{"--batch", "a", "--dest", "@afile"},
         F::usageError,
         E::destinationRefused,
         "not a folder",
         {}},
        {{"--batch", "a", "--dest", "@afile/below"},
         F::usageError,
         E::destinationRefused,
         "can't be made",
         {}},
    };
    for (const lineCase &c : cases) {
        const QStringList arguments = typed(c.arguments, scratch.path());
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        commandLine line = commandLineParse(arguments);
        commandLinePrepareDestination(line);
        EXPECT_EQ(line.front, c.front) << line.faultStr.toStdString();
        EXPECT_EQ(line.fault, c.fault);
        EXPECT_EQ(line.fault == cliFault::none, line.faultStr.isEmpty());
        EXPECT_TRUE(line.faultStr.contains(c.words)) << line.faultStr.toStdString();
        EXPECT_EQ(line.front == F::batch ? line.batch.sources : line.sources, c.sources);
    }
    // The missing destination was made with its parents, before anything runs.
    EXPECT_TRUE(QDir(scratch.path() + QStringLiteral("/out")).exists());
}

// The card import's fronts: one card and every --archive in order, or one copy to check; what
// either lacks, or an --archive without --import, is a usage error.
TEST(commandLine, importAndCheckArchive) {
    const commandLine two = commandLineParse(
        {"fluxaro", "--import", "/media/CARD", "--archive", "/a", "--archive", "/b"});
    EXPECT_EQ(two.front, cliFront::import);
    EXPECT_EQ(two.cardImport.card, QStringLiteral("/media/CARD"));
    EXPECT_EQ(two.cardImport.archives, (QStringList{"/a", "/b"}));
    EXPECT_FALSE(two.cardImport.convert);
    const commandLine convert =
        commandLineParse({"fluxaro", "--import", "/media/CARD", "--archive", "/a", "--convert",
                          "--dest", "/d", "--format", "prores", "--no-join"});
    EXPECT_EQ(convert.front, cliFront::import);
    EXPECT_TRUE(convert.cardImport.convert);
    EXPECT_EQ(convert.batch.destination, QStringLiteral("/d"));
    EXPECT_EQ(convert.batch.format, 2);
    EXPECT_TRUE(convert.batch.noJoin);
    EXPECT_TRUE(convert.batch.sources.isEmpty()) << "the copy is the source, once made";
    const commandLine check = commandLineParse({"fluxaro", "--check-archive", "/a/2024 CARD"});
    EXPECT_EQ(check.front, cliFront::checkArchive);
    EXPECT_EQ(check.cardImport.archives, (QStringList{"/a/2024 CARD"}));
    struct refusedCase {
        QStringList arguments;
        cliFault fault;
        QString words;
    };
    const std::vector<refusedCase> refused = {
        {{"fluxaro", "--import", "/media/CARD"}, cliFault::noArchive, "--archive"},
        {{"fluxaro", "--import", "--archive", "/a"}, cliFault::strayArgument, "one card"},
        {{"fluxaro", "--import", "c1", "c2", "--archive", "/a"},
         cliFault::strayArgument,
         "one card"},
        {{"fluxaro", "--import", "c", "--archive"}, cliFault::missingValue, "--archive"},
        {{"fluxaro", "--batch", "a.mts", "--archive", "/a"},
         cliFault::misplacedOption,
         "--archive goes with --import"},
        {{"fluxaro", "--check-archive"}, cliFault::strayArgument, "one folder"},
        // The batch's options only when the import converts.
        {{"fluxaro", "--import", "c", "--archive", "/a", "--dest", "/d"},
         cliFault::misplacedOption,
         "--dest goes with --batch or --import --convert"},
        {{"fluxaro", "--batch", "a.mts", "--convert"},
         cliFault::misplacedOption,
         "--convert goes with --import"},
        {{"fluxaro", "--import", "c", "--archive", "/a", "--convert", "--format", "x"},
         cliFault::badValue,
         "unknown format"},
        {{"fluxaro", "--check-archive", "a", "b"}, cliFault::strayArgument, "one folder"},
        {{"fluxaro", "--import", "c", "--archive", "/a", "--batch"},
         cliFault::conflictingOptions,
         "exclude each other"},
    };
    for (const refusedCase &c : refused) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const commandLine line = commandLineParse(c.arguments);
        EXPECT_EQ(line.front, cliFront::usageError);
        EXPECT_EQ(line.fault, c.fault);
        EXPECT_TRUE(line.faultStr.contains(c.words)) << line.faultStr.toStdString();
    }
}

// The batch's options as the headless front takes them: the names as indexes and codec types,
// what is not given left to the settings, --debug showing the log like --verbose.
TEST(commandLine, batchOptionsTakeTheirValues) {
    const commandLine all = commandLineParse({"fluxaro", "--batch", "a", "--dest", "d", "--format",
                                              "prores", "--mode", "slow", "--prores", "proxy",
                                              "--surround", "--no-join", "--replace", "--debug"});
    ASSERT_EQ(all.front, cliFront::batch) << all.faultStr.toStdString();
    EXPECT_EQ(all.batch.destination, QStringLiteral("d"));
    EXPECT_EQ(all.batch.format, 2);
    EXPECT_EQ(all.batch.mode, 2);
    EXPECT_EQ(all.batch.proresType, QStringLiteral("apco"));
    EXPECT_TRUE(all.batch.surround);
    EXPECT_TRUE(all.batch.noJoin);
    EXPECT_EQ(all.batch.replace, true);
    EXPECT_TRUE(all.batch.verbose);
    EXPECT_TRUE(all.debug);

    const commandLine bare = commandLineParse({"fluxaro", "--batch", "a", "--keep"});
    ASSERT_EQ(bare.front, cliFront::batch);
    EXPECT_TRUE(bare.batch.destination.isEmpty());
    EXPECT_FALSE(bare.batch.format.has_value());
    EXPECT_FALSE(bare.batch.mode.has_value());
    EXPECT_FALSE(bare.batch.proresType.has_value());
    EXPECT_EQ(bare.batch.replace, false);
    EXPECT_FALSE(bare.batch.verbose);
    EXPECT_FALSE(bare.debug);
    EXPECT_EQ(commandLineParse({"fluxaro", "--batch", "a"}).batch.replace, std::nullopt);

    // The window's -platform is a display of its own; --install is read for the update check.
    EXPECT_TRUE(commandLineParse({"fluxaro", "-platform", "offscreen"}).platformGiven);
    EXPECT_FALSE(commandLineParse({"fluxaro", "--", "-platform"}).platformGiven);
    EXPECT_TRUE(commandLineParse({"fluxaro", "--check-update", "--install"}).install);
    EXPECT_FALSE(commandLineParse({"fluxaro", "--check-update"}).install);
}
