// Small readers for the texts that tools print (ffmpeg reports, progress lines). They never fail:
// a text that lacks what is looked for gives an empty text or 0.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>

namespace reportText {

/// A decimal digit 0-9 (not the other digits Unicode knows).
inline bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

/// A blank between words of a report: space, tab, line and page breaks.
inline bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\v') || c == QLatin1Char('\f');
}

/// Reads an unsigned decimal number at `pos`: digits, an optional "." with decimals and an
/// optional exponent, "." whatever the locale (no "inf" or "nan"). On success stores the value,
/// moves `pos` past the number and returns true.
bool readDecimal(QStringView text, qsizetype &pos, double &value);

/// Leading blanks, an optional sign and a decimal number; 0 when there is none ("NOPTS" gives 0).
double numberValue(QStringView text);

/// Leading blanks, an optional sign and decimal digits up to the first other character; 0 when
/// there are none. Values beyond 32 bits are clamped.
int32_t integerValue(QStringView text);

/// The text between the first occurrence of `marker` and the next one (or the end); the empty
/// text when the marker does not occur.
QString textAfter(const QString &text, const QString &marker);

/// The text before the first occurrence of `marker`; the text unchanged when it does not occur.
QString cutBefore(const QString &text, const QString &marker);

/// Fields of a report line: split at ", " except inside parentheses or brackets, so that
/// "yuv420p(tv, bt709)" or "yuv420p(progressive, left)" stays one field.
QStringList reportFields(const QString &line);

/// True when the field is a plain integer: the decimal form of its integer value equals it.
bool isPlainInteger(const QString &field);

} // namespace reportText
