#include "guiLocalize.h"

#include "settings/localisation.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

bool translate(QString &text) {
    if (!FVAutoLocalizeIsKey(text)) {
        return false;
    }
    text = localizedStr(text.mid(2));
    return true;
}

} // namespace

int guiLocalizeView(QWidget *view) {
    if (view == nullptr) {
        return 0;
    }
    int count = 0;
    QList<QWidget *> widgets = view->findChildren<QWidget *>();
    widgets.prepend(view);
    for (QWidget *widget : widgets) {
        QString text;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            text = label->text();
            if (translate(text)) {
                label->setText(text);
                ++count;
            }
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            text = button->text();
            if (translate(text)) {
                button->setText(text);
                ++count;
            }
        } else if (auto *box = qobject_cast<QGroupBox *>(widget)) {
            text = box->title();
            if (translate(text)) {
                box->setTitle(text);
                ++count;
            }
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            text = edit->placeholderText();
            if (translate(text)) {
                edit->setPlaceholderText(text);
                ++count;
            }
        }
        text = widget->windowTitle();
        if (widget->isWindow() && translate(text)) {
            widget->setWindowTitle(text);
            ++count;
        }
    }
    return count;
}
