#include "dialogs/colorThemes.h"

#include "dialogs/images.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

struct themeColours {
    QString window;
    QString panel;
    QString base;
    QString text;
    QString dim;
    QString accent;
    QString accentText;
    QString border;
};

// Every selector of a theme's sheet, scoped to the application's own widgets: a widget marked
// with colorThemeMark and what it holds. Qt's own dialogs opened over the window (file
// dialogs) are not marked and keep their native look, toolbar icons included.
QString scoped(const QString &selectors) {
    const QString mark = QStringLiteral("*[fluxaroTheme=\"true\"]");
    QStringList out;
    for (const QString &selector : selectors.split(QLatin1Char(','))) {
        const QString one = selector.trimmed();
        out << mark + QLatin1Char(' ') + one;
        if (one == QLatin1String("QWidget")) {
            out << mark; // the marked widget's own background
        }
    }
    return out.join(QStringLiteral(", "));
}

QString sheetFor(const themeColours &c) {
    const QColor accent(c.accent);
    // The tick on the accent colour: white, or dark where the accent itself is light.
    const QString tick = accent.lightness() > 170 ? QStringLiteral("checkMarkDark")
                                                  : QStringLiteral("checkMarkLight");
    const QList<std::pair<QString, QString>> rules{
        {QStringLiteral("QWidget"), QStringLiteral("background-color: %1; color: %4;")},
        {QStringLiteral("QGroupBox"),
         QStringLiteral("border: 1px solid %8; border-radius: 6px; margin-top: 1.2em; "
                        "padding-top: 0.4em;")},
        {QStringLiteral("QGroupBox::title"),
         QStringLiteral("subcontrol-origin: margin; left: 8px; padding: 0 4px;")},
        {QStringLiteral("QLineEdit, QComboBox, QTableView, QListView, QTreeView, QTextBrowser"),
         QStringLiteral("background-color: %3; color: %4; border: 1px solid %8; border-radius: "
                        "4px; selection-background-color: %6; selection-color: %7;")},
        {QStringLiteral("QHeaderView::section"),
         QStringLiteral("background-color: %2; color: %4; border: none; border-right: 1px "
                        "solid %8; padding: 3px 6px;")},
        {QStringLiteral("QPushButton, QToolButton"),
         QStringLiteral("background-color: %2; color: %4; border: 1px solid %8; "
                        "border-radius: 5px; padding: 4px 10px;")},
        // The default button: an accent edge. The keyboard's button: a thicker accent ring,
        // the padding giving back the width it takes, so nothing moves.
        {QStringLiteral("QPushButton:default"), QStringLiteral("border: 1px solid %6;")},
        {QStringLiteral("QPushButton:focus, QToolButton:focus, QComboBox:focus, QLineEdit:focus"),
         QStringLiteral("border: 2px solid %6;")},
        {QStringLiteral("QPushButton:focus, QToolButton:focus"),
         QStringLiteral("padding: 3px 9px;")},
        {QStringLiteral("QPushButton:disabled, QToolButton:disabled, QLabel:disabled, "
                        "QCheckBox:disabled"),
         QStringLiteral("color: %5;")},
        {QStringLiteral("QToolButton:checked"), QStringLiteral("background-color: %6; color: %7;")},
        // Check boxes drawn by the theme: a box that shows on dark colours too.
        {QStringLiteral("QCheckBox::indicator"),
         QStringLiteral("width: 14px; height: 14px; border: 1px solid %5; border-radius: 3px; "
                        "background-color: %3;")},
        {QStringLiteral("QCheckBox::indicator:checked"),
         QStringLiteral("background-color: %6; border-color: %6; image: url(%9);")},
        {QStringLiteral("QCheckBox::indicator:focus"), QStringLiteral("border: 2px solid %6;")},
        {QStringLiteral("QProgressBar"),
         QStringLiteral("background-color: %3; border: 1px solid %8; border-radius: 4px; "
                        "text-align: center;")},
        {QStringLiteral("QProgressBar::chunk"),
         QStringLiteral("background-color: %6; border-radius: 3px;")},
        {QStringLiteral("QMenuBar, QMenu"), QStringLiteral("background-color: %2; color: %4;")},
        {QStringLiteral("QMenu::item:selected, QMenuBar::item:selected"),
         QStringLiteral("background-color: %6; color: %7;")},
    };
    QString sheet;
    for (const auto &[selectors, body] : rules) {
        sheet += scoped(selectors) + QStringLiteral(" { ") + body + QStringLiteral(" }\n");
    }
    return sheet.arg(c.window, c.panel, c.base, c.text, c.dim, c.accent, c.accentText, c.border,
                     imagePathStr(tick));
}

QString mix(const QColor &a, const QColor &b, double t) {
    const auto part = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return QColor(part(a.red(), b.red()), part(a.green(), b.green()), part(a.blue(), b.blue()))
        .name();
}

themeColours desktopColours(const QPalette &p) {
    const QColor window = p.color(QPalette::Active, QPalette::Window);
    const QColor text = p.color(QPalette::Active, QPalette::WindowText);
    return {window.name(),
            p.color(QPalette::Active, QPalette::Button).name(),
            p.color(QPalette::Active, QPalette::Base).name(),
            text.name(),
            mix(text, window, 0.55),
            p.color(QPalette::Active, QPalette::Highlight).name(),
            p.color(QPalette::Active, QPalette::HighlightedText).name(),
            mix(text, window, 0.75)};
}

} // namespace

void colorThemeMark(QWidget *root) {
    if (root != nullptr) {
        root->setProperty("fluxaroTheme", true);
    }
}

bool paletteIsDark(const QPalette &palette) {
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}

QString colorThemeStyleSheet(int theme, const QPalette &desktop) {
    switch (theme) {
    case 1:
        return sheetFor({QStringLiteral("#f6f7f9"), QStringLiteral("#e9ecf0"),
                         QStringLiteral("#ffffff"), QStringLiteral("#1d2127"),
                         QStringLiteral("#98a0aa"), QStringLiteral("#2f7de1"),
                         QStringLiteral("#ffffff"), QStringLiteral("#c3c9d1")});
    case 2:
        return sheetFor({QStringLiteral("#2d3036"), QStringLiteral("#3a3e45"),
                         QStringLiteral("#23262b"), QStringLiteral("#e8eaee"),
                         QStringLiteral("#7d848e"), QStringLiteral("#5aa0f2"),
                         QStringLiteral("#0d1117"), QStringLiteral("#50555e")});
    case 3:
        return sheetFor({QStringLiteral("#1d1f23"), QStringLiteral("#2b2e34"),
                         QStringLiteral("#15171a"), QStringLiteral("#eef0f3"),
                         QStringLiteral("#707680"), QStringLiteral("#e6e9ee"),
                         QStringLiteral("#15171a"), QStringLiteral("#3e424a")});
    default:
        return sheetFor(desktopColours(desktop));
    }
}

QString colorThemeImageName(int theme) {
    return QStringLiteral("color%1").arg(theme >= 0 && theme < colorThemeCount ? theme : 0);
}

bool colorThemeUsesHudImages(int theme, const QPalette &desktop) {
    switch (theme) {
    case 1:
        return false;
    case 2:
    case 3:
        return true;
    default:
        return paletteIsDark(desktop);
    }
}

colorThemeKeeper::colorThemeKeeper(QWidget *window)
    : QObject(window), window_(window), desktop_(QApplication::palette()) {
    if (window != nullptr) {
        window->installEventFilter(this);
    }
}

void colorThemeKeeper::setTheme(int theme) {
    theme_ = theme >= 0 && theme < colorThemeCount ? theme : 0;
    apply();
}

bool colorThemeKeeper::eventFilter(QObject *watched, QEvent *event) {
    // The application's palette is the desktop's; a widget's own palette changes with the style
    // sheet set here and is not a desktop change.
    if (watched == window_ && event->type() == QEvent::ApplicationPaletteChange) {
        desktop_ = QApplication::palette();
        if (theme_ == 0) {
            apply();
        }
    }
    return QObject::eventFilter(watched, event);
}

void colorThemeKeeper::apply() {
    if (window_ == nullptr) {
        return;
    }
    const QString sheet = colorThemeStyleSheet(theme_, desktop_);
    if (window_->styleSheet() != sheet) {
        window_->setStyleSheet(sheet);
    }
    Q_EMIT themeApplied(theme_, colorThemeUsesHudImages(theme_, desktop_));
}
