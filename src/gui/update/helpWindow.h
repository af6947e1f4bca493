// The help window: the help movie ("help.m4v" of the resource folder) played with Qt
// Multimedia, with the subtitle track of the user's language; the Help command shows it and
// hides it again.
#pragma once

#include <QWidget>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QVideoWidget;

class helpWindow : public QWidget {
public:
    explicit helpWindow(QWidget *parent = nullptr);

    /// The Help command: shows the window and plays the movie from the start, or, when shown,
    /// silences and stops the movie and hides the window.
    void iba_menuHelp();
    /// The window's close action: hides it like the Help command.
    void iba_helpQtClose() { iba_menuHelp(); }

    /// The subtitle track switched on for the loaded movie (index among the movie's subtitle
    /// tracks, -1 for none).
    int activeSubtitleTrack() const;
    QMediaPlayer *player() const { return player_; }
    QString caption() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void chooseSubtitle();
    /// Sizes the window to its screen's free area and places it there, over the main window.
    void placeOnScreen();

    QVideoWidget *view_ = nullptr;
    QLabel *caption_ = nullptr;
    QMediaPlayer *player_ = nullptr;
    QAudioOutput *audio_ = nullptr;
};
