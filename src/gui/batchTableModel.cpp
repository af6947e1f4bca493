#include "batchTableModel.h"

#include "controller/jobRecord.h"
#include "dialogs/images.h"
#include "platform/constants.h"
#include "settings/localisation.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImageReader>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

batchTableModel::batchTableModel(batchList *list, QObject *parent)
    : QAbstractTableModel(parent), list_(list) {
    // The list tells after each change; the views only read the rows once it is told.
    list_->rowInserted = [this](int32_t row) {
        beginInsertRows({}, row, row);
        endInsertRows();
    };
    list_->rowRemoved = [this](int32_t row) {
        beginRemoveRows({}, row, row);
        endRemoveRows();
        // Rows after a removal are renumbered.
        if (row < list_->count()) {
            Q_EMIT dataChanged(index(row, 0), index(list_->count() - 1, colCount - 1));
        }
    };
    list_->rowChanged = [this](int32_t row) {
        Q_EMIT dataChanged(index(row, 0), index(row, colCount - 1));
    };
    list_->rearranged = [this] {
        Q_EMIT layoutAboutToBeChanged();
        Q_EMIT layoutChanged();
    };
}

batchTableModel::~batchTableModel() {
    list_->rowInserted = nullptr;
    list_->rowRemoved = nullptr;
    list_->rowChanged = nullptr;
    list_->rearranged = nullptr;
}

int batchTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : list_->count() + static_cast<int>(refused_.size());
}

int batchTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : colCount;
}

QPixmap batchTableModel::thumbnail(const QString &path) const {
    const auto found = thumbnails_.constFind(path);
    if (found != thumbnails_.constEnd()) {
        return *found;
    }
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid() && size.height() > 0) {
        const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
        const int height = static_cast<int>(thumbnailHeight * ratio);
        reader.setScaledSize(QSize(size.width() * height / size.height(), height));
    }
    QPixmap pixmap = QPixmap::fromImageReader(&reader);
    if (!pixmap.isNull() && qApp != nullptr) {
        pixmap.setDevicePixelRatio(qApp->devicePixelRatio());
    }
    thumbnails_.insert(path, pixmap);
    return pixmap;
}

batchSegmentCell batchTableModel::segmentsFor(int row, int columnIndex) const {
    const batchRow &entry = list_->row(row);
    const rowAllowanceValue allowed = rowAllowance(
        {entry.format, entry.rateMode, entry.facts.fps, getAIC() != 0, getPRORES() != 0});
    const batchSegmentCell cell =
        columnIndex == colOut ? batchOutSegments(allowed) : batchFpsSegments(allowed);
    return entry.state == rowState::converted ? batchConvertedSegments(cell) : cell;
}

QString batchRowStateImage(rowState state) {
    switch (state) {
    case rowState::waiting:
        return QStringLiteral("puce");
    case rowState::converting:
        return QStringLiteral("puceCurrent");
    case rowState::converted:
        return QStringLiteral("puceSuccess");
    case rowState::failed:
        break;
    }
    return QStringLiteral("puceFailure");
}

QString batchTableModel::statusImage(int row) const {
    const batchRow &entry = list_->row(row);
    if (entry.state != rowState::failed) {
        return batchRowStateImage(entry.state);
    }
    // An existing movie kept by the person's own answer is no failure: a neutral mark.
    const auto found = outcomes_.constFind(entry.id);
    return found != outcomes_.constEnd() && found->kind == jobOutcomeKind::kept
               ? QStringLiteral("puceKept")
               : batchRowStateImage(entry.state);
}

QVariant batchTableModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (index.row() >= list_->count()) {
        return refusedData(index.row() - list_->count(), index.column(), role);
    }
    const int row = index.row();
    const batchRow &entry = list_->row(row);
    if (role == statusRole) {
        return statusImage(row);
    }
    if (index.column() == colStatus &&
        (entry.state == rowState::failed || entry.state == rowState::converted)) {
        if (QVariant said = outcomeData(row, role); said.isValid()) {
            return said;
        }
    }
    switch (index.column()) {
    case colOrder:
        if (role == Qt::DisplayRole) {
            return row + 1;
        }
        if (role == Qt::TextAlignmentRole) {
            return int(Qt::AlignCenter);
        }
        break;
    case colStatus:
        if (role == Qt::DecorationRole) {
            // The table's icon size is the thumbnails'; the bullet keeps its own small size.
            const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
            return imagePixmap(statusImage(row), QSize(20, 20), ratio);
        }
        // The word beside the bullet: the colour alone is not enough for everybody.
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) {
            return localizedStr(batchRowStateImage(entry.state));
        }
        break;
    case colThumbnail:
        if (role == Qt::DecorationRole) {
            const QString &img = entry.thumbnailPath;
            if (entry.thumbnailShown && !img.isEmpty() && QFileInfo(img).isFile()) {
                return thumbnail(img);
            }
        }
        if (role == Qt::SizeHintRole) {
            return QSize(thumbnailHeight * 16 / 9 + 8, thumbnailHeight + 8);
        }
        break;
    case colSource:
        if (role == Qt::DisplayRole) {
            return entry.name;
        }
        if (role == Qt::ToolTipRole) {
            return batchSourceTooltip(entry);
        }
        break;
    case colOut:
    case colFps:
        if (role == selectedRole) {
            return index.column() == colOut ? entry.format : entry.rateMode;
        }
        if (role == segmentsRole) {
            return QVariant::fromValue(segmentsFor(row, index.column()));
        }
        // What each choice is, which one is taken and why a greyed one can't be: for the
        // pointer (tooltip) and for screen readers (the cell's accessible text).
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole ||
            role == Qt::AccessibleDescriptionRole) {
            const int selected = index.column() == colOut ? entry.format : entry.rateMode;
            return batchSegmentsDescription(index.column(), segmentsFor(row, index.column()),
                                            selected)
                .join(role == Qt::ToolTipRole ? QStringLiteral("\n") : QStringLiteral("; "));
        }
        break;
    default:
        break;
    }
    return {};
}

QVariant batchTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char *const keys[] = {"colOrder",  "colStatus", "colThumbnail",
                                       "colSource", "colOut",    "colFps"};
    if (section < 0 || section >= colCount) {
        return {};
    }
    const QString text = localizedStr(QString::fromLatin1(keys[section]));
    return text.startsWith(QLatin1String("col")) ? QString() : text;
}

void batchTableModel::refreshAll() {
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, colCount - 1));
    }
}

QString batchOutcomeRowText(const jobOutcomeValue &outcome) {
    static const char *const keys[] = {"rowConverted", "rowFailed",  "rowKept",
                                       "rowSkipped",   "rowStopped", "rowNotDone"};
    const auto kind = static_cast<size_t>(outcome.kind);
    const QString title =
        kind < std::size(keys) ? localizedStr(QString::fromLatin1(keys[kind])) : QString();
    if (outcome.words.isEmpty() || outcome.kind == jobOutcomeKind::stopped ||
        outcome.kind == jobOutcomeKind::notDone) {
        return title;
    }
    return localizedStr(QStringLiteral("rowWhy")).arg(title, outcome.words);
}

QVariant batchTableModel::outcomeData(int row, int role) const {
    const auto found = outcomes_.constFind(list_->idAt(row));
    if (found == outcomes_.constEnd()) {
        return {};
    }
    if (found->kind == jobOutcomeKind::converted) {
        // What its verification proved, for whoever wonders whether the movie is whole.
        return role == Qt::ToolTipRole && !found->verdict.isEmpty() ? QVariant(found->verdict)
                                                                    : QVariant();
    }
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        return batchOutcomeRowText(*found);
    }
    if (role == Qt::ToolTipRole) {
        // The tool's own last lines say more to whoever reports the problem.
        return found->toolWords.isEmpty()
                   ? batchOutcomeRowText(*found)
                   : batchOutcomeRowText(*found) + QStringLiteral("\n\n") + found->toolWords;
    }
    return {};
}

QVariant batchTableModel::refusedData(int refusedIndex, int column, int role) const {
    const analysisVerdictValue &verdict = refused_.at(refusedIndex);
    const QString text = localizedStr(QStringLiteral("rowWhy"))
                             .arg(localizedStr(QStringLiteral("rowRefused")), verdict.words);
    if (role == statusRole) {
        return batchRowStateImage(rowState::failed);
    }
    if (column == colStatus) {
        if (role == Qt::DecorationRole) {
            const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
            return imagePixmap(batchRowStateImage(rowState::failed), QSize(20, 20), ratio);
        }
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
            return text;
        }
    }
    if (column == colSource && role == Qt::DisplayRole) {
        return QFileInfo(verdict.src).fileName();
    }
    if ((column == colStatus || column == colSource) && role == Qt::ToolTipRole) {
        return QStringLiteral("%1\n%2").arg(verdict.src, text);
    }
    return {};
}

void batchTableModel::setOutcome(const jobOutcomeValue &outcome) {
    outcomes_.insert(outcome.rowId, outcome);
    const int32_t row = list_->indexOfId(outcome.rowId);
    if (row >= 0) {
        Q_EMIT dataChanged(index(row, colStatus), index(row, colStatus));
    }
}

void batchTableModel::addRefused(const analysisVerdictValue &verdict) {
    for (qsizetype i = 0; i < refused_.size(); ++i) {
        if (refused_[i].src == verdict.src) {
            refused_[i] = verdict;
            const int row = list_->count() + static_cast<int>(i);
            Q_EMIT dataChanged(index(row, 0), index(row, colCount - 1));
            return;
        }
    }
    const int row = rowCount();
    beginInsertRows({}, row, row);
    refused_ << verdict;
    endInsertRows();
}

void batchTableModel::removeRefused(int row) {
    const int at = row - list_->count();
    if (at < 0 || at >= refused_.size()) {
        return;
    }
    beginRemoveRows({}, row, row);
    refused_.removeAt(at);
    endRemoveRows();
}

void batchTableModel::removeRefusedSource(const QString &src) {
    for (qsizetype i = 0; i < refused_.size(); ++i) {
        if (refused_[i].src == src) {
            removeRefused(list_->count() + static_cast<int>(i));
            return;
        }
    }
}

void batchTableModel::clearRefused() {
    if (refused_.isEmpty()) {
        return;
    }
    beginRemoveRows({}, list_->count(), rowCount() - 1);
    refused_.clear();
    endRemoveRows();
}

QString batchSegmentDelegate::segmentText(int column, int segment) {
    static const char *const outKeys[] = {"segRewrap", "segAic", "segProres"};
    static const char *const fpsKeys[] = {"segNormal", "segHalf", "segSlow"};
    if (segment < 0 || segment > 2) {
        return QString();
    }
    return localizedStr(QString::fromLatin1(column == batchTableModel::colOut ? outKeys[segment]
                                                                              : fpsKeys[segment]));
}

QStringList batchSegmentsDescription(int column, const batchSegmentCell &cell, int selected) {
    QStringList lines{localizedStr(column == batchTableModel::colOut ? QStringLiteral("colOut")
                                                                     : QStringLiteral("colFps")) +
                      QStringLiteral(": ") + batchSegmentDelegate::segmentText(column, selected)};
    for (int s = 0; s < static_cast<int>(cell.size()); ++s) {
        const QString name = batchSegmentDelegate::segmentText(column, s);
        switch (cell[static_cast<size_t>(s)].block) {
        case batchSegmentBlock::none:
            break;
        case batchSegmentBlock::converted:
            // One line for the cell: every segment is locked for the same reason.
            if (s == 0) {
                lines << localizedStr(QStringLiteral("segConverted"));
            }
            break;
        case batchSegmentBlock::noEncoder:
            lines << localizedStr(QStringLiteral("segNoEncoder")).arg(name);
            break;
        case batchSegmentBlock::sourceBelow31:
            lines << localizedStr(QStringLiteral("segNeeds31")).arg(name);
            break;
        case batchSegmentBlock::rewrapKeeps:
            lines << localizedStr(QStringLiteral("segRewrapKeeps"))
                         .arg(name, batchSegmentDelegate::segmentText(batchTableModel::colOut, 0));
            break;
        }
    }
    return lines;
}

int batchSegmentDelegate::segmentAt(const QRect &cell, int x) {
    const QRect inner = cell.adjusted(4, 0, -4, 0);
    if (inner.width() <= 0 || x < inner.left() || x > inner.right()) {
        return -1;
    }
    return std::min(2, (x - inner.left()) * 3 / inner.width());
}

void batchSegmentDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const {
    const QVariant cellValue = index.data(batchTableModel::segmentsRole);
    if (!cellValue.canConvert<batchSegmentCell>()) {
        // The style's focus frame is a dotted pixel nobody sees: the keyboard's cell gets a
        // frame of the highlight colour instead.
        QStyleOptionViewItem plain = option;
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        if ((option.state & QStyle::State_HasFocus) != 0) {
            drawFocusFrame(painter, option);
        }
        return;
    }
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    QApplication::style()->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter,
                                         option.widget);
    const batchSegmentCell cell = cellValue.value<batchSegmentCell>();
    const int selected = index.data(batchTableModel::selectedRole).toInt();
    const QPalette &pal = option.palette;
    const QRect inner = option.rect.adjusted(4, option.rect.height() / 2 - 21, -4,
                                             -(option.rect.height() / 2 - 21));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(inner).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter->setClipPath(outline);
    for (int s = 0; s < 3; ++s) {
        const int left = inner.left() + inner.width() * s / 3;
        const int right = inner.left() + inner.width() * (s + 1) / 3;
        const QRect segment(left, inner.top(), right - left, inner.height());
        const bool on = s == selected;
        const bool locked = cell[s].block == batchSegmentBlock::converted;
        QColor fill = on ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button);
        if (on && locked) {
            // The choice a converted row was made with: still plain to see, not to be pressed.
            fill = QColor::fromRgbF((fill.redF() + pal.color(QPalette::Button).redF()) / 2,
                                    (fill.greenF() + pal.color(QPalette::Button).greenF()) / 2,
                                    (fill.blueF() + pal.color(QPalette::Button).blueF()) / 2);
        }
        painter->fillRect(segment, fill);
        const QIcon icon = imageNamed(cell[s].image);
        QColor textColour =
            on ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText);
        if (!cell[s].enabled && !on) {
            textColour = pal.color(QPalette::Disabled, QPalette::ButtonText);
        }
        if (on && locked) {
            // Half way to the button's colour, the highlight's own text would fade into it.
            textColour = pal.color(QPalette::ButtonText);
        }
        // The picture above, the choice's name below: a person reads what each segment does.
        const int side = 18;
        if (!icon.isNull()) {
            // A choice that can't be taken keeps its own picture (the crossed "not available"
            // one says why), faded: the style's disabled rendering and a veil of a dark
            // window's colour turned it into a dark blob in the dark themes.
            painter->setOpacity(cell[s].enabled || on ? 1.0 : 0.55);
            icon.paint(painter,
                       QRect(segment.center().x() - side / 2, segment.top() + 3, side, side),
                       Qt::AlignCenter, QIcon::Normal);
            painter->setOpacity(1.0);
        }
        QFont small = option.font;
        small.setPointSizeF(std::max(6.5, small.pointSizeF() * 0.8));
        painter->setFont(small);
        painter->setPen(textColour);
        const QRect textRect = icon.isNull() ? segment : segment.adjusted(1, side + 3, -1, 0);
        painter->drawText(textRect, Qt::AlignCenter,
                          QFontMetrics(small).elidedText(segmentText(index.column(), s),
                                                         Qt::ElideRight, textRect.width()));
        if (s > 0) {
            painter->setPen(pal.color(QPalette::Mid));
            painter->drawLine(left, inner.top(), left, inner.bottom());
        }
    }
    painter->setClipping(false);
    painter->setPen(pal.color(QPalette::Mid));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(outline);
    if ((option.state & QStyle::State_HasFocus) != 0) {
        // The keyboard's cell: its keys change this choice, so it shows where they go.
        painter->setPen(QPen(pal.color(QPalette::Highlight), 2));
        painter->drawRoundedRect(QRectF(inner).adjusted(-2, -2, 2, 2), 7, 7);
    }
    painter->restore();
}

void batchSegmentDelegate::drawFocusFrame(QPainter *painter, const QStyleOptionViewItem &option) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(option.palette.color(QPalette::Highlight), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(option.rect).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
    painter->restore();
}

QSize batchSegmentDelegate::sizeHint(const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const {
    if (index.data(batchTableModel::segmentsRole).isValid()) {
        return {cellWidth, batchTableModel::thumbnailHeight + 8};
    }
    return QStyledItemDelegate::sizeHint(option, index);
}

bool batchSegmentDelegate::eventFilter(QObject *watched, QEvent *event) {
    auto *view = qobject_cast<QAbstractItemView *>(watched);
    if (view == nullptr || event->type() != QEvent::KeyPress) {
        return QStyledItemDelegate::eventFilter(watched, event);
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    const QModelIndex current = view->currentIndex();
    const QVariant cellValue = current.data(batchTableModel::segmentsRole);
    if (!current.isValid() || !cellValue.canConvert<batchSegmentCell>() ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    const int selected = current.data(batchTableModel::selectedRole).toInt();
    // One meaning per key: the arrows move from cell to cell (the table's own), Space goes
    // round the choices, + and − take the next or the previous one.
    int segment = -1;
    switch (key->key()) {
    case Qt::Key_Space:
        segment = batchSegmentStep(cellValue.value<batchSegmentCell>(), selected, 1, true);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        segment = batchSegmentStep(cellValue.value<batchSegmentCell>(), selected, 1, false);
        break;
    case Qt::Key_Minus:
        segment = batchSegmentStep(cellValue.value<batchSegmentCell>(), selected, -1, false);
        break;
    default:
        return false;
    }
    if (segment < 0) {
        return true; // nothing else to choose: the key is taken all the same
    }
    if (segmentClicked) {
        segmentClicked(current.row(), current.column(), segment);
    }
    return true;
}

bool batchSegmentDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                       const QStyleOptionViewItem &option,
                                       const QModelIndex &index) {
    const QVariant cellValue = index.data(batchTableModel::segmentsRole);
    if (event->type() != QEvent::MouseButtonRelease || !cellValue.canConvert<batchSegmentCell>()) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton) {
        return false;
    }
    const int segment = segmentAt(option.rect, mouse->position().toPoint().x());
    const batchSegmentCell cell = cellValue.value<batchSegmentCell>();
    if (segment < 0 || !cell[segment].enabled) {
        return true;
    }
    if (segmentClicked) {
        segmentClicked(index.row(), index.column(), segment);
    }
    return true;
}

QString batchSourceTooltip(const batchRow &row) {
    const auto number = [](int32_t value) {
        return value > 0 ? QString::number(value) : QString();
    };
    QString text =
        row.source + QLatin1Char('\n') +
        localizedStr(QStringLiteral("rowSourceFacts"))
            .arg(number(row.facts.width), number(row.facts.height),
                 QLocale(localizedStr(QStringLiteral("D_Langue"))).toString(row.facts.fps, 'g', 4));
    // How the scan was judged, from its typed key ("psf", "pulldown"): the row's note is the
    // log's words, in English.
    const QString &scan = row.facts.scan;
    QString why;
    if (!scan.isEmpty()) {
        const QString key = QStringLiteral("rowScan_") + scan;
        why = localizedStr(key);
        if (why == key) {
            why.clear(); // a key of another version: its note says it, in English
        }
    }
    if (why.isEmpty()) {
        why = row.scanNote;
    }
    if (!why.isEmpty()) {
        text += QLatin1Char('\n') + localizedStr(QStringLiteral("rowAccepted")).arg(why);
    }
    return text;
}
