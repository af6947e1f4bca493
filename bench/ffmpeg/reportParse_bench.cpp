// Times the report parsers (ffInfos, ptsDtsOffsetMs, intraOffset) on debug-level probing reports
// of 5, 10 and 20 MB, laid out as the shipped ffmpeg writes them: one packet trace line per
// packet and one showinfo line per frame around the input section. Prints the time of each and
// the ratio of times against the ratio of sizes (about 1 for linear time), and, as the plain
// tool a user would reach for, `grep -c` counting the packet lines of the same 20 MB file.
#include "analysis/ffmpeg.h"
#include "platform/shellQuote.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>

namespace {

QString makeReport(qsizetype targetBytes) {
    QString report = QStringLiteral(
        "ffmpeg version 5.1.9-0+deb12u1 Copyright (c) 2000-2026 the FFmpeg developers\n"
        "Input #0, mpegts, from 'clip.mts':\n"
        "  Duration: 00:10:00.00, start: 1.400000, bitrate: 24000 kb/s\n"
        "  Program 1 \n"
        "  Stream #0:0[0x1011], 50, 1/90000: Video: h264 (High), 1 reference frame ([27][0][0][0] "
        "/ 0x001B), yuv420p(progressive, left), 1920x1080 (1920x1088) [SAR 1:1 DAR 16:9], 0/1, 50 "
        "fps, 50 tbr, 90k tbn\n"
        "  Stream #0:1[0x1100](eng), 32, 1/90000: Audio: ac3 ([129][0][0][0] / 0x0081), 48000 "
        "Hz, 5.1(side), fltp, 448 kb/s\n"
        "Output #0, yuv4mpegpipe, to 'frame.yuv':\n"
        "  Stream #0:0, 0, 1/50: Video: wrapped_avframe, yuv420p, 640x480, 50 fps, 50 tbn\n");
    report.reserve(targetBytes + 256);
    qint64 pts = 126000;
    int frame = 0;
    while (report.size() < targetBytes) {
        report += QStringLiteral("[mpegts @ 0x55d0c0a1e2c0] ff_read_packet stream=%1, pts=%2, "
                                 "dts=%2, size=9583, duration=0, flags=0\n")
                      .arg(frame % 3 == 2 ? 1 : 0)
                      .arg(pts);
        if (frame % 3 == 0) {
            report += QStringLiteral("[Parsed_showinfo_0 @ 0x55d0c0b2e500] n:%1 pts:%2 "
                                     "pts_time:%3 pos:564 fmt:yuv420p sar:1/1 s:1920x1080 i:P "
                                     "iskey:%4 type:I checksum:E9ED1610\n")
                          .arg(frame)
                          .arg(pts)
                          .arg(static_cast<double>(pts) / 90000.0)
                          .arg(frame % 30 == 0 ? 1 : 0);
        }
        pts += 1800;
        ++frame;
    }
    return report;
}

double msOf(const std::function<void()> &work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const qsizetype sizes[] = {5 * 1000 * 1000, 10 * 1000 * 1000, 20 * 1000 * 1000};
    double previous[3] = {0, 0, 0};
    qsizetype previousSize = 0;
    QString largest;
    std::printf("%-10s %12s %16s %14s\n", "size", "ffInfos ms", "ptsDtsOffsetMs ms",
                "intraOffset ms");
    for (const qsizetype size : sizes) {
        const QString report = makeReport(size);
        double times[3];
        times[0] = msOf([&] { (void)ffInfos(std::nullopt, report); });
        times[1] = msOf([&] { (void)ptsDtsOffsetMs(report); });
        times[2] = msOf([&] { (void)intraOffset(report); });
        std::printf("%7.1f MB %12.1f %16.1f %14.1f\n", static_cast<double>(report.size()) / 1e6,
                    times[0], times[1], times[2]);
        if (previousSize > 0) {
            const double sizeRatio =
                static_cast<double>(report.size()) / static_cast<double>(previousSize);
            std::printf("   time ratio / size ratio: %.2f %.2f %.2f (1.00 is linear)\n",
                        times[0] / previous[0] / sizeRatio, times[1] / previous[1] / sizeRatio,
                        times[2] / previous[2] / sizeRatio);
        }
        std::copy(std::begin(times), std::end(times), std::begin(previous));
        previousSize = report.size();
        largest = report;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(largest.toUtf8());
        file.close();
        const double grepMs = msOf([&] {
            QProcess grep;
            grep.start(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"),
                        QStringLiteral("grep -c ff_read_packet ") + shellQuote(path)});
            grep.waitForFinished(-1);
        });
        std::printf("grep -c on the 20 MB report: %.1f ms; ptsDtsOffsetMs / grep = %.1f\n", grepMs,
                    previous[1] / grepMs);
    }
    return 0;
}
