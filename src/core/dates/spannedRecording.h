// The spanned recording an AVCHD stream file belongs to, from the playlists of its card: the
// pieces (stream files) of the recording in order, found where the source lies, and which of
// them the source is. A piece continues the item before it only by connection condition 6;
// a new shot (condition 5, an entry mark) begins a recording of its own.
#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

/// One piece of a recording as its playlist lists it.
struct recordingPiece {
    /// The clip's name ("00002").
    QString clip;
    /// The stream file of the clip in the source's folder; empty when the card lacks it.
    QString path;
    /// The play item's connection condition and its in and out times (45 kHz ticks).
    int connection = 1;
    std::uint32_t inTime = 0;
    std::uint32_t outTime = 0;
};

/// The ticks (45 kHz) from a piece's IN to its OUT time, through the wrap of the 32-bit clock
/// (26.5 hours); nothing when OUT is not after IN (no length, or more than half a turn).
std::optional<std::int64_t> pieceTicks(const recordingPiece &piece);

struct spannedRecording {
    /// The playlist file that lists the recording.
    QString playlist;
    /// The pieces in playing order (one for a recording that was not split).
    QList<recordingPiece> pieces;
    /// The position of the asked source among the pieces.
    qsizetype index = 0;
    /// Why the pieces must stay apart although their connection conditions chain them (the
    /// playlist's marks disagree); empty when nothing in the playlist speaks against joining.
    QString apart;
    /// The length the playlist gives the recording (the sum of its items' out minus in times),
    /// in seconds, through the clock's wrap; 0 when an item's OUT time is not after its IN.
    [[nodiscard]] double seconds() const;
};

/// Playlists larger than this are no AVCHD playlists (those are a few kilobytes) and are not read.
inline constexpr qint64 kMaxPlayListBytes = 1024 * 1024;

/// The recording that the stream file at `path` belongs to, by the first playlist (in name order)
/// of the PLAYLIST folder beside the file's folder that lists its clip (the file's name without
/// its extension). Nothing when the file lies on no card or no readable playlist lists it.
std::optional<spannedRecording> spannedRecordingOf(const QString &path);
