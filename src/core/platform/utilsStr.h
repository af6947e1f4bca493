// Texts and numbers: reading the numbers that tools print (decimals inside words, aspect-ratio
// fractions, timecodes, dotted versions) and formatting numbers for display. None of them fails
// loudly: unreadable text gives a neutral value (0, or 1 for a ratio). They accept any text.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <optional>

/// Replaces every occurrence of `search` (case-sensitive, left to right, no overlap). With
/// `repeat`, replaces again until `search` no longer occurs (a `replacement` that contains
/// `search` gets one pass only, which is all that can end).
QString findAndReplace(const QString &text, const QString &search, const QString &replacement,
                       bool repeat);

/// The non-empty lines of the text, split at every line-break character (LF, CR, and the other
/// Unicode line breaks).
QStringList linesToArray(const QString &text);

/// The items joined with one blank between them.
QString array2Str(const QStringList &items);

/// The items sorted alphabetically without regard to letter case.
QStringList triAlphabetique(const QStringList &items);

/// The first decimal number of the text: blanks removed, leading letters skipped, then an
/// optional sign, digits, an optional "." with decimals and an optional exponent. 0 (logged)
/// when there is none. "25 tbr" -> 25, "fps 29.97" -> 29.97, "1,5" -> 1.
float str2Float(const QString &text);

/// An aspect ratio "w:h" (or a plain number) as a number; 1.0 for an invalid value, or when the
/// result is below 0.1 in absolute value.
float fractionStr2Float(const QVariant &value);

/// A ratio as text: "1:1", "4:3", "16:9" near those values, otherwise the reduced n:1000.
QString float2FractionStr(float value);

/// Divides both numbers by 2, 3, 5, 7, 11, 13 and 17 while each divides both; (1, 1) for (0, 0).
QList<int32_t> sousMultipleCommuns(int32_t first, int32_t second);

/// The value truncated (toward zero) to `decimals` decimals; a negative count counts as 0.
float nbTrimmed(float value, int32_t decimals);

/// Bytes in a unit, compared in upper case: "K" (default when absent), "M", "G" as powers of
/// 1024; any other unit, or a count of 0 or less, gives the count unchanged.
double octet2unite(int64_t bytes, const std::optional<QString> &unit = std::nullopt);

/// A dotted version as one number: 10.5.8 -> 10.0508 (whole part, then /100, then /10000).
float versionStr2Float(const QString &text);

/// A timecode "hh:mm:ss[.frac]" or "dd:hh:mm:ss[.frac]" (the fraction may use "," or be frames
/// "nn/rate") in seconds; 0 for any other shape.
float timecodeStr2Float(const QString &text);
