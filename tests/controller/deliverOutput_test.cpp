// The judged output's move to its final name: it replaces only what the person chose to
// replace; a name taken meanwhile (another run into the same folder, another user) is left as
// it is and the output takes the next free numbered name.
#include "controller/encActions.h"
#include "controller/jobRecord.h"
#include "platform/utilsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

void write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

} // namespace

TEST(deliverOutput, takenNameIsLeftAndTheNextFreeOneTaken) {
    QTemporaryDir dir;
    const QString working = dir.filePath(QStringLiteral(".fluxaro-0123456789.mov"));
    const QString final = dir.filePath(QStringLiteral("clip-2024-05-18 10;15;30-00001.mov"));
    const QString second = dir.filePath(QStringLiteral("clip-2024-05-18 10;15;30-00001 2.mov"));
    const QString third = dir.filePath(QStringLiteral("clip-2024-05-18 10;15;30-00001 3.mov"));

    // Free: the output takes the name.
    write(working, "movie one");
    QVariantMap job{{jobKey::dstPath, working}, {jobKey::finalPath, final}};
    EXPECT_EQ(encDeliverOutput(job), QString());
    EXPECT_EQ(read(final), "movie one");
    EXPECT_FALSE(QFile::exists(working));

    // Taken by another run's movie and its " 2": both stay, this one is " 3".
    write(second, "another run's");
    write(working, "movie two");
    job = QVariantMap{{jobKey::dstPath, working}, {jobKey::finalPath, final}};
    EXPECT_EQ(encDeliverOutput(job), QString());
    EXPECT_EQ(read(final), "movie one");
    EXPECT_EQ(read(second), "another run's");
    EXPECT_EQ(read(third), "movie two");
    EXPECT_EQ(job.value(jobKey::finalPath).toString(), third);

    // Chosen to be replaced: replaced, in one rename.
    write(working, "movie three");
    job = QVariantMap{
        {jobKey::dstPath, working}, {jobKey::finalPath, final}, {jobKey::replaceFinal, 1}};
    EXPECT_EQ(encDeliverOutput(job), QString());
    EXPECT_EQ(read(final), "movie three");
    EXPECT_EQ(job.value(jobKey::finalPath).toString(), final);
}

TEST(deliverOutput, renameNoReplaceNeverReplacesNorFollows) {
    QTemporaryDir dir;
    const QString from = dir.filePath(QStringLiteral("from"));
    const QString to = dir.filePath(QStringLiteral("to"));
    const QString target = dir.filePath(QStringLiteral("someone's notes"));
    write(from, "new");
    write(target, "private");
    ASSERT_TRUE(QFile::link(target, to));
    EXPECT_EQ(renameNoReplace(from, to), EEXIST);
    EXPECT_EQ(read(from), "new");
    EXPECT_EQ(read(target), "private");
    ASSERT_TRUE(QFile::remove(to));
    EXPECT_EQ(renameNoReplace(from, to), 0);
    EXPECT_EQ(read(to), "new");
    EXPECT_FALSE(QFile::exists(from));
    EXPECT_EQ(renameNoReplace(dir.filePath(QStringLiteral("none")), from), ENOENT);
}
