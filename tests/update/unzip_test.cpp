// Unpacking: folders, "\" separators, dates, overwrite; and the refusals that keep every write
// inside the destination and leave nothing half-unpacked.
#include "testEnv.h"
#include "update/QuillZipArchive.h"
#include "zipMaker.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QStringList treeOf(const QString &folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        names.append(QDir(folder).relativeFilePath(it.next()));
    }
    names.sort();
    return names;
}

bool refused(const QString &archive, const QString &dest, int32_t code) {
    zipArchiveError error;
    const bool ok = QuillZipArchive::unzipFileAtPath(archive, dest, true, QString(), &error);
    return !ok && error.code == code &&
           error.domain == QStringLiteral("QuillZipArchiveErrorDomain");
}

TEST(Unzip, FoldersBackslashesDatesAndOverwrite) {
    const QString work = freshWorkDir(QStringLiteral("unzip-ok"));
    const QString archive = work + QStringLiteral("/a.zip");
    ASSERT_TRUE(makeZip(archive, {{"dir/", {}},
                                  {"dir/one.txt", "one"},
                                  {"win\\sub\\two.txt", "two"},
                                  {"./three.txt", "three"}}));
    const QString dest = work + QStringLiteral("/out");
    ASSERT_TRUE(QuillZipArchive::unzipFileAtPath(archive, dest));
    EXPECT_EQ(treeOf(dest), (QStringList{"dir", "dir/one.txt", "three.txt", "win", "win/sub",
                                         "win/sub/two.txt"}));
    EXPECT_EQ(readBytes(dest + QStringLiteral("/win/sub/two.txt")), QByteArray("two"));
    EXPECT_EQ(QFileInfo(dest + QStringLiteral("/dir/one.txt")).lastModified(),
              QDateTime(QDate(2020, 5, 17), QTime(10, 30, 20)));

    // Over existing files: replaced with overwrite on, kept with it off.
    ASSERT_TRUE(makeZip(archive, {{"dir/one.txt", "new one"}}));
    zipArchiveError error;
    ASSERT_TRUE(QuillZipArchive::unzipFileAtPath(archive, dest, false, QString(), &error));
    EXPECT_EQ(readBytes(dest + QStringLiteral("/dir/one.txt")), QByteArray("one"));
    ASSERT_TRUE(QuillZipArchive::unzipFileAtPath(archive, dest));
    EXPECT_EQ(readBytes(dest + QStringLiteral("/dir/one.txt")), QByteArray("new one"));
    EXPECT_FALSE(treeOf(dest).join(QLatin1Char(' ')).contains(QStringLiteral(".unpack")));
}

TEST(Unzip, UnsafeNames) {
    EXPECT_FALSE(QuillZipArchive::safeEntryName("../x"));
    EXPECT_FALSE(QuillZipArchive::safeEntryName("a/../../x"));
    EXPECT_FALSE(QuillZipArchive::safeEntryName("a\\..\\..\\x"));
    EXPECT_FALSE(QuillZipArchive::safeEntryName("/etc/x"));
    EXPECT_FALSE(QuillZipArchive::safeEntryName("\\etc\\x"));
    EXPECT_FALSE(QuillZipArchive::safeEntryName("C:/x"));
    EXPECT_FALSE(QuillZipArchive::safeEntryName(QByteArray("a\0b", 3)));
    EXPECT_FALSE(QuillZipArchive::safeEntryName("./"));
    EXPECT_EQ(QuillZipArchive::safeEntryName("a//./b"), QStringLiteral("a/b"));
    EXPECT_EQ(QuillZipArchive::safeEntryName("a\\b\\"), QStringLiteral("a/b/"));
    EXPECT_EQ(QuillZipArchive::safeEntryName("..a/b.."), QStringLiteral("..a/b.."));
}

TEST(Unzip, RefusedArchivesWriteNothing) {
    const QString work = freshWorkDir(QStringLiteral("unzip-bad"));
    const QString dest = work + QStringLiteral("/out");
    QDir().mkpath(dest);
    writeBytes(dest + QStringLiteral("/keep.txt"), "keep");
    const QString archive = work + QStringLiteral("/bad.zip");

    ASSERT_TRUE(makeZip(archive, {{"fine.txt", "x"}, {"../escaped.txt", "x"}}));
    EXPECT_TRUE(refused(archive, dest, QuillZipArchive::errUnsafeEntry));
    EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("/escaped.txt")));

    ASSERT_TRUE(makeZip(archive, {{"fine.txt", "x"}, {"/tmp/absolute-fluxaro-test.txt", "x"}}));
    EXPECT_TRUE(refused(archive, dest, QuillZipArchive::errUnsafeEntry));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/absolute-fluxaro-test.txt")));

    zipMakerEntry link{"link", "/etc"};
    link.symlink = true;
    ASSERT_TRUE(makeZip(archive, {link, {"link/passwd", "x"}}));
    EXPECT_TRUE(refused(archive, dest, QuillZipArchive::errUnsafeEntry));

    // A link already in the destination is never written through.
    QDir().mkpath(work + QStringLiteral("/outside"));
    ASSERT_TRUE(QFile::link(work + QStringLiteral("/outside"), dest + QStringLiteral("/door")));
    ASSERT_TRUE(makeZip(archive, {{"fine.txt", "x"}, {"door/x.txt", "x"}}));
    EXPECT_TRUE(refused(archive, dest, QuillZipArchive::errUnsafeEntry));
    EXPECT_TRUE(QDir(work + QStringLiteral("/outside")).isEmpty());
    QFile::remove(dest + QStringLiteral("/door"));

    // Limits on entries and bytes.
    ASSERT_TRUE(makeZip(archive, {{"a", "1"}, {"b", "2"}, {"c", "3"}}));
    zipArchiveError error;
    zipArchiveLimits few;
    few.maxEntries = 2;
    EXPECT_FALSE(QuillZipArchive::unzipFileAtPath(archive, dest, true, QString(), &error, few));
    EXPECT_EQ(error.code, QuillZipArchive::errTooLarge);
    zipArchiveLimits small;
    small.maxTotalBytes = 2;
    EXPECT_FALSE(QuillZipArchive::unzipFileAtPath(archive, dest, true, QString(), &error, small));

    EXPECT_EQ(treeOf(dest), QStringList{QStringLiteral("keep.txt")});
}

TEST(Unzip, DamagedArchivesFailCleanly) {
    const QString work = freshWorkDir(QStringLiteral("unzip-damaged"));
    const QString dest = work + QStringLiteral("/out");
    const QString archive = work + QStringLiteral("/d.zip");
    QByteArray big;
    for (int i = 0; i < 20000; ++i) {
        big += QByteArray::number(i * 7919);
    }
    ASSERT_TRUE(makeZip(archive, {{"first.txt", "first"}, {"big.bin", big}}));
    const QByteArray good = readBytes(archive);

    // A flipped byte in the compressed data: a bad checksum or an undecodable stream.
    QByteArray flipped = good;
    const qsizetype at = good.indexOf("big.bin") + 200;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x55);
    writeBytes(archive, flipped);
    EXPECT_TRUE(refused(archive, dest, QuillZipArchive::errDamagedEntry));
    EXPECT_TRUE(treeOf(dest).isEmpty());

    // Truncated: the central directory is gone.
    writeBytes(archive, good.left(good.size() / 2));
    EXPECT_TRUE(refused(archive, dest, QuillZipArchive::errOpenArchive));

    // Not an archive at all.
    writeBytes(archive, "<html>garbage</html>");
    EXPECT_TRUE(refused(archive, dest, QuillZipArchive::errOpenArchive));
    EXPECT_TRUE(treeOf(dest).isEmpty());
}

} // namespace
