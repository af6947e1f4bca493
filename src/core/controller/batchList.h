// The batch list: the ordered rows of sources waiting to be converted, observed by the window's
// table (a model) and worked through by the conversion step machine. Each row is a typed value:
// its identity, its state, the output format and frame-rate mode chosen for it, the source (the
// pieces of a joined recording), the media facts the conversion uses and the thumbnail. Main
// thread only.
#pragma once

#include "analysis/mediaFacts.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <functional>

/// Where a row is in the batch.
enum class rowState {
    waiting,    ///< not converted yet (or asked to be converted again)
    converting, ///< its job is running
    converted,  ///< its output is complete; the next batches leave it alone
    failed,     ///< its job ended without an output (its outcome says why)
};

/// One source of the batch.
struct batchRow {
    uint64_t id = 0; ///< given by the list: no other row of it has had this number
    rowState state = rowState::waiting;
    int32_t format = 0;      ///< outFormat: 0 rewrap, 1 Intermediate, 2 ProRes
    int32_t rateMode = 0;    ///< fpsMode: 0 normal, 1 half rate, 2 slow motion
    QString name;            ///< what the row shows: the file name ("00001.MTS (+2)" when joined)
    QString source;          ///< the source's path (a joined recording's first piece)
    QStringList pieces;      ///< a joined recording's pieces in order; empty for a single source
    QStringList pieceRanges; ///< their bytes ("start end", pieceBytes::text)
    bool surround = false;   ///< multichannel sound is kept
    QString scanNote;        ///< how its scan was judged, when that needs saying
    QString joinNote;        ///< joined, or why it was kept apart from its recording's pieces
    QString thumbnailPath;   ///< where its thumbnail is (being) made; empty: none
    bool thumbnailShown = false; ///< the thumbnail holds a picture
    mediaFacts facts;            ///< what the conversion uses of the source
    /// The analysis's media info dictionary, as the job's journal in the preferences store
    /// writes it (the facts above are read from it once).
    QVariantMap mediaInfo;

    /// The files its job reads: the pieces of a joined recording, else its source.
    [[nodiscard]] QStringList sourcePaths() const {
        return pieces.isEmpty() ? QStringList{source} : pieces;
    }
    /// True when the row's job reads `path` (its source, or a piece of its recording).
    [[nodiscard]] bool reads(const QString &path) const {
        return source == path || pieces.contains(path);
    }
};

class batchList {
public:
    int32_t count() const { return static_cast<int32_t>(rows_.size()); }
    bool isEmpty() const { return rows_.isEmpty(); }
    /// The row at index; an empty row (id 0) outside the list.
    const batchRow &row(int32_t index) const;
    const QList<batchRow> &rows() const { return rows_; }
    /// Every row's state, in order.
    QList<rowState> states() const;
    /// The row's identity (0 outside the list). A job keeps its row by it, whatever rows come
    /// and go and whatever paths they share.
    uint64_t idAt(int32_t index) const { return row(index).id; }
    /// The index of the row with that identity, or -1.
    int32_t indexOfId(uint64_t id) const;

    /// Appends the row with an identity of its own; returns it.
    uint64_t append(batchRow row);
    /// Replaces the row at index, keeping its identity.
    void replace(int32_t index, batchRow row);
    void setState(int32_t index, rowState state);
    void setFormat(int32_t index, int32_t format);
    void setRateMode(int32_t index, int32_t rateMode);
    /// The row's thumbnail holds its picture now.
    void setThumbnailShown(int32_t index);
    /// Removes the row.
    void removeAt(int32_t index);
    /// Puts a row back at `index` (clamped to the list), with an identity of its own.
    void insertAt(int32_t index, batchRow row);
    void clear();

    /// The selected row, or -1.
    int32_t selectedIndex() const { return selected_; }
    void setSelectedIndex(int32_t index);

    /// Observers: a row appended at index, removed from index, changed at index, and the list
    /// asked to re-sort and re-filter itself by the view's settings.
    std::function<void(int32_t)> rowInserted;
    std::function<void(int32_t)> rowRemoved;
    std::function<void(int32_t)> rowChanged;
    std::function<void()> rearranged;
    void rearrangeObjects();

private:
    void changed(int32_t index);

    QList<batchRow> rows_;
    uint64_t nextId_ = 1;
    int32_t selected_ = -1;
};

/// The row a batch converts after row `after` (-1: from the start), given every row's state:
/// the first later row not converted yet (converted rows are left alone), or -1.
int32_t batchNextRow(const QList<rowState> &states, int32_t after);
