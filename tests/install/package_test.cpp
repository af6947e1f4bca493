// The Debian package: built by CPack from this build, its control fields and /usr paths, no
// lintian error, and the fluxaro program unpacked from it (dpkg-deb -x) converts a card.
#include "installRun.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

std::string show(const commandResult &r) {
    return QStringLiteral("status %1\n%2\n%3").arg(r.status).arg(r.out, r.err).toStdString();
}

} // namespace

TEST(package, buildsPassesLintianAndRunsUnpacked) {
    QTemporaryDir dir;
    const commandResult cpack = runCommand(
        QStringLiteral(FLUXARO_CPACK),
        {"--config", QStringLiteral(FLUXARO_BINARY_DIR "/CPackConfig.cmake"), "-B", dir.path()}, {},
        600000);
    ASSERT_EQ(cpack.status, 0) << show(cpack);
    const QStringList debs = QDir(dir.path()).entryList({QStringLiteral("fluxaro_*.deb")});
    ASSERT_EQ(debs.size(), 1) << show(cpack);
    const QString deb = dir.path() + QLatin1Char('/') + debs.first();

    const commandResult fields = runCommand(QStringLiteral("dpkg-deb"), {"-f", deb});
    ASSERT_EQ(fields.status, 0) << show(fields);
    EXPECT_TRUE(fields.out.contains(QStringLiteral("Package: fluxaro\n")));
    EXPECT_TRUE(fields.out.contains(QStringLiteral("Version: " FLUXARO_VERSION_STR "\n")));
    const QString depends = fields.out.section(QStringLiteral("Depends: "), 1).section('\n', 0, 0);
    for (const char *needed : {"ffmpeg", "libqt6core6", "libqt6dbus6", "libavformat59",
                               "libavcodec59", "libswscale6", "libstdc++6"}) {
        EXPECT_TRUE(depends.contains(QLatin1String(needed))) << needed << "\n" << show(fields);
    }

    const commandResult contents = runCommand(QStringLiteral("dpkg-deb"), {"-c", deb});
    ASSERT_EQ(contents.status, 0) << show(contents);
    for (const QString &line : contents.out.split('\n', Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.contains(QStringLiteral(" ./usr/")) ||
                    line.endsWith(QStringLiteral(" ./")))
            << line.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral("root/root"))) << line.toStdString();
    }

    if (haveProgram(QStringLiteral("lintian"))) {
        const commandResult lintian = runCommand(QStringLiteral("lintian"), {deb}, {}, 600000);
        EXPECT_EQ(lintian.status, 0) << show(lintian);
        // No error, and no warning either: the one deliberate exception carries its override.
        EXPECT_FALSE(lintian.out.contains(QStringLiteral("E: "))) << show(lintian);
        EXPECT_FALSE(lintian.out.contains(QStringLiteral("W: "))) << show(lintian);
    } else {
        ADD_FAILURE() << "lintian is missing";
    }

    const QString root = dir.path() + QStringLiteral("/root");
    const commandResult extract = runCommand(QStringLiteral("dpkg-deb"), {"-x", deb, root});
    ASSERT_EQ(extract.status, 0) << show(extract);
    const commandResult stripped = runCommand(
        QStringLiteral("sh"), {"-c", QStringLiteral("objdump -h '%1' | grep -c debug_info || true")
                                         .arg(root + QStringLiteral("/usr/bin/trakmill"))});
    EXPECT_EQ(stripped.out.trimmed(), QStringLiteral("0")) << "trakmill is not stripped";
    const QString failure = convertCardWith(root + QStringLiteral("/usr/bin/fluxaro"));
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
}
