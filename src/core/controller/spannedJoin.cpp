#include "controller/spannedJoin.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cmath>
#include <cstdlib>

namespace {

QString pieceName(const recordingPiece &piece) {
    return piece.path.isEmpty() ? piece.clip : QFileInfo(piece.path).fileName();
}

// What a piece's streams must share with the first piece for the two to play as one movie.
bool sameStreams(const QVariantMap &a, const QVariantMap &b, QString *what) {
    for (const char *key :
         {"v0_codec", "v0_width", "v0_height", "a0_codec", "a0_channels", "a0_rate"}) {
        const QString name = QString::fromLatin1(key);
        if (a.value(name).toString() != b.value(name).toString()) {
            *what = QStringLiteral("%1 %2, not %3")
                        .arg(name, b.value(name).toString(), a.value(name).toString());
            return false;
        }
    }
    const double rateA = a.value(QStringLiteral("v0_fps")).toDouble();
    const double rateB = b.value(QStringLiteral("v0_fps")).toDouble();
    if (std::fabs(rateA - rateB) > 0.01 * std::max(rateA, 1.0)) {
        *what = QStringLiteral("v0_fps %1, not %2").arg(rateB).arg(rateA);
        return false;
    }
    return true;
}

QString secondsText(std::int64_t ticks90k) {
    return QString::number(static_cast<double>(ticks90k) / 90000.0, 'f', 3);
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
            QString what;
            if (!sameStreams(rows[decision.rows.first()].dico, rows[row].dico, &what)) {
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
/// decision's ranges; why a piece can't be (its ranges then empty), or nothing.
QString placePieces(const spannedRecording &recording, const spanLookup &spanOf,
                    joinDecision &decision) {
    for (const recordingPiece &piece : recording.pieces) {
        if (!spanOf) {
            decision.ranges << pieceBytes{};
            continue;
        }
        const std::optional<toolbox::StreamSpan> span = spanOf(piece);
        const pieceRange range =
            span ? spannedPieceRange(piece, *span)
                 : pieceRange{{}, QStringLiteral("its pictures cannot be read")};
        if (!range.why.isEmpty()) {
            decision.ranges.clear();
            return QStringLiteral("%1 cannot be joined: %2").arg(pieceName(piece), range.why);
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

pieceRange spannedPieceRange(const recordingPiece &piece, const toolbox::StreamSpan &span) {
    pieceRange range;
    const std::int64_t in = static_cast<std::int64_t>(piece.inTime) * 2;
    const std::int64_t out = static_cast<std::int64_t>(piece.outTime) * 2;
    const std::int64_t frame = span.frameTicks > 0 ? span.frameTicks : 1;
    const std::int64_t tolerance = frame / 2;
    const std::int64_t end = span.lastPts + frame;
    const QString pictures = QStringLiteral("its pictures run from %1 s to %2 s")
                                 .arg(secondsText(span.firstPts), secondsText(end));
    if (in < span.firstPts - tolerance || in > span.lastPts + tolerance) {
        range.why = QStringLiteral("its IN time %1 s lies outside its file's pictures (%2)")
                        .arg(secondsText(in), pictures);
        return range;
    }
    if (out > end + tolerance || out < span.firstPts + tolerance) {
        range.why = QStringLiteral("its OUT time %1 s lies outside its file's pictures (%2)")
                        .arg(secondsText(out), pictures);
        return range;
    }
    if (out <= in) {
        range.why = QStringLiteral("its OUT time %1 s is not after its IN time %2 s")
                        .arg(secondsText(out), secondsText(in));
        return range;
    }
    if (in > span.firstPts + tolerance) {
        const toolbox::SpanPicture *key = keyPictureAt(span.head, in, tolerance);
        if (key == nullptr || key->pos < 0) {
            range.why = QStringLiteral("its IN time %1 s falls on no key picture of its file")
                            .arg(secondsText(in));
            return range;
        }
        range.bytes.start = key->pos;
    }
    if (out < end - tolerance) {
        const toolbox::SpanPicture *key = keyPictureAt(span.tail, out, tolerance);
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
