// cmake --install lays out an FHS tree under any prefix that still works after it is moved; the
// desktop entry, the metainfo and the man pages pass their validators and say what the
// programs do; --help and --version answer as on any Linux program.
#include "installRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QString readLink(const QString &path) {
    char buffer[4096];
    const ssize_t n = ::readlink(qPrintable(path), buffer, sizeof buffer - 1);
    return n < 0 ? QString() : QString::fromUtf8(buffer, static_cast<int>(n));
}

std::string show(const commandResult &r) {
    return QStringLiteral("status %1\n%2\n%3").arg(r.status).arg(r.out, r.err).toStdString();
}

const QString kShare = QStringLiteral(FLUXARO_BINARY_DIR "/share");

} // namespace

// Every file a user and the desktop look for, links in tools/ that follow the tree when it
// moves, no executable file under share/, and the moved tree converts a card.
TEST(install, treeIsCompleteAndRelocatable) {
    QTemporaryDir dir;
    const QString first = dir.path() + QStringLiteral("/first");
    const commandResult install =
        runCommand(QStringLiteral(FLUXARO_CMAKE),
                   {"--install", QStringLiteral(FLUXARO_BINARY_DIR), "--prefix", first});
    ASSERT_EQ(install.status, 0) << show(install);

    const QStringList tree = treeOf(first);
    for (const char *path : {"bin/fluxaro",
                             "bin/trakmill",
                             "bin/clipdater",
                             "share/fluxaro/Info.plist",
                             "share/fluxaro/translations/fluxaro_fr.qm",
                             "share/fluxaro/presetQt/pr1080p25",
                             "share/fluxaro/tools/trakmill",
                             "share/fluxaro/tools/clipdater",
                             "share/fluxaro/tools/ffmpeg",
                             "share/applications/org.fluxaro.Fluxaro.desktop",
                             "share/metainfo/org.fluxaro.Fluxaro.metainfo.xml",
                             "share/icons/hicolor/scalable/apps/org.fluxaro.Fluxaro.svg",
                             "share/icons/hicolor/16x16/apps/org.fluxaro.Fluxaro.png",
                             "share/icons/hicolor/48x48/apps/org.fluxaro.Fluxaro.png",
                             "share/icons/hicolor/256x256/apps/org.fluxaro.Fluxaro.png",
                             "share/man/man1/fluxaro.1.gz",
                             "share/man/man1/trakmill.1.gz",
                             "share/man/man1/clipdater.1.gz",
                             "share/doc/fluxaro/copyright",
                             "share/doc/fluxaro/changelog.gz"}) {
        EXPECT_TRUE(tree.contains(QLatin1String(path))) << path;
    }
    const QString tools = first + QStringLiteral("/share/fluxaro/tools");
    EXPECT_EQ(readLink(tools + QStringLiteral("/trakmill")),
              QStringLiteral("../../../bin/trakmill"));
    EXPECT_EQ(readLink(tools + QStringLiteral("/clipdater")),
              QStringLiteral("../../../bin/clipdater"));
    EXPECT_TRUE(QFileInfo(readLink(tools + QStringLiteral("/ffmpeg"))).isExecutable());
    for (const QString &path : tree) {
        const QFileInfo info(first + QLatin1Char('/') + path);
        if (path.startsWith(QStringLiteral("share/")) && info.isFile() && !info.isSymLink()) {
            EXPECT_FALSE(info.isExecutable()) << path.toStdString();
        }
    }

    const QString moved = dir.path() + QStringLiteral("/moved");
    ASSERT_TRUE(QDir().rename(first, moved));
    const commandResult facts = runCommand(
        moved + QStringLiteral("/bin/fluxaro"), {"--facts"},
        {QStringLiteral("XDG_STATE_HOME=") + dir.path() + QStringLiteral("/state"),
         QStringLiteral("XDG_CONFIG_HOME=") + dir.path() + QStringLiteral("/config"),
         QStringLiteral("XDG_RUNTIME_DIR=") + dir.path(), QStringLiteral("TMPDIR=") + dir.path()});
    EXPECT_TRUE(facts.out.contains(QStringLiteral("resources           : ") + moved +
                                   QStringLiteral("/share/fluxaro\n")))
        << show(facts);
    const commandResult components =
        runCommand(moved + QStringLiteral("/share/fluxaro/tools/trakmill"), {"-p"});
    EXPECT_EQ(components.status, 0) << show(components);
    const QString failure = convertCardWith(moved + QStringLiteral("/bin/fluxaro"));
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
}

// The desktop entry validates, starts fluxaro with the files, and declares a MIME type for every
// extension the information list accepts (as the system's MIME database names it, when it knows
// the extension as a video) but for the containers players own; the metainfo validates,
// launches the same desktop entry and provides the same types.
TEST(install, desktopEntryAndMetainfoValidate) {
    const QString entry = kShare + QStringLiteral("/applications/org.fluxaro.Fluxaro.desktop");
    const QString metainfo = kShare + QStringLiteral("/metainfo/org.fluxaro.Fluxaro.metainfo.xml");
    if (haveProgram(QStringLiteral("desktop-file-validate"))) {
        const commandResult r = runCommand(QStringLiteral("desktop-file-validate"), {entry});
        EXPECT_EQ(r.status, 0) << show(r);
        EXPECT_TRUE(r.out.trimmed().isEmpty()) << show(r);
    } else {
        ADD_FAILURE() << "desktop-file-validate is missing (desktop-file-utils)";
    }
    if (haveProgram(QStringLiteral("appstreamcli"))) {
        const commandResult r =
            runCommand(QStringLiteral("appstreamcli"), {"validate", "--no-net", metainfo});
        EXPECT_EQ(r.status, 0) << show(r);
    } else {
        ADD_FAILURE() << "appstreamcli is missing (appstream)";
    }

    QSettings desktop(entry, QSettings::IniFormat);
    desktop.beginGroup(QStringLiteral("Desktop Entry"));
    EXPECT_EQ(desktop.value(QStringLiteral("Exec")).toString(), QStringLiteral("fluxaro %F"));
    EXPECT_EQ(desktop.value(QStringLiteral("Icon")).toString(),
              QStringLiteral("org.fluxaro.Fluxaro"));
    const QString problems = desktopEntryProblems(kShare, QStringLiteral(FLUXARO_WEB_SITE_URL));
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    QFile raw(entry);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QStringList types =
        QRegularExpression(QStringLiteral("^MimeType=(.*)$"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(raw.readAll()))
            .captured(1)
            .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    EXPECT_FALSE(types.isEmpty());

    // Every accepted extension the MIME database knows as a video is claimed, but for the
    // containers players own (.mkv, .avi): opened from the window, never by a double click.
    QFile plist(QStringLiteral(FLUXARO_RESOURCE_DIR "/Info.plist"));
    ASSERT_TRUE(plist.open(QIODevice::ReadOnly));
    const QString plistText = QString::fromUtf8(plist.readAll());
    const QString list = plistText.section(QStringLiteral("CFBundleTypeExtensions"), 1)
                             .section(QStringLiteral("</array>"), 0, 0);
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("<string>([^<]+)</string>")).globalMatch(list);
    QMimeDatabase db;
    int checked = 0;
    int left = 0;
    while (it.hasNext()) {
        const QString ext = it.next().captured(1);
        const QMimeType type =
            db.mimeTypeForFile(QStringLiteral("clip.") + ext, QMimeDatabase::MatchExtension);
        if (!type.name().startsWith(QStringLiteral("video/"))) {
            continue; // unknown to the database, or another kind of file (.mod music)
        }
        if (playerOwnedTypes().contains(type.name())) {
            ++left;
            continue;
        }
        ++checked;
        bool covered = types.contains(type.name());
        for (const QString &alias : type.aliases()) {
            covered = covered || types.contains(alias);
        }
        EXPECT_TRUE(covered) << ext.toStdString() << " is " << type.name().toStdString();
    }
    EXPECT_GE(checked, 10);
    EXPECT_EQ(left, 2);

    QFile meta(metainfo);
    ASSERT_TRUE(meta.open(QIODevice::ReadOnly));
    const QString metaText = QString::fromUtf8(meta.readAll());
    EXPECT_TRUE(metaText.contains(QStringLiteral(
        "<launchable type=\"desktop-id\">org.fluxaro.Fluxaro.desktop</launchable>")));
    EXPECT_TRUE(metaText.contains(QStringLiteral("release version=\"" FLUXARO_VERSION_STR "\"")));
    // Every screenshot it shows is one of the pictures of docs/, published under the same name.
    const QRegularExpression image(
        QStringLiteral("<image type=\"source\">[^<]*/docs/([^<]+)</image>"));
    int screenshots = 0;
    for (auto shot = image.globalMatch(metaText); shot.hasNext(); ++screenshots) {
        const QString name = shot.next().captured(1);
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(FLUXARO_SOURCE_DIR "/docs/") + name))
            << name.toStdString();
    }
    EXPECT_GE(screenshots, 1);
}

// The three man pages render without a warning from the formatter, and fluxaro's names every
// option its --help lists.
TEST(install, manPagesRenderAndCoverTheOptions) {
    ASSERT_TRUE(haveProgram(QStringLiteral("man"))) << "man is missing (man-db)";
    QString fluxaroPage;
    for (const char *page : {"fluxaro", "trakmill", "clipdater"}) {
        const QString path = kShare + QStringLiteral("/man/man1/%1.1.gz").arg(QLatin1String(page));
        const commandResult r = runCommand(QStringLiteral("man"), {"--warnings", "-l", path},
                                           {"MANWIDTH=80", "PAGER=cat"});
        EXPECT_EQ(r.status, 0) << page << show(r);
        EXPECT_TRUE(r.err.trimmed().isEmpty()) << page << show(r);
        EXPECT_TRUE(r.out.contains(QStringLiteral("NAME"))) << page;
        EXPECT_TRUE(r.out.contains(QLatin1String(page) + QStringLiteral(" - "))) << page;
        if (QLatin1String(page) == QLatin1String("fluxaro")) {
            fluxaroPage = r.out;
        }
    }
    const commandResult help = runCommand(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), {"--help"});
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("(--[a-z]+)")).globalMatch(help.out);
    int options = 0;
    while (it.hasNext()) {
        const QString option = it.next().captured(1);
        ++options;
        EXPECT_TRUE(fluxaroPage.contains(option)) << option.toStdString();
    }
    EXPECT_GE(options, 12);
}

// The window mode without a display says to use the batch mode and exits 1 (Qt aborted it).
TEST(install, windowWithoutDisplaySaysToUseBatch) {
    const QString problems = noDisplayProblems(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"));
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
}

// --help and --version print on standard output and exit 0 before anything starts (no log is
// written), also after other options.
TEST(install, helpAndVersion) {
    QTemporaryDir state;
    const QStringList env{QStringLiteral("XDG_STATE_HOME=") + state.path()};
    const QString fluxaro = QStringLiteral(FLUXARO_BIN_DIR "/fluxaro");
    const commandResult version = runCommand(fluxaro, {"--version"}, env);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("fluxaro " FLUXARO_VERSION_STR "\n"));
    EXPECT_EQ(runCommand(fluxaro, {"-V"}, env).out, version.out);
    for (const QStringList &args :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"--batch", "x.mts", "--help"}}) {
        const commandResult help = runCommand(fluxaro, args, env);
        EXPECT_EQ(help.status, 0) << show(help);
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: fluxaro"))) << show(help);
        EXPECT_TRUE(help.err.isEmpty()) << show(help);
    }
    EXPECT_FALSE(QFileInfo::exists(state.path() + QStringLiteral("/Fluxaro/Details.log")));
}
