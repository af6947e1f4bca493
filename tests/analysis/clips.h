// Short clips made with the real ffmpeg program for the tests, and the reports ffmpeg prints
// about them. Clips are made once and kept in the build tree, so the test processes that ctest
// starts one by one share them.
#pragma once

#include <QString>
#include <QStringList>

namespace clips {

/// The path of the named clip, made on first use; the empty text when ffmpeg failed.
///   "ts1080p50"   MPEG-TS, H.264 1920x1080 at 50 fps, AC-3 stereo, 1 s
///   "surround"    MPEG-TS, H.264 320x240 at 25 fps, AC-3 5.1(side)
///   "aac96"       MPEG-TS, H.264 320x240, AAC at 96 kHz
///   "audioEarly"  MPEG-TS whose sound starts 50 ms before the picture
///   "movSubtitle" QuickTime movie, H.264 + AAC (language "fra") + a mov_text subtitle stream
///   "movie"       QuickTime movie, H.264 at 10 fps + AAC
///   "notAMovie"   random bytes named .mts
///   "psf", "interlaced", "pulldown", "switching", "oneFrame", "brokenFields": 640x360
///                 H.264 coded as fields (top first): progressive pictures at 25 per second,
///                 50 moments a second woven, 23.976 in 2:3 pulldown, progressive then
///                 interlaced, a single picture, the first's packets scrambled
///   "psfLongGroup", "interlacedLongGroup": as "psf" and "interlaced", 12 s with a key frame
///                 every 250 pictures
QString clip(const QString &name);

/// The arguments of the application's probing run of ffmpeg on a source, writing the yuv4mpeg
/// frames to `framePath`.
QStringList probingArguments(const QString &ffmpeg, const QString &source,
                             const QString &framePath);

/// What ffmpeg printed on its standard error for the arguments (no shell).
QString runFfmpeg(const QStringList &arguments);

/// The contents of a file of tests/analysis/fixtures.
QString fixture(const QString &name);

/// The folder of real old ffmpeg reports, or the empty text when it is not there.
QString oldReportsFolder();

} // namespace clips
