// pipeline_bench [REWRAP_SECONDS [PRORES_SECONDS [VIDEO_MBITS [CARD_CLIPS [CARD_SECONDS]]]]]
//
// Makes a 1080p50 H.264 clip with AC-3 sound in an MPEG transport stream (two minutes by
// default, at 28 Mbit/s: the top rate camcorders record 1080p50 at) and a shorter one for
// ProRes (ten seconds by default), then measures in one run:
//   rewrap:   the whole `fluxaro --batch --format rewrap` run, analysis included, against
//             `ffmpeg -i CLIP -c:v copy -c:a pcm_s16le OUT.mov` (goal: at most 1.15 times);
//   card:     `fluxaro --batch CARD` on a folder of 20 clips of 10 s against a shell loop of
//             that command over the clips (goal: at most 1.25 times);
//   prores:   `fluxaro --batch --format prores --prores hq --mode normal` against
//             `ffmpeg -i CLIP -c:v prores_ks -profile:v 3 -c:a pcm_s16le OUT.mov` (goal: 2.5
//             times faster);
//   analysis: the controller's analysis of the clip (probe, offsets, field order, thumbnail)
//             against `ffprobe CLIP` plus `ffmpeg -ss 60 -i CLIP -frames:v 1 -vf scale=160:90
//             THUMB.jpg`.
// and prints each time and ratio, and the peak memory of each (of the program or its largest
// child). Each fluxaro run has a private home. Each command runs five
// times, alternating with its counterpart, after the disk has been given what earlier runs
// wrote; the best time of each counts, so a burst of disk write-back does not decide a ratio.
#include "controller/appController.h"
#include "frontApi/alerts.h"
#include "platform/constants.h"
#include "settings/prefs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// The last run's peak memory (of the program or of its largest child), in KB.
long gLastPeakKb = 0;

// Runs program with env, its output thrown away; wall seconds (1e9 when it fails). Its peak
// memory lands in gLastPeakKb.
double runSeconds(const QString &program, const QStringList &args,
                  const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
    std::vector<std::string> argStrings{program.toStdString()};
    for (const QString &arg : args) {
        argStrings.push_back(arg.toStdString());
    }
    std::vector<std::string> envStrings;
    for (const QString &entry : env.toStringList()) {
        envStrings.push_back(entry.toStdString());
    }
    std::vector<char *> argv;
    std::vector<char *> envp;
    for (std::string &a : argStrings) {
        argv.push_back(a.data());
    }
    for (std::string &e : envStrings) {
        envp.push_back(e.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    ::sync(); // what earlier runs wrote goes to the disk now, not during this run
    std::fflush(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int raw = 0;
    rusage usage{};
    ::wait4(pid, &raw, 0, &usage);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    gLastPeakKb = usage.ru_maxrss;
    if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) {
        std::fprintf(stderr, "%s failed (%d)\n", program.toUtf8().constData(),
                     WIFEXITED(raw) ? WEXITSTATUS(raw) : -1);
        return 1e9; // a failed run never counts as the best
    }
    return seconds;
}

bool makeClip(const QString &path, int seconds, int mbits) {
    const double made =
        runSeconds("/usr/bin/ffmpeg",
                   {"-nostdin",
                    "-v",
                    "error",
                    "-y",
                    "-f",
                    "lavfi",
                    "-i",
                    QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds),
                    "-f",
                    "lavfi",
                    "-i",
                    QStringLiteral("testsrc2=size=1920x1080:rate=50:duration=%1").arg(seconds),
                    "-map",
                    "1:v",
                    "-map",
                    "0:a",
                    "-c:v",
                    "libx264",
                    "-preset",
                    "ultrafast",
                    "-b:v",
                    QStringLiteral("%1M").arg(mbits),
                    "-maxrate",
                    QStringLiteral("%1M").arg(mbits),
                    "-bufsize",
                    QStringLiteral("%1M").arg(mbits),
                    "-g",
                    "25",
                    "-pix_fmt",
                    "yuv420p",
                    "-c:a",
                    "ac3",
                    "-b:a",
                    "192k",
                    "-f",
                    "mpegts",
                    path});
    std::printf("clip %s (%d s, %d Mbit/s) made in %.1f s\n",
                qPrintable(QFileInfo(path).fileName()), seconds, mbits, made);
    return QFile::exists(path);
}

QProcessEnvironment privateHome(const QString &root) {
    for (const char *sub : {"config", "state", "runtime", "tmp", "home", "data"}) {
        QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
    }
    QFile::setPermissions(root + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", root + "/home");
    env.insert("XDG_CONFIG_HOME", root + "/config");
    env.insert("XDG_STATE_HOME", root + "/state");
    env.insert("XDG_RUNTIME_DIR", root + "/runtime");
    env.insert("XDG_DATA_HOME", root + "/data");
    env.insert("TMPDIR", root + "/tmp");
    return env;
}

void report(const char *what, double fluxaro, double plain, double bound) {
    std::printf("%-9s fluxaro %7.2f s   plain %7.2f s   ratio %.2f (bound %.2f)%s\n", what, fluxaro,
                plain, fluxaro / plain, bound, fluxaro / plain <= bound ? "" : "  OVER");
}

void reportPeaks(const char *what, long fluxaroKb, long plainKb) {
    std::printf("%-9s peak memory: fluxaro %ld KB, plain %ld KB\n", what, fluxaroKb, plainKb);
}

/// The analysis of one clip in process, timed from the drop to the row with its thumbnail.
double analysisSeconds(const QString &clip, const QString &root) {
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
    QDir(root).removeRecursively();
    QDir().mkpath(root + "/config");
    QDir().mkpath(root + "/tmp");
    prefReload();
    setTMPFOLDER(root + "/tmp/");
    setOPENPERM(true);
    plainAppControls plain;
    appController app(plain.controls());
    bool ended = false;
    bool thumbnail = false;
    app.hooks.analysisEnded = [&] { ended = true; };
    app.hooks.thumbnailMade = [&](const QString &, const QString &img) {
        thumbnail = true;
        if (img.isEmpty()) {
            std::fprintf(stderr, "no thumbnail made\n");
        }
    };
    ::sync();
    QElapsedTimer timer;
    timer.start();
    app.draggedFiles({clip});
    while (!ended || !thumbnail) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (app.whichArrayController()->count() != 1) {
        std::fprintf(stderr, "the analysis refused the clip\n");
    }
    return seconds;
}

/// Best times of a command and of its counterpart, run alternately.
struct pair {
    double fluxaro = 1e9;
    double plain = 1e9;
    long fluxaroPeakKb = 0;
    long plainPeakKb = 0;
};

pair bestOf(int runs, const std::function<double()> &fluxaro,
            const std::function<double()> &plain) {
    pair best;
    for (int i = 0; i < runs; ++i) {
        const double p = plain();
        best.plainPeakKb = std::max(best.plainPeakKb, gLastPeakKb);
        const double f = fluxaro();
        best.fluxaroPeakKb = std::max(best.fluxaroPeakKb, gLastPeakKb);
        std::printf("  run %d: fluxaro %.2f s, plain %.2f s\n", i + 1, f, p);
        best.plain = std::min(best.plain, p);
        best.fluxaro = std::min(best.fluxaro, f);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int rewrapSeconds = argc > 1 ? std::atoi(argv[1]) : 120;
    const int proresSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const int mbits = argc > 3 ? std::atoi(argv[3]) : 28;
    const int cardClips = argc > 4 ? std::atoi(argv[4]) : 20;
    const int cardSeconds = argc > 5 ? std::atoi(argv[5]) : 10;
    constexpr int kRuns = 5;
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString clip = root + "/long clip.ts";
    const QString shortClip = root + "/short clip.ts";
    if (!makeClip(clip, rewrapSeconds, mbits) || !makeClip(shortClip, proresSeconds, mbits)) {
        return 1;
    }
    const QString fluxaro = QStringLiteral(FLUXARO_BIN_DIR "/fluxaro");

    // Rewrap.
    const pair rewrap = bestOf(
        kRuns,
        [&] {
            QDir(root + "/dest1").removeRecursively();
            QDir(root + "/home1").removeRecursively();
            QDir().mkpath(root + "/dest1");
            const double seconds =
                runSeconds(fluxaro,
                           {"--batch", clip, "--dest", root + "/dest1", "--format", "rewrap",
                            "--mode", "normal", "--replace"},
                           privateHome(root + "/home1"));
            QDir(root + "/dest1").removeRecursively();
            return seconds;
        },
        [&] {
            const double seconds =
                runSeconds("/usr/bin/ffmpeg", {"-nostdin", "-y", "-i", clip, "-c:v", "copy", "-c:a",
                                               "pcm_s16le", root + "/plain-rewrap.mov"});
            QFile::remove(root + "/plain-rewrap.mov");
            return seconds;
        });
    report("rewrap", rewrap.fluxaro, rewrap.plain, 1.15);
    reportPeaks("rewrap", rewrap.fluxaroPeakKb, rewrap.plainPeakKb);

    // A card of clips: the whole folder in one batch against a shell loop of the plain command.
    const QString card = root + "/card";
    QDir().mkpath(card);
    for (int i = 0; i < cardClips; ++i) {
        const QString name = card + QStringLiteral("/%1.MTS").arg(i + 1, 5, 10, QLatin1Char('0'));
        if (i == 0 ? !makeClip(name, cardSeconds, mbits)
                   : !QFile::copy(card + "/00001.MTS", name)) {
            return 1;
        }
    }
    const pair cardRun = bestOf(
        3,
        [&] {
            QDir(root + "/dest4").removeRecursively();
            QDir(root + "/home4").removeRecursively();
            QDir().mkpath(root + "/dest4");
            const double seconds =
                runSeconds(fluxaro,
                           {"--batch", card, "--dest", root + "/dest4", "--format", "rewrap",
                            "--mode", "normal", "--replace"},
                           privateHome(root + "/home4"));
            QDir(root + "/dest4").removeRecursively();
            return seconds;
        },
        [&] {
            QDir(root + "/plain-card").removeRecursively();
            QDir().mkpath(root + "/plain-card");
            const double seconds = runSeconds(
                "/bin/sh",
                {"-c",
                 "for f in \"$1\"/*.MTS; do /usr/bin/ffmpeg -nostdin -y -i \"$f\" -c:v copy "
                 "-c:a pcm_s16le \"$2/$(basename \"$f\" .MTS).mov\" || exit 1; done",
                 "sh", card, root + "/plain-card"});
            QDir(root + "/plain-card").removeRecursively();
            return seconds;
        });
    std::printf("card of %d clips of %d s:\n", cardClips, cardSeconds);
    report("card", cardRun.fluxaro, cardRun.plain, 1.25);
    reportPeaks("card", cardRun.fluxaroPeakKb, cardRun.plainPeakKb);
    QDir(card).removeRecursively();

    // ProRes HQ: long runs, little noise, one each.
    const pair prores = bestOf(
        1,
        [&] {
            QDir(root + "/dest2").removeRecursively();
            QDir().mkpath(root + "/dest2");
            const double seconds =
                runSeconds(fluxaro,
                           {"--batch", shortClip, "--dest", root + "/dest2", "--format", "prores",
                            "--prores", "hq", "--mode", "normal", "--replace"},
                           privateHome(root + "/home2"));
            QDir(root + "/dest2").removeRecursively();
            return seconds;
        },
        [&] {
            const double seconds =
                runSeconds("/usr/bin/ffmpeg",
                           {"-nostdin", "-y", "-i", shortClip, "-c:v", "prores_ks", "-profile:v",
                            "3", "-c:a", "pcm_s16le", root + "/plain-prores.mov"});
            QFile::remove(root + "/plain-prores.mov");
            return seconds;
        });
    // Fluxaro's ProRes is to take at most 1/2.5 of the plain command's time.
    report("prores", prores.fluxaro, prores.plain, 0.4);
    std::printf("prores    fluxaro is %.2f times as fast as the plain command (goal: 2.5)\n",
                prores.plain / prores.fluxaro);
    reportPeaks("prores", prores.fluxaroPeakKb, prores.plainPeakKb);

    // Analysis.
    const pair analysis = bestOf(
        kRuns, [&] { return analysisSeconds(clip, root + "/home3"); },
        [&] {
            return runSeconds("/usr/bin/ffprobe", {clip}) +
                   runSeconds("/usr/bin/ffmpeg",
                              {"-nostdin", "-y", "-ss", "60", "-i", clip, "-frames:v", "1", "-vf",
                               "scale=160:90", root + "/thumb.jpg"});
        });
    report("analysis", analysis.fluxaro, analysis.plain, 1.5);
    reportPeaks("analysis", analysis.fluxaroPeakKb, analysis.plainPeakKb);
    return 0;
}
