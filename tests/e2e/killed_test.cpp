// fluxaro --batch killed (SIGKILL: no clean-up runs) while it analyses its sources, then run
// again: the next run converts each of its sources once, and only those.
#include "e2eMedia.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>

using namespace e2e;

namespace {

std::string show(const runResult &run) {
    return (run.out + QStringLiteral("\n--- stderr tail ---\n") + run.err.right(3000))
        .toStdString();
}

QString workingStorePath(const sandbox &box) {
    return box.root() + QStringLiteral("/config/org.fluxaro.Fluxaro.working.plist");
}

QString xmlEscaped(const QString &text) {
    return text.toHtmlEscaped();
}

// A property-list value: a text, a number, or a dictionary of texts.
QString plistValue(const QVariant &value) {
    if (value.typeId() == QMetaType::Int) {
        return QStringLiteral("<integer>%1</integer>").arg(value.toInt());
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        QString text = QStringLiteral("<dict>");
        const QVariantMap dico = value.toMap();
        for (auto it = dico.cbegin(); it != dico.cend(); ++it) {
            text +=
                QStringLiteral("<key>%1</key>%2").arg(xmlEscaped(it.key()), plistValue(it.value()));
        }
        return text + QStringLiteral("</dict>");
    }
    return QStringLiteral("<string>%1</string>").arg(xmlEscaped(value.toString()));
}

// Writes the working store as a run killed at that moment leaves it.
bool writeWorkingStore(const sandbox &box, const QVariantMap &keys) {
    QDir().mkpath(QFileInfo(workingStorePath(box)).absolutePath());
    QFile file(workingStorePath(box));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                        "<plist version=\"1.0\">") +
                         plistValue(keys) + QStringLiteral("</plist>\n");
    return file.write(text.toUtf8()) > 0;
}

// The queue of sources still waiting, as the analysis numbers it.
QVariantMap queueOf(const QStringList &paths) {
    QVariantMap queue;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        queue.insert(QString::number(i), paths[i]);
    }
    return queue;
}

// The terminal's result lines of a source.
qsizetype convertedLines(const runResult &run, const QString &src) {
    return run.out.count(QStringLiteral("converted: ") + src);
}

// Three one-second clips in a folder of the sandbox.
QStringList threeClips(const sandbox &box) {
    QStringList clips;
    for (const char *name : {"first.ts", "second.ts", "third.ts"}) {
        const QString path = box.root() + QStringLiteral("/clips/") + QLatin1String(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!makeClip(path, "320x180", 25, 1.0)) {
            return {};
        }
        clips << path;
    }
    return clips;
}

// The batch of the clips converts each once: one result line each, one movie each, and the run
// ends (a source listed twice converted again and again until the disk was full).
void expectEachConvertedOnce(const sandbox &box, const QStringList &clips, const runResult &run) {
    ASSERT_EQ(run.status, 0) << show(run);
    for (const QString &clip : clips) {
        EXPECT_EQ(convertedLines(run, clip), 1) << clip.toStdString() << "\n" << show(run);
    }
    EXPECT_TRUE(run.out.contains(QStringLiteral("done: %1 converted").arg(clips.size())))
        << show(run);
    const QStringList files = box.eventsFiles();
    EXPECT_EQ(files.size(), clips.size()) << files.join(", ").toStdString();
    for (const QString &name : files) {
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
    }
}

} // namespace

// What a run killed while it probed the first of three clips leaves in the working store, at
// four moments of the analysis: the sources just queued; the probe running; the report read and
// the pictures being looked at; the source's record complete and its row being made. The same
// command again converts each clip once.
TEST(killedAnalysis, theSameCommandAgainConvertsEachSourceOnce) {
    sandbox box;
    const QStringList clips = threeClips(box);
    ASSERT_EQ(clips.size(), 3);
    const QString first = clips[0];
    const QVariantMap record{{QStringLiteral("wrapper"), QStringLiteral("mpegts")},
                             {QStringLiteral("v0_fps"), QStringLiteral("25")}};
    const QList<QPair<const char *, QVariantMap>> moments = {
        {"queued",
         {{QStringLiteral("analysisSrcPathesDico"), queueOf(clips)},
          {QStringLiteral("analysisDeb"), 1}}},
        {"probing",
         {{QStringLiteral("analysisSrcPathesDico"), queueOf(clips.mid(1))},
          {QStringLiteral("analysisSrcPathStr"), first},
          {QStringLiteral("analysisFfmpegParse"), 1}}},
        {"looking at the pictures",
         {{QStringLiteral("analysisSrcPathesDico"), queueOf(clips.mid(1))},
          {QStringLiteral("analysisSrcPathStr"), first},
          {QStringLiteral("analysisSrcCurrentDico"), record},
          {QStringLiteral("analysisFields"), 1}}},
        {"making the row",
         {{QStringLiteral("analysisSrcPathesDico"), queueOf(clips.mid(1))},
          {QStringLiteral("analysisSrcPathStr"), first},
          {QStringLiteral("analysisSrcCurrentDico"), record},
          {QStringLiteral("imgPathStr"), box.root() + QStringLiteral("/tmp/gone/first.jpg")},
          {QStringLiteral("analysisFin"), 1}}},
    };
    for (const auto &[moment, keys] : moments) {
        SCOPED_TRACE(moment);
        QDir(box.events()).removeRecursively();
        ASSERT_TRUE(writeWorkingStore(box, keys));
        const runResult run = box.batch(
            QStringList(clips) << QStringLiteral("--format") << QStringLiteral("rewrap"), 120000);
        expectEachConvertedOnce(box, clips, run);
    }
}

// After such a kill, another command converts its own source only, not the clips the killed
// run had queued.
TEST(killedAnalysis, anotherCommandConvertsOnlyItsOwnSource) {
    sandbox box;
    const QStringList clips = threeClips(box);
    ASSERT_EQ(clips.size(), 3);
    const QString other = box.root() + QStringLiteral("/other.ts");
    ASSERT_TRUE(makeClip(other, "320x180", 25, 1.0));
    ASSERT_TRUE(
        writeWorkingStore(box, {{QStringLiteral("analysisSrcPathesDico"), queueOf(clips.mid(1))},
                                {QStringLiteral("analysisSrcPathStr"), clips[0]},
                                {QStringLiteral("analysisFfmpegParse"), 1}}));
    const runResult run = box.batch({other, "--format", "rewrap"}, 120000);
    expectEachConvertedOnce(box, {other}, run);
    for (const QString &clip : clips) {
        EXPECT_FALSE(run.out.contains(clip)) << show(run);
    }
}

/// Runs fluxaro with `args` while ffmpeg's probes of a source matching the shell pattern
/// `probed` are held (a script that waits before it runs ffmpeg), and kills it with SIGKILL once
/// such a probe has started and `ready` holds. False when that moment never came.
bool killWhileProbing(const sandbox &box, const QStringList &args, const QString &probed,
                      const std::function<bool()> &ready = {}) {
    const QString held = box.root() + QStringLiteral("/probe-started");
    const QString resources = box.root() + QStringLiteral("/resources");
    if (!makeResourceFolder(
            resources,
            {{QStringLiteral("clipdater"), QStringLiteral(FLUXARO_TOOLS_DIR "/clipdater")},
             {QStringLiteral("ffmpeg"), QStringLiteral("#!/bin/sh\n"
                                                       "case \" $* \" in\n"
                                                       "*\" showinfo \"*%1*|*%1*\" showinfo \"*)\n"
                                                       "  : > '%2'\n"
                                                       "  sleep 60 ;;\n"
                                                       "esac\n"
                                                       "exec /usr/bin/ffmpeg \"$@\"\n")
                                            .arg(probed, held)}})) {
        return false;
    }
    QProcess process;
    QProcessEnvironment env = box.environment();
    env.insert(QStringLiteral("FLUXARO_RESOURCE_DIR"), resources);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), args);
    if (!process.waitForStarted()) {
        return false;
    }
    const auto probing = [&] { return QFileInfo::exists(held) && (!ready || ready()); };
    QElapsedTimer timer;
    timer.start();
    while (!probing() && process.state() == QProcess::Running && timer.elapsed() < 60000) {
        process.waitForFinished(20);
    }
    const bool caught = probing();
    process.kill();
    return process.waitForFinished(30000) && caught;
}

// The real kill: the batch is killed while it probes the first clip; the working store it
// leaves is what the next start sweeps, and the same command then converts each clip once.
TEST(killedAnalysis, killedWhileProbingThenRunAgain) {
    sandbox box;
    const QStringList clips = threeClips(box);
    ASSERT_EQ(clips.size(), 3);
    const QStringList args = QStringList(clips)
                             << QStringLiteral("--format") << QStringLiteral("rewrap");
    ASSERT_TRUE(killWhileProbing(box,
                                 QStringList{QStringLiteral("--batch")}
                                     << args << QStringLiteral("--dest") << box.dest(),
                                 QStringLiteral(""), [&box] {
                                     QFile store(workingStorePath(box));
                                     return store.open(QIODevice::ReadOnly) &&
                                            store.readAll().contains("analysisSrcPathStr");
                                 }));
    const runResult run = box.batch(args, 120000);
    expectEachConvertedOnce(box, clips, run);
}

// The blocks of Resume.log that a source's conversion opened.
qsizetype resumeBlocks(const sandbox &box, const QString &src) {
    QFile resume(box.resumeLog());
    if (!resume.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return QString::fromUtf8(resume.readAll())
        .count(QStringLiteral("\n----------\n\nsource              : ") + src + QLatin1Char('\n'));
}

// The double row: a batch given a folder of several clips, and one of them again by name, is
// killed while it analyses the second clip (the first may be converting already, the third waits
// in the queue), then the same command runs again. The intake reads the folder as a drop does
// and takes the clip named twice once, and the leftovers of the killed run never add a second
// row of a source: each clip converts exactly once, one movie each, nothing hidden or doubled
// in the events folder, one Resume.log block each.
TEST(killedAnalysis, killedAmidSeveralSourcesThenRunAgain) {
    sandbox box;
    const QStringList clips = threeClips(box);
    ASSERT_EQ(clips.size(), 3);
    const QStringList args{QStringLiteral("--batch"),
                           QFileInfo(clips.first()).absolutePath(),
                           clips.first(),
                           QStringLiteral("--dest"),
                           box.dest(),
                           QStringLiteral("--format"),
                           QStringLiteral("rewrap"),
                           QStringLiteral("--replace")};
    ASSERT_TRUE(killWhileProbing(box, args, QStringLiteral("second.ts")));
    const runResult run = box.batch(args.mid(1), 120000);
    expectEachConvertedOnce(box, clips, run);
    for (const QString &clip : clips) {
        EXPECT_EQ(resumeBlocks(box, clip), 1) << clip.toStdString() << "\n" << show(run);
    }
}

// A job whose record can't be written (a full home; here a folder stands where the working
// store's file goes) does not start: a kill meanwhile would leave its files for good. It fails
// with the reason, and leaves nothing in the events folder.
TEST(killedAnalysis, aJobWhoseRecordCannotBeWrittenDoesNotStart) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "320x180", 25, 1.0));
    ASSERT_TRUE(QDir().mkpath(workingStorePath(box) + QStringLiteral("/in-the-way")));
    const runResult run = box.batch({src, "--format", "rewrap"}, 120000);
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("failed:   ") + src +
                                 QStringLiteral(" (its job record can't be written to ") +
                                 workingStorePath(box) + QLatin1Char(')')))
        << show(run);
    EXPECT_FALSE(run.out.contains(QStringLiteral("converted: "))) << show(run);
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}
