// The drop area of the main window: a picture that takes files and folders dragged from a file
// manager (local "text/uri-list" entries) and hands their paths to its delegate. Text, remote
// addresses and mixed drags are not accepted. It is also the controller's drop area control:
// its picture ("dndSd" idle, "dndSdOff" busy), its caption and its action text.
#pragma once

#include "frontApi/uiControls.h"

#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>

class QMimeData;
class dragNDropView;

class dragNDropViewDelegate {
public:
    virtual ~dragNDropViewDelegate() = default;
    virtual void dragNDropPerformDrag(dragNDropView *view, const QStringList &paths) = 0;
};

/// The local paths of a drag, in order; nothing when the drag holds no address, or any address
/// that is not a local file (text, web addresses, remote shares).
std::optional<QStringList> dragNDropLocalPaths(const QMimeData *mime);

class dragNDropView : public QWidget, public uiDropArea {
    Q_OBJECT

public:
    explicit dragNDropView(QWidget *parent = nullptr);
    ~dragNDropView() override;

    dragNDropViewDelegate *delegate() const { return delegate_; }
    void setDelegate(dragNDropViewDelegate *delegate) { delegate_ = delegate; }
    void setCaptionLabel(QLabel *caption) { caption_ = caption; }
    void setActionLabel(QLabel *action) { action_ = action; }
    /// True while an acceptable drag hovers over the area (drawn highlighted).
    bool isDragHovering() const { return hovering_; }

    void setImageName(const QString &name) override;
    QString imageName() const override { return image_; }
    void setCaptionHidden(bool hidden) override;
    void setActionTextHidden(bool hidden) override;

    QSize sizeHint() const override { return {420, 220}; }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    dragNDropViewDelegate *delegate_ = nullptr;
    QLabel *caption_ = nullptr;
    QLabel *action_ = nullptr;
    /// The area as last drawn, and what it was drawn for.
    QPixmap drawn_;
    QString drawnKey_;
    QString image_ = QStringLiteral("dndSd");
    bool hovering_ = false;
};
