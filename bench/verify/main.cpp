// verify_bench [SECONDS [SIZE [RATE]]]
//
// The verification's cost as a share of the conversion it proves, on two sources made once:
//   rewrap: a clip of SECONDS (120 by default) at SIZE (1920x1080) and RATE (50) frames/s,
//           H.264 and AC-3 in a transport stream;
//   join:   a card whose playlist lists one recording of SECONDS at SIZE, 25 frames/s, in three
//           stream files.
// For each, `fluxaro --batch SOURCE --format rewrap --mode normal` is timed (whole process, best
// of three), then what its verification does, in this process: the source's facts (each piece's
// for the join), the output's facts and the comparison (best of five). Prints both times and the
// share; the rewrap's share must stay under 3 %.
#include "e2eMedia.h"
#include "verify/outputVerdict.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>

using namespace e2e;

namespace {

// The wall seconds of the best of three batch runs into an emptied destination, -1 on failure.
double conversionSeconds(const sandbox &box, const QString &source) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        QDir(box.events()).removeRecursively();
        QElapsedTimer timer;
        timer.start();
        const runResult result =
            box.batch({source, "--format", "rewrap", "--mode", "normal", "--replace"}, 3600000);
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        if (result.status != 0 || box.eventsFiles().size() != 1) {
            std::fprintf(stderr, "verify_bench: the conversion failed (status %d):\n%s\n",
                         result.status, qPrintable(result.out));
            return -1;
        }
        best = std::min(best, seconds);
    }
    return best;
}

toolbox::MovieFacts factsOf(const QString &path) {
    toolbox::MovieFacts facts;
    (void)toolbox::readMovieFacts(QFile::encodeName(path).toStdString(), facts);
    return facts;
}

// The best of five verifications of the output against the pieces, in seconds; its verdict.
double verificationSeconds(const QStringList &pieces, const QString &output, bool *holds) {
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        QList<toolbox::MovieFacts> read;
        for (const QString &piece : pieces) {
            read << factsOf(piece);
        }
        const verifyVerdict verdict =
            verifyOutput(verifyExpectOf(verifyJoinedFacts(read), {}), factsOf(output));
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e9);
        *holds = verdict.holds;
    }
    return best;
}

bool report(const char *name, const sandbox &box, const QString &source,
            const QStringList &pieces) {
    const double conversion = conversionSeconds(box, source);
    if (conversion < 0) {
        return false;
    }
    bool holds = false;
    const QString output = box.events() + QLatin1Char('/') + box.eventsFiles().value(0);
    const double verification = verificationSeconds(pieces, output, &holds);
    std::printf("%s: conversion %.2f s, verification %.4f s (%s), share %.2f %%\n", name,
                conversion, verification, holds ? "holds" : "does not hold",
                100.0 * verification / conversion);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const double seconds = args.size() > 1 ? args[1].toDouble() : 120;
    const QString size = args.size() > 2 ? args[2] : QStringLiteral("1920x1080");
    const int rate = args.size() > 3 ? args[3].toInt() : 50;
    if (seconds < 3 || rate <= 0) {
        std::fprintf(stderr, "usage: verify_bench [SECONDS [SIZE [RATE]]] (at least 3 s)\n");
        return 2;
    }
    sandbox box;
    const QString clip = box.root() + QStringLiteral("/clip.MTS");
    std::printf("making a clip of %.0f s at %s, %d frames/s...\n", seconds, qPrintable(size), rate);
    std::fflush(stdout);
    if (!makeClip(clip, size, rate, seconds)) {
        std::fprintf(stderr, "verify_bench: the clip could not be made\n");
        return 1;
    }
    if (!report("rewrap", box, clip, {clip})) {
        return 1;
    }
    const QString card = box.root() + QStringLiteral("/card");
    std::printf("making a card: one recording of %.0f s at %s in 3 pieces...\n", seconds,
                qPrintable(size));
    std::fflush(stdout);
    const QString stream =
        makeSpannedCard(card, box.root() + QStringLiteral("/whole.ts"), 3, seconds, 0, size);
    if (stream.isEmpty()) {
        std::fprintf(stderr, "verify_bench: the card could not be made\n");
        return 1;
    }
    QStringList pieces;
    for (const QString &name : QDir(stream).entryList({"*.MTS"}, QDir::Files, QDir::Name)) {
        pieces << stream + QLatin1Char('/') + name;
    }
    return report("join", box, card, pieces) ? 0 : 1;
}
