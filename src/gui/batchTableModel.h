// The batch table: a model over the controller's batch list (it observes the list's changes)
// and the delegate that draws and clicks the rows' three-segment "out" and "fps" cells.
#pragma once

#include "batchSegments.h"
#include "controller/batchList.h"
#include "controller/outcomes.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <functional>

class batchTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum column : int { colOrder, colStatus, colThumbnail, colSource, colOut, colFps, colCount };
    /// Role of the cells "out" and "fps": the row's segment cell (batchSegmentCell).
    static constexpr int segmentsRole = Qt::UserRole + 1;
    /// Role of the cells "out" and "fps": the selected segment (int).
    static constexpr int selectedRole = Qt::UserRole + 2;
    /// Role of every cell: the row's status image name as shown (a kept output's neutral
    /// mark in place of the failure's).
    static constexpr int statusRole = Qt::UserRole + 3;
    /// The height of the thumbnails, in logical pixels.
    static constexpr int thumbnailHeight = 54;

    explicit batchTableModel(batchList *list, QObject *parent = nullptr);
    ~batchTableModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// The segments of a row's "out" or "fps" cell with this system's codecs (all locked on a
    /// converted row).
    batchSegmentCell segmentsFor(int row, int columnIndex) const;
    /// Redraws every row (after the codec availability changed).
    void refreshAll();

    /// A job's outcome: a row that did not convert says why (its status cell's text and
    /// tooltip) until the row is converted again.
    void setOutcome(const jobOutcomeValue &outcome);
    /// A refused source: a row of its own after the batch's rows, saying why, until removed.
    /// A source refused again replaces its row.
    void addRefused(const analysisVerdictValue &verdict);
    /// The number of refused sources' rows (after the batch's rows).
    int refusedCount() const { return static_cast<int>(refused_.size()); }
    /// True when the table's row is a refused source's, not one of the batch.
    bool isRefusedRow(int row) const { return row >= list_->count() && row < rowCount(); }
    /// Removes a refused source's row (a batch row index is ignored), or all of them.
    void removeRefused(int row);
    void clearRefused();
    /// Removes the refused row of a source accepted since.
    void removeRefusedSource(const QString &src);

private:
    QPixmap thumbnail(const QString &path) const;
    /// The status image of a batch row: its status, or "puceKept" for an existing movie kept.
    QString statusImage(int row) const;
    QVariant refusedData(int refusedIndex, int column, int role) const;
    /// The status cell's text and tooltip of a batch row that did not convert, when its
    /// outcome is known.
    QVariant outcomeData(int row, int role) const;
    batchList *list_;
    mutable QHash<QString, QPixmap> thumbnails_;
    /// The outcomes told, by the row (batchList::idAt) they are of.
    QHash<uint64_t, jobOutcomeValue> outcomes_;
    QList<analysisVerdictValue> refused_;
};

/// The clip cell's tooltip: the source's path, its size and rate, and how a source flagged
/// interlaced was accepted, in the user's language ("accepted: progressive pictures in an
/// interlaced stream").
QString batchSourceTooltip(const batchRow &row);

/// The image (and localisation key) of a row's state: "puce", "puceCurrent", "puceSuccess",
/// "puceFailure".
QString batchRowStateImage(rowState state);

/// The short text of a job's outcome for its row ("Failed: the disk is full").
QString batchOutcomeRowText(const jobOutcomeValue &outcome);

/// The words of a segment cell: the chosen segment's name after the column's, then, for each
/// segment that can't be chosen, why ("½ rate: needs a source of 31 frames/s or more").
QStringList batchSegmentsDescription(int column, const batchSegmentCell &cell, int selected);

/// Draws a three-segment cell and reports a click on an enabled segment, or its keys.
class batchSegmentDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;
    /// The row, the column (colOut or colFps) and the clicked segment.
    std::function<void(int row, int column, int segment)> segmentClicked;
    /// The short text of a segment when its picture is missing.
    static QString segmentText(int column, int segment);
    /// The segment under x inside a cell of the given rectangle, or -1.
    static int segmentAt(const QRect &cell, int x);
    /// The width of a segment cell.
    static constexpr int cellWidth = 3 * 64 + 8;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    /// Installed on the table, for the focused segment cell: Space goes round the enabled
    /// segments, + (or =) and − take the next or the previous enabled one; the arrows are left
    /// to the table, which moves from cell to cell.
    bool eventFilter(QObject *watched, QEvent *event) override;
    /// The keyboard's cell: a frame of the highlight colour, two pixels wide.
    static void drawFocusFrame(QPainter *painter, const QStyleOptionViewItem &option);
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
};
