// fluxaro --batch from sources to outputs: the real program, ffmpeg, clipdater and trakmill on
// generated clips, each run in a private home. Clips are small and short; every output is
// checked with ffprobe.
#include "e2eMedia.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

using namespace e2e;

namespace {

/// No intermediate file of the pipeline is left next to the outputs.
void expectNoIntermediates(const sandbox &box) {
    for (const QString &name : box.eventsFiles()) {
        EXPECT_FALSE(name.startsWith(QStringLiteral("offset"))) << name.toStdString();
        EXPECT_FALSE(name.startsWith(QStringLiteral("slow"))) << name.toStdString();
        EXPECT_FALSE(name.contains(QStringLiteral("_MASTER"))) << name.toStdString();
        EXPECT_FALSE(name.startsWith(QStringLiteral(".fluxaro-"))) << name.toStdString();
    }
}

std::string show(const runResult &run) {
    return (run.out + QStringLiteral("\n--- stderr tail ---\n") + run.err.right(3000))
        .toStdString();
}

/// A rate "n/d" as a number.
double rateOf(const QString &fraction) {
    const double d = fraction.section(QLatin1Char('/'), 1, 1).toDouble();
    return d > 0 ? fraction.section(QLatin1Char('/'), 0, 0).toDouble() / d : 0;
}

bool proresAvailable(const runResult &run) {
    return !run.out.contains(QStringLiteral("no ProRes encoder"));
}

/// Processes whose command line mentions the text (the sandbox's paths, say).
QStringList processesMentioning(const QString &text) {
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() <= 0 || pid.toLongLong() == QCoreApplication::applicationPid()) {
            continue;
        }
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString line = QString::fromUtf8(cmdline.readAll()).replace(QChar(0), QChar(' '));
        if (line.contains(text)) {
            found << pid + QStringLiteral(": ") + line;
        }
    }
    return found;
}

} // namespace

// The card's clips are named after the playlist's recording dates, the H.264 video is copied
// and the sound becomes 48 kHz PCM; the summary log gets one block per job and the sources stay
// as they were.
TEST(batch, cardRewrapNamesByRecordingDate) {
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    const QString stream = makeCard(card, {{"640x360", 50}, {"640x360", 25}, {"640x360", 100}}, 2);
    QMap<QString, QByteArray> before;
    for (const QString &name : QDir(stream).entryList(QDir::Files)) {
        before.insert(name, fingerprint(stream + QLatin1Char('/') + name));
    }

    const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"});
    ASSERT_EQ(run.status, 0) << show(run);
    EXPECT_EQ(box.eventsFiles(), (QStringList{cardClipName(1), cardClipName(2), cardClipName(3)}));
    for (int clip = 1; clip <= 3; ++clip) {
        const QString out = box.events() + QLatin1Char('/') + cardClipName(clip);
        EXPECT_TRUE(run.out.contains(QStringLiteral("converted: ")));
        const auto video = probeStream(out, "v");
        EXPECT_EQ(video.value("codec_name"), "h264");
        EXPECT_EQ(video.value("codec_tag_string"), "avc1");
        const auto audio = probeStream(out, "a");
        EXPECT_EQ(audio.value("codec_name"), "pcm_s16le");
        EXPECT_EQ(audio.value("sample_rate"), "48000");
        EXPECT_GE(QFileInfo(out).size(), 200 * 1024);
        // A timecode track at the recording's time of day.
        const auto timecode = probeStream(out, "d");
        EXPECT_EQ(timecode.value("codec_tag_string"), "tmcd");
        EXPECT_EQ(timecode.value("TAG:timecode"),
                  cardClipName(clip).mid(16, 8).replace(QLatin1Char(';'), QLatin1Char(':')) +
                      QStringLiteral(":00"));
    }
    // The first clip's sound started 0.4 s before its picture: the output starts at the picture.
    const QString first = box.events() + QLatin1Char('/') + cardClipName(1);
    EXPECT_LT(probeDuration(first), 2.2);
    expectNoIntermediates(box);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        EXPECT_EQ(fingerprint(stream + QLatin1Char('/') + it.key()), it.value());
    }

    QFile resume(box.resumeLog());
    ASSERT_TRUE(resume.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(resume.readAll());
    EXPECT_EQ(log.count(QStringLiteral("\n----------\n\nsource              : ")), 3);
    EXPECT_EQ(log.count(QStringLiteral("   Total speed      : real time / ")), 3);
    EXPECT_TRUE(log.contains(QStringLiteral("destination         : ") + box.events() +
                             QLatin1Char('/') + cardClipName(2)));
    // What the terminal shows also goes to the detailed log.
    QFile details(box.detailsLog());
    ASSERT_TRUE(details.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(details.readAll()).contains(QStringLiteral("converted: ")));
    // Progress is shown by tenths of the batch, not for every line ffmpeg prints.
    EXPECT_LE(run.out.count(QStringLiteral("\nprogress: ")), 11);
}

// A 100 fps clip in slow motion is delivered at 25 fps and lasts four times as long.
TEST(batch, slowMotionHundredFramesPerSecond) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/fast.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 100, 1.0));
    const runResult run = box.batch({src, "--format", "rewrap", "--mode", "slow"});
    ASSERT_EQ(run.status, 0) << show(run);
    ASSERT_EQ(box.eventsFiles().size(), 1);
    const QString out = box.events() + QLatin1Char('/') + box.eventsFiles().first();
    // Not from a card: named after the file's creation date and its base name.
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("/clip-\\d{4}-\\d\\d-\\d\\d \\d\\d;\\d\\d;\\d\\d-fast\\.mov$"))
                    .match(out)
                    .hasMatch())
        << out.toStdString();
    EXPECT_NEAR(rateOf(probeStream(out, "v").value("r_frame_rate")), 25.0, 0.05);
    EXPECT_NEAR(probeStream(out, "v").value("duration").toDouble(), 4.0, 0.2);
    expectNoIntermediates(box);
}

// Each available format in each frame-rate mode, on one 50 fps clip: the delivered rate
// follows the mode, ProRes HQ outputs carry 'apch'.
TEST(batch, formatsTimesModes) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/fifty.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 50, 1.0));
    const struct {
        const char *format;
        const char *mode;
        double rate;
    } cases[] = {{"rewrap", "normal", 50}, {"rewrap", "half", 50}, {"rewrap", "slow", 25},
                 {"prores", "normal", 50}, {"prores", "half", 25}, {"prores", "slow", 25}};
    for (const auto &c : cases) {
        QDir(box.events()).removeRecursively();
        const runResult run =
            box.batch({src, "--format", c.format, "--mode", c.mode, "--prores", "hq", "--replace"});
        if (QString::fromLatin1(c.format) == "prores" && !proresAvailable(run)) {
            continue;
        }
        ASSERT_EQ(run.status, 0) << c.format << " " << c.mode << show(run);
        ASSERT_EQ(box.eventsFiles().size(), 1) << c.format << " " << c.mode;
        const QString out = box.events() + QLatin1Char('/') + box.eventsFiles().first();
        const auto video = probeStream(out, "v");
        EXPECT_NEAR(rateOf(video.value("r_frame_rate")), c.rate, 0.05) << c.format << " " << c.mode;
        if (QString::fromLatin1(c.format) == "prores") {
            EXPECT_EQ(video.value("codec_tag_string"), "apch");
            // The export keeps the sound as 48 kHz PCM (its own byte order), slowed down too.
            const auto audio = probeStream(out, "a");
            EXPECT_TRUE(audio.value("codec_name").startsWith("pcm_s16")) << c.mode;
            EXPECT_EQ(audio.value("sample_rate"), "48000") << c.mode;
        }
        expectNoIntermediates(box);
    }
}

// Interlaced material and files that are no movie are refused; the rest is converted; the exit
// status tells that not everything was.
TEST(batch, refusedSourcesAndExitStatus) {
    sandbox box;
    const QString interlaced = box.root() + QStringLiteral("/interlaced.ts");
    // Fields of 50 moments a second, woven two by two into 25 pictures.
    ASSERT_TRUE(makeClip(interlaced, "640x360", 50, 1.0,
                         {"-vf", "tinterlace=mode=interleave_top", "-flags", "+ildct+ilme",
                          "-x264-params", "tff=1"}));
    const QString fake = box.root() + QStringLiteral("/notamovie.mts");
    QFile file(fake);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    const QString good = box.root() + QStringLiteral("/good.ts");
    ASSERT_TRUE(makeClip(good, "640x360", 25, 1.0));
    const QString text = box.root() + QStringLiteral("/notes.txt");
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("x");
    notes.close();

    const runResult run = box.batch({interlaced, fake, good, text, "--format", "rewrap"});
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("refused:  ") + interlaced)) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("refused:  ") + fake));
    EXPECT_TRUE(run.out.contains(QStringLiteral("refused:  ") + text));
    EXPECT_TRUE(run.out.contains(QStringLiteral("accepted: ") + good));
    ASSERT_EQ(box.eventsFiles().size(), 1);
    EXPECT_TRUE(box.eventsFiles().first().endsWith(QStringLiteral("-good.mov")));

    EXPECT_EQ(box.batch({"--format", "gif", good}).status, 2);
    EXPECT_EQ(box.batch({}).status, 2);
}

// The debug lines reach the log with --debug or FLUXARO_DEBUG=1, and only then.
TEST(batch, debugSwitch) {
    sandbox box;
    const QString fake = box.root() + QStringLiteral("/notamovie.mts");
    QFile file(fake);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    const QString debugLine = QStringLiteral("prefWrite           - def :");
    auto details = [&box] {
        QFile log(box.detailsLog());
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    };

    EXPECT_EQ(box.batch({fake}).status, 1);
    EXPECT_FALSE(details().contains(debugLine));
    EXPECT_EQ(box.batch({fake, "--debug"}).status, 1);
    EXPECT_TRUE(details().contains(debugLine));
    EXPECT_EQ(box.batch({fake}, 240000, {{"FLUXARO_DEBUG", "1"}}).status, 1);
    EXPECT_TRUE(details().contains(debugLine));
}

// An existing output is kept (by default, as after the question's time-out, or with --keep) or
// replaced with --replace.
TEST(batch, replaceOrKeepExistingOutputs) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0));
    ASSERT_EQ(box.batch({src, "--format", "rewrap"}).status, 0);
    ASSERT_EQ(box.eventsFiles().size(), 1);
    const QString out = box.events() + QLatin1Char('/') + box.eventsFiles().first();
    const QByteArray first = fingerprint(out);

    const runResult kept = box.batch({src, "--format", "rewrap"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_TRUE(kept.out.contains(QStringLiteral("skipped:  ") + src +
                                  QStringLiteral(" (kept the existing output)")))
        << show(kept);
    EXPECT_FALSE(kept.out.contains(QStringLiteral("failed: "))) << show(kept);
    EXPECT_EQ(box.batch({src, "--keep"}).status, 1);
    EXPECT_EQ(fingerprint(out), first);

    const runResult replaced = box.batch({src, "--format", "rewrap", "--replace"});
    EXPECT_EQ(replaced.status, 0) << show(replaced);
    EXPECT_NE(fingerprint(out), first);
    EXPECT_EQ(box.eventsFiles().size(), 1);
}

// Quotes, "%", blanks and accented letters in folder and file names go through every command.
TEST(batch, awkwardNames) {
    sandbox box;
    const QString folder = box.root() + QStringLiteral("/Vidéos d'été 100%");
    QDir().mkpath(folder);
    const QString src = folder + QStringLiteral("/l'été à 50% $(x) \"ok\".ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0));
    const QString dest = box.root() + QStringLiteral("/Dést 'out' %d");
    QDir().mkpath(dest);
    const runResult run = box.batch({folder, "--dest", dest, "--format", "prores"});
    ASSERT_EQ(run.status, 0) << show(run);
    const QStringList files = QDir(dest + "/fluxaro events").entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.first().endsWith(QStringLiteral("-l'été à 50% $(x) \"ok\".mov")))
        << files.first().toStdString();
    EXPECT_FALSE(QFileInfo::exists(QDir::currentPath() + QStringLiteral("/x")));
}

// Without ffmpeg in the resource folder every source fails with a clear message, and quickly.
TEST(batch, missingFfmpegFailsCleanly) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0));
    const QString resources = box.root() + QStringLiteral("/resources");
    ASSERT_TRUE(makeResourceFolder(resources, {}));
    const runResult run =
        box.batch({src}, 60000, {{QStringLiteral("FLUXARO_RESOURCE_DIR"), resources}});
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("ffmpeg can't be started"))) << show(run);
}

// An output of the right size that is not a movie is a failure, and is not left behind: the
// conversion's ffmpeg is replaced by a script that writes 300 KB of zeros where the movie
// should go (the probe and the thumbnail still run the real ffmpeg).
TEST(batch, largeButUnreadableOutputFails) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0));
    const QString resources = box.root() + QStringLiteral("/resources");
    ASSERT_TRUE(makeResourceFolder(
        resources,
        {{QStringLiteral("clipdater"), QStringLiteral(FLUXARO_TOOLS_DIR "/clipdater")},
         {QStringLiteral("ffmpeg"), QStringLiteral("#!/bin/sh\n"
                                                   "case \" $* \" in\n"
                                                   "*\" -vcodec copy \"*)\n"
                                                   "  for last; do :; done\n"
                                                   "  head -c 307200 /dev/zero > \"$last\"\n"
                                                   "  exit 0 ;;\n"
                                                   "esac\n"
                                                   "exec /usr/bin/ffmpeg \"$@\"\n")}}));
    const runResult run = box.batch({src, "--format", "rewrap", "--mode", "normal"}, 120000,
                                    {{QStringLiteral("FLUXARO_RESOURCE_DIR"), resources}});
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("failed:   ") + src +
                                 QStringLiteral(" (output is not a readable movie)")))
        << show(run);
    EXPECT_FALSE(run.out.contains(QStringLiteral("converted: "))) << show(run);
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}

// A conversion under 200 KB does not count: the job fails with its reason and the small file
// is not left behind.
TEST(batch, tinyOutputFails) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/tiny.ts");
    ASSERT_TRUE(makeClip(src, "160x90", 25, 0.2));
    const runResult run = box.batch({src, "--format", "rewrap", "--mode", "normal"}, 120000);
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("failed:   ") + src +
                                 QStringLiteral(" (output too small (")))
        << show(run);
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}

// Without trakmill the export fails cleanly: no output, no master file left behind.
TEST(batch, missingTrakmillFailsCleanly) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0));
    const QString resources = box.root() + QStringLiteral("/resources");
    ASSERT_TRUE(makeResourceFolder(
        resources,
        {{QStringLiteral("ffmpeg"), QStringLiteral("/usr/bin/ffmpeg")},
         {QStringLiteral("clipdater"), QStringLiteral(FLUXARO_TOOLS_DIR "/clipdater")}}));
    const runResult run = box.batch({src, "--format", "prores"}, 120000,
                                    {{QStringLiteral("FLUXARO_RESOURCE_DIR"), resources}});
    if (!proresAvailable(run)) {
        GTEST_SKIP() << "no ProRes encoder";
    }
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("failed:   ") + src + QStringLiteral(" (") +
                                 resources + QStringLiteral("/tools/trakmill can't be started)")))
        << show(run);
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}

// Several folders in one run: each stands for the movie files below it, in the order given.
TEST(batch, severalFolders) {
    sandbox box;
    for (const char *name : {"b-day", "a-day/sub"}) {
        QDir().mkpath(box.root() + "/" + name);
    }
    ASSERT_TRUE(makeClip(box.root() + "/b-day/one.ts", "640x360", 25, 1.0));
    ASSERT_TRUE(makeClip(box.root() + "/a-day/sub/two.ts", "640x360", 25, 1.0));
    QFile notes(box.root() + "/a-day/readme.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a movie");
    notes.close();
    const runResult run =
        box.batch({box.root() + "/b-day", box.root() + "/a-day", "--format", "rewrap"});
    ASSERT_EQ(run.status, 0) << show(run);
    EXPECT_LT(run.out.indexOf(QStringLiteral("accepted: ") + box.root() + "/b-day/one.ts"),
              run.out.indexOf(QStringLiteral("accepted: ") + box.root() + "/a-day/sub/two.ts"));
    EXPECT_FALSE(run.out.contains(QStringLiteral("readme.txt")));
    EXPECT_EQ(box.eventsFiles().size(), 2);
}

// With the source folder as the destination, a rerun does not take the earlier outputs (in the
// events folder inside it) for new sources.
TEST(batch, sourceFolderAsDestinationConvertsOnlyTheSources) {
    sandbox box;
    const QString folder = box.root() + QStringLiteral("/shoot");
    QDir().mkpath(folder);
    ASSERT_TRUE(makeClip(folder + "/one.ts", "640x360", 25, 1.0));
    const runResult first = box.batch({folder, "--dest", folder, "--format", "rewrap"});
    ASSERT_EQ(first.status, 0) << show(first);
    const runResult again =
        box.batch({folder, "--dest", folder, "--format", "rewrap", "--replace"});
    EXPECT_EQ(again.status, 0) << show(again);
    EXPECT_FALSE(again.out.contains(QStringLiteral("accepted: ") + folder + "/fluxaro events"))
        << show(again);
    EXPECT_TRUE(again.out.contains(QStringLiteral("done: 1 converted"))) << show(again);
    EXPECT_EQ(QDir(folder + "/fluxaro events").entryList(QDir::Files).size(), 1);
}

// A FIFO named like a clip is refused by name, not probed for ever; a first SIGTERM during
// an analysis that hangs ends it.
TEST(batch, fifoSourceAndStopDuringTheAnalysis) {
    sandbox box;
    QDir().mkpath(box.root() + "/card");
    const QString fifo = box.root() + "/card/x.MTS";
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(makeClip(box.root() + "/card/one.ts", "640x360", 25, 1.0));
    const runResult run = box.batch({box.root() + "/card", "--format", "rewrap"}, 120000);
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("refused:  ") + fifo + " (not a regular file)"))
        << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("converted: ") + box.root() + "/card/one.ts"))
        << show(run);

    const QString resources = box.root() + QStringLiteral("/hanging");
    ASSERT_TRUE(makeResourceFolder(resources, {{"ffmpeg", "#!/bin/sh\nexec sleep 600\n"}}));
    QProcess process;
    QProcessEnvironment env = box.environment();
    env.insert(QStringLiteral("FLUXARO_RESOURCE_DIR"), resources);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
                  {"--batch", box.root() + "/card/one.ts", "--dest", box.dest()});
    ASSERT_TRUE(process.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    while (processesMentioning(QStringLiteral("sleep 600")).isEmpty() && timer.elapsed() < 30000) {
        QThread::msleep(50);
    }
    process.terminate();
    EXPECT_TRUE(process.waitForFinished(15000));
    EXPECT_EQ(process.exitCode(), 1);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

// What the user reads: the reason a tool gave for its failure, the source with no picture
// refused by the analysis, a mode that can't apply said so, control characters of names
// escaped, and the sound track kept among several.
TEST(batch, wordsForTheUser) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0));
    const QString resources = box.root() + QStringLiteral("/resources");
    ASSERT_TRUE(makeResourceFolder(
        resources,
        {{QStringLiteral("clipdater"), QStringLiteral(FLUXARO_TOOLS_DIR "/clipdater")},
         {QStringLiteral("ffmpeg"),
          QStringLiteral(
              "#!/bin/sh\n"
              "case \" $* \" in\n"
              "*\" -vcodec copy \"*)\n"
              "  echo 'frame=   10 fps=0.0 q=-1.0 size=       0kB time=00:00:00.40' >&2\n"
              "  echo 'av_interleaved_write_frame(): No space left on device' >&2\n"
              "  echo 'Conversion failed!' >&2\n"
              "  exit 1 ;;\n"
              "esac\n"
              "exec /usr/bin/ffmpeg \"$@\"\n")}}));
    const runResult full = box.batch({src, "--format", "rewrap", "--mode", "half"}, 120000,
                                     {{QStringLiteral("FLUXARO_RESOURCE_DIR"), resources}});
    EXPECT_EQ(full.status, 1) << show(full);
    EXPECT_TRUE(full.out.contains(QStringLiteral("failed:   ") + src +
                                  " (ffmpeg made no movie: av_interleaved_write_frame(): No space "
                                  "left on device / Conversion failed!)"))
        << show(full);
    EXPECT_TRUE(full.out.contains(QStringLiteral("half rate needs an export"))) << show(full);
    QFile details(box.detailsLog());
    ASSERT_TRUE(details.open(QIODevice::ReadOnly));
    EXPECT_TRUE(details.readAll().contains("tool said           :-( av_interleaved_write_frame()"));

    // Sound alone; a name with an escape sequence and a carriage return; eight sound tracks.
    const QString sound = box.root() + QStringLiteral("/sound.mp4");
    const QString odd = box.root() + QStringLiteral("/a\x1b[31mred\rb.ts");
    const QString eight = box.root() + QStringLiteral("/eight.ts");
    QProcess maker;
    maker.start(QStringLiteral("/usr/bin/ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-i",
                                                    "sine=duration=1", "-c:a", "aac", sound});
    ASSERT_TRUE(maker.waitForFinished(60000));
    ASSERT_TRUE(makeClip(odd, "640x360", 25, 1.0));
    QStringList args{
        "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=1"};
    for (int i = 0; i < 8; ++i) {
        args << "-f"
             << "lavfi"
             << "-i" << QStringLiteral("sine=frequency=%1:duration=1").arg(300 + 100 * i);
    }
    for (int i = 0; i <= 8; ++i) {
        args << "-map" << QString::number(i);
    }
    args << "-c:v"
         << "libx264"
         << "-preset"
         << "ultrafast"
         << "-c:a"
         << "ac3" << eight;
    maker.start(QStringLiteral("/usr/bin/ffmpeg"), args);
    ASSERT_TRUE(maker.waitForFinished(60000));
    ASSERT_EQ(maker.exitCode(), 0) << maker.readAllStandardError().toStdString();
    const runResult run = box.batch({sound, odd, eight, "--format", "rewrap"});
    EXPECT_TRUE(run.out.contains(QStringLiteral("refused:  ") + sound + " (no video stream)"))
        << show(run);
    EXPECT_FALSE(run.out.contains(QChar(0x1b))) << show(run);
    EXPECT_FALSE(run.out.contains(QChar('\r'))) << show(run);
    EXPECT_TRUE(
        run.out.contains(QStringLiteral("accepted: ") + box.root() + "/a\\x1b[31mred\\x0db.ts"))
        << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("accepted: ") + eight +
                                 " (sound: track 1 of 8 kept, the others are left out)"))
        << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("done: 2 converted, 1 refused"))) << show(run);
}

// A variable-rate clip (25, then 30 frames per second) is judged by the rate it plays at, not
// the container's guess (150): slow motion cannot apply, and the output keeps the clip's length
// instead of being stretched four times.
TEST(batch, variableRateClipIsNotStretched) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/vfr.ts");
    QProcess maker;
    maker.start(QStringLiteral("/usr/bin/ffmpeg"),
                {"-v", "error", "-y", "-filter_complex",
                 "testsrc=size=640x360:rate=25:duration=2[a];"
                 "testsrc=size=640x360:rate=30:duration=2[b];[a][b]concat=n=2:v=1:a=0",
                 "-fps_mode", "vfr", "-c:v", "libx264", "-preset", "ultrafast", "-crf", "5",
                 "-pix_fmt", "yuv420p", src});
    ASSERT_TRUE(maker.waitForFinished(60000));
    ASSERT_EQ(maker.exitCode(), 0) << maker.readAllStandardError().toStdString();
    const runResult run = box.batch({src, "--format", "rewrap", "--mode", "slow"});
    ASSERT_EQ(run.status, 0) << show(run);
    ASSERT_EQ(box.eventsFiles().size(), 1);
    const QString out = box.events() + QLatin1Char('/') + box.eventsFiles().first();
    EXPECT_NEAR(probeDuration(out), 4.0, 0.5);
}

// A file whose name is not valid UTF-8, inside a dropped folder, is refused by name (its name
// can't be handed back to the file system once read as text), never skipped without a word.
TEST(batch, nameThatIsNotUtf8IsRefusedByName) {
    sandbox box;
    const QString folder = box.root() + QStringLiteral("/card");
    QDir().mkpath(folder);
    ASSERT_TRUE(makeClip(folder + "/good.ts", "640x360", 25, 1.0));
    const QByteArray raw = QFile::encodeName(folder) + "/caf\xe9.ts";
    ASSERT_TRUE(QFile::copy(folder + "/good.ts", folder + "/tmp.ts"));
    ASSERT_EQ(::rename(QFile::encodeName(folder + "/tmp.ts").constData(), raw.constData()), 0);
    const runResult run = box.batch({folder, "--format", "rewrap"});
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("refused:  ") + folder + "/caf")) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("its name is not valid UTF-8"))) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("converted: ") + folder + "/good.ts")) << show(run);
}

// An interrupted run stops like the stop button: the job fails, the exit status is 1, and
// neither the partial output nor an intermediate file stays behind.
TEST(batch, interruptedRunCleansUp) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/long.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 12.0));
    QProcess process;
    process.setProcessEnvironment(box.environment());
    process.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
                  {"--batch", src, "--dest", box.dest(), "--format", "prores", "--mode", "normal"});
    ASSERT_TRUE(process.waitForStarted());
    // Wait for the export (its master file) or the end of the run.
    if (!box.waitForExport(process)) {
        GTEST_SKIP() << "no export ran";
    }
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(
        QString::fromUtf8(process.readAllStandardOutput()).contains(QStringLiteral("interrupted")));
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}

// Multichannel sound is kept only when asked for; otherwise it is mixed down to stereo.
TEST(batch, surroundSound) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/surround.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0, {}, false, 0, 6));
    // Its layout goes with it ('chan'), so readers that mix it down know the channels.
    const runResult prores = box.batch({src, "--format", "prores", "--surround"});
    ASSERT_EQ(prores.status, 0) << show(prores);
    const QString out = box.events() + QLatin1Char('/') + box.eventsFiles().value(0);
    EXPECT_EQ(probeStream(out, "a").value("channels"), "6");
    EXPECT_EQ(probeStream(out, "a").value("channel_layout"), "5.1");
    const runResult surround = box.batch({src, "--format", "rewrap", "--surround", "--replace"});
    ASSERT_EQ(surround.status, 0) << show(surround);
    EXPECT_EQ(probeStream(out, "a").value("channels"), "6");
    EXPECT_EQ(probeStream(out, "a").value("channel_layout"), "5.1");
    const runResult stereo = box.batch({src, "--format", "rewrap", "--replace"});
    ASSERT_EQ(stereo.status, 0) << show(stereo);
    EXPECT_EQ(probeStream(out, "a").value("channels"), "2");
}

// Two sound tracks: the first (a tone, stereo) is the one the run keeps, in every format, though
// ffmpeg alone would take the second, silent one for its six channels.
TEST(batch, theFirstOfTwoSoundTracksIsTheOneConverted) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/two-tracks.ts");
    QProcess make;
    make.setProcessChannelMode(QProcess::MergedChannels);
    make.start(QStringLiteral("ffmpeg"), {"-v",
                                          "error",
                                          "-y",
                                          "-f",
                                          "lavfi",
                                          "-i",
                                          "testsrc=size=640x360:rate=25:duration=2",
                                          "-f",
                                          "lavfi",
                                          "-i",
                                          "sine=frequency=440:sample_rate=48000:duration=2",
                                          "-f",
                                          "lavfi",
                                          "-i",
                                          "anullsrc=channel_layout=5.1:sample_rate=48000",
                                          "-map",
                                          "0:v",
                                          "-map",
                                          "1:a",
                                          "-map",
                                          "2:a",
                                          "-t",
                                          "2",
                                          "-c:v",
                                          "libx264",
                                          "-preset",
                                          "veryfast",
                                          "-g",
                                          "25",
                                          "-c:a",
                                          "ac3",
                                          "-ac:a:0",
                                          "2",
                                          src});
    ASSERT_TRUE(make.waitForFinished(120000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAll().toStdString();
    for (const char *format : {"rewrap", "prores"}) {
        SCOPED_TRACE(format);
        const runResult r = box.batch({src, "--format", format, "--replace"});
        ASSERT_EQ(r.status, 0) << show(r);
        const QString out = box.events() + QLatin1Char('/') + box.eventsFiles().value(0);
        QProcess level;
        level.setProcessChannelMode(QProcess::MergedChannels);
        level.start(QStringLiteral("ffmpeg"), {"-nostats", "-i", out, "-map", "0:a", "-af",
                                               "volumedetect", "-f", "null", "-"});
        ASSERT_TRUE(level.waitForFinished(120000));
        const QString said = QString::fromUtf8(level.readAll());
        const qsizetype at = said.indexOf(QStringLiteral("mean_volume: "));
        ASSERT_GE(at, 0) << said.toStdString();
        const double mean = said.mid(at + 13).section(QLatin1Char(' '), 0, 0).toDouble();
        // The tone is about -21 dB; silence is -91 dB.
        EXPECT_GT(mean, -40.0) << said.toStdString();
        EXPECT_EQ(probeStream(out, "a").value("channels"), "2");
    }
}

// A conversion killed outright (SIGKILL: no clean-up runs) leaves no movie under its final name
// and no tool running on; the next start deletes the job's working files before the store's
// sweep, and converts the source instead of keeping a broken output.
TEST(batch, killedRunLeavesNoFinalNameAndTheNextStartCleansUp) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/long.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 12.0));
    QProcess process;
    process.setProcessEnvironment(box.environment());
    process.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
                  {"--batch", src, "--dest", box.dest(), "--format", "prores", "--mode", "normal"});
    ASSERT_TRUE(process.waitForStarted());
    if (!box.waitForExport(process)) {
        GTEST_SKIP() << "no export ran";
    }
    process.kill();
    ASSERT_TRUE(process.waitForFinished(60000));
    // The tools die with the application.
    QElapsedTimer grace;
    grace.start();
    while (!processesMentioning(box.root()).isEmpty() && grace.elapsed() < 5000) {
        QThread::msleep(50);
    }
    EXPECT_TRUE(processesMentioning(box.root()).isEmpty())
        << processesMentioning(box.root()).join("\n").toStdString();
    // Only working files, none under a final name ("clip-...").
    const QStringList left = box.eventsFiles();
    for (const QString &name : left) {
        EXPECT_FALSE(name.startsWith(QStringLiteral("clip-"))) << name.toStdString();
    }
    EXPECT_FALSE(left.isEmpty());

    // The next start removes them; the source is converted, not kept as it was.
    const runResult next = box.batch({src, "--format", "rewrap"});
    EXPECT_EQ(next.status, 0) << show(next);
    const QStringList after = box.eventsFiles();
    ASSERT_EQ(after.size(), 1) << after.join(", ").toStdString();
    EXPECT_TRUE(after.first().startsWith(QStringLiteral("clip-")));
    EXPECT_TRUE(QFile(box.detailsLog()).exists());
}

// Two runs converting different sources into one destination at the same time: each output
// holds its own source's movie (their working and "_MASTER" files once shared a name).
TEST(batch, twoRunsIntoOneDestinationKeepTheirOwnMovies) {
    sandbox first;
    sandbox second;
    const QString a = first.root() + QStringLiteral("/A.ts");
    const QString b = second.root() + QStringLiteral("/B.ts");
    ASSERT_TRUE(makeClip(a, "640x360", 25, 3.0));
    ASSERT_TRUE(makeClip(b, "640x360", 25, 5.0));
    QProcess runA;
    QProcess runB;
    runA.setProcessEnvironment(first.environment());
    runB.setProcessEnvironment(second.environment());
    const QString dest = first.dest();
    runA.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
               {"--batch", a, "--dest", dest, "--format", "prores", "--mode", "normal"});
    runB.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
               {"--batch", b, "--dest", dest, "--format", "prores", "--mode", "normal"});
    ASSERT_TRUE(runA.waitForFinished(300000));
    ASSERT_TRUE(runB.waitForFinished(300000));
    const QString outA = QString::fromUtf8(runA.readAllStandardOutput());
    const QString outB = QString::fromUtf8(runB.readAllStandardOutput());
    if (outA.contains(QStringLiteral("no ProRes encoder"))) {
        GTEST_SKIP() << "no ProRes encoder";
    }
    ASSERT_EQ(runA.exitCode(), 0) << outA.toStdString();
    ASSERT_EQ(runB.exitCode(), 0) << outB.toStdString();
    const QStringList files = QDir(dest + QStringLiteral("/fluxaro events"))
                                  .entryList(QDir::Files | QDir::Hidden, QDir::Name);
    ASSERT_EQ(files.size(), 2) << files.join(", ").toStdString();
    for (const QString &name : files) {
        const QString path = dest + QStringLiteral("/fluxaro events/") + name;
        const bool isA = name.endsWith(QStringLiteral("-A.mov"));
        EXPECT_NEAR(probeDuration(path), isA ? 3.0 : 5.0, 0.2) << name.toStdString();
    }
}

// A second start of the same user with another runtime folder (a cron job, an ssh login)
// while a batch converts: the single-instance lock lies beside the settings, so it is refused,
// and its start-up never sweeps the running job's working files away.
TEST(batch, secondStartWithAnotherRuntimeFolderLeavesTheRunningJobAlone) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/long.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 12.0));
    QProcess process;
    process.setProcessEnvironment(box.environment());
    process.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
                  {"--batch", src, "--dest", box.dest(), "--format", "prores", "--mode", "normal"});
    ASSERT_TRUE(process.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    QString working;
    while (working.isEmpty() && process.state() == QProcess::Running && timer.elapsed() < 120000) {
        process.waitForFinished(20);
        for (const QString &name : box.eventsFiles()) {
            if (name.startsWith(QStringLiteral(".fluxaro-"))) {
                working = box.events() + QLatin1Char('/') + name;
            }
        }
    }
    ASSERT_FALSE(working.isEmpty()) << "no working output seen";

    const QString otherRuntime = box.root() + QStringLiteral("/runtime2");
    ASSERT_TRUE(QDir().mkpath(otherRuntime));
    QFile::setPermissions(otherRuntime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = box.environment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), otherRuntime);
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), {"--facts"});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 1) << second.readAllStandardOutput().toStdString();

    ASSERT_TRUE(process.waitForFinished(300000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    if (out.contains(QStringLiteral("no ProRes encoder"))) {
        GTEST_SKIP() << "no ProRes encoder";
    }
    EXPECT_EQ(process.exitCode(), 0) << out.toStdString();
    const QStringList files = box.eventsFiles();
    ASSERT_EQ(files.size(), 1) << files.join(", ").toStdString();
    EXPECT_TRUE(files.first().startsWith(QStringLiteral("clip-")));
}

namespace {

int runAsRoot(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A user made for one test, deleted with its home at the end.
struct testUser {
    explicit testUser(const QString &userName, const QString &homeFolder)
        : name(userName), home(homeFolder) {
        made = runAsRoot(QStringLiteral("useradd"), {"-M", "-d", home, "-s", "/bin/sh", name}) == 0;
        if (made) {
            QDir().mkpath(home);
            runAsRoot(QStringLiteral("chown"), {name + ":" + name, home});
            QFile::setPermissions(home, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner);
            const struct passwd *entry = ::getpwnam(name.toLocal8Bit().constData());
            uid = entry != nullptr ? entry->pw_uid : 0;
            gid = entry != nullptr ? entry->pw_gid : 0;
        }
    }
    ~testUser() {
        if (made) {
            runAsRoot(QStringLiteral("userdel"), {name});
        }
    }
    QString name;
    QString home;
    bool made = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

} // namespace

// Two users of one machine, TMPDIR unset for both (here: one shared sticky folder, as /tmp):
// the other user made "Fluxaro" in it first, writable by all, with a link named "frame.yuv" to
// our ~/.bashrc (which became 4.6 MB of video). Our batch converts all the same, in a folder
// of its own; it writes nothing through the link, neither deletes nor trashes the other
// user's folder, and leaves no "files" or "info" folders in the current folder of a new
// account.
TEST(batch, twoUsersOnOneMachine) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "adding users needs root";
    }
    QTemporaryDir base(QStringLiteral("/tmp/fluxaro-users-XXXXXX"));
    ASSERT_TRUE(base.isValid());
    QFile::setPermissions(base.path(), QFileDevice::Permissions(0x7755));
    const QString shared = base.path() + QStringLiteral("/tmp");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString tag = QString::number(QCoreApplication::applicationPid());
    testUser other(QStringLiteral("fxo") + tag, base.path() + QStringLiteral("/other"));
    testUser me(QStringLiteral("fxm") + tag, base.path() + QStringLiteral("/me"));
    ASSERT_TRUE(other.made && me.made) << "useradd failed";

    const QString bashrc = me.home + QStringLiteral("/.bashrc");
    const QByteArray profile("alias ll='ls -l'\n");
    {
        QFile file(bashrc);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(profile);
    }
    ASSERT_EQ(::chown(QFile::encodeName(bashrc).constData(), me.uid, me.gid), 0);
    const QString foreign = shared + QStringLiteral("/Fluxaro");
    ASSERT_TRUE(QDir().mkpath(foreign));
    // Sticky: our start-up can't delete the link, and the kernel follows it, since the
    // folder's owner owns it too.
    ASSERT_EQ(::chmod(QFile::encodeName(foreign).constData(), 01777), 0);
    ASSERT_TRUE(QFile::link(bashrc, foreign + QStringLiteral("/frame.yuv")));
    ASSERT_EQ(::lchown(QFile::encodeName(foreign + QStringLiteral("/frame.yuv")).constData(),
                       other.uid, other.gid),
              0);
    ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), other.uid, other.gid), 0);

    const QString src = base.path() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0));
    ::chmod(QFile::encodeName(src).constData(), 0644);
    const QString dest = me.home + QStringLiteral("/dest");
    ASSERT_TRUE(QDir().mkpath(dest));
    ASSERT_EQ(::chown(QFile::encodeName(dest).constData(), me.uid, me.gid), 0);

    QProcess run;
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), me.home);
    env.insert(QStringLiteral("USER"), me.name);
    env.insert(QStringLiteral("LOGNAME"), me.name);
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("TMPDIR"), shared);
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(me.home);
    run.start(QStringLiteral("setpriv"),
              {QStringLiteral("--reuid=") + QString::number(me.uid),
               QStringLiteral("--regid=") + QString::number(me.gid), "--clear-groups", "--",
               QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), "--batch", src, "--dest", dest,
               "--format", "rewrap"});
    ASSERT_TRUE(run.waitForFinished(240000));
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    const QString err = QString::fromUtf8(run.readAllStandardError());
    EXPECT_EQ(run.exitCode(), 0) << out.toStdString() << err.right(3000).toStdString();
    EXPECT_EQ(QDir(dest + QStringLiteral("/fluxaro events")).entryList(QDir::Files).size(), 1)
        << out.toStdString();

    QFile file(bashrc);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), profile);
    EXPECT_TRUE(QFileInfo(foreign + QStringLiteral("/frame.yuv")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(me.home + QStringLiteral("/files")));
    EXPECT_FALSE(QFileInfo::exists(me.home + QStringLiteral("/info")));
    // Nothing of ours is left in the shared folder.
    EXPECT_EQ(QDir(shared).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("Fluxaro")});
}

namespace {

// The recording-date tags of a movie as ffprobe reads them: the header's creation time, the
// QuickTime creation-date key, and the video track's creation time.
QMap<QString, QString> dateTags(const QString &path) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-select_streams", "v:0", "-show_entries",
                 "format_tags=creation_time,com.apple.quicktime.creationdate:stream_tags=creation_"
                 "time",
                 "-of", "flat", path});
    probe.waitForFinished(60000);
    QMap<QString, QString> tags;
    for (const QString &line : QString::fromUtf8(probe.readAllStandardOutput()).split('\n')) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0) {
            tags.insert(line.left(equals), line.mid(equals + 1).remove(QLatin1Char('"')));
        }
    }
    return tags;
}

} // namespace

// Every output carries the recording date it is named after, in every format and mode: the
// card's playlist time read in the machine's zone (here two hours east of Greenwich), in the
// movie header in UTC, as the creation-date key with its offset, and as the file's time.
TEST(batch, outputsCarryTheirRecordingDate) {
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    makeCard(card, {{"640x360", 50}}, 1);
    // clip 1 of the card: 2024-05-18 10:15:30 at +02:00 is 08:15:30 UTC.
    const qint64 utc = 1716020130;
    const struct {
        const char *format;
        const char *mode;
    } cases[] = {{"rewrap", "normal"},
                 {"rewrap", "half"},
                 {"rewrap", "slow"},
                 {"prores", "normal"},
                 {"prores", "slow"}};
    for (const auto &c : cases) {
        QDir(box.events()).removeRecursively();
        const runResult run = box.batch({card, "--format", c.format, "--mode", c.mode, "--replace"},
                                        240000, {{"TZ", "FLX-02"}});
        if (QString::fromLatin1(c.format) == "prores" && !proresAvailable(run)) {
            continue;
        }
        ASSERT_EQ(run.status, 0) << c.format << " " << c.mode << show(run);
        const QString out = box.events() + QLatin1Char('/') + cardClipName(1);
        ASSERT_TRUE(QFileInfo::exists(out)) << c.format << " " << c.mode;
        const auto tags = dateTags(out);
        EXPECT_EQ(tags.value("format.tags.com_apple_quicktime_creationdate"),
                  "2024-05-18T10:15:30+02:00")
            << c.format << " " << c.mode;
        EXPECT_TRUE(tags.value("format.tags.creation_time").startsWith("2024-05-18T08:15:30"))
            << c.format << " " << c.mode << " "
            << tags.value("format.tags.creation_time").toStdString();
        EXPECT_TRUE(
            tags.value("streams.stream.0.tags.creation_time").startsWith("2024-05-18T08:15:30"))
            << c.format << " " << c.mode;
        EXPECT_EQ(QFileInfo(out).lastModified().toSecsSinceEpoch(), utc)
            << c.format << " " << c.mode;
    }

    // A file from elsewhere: its creation date, which the file's time then equals.
    const QString src = box.root() + QStringLiteral("/other.ts");
    ASSERT_TRUE(makeClip(src, "640x360", 25, 1.0));
    QDir(box.events()).removeRecursively();
    const runResult run = box.batch({src, "--format", "rewrap", "--mode", "normal"});
    ASSERT_EQ(run.status, 0) << show(run);
    ASSERT_EQ(box.eventsFiles().size(), 1);
    const QString out = box.events() + QLatin1Char('/') + box.eventsFiles().first();
    const auto tags = dateTags(out);
    const QDateTime written = QFileInfo(out).lastModified();
    EXPECT_LE(written.toSecsSinceEpoch(), QFileInfo(src).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(QDateTime::fromString(tags.value("format.tags.creation_time"), Qt::ISODateWithMs)
                  .toSecsSinceEpoch(),
              written.toSecsSinceEpoch());
    EXPECT_FALSE(tags.value("format.tags.com_apple_quicktime_creationdate").isEmpty());
}

// A clip whose stream says the camera recorded at -05:00 (here in summer time: -04:00) is read
// in that zone, not the machine's (+02:00): the name keeps the playlist's wall-clock time, the
// movie header, the creation-date key and the file's time give the moment it was in that zone,
// and the detailed log and the job's summary block say where the zone came from.
TEST(batch, cameraZoneOfTheStreamDatesTheOutput) {
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    const QString stream = makeCard(card, {{"320x180", 25}}, 1, 0x6A);
    // The camera's message is in the stream and costs it no picture.
    EXPECT_EQ(frameHashes(stream + QStringLiteral("/00001.MTS")).size(), 25);
    // 2024-05-18 10:15:30 at -04:00 is 14:15:30 UTC.
    const qint64 utc = 1716041730;
    const runResult run =
        box.batch({card, "--format", "rewrap", "--mode", "normal"}, 240000, {{"TZ", "FLX-02"}});
    ASSERT_EQ(run.status, 0) << show(run);
    const QString out = box.events() + QLatin1Char('/') + cardClipName(1);
    ASSERT_TRUE(QFileInfo::exists(out)) << box.eventsFiles().join(", ").toStdString();
    const auto tags = dateTags(out);
    EXPECT_EQ(tags.value("format.tags.com_apple_quicktime_creationdate"),
              "2024-05-18T10:15:30-04:00");
    EXPECT_TRUE(tags.value("format.tags.creation_time").startsWith("2024-05-18T14:15:30"))
        << tags.value("format.tags.creation_time").toStdString();
    EXPECT_TRUE(
        tags.value("streams.stream.0.tags.creation_time").startsWith("2024-05-18T14:15:30"));
    EXPECT_EQ(QFileInfo(out).lastModified().toSecsSinceEpoch(), utc);
    const QString line = QStringLiteral("recording date      : 2024-05-18T10:15:30-04:00 "
                                        "(playlist, camera zone -04:00)");
    for (const QString &logPath : {box.detailsLog(), box.resumeLog()}) {
        QFile log(logPath);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << logPath.toStdString();
        EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains(line)) << logPath.toStdString();
    }
}

// A joined recording is dated by its first piece's stream: the later pieces' messages (patched
// here to another zone) do not count.
TEST(batch, spannedRecordingTakesTheFirstPiecesCameraZone) {
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    const QString stream = makeSpannedCard(card, box.root() + QStringLiteral("/whole.ts"), 3, 3.0,
                                           0, QStringLiteral("320x180"), 0x2A);
    ASSERT_FALSE(stream.isEmpty());
    for (const char *later : {"/00002.MTS", "/00003.MTS"}) {
        QFile piece(stream + QLatin1String(later));
        ASSERT_TRUE(piece.open(QIODevice::ReadWrite));
        QByteArray bytes = piece.readAll();
        const qsizetype zone = bytes.indexOf(QByteArray("MDPM\x02\x18", 6));
        ASSERT_GE(zone, 0) << later;
        bytes[zone + 6] = '\x12'; // +09:00
        piece.seek(0);
        piece.write(bytes);
    }
    const runResult run =
        box.batch({card, "--format", "rewrap", "--mode", "normal"}, 240000, {{"TZ", "FLX-02"}});
    ASSERT_EQ(run.status, 0) << show(run);
    ASSERT_EQ(box.eventsFiles(), QStringList{cardClipName(1)});
    const QString out = box.events() + QLatin1Char('/') + cardClipName(1);
    EXPECT_EQ(dateTags(out).value("format.tags.com_apple_quicktime_creationdate"),
              "2024-05-18T10:15:30-05:00");
    // 10:15:30 at -05:00 is 15:15:30 UTC.
    EXPECT_EQ(QFileInfo(out).lastModified().toSecsSinceEpoch(), 1716045330);
}

// One recording that the camcorder split into three pieces becomes one movie named after the
// first piece, whether the camera cut it at key frames, inside groups of pictures (the next file
// goes on byte for byte, from a picture or from any packet, IN the OUT time before), at key
// frames with the last group written again at the head of the next file (its IN time skips it,
// the groups closed or open), or its clock wraps inside the second piece: as long as the
// recording, with every picture of the unsplit encode once and in order, and the very sound of
// the unsplit encode converted alone. The export keeps all of it too.
TEST(batch, spannedRecordingBecomesOneMovie) {
    const struct {
        seamKind seams;
        bool wraps;
    } cases[] = {{seamKind::keyPicture, false},        {seamKind::midGroup, false},
                 {seamKind::repeatedGroup, false},     {seamKind::packetCut, false},
                 {seamKind::openRepeatedGroup, false}, {seamKind::keyPicture, true},
                 {seamKind::packetCut, true}};
    for (const auto &c : cases) {
        const seamKind seams = c.seams;
        SCOPED_TRACE(static_cast<int>(seams) * 10 + (c.wraps ? 1 : 0));
        sandbox box;
        const QString card = box.root() + QStringLiteral("/card");
        const QString whole = box.root() + QStringLiteral("/whole.ts");
        const QString stream = makeSpannedCard(card, whole, 3, 3.0, 0, QStringLiteral("320x180"),
                                               -1, seams, 0, c.wraps);
        ASSERT_FALSE(stream.isEmpty());
        const QStringList unsplit = frameHashes(whole);
        ASSERT_EQ(unsplit.size(), 75);
        if (seams == seamKind::repeatedGroup) {
            // The pieces hold 25 pictures twice: read byte for byte they would show them twice.
            int pictures = 0;
            for (const char *piece : {"/00001.MTS", "/00002.MTS", "/00003.MTS"}) {
                pictures += static_cast<int>(frameHashes(stream + QLatin1String(piece)).size());
            }
            ASSERT_EQ(pictures, 75 + 2 * 25);
        }

        const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"});
        ASSERT_EQ(run.status, 0) << show(run);
        EXPECT_TRUE(run.out.contains(QStringLiteral("joined:   %1/00001.MTS (one recording of 3 "
                                                    "pieces joined: 00001.MTS + 00002.MTS + "
                                                    "00003.MTS)")
                                         .arg(stream)))
            << show(run);
        EXPECT_TRUE(run.out.contains(QStringLiteral("converting 1 source(s)"))) << show(run);
        ASSERT_EQ(box.eventsFiles(), QStringList{cardClipName(1)});
        const QString out = box.events() + QLatin1Char('/') + cardClipName(1);
        EXPECT_NEAR(probeDuration(out), 3.0, 0.1);
        EXPECT_EQ(frameHashes(out), unsplit);
        const double video = probeStream(out, "v").value("duration").toDouble();
        const double sound = probeStream(out, "a").value("duration").toDouble();
        EXPECT_NEAR(video, 3.0, 0.05);
        EXPECT_NEAR(sound, video, 0.05);
        QFile resume(box.resumeLog());
        ASSERT_TRUE(resume.open(QIODevice::ReadOnly));
        EXPECT_TRUE(
            QString::fromUtf8(resume.readAll())
                .contains(QStringLiteral("recording           : one recording of 3 pieces")));

        // The unsplit encode converted on its own: the same sound, sample for sample, so none
        // is lost or repeated at a seam and it ends in step with the picture.
        const runResult alone = box.batch({whole, "--format", "rewrap", "--mode", "normal"});
        ASSERT_EQ(alone.status, 0) << show(alone);
        QString wholeOut;
        for (const QString &name : box.eventsFiles()) {
            if (name.endsWith(QStringLiteral("-whole.mov"))) {
                wholeOut = box.events() + QLatin1Char('/') + name;
            }
        }
        ASSERT_FALSE(wholeOut.isEmpty()) << box.eventsFiles().join(' ').toStdString();
        EXPECT_FALSE(soundHash(out).isEmpty());
        EXPECT_EQ(soundHash(out), soundHash(wholeOut));
        EXPECT_NEAR(probeStream(wholeOut, "a").value("duration").toDouble(), sound, 0.001);

        if (seams == seamKind::repeatedGroup) {
            const runResult prores =
                box.batch({card, "--format", "prores", "--mode", "normal", "--replace"});
            if (proresAvailable(prores)) {
                ASSERT_EQ(prores.status, 0) << show(prores);
                EXPECT_EQ(frameHashes(out).size(), 75);
                EXPECT_NEAR(probeDuration(out), 3.0, 0.1);
            }
        }
        expectNoIntermediates(box);
    }
}

// Shots of one format recorded one after the other next to a recording split into three
// pieces, as a camera lists them (conditions 1 5 5 5 6 6, an entry mark per shot): each shot is
// a movie of its own named after its own date, and only the pieces are joined.
TEST(batch, shotsStayApartNextToAJoinedRecording) {
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    const QString stream =
        makeSpannedCard(card, box.root() + QStringLiteral("/whole.ts"), 3, 3.0, 0,
                        QStringLiteral("320x180"), -1, seamKind::keyPicture, 3);
    ASSERT_FALSE(stream.isEmpty());
    const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"});
    ASSERT_EQ(run.status, 0) << show(run);
    EXPECT_EQ(box.eventsFiles(),
              (QStringList{cardClipName(1), cardClipName(2), cardClipName(3), cardClipName(4)}));
    EXPECT_TRUE(run.out.contains(QStringLiteral("joined:   %1/00004.MTS (one recording of 3 "
                                                "pieces joined: 00004.MTS + 00005.MTS + "
                                                "00006.MTS)")
                                     .arg(stream)))
        << show(run);
    EXPECT_EQ(run.out.count(QStringLiteral("joined:   ")), 1) << show(run);
    EXPECT_FALSE(run.out.contains(QStringLiteral("apart:"))) << show(run);
    for (const int clip : {1, 2, 3}) {
        EXPECT_NEAR(probeDuration(box.events() + QLatin1Char('/') + cardClipName(clip)), 3.0, 0.1)
            << clip;
    }
    EXPECT_NEAR(probeDuration(box.events() + QLatin1Char('/') + cardClipName(4)), 3.0, 0.1);
}

// Pieces of a recording that can't all be joined are converted on their own, and the run says
// why: the middle piece missing from the card, a piece not among the sources, joining turned off.
TEST(batch, spannedRecordingPiecesApart) {
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    const QString stream =
        makeSpannedCard(card, box.root() + QStringLiteral("/whole.ts"), 3, 3.0, 2);
    ASSERT_FALSE(stream.isEmpty());
    const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"});
    ASSERT_EQ(run.status, 0) << show(run);
    // A piece is no shot: the playlist dates only the first. The others belong to its
    // recording: named after its date with the pieces before them played (1 s each).
    const QStringList outputs = box.eventsFiles();
    ASSERT_EQ(outputs.size(), 2);
    EXPECT_EQ(outputs[0], cardClipName(1));
    EXPECT_EQ(outputs[1], QStringLiteral("clip-2024-05-18 10;15;32-00003.mov"));
    const QString why = QStringLiteral("the recording is incomplete: 00002 is missing on the card");
    EXPECT_TRUE(run.out.contains(
        QStringLiteral(
            "apart:    %1/00001.MTS (piece 1 of 3 of a recording, converted on its own: %2)")
            .arg(stream, why)))
        << show(run);
    // The verdict of its verification follows the notes.
    EXPECT_TRUE(run.out.contains(QStringLiteral("converted: %1/00003.MTS -> %2/%3 (piece 3 of 3 "
                                                "of a recording, converted on its own: %4; "
                                                "verified: ")
                                     .arg(stream, box.events(), outputs[1], why)))
        << show(run);
    // The middle piece back, but damaged: refused, and the two others still apart.
    QFile damaged(stream + QStringLiteral("/00002.MTS"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(64 * 188, 'x'));
    damaged.close();
    const runResult again =
        box.batch({card, "--format", "rewrap", "--mode", "normal", "--replace"});
    EXPECT_EQ(again.status, 1) << show(again);
    EXPECT_TRUE(again.out.contains(QStringLiteral("refused:  %1/00002.MTS").arg(stream)));
    EXPECT_EQ(again.out.count(QStringLiteral("the recording is incomplete: 00002.MTS is damaged")),
              4)
        << show(again);
    EXPECT_EQ(box.eventsFiles(), outputs);

    sandbox second;
    const QString full = makeSpannedCard(second.root() + QStringLiteral("/card"),
                                         second.root() + QStringLiteral("/whole.ts"), 3, 3.0);
    ASSERT_FALSE(full.isEmpty());
    const runResult one = second.batch({full + QStringLiteral("/00001.MTS"), "--format", "rewrap"});
    ASSERT_EQ(one.status, 0) << show(one);
    EXPECT_TRUE(one.out.contains(QStringLiteral("00002.MTS is not among the sources")))
        << show(one);
    EXPECT_EQ(second.eventsFiles(), QStringList{cardClipName(1)});
    const runResult apart = second.batch({full, "--format", "rewrap", "--no-join", "--replace"});
    ASSERT_EQ(apart.status, 0) << show(apart);
    const QStringList pieces = second.eventsFiles();
    EXPECT_EQ(pieces, (QStringList{cardClipName(1), "clip-2024-05-18 10;15;31-00002.mov",
                                   "clip-2024-05-18 10;15;32-00003.mov"}));
    ASSERT_EQ(pieces.size(), 3);
    // Dated inside as well: the second piece began a second after the recording.
    EXPECT_EQ(QFileInfo(second.events() + QLatin1Char('/') + pieces[1]).lastModified(),
              QFileInfo(second.events() + QLatin1Char('/') + pieces[0]).lastModified().addSecs(1));
    EXPECT_EQ(apart.out.count(QStringLiteral("joining is off")), 6) << show(apart);
    for (const QString &piece : pieces) {
        EXPECT_NEAR(probeDuration(second.events() + QLatin1Char('/') + piece), 1.0, 0.1);
    }
}

// A continuation whose IN time lies outside its file's pictures (the playlist patched): nothing
// is joined, every piece becomes a movie of its own and the run says why.
TEST(batch, spannedRecordingWithAnInTimeOutsideItsFileStaysApart) {
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    const QString stream = makeSpannedCard(card, box.root() + QStringLiteral("/whole.ts"), 3, 3.0);
    ASSERT_FALSE(stream.isEmpty());
    QFile playlist(card + QStringLiteral("/PRIVATE/AVCHD/BDMV/PLAYLIST/00000.MPL"));
    ASSERT_TRUE(playlist.open(QIODevice::ReadWrite));
    QByteArray bytes = playlist.readAll();
    const qsizetype item = bytes.indexOf("00002M2TS");
    ASSERT_GT(item, 0);
    // IN_time: after the name, codec, condition and STC reference; 60 s, past every picture.
    bytes.replace(item + 12, 4, QByteArray::fromHex("002932e0"));
    playlist.seek(0);
    playlist.write(bytes);
    playlist.close();

    const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"});
    ASSERT_EQ(run.status, 0) << show(run);
    EXPECT_EQ(box.eventsFiles().size(), 3);
    EXPECT_EQ(run.out.count(QStringLiteral("apart:")), 3) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral(
        "00002.MTS cannot be joined: its IN time 60.000 s lies outside its file's pictures")))
        << show(run);
}

namespace {

// Runs a program to its end; its standard output (error merged when `merged`), "" on failure.
QString output(const QString &program, const QStringList &args, bool merged = false) {
    QProcess process;
    if (merged) {
        process.setProcessChannelMode(QProcess::MergedChannels);
    }
    process.start(program, args);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit) {
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

// The sample card of the main job: its playlist reads as cameras write it (libbluray: one title
// of 5 chapters, one per shot, and 7 clips; clipdater: the 5 shots' dates), and it converts into
// a movie per shot and one for the split recording, whose second file repeats the first's last
// group of pictures and whose third goes on from a packet in the middle of a group.
TEST(batch, sampleCardIsACamerasCard) {
    sandbox box;
    const QString card = box.root() + QStringLiteral("/sample-card");
    output(QStringLiteral("/bin/bash"),
           {QStringLiteral(FLUXARO_SOURCE_DIR "/scripts/make-sample-card.sh"), card, "1"});
    const QString avchd = card + QStringLiteral("/PRIVATE/AVCHD");
    const QString stream = avchd + QStringLiteral("/BDMV/STREAM");
    ASSERT_TRUE(QFileInfo::exists(stream + QStringLiteral("/00007.MTS")));
    const QString dates =
        output(QStringLiteral(FLUXARO_BIN_DIR "/../share/fluxaro/tools/clipdater"),
               {avchd + QStringLiteral("/BDMV/PLAYLIST")});
    EXPECT_EQ(dates, QStringLiteral("00001 : clip-2024-05-18 10;15;30\n"
                                    "00002 : clip-2024-05-18 10;20;05\n"
                                    "00003 : clip-2024-05-18 10;31;44\n"
                                    "00004 : clip-2024-05-18 10;40;00\n"
                                    "00007 : clip-2024-05-18 10;45;10\n"));
    if (QFileInfo(QStringLiteral("/usr/bin/bd_list_titles")).isExecutable()) {
        const QString titles = output(QStringLiteral("/usr/bin/bd_list_titles"), {avchd, "-a"});
        EXPECT_TRUE(titles.contains(QStringLiteral("chapters:   5 angles:  1 clips:   7 "
                                                   "(playlist: 00000.mpls) V:1 A:1")))
            << titles.toStdString();
    }

    const runResult run = box.batch({card, "--format", "rewrap", "--mode", "normal"});
    ASSERT_EQ(run.status, 0) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("joined:   %1/00004.MTS (one recording of 3 "
                                                "pieces joined: 00004.MTS + 00005.MTS + "
                                                "00006.MTS)")
                                     .arg(stream)))
        << show(run);
    EXPECT_EQ(
        box.eventsFiles(),
        (QStringList{"clip-2024-05-18 10;15;30-00001.mov", "clip-2024-05-18 10;20;05-00002.mov",
                     "clip-2024-05-18 10;31;44-00003.mov", "clip-2024-05-18 10;40;00-00004.mov",
                     "clip-2024-05-18 10;45;10-00007.mov"}));
    // The recording: 25 pictures, each once.
    const QStringList pictures =
        frameHashes(box.events() + QStringLiteral("/clip-2024-05-18 10;40;00-00004.mov"));
    EXPECT_EQ(pictures.size(), 25);
    EXPECT_EQ(QSet<QString>(pictures.cbegin(), pictures.cend()).size(), 25);
}

// Two sources that map to one output name (two cameras' first clips of the same moment) each
// get their own movie, the second under " 2", and the run says so; --replace then replaces
// each by its own source instead of the one by the other.
TEST(batch, twoSourcesOfOneNameKeepTheirOwnOutputs) {
    sandbox box;
    const QString cardA = box.root() + QStringLiteral("/cameraA");
    const QString cardB = box.root() + QStringLiteral("/cameraB");
    makeCard(cardA, {{"320x180", 25}}, 1);
    makeCard(cardB, {{"640x360", 25}}, 1);
    const QString first = box.events() + QLatin1Char('/') + cardClipName(1);
    const QString second = QString(first).replace(QStringLiteral(".mov"), QStringLiteral(" 2.mov"));
    for (const char *answer : {"--keep", "--replace"}) {
        const runResult run =
            box.batch({cardA, cardB, "--format", "rewrap", "--mode", "normal", answer});
        ASSERT_EQ(run.status, 0) << show(run);
        QStringList names{QFileInfo(first).fileName(), QFileInfo(second).fileName()};
        names.sort();
        EXPECT_EQ(box.eventsFiles(), names) << show(run);
        EXPECT_EQ(probeStream(first, "v").value("width"), "320") << show(run);
        EXPECT_EQ(probeStream(second, "v").value("width"), "640") << show(run);
        EXPECT_TRUE(run.out.contains(
            QStringLiteral("-> %1 (named '%2': '%3' is the output of "
                           "another source of this batch; verified: ")
                .arg(second, QFileInfo(second).fileName(), QFileInfo(first).fileName())))
            << show(run);
        EXPECT_TRUE(run.out.contains(QStringLiteral("done: 2 converted, 0 refused, 0 failed or "
                                                    "skipped; 1 named apart")))
            << show(run);
    }
}

// An unknown option is a usage error in both fronts: the reason and the synopsis on stderr,
// exit 2, before anything starts (no log; nothing converted, no window asked for).
TEST(batch, unknownOptionIsAUsageError) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "320x180", 25, 1.0));
    QProcess window;
    QProcessEnvironment env = box.environment();
    for (const char *display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        env.remove(QLatin1String(display));
    }
    window.setProcessEnvironment(env);
    window.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), {"--bogus", src});
    ASSERT_TRUE(window.waitForFinished(30000));
    const QString windowErr = QString::fromUtf8(window.readAllStandardError());
    EXPECT_EQ(window.exitCode(), 2) << windowErr.toStdString();
    EXPECT_TRUE(windowErr.startsWith(QStringLiteral("fluxaro: unknown option '--bogus'\n")))
        << windowErr.toStdString();
    EXPECT_TRUE(windowErr.contains(QStringLiteral("usage: fluxaro"))) << windowErr.toStdString();
    EXPECT_TRUE(window.readAllStandardOutput().isEmpty());

    const runResult batch = box.batch({src, "--format", "rewrap", "--bogus"});
    EXPECT_EQ(batch.status, 2) << show(batch);
    EXPECT_TRUE(batch.err.contains(QStringLiteral("unknown option '--bogus'"))) << show(batch);
    EXPECT_TRUE(batch.err.contains(QStringLiteral("fluxaro --batch SOURCE..."))) << show(batch);
    EXPECT_FALSE(QFile::exists(box.detailsLog()));
    EXPECT_TRUE(box.eventsFiles().isEmpty());
}

// --dest that is no folder: a missing one is made (with its parents) and converted into; a
// file is refused as a usage error before anything runs (no log, no output elsewhere).
TEST(batch, destinationThatIsNotAFolder) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "320x180", 25, 1.0));
    const QString missing = box.root() + QStringLiteral("/new/deeper");
    const runResult made = box.batch({src, "--format", "rewrap", "--dest", missing});
    ASSERT_EQ(made.status, 0) << show(made);
    EXPECT_EQ(QDir(missing + QStringLiteral("/fluxaro events")).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(made.out.contains(QStringLiteral("converting 1 source(s) into ") + missing))
        << show(made);

    const QString file = box.root() + QStringLiteral("/afile");
    QFile(file).open(QIODevice::WriteOnly);
    QFile::remove(box.detailsLog());
    const runResult refused = box.batch({src, "--format", "rewrap", "--dest", file});
    EXPECT_EQ(refused.status, 2) << show(refused);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("is not a folder"))) << show(refused);
    EXPECT_FALSE(QFile::exists(box.detailsLog()));
    EXPECT_EQ(QFileInfo(file).size(), 0);
}

// A stored output format the preferences window would not show (-1, 5, a text) is corrected as
// the window does, and said; the jobs convert instead of failing as "no output".
TEST(batch, outOfRangeStoredFormatIsCorrected) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/clip.ts");
    ASSERT_TRUE(makeClip(src, "320x180", 25, 1.0));
    // A first run writes the settings file.
    ASSERT_EQ(box.batch({src, "--format", "rewrap", "--mode", "normal"}).status, 0);
    const QString settings = box.root() + QStringLiteral("/config/org.fluxaro.Fluxaro.plist");
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString stored = QString::fromUtf8(file.readAll());
    file.close();
    const QRegularExpression value(
        QStringLiteral("(<key>prefCheckMatrix</key>\\s*)<integer>[^<]*</integer>"));
    ASSERT_TRUE(value.match(stored).hasMatch()) << stored.toStdString();
    for (const QString &bad :
         {QStringLiteral("<integer>-1</integer>"), QStringLiteral("<integer>5</integer>"),
          QStringLiteral("<string>text</string>")}) {
        QString edited = stored;
        edited.replace(value, QStringLiteral("\\1") + bad);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(edited.toUtf8());
        file.close();
        const runResult run = box.batch({src, "--mode", "normal", "--replace"});
        EXPECT_EQ(run.status, 0) << bad.toStdString() << show(run);
        EXPECT_TRUE(run.out.contains(QStringLiteral("the stored output format")) &&
                    run.out.contains(QStringLiteral("rewrap is used")))
            << show(run);
        QFile details(box.detailsLog());
        ASSERT_TRUE(details.open(QIODevice::ReadOnly));
        EXPECT_TRUE(details.readAll().contains("prefCheckMatrix     :-/ the stored output format"));
    }
}

// The terminal shows the verdicts, one progress line (a line per tenth of the batch when piped)
// with the phase, and the results; the detailed log only with --verbose, its names made safe.
TEST(batch, terminalShowsProgressAndTheLogOnlyWhenAsked) {
    sandbox box;
    const QString odd = box.root() + QStringLiteral("/a\x1b[31mred\rb.ts");
    ASSERT_TRUE(makeClip(odd, "320x180", 25, 2.0));
    const runResult run = box.batch({odd, "--format", "prores", "--mode", "normal"});
    ASSERT_EQ(run.status, 0) << show(run);
    QStringList progress;
    for (const QString &line : run.out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("progress:"))) {
            progress << line;
        }
    }
    EXPECT_FALSE(progress.isEmpty()) << show(run);
    EXPECT_LE(progress.size(), 11) << show(run);
    EXPECT_TRUE(progress.join('\n').contains(QStringLiteral("[1/1] "))) << show(run);
    EXPECT_TRUE(progress.join('\n').contains(QStringLiteral(" a\\x1b[31mred\\x0db.ts")))
        << show(run);
    if (proresAvailable(run)) {
        EXPECT_TRUE(progress.join('\n').contains(QStringLiteral("[1/1] exporting "))) << show(run);
    }
    // Nothing of the detailed log on the terminal, and no raw control character anywhere.
    EXPECT_FALSE(run.err.contains(QStringLiteral("stepNameStr"))) << show(run);
    EXPECT_FALSE(run.err.contains(QStringLiteral("redirectStdoutToFile"))) << show(run);
    EXPECT_FALSE(run.out.contains(QStringLiteral("stepNameStr"))) << show(run);
    for (const QString &text : {run.out, run.err}) {
        EXPECT_FALSE(text.contains(QChar(0x1b))) << show(run);
        EXPECT_FALSE(text.contains(QChar('\r'))) << show(run);
    }
    // Again: the replace question names the output, made of the source's name.
    const runResult again = box.batch({odd, "--format", "rewrap", "--mode", "normal"});
    EXPECT_TRUE(again.out.contains(QStringLiteral("answered"))) << show(again);
    // --verbose shows the detailed log too, made safe as well.
    const runResult verbose =
        box.batch({odd, "--format", "rewrap", "--mode", "normal", "--replace", "--verbose"});
    EXPECT_EQ(verbose.status, 0) << show(verbose);
    EXPECT_TRUE((verbose.out + verbose.err).contains(QStringLiteral("stepNameStr")))
        << show(verbose);
    for (const runResult *r : {&again, &verbose}) {
        EXPECT_FALSE((r->out + r->err).contains(QChar(0x1b))) << show(*r);
        EXPECT_FALSE((r->out + r->err).contains(QChar('\r'))) << show(*r);
    }
}

// A source whose reads fail past 40 % of its bytes while it converts (a bad sector, a card pulled
// out) gives ffmpeg a shorter movie and a success status: the job fails with the tool's line and
// what the movie holds, nothing is under the final name, and the partial movie is kept beside it
// under a name that says it is incomplete.
TEST(batch, sourceFailingToReadPartWayFailsTheJob) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/failing.ts");
    ASSERT_TRUE(makeClip(src, "320x180", 25, 8.0));
    const QFileInfo info(src);
    const QMap<QString, QString> env{
        {QStringLiteral("LD_PRELOAD"), QStringLiteral(FAILING_READS_LIB)},
        {QStringLiteral("FAILING_READ_PATH"), info.canonicalFilePath()},
        {QStringLiteral("FAILING_READ_OFFSET"), QString::number(info.size() * 4 / 10)},
        // Only the conversion's ffmpeg, whose command line names the working output.
        {QStringLiteral("FAILING_READ_WHEN"), QStringLiteral(".fluxaro-")}};
    const runResult run = box.batch({src, "--format", "rewrap", "--mode", "normal"}, 120000, env);
    EXPECT_EQ(run.status, 1) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("failed:   ") + src)) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("ffmpeg could not read the source (")))
        << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Input/output error"))) << show(run);
    EXPECT_TRUE(run.out.contains(QStringLiteral(" s of the 8.0 s planned"))) << show(run);
    const QStringList files = box.eventsFiles();
    ASSERT_EQ(files.size(), 1) << files.join(", ").toStdString();
    EXPECT_TRUE(files.first().endsWith(QStringLiteral(" (incomplete).mov")))
        << files.first().toStdString();
    QFile resume(box.resumeLog());
    ASSERT_TRUE(resume.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(resume.readAll()).contains(QStringLiteral("Input/output error")));
}

// A converted movie's line and its Resume.log block say what its verification proved.
TEST(batch, convertedMoviesSayWhatWasVerified) {
    sandbox box;
    const QString src = box.root() + QStringLiteral("/fifty.ts");
    ASSERT_TRUE(makeClip(src, "320x180", 50, 2.0));
    const runResult run = box.batch({src, "--format", "rewrap", "--mode", "normal"}, 120000);
    EXPECT_EQ(run.status, 0) << show(run);
    EXPECT_TRUE(
        run.out.contains(QStringLiteral("(verified: 100 pictures at 50/1, 2.000 s, sound ")))
        << show(run);
    QFile resume(box.resumeLog());
    ASSERT_TRUE(resume.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(resume.readAll())
                    .contains(QStringLiteral("verification        : verified: 100 pictures")));
    // The same verdict for the pair on the command line.
    const QString output = box.events() + QLatin1Char('/') + box.eventsFiles().value(0);
    QProcess verify;
    verify.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), {"--verify", src, output});
    ASSERT_TRUE(verify.waitForFinished(60000));
    EXPECT_EQ(verify.exitCode(), 0) << verify.readAllStandardOutput().toStdString();
    EXPECT_TRUE(QString::fromUtf8(verify.readAllStandardOutput())
                    .startsWith(QStringLiteral("verified: 100 pictures at 50/1")));
    verify.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"),
                 {"--verify", src, output, "--mode", "slow"});
    ASSERT_TRUE(verify.waitForFinished(60000));
    EXPECT_EQ(verify.exitCode(), 1);
    verify.start(QStringLiteral(FLUXARO_BIN_DIR "/fluxaro"), {"--verify", src});
    ASSERT_TRUE(verify.waitForFinished(60000));
    EXPECT_EQ(verify.exitCode(), 2);
}
