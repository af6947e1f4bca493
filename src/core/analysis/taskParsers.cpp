#include "analysis/taskParsers.h"

#include "analysis/reportText.h"

using reportText::isAsciiDigit;
using reportText::isBlank;

namespace {

// Position right after the first occurrence of the marker with the blanks skipped, and the sign
// read; -1 when the marker is absent.
qsizetype numberStart(const QString &chunk, const QString &marker, double &sign) {
    if (chunk.isEmpty() || marker.isEmpty()) {
        return -1;
    }
    const qsizetype found = chunk.indexOf(marker);
    if (found < 0) {
        return -1;
    }
    qsizetype pos = found + marker.size();
    while (pos < chunk.size() && isBlank(chunk[pos])) {
        ++pos;
    }
    sign = 1.0;
    if (pos < chunk.size() && (chunk[pos] == QLatin1Char('+') || chunk[pos] == QLatin1Char('-'))) {
        sign = chunk[pos] == QLatin1Char('-') ? -1.0 : 1.0;
        ++pos;
    }
    return pos;
}

} // namespace

float progresses(const QString &chunk, const QString &marker) {
    double sign = 1.0;
    qsizetype pos = numberStart(chunk, marker, sign);
    double value = 0.0;
    if (pos < 0 || !reportText::readDecimal(chunk, pos, value)) {
        return 0.0f;
    }
    return static_cast<float>(sign * value);
}

float progressFfmpeg(const QString &chunk) {
    double sign = 1.0;
    qsizetype pos = numberStart(chunk, QStringLiteral("time="), sign);
    double value = 0.0;
    if (pos < 0 || !reportText::readDecimal(chunk, pos, value)) {
        return 0.0f;
    }
    // "HH:MM:SS.cc" (or "MM:SS.cc"): each ":" followed by a number shifts the units by 60.
    double total = value;
    while (pos + 1 < chunk.size() && chunk[pos] == QLatin1Char(':') &&
           isAsciiDigit(chunk[pos + 1])) {
        ++pos;
        double part = 0.0;
        if (!reportText::readDecimal(chunk, pos, part)) {
            break;
        }
        total = total * 60.0 + part;
    }
    return static_cast<float>(sign * total);
}

float progressMov2wavMux2mov(const QString &chunk) {
    return progresses(chunk, QStringLiteral("pourcentage    : "));
}

float progressNormalize(const QString &chunk) {
    return progresses(chunk, QStringLiteral("(batch "));
}

float progressMovencoder(const QString &chunk) {
    return progresses(chunk, QStringLiteral("Processing ("));
}

float progressForParser(int parserNumber, const QString &chunk) {
    switch (parserNumber) {
    case 0:
        return progressFfmpeg(chunk);
    case 2:
        return progressMov2wavMux2mov(chunk);
    case 3:
        return progressNormalize(chunk);
    case 4:
        return progressMovencoder(chunk);
    default:
        return 0.0f;
    }
}
