#include "helpWindow.h"

#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "settings/localisation.h"
#include "update/supportMail.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

#include <algorithm>

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
    // The movie whose slides are in the user's language, else the English one.
    QString moviePath = resourceFilePathStr(
        QStringLiteral("help_%1.m4v").arg(localizedStr(QStringLiteral("D_Langue"))));
    if (!QFileInfo(moviePath).isFile()) {
        moviePath = resourceFilePathStr(QStringLiteral("help.m4v"));
    }
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
    placeOnScreen();
    show();
    raise();
    activateWindow();
    player_->play();
}

void helpWindow::placeOnScreen() {
    // Over the main window, on its screen, the whole window inside the screen's free area.
    const QWidget *over = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    const QScreen *where = over != nullptr && over->screen() != nullptr
                               ? over->screen()
                               : QGuiApplication::primaryScreen();
    if (where == nullptr) {
        return;
    }
    const QRect area = where->availableGeometry();
    // The window manager's frame: known once shown, else a usual title bar and border.
    const QSize frame = QSize(2 * 4, 32 + 4);
    const QSize largest = area.size() - frame;
    setMaximumSize(largest);
    view_->setMinimumSize(QSize(640, 360).boundedTo(largest - QSize(0, 40)));
    resize(sizeHint().expandedTo(QSize(800, 490)).boundedTo(largest));
    QPoint centre = over != nullptr ? over->frameGeometry().center() : area.center();
    QRect placed(QPoint(), size() + frame);
    placed.moveCenter(centre);
    placed.moveLeft(
        std::max(area.left(), std::min(placed.left(), area.right() + 1 - placed.width())));
    placed.moveTop(
        std::max(area.top(), std::min(placed.top(), area.bottom() + 1 - placed.height())));
    move(placed.topLeft());
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
