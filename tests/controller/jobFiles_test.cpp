// The job's working files in a private folder of their own, the start's sweep of what a killed
// job left there, and the final rename, which neither follows nor replaces what is at the name.
#include "controller/encActions.h"
#include "controller/jobFiles.h"
#include "settings/prefs.h"

#include "jobOfRecord.h"
#include "testEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString eventsIn(const QString &name) {
    const QString events = freshWorkDir(name) + QStringLiteral("/fluxaro events");
    EXPECT_TRUE(QDir().mkpath(events));
    return events;
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

mode_t modeOf(const QString &path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

// In a destination every user may write, the working output lies in a 0700 folder made for
// the job (whatever the umask), so no other user can put a link where ffmpeg writes; the
// intermediates go beside it.
TEST(jobFiles, workingFilesLiveInAPrivateFolder) {
    const QString events = eventsIn(QStringLiteral("shared"));
    ASSERT_EQ(::chmod(QFile::encodeName(events).constData(), 0777), 0);
    for (const mode_t mask : {mode_t(0), mode_t(0277)}) {
        const mode_t saved = ::umask(mask);
        const QString working = encReserveWorkingPath(events);
        ::umask(saved);
        ASSERT_FALSE(working.isEmpty());
        const QFileInfo info(working);
        const QString folder = info.absolutePath();
        EXPECT_EQ(QFileInfo(folder).absolutePath(), events);
        EXPECT_TRUE(info.isFile() && !info.isSymLink() && info.size() == 0);
        EXPECT_EQ(modeOf(folder), mode_t(0700)) << "umask " << mask;
        EXPECT_EQ(encJobWorkFolder({{QStringLiteral("dstPathStr"), working}}), folder);
        EXPECT_EQ(QFileInfo(randomSibling(folder, QStringLiteral("offset"))).absolutePath(),
                  folder);
    }
    // Not in an events folder: no private folder is recognised.
    EXPECT_TRUE(encJobWorkFolder({{QStringLiteral("dstPathStr"), freshWorkDir(QStringLiteral("x")) +
                                                                     "/.fluxaro-abcde12345/a.mov"}})
                    .isEmpty());
}

// The working output's name is handed over (for the job's record on disk) before anything of it
// is made: a kill at any moment after leaves a record that names the folder, and the start's
// sweep of that record takes the folder, empty or not.
TEST(jobFiles, workingNameIsRecordedBeforeItsFolderIsMade) {
    const QString events = eventsIn(QStringLiteral("recorded"));
    QStringList told;
    bool madeBefore = true;
    const QString working = encReserveWorkingPath(events, [&](const QString &path) {
        told << path;
        madeBefore = QFileInfo::exists(QFileInfo(path).absolutePath());
    });
    ASSERT_FALSE(working.isEmpty());
    EXPECT_EQ(told, QStringList{working});
    EXPECT_FALSE(madeBefore);
    // Killed between the folder and its file: the record names a file that is not there.
    ASSERT_TRUE(QFile::remove(working));
    prefWriteDico(QStringLiteral("processEncDico"), {{QStringLiteral("dstPathStr"), working}});
    encPurgeCrashedJob();
    prefDelete(QStringLiteral("processEncDico"));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(working).absolutePath()));
    EXPECT_TRUE(
        QDir(events).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// A killed job's files in its private folder are found by the next start, named in the record
// or not (a step killed between its file and its key), and the folder goes with them; a file
// of another kind in it is kept, and the folder with it.
TEST(jobFiles, sweepOfAKilledJobFindsItsPrivateFolder) {
    const QString events = eventsIn(QStringLiteral("killed"));
    const QString working = encReserveWorkingPath(events);
    ASSERT_FALSE(working.isEmpty());
    const QString folder = QFileInfo(working).absolutePath();
    const QString name = QFileInfo(working).completeBaseName(); // ".fluxaro-<10>"
    const QString master = folder + QLatin1Char('/') + name + QStringLiteral("_MASTER.mov");
    const QString offset = folder + QStringLiteral("/offset12.mov");
    const QString sound = folder + QStringLiteral("/sound77.mov");
    const QString unrecorded = folder + QStringLiteral("/slow5.mov.mov");
    for (const QString &path : {working, master, offset, sound, unrecorded}) {
        ASSERT_TRUE(writeBytes(path, "data"));
    }
    const QVariantMap job{{QStringLiteral("dstPathStr"), working},
                          {QStringLiteral("finalPathStr"), events + QStringLiteral("/clip.mov")},
                          {QStringLiteral("purgePathStr1"), master},
                          {QStringLiteral("postProcessPurge"), offset},
                          {QStringLiteral("soundPathStr"), sound}};
    EXPECT_TRUE(encIsWorkingFileOf(sound, job));
    EXPECT_EQ(encJobEventsFolder(job), events);
    prefWriteDico(QStringLiteral("processEncDico"), job);
    QStringList deleted = encPurgeCrashedJob();
    deleted.sort();
    QStringList expected{working, master, offset, sound, unrecorded};
    expected.sort();
    EXPECT_EQ(deleted, expected);
    EXPECT_FALSE(QFileInfo::exists(folder));

    // Something that is no working file keeps the folder.
    const QString second = encReserveWorkingPath(events);
    const QString notes = QFileInfo(second).absolutePath() + QStringLiteral("/notes.txt");
    ASSERT_TRUE(writeBytes(notes, "mine"));
    prefWriteDico(QStringLiteral("processEncDico"), {{QStringLiteral("dstPathStr"), second}});
    EXPECT_EQ(encPurgeCrashedJob(), QStringList{second});
    EXPECT_EQ(readAll(notes), QByteArray("mine"));
    prefDelete(QStringLiteral("processEncDico"));

    // The end of a job takes what is left of its folder.
    const QString third = encReserveWorkingPath(events);
    ASSERT_TRUE(writeBytes(QFileInfo(third).absolutePath() + "/offset3.mov", "x"));
    encRemoveWorkFolder({{QStringLiteral("dstPathStr"), third}});
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(third).absolutePath()));
}

// The running job's journal names every file the job made and the steps still due, so the
// next start after a kill deletes each of them and nothing else; no job leaves no journal.
TEST(jobFiles, theRunningJobsJournalNamesEveryFileItMade) {
    const QString events = eventsIn(QStringLiteral("journal"));
    runningJob job;
    job.row.source = QStringLiteral("/card/00001.MTS");
    job.row.mediaInfo = {{QStringLiteral("v0_codec"), QStringLiteral("h264")}};
    job.working = encReserveWorkingPath(events);
    ASSERT_FALSE(job.working.isEmpty());
    const QString folder = QFileInfo(job.working).absolutePath();
    job.finalPath = events + QStringLiteral("/clip.mov");
    job.masterFile = encMasterPathOf(job.working);
    job.trimReference = randomSibling(folder, QStringLiteral("offset"));
    job.retimeFile = randomSibling(folder, QStringLiteral("slow"));
    job.soundFile = randomSibling(folder, QStringLiteral("sound"));
    job.due.work = true;
    job.due.finish = true;
    QStringList made{job.working, job.masterFile, job.trimReference, job.retimeFile, job.soundFile};
    for (const QString &path : made) {
        ASSERT_TRUE(writeBytes(path, "data"));
    }
    ASSERT_TRUE(writeBytes(job.finalPath, "the person's movie"));

    ASSERT_TRUE(syncRunningJobJournal(job));
    const QVariantMap journal =
        prefReadDico(QStringLiteral("processEncDico")).value_or(QVariantMap{});
    EXPECT_EQ(journal.value(QStringLiteral("srcPathStr")).toString(), job.source());
    EXPECT_EQ(journal.value(QStringLiteral("v0_codec")).toString(), QStringLiteral("h264"));
    EXPECT_FALSE(journal.contains(QStringLiteral("encDeb")));
    EXPECT_EQ(journal.value(QStringLiteral("encQtEnc")).toInt(), 1);
    EXPECT_EQ(prefRead2(QStringLiteral("encFin")).toInt(), 1);
    // Named in the journal itself, not only found in the job's folder.
    const QStringList named = encJobFilesToDelete(journal);
    for (const QString &path : made) {
        EXPECT_TRUE(named.contains(path)) << path.toStdString();
    }
    EXPECT_FALSE(named.contains(job.finalPath));

    QStringList deleted = encPurgeCrashedJob();
    deleted.sort();
    made.sort();
    EXPECT_EQ(deleted, made);
    EXPECT_EQ(readAll(job.finalPath), QByteArray("the person's movie"));
    EXPECT_FALSE(QFileInfo::exists(folder));

    writeRunningJobJournal(nullptr);
    EXPECT_FALSE(prefRead2(QStringLiteral("processEncDico")).isValid());
    EXPECT_FALSE(prefRead2(QStringLiteral("encFin")).isValid());
}

// The final rename: a name taken meanwhile (another run's movie, another user's link) is
// neither replaced nor followed, the output takes the next " 2", " 3" name; the file the
// person chose to replace is replaced, but not one put in its place since.
TEST(jobFiles, finalRenameNeverReplacesWhatIsThere) {
    const QString events = eventsIn(QStringLiteral("deliver"));
    const QString finalPath = events + QStringLiteral("/clip.mov");
    const auto deliver = [&](const QByteArray &movie, const QString &replaceId = QString()) {
        const QString working = encReserveWorkingPath(events);
        EXPECT_TRUE(writeBytes(working, movie));
        QVariantMap job{{QStringLiteral("dstPathStr"), working},
                        {QStringLiteral("finalPathStr"), finalPath}};
        if (!replaceId.isEmpty()) {
            job.insert(QStringLiteral("replaceFileId"), replaceId);
        }
        const encDelivery delivery = encDeliverOutput(jobOfRecord(job));
        EXPECT_TRUE(delivery.error.isEmpty()) << delivery.error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(working));
        encRemoveWorkFolder(job);
        return delivery.finalPath;
    };
    EXPECT_EQ(deliver("first"), finalPath);
    // Another run delivered "clip.mov" meanwhile: this one is "clip 2.mov", then "clip 3.mov".
    EXPECT_EQ(deliver("second"), events + QStringLiteral("/clip 2.mov"));
    EXPECT_EQ(deliver("third"), events + QStringLiteral("/clip 3.mov"));
    EXPECT_EQ(readAll(finalPath), QByteArray("first"));
    EXPECT_EQ(readAll(events + QStringLiteral("/clip 2.mov")), QByteArray("second"));

    // A link at the name is neither followed nor replaced.
    const QString victim = freshWorkDir(QStringLiteral("victim")) + QStringLiteral("/.bashrc");
    ASSERT_TRUE(writeBytes(victim, "alias ll='ls -l'\n"));
    const QString linked = events + QStringLiteral("/linked.mov");
    ASSERT_TRUE(QFile::link(victim, linked));
    {
        const QString working = encReserveWorkingPath(events);
        ASSERT_TRUE(writeBytes(working, "movie"));
        const QVariantMap job{{QStringLiteral("dstPathStr"), working},
                              {QStringLiteral("finalPathStr"), linked},
                              {QStringLiteral("replaceFileId"), encFileIdentity(victim)}};
        EXPECT_EQ(encDeliverOutput(jobOfRecord(job)).finalPath,
                  events + QStringLiteral("/linked 2.mov"));
        encRemoveWorkFolder(job);
    }
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    EXPECT_EQ(readAll(victim), QByteArray("alias ll='ls -l'\n"));

    // The chosen file is replaced; a file put in its place after the choice is not.
    const QString chosen = encFileIdentity(finalPath);
    ASSERT_FALSE(chosen.isEmpty());
    EXPECT_EQ(deliver("replacing", chosen), finalPath);
    EXPECT_EQ(readAll(finalPath), QByteArray("replacing"));
    const QString stale = encFileIdentity(events + QStringLiteral("/clip 3.mov"));
    EXPECT_EQ(deliver("fourth", stale), events + QStringLiteral("/clip 4.mov"));
    EXPECT_EQ(readAll(finalPath), QByteArray("replacing"));
    // Only the movies are left in the events folder: no working folder.
    EXPECT_EQ(QDir(events).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                         QDir::System,
                                     QDir::Name),
              (QStringList{"clip 2.mov", "clip 3.mov", "clip 4.mov", "clip.mov", "linked 2.mov",
                           "linked.mov"}));
}
