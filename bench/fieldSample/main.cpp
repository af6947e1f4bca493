// fieldSample_bench [SECONDS [RUNS]]
//
// Makes a clip of SECONDS (10 by default) of 1920x1080 progressive pictures at 25 a second,
// coded as interlaced fields (H.264 at 20 Mb/s, top field first, a key frame every 12
// pictures, as camcorders record their 25p modes) in a transport stream, then times, RUNS
// times each (5), the processor time (user + system, of the child processes) and the wall
// time of:
//   look:    the analysis's look at the pictures (fieldSampleArguments: 3 samples of 10
//            pictures, one decoding thread);
//   idet:    `ffmpeg -i CLIP -vf idet -f null -`, the whole-file pass a user would type;
//   decode:  `ffmpeg -threads 1 -i CLIP -frames:v 30 -f null -`, as many pictures decoded
//            from the start on one thread, without looking at them.
// Prints the medians, the look's verdict and its ratio to the other two.
#include "analysis/fieldSample.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct cost {
    double cpu = 0;  // seconds of processor time
    double wall = 0; // seconds
    QString report;
};

double childrenCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

cost runTimed(const QStringList &args) {
    const double before = childrenCpu();
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(args.first(), args.mid(1));
    process.waitForFinished(-1);
    cost c;
    c.wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    c.cpu = childrenCpu() - before;
    c.report = QString::fromUtf8(process.readAllStandardError());
    return c;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QTemporaryDir tmp;
    const QString clip = tmp.path() + QStringLiteral("/psf1080.mts");
    const QString ffmpeg = QStringLiteral("/usr/bin/ffmpeg");
    runTimed({ffmpeg,
              "-v",
              "error",
              "-y",
              "-f",
              "lavfi",
              "-i",
              QStringLiteral("testsrc2=size=1920x1080:rate=25:duration=%1").arg(seconds),
              "-c:v",
              "libx264",
              "-preset",
              "veryfast",
              "-b:v",
              "20M",
              "-g",
              "12",
              "-x264-params",
              "interlaced=1:tff=1",
              "-pix_fmt",
              "yuv420p",
              "-f",
              "mpegts",
              clip});
    if (QFileInfo(clip).size() <= 0) {
        std::fprintf(stderr, "fieldSample_bench: the clip could not be made\n");
        return 1;
    }
    std::vector<double> lookCpu, lookWall, idetCpu, idetWall, decodeCpu, decodeWall;
    fieldScanVerdict verdict;
    for (int i = 0; i < runs; ++i) {
        const cost look = runTimed(fieldSampleArguments(ffmpeg, clip, seconds, QString()));
        verdict = fieldScanDecision(idetReportCounts(look.report));
        lookCpu.push_back(look.cpu);
        lookWall.push_back(look.wall);
        const cost idet =
            runTimed({ffmpeg, "-nostdin", "-i", clip, "-vf", "idet", "-f", "null", "-"});
        idetCpu.push_back(idet.cpu);
        idetWall.push_back(idet.wall);
        const cost decode = runTimed({ffmpeg, "-nostdin", "-threads", "1", "-i", clip, "-frames:v",
                                      "30", "-f", "null", "-"});
        decodeCpu.push_back(decode.cpu);
        decodeWall.push_back(decode.wall);
    }
    std::printf("fieldSample_bench: 1920x1080 25p coded as fields, %.0f s, %.1f MB, %d runs "
                "(medians; processor = user + system)\n",
                seconds, static_cast<double>(QFileInfo(clip).size()) / 1e6, runs);
    std::printf("  look   : %.3f s processor, %.3f s wall  (verdict: %s)\n", median(lookCpu),
                median(lookWall), qPrintable(verdict.reason));
    std::printf("  idet   : %.3f s processor, %.3f s wall  (whole file)\n", median(idetCpu),
                median(idetWall));
    std::printf("  decode : %.3f s processor, %.3f s wall  (30 pictures, one thread)\n",
                median(decodeCpu), median(decodeWall));
    std::printf("  look / idet: %.2f   look / decode: %.2f\n", median(lookCpu) / median(idetCpu),
                median(lookCpu) / median(decodeCpu));
    return verdict.scan == fieldScan::progressive ? 0 : 1;
}
