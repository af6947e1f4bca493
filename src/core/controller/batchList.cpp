#include "controller/batchList.h"

#include <algorithm>

const batchRow &batchList::row(int32_t index) const {
    static const batchRow none;
    return index >= 0 && index < count() ? rows_[index] : none;
}

QList<rowState> batchList::states() const {
    QList<rowState> all;
    all.reserve(rows_.size());
    for (const batchRow &row : rows_) {
        all << row.state;
    }
    return all;
}

int32_t batchList::indexOfId(uint64_t id) const {
    if (id == 0) {
        return -1;
    }
    const auto found = std::find_if(rows_.cbegin(), rows_.cend(),
                                    [id](const batchRow &row) { return row.id == id; });
    return found == rows_.cend() ? -1 : static_cast<int32_t>(found - rows_.cbegin());
}

uint64_t batchList::append(batchRow row) {
    row.id = nextId_++;
    rows_.append(std::move(row));
    if (rowInserted) {
        rowInserted(count() - 1);
    }
    return rows_.last().id;
}

void batchList::changed(int32_t index) {
    if (rowChanged) {
        rowChanged(index);
    }
}

void batchList::replace(int32_t index, batchRow row) {
    if (index < 0 || index >= count()) {
        return;
    }
    row.id = rows_[index].id;
    rows_[index] = std::move(row);
    changed(index);
}

void batchList::setState(int32_t index, rowState state) {
    if (index >= 0 && index < count()) {
        rows_[index].state = state;
        changed(index);
    }
}

void batchList::setFormat(int32_t index, int32_t format) {
    if (index >= 0 && index < count()) {
        rows_[index].format = format;
        changed(index);
    }
}

void batchList::setRateMode(int32_t index, int32_t rateMode) {
    if (index >= 0 && index < count()) {
        rows_[index].rateMode = rateMode;
        changed(index);
    }
}

void batchList::setThumbnailShown(int32_t index) {
    if (index >= 0 && index < count()) {
        rows_[index].thumbnailShown = true;
        changed(index);
    }
}

void batchList::insertAt(int32_t index, batchRow row) {
    const int32_t at = std::clamp(index, 0, count());
    row.id = nextId_++;
    rows_.insert(at, std::move(row));
    if (selected_ >= at) {
        ++selected_;
    }
    if (rowInserted) {
        rowInserted(at);
    }
    // The rows after it show a new position.
    for (int32_t i = at + 1; i < count(); ++i) {
        changed(i);
    }
}

void batchList::removeAt(int32_t index) {
    if (index < 0 || index >= count()) {
        return;
    }
    rows_.removeAt(index);
    if (selected_ == index) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
    if (rowRemoved) {
        rowRemoved(index);
    }
    for (int32_t i = index; i < count(); ++i) {
        changed(i);
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

int32_t batchNextRow(const QList<rowState> &states, int32_t after) {
    for (qsizetype i = std::max<qsizetype>(0, after + 1); i < states.size(); ++i) {
        if (states[i] != rowState::converted) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}
