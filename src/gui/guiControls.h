// The controller's progress controls (frontApi/uiControls.h) over widgets: the conversion's bar
// and the analysis spinner. Each adapter drives a widget of the window, which owns it.
#pragma once

#include "frontApi/uiControls.h"

#include <QProgressBar>

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
