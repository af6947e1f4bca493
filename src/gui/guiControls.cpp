#include "guiControls.h"

#include <algorithm>
#include <cmath>

void guiProgressBar::apply() {
    if (bar_ == nullptr) {
        return;
    }
    if (indeterminate_) {
        bar_->setRange(0, 0);
        return;
    }
    const int maximum = static_cast<int>(std::lround((max_ - min_) * 1000));
    bar_->setRange(0, std::max(maximum, 1));
    bar_->setValue(static_cast<int>(std::lround((std::clamp(value_, min_, max_) - min_) * 1000)));
}

void guiProgressBar::setIndeterminate(bool indeterminate) {
    indeterminate_ = indeterminate;
    apply();
}

void guiProgressBar::setMinValue(double value) {
    min_ = value;
    apply();
}

void guiProgressBar::setMaxValue(double value) {
    max_ = value;
    apply();
}

void guiProgressBar::setValue(double value) {
    value_ = value;
    apply();
}

void guiProgressBar::setAnimating(bool animating) {
    if (animating && !indeterminate_) {
        return;
    }
    apply();
}

guiSpinner::guiSpinner(QProgressBar *bar) : bar_(bar) {
    if (bar_ != nullptr) {
        bar_->setRange(0, 0);
        bar_->setTextVisible(false);
        bar_->setVisible(false);
    }
}

void guiSpinner::setAnimating(bool animating) {
    animating_ = animating;
    if (bar_ != nullptr) {
        bar_->setVisible(animating);
    }
}
