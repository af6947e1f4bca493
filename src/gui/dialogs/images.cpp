#include "dialogs/images.h"

#include "platform/resources.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <memory>

namespace {

// One renderer per image, read once: the files don't change while the program runs.
QSvgRenderer *rendererFor(const QString &name) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    const auto found = renderers.constFind(name);
    if (found != renderers.constEnd()) {
        return found->get();
    }
    const QString path = imagePathStr(name);
    std::shared_ptr<QSvgRenderer> renderer;
    if (!path.isEmpty()) {
        renderer = std::make_shared<QSvgRenderer>(path);
        if (!renderer->isValid()) {
            renderer.reset();
        }
    }
    renderers.insert(name, renderer);
    return renderer.get();
}

void paintInto(QSvgRenderer *renderer, QPainter *painter, const QRect &rect, bool faded) {
    const QSizeF box = renderer->viewBoxF().size();
    QSizeF drawn =
        box.isEmpty() ? QSizeF(rect.size()) : box.scaled(rect.size(), Qt::KeepAspectRatio);
    const QRectF target(rect.x() + (rect.width() - drawn.width()) / 2.0,
                        rect.y() + (rect.height() - drawn.height()) / 2.0, drawn.width(),
                        drawn.height());
    painter->save();
    if (faded) {
        painter->setOpacity(0.4);
    }
    renderer->render(painter, target);
    painter->restore();
}

// Draws the SVG for whatever size and scale the widget asks, instead of scaling one bitmap.
class svgIconEngine : public QIconEngine {
public:
    explicit svgIconEngine(QString name) : name_(std::move(name)) {}

    // Drawn from the picture made for the device's scale: the table and the drop area repaint
    // their images often, and drawing the SVG again each time costs more than the frame allows.
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap picture = scaledPixmap(
            QSize(qRound(rect.width() * scale), qRound(rect.height() * scale)), mode, state, scale);
        if (!picture.isNull()) {
            painter->drawPixmap(rect.topLeft(), picture);
        }
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `size` is in device pixels (QIcon::pixmap passes the logical size times the scale).
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        QSvgRenderer *renderer = rendererFor(name_);
        if (renderer == nullptr || size.isEmpty()) {
            return {};
        }
        const bool faded = mode == QIcon::Disabled;
        const QString key = QStringLiteral("fluxaroSvg/%1/%2x%3/%4/%5")
                                .arg(name_)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(faded ? 1 : 0)
                                .arg(scale);
        QPixmap pixmap;
        if (QPixmapCache::find(key, &pixmap)) {
            return pixmap;
        }
        pixmap = QPixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            paintInto(renderer, &painter, QRect(QPoint(0, 0), pixmap.size()), faded);
        }
        pixmap.setDevicePixelRatio(scale);
        QPixmapCache::insert(key, pixmap);
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override {
        QSvgRenderer *renderer = rendererFor(name_);
        if (renderer == nullptr) {
            return {};
        }
        return renderer->defaultSize().scaled(size, Qt::KeepAspectRatio);
    }

    QString key() const override { return QStringLiteral("fluxaroSvg"); }
    QIconEngine *clone() const override { return new svgIconEngine(name_); }
    QString iconName() override { return name_; }

private:
    QString name_;
};

QString imagesFolder() {
    return resourceFilePathStr(QStringLiteral("images"));
}

} // namespace

QString imagePathStr(const QString &name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
        return {};
    }
    const QString path = imagesFolder() + QLatin1Char('/') + name + QStringLiteral(".svg");
    return QFileInfo(path).isFile() ? path : QString();
}

QStringList imageNames() {
    QStringList names;
    const QFileInfoList files =
        QDir(imagesFolder()).entryInfoList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    for (const QFileInfo &file : files) {
        names << file.completeBaseName();
    }
    return names;
}

QIcon imageNamed(const QString &name) {
    if (rendererFor(name) == nullptr) {
        return {};
    }
    return QIcon(new svgIconEngine(name));
}

QPixmap imagePixmap(const QString &name, const QSize &logicalSize, qreal devicePixelRatio) {
    if (logicalSize.isEmpty() || devicePixelRatio <= 0) {
        return {};
    }
    svgIconEngine engine(name);
    const QSize deviceSize(qRound(logicalSize.width() * devicePixelRatio),
                           qRound(logicalSize.height() * devicePixelRatio));
    return engine.scaledPixmap(deviceSize, QIcon::Normal, QIcon::Off, devicePixelRatio);
}

QSize imageDefaultSize(const QString &name) {
    QSvgRenderer *renderer = rendererFor(name);
    return renderer != nullptr ? renderer->defaultSize() : QSize();
}
