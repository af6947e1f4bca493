// Plays the help movie in a help window on the offscreen platform, as the Help command does,
// and prints what the window shows: "notice: TEXT" when it says it cannot play the movie,
// "frame: WxH" when the movie's first picture reached the window, "nothing" when neither came
// within 15 s. The help window test runs it with the media back end's plugins taken away
// (GStreamer's plugin path and registry in the environment): a crash is its exit status.
#include "helpWindow.h"
#include "settings/localisation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QVideoFrame>
#include <QVideoSink>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    loadTranslations(QStringLiteral("en"));
    helpWindow help;
    help.iba_menuHelp();
    QSize frame;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000 && help.notice().isEmpty() && frame.isEmpty()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (help.player() != nullptr && help.player()->videoSink() != nullptr) {
            const QVideoFrame current = help.player()->videoSink()->videoFrame();
            if (current.isValid()) {
                frame = current.size();
            }
        }
    }
    if (!help.notice().isEmpty()) {
        std::printf("notice: %s\n", help.notice().toUtf8().constData());
    } else if (!frame.isEmpty()) {
        std::printf("frame: %dx%d\n", frame.width(), frame.height());
    } else {
        std::printf("nothing\n");
    }
    help.iba_menuHelp();
    return 0;
}
