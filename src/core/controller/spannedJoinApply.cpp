// The joining of the batch's spanned recordings once the analysis of a drop is over: the rows
// that are every piece of one recording become one row, the others keep a note saying why.
#include "controller/spannedJoinApply.h"

#include "dates/spannedRecording.h"
#include "platform/log.h"

#include <QFile>

#include <algorithm>
#include <functional>

namespace {

/// The rows the joining of spanned recordings may regroup: those that wait for the conversion
/// and are no joined row already; `indices` gets their places in the list.
QList<joinRow> spannedCandidateRows(const batchList &list, QList<int32_t> *indices) {
    QList<joinRow> rows;
    for (int32_t i = 0; i < list.count(); ++i) {
        const batchRow &row = list.row(i);
        if (row.state != rowState::waiting || !row.pieces.isEmpty()) {
            continue;
        }
        rows.append({row.source, row.facts});
        indices->append(i);
    }
    return rows;
}

/// The head and tail of a piece's stream file, where its IN and OUT times are placed.
std::optional<toolbox::StreamSpan> readPieceSpan(const recordingPiece &piece) {
    toolbox::StreamSpan span;
    const toolbox::MovieStatus status =
        toolbox::readStreamSpan(QFile::encodeName(piece.path).toStdString(),
                                static_cast<std::int64_t>(piece.inTime) * 2, span);
    if (!status) {
        logStr(QStringLiteral("spanned recording   :-( %1")
                   .arg(QString::fromStdString(status.message)));
        return std::nullopt;
    }
    return span;
}

/// The row kept for the k-th piece of a decision: its note and, for a joined row, every
/// piece's path and bytes, its name, and the recording's whole duration.
batchRow spannedRow(batchRow row, const joinDecision &decision, qsizetype k,
                    const QList<joinRow> &rows) {
    row.joinNote = decision.notes.at(k);
    if (!decision.joined) {
        return row;
    }
    double seconds = 0;
    for (const qsizetype piece : decision.rows) {
        seconds += rows.at(piece).facts.durationSeconds;
    }
    row.pieces = decision.paths;
    row.pieceRanges.clear();
    for (const pieceBytes &bytes : decision.ranges) {
        row.pieceRanges << bytes.text();
    }
    row.name = spannedJoinRowName(decision.paths);
    row.mediaInfo = mediaInfoWithDuration(row.mediaInfo, seconds);
    row.facts.durationSeconds = static_cast<float>(seconds);
    return row;
}

} // namespace

void applySpannedJoin(batchList &list, const QMap<QString, QString> &refused, bool joining,
                      const spannedJoinTellers &tell) {
    QList<int32_t> listRows;
    const QList<joinRow> rows = spannedCandidateRows(list, &listRows);
    const QList<joinDecision> decisions =
        spannedJoinPlan(rows, spannedRecordingOf, refused, joining, readPieceSpan);
    QList<int32_t> removed;
    for (const joinDecision &decision : decisions) {
        for (qsizetype k = 0; k < decision.rows.size(); ++k) {
            const int32_t index = listRows.at(decision.rows.at(k));
            const QString src = rows.at(decision.rows.at(k)).src;
            if (decision.joined && k > 0) {
                // The joined row (the first piece's) takes this piece; its thumbnail goes.
                const QString img = list.row(index).thumbnailPath;
                if (!img.isEmpty() && tell.dropThumbnail) {
                    tell.dropThumbnail(img);
                }
                removed << index;
                continue;
            }
            list.replace(index, spannedRow(list.row(index), decision, k, rows));
            logStr(QStringLiteral("spanned recording   : %1: %2").arg(src, decision.notes.at(k)));
            if (tell.verdict) {
                tell.verdict(src, decision.joined ? decision.paths : QStringList(),
                             decision.notes.at(k));
            }
        }
    }
    std::sort(removed.begin(), removed.end(), std::greater<>());
    for (const int32_t index : removed) {
        list.removeAt(index);
    }
    if (!removed.isEmpty()) {
        list.setSelectedIndex(list.count() - 1);
    }
}
