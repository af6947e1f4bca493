#include "dialogs/segmentedControl.h"

#include "dialogs/accessibility.h"
#include "dialogs/images.h"

#include <QHBoxLayout>
#include <QToolButton>

segmentedControl::segmentedControl(QWidget *parent) : QWidget(parent) {
    accessibilityInstall();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void segmentedControl::setSegments(const QStringList &imageNamesIn, const QStringList &labelsIn) {
    // Copies: the arguments may be this control's own lists.
    const QStringList imageNames = imageNamesIn;
    const QStringList labels = labelsIn;
    qDeleteAll(buttons_);
    buttons_.clear();
    images_.clear();
    selected_ = -1;
    const qsizetype count = std::max(imageNames.size(), labels.size());
    for (qsizetype i = 0; i < count; ++i) {
        auto *button = new segmentToolButton(this);
        applyKind(button);
        button->setAutoRaise(false);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(imageSize_);
        button->setObjectName(QStringLiteral("segment%1").arg(i));
        const auto segment = static_cast<int32_t>(i);
        connect(button, &QToolButton::clicked, this, [this, segment] {
            setSelectedSegment(segment);
            Q_EMIT segmentClicked(segment);
        });
        layout()->addWidget(button);
        buttons_ << button;
        images_ << QString();
        setImageName(segment, imageNames.value(i));
        setLabel(segment, labels.value(i));
    }
    showSelection();
}

QStringList segmentedControl::segmentLabels() const {
    QStringList labels;
    for (const QToolButton *button : buttons_) {
        labels << button->text();
    }
    return labels;
}

void segmentedControl::setLabel(int32_t segment, const QString &label) {
    if (QToolButton *button = segmentButton(segment)) {
        button->setText(label);
        button->setToolButtonStyle(label.isEmpty() ? Qt::ToolButtonIconOnly
                                   : images_.value(segment).isEmpty()
                                       ? Qt::ToolButtonTextOnly
                                       : Qt::ToolButtonTextBesideIcon);
    }
}

void segmentedControl::setSegmentEnabled(int32_t segment, bool enabled) {
    if (QToolButton *button = segmentButton(segment)) {
        button->setEnabled(enabled);
    }
}

bool segmentedControl::isSegmentEnabled(int32_t segment) const {
    const QToolButton *button = segmentButton(segment);
    return button != nullptr && button->isEnabled();
}

void segmentedControl::setImageSize(const QSize &size) {
    imageSize_ = size;
    for (QToolButton *button : buttons_) {
        button->setIconSize(size);
    }
}

QToolButton *segmentedControl::segmentButton(int32_t segment) const {
    return segment >= 0 && segment < buttons_.size() ? buttons_[segment] : nullptr;
}

int32_t segmentedControl::segmentCount() const {
    return static_cast<int32_t>(buttons_.size());
}

QString segmentedControl::imageName(int32_t segment) const {
    return images_.value(segment);
}

void segmentedControl::setImageName(int32_t segment, const QString &name) {
    QToolButton *button = segmentButton(segment);
    if (button == nullptr) {
        return;
    }
    const bool changed = images_[segment] != name;
    images_[segment] = name;
    button->setIcon(name.isEmpty() ? QIcon() : imageNamed(name));
    setLabel(segment, button->text());
    if (changed) {
        Q_EMIT segmentImageChanged(segment, name);
    }
}

void segmentedControl::setKind(segmentKind kind) {
    kind_ = kind;
    for (QToolButton *button : buttons_) {
        applyKind(button);
    }
    showSelection();
}

void segmentedControl::applyKind(QToolButton *button) const {
    // Exclusive checkable buttons are radio buttons to a screen reader; a command is a button
    // (checkable, it would be read as a check box that stays ticked).
    const bool choice = kind_ == segmentKind::choice;
    if (!choice) {
        button->setChecked(false);
    }
    button->setCheckable(choice);
    button->setAutoExclusive(choice);
}

void segmentedControl::setSegmentName(int32_t segment, const QString &name) {
    if (QToolButton *button = segmentButton(segment)) {
        button->setAccessibleName(name);
        button->setToolTip(name);
    }
}

QString segmentedControl::label(int32_t segment) const {
    const QToolButton *button = segmentButton(segment);
    return button != nullptr ? button->text() : QString();
}

void segmentedControl::setSelectedSegment(int32_t segment) {
    selected_ = segment >= 0 && segment < buttons_.size() ? segment : -1;
    showSelection();
}

void segmentedControl::setEnabled(bool enabled) {
    QWidget::setEnabled(enabled);
}

void segmentedControl::setHidden(bool hidden) {
    QWidget::setHidden(hidden);
}

void segmentedControl::showSelection() {
    for (qsizetype i = 0; i < buttons_.size(); ++i) {
        QToolButton *button = buttons_[i];
        if (!button->isCheckable()) {
            continue;
        }
        // An exclusive button can't be unchecked by itself: "none selected" is a state of the
        // control too.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(i == selected_);
        button->setAutoExclusive(exclusive);
    }
}
