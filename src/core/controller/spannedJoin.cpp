#include "controller/spannedJoin.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cstdlib>

namespace {

QString pieceName(const recordingPiece &piece) {
    return piece.path.isEmpty() ? piece.clip : QFileInfo(piece.path).fileName();
}

QString secondsText(std::int64_t ticks90k) {
    return QString::number(static_cast<double>(ticks90k) / 90000.0, 'f', 3);
}

// The 33-bit clock of transport streams (90 kHz) and the 32-bit one of play items (45 kHz).
constexpr std::int64_t kPtsWrap = std::int64_t{1} << 33;
constexpr std::int64_t kItemWrap = std::int64_t{1} << 32;
// How far from its file's pictures a continuing IN or OUT may lie: a cut at any packet leaves
// a few pictures on either side of the clock's point.
constexpr std::int64_t kSeamSlackTicks = 90000;
// How much later than the first picture it presents a key picture may be (the B-pictures of an
// open group that show before it).
constexpr std::int64_t kLeadingTicks = 90000;

// `ticks` (90 kHz, modulo 2^33) moved by whole turns of the clock to the nearest of `near`.
std::int64_t unwrapNear(std::int64_t ticks, std::int64_t near) {
    const std::int64_t apart = near - ticks + kPtsWrap / 2;
    std::int64_t turns = apart / kPtsWrap;
    if (apart % kPtsWrap < 0) {
        --turns;
    }
    return ticks + turns * kPtsWrap;
}

// The key picture within half a picture of `pts` among pictures, or nothing.
const toolbox::SpanPicture *keyPictureAt(const std::vector<toolbox::SpanPicture> &pictures,
                                         std::int64_t pts, std::int64_t tolerance) {
    for (const toolbox::SpanPicture &picture : pictures) {
        if (picture.key && std::llabs(picture.pts - pts) <= tolerance) {
            return &picture;
        }
    }
    return nullptr;
}

// The key picture that begins presenting at `pts`: at it, or (an open group) the first one in
// file order shortly after it with no picture before it in the file at or past `pts`, so that
// reading from it loses nothing after `pts`.
const toolbox::SpanPicture *keyPictureFrom(const std::vector<toolbox::SpanPicture> &pictures,
                                           std::int64_t pts, std::int64_t tolerance) {
    if (const toolbox::SpanPicture *at = keyPictureAt(pictures, pts, tolerance)) {
        return at;
    }
    for (const toolbox::SpanPicture &picture : pictures) {
        if (picture.pts >= pts - tolerance) {
            return picture.key && picture.pts <= pts + kLeadingTicks ? &picture : nullptr;
        }
    }
    return nullptr;
}

// Whether a file begins with a group the piece before holds too: its first picture is a key
// picture, earlier than IN, and among the key pictures of the other piece's tail.
bool beginsWithRepeatedGroup(const toolbox::StreamSpan &span, std::int64_t in,
                             std::int64_t tolerance, const toolbox::StreamSpan *before) {
    if (span.head.empty() || before == nullptr) {
        return false;
    }
    const toolbox::SpanPicture &first = span.head.front();
    return first.key && first.pts < in - tolerance &&
           keyPictureAt(before->tail, first.pts, tolerance) != nullptr;
}

/// Takes the rows of the recording's pieces not decided yet into the decision (in playing
/// order, with each piece's row, or -1, in pieceRows) and says why the pieces can't be one row:
/// the playlist's own objection first, then the first piece missing, damaged, not among the
/// sources or unlike the first. Empty when nothing speaks against joining so far.
QString gatherPieces(const spannedRecording &recording, const QList<joinRow> &rows,
                     const QHash<QString, qsizetype> &rowOf, const QMap<QString, QString> &refused,
                     QSet<qsizetype> &decided, joinDecision &decision,
                     QList<qsizetype> &pieceRows) {
    QString reason = recording.apart;
    for (const recordingPiece &piece : recording.pieces) {
        const QString path =
            piece.path.isEmpty() ? QString() : QFileInfo(piece.path).absoluteFilePath();
        const qsizetype row = path.isEmpty() ? -1 : rowOf.value(path, -1);
        pieceRows << row;
        if (row >= 0 && !decided.contains(row)) {
            decided.insert(row);
            decision.rows << row;
            decision.paths << rows[row].src;
        }
        if (!reason.isEmpty()) {
            continue;
        }
        if (path.isEmpty()) {
            reason = QStringLiteral("the recording is incomplete: %1 is missing on the card")
                         .arg(pieceName(piece));
        } else if (row < 0 && refused.contains(path)) {
            reason = QStringLiteral("the recording is incomplete: %1 is damaged (%2)")
                         .arg(pieceName(piece), refused.value(path));
        } else if (row < 0) {
            reason = QStringLiteral("the recording is incomplete: %1 is not among the sources")
                         .arg(pieceName(piece));
        } else if (!decision.rows.isEmpty() && row != decision.rows.first()) {
            const QString what =
                mediaStreamsDifference(rows[decision.rows.first()].facts, rows[row].facts);
            if (!what.isEmpty()) {
                reason =
                    QStringLiteral("%1 is from another recording (%2)").arg(pieceName(piece), what);
            }
        }
    }
    return reason;
}

/// The pieces are read as one stream through a list of paths separated by "|": a path that
/// holds one can't be joined.
QString pathSeparatorReason(const QStringList &paths) {
    for (const QString &path : paths) {
        if (path.contains(QLatin1Char('|'))) {
            return QStringLiteral("the path of %1 holds a '|'").arg(QFileInfo(path).fileName());
        }
    }
    return QString();
}

/// Each piece from its IN to its OUT time, where its file's bytes hold them, into the
/// decision's ranges; why a piece can't be (its ranges then empty), or nothing. Pieces whose
/// times meet are read on from one file into the next.
QString placePieces(const spannedRecording &recording, const spanLookup &spanOf,
                    joinDecision &decision) {
    const QList<recordingPiece> &pieces = recording.pieces;
    if (!spanOf) {
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            decision.ranges << pieceBytes{};
        }
        return QString();
    }
    std::vector<toolbox::StreamSpan> spans;
    for (const recordingPiece &piece : pieces) {
        const std::optional<toolbox::StreamSpan> span = spanOf(piece);
        if (!span) {
            return QStringLiteral("%1 cannot be joined: its pictures cannot be read")
                .arg(pieceName(piece));
        }
        spans.push_back(*span);
    }
    const auto meets = [&pieces](qsizetype i) {
        return i > 0 && i < pieces.size() &&
               playItemTimesMeet(pieces[i - 1].outTime, pieces[i].inTime);
    };
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        pieceSeams seams;
        seams.continuesBefore = meets(i);
        seams.continuedAfter = meets(i + 1);
        seams.before = i > 0 ? &spans[static_cast<std::size_t>(i - 1)] : nullptr;
        const pieceRange range =
            spannedPieceRange(pieces[i], spans[static_cast<std::size_t>(i)], seams);
        if (!range.why.isEmpty()) {
            decision.ranges.clear();
            return QStringLiteral("%1 cannot be joined: %2").arg(pieceName(pieces[i]), range.why);
        }
        pieceBytes bytes = range.bytes;
        if (decision.ranges.isEmpty()) {
            // The stream's tables (PAT, PMT) come just before its first key picture: the first
            // piece is read from its start, as a shot of its own is.
            bytes.start = 0;
        }
        decision.ranges << bytes;
    }
    return QString();
}

/// Each row's note, in the decision's order: the pieces joined, or which piece it is and why it
/// is converted on its own.
QStringList pieceNotes(const spannedRecording &recording, const joinDecision &decision,
                       const QList<qsizetype> &pieceRows, const QString &reason) {
    const qsizetype count = recording.pieces.size();
    QStringList names;
    for (const recordingPiece &piece : recording.pieces) {
        names << pieceName(piece);
    }
    QStringList notes;
    for (const qsizetype row : decision.rows) {
        const qsizetype piece = pieceRows.indexOf(row);
        notes << (decision.joined
                      ? QStringLiteral("one recording of %1 pieces joined: %2")
                            .arg(count)
                            .arg(names.join(QStringLiteral(" + ")))
                      : QStringLiteral("piece %1 of %2 of a recording, converted on its own: %3")
                            .arg(piece + 1)
                            .arg(count)
                            .arg(reason));
    }
    return notes;
}

} // namespace

QString pieceBytes::text() const {
    return QStringLiteral("%1 %2").arg(start).arg(end);
}

std::optional<pieceBytes> pieceBytes::fromText(const QString &text) {
    const QStringList parts = text.split(QLatin1Char(' '));
    bool startOk = false;
    bool endOk = false;
    if (parts.size() != 2) {
        return std::nullopt;
    }
    const pieceBytes bytes{parts[0].toLongLong(&startOk), parts[1].toLongLong(&endOk)};
    if (!startOk || !endOk || bytes.start < 0 || bytes.end < 0 ||
        (bytes.end != 0 && bytes.end <= bytes.start)) {
        return std::nullopt;
    }
    return bytes;
}

bool playItemTimesMeet(std::uint32_t out, std::uint32_t in) {
    const std::int64_t apart = (static_cast<std::int64_t>(in) - out + kItemWrap) % kItemWrap;
    return apart <= 1 || apart >= kItemWrap - 1;
}

pieceRange spannedPieceRange(const recordingPiece &piece, const toolbox::StreamSpan &span,
                             const pieceSeams &seams) {
    pieceRange range;
    // The play item's times in the file's clock, unwrapped where its pictures are; OUT after IN
    // by the item's length, which may run through the clock's wrap.
    const std::int64_t in = unwrapNear(static_cast<std::int64_t>(piece.inTime) * 2, span.firstPts);
    const std::int64_t length =
        (static_cast<std::int64_t>(piece.outTime) - piece.inTime + kItemWrap) % kItemWrap;
    const std::int64_t frame = span.frameTicks > 0 ? span.frameTicks : 1;
    const std::int64_t tolerance = frame / 2;
    const std::int64_t end = span.lastPts + frame;
    const QString pictures = QStringLiteral("its pictures run from %1 s to %2 s")
                                 .arg(secondsText(span.firstPts), secondsText(end));
    const bool repeated =
        seams.continuesBefore && beginsWithRepeatedGroup(span, in, tolerance, seams.before);
    const bool continuous = seams.continuesBefore && !repeated;
    const std::int64_t inSlack = continuous ? kSeamSlackTicks : tolerance;
    const std::int64_t outSlack = seams.continuedAfter ? kSeamSlackTicks : tolerance;
    if (in < span.firstPts - inSlack || in > span.lastPts + inSlack) {
        range.why = QStringLiteral("its IN time %1 s lies outside its file's pictures (%2)")
                        .arg(secondsText(in), pictures);
        return range;
    }
    if (length == 0 || length >= kItemWrap / 2) {
        // No length, or more than half a turn of the clock: an OUT time before the IN time.
        const std::int64_t back = length == 0 ? 0 : (length - kItemWrap) * 2;
        range.why = QStringLiteral("its OUT time %1 s is not after its IN time %2 s")
                        .arg(secondsText(in + back), secondsText(in));
        return range;
    }
    const std::int64_t out = in + length * 2;
    if (out > end + outSlack || out < span.firstPts + tolerance) {
        range.why = QStringLiteral("its OUT time %1 s lies outside its file's pictures (%2)")
                        .arg(secondsText(out), pictures);
        return range;
    }
    if (!continuous && in > span.firstPts + tolerance) {
        const toolbox::SpanPicture *key = keyPictureFrom(span.head, in, tolerance);
        if (key == nullptr || key->pos < 0) {
            range.why = QStringLiteral("its IN time %1 s falls on no key picture of its file")
                            .arg(secondsText(in));
            return range;
        }
        range.bytes.start = key->pos;
    }
    if (!seams.continuedAfter && out < end - tolerance) {
        const toolbox::SpanPicture *key = keyPictureFrom(span.tail, out, tolerance);
        if (key == nullptr || key->pos <= range.bytes.start) {
            range.why = QStringLiteral("its OUT time %1 s falls on no key picture of its file")
                            .arg(secondsText(out));
            return range;
        }
        range.bytes.end = key->pos;
    }
    return range;
}

QList<joinDecision> spannedJoinPlan(const QList<joinRow> &rows, const recordingLookup &recordingOf,
                                    const QMap<QString, QString> &refused, bool joining,
                                    const spanLookup &spanOf) {
    QHash<QString, qsizetype> rowOf;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        rowOf.insert(QFileInfo(rows[i].src).absoluteFilePath(), i);
    }
    QSet<qsizetype> decided;
    QList<joinDecision> decisions;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (decided.contains(i)) {
            continue;
        }
        const std::optional<spannedRecording> recording =
            recordingOf ? recordingOf(rows[i].src) : std::nullopt;
        if (!recording || recording->pieces.size() < 2) {
            continue;
        }
        joinDecision decision;
        QList<qsizetype> pieceRows;
        QString reason =
            gatherPieces(*recording, rows, rowOf, refused, decided, decision, pieceRows);
        if (decision.rows.isEmpty()) {
            continue;
        }
        if (reason.isEmpty()) {
            reason = pathSeparatorReason(decision.paths);
        }
        if (!joining) {
            reason = QStringLiteral("joining is off");
        }
        const qsizetype count = recording->pieces.size();
        if (reason.isEmpty() && decision.rows.size() == count) {
            reason = placePieces(*recording, spanOf, decision);
        }
        decision.joined = reason.isEmpty() && decision.rows.size() == count;
        decision.notes = pieceNotes(*recording, decision, pieceRows, reason);
        decisions << decision;
    }
    return decisions;
}

QString spannedJoinRowName(const QStringList &paths) {
    if (paths.isEmpty()) {
        return QString();
    }
    const QString first = QFileInfo(paths.first()).fileName();
    return paths.size() == 1 ? first : QStringLiteral("%1 (+%2)").arg(first).arg(paths.size() - 1);
}
