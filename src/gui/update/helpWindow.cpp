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
#include <QKeyEvent>
#include <QLabel>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QScreen>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

#include <algorithm>

helpMovieVerdict helpMovieVerdictOf(const QList<QMediaFormat::VideoCodec> &decodedVideoCodecs) {
    if (!decodedVideoCodecs.contains(QMediaFormat::VideoCodec::H264)) {
        return helpMovieVerdict::NoVideoDecoder;
    }
    return helpMovieVerdict::Playable;
}

helpMovieVerdict helpMovieVerdictOfBackEnd() {
    QMediaFormat any;
    return helpMovieVerdictOf(any.supportedVideoCodecs(QMediaFormat::Decode));
}

helpWindow::helpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), pages_(new QStackedWidget(this)), notice_(new QLabel(this)),
      caption_(new QLabel(this)) {
    notice_->setTextFormat(Qt::PlainText);
    notice_->setWordWrap(true);
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setMargin(24);
    pages_->addWidget(notice_);
    pages_->setMinimumSize(640, 360);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_, 1);
    layout->addWidget(caption_);
}

void helpWindow::makePlayer() {
    view_ = new QVideoWidget(pages_);
    pages_->addWidget(view_);
    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    player_->setAudioOutput(audio_);
    player_->setVideoOutput(view_);
    player_->setLoops(1);
    // The tracks are known once the movie is loaded.
    QObject::connect(player_, &QMediaPlayer::tracksChanged, this, [this] { chooseSubtitle(); });
    // Some back ends take the choice only once the movie is loaded.
    QObject::connect(
        player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia) {
                chooseSubtitle();
            }
        });
    // A movie the back end fails on (a plugin missing for a stream) is said, not left black.
    QObject::connect(player_, &QMediaPlayer::errorOccurred, this,
                     [this](QMediaPlayer::Error error, const QString &text) {
                         if (error == QMediaPlayer::NoError) {
                             return;
                         }
                         logStr(QStringLiteral("help movie          : %1").arg(text));
                         player_->stop();
                         showNotice(localizedStr(QStringLiteral("helpMovieUnplayable")));
                     });
}

void helpWindow::showNotice(const QString &text) {
    notice_->setText(text);
    pages_->setCurrentWidget(notice_);
}

void helpWindow::iba_menuHelp() {
    logStr(QStringLiteral("help"));
    if (player_ != nullptr && !player_->source().isEmpty()) {
        audio_->setVolume(0);
        player_->stop();
    }
    if (isVisible()) {
        if (player_ != nullptr) {
            player_->setSource(QUrl());
        }
        hide();
        return;
    }
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
    const QString caption =
        QStringLiteral("%1 : %2").arg(infoPlistStr(QStringLiteral("CFBundleExecutable")),
                                      localizedStr(QStringLiteral("menuHelp")));
    caption_->setText(caption);
    setWindowTitle(caption);
    placeOnScreen();
    const helpMovieVerdict verdict =
        player_ != nullptr ? helpMovieVerdict::Playable : helpMovieVerdictOfBackEnd();
    if (verdict != helpMovieVerdict::Playable) {
        logStr(QStringLiteral("help movie          : no H.264 decoder in the media back end"));
        showNotice(localizedStr(QStringLiteral("helpMovieUnplayable")));
    } else {
        if (player_ == nullptr) {
            makePlayer();
        }
        notice_->clear();
        pages_->setCurrentWidget(view_);
        audio_->setVolume(1.0F);
        player_->setSource(QUrl::fromLocalFile(moviePath));
        logStr(QStringLiteral("loading…"));
        chooseSubtitle();
    }
    show();
    raise();
    activateWindow();
    if (verdict == helpMovieVerdict::Playable) {
        player_->play();
    }
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
    pages_->setMinimumSize(QSize(640, 360).boundedTo(largest - QSize(0, 40)));
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
    return player_ != nullptr ? player_->activeSubtitleTrack() : -1;
}

QString helpWindow::caption() const {
    return caption_->text();
}

QString helpWindow::notice() const {
    return pages_->currentWidget() == notice_ ? notice_->text() : QString();
}

void helpWindow::closeEvent(QCloseEvent *event) {
    event->ignore();
    iba_helpQtClose();
}

void helpWindow::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        iba_helpQtClose();
        return;
    }
    QWidget::keyPressEvent(event);
}
