#include "dragNDropView.h"

#include "dialogs/images.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>

std::optional<QStringList> dragNDropLocalPaths(const QMimeData *mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return std::nullopt;
    }
    QStringList paths;
    for (const QUrl &url : mime->urls()) {
        // A file URL with a host names another machine's file (smb://, or file://server/...).
        if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == u"localhost")) {
            return std::nullopt;
        }
        const QString path = url.toLocalFile();
        if (path.isEmpty()) {
            return std::nullopt;
        }
        paths << path;
    }
    if (paths.isEmpty()) {
        return std::nullopt;
    }
    return paths;
}

dragNDropView::dragNDropView(QWidget *parent) : QWidget(parent) {
    setAcceptDrops(true);
    setObjectName(QStringLiteral("dndImgView"));
    setMinimumSize(260, 150);
}

dragNDropView::~dragNDropView() {
    setAcceptDrops(false);
}

void dragNDropView::setImageName(const QString &name) {
    image_ = name;
    update();
}

void dragNDropView::setCaptionHidden(bool hidden) {
    if (caption_ != nullptr) {
        caption_->setHidden(hidden);
    }
}

void dragNDropView::setActionTextHidden(bool hidden) {
    if (action_ != nullptr) {
        action_->setHidden(hidden);
    }
}

void dragNDropView::dragEnterEvent(QDragEnterEvent *event) {
    // Files are copied into the batch, never moved: only the copy operation is offered.
    if (dragNDropLocalPaths(event->mimeData()) &&
        (event->possibleActions() & Qt::CopyAction) != 0) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        hovering_ = true;
        update();
        return;
    }
    event->ignore();
}

void dragNDropView::dragMoveEvent(QDragMoveEvent *event) {
    if (dragNDropLocalPaths(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void dragNDropView::dragLeaveEvent(QDragLeaveEvent *event) {
    hovering_ = false;
    update();
    QWidget::dragLeaveEvent(event);
}

void dragNDropView::dropEvent(QDropEvent *event) {
    hovering_ = false;
    update();
    const std::optional<QStringList> paths = dragNDropLocalPaths(event->mimeData());
    if (!paths) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (delegate_ != nullptr) {
        delegate_->dragNDropPerformDrag(this, *paths);
    }
}

void dragNDropView::paintEvent(QPaintEvent *event) {
    // The dashed frame and the picture are drawn once per size, state and palette and kept: the
    // spinner and the labels above the area repaint parts of it many times a second, and
    // stroking the dashes again each time costs more than a frame.
    const qreal scale = devicePixelRatioF();
    const QString key = QStringLiteral("%1/%2x%3/%4/%5/%6/%7")
                            .arg(image_)
                            .arg(width())
                            .arg(height())
                            .arg(hovering_ ? 1 : 0)
                            .arg(scale)
                            .arg(palette().color(QPalette::Base).rgba())
                            .arg(palette().color(QPalette::Mid).rgba());
    if (key != drawnKey_ || drawn_.isNull()) {
        drawn_ = QPixmap(QSize(qRound(width() * scale), qRound(height() * scale)));
        drawn_.setDevicePixelRatio(scale);
        drawn_.fill(Qt::transparent);
        QPainter painter(&drawn_);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF frame = QRectF(rect()).adjusted(6, 6, -6, -6);
        QColor line = palette().color(hovering_ ? QPalette::Highlight : QPalette::Mid);
        QPen pen(line, hovering_ ? 3 : 2, Qt::DashLine);
        painter.setPen(pen);
        QColor fill = palette().color(QPalette::Base);
        if (hovering_) {
            fill = palette().color(QPalette::Highlight);
            fill.setAlpha(40);
        }
        painter.setBrush(fill);
        painter.drawRoundedRect(frame, 14, 14);
        const int side = std::min(width(), height()) - 40;
        if (side > 16) {
            const QPixmap picture = imagePixmap(image_, QSize(side, side), scale);
            if (!picture.isNull()) {
                const QSizeF shown = picture.deviceIndependentSize();
                painter.drawPixmap(
                    QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                    picture);
            }
        }
        drawnKey_ = key;
    }
    QPainter painter(this);
    for (const QRect &part : event->region()) {
        painter.drawPixmap(QRectF(part), drawn_,
                           QRectF(part.x() * scale, part.y() * scale, part.width() * scale,
                                  part.height() * scale));
    }
}
