#include "ecran.h"

#include "platform/log.h"

int ecranScreenIndex(const QRectF &window, const QList<QRectF> &screens) {
    const double left = window.x();
    const double right = window.x() + window.width();
    const double top = window.y() + window.height();
    for (int i = 0; i < screens.size(); ++i) {
        const QRectF &s = screens[i];
        if (s.x() < left && s.x() + s.width() > left && s.y() + s.height() > top) {
            return i;
        }
    }
    for (int i = 0; i < screens.size(); ++i) {
        const QRectF &s = screens[i];
        if (s.x() > left && s.x() < right && s.x() + s.width() > right) {
            return i;
        }
    }
    return -1;
}

std::optional<QRectF> ecranFrame(const QRectF &window, const QString &edge, double size,
                                 const QList<QRectF> &screens, double menuBarHeight) {
    const QString e = edge.toLower();
    if (e.isEmpty() || size == 0) {
        return std::nullopt;
    }
    logDebug(QStringLiteral("ecran               - deb"));
    const double room = size + 50;
    QRectF desired = window;
    if (e == QLatin1String("l")) {
        desired.setX(window.x() - room);
    } else if (e == QLatin1String("b")) {
        desired.setY(window.y() - room);
    } else if (e == QLatin1String("r")) {
        desired.setWidth(window.width() + room);
    } else if (e == QLatin1String("t")) {
        desired.setHeight(window.height() + room);
    } else {
        return std::nullopt;
    }
    // setX/setY keep the far edge: the width or height grew by the room.
    logDebug(QStringLiteral("window current size:  %1x %2, x=%3, y=%4")
                 .arg(window.width(), 0, 'f', 0)
                 .arg(window.height(), 0, 'f', 0)
                 .arg(window.x(), 0, 'f', 0)
                 .arg(window.y(), 0, 'f', 0));
    logDebug(QStringLiteral("window desired size:  %1x %2, x=%3, y=%4")
                 .arg(desired.width(), 0, 'f', 0)
                 .arg(desired.height(), 0, 'f', 0)
                 .arg(desired.x(), 0, 'f', 0)
                 .arg(desired.y(), 0, 'f', 0));
    for (int i = 0; i < screens.size(); ++i) {
        logDebug(QStringLiteral("screen #%1      size: %2x%3, x=%4, y=%5")
                     .arg(i)
                     .arg(screens[i].width(), 0, 'f', 0)
                     .arg(screens[i].height(), 0, 'f', 0)
                     .arg(screens[i].x(), 0, 'f', 0)
                     .arg(screens[i].y(), 0, 'f', 0));
    }
    const int index = ecranScreenIndex(window, screens);
    if (index < 0) {
        return std::nullopt;
    }
    const QRectF &screen = screens[index];
    QRectF frame = window;
    if (e == QLatin1String("l")) {
        if (screen.x() > desired.x()) {
            frame.moveLeft(screen.x() + room);
        }
    } else if (e == QLatin1String("b")) {
        if (screen.y() > desired.y()) {
            frame.moveTop(screen.y() + room);
        }
    } else if (e == QLatin1String("r")) {
        if (desired.x() + desired.width() > screen.x() + screen.width()) {
            frame.moveLeft(screen.x() + screen.width() - room - window.width());
        }
    } else if (desired.y() + desired.height() > screen.y() + screen.height()) {
        double y = screen.y() + screen.height() - room - window.height();
        if (index == 0) {
            y -= menuBarHeight;
        }
        frame.moveTop(y);
    }
    logDebug(QStringLiteral("ecran               - fin"));
    return frame;
}

QRectF ecranFlip(const QRectF &rect, double firstScreenHeight) {
    return QRectF(rect.x(), firstScreenHeight - rect.y() - rect.height(), rect.width(),
                  rect.height());
}
