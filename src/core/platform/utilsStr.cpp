#include "platform/utilsStr.h"

#include "platform/constants.h"
#include "platform/log.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads a decimal number at `pos` (optional sign, digits, optional "." and decimals, optional
// exponent) and moves `pos` past it. Nothing when no digit is there, or when the number does not
// fit a float: an unreadable number.
std::optional<double> scanNumber(const QString &text, qsizetype &pos) {
    qsizetype i = pos;
    std::string number;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        if (text[i] == QLatin1Char('-')) {
            number.push_back('-');
        }
        ++i;
    }
    bool digits = false;
    while (i < text.size() && isAsciiDigit(text[i])) {
        number.push_back(text[i].toLatin1());
        digits = true;
        ++i;
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        qsizetype j = i + 1;
        std::string decimals;
        while (j < text.size() && isAsciiDigit(text[j])) {
            decimals.push_back(text[j].toLatin1());
            ++j;
        }
        if (digits || !decimals.empty()) {
            number += '.' + decimals;
            digits = true;
            i = j;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == QLatin1Char('-') || text[j] == QLatin1Char('+'))) {
            exponent.push_back(text[j].toLatin1());
            ++j;
        }
        bool expDigits = false;
        while (j < text.size() && isAsciiDigit(text[j])) {
            exponent.push_back(text[j].toLatin1());
            expDigits = true;
            ++j;
        }
        if (expDigits) {
            number += exponent;
            i = j;
        }
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (ec != std::errc() || !std::isfinite(value) ||
        std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    pos = i;
    return value;
}

// The leading number of a text, leading white space skipped; 0 when there is none.
double leadingNumber(const QString &text) {
    qsizetype pos = 0;
    while (pos < text.size() && text[pos].isSpace()) {
        ++pos;
    }
    return scanNumber(text, pos).value_or(0.0);
}

// The leading integer of a text (white space, sign, digits), clamped to int32; 0 when none.
int64_t leadingInt(const QString &text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int64_t value = 0;
    while (i < text.size() && isAsciiDigit(text[i])) {
        value = std::min<int64_t>(value * 10 + (text[i].unicode() - '0'),
                                  int64_t{std::numeric_limits<int32_t>::max()} + 1);
        ++i;
    }
    value = negative ? -value : value;
    return std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<int32_t>::max());
}

float toFloat(double value) {
    if (!std::isfinite(value) ||
        std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return 0.0F;
    }
    return static_cast<float>(value);
}

} // namespace

QString findAndReplace(const QString &text, const QString &search, const QString &replacement,
                       bool repeat) {
    if (search.isEmpty() || !text.contains(search)) {
        return text;
    }
    QString result = text;
    result.replace(search, replacement);
    // A replacement holding the search would be replaced again for ever: one pass then.
    if (repeat && !replacement.contains(search)) {
        while (result.contains(search)) {
            result.replace(search, replacement);
        }
    }
    return result;
}

QStringList linesToArray(const QString &text) {
    QStringList lines;
    QString current;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool lineBreak = (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
        if (lineBreak) {
            if (!current.isEmpty()) {
                lines.append(current);
                current.clear();
            }
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty()) {
        lines.append(current);
    }
    return lines;
}

QString array2Str(const QStringList &items) {
    return items.join(QLatin1Char(' '));
}

QStringList triAlphabetique(const QStringList &items) {
    QStringList sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return sorted;
}

float str2Float(const QString &text) {
    QString compact = text;
    compact.remove(QLatin1Char(' '));
    qsizetype pos = 0;
    while (pos < compact.size() && compact[pos].isLetter()) {
        ++pos;
    }
    const std::optional<double> value = scanNumber(compact, pos);
    if (!value) {
        logStr(QStringLiteral("mais heuu, c'est meme pas un float :("));
        return 0.0F;
    }
    return toFloat(*value);
}

float fractionStr2Float(const QVariant &value) {
    if (!value.isValid() || value.isNull()) {
        return 1.0F;
    }
    const QString text = value.toString();
    double ratio = 0;
    if (!text.contains(QLatin1Char(':'))) {
        ratio = str2Float(text);
        logStr(QStringLiteral("fractionStr2Float :-/ %1 (<-%2)")
                   .arg(QString::number(ratio, 'f', 3), text));
    } else {
        const QStringList pieces = text.split(QLatin1Char(':'));
        const double denominator = leadingNumber(pieces.value(1));
        // A zero height is no ratio: it falls to the neutral value below.
        ratio = denominator == 0 ? 0 : leadingNumber(pieces.value(0)) / denominator;
        logDebug(QStringLiteral("fractionStr2Float :-) %1 (<-%2)")
                     .arg(QString::number(ratio, 'f', 3), text));
    }
    if (!std::isfinite(ratio) || std::fabs(ratio) < 0.1) {
        return 1.0F;
    }
    return toFloat(ratio);
}

QList<int32_t> sousMultipleCommuns(int32_t first, int32_t second) {
    if (first == 0 && second == 0) {
        return {1, 1};
    }
    for (const int32_t p : {2, 3, 5, 7, 11, 13, 17}) {
        while (first % p == 0 && second % p == 0) {
            first /= p;
            second /= p;
        }
    }
    return {first, second};
}

QString float2FractionStr(float value) {
    const double v = value;
    if (!std::isfinite(v) || std::fabs(v) < 0.1) {
        return QStringLiteral("1:1");
    }
    if (std::fabs(v - 1.0) <= 0.02) {
        return QStringLiteral("1:1");
    }
    if (std::fabs(v - 1.33) <= 0.02) {
        return QStringLiteral("4:3");
    }
    if (std::fabs(v - 1.77) <= 0.02) {
        return QStringLiteral("16:9");
    }
    // The product is taken in single precision, as the ratio itself is: 2.35 gives 2350.
    const float scaled = std::trunc(value * 1000.0F);
    const auto n =
        static_cast<int32_t>(std::clamp(static_cast<double>(scaled), -2147483648.0, 2147483647.0));
    const QList<int32_t> pair = sousMultipleCommuns(n, 1000);
    const QString text = QStringLiteral("%1:%2").arg(pair.value(0)).arg(pair.value(1));
    logStr(QStringLiteral("float2FractionStr : %1 (<-%2)").arg(text, QString::number(v, 'f', 3)));
    return text;
}

float nbTrimmed(float value, int32_t decimals) {
    float result = std::trunc(value);
    if (decimals > 0) {
        const float power = std::pow(10.0F, static_cast<float>(decimals));
        // Beyond what a float holds, the value has no more decimals to cut.
        result = std::isfinite(power) ? std::trunc(value * power) / power : value;
    }
    logDebug(QStringLiteral("nbTrimmed           : %1").arg(QString::number(result, 'f', 6)));
    return result;
}

double octet2unite(int64_t bytes, const std::optional<QString> &unit) {
    if (bytes <= 0) {
        return static_cast<double>(bytes);
    }
    const QString u = unit.value_or(QStringLiteral("k")).toUpper();
    if (u == QLatin1String("K")) {
        return static_cast<double>(bytes) / 1024.0;
    }
    if (u == QLatin1String("M")) {
        return static_cast<double>(bytes) / 1048576.0;
    }
    if (u == QLatin1String("G")) {
        return static_cast<double>(bytes) / 1073741824.0;
    }
    return static_cast<double>(bytes);
}

float versionStr2Float(const QString &text) {
    const QStringList pieces = text.split(QLatin1Char('.'));
    double value = static_cast<double>(leadingInt(pieces.value(0)));
    if (pieces.size() > 1) {
        value += static_cast<double>(leadingInt(pieces.value(1))) / 100.0;
    }
    if (pieces.size() > 2) {
        value += static_cast<double>(leadingInt(pieces.value(2))) / 10000.0;
    }
    logDebug(QStringLiteral("returnedFloat %1").arg(QString::number(value, 'f', 6)));
    return toFloat(value);
}

float timecodeStr2Float(const QString &text) {
    QStringList pieces = text.split(QLatin1Char(':'));
    if (pieces.size() == 4) {
        const int64_t hours = leadingInt(pieces[0]) * 24 + leadingInt(pieces[1]);
        pieces.removeFirst();
        pieces[0] = QString::number(hours);
    }
    logDebug(QStringLiteral("tcMArray            : %1").arg(pieces.join(QLatin1Char(','))));
    if (pieces.size() != 3) {
        return 0.0F;
    }
    const QString &secondsPiece = pieces[2];
    const QChar separator =
        secondsPiece.contains(QLatin1Char(',')) ? QLatin1Char(',') : QLatin1Char('.');
    const QStringList secondsParts = secondsPiece.split(separator);
    const double seconds = str2Float(secondsParts.value(0));
    double fraction = 0;
    if (secondsParts.size() > 1) {
        const QString fractionStr = secondsParts[1];
        if (fractionStr.contains(QLatin1Char('/'))) {
            const QStringList frames = fractionStr.split(QLatin1Char('/'));
            const double rate = str2Float(frames.value(1));
            // A rate of 0 gives no fraction rather than an infinite one.
            if (rate != 0) {
                fraction =
                    std::trunc(static_cast<double>(str2Float(frames.value(0))) * 100.0 / rate) /
                    100.0;
            }
        } else {
            const double divisor = std::pow(10.0, static_cast<double>(fractionStr.size()));
            fraction = static_cast<double>(str2Float(fractionStr)) / divisor;
            logDebug(QStringLiteral("diviseurFloat       : %1, tmpStr : %2")
                         .arg(QString::number(divisor, 'f', 6), fractionStr));
        }
        logDebug(QStringLiteral("msFloat             : %1").arg(QString::number(fraction, 'f', 6)));
    }
    const double total = static_cast<double>(str2Float(pieces[0])) * 3600.0 +
                         static_cast<double>(str2Float(pieces[1])) * 60.0 + seconds + fraction;
    const float result = toFloat(total);
    logDebug(QStringLiteral("returnedFloat       :-) %1").arg(QString::number(result, 'f', 6)));
    if (getDEBUG() && std::fabs(result) < 0.1F && str2Float(text) != 0.0F) {
        logStr(QStringLiteral("utils > timecodeStr2Float ? :-/ …à revoir :-( returnedFloat = %1")
                   .arg(QString::number(result, 'f', 6)));
    }
    return result;
}
