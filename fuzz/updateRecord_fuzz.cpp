// The update server's answer: whatever comes back over the network, read for its pairs of
// markers and then judged by the offer rule.
#include "update/updateRecord.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<updateRecordDico> record = updateRecordParse(text);
    if (record) {
        (void)updateOffered(*record, 1.0F, 12.0F);
    }
    return 0;
}
