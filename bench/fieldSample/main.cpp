// fieldSample_bench [SECONDS [RUNS]]
//
// Makes a clip of SECONDS (10 by default) of 1920x1080 progressive pictures at 25 a second,
// coded as interlaced fields (H.264 at 20 Mb/s, top field first, a key frame every 12
// pictures, as camcorders record their 25p modes) in a transport stream, then times, RUNS
// times each (5), the processor time (user + system, of the child processes) and the wall
// time of:
//   look:    the analysis's look at the pictures, in process (toolbox::fieldSampleCounts: one
//            open, 3 samples of 10 pictures, one decoding thread; processor time of this
//            process's thread);
//   program: the same look as one ffmpeg run (fieldSampleArguments), as it was made before;
//   idet:    `ffmpeg -i CLIP -vf idet -f null -`, the whole-file pass a user would type;
//   decode:  `ffmpeg -threads 1 -i CLIP -frames:v 30 -f null -`, as many pictures decoded
//            from the start on one thread, without looking at them.
// Prints the medians, the look's verdict and its ratio to the other two.
#include "analysis/fieldSample.h"
#include "toolbox/fieldSampleCounts.h"

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

double threadCpu() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

/// The look in process, as the analysis makes it.
cost lookTimed(const QString &clip, double seconds, QList<idetSampleCounts> &counts) {
    const double before = threadCpu();
    QElapsedTimer timer;
    timer.start();
    const QList<double> starts = fieldSampleStarts(seconds);
    const toolbox::FieldSampleReport report = toolbox::fieldSampleCounts(
        clip.toStdString(), std::vector<double>(starts.cbegin(), starts.cend()),
        starts.size() > 1 ? kFieldSampleFrames : kFieldShortClipFrames);
    cost c;
    c.wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    c.cpu = threadCpu() - before;
    counts.clear();
    for (const toolbox::FieldCounts &f : report.samples) {
        counts << idetSampleCounts{
            f.tff,         f.bff,           f.progressive, f.undetermined, f.repeatedNeither,
            f.repeatedTop, f.repeatedBottom};
    }
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
    std::vector<double> lookCpu, lookWall, programCpu, programWall, idetCpu, idetWall, decodeCpu,
        decodeWall;
    fieldScanVerdict verdict;
    fieldScanVerdict programVerdict;
    QList<idetSampleCounts> counts;
    QList<idetSampleCounts> programCounts;
    for (int i = 0; i < runs; ++i) {
        const cost look = lookTimed(clip, seconds, counts);
        verdict = fieldScanDecision(counts);
        lookCpu.push_back(look.cpu);
        lookWall.push_back(look.wall);
        const cost program = runTimed(fieldSampleArguments(ffmpeg, clip, seconds, QString()));
        programCounts = idetReportCounts(program.report);
        programVerdict = fieldScanDecision(programCounts);
        programCpu.push_back(program.cpu);
        programWall.push_back(program.wall);
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
    std::printf("  program: %.3f s processor, %.3f s wall  (verdict: %s)\n", median(programCpu),
                median(programWall), qPrintable(programVerdict.reason));
    // The in-process samples start at the first key frame after a seek a second early, the
    // program's at the key frame before the point: the counts may differ, the verdict not.
    std::printf("  counts : %s\n",
                counts == programCounts
                    ? "the same as the program's"
                    : "other than the program's (samples from other key frames)");
    std::printf("  idet   : %.3f s processor, %.3f s wall  (whole file)\n", median(idetCpu),
                median(idetWall));
    std::printf("  decode : %.3f s processor, %.3f s wall  (30 pictures, one thread)\n",
                median(decodeCpu), median(decodeWall));
    std::printf("  look / idet: %.2f   look / decode: %.2f   look / program: %.2f\n",
                median(lookCpu) / median(idetCpu), median(lookCpu) / median(decodeCpu),
                median(lookCpu) / median(programCpu));
    return verdict.scan == fieldScan::progressive && programVerdict.scan == verdict.scan ? 0 : 1;
}
