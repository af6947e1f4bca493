// The ffmpeg program as the application uses it: where it is, which build it is, whether a run
// could read its input, and how the field order of a decoded frame is named. Including this
// header also brings the report parsers (ffmpegInfos.h, ffmpegOffsets.h).
//
// Every path that enters an ffmpeg shell command line is quoted with shellQuote.
#pragma once

#include "analysis/ffmpegInfos.h"
#include "analysis/ffmpegOffsets.h"

#include <QString>

#include <cstdint>
#include <optional>

/// Absolute path of the ffmpeg executable: the first executable file among the resource
/// folder's "tools/ffmpeg" (the link the build makes), the resource folder's "ffmpeg", the
/// application's data folder ("$XDG_DATA_HOME/<name>/ffmpeg") and "/usr/bin/ffmpeg". The empty
/// text when none exists.
QString ffmpegPathStr();

/// The build or release number in a banner: the number after "git-N-"; otherwise, after
/// "version", the whole number before the first "," (for "0.x.y," the minor number times 10000);
/// otherwise the banner's leading integer. "ffmpeg version 2.8, ..." gives 2,
/// "FFmpeg version 0.7.1, ..." gives 70000; an unreadable banner gives 0.
int32_t ffRevisionFromBanner(const std::optional<QString> &banner);

/// ffRevisionFromBanner of the banner that ffmpeg (ffmpegPathStr) prints when run without
/// arguments; 0 when it can't be run.
int32_t ffRevisionInt();

/// False when the report of a run is absent or empty, or holds (in any letter case) one of the
/// phrases by which ffmpeg says it could not read its input; true otherwise.
bool ffmpegSuccess(const std::optional<QString> &report);

/// The label of the "fields" table for a yuv4mpeg field-order letter: "t" gives "TFF", "b"
/// "BFF", anything else (case-sensitive, "p", "m", "T", nothing) "PFF".
QString interlacedYuvheaders2dudStr(const std::optional<QString> &letter);
