// The controller's controls (frontApi/uiControls.h) over widgets. Each adapter drives a widget
// of the window; none owns it (the window does), except guiSegmented, which is the widget.
#pragma once

#include "frontApi/uiControls.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include <functional>

/// A push button; "on" (the Go button while a batch runs) shows as pressed.
class guiButton : public uiButton {
public:
    explicit guiButton(QAbstractButton *button) : button_(button) {}
    void setOn(bool on) override;
    bool isOn() const override { return on_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;
    void setHidden(bool hidden) override;
    bool isHidden() const override;

private:
    QAbstractButton *button_;
    bool on_ = false;
};

/// A segmented control: a row of joined tool buttons, each showing the picture of its image
/// name (its label, or the picture's text, when there is no picture). A click selects the
/// segment and calls `activated`.
class guiSegmented : public QWidget, public uiSegmented {
    Q_OBJECT

public:
    explicit guiSegmented(QWidget *parent = nullptr);
    /// Segments by image name and label; replaces the existing ones.
    void setSegments(const QStringList &imageNames, const QStringList &labels);
    /// Called after a click has selected a segment.
    std::function<void(int32_t segment)> activated;
    /// The text shown for an image name when its picture is missing, and as its tool tip.
    std::function<QString(const QString &imageName)> imageText;
    /// Per segment: enabled or not (the control as a whole is setEnabled).
    void setSegmentEnabled(int32_t segment, bool enabled);
    QToolButton *segmentButton(int32_t segment) const { return buttons_.value(segment); }

    int32_t segmentCount() const override { return static_cast<int32_t>(buttons_.size()); }
    QString imageName(int32_t segment) const override { return images_.value(segment); }
    void setImageName(int32_t segment, const QString &name) override;
    QString label(int32_t segment) const override { return labels_.value(segment); }
    int32_t selectedSegment() const override { return selected_; }
    void setSelectedSegment(int32_t segment) override;
    void setEnabled(bool enabled) override { QWidget::setEnabled(enabled); }
    bool isEnabled() const override { return QWidget::isEnabled(); }
    void setHidden(bool hidden) override { QWidget::setHidden(hidden); }
    bool isHidden() const override { return QWidget::isHidden(); }

private:
    void refresh(int32_t segment);
    QList<QToolButton *> buttons_;
    QStringList images_;
    QStringList labels_;
    int32_t selected_ = -1;
};

/// A determinate or busy progress bar. Values are kept as given and shown in thousandths.
class guiProgressBar : public uiProgressBar {
public:
    explicit guiProgressBar(QProgressBar *bar) : bar_(bar) {}
    void setIndeterminate(bool indeterminate) override;
    void setMinValue(double value) override;
    void setMaxValue(double value) override;
    double maxValue() const override { return max_; }
    void setValue(double value) override;
    double value() const override { return value_; }
    void setAnimating(bool animating) override;

private:
    void apply();
    QProgressBar *bar_;
    double min_ = 0;
    double max_ = 100;
    double value_ = 0;
    bool indeterminate_ = false;
};

/// A spinner: a busy bar shown only while it turns.
class guiSpinner : public uiProgressBar {
public:
    explicit guiSpinner(QProgressBar *bar);
    void setIndeterminate(bool) override {}
    void setMinValue(double) override {}
    void setMaxValue(double) override {}
    double maxValue() const override { return 0; }
    void setValue(double) override {}
    double value() const override { return 0; }
    void setAnimating(bool animating) override;
    bool isAnimating() const { return animating_; }

private:
    QProgressBar *bar_;
    bool animating_ = false;
};

/// A text field over a label or a line edit.
class guiTextField : public uiTextField {
public:
    explicit guiTextField(QLabel *label) : label_(label) {}
    explicit guiTextField(QLineEdit *edit) : edit_(edit) {}
    void setText(const QString &text) override;
    QString text() const override;
    void setHidden(bool hidden) override;
    bool isHidden() const override;

private:
    QLabel *label_ = nullptr;
    QLineEdit *edit_ = nullptr;
};

/// The row defaults of new sources (output format, frame-rate mode, multichannel sound) as the
/// preferences store holds them: read when a row is added, so a change made in the preferences
/// window counts from the next source on. A stored format the system can't write falls back as
/// the preferences window shows it (Apple Intermediate Codec to ProRes, either to rewrap).
class storedSegmented : public uiSegmented {
public:
    storedSegmented(const QString &key, const QStringList &labels, int32_t absentValue);
    int32_t segmentCount() const override { return static_cast<int32_t>(labels_.size()); }
    QString imageName(int32_t) const override { return QString(); }
    void setImageName(int32_t, const QString &) override {}
    QString label(int32_t segment) const override { return labels_.value(segment); }
    int32_t selectedSegment() const override;
    void setSelectedSegment(int32_t segment) override;
    void setEnabled(bool) override {}
    bool isEnabled() const override { return true; }
    void setHidden(bool) override {}
    bool isHidden() const override { return true; }
    /// For the output format: apply the codec fallbacks.
    bool correctFormat = false;

private:
    QString key_;
    QStringList labels_;
    int32_t absent_;
};

class storedCheckBox : public uiButton {
public:
    explicit storedCheckBox(const QString &key) : key_(key) {}
    void setOn(bool on) override;
    bool isOn() const override;
    void setEnabled(bool) override {}
    bool isEnabled() const override { return true; }
    void setHidden(bool) override {}
    bool isHidden() const override { return true; }

private:
    QString key_;
};

/// The output format the preferences window shows for a stored one on this system.
int32_t guiCorrectedFormat(int32_t stored, bool aicAvailable, bool proresAvailable);
