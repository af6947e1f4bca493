// pipeline_bench [REWRAP_SECONDS [PRORES_SECONDS]]
//
// Makes a 1080p50 H.264 clip with AC-3 sound in an MPEG transport stream (two minutes by
// default) and a shorter one for ProRes (ten seconds by default), then measures in one run:
//   rewrap:   the whole `fluxaro --batch --format rewrap` run, analysis included, against
//             `ffmpeg -i CLIP -c:v copy -c:a pcm_s16le OUT.mov`;
//   prores:   `fluxaro --batch --format prores --prores hq --mode normal` against
//             `ffmpeg -i CLIP -c:v prores_ks -profile:v 3 -c:a pcm_s16le OUT.mov`;
//   analysis: the controller's analysis of the clip (probe, offsets, field order, thumbnail)
//             against `ffprobe CLIP` plus `ffmpeg -ss 60 -i CLIP -frames:v 1 -vf scale=160:90
//             THUMB.jpg`.
// and prints each time and ratio. Each fluxaro run has a private home.
#include "alerts.h"
#include "appController.h"
#include "constants.h"
#include "prefs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

double runSeconds(const QString &program, const QStringList &args,
                  const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    process.waitForFinished(-1);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (%d)\n", program.toUtf8().constData(), process.exitCode());
    }
    return seconds;
}

bool makeClip(const QString &path, int seconds) {
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
                    "16M",
                    "-g",
                    "50",
                    "-pix_fmt",
                    "yuv420p",
                    "-c:a",
                    "ac3",
                    "-b:a",
                    "192k",
                    "-f",
                    "mpegts",
                    path});
    std::printf("clip %s (%d s) made in %.1f s\n", qPrintable(QFileInfo(path).fileName()), seconds,
                made);
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

/// The analysis of one clip in process, timed from the drop to the row.
double analysisSeconds(const QString &clip, const QString &root) {
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
    QDir().mkpath(root + "/config");
    QDir().mkpath(root + "/tmp");
    prefReload();
    setTMPFOLDER(root + "/tmp/");
    setOPENPERM(true);
    plainAppControls plain;
    appController app(plain.controls());
    bool ended = false;
    app.hooks.analysisEnded = [&] { ended = true; };
    QElapsedTimer timer;
    timer.start();
    app.draggedFiles({clip});
    while (!ended) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (app.whichArrayController()->count() != 1) {
        std::fprintf(stderr, "the analysis refused the clip\n");
    }
    return seconds;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int rewrapSeconds = argc > 1 ? std::atoi(argv[1]) : 120;
    const int proresSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString clip = root + "/long clip.ts";
    const QString shortClip = root + "/short clip.ts";
    if (!makeClip(clip, rewrapSeconds) || !makeClip(shortClip, proresSeconds)) {
        return 1;
    }
    const QString fluxaro = QStringLiteral(FLUXARO_BIN_DIR "/fluxaro");

    // Rewrap.
    const double plainRewrap =
        runSeconds("/usr/bin/ffmpeg", {"-nostdin", "-y", "-i", clip, "-c:v", "copy", "-c:a",
                                       "pcm_s16le", root + "/plain-rewrap.mov"});
    QFile::remove(root + "/plain-rewrap.mov");
    QDir().mkpath(root + "/dest1");
    const double fluxaroRewrap = runSeconds(fluxaro,
                                            {"--batch", clip, "--dest", root + "/dest1", "--format",
                                             "rewrap", "--mode", "normal", "--replace"},
                                            privateHome(root + "/home1"));
    QDir(root + "/dest1").removeRecursively();
    report("rewrap", fluxaroRewrap, plainRewrap, 1.4);

    // ProRes HQ.
    const double plainProres = runSeconds(
        "/usr/bin/ffmpeg", {"-nostdin", "-y", "-i", shortClip, "-c:v", "prores_ks", "-profile:v",
                            "3", "-c:a", "pcm_s16le", root + "/plain-prores.mov"});
    QFile::remove(root + "/plain-prores.mov");
    QDir().mkpath(root + "/dest2");
    const double fluxaroProres =
        runSeconds(fluxaro,
                   {"--batch", shortClip, "--dest", root + "/dest2", "--format", "prores",
                    "--prores", "hq", "--mode", "normal", "--replace"},
                   privateHome(root + "/home2"));
    report("prores", fluxaroProres, plainProres, 1.15);

    // Analysis.
    const double plainAnalysis =
        runSeconds("/usr/bin/ffprobe", {clip}) +
        runSeconds("/usr/bin/ffmpeg", {"-nostdin", "-y", "-ss", "60", "-i", clip, "-frames:v", "1",
                                       "-vf", "scale=160:90", root + "/thumb.jpg"});
    const double fluxaroAnalysis = analysisSeconds(clip, root + "/home3");
    report("analysis", fluxaroAnalysis, plainAnalysis, 1.5);
    return 0;
}
