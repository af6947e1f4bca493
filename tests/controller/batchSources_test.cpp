// What a drop queues and refuses (the plan from the file system's facts, and the read of a real
// folder mixed with files), and which rows a batch converts.
#include "controller/batchList.h"
#include "controller/dropPlan.h"
#include "controller/jobRecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

dropItem fileItem(const QString &path, bool inFolder = false) {
    return dropItem{path, dropItemKind::file, true, inFolder};
}

QString reasons(const dropPlanValue &plan) {
    QStringList out;
    for (const dropRefused &r : plan.refused) {
        out << QStringLiteral("%1=%2%3")
                   .arg(r.path)
                   .arg(static_cast<int>(r.reason))
                   .arg(dropRefusalShown(r) ? QString() : QStringLiteral("(hidden)"));
    }
    return out.join(QLatin1Char(' '));
}

QString refusal(const QString &path, dropRefusal reason, bool hidden = false) {
    return QStringLiteral("%1=%2%3")
        .arg(path)
        .arg(static_cast<int>(reason))
        .arg(hidden ? QStringLiteral("(hidden)") : QString());
}

} // namespace

// Each case: the drop's items as read, the rows' sources, then what is queued, what is refused
// and why, and whether the user is told.
TEST(dropPlan, queuesAndRefusesWithReasons) {
    const QStringList ext{"mts", "MTS", "Mts", "m2ts"};
    struct dropCase {
        const char *what;
        QList<dropItem> items;
        QStringList listed;
        QStringList queued;
        QStringList refused;
        bool tell;
    };
    const QString noUtf8 = QStringLiteral("/c/caf") + QChar::ReplacementCharacter + ".mts";
    const QList<dropCase> cases = {
        {"a folder's movies and a file named beside it are all queued",
         {fileItem("/c/STREAM/00001.MTS", true), fileItem("/c/STREAM/00002.MTS", true),
          fileItem("/c/INDEX.BDM", true), fileItem("/d/extra.m2ts")},
         {},
         {"/c/STREAM/00001.MTS", "/c/STREAM/00002.MTS", "/d/extra.m2ts"},
         {refusal("/c/INDEX.BDM", dropRefusal::notAMovie, true)},
         false},
        {"a text file named with a movie: the movie goes, the text file is refused",
         {fileItem("/d/notes.txt"), fileItem("/d/a.mts")},
         {},
         {"/d/a.mts"},
         {refusal("/d/notes.txt", dropRefusal::notAMovie)},
         false},
        {"only text files: nothing queued, the user is told",
         {fileItem("/d/notes.txt")},
         {},
         {},
         {refusal("/d/notes.txt", dropRefusal::notAMovie)},
         true},
        {"extensions compare as they stand: mTs is not taken",
         {fileItem("/d/a.mTs"), fileItem("/d/b.Mts")},
         {},
         {"/d/b.Mts"},
         {refusal("/d/a.mTs", dropRefusal::notAMovie)},
         false},
        {"already listed, also as a joined row's piece; a card dropped again hides its old clips",
         {fileItem("/d/a.mts"), fileItem("/d/piece2.mts"), fileItem("/c/00001.MTS", true),
          fileItem("/c/00002.MTS", true)},
         {"/d/a.mts", "/d/piece1.mts", "/d/piece2.mts", "/c/00001.MTS"},
         {"/c/00002.MTS"},
         {refusal("/d/a.mts", dropRefusal::alreadyListed),
          refusal("/d/piece2.mts", dropRefusal::alreadyListed),
          refusal("/c/00001.MTS", dropRefusal::alreadyListed, true)},
         false},
        {"the same path twice (a file and its folder) is one source",
         {fileItem("/c/00001.MTS"), fileItem("/c/00001.MTS", true)},
         {},
         {"/c/00001.MTS"},
         {},
         false},
        {"missing, unreadable, a FIFO and a name that is not UTF-8, each with its reason",
         {dropItem{"/d/gone.mts", dropItemKind::missing, false, false},
          dropItem{"/d/locked.mts", dropItemKind::file, false, false},
          dropItem{"/c/fifo.MTS", dropItemKind::special, true, true},
          dropItem{noUtf8, dropItemKind::missing, false, true}},
         {},
         {},
         {refusal("/d/gone.mts", dropRefusal::missing),
          refusal("/d/locked.mts", dropRefusal::unreadable),
          refusal("/c/fifo.MTS", dropRefusal::notRegularFile),
          refusal(noUtf8, dropRefusal::nameNotUtf8)},
         true},
        {"an empty drop (an empty folder): nothing, and nothing to tell", {}, {}, {}, {}, false},
    };
    for (const dropCase &c : cases) {
        const dropPlanValue plan = dropPlan(c.items, c.listed, ext);
        EXPECT_EQ(plan.queued, c.queued) << c.what;
        EXPECT_EQ(reasons(plan), c.refused.join(QLatin1Char(' '))) << c.what;
        EXPECT_EQ(plan.tellRefusals, c.tell) << c.what;
        EXPECT_EQ(plan.acceptedKinds, QStringList({".mts", ".m2ts"})) << c.what;
    }
}

// A real drop of a card folder with a file beside it, read from the file system: the folder's
// files come sorted in clip order, hidden files and the events folder are left out, the file
// named beside the folder is kept (it used to be dropped when a folder came first), a link is
// followed, and a FIFO and a missing path are read as what they are.
TEST(dropRead, folderAndFilesMixed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = QDir(dir.path()).canonicalPath();
    const QString stream = root + "/card/STREAM";
    ASSERT_TRUE(QDir().mkpath(stream));
    ASSERT_TRUE(QDir().mkpath(root + "/card/fluxaro events"));
    auto touch = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
    };
    for (const char *name : {"00002.MTS", "00001.MTS", "._00001.MTS"}) {
        ASSERT_TRUE(touch(stream + "/" + QString::fromLatin1(name)));
    }
    ASSERT_TRUE(touch(root + "/card/fluxaro events/clip.mov"));
    ASSERT_TRUE(touch(root + "/loose.mts"));
    ASSERT_TRUE(QFile::link(root + "/loose.mts", root + "/link.mts"));
    ASSERT_EQ(mkfifo(QFile::encodeName(stream + "/00003.MTS").constData(), 0600), 0);

    const QList<dropItem> items = dropRead({root + "/card", root + "/link.mts", root + "/gone.mts"},
                                           root + "/card/fluxaro events");
    QStringList read;
    for (const dropItem &item : items) {
        read << QStringLiteral("%1 %2%3")
                    .arg(QString(item.path).remove(root))
                    .arg(static_cast<int>(item.kind))
                    .arg(item.inFolder ? QStringLiteral(" in") : QString());
    }
    const QStringList expected{"/card/STREAM/00001.MTS 0 in", "/card/STREAM/00002.MTS 0 in",
                               "/card/STREAM/00003.MTS 1 in", "/loose.mts 0", "/gone.mts 2"};
    EXPECT_EQ(read, expected);

    // Planned, the drop queues the card's clips and the linked file; the FIFO and the missing
    // path are refused, shown by name.
    const dropPlanValue plan = dropPlan(items, {}, {"MTS", "mts"});
    EXPECT_EQ(plan.queued,
              QStringList({stream + "/00001.MTS", stream + "/00002.MTS", root + "/loose.mts"}));
    EXPECT_EQ(plan.shownRefusals, 2);
}

// A folder whose files can't be listed (no descriptor left here) is read as what it is, with the
// system's reason, and refused by name: its sources are never taken for none. A path given
// relative to the working folder (a terminal's) is read as the absolute path.
TEST(dropRead, unlistedFolderAndRelativePath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = QDir(dir.path()).canonicalPath();
    ASSERT_TRUE(QDir().mkpath(root + "/card/STREAM"));
    QFile clip(root + "/card/STREAM/00001.MTS");
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    clip.close();
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root));
    const QList<dropItem> relative = dropRead({"card/STREAM/00001.MTS"}, QString());
    QDir::setCurrent(before);
    ASSERT_EQ(relative.size(), 1);
    EXPECT_EQ(relative.first().path, root + "/card/STREAM/00001.MTS");
    EXPECT_EQ(relative.first().kind, dropItemKind::file);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // The lowest free descriptor: with the limit there, no folder can be opened.
    const int lowest = ::dup(0);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    struct rlimit starved = saved;
    starved.rlim_cur = static_cast<rlim_t>(lowest);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &starved), 0);
    const QList<dropItem> items = dropRead({root + "/card"}, QString());
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first().kind, dropItemKind::unreadFolder);
    EXPECT_EQ(items.first().path, root + "/card");
    EXPECT_EQ(items.first().why, QString::fromLocal8Bit(std::strerror(EMFILE)));

    const dropPlanValue plan = dropPlan(items, {}, {"MTS"});
    EXPECT_TRUE(plan.queued.isEmpty());
    EXPECT_TRUE(plan.tellRefusals);
    EXPECT_EQ(reasons(plan), refusal(root + "/card", dropRefusal::unreadFolder));
    const analysisVerdictValue verdict = dropRefusalVerdict(plan.refused.first());
    EXPECT_EQ(verdict.refusal, sourceRefusal::folderUnreadable);
    EXPECT_EQ(verdict.note, items.first().why);
    EXPECT_EQ(verdict.logWords, "can't read the folder: " + items.first().why);
}

// Which row a batch converts next: after the given row, the first one not converted yet, so
// that a second Go after a finished batch converts only what is left (failed rows again).
TEST(batchRows, nextRowSkipsConvertedOnes) {
    const rowState w = rowState::waiting;
    const rowState ok = rowState::converted;
    const rowState ko = rowState::failed;
    struct rowCase {
        QList<rowState> statuses;
        int32_t after;
        int32_t next;
    };
    const QList<rowCase> cases = {
        {{w, w, w}, -1, 0},   {{w, w, w}, 0, 1},     {{w, w, w}, 2, -1},
        {{ok, ok, w}, -1, 2}, {{ok, ko, ok}, -1, 1}, {{ok, ko, ok}, 1, -1},
        {{ok, ok}, -1, -1},   {{}, -1, -1},          {{w, ok, w}, 0, 2},
    };
    for (const rowCase &c : cases) {
        EXPECT_EQ(batchNextRow(c.statuses, c.after), c.next)
            << c.statuses.size() << " rows, after " << c.after;
    }
}

// A row keeps its identity while rows before it come and go, two rows of one source have two,
// and a removed row's identity is never given again: a job is judged against its own row.
TEST(batchRows, identitiesFollowTheirRows) {
    batchList list;
    batchRow row;
    row.name = QStringLiteral("00001.MTS");
    list.append(row);
    list.append(row);
    list.append(row);
    const uint64_t second = list.idAt(1);
    const uint64_t third = list.idAt(2);
    EXPECT_NE(list.idAt(0), second);
    EXPECT_NE(second, third);
    EXPECT_EQ(list.indexOfId(third), 2);
    const uint64_t removed = list.idAt(0);
    list.removeAt(0);
    EXPECT_EQ(list.indexOfId(second), 0);
    EXPECT_EQ(list.indexOfId(third), 1);
    EXPECT_EQ(list.indexOfId(removed), -1);
    list.append(row);
    EXPECT_NE(list.idAt(2), removed);
    EXPECT_EQ(list.idAt(7), 0U);
    EXPECT_EQ(list.indexOfId(0), -1);
    list.clear();
    EXPECT_EQ(list.indexOfId(second), -1);
}
