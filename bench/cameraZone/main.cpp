// cameraZone_bench [SECONDS [SIZE [RUNS]]]
//
// Makes a card with one clip of SECONDS (10 by default) at SIZE (1920x1080, 50 fps, H.264 and
// AC-3 in a transport stream) whose IDR pictures carry a camcorder's MDPM message, then times,
// RUNS times each (50) with the file in the page cache, the median of:
//   zone:    reading the camera's zone from the clip's first packets (cameraZoneOf);
//   date:    the clip's whole recording date (recordingDateOf: clipdater on the playlist, then
//            the zone);
//   ffprobe: `ffprobe -v error -show_entries stream=codec_name CLIP`, the plain look at a clip
//            a user would type, as a whole process.
// Prints the three times, the zone's share of the date and the ratio to ffprobe.
#include "dates/recordingDate.h"
#include "e2eMedia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double medianMs(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <typename F> double timedMs(F &&work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    const QString size = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("1920x1080");
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 50;
    QTemporaryDir tmp;
    // +09:00: a zone that is no machine's default here.
    const QString stream =
        e2e::makeCard(tmp.path() + QStringLiteral("/card"), {{size, 50}}, seconds, 0x12);
    const QString clip = stream + QStringLiteral("/00001.MTS");
    if (cameraZoneOf(clip) != 9 * 3600) {
        std::fprintf(stderr, "cameraZone_bench: the clip gives no camera zone\n");
        return 1;
    }
    std::vector<double> zoneMs;
    std::vector<double> dateMs;
    std::vector<double> probeMs;
    bool allRead = true;
    for (int i = 0; i < runs; ++i) {
        zoneMs.push_back(timedMs([&] { allRead = allRead && cameraZoneOf(clip).has_value(); }));
        dateMs.push_back(timedMs([&] {
            const std::optional<recordingDate> date = recordingDateOf(clip);
            allRead = allRead && date && date->cameraZone;
        }));
        probeMs.push_back(timedMs([&] {
            QProcess probe;
            probe.start(QStringLiteral("/usr/bin/ffprobe"),
                        {"-v", "error", "-show_entries", "stream=codec_name", clip});
            probe.waitForFinished(-1);
        }));
    }
    if (!allRead) {
        std::fprintf(stderr, "cameraZone_bench: a run did not read the zone\n");
        return 1;
    }
    const double zone = medianMs(zoneMs);
    const double date = medianMs(dateMs);
    const double probe = medianMs(probeMs);
    std::printf("cameraZone_bench: clip of %.0f s at %s, %.1f MB, %d runs each (medians)\n",
                seconds, qPrintable(size), static_cast<double>(QFileInfo(clip).size()) / 1e6, runs);
    std::printf("  zone (first packets)     %8.3f ms\n", zone);
    std::printf("  recording date (all)     %8.3f ms  (the zone %.1f%% of it)\n", date,
                100.0 * zone / date);
    std::printf("  ffprobe stream names     %8.3f ms  (%.0fx the zone)\n", probe, probe / zone);
    return 0;
}
