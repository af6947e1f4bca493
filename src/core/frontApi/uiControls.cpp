#include "frontApi/uiControls.h"

void plainButton::notify() const {
    if (changed) {
        changed();
    }
}
void plainButton::setOn(bool on) {
    on_ = on;
    notify();
}
void plainButton::setEnabled(bool enabled) {
    enabled_ = enabled;
    notify();
}
void plainButton::setHidden(bool hidden) {
    hidden_ = hidden;
    notify();
}

plainSegmented::plainSegmented(const QStringList &imageNames, const QStringList &labels)
    : images_(imageNames), labels_(labels) {
    while (labels_.size() < images_.size()) {
        labels_ << QString();
    }
}
void plainSegmented::notify() const {
    if (changed) {
        changed();
    }
}
void plainSegmented::setImageName(int32_t segment, const QString &name) {
    if (segment >= 0 && segment < images_.size()) {
        images_[segment] = name;
        notify();
    }
}
void plainSegmented::setSelectedSegment(int32_t segment) {
    selected_ = (segment >= 0 && segment < images_.size()) ? segment : -1;
    notify();
}
void plainSegmented::setEnabled(bool enabled) {
    enabled_ = enabled;
    notify();
}
void plainSegmented::setHidden(bool hidden) {
    hidden_ = hidden;
    notify();
}

void plainProgressBar::notify() const {
    if (changed) {
        changed();
    }
}
void plainProgressBar::setIndeterminate(bool indeterminate) {
    indeterminate_ = indeterminate;
    notify();
}
void plainProgressBar::setMinValue(double value) {
    min_ = value;
    notify();
}
void plainProgressBar::setMaxValue(double value) {
    max_ = value;
    notify();
}
void plainProgressBar::setValue(double value) {
    value_ = value;
    notify();
}
void plainProgressBar::setAnimating(bool animating) {
    animating_ = animating;
    notify();
}

void plainTextField::notify() const {
    if (changed) {
        changed();
    }
}
void plainTextField::setText(const QString &text) {
    text_ = text;
    notify();
}
void plainTextField::setHidden(bool hidden) {
    hidden_ = hidden;
    notify();
}

void plainDropArea::notify() const {
    if (changed) {
        changed();
    }
}
void plainDropArea::setImageName(const QString &name) {
    image_ = name;
    notify();
}
void plainDropArea::setCaptionHidden(bool hidden) {
    captionHidden_ = hidden;
    notify();
}
void plainDropArea::setActionTextHidden(bool hidden) {
    actionHidden_ = hidden;
    notify();
}

void plainDrawer::open() {
    open_ = true;
    if (changed) {
        changed();
    }
}
void plainDrawer::close() {
    open_ = false;
    if (changed) {
        changed();
    }
}
