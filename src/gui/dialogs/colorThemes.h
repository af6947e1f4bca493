// The colour themes of the main window ("prefColor"), each a style sheet: 0 follows the
// desktop (its palette's own colours, light or dark as the desktop is), 1 light, 2 dark, 3 a
// dark panel look whose controls use the "Hud" images. The preferences' colour control shows
// the image "color<n>" for theme n.
#pragma once

#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QString>

class QWidget;

constexpr int colorThemeCount = 4;

/// Marks a widget as the application's own: the theme's style sheet (set on the main window)
/// applies to it and to what it holds, never to Qt's dialogs opened over the window.
void colorThemeMark(QWidget *root);

/// True when the palette is a dark one (its window colour is darker than its text).
bool paletteIsDark(const QPalette &palette);

/// The style sheet of a theme; theme 0 is built from `desktop`. An unknown theme is theme 0.
QString colorThemeStyleSheet(int theme, const QPalette &desktop);

/// The image of a theme for the colour control ("color0"...).
QString colorThemeImageName(int theme);

/// True when the theme's controls take the "Hud" images (light marks on a dark control).
bool colorThemeUsesHudImages(int theme, const QPalette &desktop);

/// Keeps a window in a theme: sets its style sheet now, and again when the desktop's palette
/// changes while theme 0 is chosen (switching the desktop to dark switches the window).
class colorThemeKeeper : public QObject {
    Q_OBJECT

public:
    explicit colorThemeKeeper(QWidget *window);
    void setTheme(int theme);
    int theme() const { return theme_; }

Q_SIGNALS:
    /// The style sheet was set (the window may switch its control images).
    void themeApplied(int theme, bool hudImages);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply();
    QPointer<QWidget> window_;
    QPalette desktop_;
    int theme_ = 0;
};
