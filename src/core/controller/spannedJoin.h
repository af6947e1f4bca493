// The pieces of spanned recordings among the batch's rows: which rows become one row (every
// piece of the recording is there, readable and alike, and its IN and OUT times fall where its
// file's bytes can be cut), and which stay apart, and why. The conversion of a joined row reads
// its pieces as one transport stream (encInputStr): each piece's bytes from the key picture at
// its IN time to the one at its OUT time, the whole file where these are its first and last
// pictures. A camera that cut a recording in the middle of a group of pictures continues it
// byte for byte in the next file; one that wrote the last group again at the head of the next
// file gives that file an IN time past the repeat, whose bytes are then skipped.
#pragma once

#include "analysis/mediaFacts.h"
#include "dates/spannedRecording.h"
#include "toolbox/streamSpan.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

/// A waiting row: its source and its media facts.
struct joinRow {
    QString src;
    mediaFacts facts;
};

/// The rows that are pieces of one recording, in playing order, as indices into the rows given.
/// Joined: one row for all of them (the first), with `paths` the pieces' stream files. Otherwise
/// each stays a row of its own; `notes` says why for each row (same order as `rows`).
/// The bytes of a piece's stream file that a joined movie reads: from `start` to `end` (0: to
/// the end of the file).
struct pieceBytes {
    qint64 start = 0;
    qint64 end = 0;
    [[nodiscard]] bool whole() const { return start == 0 && end == 0; }
    /// "start end", as a joined row's "joinRangesArray" holds it.
    [[nodiscard]] QString text() const;
    static std::optional<pieceBytes> fromText(const QString &text);
};

/// The rows that are pieces of one recording, in playing order, as indices into the rows given.
/// Joined: one row for all of them (the first), with `paths` the pieces' stream files and
/// `ranges` the bytes of each that present it from its IN to its OUT time. Otherwise each stays
/// a row of its own; `notes` says why for each row (same order as `rows`).
struct joinDecision {
    QList<qsizetype> rows;
    bool joined = false;
    QStringList paths;
    QList<pieceBytes> ranges;
    QStringList notes;
};

using recordingLookup = std::function<std::optional<spannedRecording>(const QString &src)>;
/// The head and tail of a piece's stream file (toolbox::readStreamSpan); nothing when unreadable.
using spanLookup = std::function<std::optional<toolbox::StreamSpan>(const recordingPiece &piece)>;

/// How a piece meets its neighbours in the recording's one clock. A piece continues the one
/// before when its IN time is that piece's OUT time: the camera cut one transport stream at a
/// packet, wherever that fell in a group of pictures, and the two files are that stream again
/// when read one after the other. Only an IN time that skips material of its file (a group the
/// camera wrote again at its head) needs a cut there.
struct pieceSeams {
    bool continuesBefore = false; ///< IN equals the OUT of the piece before
    bool continuedAfter = false;  ///< the piece after begins where this one's OUT is
    /// The head and tail of the piece before, when it continues: where a repeated group is
    /// recognised (its key picture is among that piece's last ones).
    const toolbox::StreamSpan *before = nullptr;
};

/// Whether `in` (a piece's IN time) is `out` (the OUT time of the piece before), 45 kHz, in the
/// clock that wraps at 2^32 ticks (26.5 hours), within one tick.
bool playItemTimesMeet(std::uint32_t out, std::uint32_t in);

/// Where a piece's IN and OUT times (45 kHz) fall among its file's pictures (90 kHz, the
/// 33-bit clock unwrapped by the reader): the bytes that present exactly IN to OUT, or why no
/// bytes do. IN at the first picture and OUT at the end of the last (within half a picture)
/// read the whole file, byte for byte; so does an IN that continues the piece before and an
/// OUT the piece after continues (they need only lie within a second of the file's pictures),
/// unless the file begins with a group of the piece before written again. An IN or OUT inside
/// the file must otherwise fall on a key picture of its head or tail, or on the first picture a
/// key picture presents (the B-pictures after it that show before it, in an open group).
struct pieceRange {
    pieceBytes bytes;
    QString why; ///< empty when the bytes present the piece
};
pieceRange spannedPieceRange(const recordingPiece &piece, const toolbox::StreamSpan &span,
                             const pieceSeams &seams = {});

/// The decisions for the rows whose recording (recordingOf) has more than one piece. `refused`
/// maps sources the analysis refused to its reason (a damaged piece). Without `joining`, every
/// piece stays apart and its note says it was kept apart. A recording whose playlist speaks
/// against joining (spannedRecording::apart) stays apart with that reason. `spanOf`, when
/// given, places each piece's IN and OUT times in its file (spannedPieceRange); a piece whose
/// times its file cannot present keeps the whole recording apart. The first piece is read from
/// its file's start (where the stream's tables are), as a shot of its own is. Without `spanOf`
/// the pieces are read whole.
QList<joinDecision> spannedJoinPlan(const QList<joinRow> &rows, const recordingLookup &recordingOf,
                                    const QMap<QString, QString> &refused, bool joining,
                                    const spanLookup &spanOf = {});

/// The name a joined row shows: the first piece's file name and how many pieces follow it.
QString spannedJoinRowName(const QStringList &paths);
