#include "guiControls.h"

#include "controller/exportPreset.h"
#include "guiImages.h"
#include "platform/constants.h"
#include "settings/prefs.h"

#include <QHBoxLayout>

#include <algorithm>
#include <cmath>

void guiButton::setOn(bool on) {
    on_ = on;
    if (button_ != nullptr) {
        button_->setProperty("on", on);
        if (button_->isCheckable()) {
            button_->setChecked(on);
        }
    }
}

void guiButton::setEnabled(bool enabled) {
    if (button_ != nullptr) {
        button_->setEnabled(enabled);
    }
}

bool guiButton::isEnabled() const {
    return button_ != nullptr && button_->isEnabled();
}

void guiButton::setHidden(bool hidden) {
    if (button_ != nullptr) {
        button_->setHidden(hidden);
    }
}

bool guiButton::isHidden() const {
    return button_ == nullptr || button_->isHidden();
}

guiSegmented::guiSegmented(QWidget *parent) : QWidget(parent) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void guiSegmented::setSegments(const QStringList &imageNames, const QStringList &labels) {
    qDeleteAll(buttons_);
    buttons_.clear();
    images_ = imageNames;
    labels_ = labels;
    while (labels_.size() < images_.size()) {
        labels_ << QString();
    }
    selected_ = -1;
    for (int32_t i = 0; i < images_.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setObjectName(QStringLiteral("segment%1").arg(i));
        connect(button, &QToolButton::clicked, this, [this, i] {
            setSelectedSegment(i);
            if (activated) {
                activated(i);
            }
        });
        layout()->addWidget(button);
        buttons_ << button;
        refresh(i);
    }
}

void guiSegmented::refresh(int32_t segment) {
    QToolButton *button = buttons_.value(segment);
    if (button == nullptr) {
        return;
    }
    const QString image = images_.value(segment);
    const QIcon icon = guiIcon(image);
    const QString text = imageText ? imageText(image) : QString();
    const QString label = labels_.value(segment);
    button->setIcon(icon);
    button->setText(!label.isEmpty() ? label : (icon.isNull() ? text : QString()));
    button->setToolTip(!text.isEmpty() ? text : label);
    button->setToolButtonStyle(button->text().isEmpty() ? Qt::ToolButtonIconOnly
                                                        : Qt::ToolButtonTextBesideIcon);
    button->setChecked(segment == selected_);
}

void guiSegmented::setImageName(int32_t segment, const QString &name) {
    if (segment < 0 || segment >= images_.size()) {
        return;
    }
    images_[segment] = name;
    refresh(segment);
}

void guiSegmented::setSelectedSegment(int32_t segment) {
    selected_ = (segment >= 0 && segment < buttons_.size()) ? segment : -1;
    for (int32_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setChecked(i == selected_);
    }
}

void guiSegmented::setSegmentEnabled(int32_t segment, bool enabled) {
    if (QToolButton *button = buttons_.value(segment)) {
        button->setEnabled(enabled);
    }
}

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

void guiTextField::setText(const QString &text) {
    if (label_ != nullptr) {
        label_->setText(text);
    } else if (edit_ != nullptr) {
        edit_->setText(text);
    }
}

QString guiTextField::text() const {
    if (label_ != nullptr) {
        return label_->text();
    }
    return edit_ != nullptr ? edit_->text() : QString();
}

void guiTextField::setHidden(bool hidden) {
    if (label_ != nullptr) {
        label_->setHidden(hidden);
    } else if (edit_ != nullptr) {
        edit_->setHidden(hidden);
    }
}

bool guiTextField::isHidden() const {
    if (label_ != nullptr) {
        return label_->isHidden();
    }
    return edit_ == nullptr || edit_->isHidden();
}

int32_t guiCorrectedFormat(int32_t stored, bool aicAvailable, bool proresAvailable) {
    int32_t format = stored;
    if (format == outAic && !aicAvailable) {
        format = proresAvailable ? outProres : outRewrap;
    }
    if (format == outProres && !proresAvailable) {
        format = aicAvailable ? outAic : outRewrap;
    }
    return format;
}

storedSegmented::storedSegmented(const QString &key, const QStringList &labels, int32_t absentValue)
    : key_(key), labels_(labels), absent_(absentValue) {}

int32_t storedSegmented::selectedSegment() const {
    const QVariant stored = prefRead2(key_);
    int32_t value = absent_;
    if (!stored.isNull() && !stored.toString().isEmpty()) {
        value = stored.toInt();
    }
    if (correctFormat) {
        value = guiCorrectedFormat(value, getAIC() != 0, getPRORES() != 0);
    }
    return std::clamp(value, 0, static_cast<int32_t>(labels_.size()) - 1);
}

void storedSegmented::setSelectedSegment(int32_t segment) {
    if (segment >= 0) {
        prefWrite(key_, segment);
    }
}

void storedCheckBox::setOn(bool on) {
    prefWrite(key_, on ? 1 : 0);
}

bool storedCheckBox::isOn() const {
    return prefRead2(key_).toInt() != 0;
}
