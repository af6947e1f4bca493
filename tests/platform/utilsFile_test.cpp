#include "platform/utilsFile.h"

#include "testEnv.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString homeStr() {
    return testRootStr() + QStringLiteral("/users/me");
}

bool touch(const QString &path, const QByteArray &bytes = "x") {
    return writeBytes(path, bytes);
}

} // namespace

// The guard works on the folders computed from HOME and the XDG values, which the test main
// points into a temporary tree; nothing here ever touches a real folder.
TEST(RmCocoaGuard, RefusesGuardedFoldersOnATemporaryTree) {
    const QString home = homeStr();
    const QString videos = home + QStringLiteral("/Videos");
    ASSERT_TRUE(QDir().mkpath(videos + QStringLiteral("/clip")));
    ASSERT_TRUE(touch(videos + QStringLiteral("/clip/a.mov")));
    ASSERT_TRUE(QDir().mkpath(testRootStr() + QStringLiteral("/users/other")));

    EXPECT_FALSE(rmCocoa(home));
    EXPECT_FALSE(rmCocoa(home + QStringLiteral("/")));
    EXPECT_FALSE(rmCocoa(QStringLiteral("~")));
    EXPECT_FALSE(rmCocoa(QStringLiteral("~/")));
    EXPECT_FALSE(rmCocoa(videos));
    EXPECT_FALSE(rmCocoa(videos + QStringLiteral("/")));
    EXPECT_FALSE(rmCocoa(QStringLiteral("~/Videos/")));
    EXPECT_FALSE(rmCocoa(home + QStringLiteral("/Videos/clip/../")));
    EXPECT_FALSE(rmCocoa(home + QStringLiteral("//./Videos")));
    // Siblings of the home folder are other users' homes.
    EXPECT_FALSE(rmCocoa(testRootStr() + QStringLiteral("/users/other")));
    EXPECT_TRUE(QFileInfo(videos + QStringLiteral("/clip/a.mov")).exists());
    EXPECT_TRUE(QFileInfo(testRootStr() + QStringLiteral("/users/other")).isDir());

    // A folder inside the videos folder is not guarded.
    EXPECT_TRUE(rmCocoa(videos + QStringLiteral("/clip")));
    EXPECT_FALSE(QFileInfo::exists(videos + QStringLiteral("/clip")));
}

TEST(RmCocoaGuard, SymbolicLinksNeitherEscapeNorExtendTheGuard) {
    const QString work = freshWorkDir(QStringLiteral("links"));
    const QString usersLink = work + QStringLiteral("/users-link");
    ASSERT_TRUE(ln_sCocoa(testRootStr() + QStringLiteral("/users"), usersLink));
    // The home folder reached through a link to its parent is still the home folder.
    EXPECT_FALSE(rmCocoa(usersLink + QStringLiteral("/me")));
    EXPECT_TRUE(QFileInfo(homeStr()).isDir());

    // Deleting a link to the home folder removes the link only.
    const QString homeLink = work + QStringLiteral("/home-link");
    ASSERT_TRUE(ln_sCocoa(homeStr(), homeLink));
    ASSERT_TRUE(touch(homeStr() + QStringLiteral("/keep.txt")));
    EXPECT_TRUE(rmCocoa(homeLink));
    EXPECT_FALSE(QFileInfo(homeLink).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(homeStr() + QStringLiteral("/keep.txt")));
}

TEST(RmCocoaGuard, SystemFoldersAndWildcardsByName) {
    // Only the guard is asked here: these paths are never handed to rmCocoa.
    for (const QString &path :
         {QStringLiteral("/"), QStringLiteral("/etc"), QStringLiteral("/usr/"),
          QStringLiteral("/home/someone"), QStringLiteral("/media/usbstick"),
          QStringLiteral("/mnt/disk"), QStringLiteral("/Volumes/Disk"),
          QStringLiteral("/Users/bob"),
          QStringLiteral("/run/media/") + qEnvironmentVariable("USER", QStringLiteral("root")) +
              QStringLiteral("/CARD"),
          QStringLiteral("/*"), QStringLiteral("*"), QStringLiteral("/Volumes/*"),
          QStringLiteral("/Volumes/Users/*x"), QStringLiteral("/home/../etc"), QString()}) {
        EXPECT_TRUE(rmCocoaIsGuarded(path)) << path.toStdString();
    }
    for (const QString &path :
         {QStringLiteral("/Volumes/Disk/folder"), QStringLiteral("/media/usbstick/DCIM"),
          QStringLiteral("/mnt/disk/movies/a.mts")}) {
        EXPECT_FALSE(rmCocoaIsGuarded(path)) << path.toStdString();
    }
}

TEST(FileOps, RmCocoaAndMkdirCocoa) {
    const QString work = freshWorkDir(QStringLiteral("rm"));
    EXPECT_TRUE(rmCocoa(work + QStringLiteral("/never-there")));
    EXPECT_FALSE(rmCocoa(QString()));

    const QString deep = work + QStringLiteral("/a/b/c");
    EXPECT_TRUE(mkdirCocoa(deep));
    EXPECT_TRUE(mkdirCocoa(deep)); // already there
    ASSERT_TRUE(touch(deep + QStringLiteral("/.hidden")));
    EXPECT_TRUE(rmCocoa(work + QStringLiteral("/a/")));
    EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("/a")));

    ASSERT_TRUE(touch(work + QStringLiteral("/file")));
    EXPECT_FALSE(mkdirCocoa(work + QStringLiteral("/file/sub")));
    EXPECT_FALSE(mkdirCocoa(QString()));

    // A dangling link is an item too.
    ASSERT_TRUE(ln_sCocoa(work + QStringLiteral("/nothing"), work + QStringLiteral("/dangling")));
    EXPECT_TRUE(rmCocoa(work + QStringLiteral("/dangling")));
    EXPECT_FALSE(QFileInfo(work + QStringLiteral("/dangling")).isSymLink());
}

TEST(FileOps, MvCocoaReplacesOnlyWhenTold) {
    const QString work = freshWorkDir(QStringLiteral("mv"));
    const QString src = work + QStringLiteral("/src.mov");
    const QString dst = work + QStringLiteral("/dst.mov");
    ASSERT_TRUE(touch(src, "new"));
    ASSERT_TRUE(touch(dst, "old"));
    EXPECT_FALSE(mvCocoa(src, dst));
    EXPECT_FALSE(mvCocoa(src, dst, QStringLiteral("n")));
    EXPECT_FALSE(mvCocoa(src, dst, QStringLiteral("Y")));
    EXPECT_EQ(readBytes(dst), QByteArray("old"));
    EXPECT_TRUE(mvCocoa(src, dst, QStringLiteral("y")));
    EXPECT_EQ(readBytes(dst), QByteArray("new"));
    EXPECT_FALSE(QFileInfo::exists(src));

    EXPECT_FALSE(mvCocoa(src, dst, QStringLiteral("y"))); // source gone
    EXPECT_FALSE(mvCocoa(QString(), dst));

    // Replacing a file by itself keeps it.
    EXPECT_TRUE(mvCocoa(dst, work + QStringLiteral("/./dst.mov"), QStringLiteral("y")));
    EXPECT_EQ(readBytes(dst), QByteArray("new"));

    // Folders move with their contents.
    ASSERT_TRUE(mkdirCocoa(work + QStringLiteral("/folder/sub")));
    ASSERT_TRUE(touch(work + QStringLiteral("/folder/sub/f")));
    EXPECT_TRUE(mvCocoa(work + QStringLiteral("/folder"), work + QStringLiteral("/moved")));
    EXPECT_TRUE(QFileInfo::exists(work + QStringLiteral("/moved/sub/f")));
}

TEST(FileOps, Listings) {
    const QString work = freshWorkDir(QStringLiteral("ls"));
    for (const QString &name :
         {QStringLiteral("a.MTS"), QStringLiteral("b.mts"), QStringLiteral("c.mov"),
          QStringLiteral("noext"), QStringLiteral(".hidden")}) {
        ASSERT_TRUE(touch(work + QLatin1Char('/') + name));
    }
    ASSERT_TRUE(mkdirCocoa(work + QStringLiteral("/sub/deeper")));
    ASSERT_TRUE(touch(work + QStringLiteral("/sub/deeper/x.mts")));

    const std::optional<QStringList> all = lsCocoa(work);
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->size(), 6);
    EXPECT_TRUE(all->contains(work + QStringLiteral("/.hidden")));
    EXPECT_TRUE(all->contains(work + QStringLiteral("/sub")));

    std::optional<QStringList> mts = lsGrepCocoa(work + QLatin1Char('/'), QStringLiteral("MTS"));
    ASSERT_TRUE(mts.has_value());
    mts->sort();
    EXPECT_EQ(*mts,
              (QStringList{work + QStringLiteral("/a.MTS"), work + QStringLiteral("/b.mts")}));
    std::optional<QStringList> bare = lsGrepCocoa(work, QString());
    ASSERT_TRUE(bare.has_value());
    bare->sort();
    EXPECT_EQ(*bare, (QStringList{work + QStringLiteral("/.hidden"),
                                  work + QStringLiteral("/noext"), work + QStringLiteral("/sub")}));

    EXPECT_FALSE(lsCocoa(QString()).has_value());
    EXPECT_TRUE(lsCocoa(work + QStringLiteral("/missing"))->isEmpty());

    const QStringList tree = lsCocoaRecursive(work);
    EXPECT_EQ(tree.size(), 8);
    const qsizetype sub = tree.indexOf(work + QStringLiteral("/sub"));
    const qsizetype deeper = tree.indexOf(work + QStringLiteral("/sub/deeper"));
    const qsizetype leaf = tree.indexOf(work + QStringLiteral("/sub/deeper/x.mts"));
    ASSERT_GE(sub, 0);
    EXPECT_LT(sub, deeper);
    EXPECT_LT(deeper, leaf);
    EXPECT_TRUE(lsCocoaRecursive(work + QStringLiteral("/missing")).isEmpty());
}

// The walk of a deep tree holds one folder open at a time, so a low descriptor limit does not
// stop it; a folder it can't open all the same (no descriptor left) is said with the system's
// reason instead of being taken for an empty one.
TEST(FileOps, RecursiveListingUnderALowDescriptorLimit) {
    QString deepest = freshWorkDir(QStringLiteral("deep"));
    const QString top = deepest;
    for (int level = 0; level < 40; ++level) {
        deepest += QStringLiteral("/d%1").arg(level);
    }
    ASSERT_TRUE(QDir().mkpath(deepest));
    ASSERT_TRUE(writeBytes(deepest + QStringLiteral("/clip.mts"), "x"));

    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    // The lowest free descriptor: with the limit there, no descriptor is left at all.
    const int lowest = ::dup(0);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    auto limitTo = [&](rlim_t count) {
        struct rlimit limit = before;
        limit.rlim_cur = count;
        return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    };
    ASSERT_TRUE(limitTo(static_cast<rlim_t>(lowest) + 2));
    const folderListing roomy = lsCocoaRecursiveListing(top);
    ASSERT_TRUE(limitTo(static_cast<rlim_t>(lowest)));
    const folderListing starved = lsCocoaRecursiveListing(top);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &before), 0);

    EXPECT_TRUE(roomy.unread.isEmpty()) << roomy.unread.join(", ").toStdString();
    EXPECT_TRUE(roomy.items.contains(deepest + QStringLiteral("/clip.mts")));
    EXPECT_TRUE(starved.items.isEmpty());
    ASSERT_EQ(starved.unread.size(), 1);
    EXPECT_EQ(starved.unread.first(),
              top + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(EMFILE)));
}

TEST(FileOps, PresenceSizesAndSpace) {
    const QString work = freshWorkDir(QStringLiteral("sizes"));
    const QString file = work + QStringLiteral("/f.bin");
    ASSERT_TRUE(touch(file, QByteArray(3 * 1024, 'z')));
    EXPECT_TRUE(testPresenceCocoa(file));
    EXPECT_TRUE(testPresenceC(work));
    EXPECT_FALSE(testPresenceC(work + QStringLiteral("/missing")));
    EXPECT_FALSE(testPresenceC(QString()));
    if (::geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::WriteOwner));
        EXPECT_FALSE(testPresenceC(file));
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    EXPECT_DOUBLE_EQ(poidsFile(file), 3072.0);
    EXPECT_DOUBLE_EQ(poidsFile(file, QStringLiteral("o")), 3072.0);
    EXPECT_DOUBLE_EQ(poidsFile(file, QStringLiteral("O")), 3072.0);
    EXPECT_DOUBLE_EQ(poidsFile(file, QStringLiteral("k")), 3.0);
    EXPECT_DOUBLE_EQ(poidsFile(work + QStringLiteral("/./f.bin")), 3072.0);
    EXPECT_DOUBLE_EQ(poidsFile(work + QStringLiteral("/missing")), -1.0);
    EXPECT_DOUBLE_EQ(poidsFile(QString()), -1.0);

    EXPECT_GE(espaceDiskDispo(work), 0);
    EXPECT_EQ(espaceDiskDispo(work + QStringLiteral("/missing")), -1);
    EXPECT_EQ(espaceDiskDispo(QString()), -1);

    EXPECT_TRUE(droitsAcces(work));
    EXPECT_TRUE(droitsAcces(file));
    // Probing a folder that does not exist creates nothing.
    EXPECT_FALSE(droitsAcces(work + QStringLiteral("/no/such/folder/")));
    EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("/no")));
    EXPECT_EQ(lsCocoa(work)->size(), 1); // no probe left behind
}

TEST(FileOps, PathsAndLinks) {
    const QString work = freshWorkDir(QStringLiteral("paths"));
    ASSERT_TRUE(touch(work + QStringLiteral("/target.mov")));
    ASSERT_TRUE(ln_sCocoa(work + QStringLiteral("/target.mov"), work + QStringLiteral("/l1")));
    ASSERT_TRUE(ln_sCocoa(work + QStringLiteral("/l1"), work + QStringLiteral("/l2")));
    EXPECT_FALSE(ln_sCocoa(work + QStringLiteral("/target.mov"), work + QStringLiteral("/l1")));
    EXPECT_EQ(pathByResolvingAlias(work + QStringLiteral("/l2")),
              work + QStringLiteral("/target.mov"));
    EXPECT_EQ(pathByResolvingAlias(work + QStringLiteral("/target.mov")),
              work + QStringLiteral("/target.mov"));
    ASSERT_TRUE(ln_sCocoa(work + QStringLiteral("/gone"), work + QStringLiteral("/broken")));
    EXPECT_EQ(pathByResolvingAlias(work + QStringLiteral("/broken")),
              work + QStringLiteral("/broken"));

    EXPECT_EQ(fichier_dirname(QStringLiteral("/a/b/c.mts")), QStringLiteral("/a/b/"));
    EXPECT_EQ(fichier_dirname(QStringLiteral("/a/b/")), QStringLiteral("/a/"));
    EXPECT_EQ(fichier_dirname(QStringLiteral("/a")), QStringLiteral("/"));
    EXPECT_EQ(fichier_dirname(QStringLiteral("c.mts")), QStringLiteral("./"));
    EXPECT_EQ(fichier_dirname(QStringLiteral("~/x.mts")), homeStr() + QStringLiteral("/"));
    EXPECT_EQ(fichier_dirname(QStringLiteral("/tv/Show.eyetv/Show.mpg")), QStringLiteral("/tv/"));
    EXPECT_EQ(fichier_dirname(QStringLiteral("/tv/Show.eyetv/sub/f.mpg")),
              QStringLiteral("/tv/Show.eyetv/sub/"));
    EXPECT_EQ(fichier_dirname(QStringLiteral("/p/My.iMovieProject/Shared Movies/iDVD/x")),
              QStringLiteral("/p/"));
    EXPECT_EQ(fichier_dirname(QString()), QString());

    EXPECT_EQ(trimStr(QStringLiteral("/x/a:b.txt"), 10), QStringLiteral("/x/a-b.txt"));
    EXPECT_EQ(trimStr(QStringLiteral("/x/a:b.txt"), 1), QStringLiteral("/x/a.txt"));
    EXPECT_EQ(trimStr(QStringLiteral("a`b`c.mov"), 2), QStringLiteral("ab.mov"));
    EXPECT_EQ(trimStr(QStringLiteral("/x/name.averyveryverylongext"), 20),
              QStringLiteral("/x/name"));
    EXPECT_EQ(trimStr(QStringLiteral("/x/name.mov"), -4), QStringLiteral("/x/.mov"));

    EXPECT_EQ(oldSrcPathStr2DstPathStr(QStringLiteral("a.mts")), QStringLiteral("a_MASTER.mts"));
    EXPECT_EQ(oldSrcPathStr2DstPathStr(
                  QStringLiteral("/Volumes/Disk/Movies/my.holiday.clip.number.one.mts")),
              QStringLiteral("/Volumes/Disk/Movies/my_holiday_clip_numb_MASTER.mts"));
}

TEST(EyetvBundle, FileDirectlyInsideABundleStandsForIt) {
    EXPECT_EQ(EyetvBundle(QStringLiteral("/v/Recording.eyetv/Recording.mpg")),
              QStringLiteral("/v/Recording.eyetv"));
    EXPECT_EQ(EyetvBundle(QStringLiteral("/v/Recording.eyetv/sub/file.mpg")),
              QStringLiteral("/v/Recording.eyetv/sub/file.mpg"));
    EXPECT_EQ(EyetvBundle(QStringLiteral("/v/Recording.mpg")), QStringLiteral("/v/Recording.mpg"));
    EXPECT_EQ(EyetvBundle(QStringLiteral("/v/Recording.eyetv")),
              QStringLiteral("/v/Recording.eyetv"));
    EXPECT_EQ(EyetvBundle(QString()), std::nullopt);
}

TEST(FileOps, WritingText) {
    const QString work = freshWorkDir(QStringLiteral("write"));
    const QString path = work + QStringLiteral("/summary.log");
    EXPECT_TRUE(writeTextFileUtf8Bom(path, QStringLiteral("été\n")));
    EXPECT_TRUE(writeTextFileUtf8Bom(path, QStringLiteral("hiver")));
    EXPECT_EQ(readBytes(path), QByteArray("\xEF\xBB\xBF") + QStringLiteral("été\nhiver").toUtf8());

    const QString plain = work + QStringLiteral("/plain.txt");
    EXPECT_TRUE(writeTextFileUtf8(plain, QStringLiteral("a"), false));
    EXPECT_EQ(readBytes(plain), QByteArray("a"));
    EXPECT_FALSE(writeTextFileUtf8(plain, QString(), false));
    EXPECT_FALSE(writeTextFileUtf8(QString(), QStringLiteral("a"), false));
    EXPECT_FALSE(writeTextFileUtf8(work + QStringLiteral("/no/dir/f"), QStringLiteral("a"), true));

    // The mark goes over the first bytes; it is not inserted.
    EXPECT_TRUE(writeUtf8Bom(plain));
    EXPECT_EQ(readBytes(plain), QByteArray("\xEF\xBB\xBF"));
    EXPECT_FALSE(writeUtf8Bom(work + QStringLiteral("/missing")));
}

TEST(FileOps, ReadingText) {
    const QString work = freshWorkDir(QStringLiteral("read"));
    const QString utf8 = work + QStringLiteral("/utf8.txt");
    ASSERT_TRUE(writeBytes(utf8, QStringLiteral("Noël\n").toUtf8()));
    EXPECT_EQ(readContentsTxtUTF8(utf8), QStringLiteral("Noël\n"));

    const QString utf16 = work + QStringLiteral("/utf16.txt");
    ASSERT_TRUE(writeBytes(utf16, QByteArray("\xFF\xFE"
                                             "a\0b\0",
                                             6)));
    EXPECT_EQ(readContentsTxtUTF8(utf16), QStringLiteral("ab"));

    EXPECT_FALSE(readContentsTxtUTF8(work + QStringLiteral("/missing")).has_value());
    EXPECT_FALSE(readContentsTxtUTF8(work).has_value());
    EXPECT_FALSE(readContentsTxtUTF8(QString()).has_value());

    // Bytes that are not UTF-8, in a file whose name would break or hijack a shell command
    // line: the text comes back byte for byte, the file is unchanged and nothing else runs.
    // The command runs in the work folder, where an injected command would leave "pwned".
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work));
    const QString pwned = work + QStringLiteral("/pwned");
    const QString hostile =
        work + QStringLiteral("/it's \"$(touch pwned)\" `touch pwned` 100%\nname.txt");
    const QByteArray latin1("caf\xE9 cr\xE8me\n");
    ASSERT_TRUE(writeBytes(hostile, latin1));
    EXPECT_EQ(readContentsTxtUTF8(hostile), QString::fromLatin1(latin1));
    EXPECT_EQ(readBytes(hostile), latin1);
    EXPECT_FALSE(QFileInfo::exists(pwned));
    EXPECT_FALSE(QFileInfo::exists(hostile + QStringLiteral(".txt")));
    QDir::setCurrent(previous);

    // A file beside it with the name the copy would take is left alone.
    const QString other = work + QStringLiteral("/notes");
    ASSERT_TRUE(writeBytes(other, latin1));
    ASSERT_TRUE(writeBytes(other + QStringLiteral(".txt"), "mine"));
    EXPECT_EQ(readContentsTxtUTF8(other), QString::fromLatin1(latin1));
    EXPECT_EQ(readBytes(other + QStringLiteral(".txt")), QByteArray("mine"));

    const QString header = work + QStringLiteral("/raw.y4m");
    ASSERT_TRUE(writeBytes(header, "YUV4MPEG2 W720 H576 F25:1 It\nFRAME\n"));
    EXPECT_EQ(readContentsTxtC(header, 100), QStringLiteral("YUV4MPEG2 W720 H576 F25:1 It\n"));
    EXPECT_EQ(readContentsTxtC(header, 10), QStringLiteral("YUV4MPEG2"));
    const QString empty = work + QStringLiteral("/empty");
    ASSERT_TRUE(writeBytes(empty, QByteArray()));
    EXPECT_FALSE(readContentsTxtC(empty, 100).has_value());
    EXPECT_FALSE(readContentsTxtC(work + QStringLiteral("/missing"), 100).has_value());
}

// Across file systems a move is a copy, and the source goes only once the copy is whole.
TEST(FileOps, MvCocoaAcrossFileSystems) {
    struct stat shm {};
    struct stat work {};
    const QString here = freshWorkDir(QStringLiteral("mv-xdev"));
    if (::stat("/dev/shm", &shm) != 0 || ::stat(QFile::encodeName(here).constData(), &work) != 0 ||
        shm.st_dev == work.st_dev || ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no second writable file system";
    }
    const QString other = QStringLiteral("/dev/shm/fluxaro-core-test-%1").arg(::getpid());
    ASSERT_TRUE(mkdirCocoa(other + QStringLiteral("/folder/sub")));
    ASSERT_TRUE(touch(other + QStringLiteral("/folder/sub/clip.mts"), "frames"));
    ASSERT_TRUE(ln_sCocoa(QStringLiteral("clip.mts"), other + QStringLiteral("/folder/sub/link")));
    EXPECT_TRUE(mvCocoa(other + QStringLiteral("/folder"), here + QStringLiteral("/folder")));
    EXPECT_EQ(readBytes(here + QStringLiteral("/folder/sub/clip.mts")), QByteArray("frames"));
    EXPECT_TRUE(QFileInfo(here + QStringLiteral("/folder/sub/link")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(other + QStringLiteral("/folder")));
    QDir(other).removeRecursively();
}

// A new account has no $XDG_DATA_HOME yet. Qt's trash then comes out as the empty path, which it
// takes for the current folder: "files" and "info" appeared there and the item went into
// them. The home trash is made where it belongs instead, and the current folder stays as it
// was.
TEST(FileOps, TrashOfANewAccountIsNeverTheCurrentFolder) {
    const QString root = freshWorkDir(QStringLiteral("new-account"));
    const QString data = root + QStringLiteral("/home/.local/share");
    const QString cwd = root + QStringLiteral("/cwd");
    ASSERT_TRUE(QDir().mkpath(cwd));
    const QString item = root + QStringLiteral("/old.txt");
    ASSERT_TRUE(writeBytes(item, "old"));
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    const QString savedCwd = QDir::currentPath();
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    QDir::setCurrent(cwd);

    QString trashedAt;
    EXPECT_TRUE(moveToTrashChecked(item, &trashedAt));
    EXPECT_TRUE(QDir(cwd).isEmpty())
        << QDir(cwd).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(item));
    EXPECT_TRUE(trashedAt.startsWith(data + QStringLiteral("/Trash/files/")))
        << trashedAt.toStdString();
    ASSERT_TRUE(writeBytes(item, "again"));
    EXPECT_EQ(moveToTrash(item), 1);
    EXPECT_TRUE(QDir(cwd).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(item));

    QDir::setCurrent(savedCwd);
    qputenv("XDG_DATA_HOME", savedData);
}
