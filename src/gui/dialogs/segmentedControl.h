// A segmented control: a row of segments, each with an image (by name, see images.h) and a
// label, at most one selected. It is the widget behind the core's uiSegmented, so the
// controller can drive it (pause/play/stop, output format, frame-rate mode, colour).
#pragma once

#include "frontApi/uiControls.h"

#include <QList>
#include <QToolButton>
#include <QWidget>

/// What the segments are to the person and to a screen reader: choices of which one at most is
/// taken (radio buttons in a group), or commands that act when pressed (push buttons).
enum class segmentKind { choice, command };

/// A segment's button: a class of its own so that a screen reader is told what it is (a radio
/// button for a choice, see accessibility.h).
class segmentToolButton : public QToolButton {
    Q_OBJECT

public:
    using QToolButton::QToolButton;
};

class segmentedControl : public QWidget, public uiSegmented {
    Q_OBJECT
    // Designer forms give the segments through these two (labels may be "@@key" texts).
    Q_PROPERTY(QStringList segmentImages READ segmentImages WRITE setSegmentImages)
    Q_PROPERTY(QStringList segmentLabels READ segmentLabels WRITE setSegmentLabels)

public:
    explicit segmentedControl(QWidget *parent = nullptr);

    /// Replaces the segments: one per entry of the longer list, image names and labels by place.
    void setSegments(const QStringList &imageNames, const QStringList &labels);
    QStringList segmentImages() const { return images_; }
    void setSegmentImages(const QStringList &imageNames) {
        setSegments(imageNames, segmentLabels());
    }
    QStringList segmentLabels() const;
    void setSegmentLabels(const QStringList &labels) { setSegments(images_, labels); }
    void setLabel(int32_t segment, const QString &label);
    void setSegmentEnabled(int32_t segment, bool enabled);
    bool isSegmentEnabled(int32_t segment) const;
    /// The size at which segment images are drawn.
    void setImageSize(const QSize &size);
    /// Choices (the default) or commands; set before the segments or after, it applies to all.
    void setKind(segmentKind kind);
    segmentKind kind() const { return kind_; }
    /// The segment's name for a screen reader and its tooltip (an image-only segment has no
    /// other words).
    void setSegmentName(int32_t segment, const QString &name);
    /// The button of a segment (tests click it), or null.
    QToolButton *segmentButton(int32_t segment) const;

    int32_t segmentCount() const override;
    QString imageName(int32_t segment) const override;
    void setImageName(int32_t segment, const QString &name) override;
    QString label(int32_t segment) const override;
    int32_t selectedSegment() const override { return selected_; }
    void setSelectedSegment(int32_t segment) override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return QWidget::isEnabled(); }
    void setHidden(bool hidden) override;
    bool isHidden() const override { return QWidget::isHidden(); }

Q_SIGNALS:
    /// The user chose a segment (not sent for changes made in code).
    void segmentClicked(int segment);
    /// A segment's image changed (pause turned to play...): its name may follow.
    void segmentImageChanged(int segment, const QString &image);

private:
    void showSelection();
    /// A segment's button as its kind wants it: checkable and exclusive, or a plain button.
    void applyKind(QToolButton *button) const;
    QList<QToolButton *> buttons_;
    segmentKind kind_ = segmentKind::choice;
    QStringList images_;
    QSize imageSize_{16, 16};
    int32_t selected_ = -1;
};
