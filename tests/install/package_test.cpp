// The Debian package, built as scripts/package.sh builds it: scripts/build-package.sh in a
// release tree of its own (build/release: Debian's hardening flags, the self-update left out).
// Its control fields and /usr paths, no lintian error or warning on it and on its debug-symbols
// package, hardening-check on the three programs, their debug symbols found by build id and
// debug link, the desktop entry's types, and the fluxaro program unpacked from it
// (dpkg-deb -x): how it is updated, what it says without a display, and a card converted.
#include "installRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

std::string show(const commandResult &r) {
    return QStringLiteral("status %1\n%2\n%3")
        .arg(r.status)
        .arg(r.out.right(4000), r.err.right(4000))
        .toStdString();
}

QString onlyEntry(const QString &folder, const QString &pattern) {
    const QStringList names = QDir(folder).entryList({pattern});
    return names.size() == 1 ? folder + QLatin1Char('/') + names.first() : QString();
}

QString fieldOf(const QString &fields, const QString &name) {
    return fields.section(QLatin1Char('\n') + name + QStringLiteral(": "), 1).section('\n', 0, 0);
}

} // namespace

TEST(package, buildsHardenedWithDebugSymbolsAndRunsUnpacked) {
    ASSERT_TRUE(haveProgram(QStringLiteral("lintian"))) << "lintian is missing";
    ASSERT_TRUE(haveProgram(QStringLiteral("hardening-check"))) << "devscripts is missing";
    QTemporaryDir dir;
    const commandResult build =
        runCommand(QStringLiteral("bash"),
                   {QStringLiteral(FLUXARO_SOURCE_DIR "/scripts/build-package.sh"),
                    QStringLiteral(FLUXARO_BINARY_DIR "/release"), dir.path()},
                   {}, 3000000);
    ASSERT_EQ(build.status, 0) << show(build);
    const QString deb = onlyEntry(dir.path(), QStringLiteral("fluxaro_*.deb"));
    const QString ddeb = onlyEntry(dir.path(), QStringLiteral("fluxaro-dbgsym_*.ddeb"));
    ASSERT_FALSE(deb.isEmpty()) << show(build);
    ASSERT_FALSE(ddeb.isEmpty()) << show(build);

    const commandResult fields = runCommand(QStringLiteral("dpkg-deb"), {"-f", deb});
    ASSERT_EQ(fields.status, 0) << show(fields);
    const QString control = QLatin1Char('\n') + fields.out;
    EXPECT_EQ(fieldOf(control, QStringLiteral("Package")), QStringLiteral("fluxaro"));
    EXPECT_EQ(fieldOf(control, QStringLiteral("Version")), QStringLiteral(FLUXARO_VERSION_STR));
    EXPECT_EQ(fieldOf(control, QStringLiteral("Homepage")), QStringLiteral(FLUXARO_WEB_SITE_URL));
    const QString depends = fieldOf(control, QStringLiteral("Depends"));
    for (const char *needed : {"ffmpeg", "libqt6core6", "libqt6dbus6", "libavformat59",
                               "libavcodec59", "libswscale6", "libstdc++6"}) {
        EXPECT_TRUE(depends.contains(QLatin1String(needed))) << needed << "\n" << show(fields);
    }
    // The help movie needs a demuxer (plugins-good) and an H.264 decoder (libav).
    const QString recommends = fieldOf(control, QStringLiteral("Recommends"));
    for (const char *wanted : {"gstreamer1.0-plugins-good", "gstreamer1.0-libav"}) {
        EXPECT_TRUE(recommends.contains(QLatin1String(wanted))) << wanted << "\n" << show(fields);
    }
    // The source package (debian/control) declares the same.
    QFile sourceControl(QStringLiteral(FLUXARO_SOURCE_DIR "/debian/control"));
    ASSERT_TRUE(sourceControl.open(QIODevice::ReadOnly));
    const QString sourceText = QString::fromUtf8(sourceControl.readAll());
    const QString sourceRecommends = sourceText.section(QStringLiteral("\nRecommends:"), 1)
                                         .section(QRegularExpression(QStringLiteral("\n\\S")), 0, 0)
                                         .simplified();
    // One entry a line there, each with its comma.
    EXPECT_EQ(sourceRecommends, recommends + QLatin1Char(','));
    EXPECT_TRUE(sourceText.contains(QStringLiteral("\nHomepage: " FLUXARO_WEB_SITE_URL "\n")));
    const commandResult dbgFields = runCommand(QStringLiteral("dpkg-deb"), {"-f", ddeb});
    EXPECT_EQ(fieldOf(QLatin1Char('\n') + dbgFields.out, QStringLiteral("Package")),
              QStringLiteral("fluxaro-dbgsym"));

    const commandResult contents = runCommand(QStringLiteral("dpkg-deb"), {"-c", deb});
    ASSERT_EQ(contents.status, 0) << show(contents);
    for (const QString &line : contents.out.split('\n', Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.contains(QStringLiteral(" ./usr/")) ||
                    line.endsWith(QStringLiteral(" ./")))
            << line.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral("root/root"))) << line.toStdString();
    }

    // No error, and no warning either: the one deliberate exception carries its override. (CPack's
    // debug-symbols package is not linted: its md5sums name the staging paths; the source
    // package's, made by debhelper, is the one a distribution ships.)
    const commandResult lintian = runCommand(QStringLiteral("lintian"), {deb}, {}, 600000);
    EXPECT_EQ(lintian.status, 0) << show(lintian);
    EXPECT_FALSE(lintian.out.contains(QStringLiteral("E: "))) << show(lintian);
    EXPECT_FALSE(lintian.out.contains(QStringLiteral("W: "))) << show(lintian);

    const QString root = dir.path() + QStringLiteral("/root");
    const QString symbols = dir.path() + QStringLiteral("/symbols");
    ASSERT_EQ(runCommand(QStringLiteral("dpkg-deb"), {"-x", deb, root}).status, 0);
    ASSERT_EQ(runCommand(QStringLiteral("dpkg-deb"), {"-x", ddeb, symbols}).status, 0);
    for (const char *program : {"fluxaro", "trakmill", "clipdater"}) {
        SCOPED_TRACE(program);
        const QString path = root + QStringLiteral("/usr/bin/") + QLatin1String(program);
        // Stack protector, _FORTIFY_SOURCE, RELRO, BIND_NOW and PIE: any missing fails it.
        // Control-flow protection (-fcf-protection) is not among Debian 12's hardening flags.
        const commandResult hardening =
            runCommand(QStringLiteral("hardening-check"), {"--nocfprotection", path});
        EXPECT_EQ(hardening.status, 0) << show(hardening);
        const commandResult sections = runCommand(QStringLiteral("readelf"), {"-S", "-n", path});
        EXPECT_FALSE(sections.out.contains(QStringLiteral(".debug_info"))) << "not stripped";
        EXPECT_TRUE(sections.out.contains(QStringLiteral(".gnu_debuglink")));
        const QRegularExpressionMatch id =
            QRegularExpression(QStringLiteral("Build ID: ([0-9a-f]{2})([0-9a-f]+)"))
                .match(sections.out);
        ASSERT_TRUE(id.hasMatch()) << show(sections);
        const QString debug = symbols + QStringLiteral("/usr/lib/debug/.build-id/%1/%2.debug")
                                            .arg(id.captured(1), id.captured(2));
        ASSERT_TRUE(QFileInfo(debug).isFile()) << debug.toStdString();
        EXPECT_TRUE(runCommand(QStringLiteral("readelf"), {"-S", debug})
                        .out.contains(QStringLiteral(".debug_info")));
    }

    const QString problems = desktopEntryProblems(root + QStringLiteral("/usr/share"),
                                                  QStringLiteral(FLUXARO_WEB_SITE_URL));
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    QFile copyright(root + QStringLiteral("/usr/share/doc/fluxaro/copyright"));
    ASSERT_TRUE(copyright.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(copyright.readAll())
                    .contains(QStringLiteral("\nSource: " FLUXARO_WEB_SITE_URL "\n")));

    const QString fluxaro = root + QStringLiteral("/usr/bin/fluxaro");
    QTemporaryDir home;
    const commandResult facts =
        runCommand(fluxaro, {"--facts"},
                   {QStringLiteral("XDG_STATE_HOME=") + home.path() + QStringLiteral("/state"),
                    QStringLiteral("XDG_CONFIG_HOME=") + home.path() + QStringLiteral("/config"),
                    QStringLiteral("XDG_RUNTIME_DIR=") + home.path(),
                    QStringLiteral("TMPDIR=") + home.path()});
    EXPECT_TRUE(facts.out.contains(QStringLiteral(
        "application updates : from the package manager (self-update left out of this build)")))
        << show(facts);
    const QString noDisplay = noDisplayProblems(fluxaro);
    EXPECT_TRUE(noDisplay.isEmpty()) << noDisplay.toStdString();
    const QString failure = convertCardWith(fluxaro);
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
}
