#include "dialogs/widgetControls.h"

#include <algorithm>
#include <cmath>

void widgetButton::setOn(bool on) {
    if (button_ == nullptr) {
        return;
    }
    // A push button stays a push button (a check box to a screen reader once checkable): its
    // state is kept here and told to whoever shows it.
    if (button_->isCheckable()) {
        button_->setChecked(on);
    }
    on_ = on;
    if (onChanged) {
        onChanged(on);
    }
}

bool widgetButton::isOn() const {
    if (button_ == nullptr) {
        return false;
    }
    return button_->isCheckable() ? button_->isChecked() : on_;
}

void widgetButton::setEnabled(bool enabled) {
    if (button_ != nullptr) {
        button_->setEnabled(enabled);
    }
}

bool widgetButton::isEnabled() const {
    return button_ != nullptr && button_->isEnabled();
}

void widgetButton::setHidden(bool hidden) {
    if (button_ != nullptr) {
        button_->setHidden(hidden);
    }
}

bool widgetButton::isHidden() const {
    return button_ == nullptr || button_->isHidden();
}

QWidget *widgetTextField::widget() const {
    if (label_ != nullptr) {
        return label_;
    }
    return edit_;
}

void widgetTextField::setText(const QString &text) {
    if (label_ != nullptr) {
        label_->setText(text);
    } else if (edit_ != nullptr) {
        edit_->setText(text);
    }
}

QString widgetTextField::text() const {
    if (label_ != nullptr) {
        return label_->text();
    }
    return edit_ != nullptr ? edit_->text() : QString();
}

void widgetTextField::setHidden(bool hidden) {
    if (QWidget *w = widget()) {
        w->setHidden(hidden);
    }
}

bool widgetTextField::isHidden() const {
    const QWidget *w = widget();
    return w == nullptr || w->isHidden();
}

void widgetProgressBar::apply() {
    if (bar_ == nullptr) {
        return;
    }
    if (indeterminate_) {
        bar_->setRange(0, animating_ ? 0 : 1);
        bar_->setValue(0);
        return;
    }
    // A fixed range: byte counts of a download would overflow the widget's int in thousandths.
    bar_->setRange(0, 1000);
    const double span = max_ - min_;
    const double fraction = span > 0 ? (std::clamp(value_, min_, max_) - min_) / span : 0;
    bar_->setValue(static_cast<int>(std::lround(fraction * 1000)));
}

void widgetProgressBar::setIndeterminate(bool indeterminate) {
    indeterminate_ = indeterminate;
    apply();
}

void widgetProgressBar::setMinValue(double value) {
    min_ = value;
    apply();
}

void widgetProgressBar::setMaxValue(double value) {
    max_ = value;
    apply();
}

void widgetProgressBar::setValue(double value) {
    value_ = value;
    apply();
}

void widgetProgressBar::setAnimating(bool animating) {
    animating_ = animating;
    apply();
}

widgetSpinner::widgetSpinner(QProgressBar *bar) : bar_(bar) {
    if (bar_ != nullptr) {
        bar_->setRange(0, 0);
        bar_->setTextVisible(false);
        bar_->setVisible(false);
    }
}

void widgetSpinner::setAnimating(bool animating) {
    animating_ = animating;
    if (bar_ != nullptr) {
        bar_->setVisible(animating);
    }
}
