// join_bench [SECONDS [PIECES [SIZE [FORMAT]]]]
//
// Makes a card whose playlist lists one recording of SECONDS (60 by default) at SIZE
// (1280x720, 25 fps, H.264 and AC-3 in a transport stream) split into PIECES stream files (3)
// at key frames, as a camcorder splits it, then times two whole-process runs of the same
// conversion (FORMAT: rewrap by default, or prores):
//   joined: `fluxaro --batch CARD --format FORMAT --mode normal` (one movie of the pieces);
//   apart:  the same with `--no-join` (one movie per piece, one after the other).
// Each pair runs three times, alternating; the best time of each counts. Prints both times and
// their ratio. Each run has a private home and an empty destination.
#include "e2eMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace e2e;

namespace {

// The wall seconds of one batch run into an emptied destination, or -1 when it fails.
double timedRun(const sandbox &box, const QStringList &args, int expectedOutputs) {
    QDir(box.events()).removeRecursively();
    QElapsedTimer timer;
    timer.start();
    const runResult run = box.batch(args, 3600000);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (run.status != 0 || box.eventsFiles().size() != expectedOutputs) {
        std::fprintf(stderr, "join_bench: run failed (status %d):\n%s\n", run.status,
                     qPrintable(run.out));
        return -1;
    }
    return seconds;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const double seconds = args.size() > 1 ? args[1].toDouble() : 60;
    const int pieces = args.size() > 2 ? args[2].toInt() : 3;
    const QString size = args.size() > 3 ? args[3] : QStringLiteral("1280x720");
    const QString format = args.size() > 4 ? args[4] : QStringLiteral("rewrap");
    if (seconds < pieces || pieces < 2) {
        std::fprintf(stderr, "usage: join_bench [SECONDS [PIECES [SIZE [FORMAT]]]] "
                             "(at least 2 pieces of a second each)\n");
        return 2;
    }
    sandbox box;
    const QString card = box.root() + QStringLiteral("/card");
    std::printf("making a card: one recording of %.0f s at %s in %d pieces...\n", seconds,
                qPrintable(size), pieces);
    std::fflush(stdout);
    if (makeSpannedCard(card, box.root() + QStringLiteral("/whole.ts"), pieces, seconds, 0, size)
            .isEmpty()) {
        std::fprintf(stderr, "join_bench: the card could not be made\n");
        return 1;
    }
    const QStringList common{card,
                             QStringLiteral("--format"),
                             format,
                             QStringLiteral("--mode"),
                             QStringLiteral("normal"),
                             QStringLiteral("--replace")};
    double joined = 1e9;
    double apart = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double j = timedRun(box, common, 1);
        const double a = timedRun(box, common + QStringList{QStringLiteral("--no-join")}, pieces);
        if (j < 0 || a < 0) {
            return 1;
        }
        joined = std::min(joined, j);
        apart = std::min(apart, a);
        std::printf("run %d: joined %.2f s, apart %.2f s\n", run + 1, j, a);
        std::fflush(stdout);
    }
    std::printf("joined (fluxaro --batch CARD --format %s): %.2f s\n", qPrintable(format), joined);
    std::printf("apart  (the same with --no-join):          %.2f s\n", apart);
    std::printf("joined / apart: %.2f\n", joined / apart);
    return 0;
}
