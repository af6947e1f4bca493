// The core's small control interfaces over ordinary widgets: a button or check box as uiButton
// (on = checked), a label or line edit as uiTextField. They hold a guarded pointer: once the
// widget is gone they do nothing and read as empty.
#pragma once

#include "frontApi/uiControls.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

class widgetButton : public uiButton {
public:
    explicit widgetButton(QAbstractButton *button) : button_(button) {}
    void setOn(bool on) override;
    bool isOn() const override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;
    void setHidden(bool hidden) override;
    bool isHidden() const override;

private:
    QPointer<QAbstractButton> button_;
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
