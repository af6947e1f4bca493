// The card watch in a process of its own, on the system bus its environment names (each test
// gives it a bus, or none): it prints one line per typed value it is given, as the window would
// receive them:
//   state watching|noBus|noUdisks
//   mounted start|new privateAvchd|avchd|dcimMovies LABEL|MOUNT-POINT
//   gone MOUNT-POINT
// Its arguments are the movie extensions a DCIM folder is compared with.
#include "desktop/cardWatch.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void say(const QString &line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

QString layoutName(cameraLayout layout) {
    switch (layout) {
    case cameraLayout::privateAvchd:
        return QStringLiteral("privateAvchd");
    case cameraLayout::avchd:
        return QStringLiteral("avchd");
    case cameraLayout::dcimMovies:
        return QStringLiteral("dcimMovies");
    case cameraLayout::none:
        break;
    }
    return QStringLiteral("none");
}

QString stateName(cardWatchState state) {
    switch (state) {
    case cardWatchState::watching:
        return QStringLiteral("watching");
    case cardWatchState::noBus:
        return QStringLiteral("noBus");
    case cardWatchState::noUdisks:
        return QStringLiteral("noUdisks");
    case cardWatchState::starting:
        break;
    }
    return QStringLiteral("starting");
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    cardWatch watch(QCoreApplication::arguments().mid(1));
    watch.hooks.stateChanged = [](cardWatchState state) {
        say(QStringLiteral("state ") + stateName(state));
    };
    watch.hooks.mounted = [&watch](const cardMountedValue &value) {
        say(QStringLiteral("mounted %1 %2 %3|%4")
                .arg(value.atStart ? QStringLiteral("start") : QStringLiteral("new"),
                     layoutName(value.card.layout), value.card.label, value.card.mountPoint));
        // The list the front can ask for holds it from now on.
        bool listed = false;
        for (const cardMountedValue &card : watch.cards()) {
            listed = listed || card.objectPath == value.objectPath;
        }
        if (!listed) {
            say(QStringLiteral("unlisted ") + value.card.mountPoint);
        }
    };
    watch.hooks.gone = [](const cardGoneValue &value) {
        say(QStringLiteral("gone ") + value.mountPoint);
    };
    watch.start();
    return QCoreApplication::exec();
}
