// Clips made with the ffmpeg program for the movie-service tests, and ffprobe to look at what
// was written.
#pragma once

#include <QString>
#include <QStringList>

namespace mediatest {

/// Runs a program with arguments (no shell); true when it exits with status 0. Its standard
/// output goes to out, its standard error to err.
bool run(const QString &program, const QStringList &args, QString *out = nullptr,
         QString *err = nullptr, int timeoutMs = 60000);

/// A small QuickTime clip: 64x48 test picture at 25 fps (mpeg4) and 48 kHz PCM sound, either
/// left out with 0 seconds. The video starts videoDelay seconds after the sound (an empty edit).
bool makeClip(const QString &path, double videoSeconds, double soundSeconds, double videoDelay = 0);

/// One value of ffprobe: of a stream ("v:0", "a:0") or, with an empty stream, of the format
/// ("duration"). Empty when ffprobe fails.
QString probe(const QString &path, const QString &stream, const QString &entry);
double probeNumber(const QString &path, const QString &stream, const QString &entry);

/// The md5 of the file's bytes.
QString fileMd5(const QString &path);

} // namespace mediatest
