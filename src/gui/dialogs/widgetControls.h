// The core's small control interfaces over ordinary widgets: a button or check box as uiButton
// (on = checked), a label or line edit as uiTextField, a progress bar as a determinate or busy
// bar or as a spinner. They hold a guarded pointer: once the
// widget is gone they do nothing and read as empty.
#pragma once

#include "frontApi/uiControls.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>

#include <functional>

/// On is checked for a check box; a push button is never made checkable, its on state is
/// kept beside it (`onChanged` tells it).
class widgetButton : public uiButton {
public:
    explicit widgetButton(QAbstractButton *button) : button_(button) {}
    /// Told every setOn, after the state changed.
    std::function<void(bool on)> onChanged;
    void setOn(bool on) override;
    bool isOn() const override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;
    void setHidden(bool hidden) override;
    bool isHidden() const override;

private:
    QPointer<QAbstractButton> button_;
    bool on_ = false;
};

class widgetTextField : public uiTextField {
public:
    explicit widgetTextField(QLabel *label) : label_(label) {}
    explicit widgetTextField(QLineEdit *edit) : edit_(edit) {}
    void setText(const QString &text) override;
    QString text() const override;
    void setHidden(bool hidden) override;
    bool isHidden() const override;

private:
    QWidget *widget() const;
    QPointer<QLabel> label_;
    QPointer<QLineEdit> edit_;
};

/// A determinate or busy progress bar. Values are kept as given and shown as thousandths of
/// the way from the minimum to the maximum; an indeterminate bar is busy while it animates and
/// an empty still bar otherwise.
class widgetProgressBar : public uiProgressBar {
public:
    explicit widgetProgressBar(QProgressBar *bar) : bar_(bar) {}
    void setIndeterminate(bool indeterminate) override;
    void setMinValue(double value) override;
    void setMaxValue(double value) override;
    double maxValue() const override { return max_; }
    void setValue(double value) override;
    double value() const override { return value_; }
    void setAnimating(bool animating) override;

private:
    void apply();
    QPointer<QProgressBar> bar_;
    double min_ = 0;
    double max_ = 100;
    double value_ = 0;
    bool indeterminate_ = false;
    bool animating_ = false;
};

/// A spinner: a busy bar shown only while it turns.
class widgetSpinner : public uiProgressBar {
public:
    explicit widgetSpinner(QProgressBar *bar);
    void setIndeterminate(bool) override {}
    void setMinValue(double) override {}
    void setMaxValue(double) override {}
    double maxValue() const override { return 0; }
    void setValue(double) override {}
    double value() const override { return 0; }
    void setAnimating(bool animating) override;
    bool isAnimating() const { return animating_; }

private:
    QPointer<QProgressBar> bar_;
    bool animating_ = false;
};
