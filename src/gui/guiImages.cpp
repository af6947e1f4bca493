#include "guiImages.h"

#include "platform/resources.h"

#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

QString guiImagePathStr(const QString &name) {
    return resourceFilePathStr(QStringLiteral("images/%1.svg").arg(name));
}

QIcon guiIcon(const QString &name) {
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd()) {
        return *found;
    }
    const QString path = guiImagePathStr(name);
    // QIcon renders an SVG file at each requested size, so it stays sharp at every scale.
    const QIcon icon = (name.isEmpty() || !QFileInfo(path).isFile()) ? QIcon() : QIcon(path);
    cache.insert(name, icon);
    return icon;
}

QPixmap guiPixmap(const QString &name, const QSize &size, qreal devicePixelRatio) {
    const QString path = guiImagePathStr(name);
    if (name.isEmpty() || !QFileInfo(path).isFile() || size.isEmpty()) {
        return QPixmap();
    }
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return QPixmap();
    }
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // Keep the picture's own proportions inside the box.
        QSizeF drawn = renderer.defaultSize();
        drawn.scale(QSizeF(pixmap.size()), Qt::KeepAspectRatio);
        const QRectF target((pixmap.width() - drawn.width()) / 2,
                            (pixmap.height() - drawn.height()) / 2, drawn.width(), drawn.height());
        renderer.render(&painter, target);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}
