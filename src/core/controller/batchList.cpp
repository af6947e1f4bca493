#include "controller/batchList.h"
#include "controller/jobRecord.h"

#include <algorithm>

QVariantMap batchList::dico(int32_t index) const {
    return rows_.value(index).value(rowKey::dico).toMap();
}

QVariant batchList::value(int32_t index, const QString &key) const {
    return rows_.value(index).value(key);
}

QStringList batchList::statuses() const {
    QStringList all;
    all.reserve(rows_.size());
    for (const QVariantMap &row : rows_) {
        all << row.value(rowKey::status).toString();
    }
    return all;
}

int32_t batchList::indexOfId(uint64_t id) const {
    return id == 0 ? -1 : static_cast<int32_t>(ids_.indexOf(id));
}

void batchList::append(const QVariantMap &row) {
    rows_.append(row);
    ids_.append(nextId_++);
    if (rowInserted) {
        rowInserted(count() - 1);
    }
}

void batchList::setValue(int32_t index, const QString &key, const QVariant &value) {
    if (index < 0 || index >= count()) {
        return;
    }
    rows_[index][key] = value;
    if (rowChanged) {
        rowChanged(index);
    }
}

void batchList::insertAt(int32_t index, const QVariantMap &row) {
    const int32_t at = std::clamp(index, 0, count());
    rows_.insert(at, row);
    ids_.insert(at, nextId_++);
    if (selected_ >= at) {
        ++selected_;
    }
    if (rowInserted) {
        rowInserted(at);
    }
    for (int32_t i = at; i < count(); ++i) {
        setValue(i, rowKey::order, i + 1);
    }
}

void batchList::removeAt(int32_t index) {
    if (index < 0 || index >= count()) {
        return;
    }
    rows_.removeAt(index);
    ids_.removeAt(index);
    if (selected_ == index) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
    if (rowRemoved) {
        rowRemoved(index);
    }
    for (int32_t i = index; i < count(); ++i) {
        setValue(i, rowKey::order, i + 1);
    }
}

void batchList::clear() {
    while (!rows_.isEmpty()) {
        removeAt(count() - 1);
    }
}

void batchList::setSelectedIndex(int32_t index) {
    selected_ = (index >= 0 && index < count()) ? index : -1;
}

void batchList::rearrangeObjects() {
    if (rearranged) {
        rearranged();
    }
}

int32_t batchNextRow(const QStringList &statuses, int32_t after) {
    for (qsizetype i = std::max<qsizetype>(0, after + 1); i < statuses.size(); ++i) {
        if (statuses[i] != rowStatus::success) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}
