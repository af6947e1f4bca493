#include "verify/toolReport.h"

#include <QStringList>

toolReportLine toolReportLineKind(const QString &raw) {
    const QString line = raw.trimmed();
    // ffmpeg's description of its files and streams, their metadata (indented) and progress:
    // a name or a title may hold any words.
    if (line.isEmpty() || raw.startsWith(QLatin1Char(' ')) || raw.startsWith(QLatin1Char('\t')) ||
        line.startsWith(QLatin1String("Input #")) || line.startsWith(QLatin1String("Output #")) ||
        line.startsWith(QLatin1String("frame=")) || line.startsWith(QLatin1String("size=")) ||
        line.startsWith(QLatin1String("Stream mapping")) ||
        line.startsWith(QLatin1String("Press [q]"))) {
        return toolReportLine::plain;
    }
    if (line.contains(QLatin1String("error while decoding"), Qt::CaseInsensitive)) {
        return toolReportLine::decodeError;
    }
    static const char *const reads[] = {
        "Input/output error", "Invalid data found when processing input",
        "Packet corrupt",     "truncated packet",
        "packet truncated",   "corrupt input packet",
    };
    for (const char *said : reads) {
        if (line.contains(QLatin1String(said), Qt::CaseInsensitive)) {
            return toolReportLine::readError;
        }
    }
    return toolReportLine::plain;
}

void toolReportReader::clear() {
    partial_.clear();
    firstRead_.clear();
    firstDecode_.clear();
    decodeErrors_ = 0;
}

void toolReportReader::add(const QString &chunk) {
    partial_ += chunk;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < partial_.size(); ++i) {
        const QChar c = partial_.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            line(partial_.mid(begin, i - begin));
            begin = i + 1;
        }
    }
    partial_.remove(0, begin);
    // A tool that prints no line end for ever keeps no more than a long line of it.
    if (partial_.size() > 4096) {
        partial_ = partial_.right(4096);
    }
}

void toolReportReader::finish() {
    if (!partial_.isEmpty()) {
        line(partial_);
        partial_.clear();
    }
}

void toolReportReader::line(const QString &text) {
    switch (toolReportLineKind(text)) {
    case toolReportLine::plain:
        return;
    case toolReportLine::readError:
        if (firstRead_.isEmpty()) {
            firstRead_ = text.trimmed();
        }
        return;
    case toolReportLine::decodeError:
        if (firstDecode_.isEmpty()) {
            firstDecode_ = text.trimmed();
        }
        ++decodeErrors_;
        return;
    }
}

QString toolReportReader::failingLine() const {
    if (!firstRead_.isEmpty()) {
        return firstRead_;
    }
    if (decodeErrors_ > kToolDecodeErrorsTolerated) {
        return QStringLiteral("%1 decoding errors, the first: %2")
            .arg(decodeErrors_)
            .arg(firstDecode_);
    }
    return {};
}
