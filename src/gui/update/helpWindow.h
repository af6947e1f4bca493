// The help window: the help movie ("help.m4v" of the resource folder) played with Qt
// Multimedia, with the subtitle track of the user's language; the Help command shows it and
// hides it again. When the media back end cannot decode the movie (GStreamer without its
// plugins, or without an H.264 decoder), the window says so in place of the movie, and no
// player is made: a player without its plugins shows a black picture or crashes.
#pragma once

#include <QList>
#include <QMediaFormat>
#include <QWidget>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QStackedWidget;
class QVideoWidget;

/// Whether the help movie (H.264 in an MPEG-4 file) can be played, from the video codecs the
/// media back end decodes. The file format is not asked: Qt 6.4's GStreamer back end lists
/// no MPEG-4 file format among those it decodes, although its demuxer reads them.
enum class helpMovieVerdict { Playable, NoVideoDecoder };
helpMovieVerdict helpMovieVerdictOf(const QList<QMediaFormat::VideoCodec> &decodedVideoCodecs);
/// The same from the media back end of this process.
helpMovieVerdict helpMovieVerdictOfBackEnd();

class helpWindow : public QWidget {
public:
    explicit helpWindow(QWidget *parent = nullptr);

    /// The Help command: shows the window and plays the movie from the start (or says why it
    /// cannot), or, when shown, silences and stops the movie and hides the window.
    void iba_menuHelp();
    /// The window's close action: hides it like the Help command.
    void iba_helpQtClose() { iba_menuHelp(); }

    /// The subtitle track switched on for the loaded movie (index among the movie's subtitle
    /// tracks, -1 for none).
    int activeSubtitleTrack() const;
    /// The movie's player: made by the first Help command whose movie the back end can play,
    /// null before and when it cannot.
    QMediaPlayer *player() const { return player_; }
    QString caption() const;
    /// What the window shows in place of the movie; empty while the movie is shown.
    QString notice() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    /// Escape closes the window, as the Help command does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void makePlayer();
    void showNotice(const QString &text);
    void chooseSubtitle();
    /// Sizes the window to its screen's free area and places it there, over the main window.
    void placeOnScreen();

    QStackedWidget *pages_ = nullptr;
    QLabel *notice_ = nullptr;
    QLabel *caption_ = nullptr;
    QVideoWidget *view_ = nullptr;
    QMediaPlayer *player_ = nullptr;
    QAudioOutput *audio_ = nullptr;
};
