#include "analysis/reportText.h"

#include <charconv>
#include <limits>
#include <string>

namespace reportText {

namespace {

void appendDigits(QStringView text, qsizetype &i, std::string &out) {
    while (i < text.size() && isAsciiDigit(text[i])) {
        out.push_back(static_cast<char>(text[i].unicode()));
        ++i;
    }
}

qsizetype skipBlanks(QStringView text, qsizetype pos) {
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

} // namespace

bool readDecimal(QStringView text, qsizetype &pos, double &value) {
    qsizetype i = pos;
    std::string number;
    appendDigits(text, i, number);
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        qsizetype j = i + 1;
        std::string decimals;
        appendDigits(text, j, decimals);
        if (!number.empty() || !decimals.empty()) {
            number += '.';
            number += decimals;
            i = j;
        }
    }
    if (number.empty()) {
        return false;
    }
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            exponent.push_back(static_cast<char>(text[j].unicode()));
            ++j;
        }
        const std::size_t before = exponent.size();
        appendDigits(text, j, exponent);
        if (exponent.size() > before) {
            number += exponent;
            i = j;
        }
    }
    double parsed = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (result.ec != std::errc()) {
        return false; // out of range: no usable number
    }
    value = parsed;
    pos = i;
    return true;
}

double numberValue(QStringView text) {
    qsizetype pos = skipBlanks(text, 0);
    double sign = 1.0;
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        sign = text[pos] == QLatin1Char('-') ? -1.0 : 1.0;
        ++pos;
    }
    double value = 0.0;
    return readDecimal(text, pos, value) ? sign * value : 0.0;
}

int32_t integerValue(QStringView text) {
    qsizetype pos = skipBlanks(text, 0);
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    while (pos < text.size() && isAsciiDigit(text[pos])) {
        value = std::min<int64_t>(limit, value * 10 + (text[pos].unicode() - u'0'));
        ++pos;
    }
    if (negative) {
        return static_cast<int32_t>(-value);
    }
    return static_cast<int32_t>(std::min<int64_t>(value, limit - 1));
}

QString textAfter(const QString &text, const QString &marker) {
    const qsizetype found = text.indexOf(marker);
    if (found < 0 || marker.isEmpty()) {
        return {};
    }
    const qsizetype start = found + marker.size();
    const qsizetype next = text.indexOf(marker, start);
    return next < 0 ? text.mid(start) : text.mid(start, next - start);
}

QString cutBefore(const QString &text, const QString &marker) {
    const qsizetype found = marker.isEmpty() ? -1 : text.indexOf(marker);
    return found < 0 ? text : text.left(found);
}

QStringList reportFields(const QString &line) {
    QStringList fields;
    int depth = 0;
    qsizetype start = 0;
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('(') || c == QLatin1Char('[')) {
            ++depth;
        } else if ((c == QLatin1Char(')') || c == QLatin1Char(']')) && depth > 0) {
            --depth;
        } else if (c == QLatin1Char(',') && depth == 0 && i + 1 < n &&
                   line[i + 1] == QLatin1Char(' ')) {
            fields.append(line.mid(start, i - start));
            start = i + 2;
            ++i;
        }
    }
    fields.append(line.mid(start));
    return fields;
}

bool isPlainInteger(const QString &field) {
    return QString::number(integerValue(field)) == field;
}

} // namespace reportText
