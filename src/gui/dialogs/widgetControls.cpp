#include "dialogs/widgetControls.h"

void widgetButton::setOn(bool on) {
    if (button_ != nullptr) {
        if (!button_->isCheckable()) {
            button_->setCheckable(true);
        }
        button_->setChecked(on);
    }
}

bool widgetButton::isOn() const {
    return button_ != nullptr && button_->isChecked();
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
