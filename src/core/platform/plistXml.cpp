#include "platform/plistXml.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <limits>

namespace {

// Reads the value whose start element the reader is on; leaves the reader on its end element.
// depth counts the containers around it: beyond kPlistMaxDepth the text is refused, so a
// crafted file cannot exhaust the stack.
std::optional<QVariant> readValue(QXmlStreamReader &xml, int depth);

std::optional<QVariant> readDict(QXmlStreamReader &xml, int depth) {
    if (depth > kPlistMaxDepth) {
        return std::nullopt;
    }
    QVariantMap dico;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("key")) {
            return std::nullopt;
        }
        const QString key = xml.readElementText();
        if (xml.hasError() || !xml.readNextStartElement()) {
            return std::nullopt;
        }
        std::optional<QVariant> value = readValue(xml, depth + 1);
        if (!value) {
            return std::nullopt;
        }
        dico.insert(key, *value);
    }
    if (xml.hasError()) {
        return std::nullopt;
    }
    return QVariant(dico);
}

std::optional<QVariant> readArray(QXmlStreamReader &xml, int depth) {
    if (depth > kPlistMaxDepth) {
        return std::nullopt;
    }
    QVariantList list;
    while (xml.readNextStartElement()) {
        std::optional<QVariant> value = readValue(xml, depth + 1);
        if (!value) {
            return std::nullopt;
        }
        list.append(*value);
    }
    if (xml.hasError()) {
        return std::nullopt;
    }
    return QVariant(list);
}

// True when XML 1.0 can't carry the text as it is: a control character (a carriage return
// included, which a reader would turn into a line break), a lone surrogate, U+FFFE or U+FFFF.
bool needsEncoding(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if ((c < 0x20 && c != u'\t' && c != u'\n') || c == 0xfffe || c == 0xffff) {
            return true;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (QChar::isSurrogate(c)) {
            return true;
        }
    }
    return false;
}

std::optional<QVariant> readValue(QXmlStreamReader &xml, int depth) {
    if (xml.characterOffset() > kPlistMaxBytes) {
        return std::nullopt;
    }
    const QStringView name = xml.name();
    if (name == QLatin1String("dict")) {
        return readDict(xml, depth);
    }
    if (name == QLatin1String("array")) {
        return readArray(xml, depth);
    }
    if (name == QLatin1String("true") || name == QLatin1String("false")) {
        const bool value = name == QLatin1String("true");
        xml.skipCurrentElement();
        return QVariant(value);
    }
    // A text XML can't carry (a file name with an escape or a carriage return) is its UTF-8
    // bytes in base64.
    const bool encoded = name == QLatin1String("string") &&
                         xml.attributes().value(QLatin1String("base64")) == QLatin1String("1");
    const QString text = xml.readElementText();
    if (xml.hasError()) {
        return std::nullopt;
    }
    if (name == QLatin1String("string")) {
        return encoded ? QVariant(QString::fromUtf8(QByteArray::fromBase64(text.toLatin1())))
                       : QVariant(text);
    }
    if (name == QLatin1String("integer")) {
        bool ok = false;
        const qlonglong value = text.trimmed().toLongLong(&ok);
        if (!ok) {
            return std::nullopt;
        }
        if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()) {
            return QVariant(static_cast<int>(value));
        }
        return QVariant(value);
    }
    if (name == QLatin1String("real")) {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok) {
            return std::nullopt;
        }
        return QVariant(value);
    }
    if (name == QLatin1String("date")) {
        QDateTime date = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
        if (!date.isValid()) {
            return std::nullopt;
        }
        return QVariant(date);
    }
    if (name == QLatin1String("data")) {
        const auto decoded = QByteArray::fromBase64Encoding(
            text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            return std::nullopt;
        }
        return QVariant(decoded.decoded);
    }
    return std::nullopt;
}

bool writeValue(QXmlStreamWriter &xml, const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        xml.writeStartElement(QStringLiteral("dict"));
        const QVariantMap dico = value.toMap();
        for (auto it = dico.cbegin(); it != dico.cend(); ++it) {
            xml.writeTextElement(QStringLiteral("key"), it.key());
            if (!writeValue(xml, it.value())) {
                return false;
            }
        }
        xml.writeEndElement();
        return true;
    }
    case QMetaType::QVariantHash: {
        QVariantMap dico;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it) {
            dico.insert(it.key(), it.value());
        }
        return writeValue(xml, dico);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        xml.writeStartElement(QStringLiteral("array"));
        const QVariantList list = value.toList();
        for (const QVariant &item : list) {
            if (!writeValue(xml, item)) {
                return false;
            }
        }
        xml.writeEndElement();
        return true;
    }
    case QMetaType::Bool:
        xml.writeEmptyElement(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        xml.writeTextElement(QStringLiteral("integer"), QString::number(value.toLongLong()));
        return true;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        xml.writeTextElement(QStringLiteral("integer"), QString::number(value.toULongLong()));
        return true;
    case QMetaType::Double:
    case QMetaType::Float:
        xml.writeTextElement(
            QStringLiteral("real"),
            QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
        return true;
    case QMetaType::QString:
    case QMetaType::QChar: {
        const QString text = value.toString();
        if (!needsEncoding(text)) {
            xml.writeTextElement(QStringLiteral("string"), text);
            return true;
        }
        xml.writeStartElement(QStringLiteral("string"));
        xml.writeAttribute(QStringLiteral("base64"), QStringLiteral("1"));
        xml.writeCharacters(QString::fromLatin1(text.toUtf8().toBase64()));
        xml.writeEndElement();
        return true;
    }
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime().toUTC();
        const Qt::DateFormat format = date.time().msec() != 0 ? Qt::ISODateWithMs : Qt::ISODate;
        xml.writeTextElement(QStringLiteral("date"), date.toString(format));
        return true;
    }
    case QMetaType::QByteArray:
        xml.writeTextElement(QStringLiteral("data"),
                             QString::fromLatin1(value.toByteArray().toBase64()));
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<QVariantMap> plistRead(QIODevice &device) {
    if (!device.isSequential() && device.size() > kPlistMaxBytes) {
        return std::nullopt;
    }
    QXmlStreamReader xml(&device);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("plist")) {
        return std::nullopt;
    }
    if (!xml.readNextStartElement()) {
        // An empty property list is an empty dictionary.
        return xml.hasError() ? std::nullopt : std::optional<QVariantMap>(QVariantMap());
    }
    if (xml.name() != QLatin1String("dict")) {
        return std::nullopt;
    }
    std::optional<QVariant> top = readDict(xml, 1);
    if (!top || xml.hasError()) {
        return std::nullopt;
    }
    return top->toMap();
}

bool plistWrite(QIODevice &device, const QVariantMap &dico) {
    QXmlStreamWriter xml(&device);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    if (!writeValue(xml, dico)) {
        return false;
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError();
}

std::optional<QVariantMap> plistReadFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return plistRead(file);
}
