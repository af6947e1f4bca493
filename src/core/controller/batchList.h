// The batch list: the ordered rows of sources waiting to be converted, observed by the window's
// table (a model) and worked through by the conversion step machine. Each row is a dictionary:
// "order" (1-based position), "src" (file name), "resultat" (status image name: "puce",
// "puceCurrent", "puceSuccess", "puceFailure"), "out" (0 rewrap, 1 Apple Intermediate Codec,
// 2 ProRes), "fpsSrc", "fps" (0 normal, 1 half rate, 2 slow motion), "dico" (the job record) and
// "img" (the thumbnail's path, only when it holds a picture). Main thread only.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <functional>

class batchList {
public:
    int32_t count() const { return static_cast<int32_t>(rows_.size()); }
    bool isEmpty() const { return rows_.isEmpty(); }
    /// The row at index, or an empty dictionary outside the list.
    QVariantMap row(int32_t index) const { return rows_.value(index); }
    const QList<QVariantMap> &rows() const { return rows_; }
    /// The row's job record ("dico").
    QVariantMap dico(int32_t index) const;
    QVariant value(int32_t index, const QString &key) const;
    /// Every row's status image name, in order.
    QStringList statuses() const;
    /// The row's identity: a number no other row of this list has had (0 outside the list). A
    /// job keeps its row by it, whatever rows come and go and whatever paths they share.
    uint64_t idAt(int32_t index) const { return ids_.value(index); }
    /// The index of the row with that identity, or -1.
    int32_t indexOfId(uint64_t id) const;

    void append(const QVariantMap &row);
    void setValue(int32_t index, const QString &key, const QVariant &value);
    /// Removes the row and renumbers "order" of the rows after it.
    void removeAt(int32_t index);
    /// Puts a row back at `index` (clamped to the list), with an identity of its own; the rows
    /// from there on are renumbered.
    void insertAt(int32_t index, const QVariantMap &row);
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
    QList<QVariantMap> rows_;
    QList<uint64_t> ids_;
    uint64_t nextId_ = 1;
    int32_t selected_ = -1;
};

/// The row a batch converts after row `after` (-1: from the start), given every row's status:
/// the first later row not converted yet ("puceSuccess" rows are left alone), or -1.
int32_t batchNextRow(const QStringList &statuses, int32_t after);
