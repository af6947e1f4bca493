// Movie services on a small and a large QuickTime movie (the same two seconds, 64x48 mpeg4
// against 1920x1080 uncompressed video), with the video starting 0.48 s after the sound:
//  - trimming with mode 0 writes a reference movie beside the source;
//  - trimming with mode -1 gives the source a new movie header in place;
//  - slow-motion re-timing (5000 -> 2500) writes the re-timed movie beside the source, from the
//    self-contained movie (a rewrap job) or from the reference movie of a mode-0 trim (an export
//    job).
// None of them copies samples, so their times stay flat while a plain copy of the file
// (cp, shown for scale) grows with its size.
//
// Usage: movieServices_bench [large-movie-megabytes] (default 300)
#include "movie/qt.h"
#include "movie/qtUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

bool ffmpeg(const QStringList &args) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/ffmpeg"), QStringList{"-v", "error", "-y"} + args);
    return process.waitForFinished(600000) && process.exitCode() == 0;
}

// Two seconds of 48 kHz PCM sound; the video from 0.48 s to 2 s.
bool makeMovie(const QString &path, bool large, int megabytes) {
    // 1920x1080 4:2:2 uncompressed is 4 MB a frame: the rate sets the size.
    const int rate = large ? std::max(1, megabytes / 6) : 25;
    const QString video =
        large ? QStringLiteral("color=c=blue:size=1920x1080:rate=%1:duration=1.52").arg(rate)
              : QStringLiteral("testsrc=size=64x48:rate=25:duration=1.52");
    QStringList args{"-itsoffset", "0.48",
                     "-f",         "lavfi",
                     "-i",         video,
                     "-f",         "lavfi",
                     "-i",         "sine=frequency=440:sample_rate=48000:duration=2",
                     "-map",       "0:v",
                     "-map",       "1:a",
                     "-fps_mode",  "passthrough",
                     "-c:a",       "pcm_s16le"};
    if (large) {
        args << "-c:v"
             << "rawvideo"
             << "-pix_fmt"
             << "uyvy422";
    } else {
        args << "-c:v"
             << "mpeg4";
    }
    return ffmpeg(args << path);
}

bool copyFile(const QString &from, const QString &to) {
    QProcess process;
    process.start(QStringLiteral("/bin/cp"), {from, to});
    return process.waitForFinished(600000) && process.exitCode() == 0;
}

// Writes the file's pending pages out. The in-place header write syncs the file it changes; on a
// copy made a moment before, that sync would also flush the copy itself and time it.
bool flushFile(const QString &path) {
    QProcess process;
    process.start(QStringLiteral("/bin/sync"), {path});
    return process.waitForFinished(600000) && process.exitCode() == 0;
}

// Milliseconds of one run of work on a fresh copy of the movie (the copy is not timed).
double timed(const QString &movie, const QString &work,
             const std::function<bool(const QString &)> &run, bool *ok) {
    QFile::remove(work);
    QFile::remove(work + QStringLiteral(".mov"));
    if (!copyFile(movie, work) || !flushFile(work)) {
        *ok = false;
        return 0;
    }
    QElapsedTimer clock;
    clock.start();
    *ok = run(work);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    QTMOVIErelease();
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("small.mov"));
    const QString large = dir.filePath(QStringLiteral("large.mov"));
    if (!makeMovie(small, false, 0) || !makeMovie(large, true, megabytes)) {
        std::fprintf(stderr, "movieServices_bench: ffmpeg could not make the movies\n");
        return 1;
    }
    // The services log every step; keep the table readable.
    std::fflush(stderr);
    FILE *quiet = std::freopen("/dev/null", "w", stderr);
    (void)quiet;

    struct Row {
        const char *name;
        std::function<bool(const QString &)> run;
    };
    const Row rows[] = {
        {"trim, mode 0 (reference)",
         [](const QString &p) { return isDebMovieTrimmedToVideoTrack(p, 0); }},
        {"trim, mode -1 (in place)",
         [](const QString &p) { return isDebMovieTrimmedToVideoTrack(p, -1); }},
        {"slow motion 5000->2500",
         [](const QString &p) {
             return QTMOVIEinstantiate(p) &&
                    movieRescalePreExport(getQTMOVIE(), 5000, 2500, p + QStringLiteral(".mov"));
         }},
        {"trim 0, then slow motion",
         [](const QString &p) {
             const QString cut = p + QStringLiteral(".mov");
             const bool ok =
                 isDebMovieTrimmedToVideoTrack(p, 0) && QTMOVIEinstantiate(cut) &&
                 movieRescalePreExport(getQTMOVIE(), 5000, 2500, cut + QStringLiteral(".mov"));
             QTMOVIErelease();
             QFile::remove(cut + QStringLiteral(".mov"));
             return ok;
         }},
        {"plain copy (cp)",
         [&dir](const QString &p) {
             return copyFile(p, dir.filePath(QStringLiteral("copy.mov")));
         }},
    };
    const double smallMb = double(QFileInfo(small).size()) / 1048576.0;
    const double largeMb = double(QFileInfo(large).size()) / 1048576.0;
    std::printf("%-28s %12s %12s %8s\n", "", "small", "large", "ratio");
    std::printf("%-28s %9.2f MB %9.1f MB %8.0f\n", "file size", smallMb, largeMb,
                largeMb / smallMb);
    int failures = 0;
    for (const Row &row : rows) {
        bool okSmall = false;
        bool okLarge = false;
        // Best of three: the shared machine's noise is one-sided.
        double tSmall = 1e300;
        double tLarge = 1e300;
        for (int i = 0; i < 3; ++i) {
            tSmall = std::min(tSmall, timed(small, dir.filePath(QStringLiteral("work-s.mov")),
                                            row.run, &okSmall));
            tLarge = std::min(tLarge, timed(large, dir.filePath(QStringLiteral("work-l.mov")),
                                            row.run, &okLarge));
        }
        failures += okSmall && okLarge ? 0 : 1;
        std::printf("%-28s %9.1f ms %9.1f ms %8.2f%s\n", row.name, tSmall, tLarge, tLarge / tSmall,
                    okSmall && okLarge ? "" : "  (FAILED)");
    }
    return failures == 0 ? 0 : 1;
}
