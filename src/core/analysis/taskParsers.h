// Progress parsers: read a running tool's current position from one chunk of its output. Each
// looks for the marker the tool prints in front of its progress number and reads the number
// that follows the first occurrence; 0 when there is none. Chunks are taken as they come: a
// marker split over two chunks is found in neither.
#pragma once

#include <QString>

/// The number after the first occurrence of `marker` (exact, case-sensitive) in `chunk`:
/// blanks and line breaks skipped, then an optional sign, digits, an optional "." with decimals
/// and an optional exponent ("." whatever the locale). 0 when the chunk or marker is null or
/// empty, when the marker is absent, or when no number follows it.
float progresses(const QString &chunk, const QString &marker);

/// ffmpeg: the position after "time=", in seconds. Reads both the plain seconds of old builds
/// ("time=12.5") and the "HH:MM:SS.cc" of current ones ("time=00:01:02.50" gives 62.5); a
/// negative position keeps its sign; "time=N/A" gives 0.
float progressFfmpeg(const QString &chunk);
/// trakmill: the percentage after "pourcentage    : ".
float progressMov2wavMux2mov(const QString &chunk);
/// The batch counter after "(batch ".
float progressNormalize(const QString &chunk);
/// The percentage after "Processing (".
float progressMovencoder(const QString &chunk);

/// The parser of a tool step by its parser number: 0 ffmpeg, 2 trakmill, 3 progressNormalize,
/// 4 progressMovencoder. Any other number (1: no progress; others: output collected as text)
/// gives 0.
float progressForParser(int parserNumber, const QString &chunk);
