// Start offsets of the streams of a source, read from the debug-level report of the probing run
// of ffmpeg (packet trace lines "av_read_packet stream=" of old builds or "ff_read_packet
// stream=" of current ones, and the per-frame lines of the "showinfo" filter).
#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

/// Per stream, the first presentation time minus the video start, in whole milliseconds
/// (truncated toward zero): "v%@_offsetMs", "a%@_offsetMs", "s%@_offsetMs" with ffmpeg's stream
/// number, only when the magnitude exceeds 30 ms; the same for the first decoding time under
/// "..._offsetDts"; and "v_offsetMs", how far the earliest stream starts before the video (never
/// negative). The video start is the smallest first presentation time of the video streams.
///
/// An empty dictionary for an absent or empty report or one without packet trace lines. Nothing
/// when there is no packet line after the first line, no video or no audio stream with a time
/// base, or a packet of a stream the input section did not list.
std::optional<QVariantMap> ptsDtsOffsetMs(const std::optional<QString> &report);

/// Presentation time in seconds of the earliest key frame that the "showinfo" filter reported
/// ("[showinfo @ " or "[Parsed_showinfo_0 @ " lines with " iskey:1 " and " pts_time:"); 0 when
/// there is none.
float intraOffset(const std::optional<QString> &report);

/// The average frame rate of the frames the probing run decoded (its showinfo lines: frame
/// count less one over the span of their presentation times), or nothing with fewer than three
/// frames. Unlike the report's " tbr" (the container's guess, 150 for a clip that changes from
/// 25 to 30 frames per second), it is what the stream plays at.
std::optional<double> showinfoFrameRate(const std::optional<QString> &report);
