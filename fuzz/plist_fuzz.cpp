// The settings store's file: an XML property list that anyone with the user's rights can edit.
#include "platform/plistXml.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::optional<QVariantMap> dico = plistRead(buffer);
    if (dico) {
        // What was read can be written back.
        QByteArray out;
        QBuffer again(&out);
        again.open(QIODevice::WriteOnly);
        (void)plistWrite(again, *dico);
    }
    return 0;
}
