#include "helpWindow.h"

#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "settings/localisation.h"
#include "update/supportMail.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

helpWindow::helpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), view_(new QVideoWidget(this)), caption_(new QLabel(this)),
      player_(new QMediaPlayer(this)), audio_(new QAudioOutput(this)) {
    player_->setAudioOutput(audio_);
    player_->setVideoOutput(view_);
    player_->setLoops(1);
    view_->setMinimumSize(640, 360);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    layout->addWidget(caption_);
    // The tracks are known once the movie is loaded.
    QObject::connect(player_, &QMediaPlayer::tracksChanged, this, [this] { chooseSubtitle(); });
    // Some back ends take the choice only once the movie is loaded.
    QObject::connect(
        player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia) {
                chooseSubtitle();
            }
        });
}

void helpWindow::iba_menuHelp() {
    logStr(QStringLiteral("help"));
    if (!player_->source().isEmpty()) {
        audio_->setVolume(0);
        player_->stop();
    }
    if (isVisible()) {
        player_->setSource(QUrl());
        hide();
        return;
    }
    audio_->setVolume(1.0F);
    const QString moviePath = resourceFilePathStr(QStringLiteral("help.m4v"));
    if (!QFileInfo(moviePath).isFile()) {
        logStr(QStringLiteral("moviePathStr        : qt loading failure"));
        return;
    }
    logStr(QStringLiteral("moviePathStr        : %1").arg(moviePath));
    player_->setSource(QUrl::fromLocalFile(moviePath));
    logStr(QStringLiteral("loading…"));
    chooseSubtitle();
    const QString caption =
        QStringLiteral("%1 : %2").arg(infoPlistStr(QStringLiteral("CFBundleExecutable")),
                                      localizedStr(QStringLiteral("menuHelp")));
    caption_->setText(caption);
    setWindowTitle(caption);
    show();
    raise();
    activateWindow();
    player_->play();
}

void helpWindow::chooseSubtitle() {
    const auto tracks = static_cast<int32_t>(player_->subtitleTracks().size());
    player_->setActiveSubtitleTrack(
        helpSubtitleTrackIndex(localizedStr(QStringLiteral("D_Langue")), tracks));
}

int helpWindow::activeSubtitleTrack() const {
    return player_->activeSubtitleTrack();
}

QString helpWindow::caption() const {
    return caption_->text();
}

void helpWindow::closeEvent(QCloseEvent *event) {
    event->ignore();
    iba_helpQtClose();
}
