// The window's images: every name the window uses ships as a vector drawing (no embedded
// bitmap), draws at any scale factor, and every text key the window's forms and code use has
// an English and a French translation.
#include "dialogs/images.h"
#include "testEnv.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>

#include <gtest/gtest.h>

namespace {

// Names that the controller and the window set on their controls.
const QStringList usedNames{QStringLiteral("dndSd"),         QStringLiteral("dndSdOff"),
                            QStringLiteral("puce"),          QStringLiteral("puceCurrent"),
                            QStringLiteral("puceSuccess"),   QStringLiteral("puceFailure"),
                            QStringLiteral("puceKept"),      QStringLiteral("iconImovieNo_min"),
                            QStringLiteral("iconFcpNo_min"), QStringLiteral("fpsHalf_min"),
                            QStringLiteral("fpsHalfNo_min"), QStringLiteral("fpsSlow_min"),
                            QStringLiteral("fpsSlowNo_min"), QStringLiteral("btPause"),
                            QStringLiteral("btPlay"),        QStringLiteral("btStop"),
                            QStringLiteral("btPauseHud"),    QStringLiteral("btPlayHud"),
                            QStringLiteral("btStopHud"),     QStringLiteral("iconImovieNo"),
                            QStringLiteral("iconFcpNo"),     QStringLiteral("fpsHalf"),
                            QStringLiteral("fpsHalfNo"),     QStringLiteral("iconImovie"),
                            QStringLiteral("iconFcp"),       QStringLiteral("color0"),
                            QStringLiteral("color3"),        QStringLiteral("alertNote"),
                            QStringLiteral("alertCritical"), QStringLiteral("alertWarning"),
                            QStringLiteral("alertQuestion")};

int opaquePixels(const QImage &image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0) {
                ++count;
            }
        }
    }
    return count;
}

} // namespace

TEST(Images, EveryUsedNameShipsAsAVectorDrawing) {
    const QStringList shipped = imageNames();
    for (const QString &name : usedNames) {
        EXPECT_TRUE(shipped.contains(name)) << name.toStdString();
    }
    for (const QString &name : shipped) {
        const QString path = imagePathStr(name);
        ASSERT_FALSE(path.isEmpty()) << name.toStdString();
        EXPECT_TRUE(QSvgRenderer(path).isValid()) << name.toStdString();
        const QByteArray svg = readBytes(path);
        EXPECT_FALSE(svg.contains("<image")) << name.toStdString() << " embeds a bitmap";
    }
    EXPECT_TRUE(imagePathStr(QStringLiteral("noSuchImage")).isEmpty());
    EXPECT_TRUE(imagePathStr(QStringLiteral("../images/dndSd")).isEmpty());
    EXPECT_TRUE(imageNamed(QStringLiteral("noSuchImage")).isNull());
}

TEST(Images, DrawnAtTheScaleAskedFor) {
    for (const QString &name : usedNames) {
        const QPixmap one = imagePixmap(name, QSize(16, 16), 1.0);
        const QPixmap two = imagePixmap(name, QSize(16, 16), 2.0);
        ASSERT_FALSE(one.isNull()) << name.toStdString();
        EXPECT_EQ(one.size(), QSize(16, 16));
        EXPECT_EQ(two.size(), QSize(32, 32));
        EXPECT_DOUBLE_EQ(two.devicePixelRatio(), 2.0);
        // Drawn afresh at the double size, not the small picture blown up.
        const QImage small = one.toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage large = two.toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_GT(opaquePixels(small), 0) << name.toStdString();
        EXPECT_GT(opaquePixels(large), 2 * opaquePixels(small)) << name.toStdString();
        EXPECT_NE(large, small.scaled(32, 32).convertToFormat(QImage::Format_ARGB32))
            << name.toStdString();
    }
    // Icons draw for the size and ratio of the widget.
    const QIcon icon = imageNamed(QStringLiteral("btPause"));
    EXPECT_EQ(icon.pixmap(QSize(24, 24), 3.0).size(), QSize(72, 72));
    EXPECT_EQ(imageDefaultSize(QStringLiteral("dndSd")), QSize(160, 160));
}

// Keys of the window's forms ("@@key" in .ui files and in code) and lookups in its code have
// both languages.
TEST(Images, EveryKeyOfTheWindowIsTranslated) {
    const QString dir = QStringLiteral(FLUXARO_SOURCE_DIR "/resources/translations/");
    const QSet<QString> en =
        translationKeys(dir + QStringLiteral("fluxaro_en.ts")).value("Localized");
    const QSet<QString> fr =
        translationKeys(dir + QStringLiteral("fluxaro_fr.ts")).value("Localized");
    const QRegularExpression formKey(QStringLiteral("@@([A-Za-z0-9_]+)"));
    const QRegularExpression lookup(
        QStringLiteral("localizedStr\\(\\s*QStringLiteral\\(\\s*\"([^\"]+)\"\\s*\\)"));
    QSet<QString> used;
    QDirIterator it(QStringLiteral(FLUXARO_SOURCE_DIR "/src/gui"),
                    {QStringLiteral("*.ui"), QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString text = QString::fromUtf8(readBytes(it.next()));
        for (auto m = formKey.globalMatch(text); m.hasNext();) {
            used.insert(m.next().captured(1));
        }
        for (auto m = lookup.globalMatch(text); m.hasNext();) {
            const QString key = m.next().captured(1);
            if (!key.contains(QLatin1Char('%'))) {
                used.insert(key);
            }
        }
    }
    // Keys built from a number.
    for (int i = 0; i < 3; ++i) {
        used.insert(QStringLiteral("prefCaption%1").arg(i));
        used.insert(QStringLiteral("prefSpeedCaption%1").arg(i));
    }
    used.remove(QStringLiteral("key")); // the word in comments: "@@key"
    EXPECT_GT(used.size(), 30);
    for (const QString &key : used) {
        EXPECT_TRUE(en.contains(key)) << key.toStdString() << " has no English text";
        EXPECT_TRUE(fr.contains(key)) << key.toStdString() << " has no French text";
    }
}
