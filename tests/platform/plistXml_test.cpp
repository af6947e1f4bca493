#include "platform/plistXml.h"

#include "testEnv.h"

#include <QBuffer>
#include <QDateTime>
#include <QRandomGenerator>
#include <QSize>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

std::optional<QVariantMap> roundTrip(const QVariantMap &dico, QByteArray *xml = nullptr) {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    if (!plistWrite(out, dico)) {
        return std::nullopt;
    }
    if (xml != nullptr) {
        *xml = bytes;
    }
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    return plistRead(in);
}

std::optional<QVariantMap> parse(const QByteArray &text) {
    QByteArray bytes = text;
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    return plistRead(in);
}

} // namespace

TEST(PlistXml, ValuesKeepTheirTypes) {
    const QDateTime date(QDate(2011, 6, 15), QTime(14, 30, 5), QTimeZone(7200));
    QVariantMap child;
    child.insert(QStringLiteral("v0_fps"), 50.0);
    child.insert(QStringLiteral("list"), QVariantList{1, QStringLiteral("two"), false});
    QVariantMap dico;
    dico.insert(QStringLiteral("int"), 2);
    dico.insert(QStringLiteral("big"), qlonglong(1) << 40);
    dico.insert(QStringLiteral("neg"), -7);
    dico.insert(QStringLiteral("real"), 29.97);
    dico.insert(QStringLiteral("whole real"), 2.0);
    dico.insert(QStringLiteral("text"), QStringLiteral("<a & b> \"é\" 'x'\n  spaced  "));
    dico.insert(QStringLiteral("empty"), QString(QLatin1String("")));
    dico.insert(QStringLiteral("yes"), true);
    dico.insert(QStringLiteral("no"), false);
    dico.insert(QStringLiteral("date"), date);
    dico.insert(QStringLiteral("bytes"), QByteArray("\0\1\2", 3));
    dico.insert(QStringLiteral("child"), child);
    dico.insert(QStringLiteral("emptyChild"), QVariantMap());
    dico.insert(QStringLiteral("/path/with:odd keys"), 1);

    QByteArray xml;
    const std::optional<QVariantMap> back = roundTrip(dico, &xml);
    ASSERT_TRUE(back.has_value()) << xml.toStdString();
    EXPECT_EQ(back->value(QStringLiteral("int")).typeId(), QMetaType::Int);
    EXPECT_EQ(back->value(QStringLiteral("big")).typeId(), QMetaType::LongLong);
    EXPECT_EQ(back->value(QStringLiteral("real")).typeId(), QMetaType::Double);
    EXPECT_EQ(back->value(QStringLiteral("whole real")).typeId(), QMetaType::Double);
    EXPECT_EQ(back->value(QStringLiteral("yes")).typeId(), QMetaType::Bool);
    EXPECT_EQ(back->value(QStringLiteral("date")).typeId(), QMetaType::QDateTime);
    EXPECT_EQ(back->value(QStringLiteral("child")).typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(back->value(QStringLiteral("date")).toDateTime(), date);
    EXPECT_EQ(*back, dico);
    // Human-readable: the values are there as text.
    EXPECT_TRUE(xml.contains("<integer>2</integer>"));
    EXPECT_TRUE(xml.contains("<real>29.97</real>"));
    EXPECT_TRUE(xml.contains("<date>2011-06-15T12:30:05Z</date>"));
}

// Texts XML can't carry as they are (a file name with an escape sequence or a carriage return)
// come back as they were written, beside plain ones; a lone surrogate, which no file name
// holds, is still written rather than failing the whole store.
TEST(PlistXml, AnyTextComesBack) {
    const QVariantMap values{
        {QStringLiteral("escape"), QStringLiteral("/in/a\x1b[31mred\rb.ts")},
        {QStringLiteral("bell"), QStringLiteral("x\ay\x7f")},
        {QStringLiteral("pair"), QString::fromUcs4(U"\U0001F3A5 \t\n ok")},
        {QStringLiteral("nested"), QVariantMap{{QStringLiteral("0"), QStringLiteral("a\x01b")}}}};
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::ReadWrite));
    ASSERT_TRUE(plistWrite(buffer, values));
    EXPECT_FALSE(buffer.data().contains("\x1b"));
    EXPECT_TRUE(buffer.data().contains("<string>\xf0\x9f\x8e\xa5")) << buffer.data().toStdString();
    buffer.seek(0);
    const std::optional<QVariantMap> back = plistRead(buffer);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, values);
    EXPECT_EQ(back->value(QStringLiteral("escape")).typeId(), QMetaType::QString);
    QBuffer lone;
    ASSERT_TRUE(lone.open(QIODevice::WriteOnly));
    EXPECT_TRUE(plistWrite(lone, {{QStringLiteral("lone"), QString(QChar(0xd800))}}));
}

TEST(PlistXml, UnknownTypesAreRefused) {
    QVariantMap dico;
    dico.insert(QStringLiteral("point"), QVariant::fromValue(QSize(1, 2)));
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    EXPECT_FALSE(plistWrite(out, dico));
}

TEST(PlistXml, BadDocumentsGiveNothing) {
    EXPECT_FALSE(parse("").has_value());
    EXPECT_FALSE(parse("not xml").has_value());
    EXPECT_FALSE(parse("<plist><dict><key>a</key>").has_value());
    EXPECT_FALSE(parse("<plist><dict><key>a</key><integer>x</integer></dict></plist>").has_value());
    EXPECT_FALSE(parse("<plist><dict><integer>1</integer></dict></plist>").has_value());
    EXPECT_FALSE(parse("<plist><array/></plist>").has_value());
    EXPECT_FALSE(parse("<other><dict/></other>").has_value());
    EXPECT_FALSE(
        parse("<plist><dict><key>d</key><date>yesterday</date></dict></plist>").has_value());
    EXPECT_TRUE(parse("<plist version=\"1.0\"/>").value_or(QVariantMap{{"x", 1}}).isEmpty());

    QRandomGenerator rng(7);
    QByteArray good;
    QBuffer out(&good);
    out.open(QIODevice::WriteOnly);
    ASSERT_TRUE(plistWrite(out, {{QStringLiteral("k"), QVariantMap{{QStringLiteral("n"), 1}}}}));
    for (int i = 0; i < 500; ++i) {
        QByteArray damaged = good;
        damaged[rng.bounded(static_cast<int>(damaged.size()))] =
            static_cast<char>(rng.bounded(256));
        damaged.truncate(rng.bounded(static_cast<int>(damaged.size()) + 1));
        parse(damaged); // must not crash
    }
}

TEST(PlistXml, NestingAndSizeAreBounded) {
    // 30,000 nested dictionaries once made every start crash: the reader recursed without
    // bound. The deepest nesting allowed still reads; one level more, or a file past the size
    // bound, is a damaged file.
    auto nested = [](int levels) {
        QByteArray text = "<plist>";
        for (int i = 0; i < levels; ++i)
            text += "<dict><key>k</key>";
        text += "<integer>1</integer>";
        for (int i = 0; i < levels; ++i)
            text += "</dict>";
        return text + "</plist>";
    };
    EXPECT_TRUE(parse(nested(kPlistMaxDepth)).has_value());
    EXPECT_FALSE(parse(nested(kPlistMaxDepth + 1)).has_value());
    EXPECT_FALSE(parse(nested(30000)).has_value());
    QByteArray arrays = "<plist><dict><key>a</key>";
    for (int i = 0; i < 30000; ++i)
        arrays += "<array>";
    EXPECT_FALSE(parse(arrays).has_value());

    QByteArray big = "<plist><dict><key>s</key><string>";
    big += QByteArray(kPlistMaxBytes, 'x');
    big += "</string></dict></plist>";
    EXPECT_FALSE(parse(big).has_value());
}
