#include "dialogs/accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

/// A segment of a choice: a radio button (Qt reads an exclusive checkable button as a check
/// box), named by its label, pressed to choose it.
class choiceSegmentAccessible : public QAccessibleWidget {
public:
    explicit choiceSegmentAccessible(QAbstractButton *button)
        : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QAbstractButton *button() const { return static_cast<QAbstractButton *>(object()); }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        return state;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            if (!button()->accessibleName().isEmpty()) {
                return button()->accessibleName();
            }
            const QString label = accessibleNameOfLabel(button()->text());
            return label.isEmpty() ? button()->toolTip() : label;
        }
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &actionName) override {
        if (actionName == pressAction()) {
            if (button()->isEnabled()) {
                button()->click();
            }
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }
};

/// Qt asks for each class of an object's inheritance chain, the most derived first.
QAccessibleInterface *windowWidgetsFactory(const QString &className, QObject *object) {
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget == nullptr) {
        return nullptr;
    }
    // The generic interface names a widget by its accessible name, else by the label whose
    // buddy it is or the group box it sits in; its children stay those of the widget.
    if (className == QLatin1String("segmentToolButton")) {
        // A command segment (not checkable) is the push button Qt makes of it.
        auto *button = static_cast<QAbstractButton *>(widget);
        return button->isCheckable() && button->autoExclusive()
                   ? new choiceSegmentAccessible(button)
                   : nullptr;
    }
    if (className == QLatin1String("segmentedControl")) {
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    }
    if (className == QLatin1String("alertDialog")) {
        return new QAccessibleWidget(widget, QAccessible::AlertMessage);
    }
    return nullptr;
}

} // namespace

void accessibilityInstall() {
    static const bool installed = [] {
        QAccessible::installFactory(windowWidgetsFactory);
        return true;
    }();
    (void)installed;
}

QString accessibleNameOfLabel(const QString &labelText) {
    QString name;
    for (qsizetype i = 0; i < labelText.size(); ++i) {
        // "&&" is a literal '&'; a single '&' marks the mnemonic.
        if (labelText[i] == QLatin1Char('&')) {
            if (i + 1 < labelText.size() && labelText[i + 1] == QLatin1Char('&')) {
                name += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        name += labelText[i];
    }
    name = name.trimmed();
    if (name.endsWith(QLatin1Char(':'))) {
        name.chop(1);
    }
    return name.trimmed();
}
