// ffmpeg's reports as Fluxaro reads them: the stream report (media info dictionary), the
// packet-timestamp trace (start offsets) and the progress lines of every tool. The input is
// the text a probing run or a conversion printed; a source's metadata can put almost any text
// in it.
#include "analysis/ffmpegInfos.h"
#include "analysis/ffmpegOffsets.h"
#include "analysis/taskParsers.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString report =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    (void)ffInfos(std::nullopt, report);
    (void)ptsDtsOffsetMs(report);
    (void)intraOffset(report);
    for (int parser = 0; parser <= 5; ++parser) {
        (void)progressForParser(parser, report);
    }
    return 0;
}
