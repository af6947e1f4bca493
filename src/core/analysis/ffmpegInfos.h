// The stream report of ffmpeg (the block that begins with an "Input #0, " line) as the media
// info dictionary: a flat dictionary of short keys, numbered per stream kind from 0.
//
// Container: "wrapper" (text), "w_duration" (int, whole seconds), "w_offset" (float, seconds),
// "w_bitrate" (int, kb/s). Audio ordinal %d: "a%d_id" (ffmpeg's stream number), "a%d_codec",
// "a%d_lang", "a%d_rate" (Hz), "a%d_channels", "a%d_bitrate"; "a0_force" (1) when the first
// audio stream, AAC at 96 kHz, is read as Blu-ray PCM. Video: "v%d_id", "v%d_codec",
// "v%d_bitrate", "v%d_fps" (float), "v%d_tbc" (float), "v%d_width", "v%d_height", "v%d_par",
// "v%d_dar" ("16:9"), "v%d_chroma". Subtitles: "s%d_id", "s%d_codec". A key is absent when its
// value was not found; integers are int32, the floats single precision.
//
// Both the report layout of current ffmpeg (5.1: "Stream #0:0[0x100], 50, 1/90000: Video: h264
// (High), 1 reference frame (...), yuv420p(progressive, left), 1920x1080 (1920x1088) [...]") and
// that of older builds ("Stream #0.0(eng): Video: h264, yuv420p, 1000x600, ..., 5k tbc") are read.
#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

/// The media info dictionary of a report, or of the report ffmpeg makes about a file.
///
/// A report that contains "Input #" is parsed and the path is not used. Otherwise, with a path,
/// ffmpeg is run on the file (blocking) and its report parsed: nothing when the path is empty,
/// no file exists there, or the report has no "Input #". Without a path: nothing without a
/// report, an empty dictionary for a report without "Input #".
///
/// The report file is "ff.txt" in the temporary folder (getTMPFOLDER); it is replaced by each
/// run, so two runs must not overlap.
std::optional<QVariantMap> ffInfos(const std::optional<QString> &srcPath,
                                   const std::optional<QString> &report);
