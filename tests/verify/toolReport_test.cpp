// The read errors of a tool's report: which lines fail a job, whatever the chunks it arrives in.
#include "verify/toolReport.h"

#include <gtest/gtest.h>

// ffmpeg's words for a source it could not read, and lines that only quote such words (a file
// name, a title in the metadata, progress) or say nothing of reading.
TEST(toolReport, linesThatFailAJob) {
    const struct {
        const char *line;
        toolReportLine kind;
    } cases[] = {
        {"/media/card/00001.MTS: Input/output error", toolReportLine::readError},
        {"[mpegts @ 0x55] Packet corrupt (stream = 0, dts = 1234).", toolReportLine::readError},
        {"Error while decoding stream #0:1: Invalid data found when processing input",
         toolReportLine::decodeError},
        {"[in#0/mpegts @ 0x1] Invalid data found when processing input", toolReportLine::readError},
        {"Input #0, mpegts, from '/media/Input/output error.MTS':", toolReportLine::plain},
        {"    title           : Invalid data found when processing input", toolReportLine::plain},
        {"frame=  300 fps=0.0 q=-1.0 Lsize=  1234kB time=00:00:06.00", toolReportLine::plain},
        {"[mp4 @ 0x2] Non-monotonous DTS in output stream 0:0", toolReportLine::plain},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(toolReportLineKind(QString::fromUtf8(c.line)), c.kind) << c.line;
    }
}

// A read error cut across chunks, and one without a line end at the tool's end, are read whole;
// the first one is the job's reason.
TEST(toolReport, readAcrossChunks) {
    toolReportReader reader;
    reader.add(QStringLiteral("frame=  10 fps=0\rframe=  20 fps=0\r/card/00001.MTS: Input/out"));
    reader.add(QStringLiteral("put error\n/card/00001.MTS: Invalid data found when processing "
                              "input\n"));
    reader.finish();
    EXPECT_EQ(reader.failingLine(), QStringLiteral("/card/00001.MTS: Input/output error"));

    reader.clear();
    reader.add(QStringLiteral("[mpegts @ 0x1] Packet corrupt (stream = 1)"));
    EXPECT_TRUE(reader.failingLine().isEmpty());
    reader.finish();
    EXPECT_EQ(reader.failingLine(), QStringLiteral("[mpegts @ 0x1] Packet corrupt (stream = 1)"));
}

// A handful of frames that do not decode is a damaged frame or two; more fail the job.
TEST(toolReport, decodeErrorsBeyondAHandful) {
    toolReportReader reader;
    for (int i = 0; i < kToolDecodeErrorsTolerated; ++i) {
        reader.add(QStringLiteral("Error while decoding stream #0:1: error %1\n").arg(i));
    }
    EXPECT_TRUE(reader.failingLine().isEmpty());
    reader.add(QStringLiteral("Error while decoding stream #0:1: error again\n"));
    EXPECT_EQ(reader.failingLine(),
              QStringLiteral("6 decoding errors, the first: Error while decoding stream #0:1: "
                             "error 0"));
}
