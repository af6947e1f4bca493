#include "dialogs/autoLocalize.h"

#include "dialogs/segmentedControl.h"
#include "platform/log.h"
#include "settings/localisation.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTranslator>
#include <QVariant>

#include <algorithm>

namespace {

// The translation of a key text (the "@@" removed), or nothing for a plain text.
std::optional<QString> translated(const QString &text) {
    if (!FVAutoLocalizeIsKey(text)) {
        return std::nullopt;
    }
    const QStringList translations = FVAutoLocalizeStrings({text});
    return translations.value(0, text.mid(2));
}

int tagOf(const QWidget *widget) {
    bool ok = false;
    const int tag = widget->property("tag").toInt(&ok);
    return ok ? tag : 0;
}

bool inLayout(const QWidget *widget) {
    const QWidget *parent = widget->parentWidget();
    if (parent == nullptr) {
        return false;
    }
    if (parent->layout() != nullptr && parent->layout()->indexOf(widget) >= 0) {
        return true;
    }
    const QList<QLayout *> layouts = parent->findChildren<QLayout *>();
    return std::any_of(layouts.begin(), layouts.end(),
                       [widget](const QLayout *l) { return l->indexOf(widget) >= 0; });
}

// "&&" is a shown ampersand, a single "&" marks the shortcut and takes no room.
QString shownText(const QString &title) {
    QString shown = title;
    shown.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    shown.remove(QLatin1Char('&'));
    shown.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return shown;
}

void fitButton(QPushButton *button) {
    if (tagOf(button) == autoLocalizeKeepFrameTag) {
        return;
    }
    const int width =
        autoLocalizeButtonWidth(button->fontMetrics().horizontalAdvance(shownText(button->text())));
    if (inLayout(button)) {
        button->setMinimumWidth(width);
        return;
    }
    const QString anchor = button->property("anchor").toString();
    if (anchor == QLatin1String("none")) {
        return;
    }
    const QRect old = button->geometry();
    const int growth = width - old.width();
    if (anchor == QLatin1String("right")) {
        button->setGeometry(old.right() + 1 - width, old.y(), width, old.height());
        // Only a button that grew pushes its neighbours; a narrower one leaves them in place.
        if (growth > 0) {
            autoLocalizeMoveNeighbours(button, growth);
        }
    } else {
        button->setGeometry(old.x(), old.y(), width, old.height());
        if (growth > 0) {
            autoLocalizeMoveNeighbours(button, -growth);
        }
    }
}

int localizeTable(QTableView *table) {
    int count = 0;
    if (auto *widgetTable = qobject_cast<QTableWidget *>(table)) {
        for (int c = 0; c < widgetTable->columnCount(); ++c) {
            QTableWidgetItem *item = widgetTable->horizontalHeaderItem(c);
            if (item == nullptr) {
                continue;
            }
            if (const auto text = translated(item->text())) {
                item->setText(*text);
                ++count;
            }
        }
    } else if (QAbstractItemModel *model = table->model()) {
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString header = model->headerData(c, Qt::Horizontal).toString();
            if (const auto text = translated(header)) {
                if (model->setHeaderData(c, Qt::Horizontal, *text)) {
                    ++count;
                }
            }
        }
    }
    table->horizontalHeader()->viewport()->update();
    return count;
}

// The widget's own texts; *walkChildren tells whether its children are views of their own.
int localizeOwnTexts(QWidget *view, bool *walkChildren) {
    int count = 0;
    *walkChildren = true;
    if (auto *box = qobject_cast<QGroupBox *>(view)) {
        if (const auto text = translated(box->title())) {
            box->setTitle(*text);
            ++count;
        }
    } else if (auto *combo = qobject_cast<QComboBox *>(view)) {
        for (int i = 0; i < combo->count(); ++i) {
            if (const auto text = translated(combo->itemText(i))) {
                combo->setItemText(i, *text);
                ++count;
            }
        }
        *walkChildren = false;
    } else if (auto *button = qobject_cast<QAbstractButton *>(view)) {
        if (const auto text = translated(button->text())) {
            button->setText(*text);
            ++count;
            if (auto *push = qobject_cast<QPushButton *>(button)) {
                fitButton(push);
            }
        }
    } else if (auto *edit = qobject_cast<QLineEdit *>(view)) {
        if (const auto text = translated(edit->text())) {
            edit->setText(*text);
            ++count;
        }
        if (const auto text = translated(edit->placeholderText())) {
            edit->setPlaceholderText(*text);
            ++count;
        }
        *walkChildren = false;
    } else if (auto *label = qobject_cast<QLabel *>(view)) {
        if (const auto text = translated(label->text())) {
            label->setText(*text);
            ++count;
        }
    } else if (auto *table = qobject_cast<QTableView *>(view)) {
        count += localizeTable(table);
        *walkChildren = false;
    } else if (auto *segments = qobject_cast<segmentedControl *>(view)) {
        for (int32_t i = 0; i < segments->segmentCount(); ++i) {
            if (const auto text = translated(segments->label(i))) {
                segments->setLabel(i, *text);
                ++count;
            }
        }
        *walkChildren = false;
    } else if (qobject_cast<QMenuBar *>(view) != nullptr ||
               qobject_cast<QMenu *>(view) != nullptr) {
        // Menus are walked as menus (FVAutoLocalizeMenu), not as views.
        *walkChildren = false;
    }
    return count;
}

} // namespace

bool loadQtTranslations(const QString &language) {
    static QTranslator *loaded = nullptr;
    if (loaded != nullptr) {
        QCoreApplication::removeTranslator(loaded);
        delete loaded;
        loaded = nullptr;
    }
    if (language.isEmpty() || language == QLatin1String("en") ||
        QCoreApplication::instance() == nullptr) {
        return false;
    }
    auto *translator = new QTranslator;
    if (!translator->load(QStringLiteral("qtbase_") + language,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        logStr(QStringLiteral("qt translations      :-( qtbase_%1 in %2")
                   .arg(language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    loaded = translator;
    return true;
}

int autoLocalizeButtonWidth(int textWidth) {
    return std::max(textWidth + 38, 96);
}

int FVAutoLocalizeView(QWidget *view) {
    if (view == nullptr) {
        return 0;
    }
    int count = 0;
    if (auto *tabs = qobject_cast<QTabWidget *>(view)) {
        for (int i = 0; i < tabs->count(); ++i) {
            count += FVAutoLocalizeView(tabs->widget(i));
        }
        for (int i = 0; i < tabs->count(); ++i) {
            if (const auto text = translated(tabs->tabText(i))) {
                tabs->setTabText(i, *text);
                ++count;
            }
        }
        return count;
    }
    bool walkChildren = true;
    count += localizeOwnTexts(view, &walkChildren);
    if (walkChildren) {
        // A copy: fitting a button never adds or removes children, but stay safe.
        const QObjectList children = view->children();
        for (QObject *child : children) {
            if (auto *widget = qobject_cast<QWidget *>(child);
                widget != nullptr && !widget->isWindow()) {
                count += FVAutoLocalizeView(widget);
            }
        }
    }
    return count;
}

int FVAutoLocalizeWindow(QWidget *window) {
    if (window == nullptr) {
        return 0;
    }
    int count = 0;
    if (const auto text = translated(window->windowTitle())) {
        window->setWindowTitle(*text);
        ++count;
    }
    return count + FVAutoLocalizeView(window);
}

int FVAutoLocalizeMenu(QMenu *menu) {
    if (menu == nullptr) {
        return 0;
    }
    int count = 0;
    if (const auto text = translated(menu->title())) {
        menu->setTitle(*text);
        ++count;
    }
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        if (action->isSeparator()) {
            continue;
        }
        if (QMenu *submenu = action->menu()) {
            // The submenu's own title is the item's text: localising it names the item.
            count += FVAutoLocalizeMenu(submenu);
            continue;
        }
        if (const auto text = translated(action->text())) {
            action->setText(*text);
            ++count;
        }
    }
    return count;
}

int FVAutoLocalizeMenuBar(QMenuBar *bar) {
    if (bar == nullptr) {
        return 0;
    }
    int count = 0;
    const QList<QAction *> actions = bar->actions();
    for (QAction *action : actions) {
        if (QMenu *menu = action->menu()) {
            count += FVAutoLocalizeMenu(menu);
        } else if (const auto text = translated(action->text())) {
            action->setText(*text);
            ++count;
        }
    }
    return count;
}

void autoLocalizeMoveNeighbours(QWidget *button, int change) {
    QWidget *parent = button != nullptr ? button->parentWidget() : nullptr;
    if (parent == nullptr || change == 0) {
        return;
    }
    // Rows are compared bottom-up, as the rule is written: y grows upwards from the parent's
    // bottom edge.
    const int height = parent->height();
    const QRect b = button->geometry();
    const int bMinY = height - (b.y() + b.height());
    const int bMaxY = height - b.y();
    const auto isNeighbour = [&](const QWidget *view) {
        if (view == button || view->isWindow() || tagOf(view) == autoLocalizeKeepFrameTag) {
            return false;
        }
        const QRect v = view->geometry();
        const int vMinY = height - (v.y() + v.height());
        const int vMaxY = height - v.y();
        const int tabMargin = qobject_cast<const QTabWidget *>(view) != nullptr ? 8 : 0;
        const bool sameRow = vMinY >= bMinY ? vMinY <= bMaxY - tabMargin : vMaxY >= bMinY;
        const bool onSide = change > 0 ? v.x() < b.x() : v.x() > b.x();
        return sameRow && onSide;
    };
    QList<QWidget *> neighbours;
    for (QObject *child : parent->children()) {
        auto *view = qobject_cast<QWidget *>(child);
        if (view != nullptr && !inLayout(view) && isNeighbour(view)) {
            neighbours << view;
        }
    }
    int minX = b.width();
    for (const QWidget *view : neighbours) {
        minX = std::min(minX, view->x());
    }
    for (QWidget *view : neighbours) {
        const QRect v = view->geometry();
        const int newX = v.x() - change;
        if (newX >= minX) {
            view->move(newX, v.y());
        } else {
            view->setGeometry(minX, v.y(), std::max(0, v.width() - (minX - newX)), v.height());
        }
    }
}
