#include "platform/utilsStr.h"

#include "testEnv.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>

TEST(UtilsStr, FindAndReplaceRepeatsOnlyWhenAsked) {
    const QString slashes = QStringLiteral("a////b");
    EXPECT_EQ(findAndReplace(slashes, QStringLiteral("//"), QStringLiteral("/"), true),
              QStringLiteral("a/b"));
    EXPECT_EQ(findAndReplace(slashes, QStringLiteral("//"), QStringLiteral("/"), false),
              QStringLiteral("a//b"));
    EXPECT_EQ(findAndReplace(QStringLiteral("a:b"), QStringLiteral("x"), QStringLiteral("y"), true),
              QStringLiteral("a:b"));
    EXPECT_EQ(findAndReplace(QStringLiteral("ab"), QString(), QStringLiteral("y"), false),
              QStringLiteral("ab"));
    // A replacement that holds the search must not loop for ever.
    EXPECT_EQ(findAndReplace(QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("aa"), true),
              QStringLiteral("aa"));
}

TEST(UtilsStr, LinesSortAndJoin) {
    EXPECT_EQ(linesToArray(QStringLiteral("one\r\n\r\ntwo\n\nthree\u2028four\r")),
              (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"),
                           QStringLiteral("four")}));
    EXPECT_TRUE(linesToArray(QStringLiteral("\n\r\n")).isEmpty());
    EXPECT_EQ(triAlphabetique({QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("c")}),
              (QStringList{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(array2Str({QStringLiteral("a"), QStringLiteral("b")}), QStringLiteral("a b"));
}

TEST(UtilsStr, Str2FloatReadsTheFirstNumberAfterLetters) {
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral("25 tbr")), 25.0F);
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral("fps 29.97")), 29.97F);
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral("1,5")), 1.0F);
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral("-2.5e2x")), -250.0F);
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral("5e")), 5.0F);
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral(".5")), 0.5F);
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral("words only")), 0.0F);
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral("\t5")), 0.0F);   // tabs are not skipped
    EXPECT_FLOAT_EQ(str2Float(QStringLiteral("1e999")), 0.0F); // beyond a float: unreadable
    EXPECT_FLOAT_EQ(str2Float(QString()), 0.0F);
}

TEST(UtilsStr, Fractions) {
    EXPECT_NEAR(fractionStr2Float(QStringLiteral("16:9")), 1.7778F, 0.0001F);
    EXPECT_FLOAT_EQ(fractionStr2Float(QStringLiteral("0:1")), 1.0F);
    EXPECT_FLOAT_EQ(fractionStr2Float(QString()), 1.0F);
    EXPECT_FLOAT_EQ(fractionStr2Float(QStringLiteral("word")), 1.0F);
    EXPECT_FLOAT_EQ(fractionStr2Float(QStringLiteral("1.5")), 1.5F);
    EXPECT_FLOAT_EQ(fractionStr2Float(1.5), 1.5F);
    EXPECT_FLOAT_EQ(fractionStr2Float(QVariant()), 1.0F);
    EXPECT_FLOAT_EQ(fractionStr2Float(QStringLiteral(" 4: 3")), 4.0F / 3.0F);
    // A zero height is no ratio.
    EXPECT_FLOAT_EQ(fractionStr2Float(QStringLiteral("16:0")), 1.0F);
    EXPECT_FLOAT_EQ(fractionStr2Float(QStringLiteral("0:0")), 1.0F);

    EXPECT_EQ(float2FractionStr(1.34F), QStringLiteral("4:3"));
    EXPECT_EQ(float2FractionStr(1.36F), QStringLiteral("34:25"));
    EXPECT_EQ(float2FractionStr(1.78F), QStringLiteral("16:9"));
    EXPECT_EQ(float2FractionStr(1.01F), QStringLiteral("1:1"));
    EXPECT_EQ(float2FractionStr(0.05F), QStringLiteral("1:1"));
    EXPECT_EQ(float2FractionStr(1.5F), QStringLiteral("3:2"));
    EXPECT_EQ(float2FractionStr(2.35F), QStringLiteral("47:20"));
    EXPECT_EQ(float2FractionStr(2.39F), QStringLiteral("239:100"));
    EXPECT_EQ(float2FractionStr(std::nanf("")), QStringLiteral("1:1"));

    EXPECT_EQ(sousMultipleCommuns(0, 0), (QList<int32_t>{1, 1}));
    EXPECT_EQ(sousMultipleCommuns(1900, 1000), (QList<int32_t>{19, 10}));
    EXPECT_EQ(sousMultipleCommuns(38, 19), (QList<int32_t>{38, 19}));
}

TEST(UtilsStr, NumbersAndUnits) {
    EXPECT_FLOAT_EQ(nbTrimmed(1.239F, 2), 1.23F);
    EXPECT_FLOAT_EQ(nbTrimmed(-1.239F, 2), -1.23F);
    EXPECT_FLOAT_EQ(nbTrimmed(1.9F, 0), 1.0F);
    EXPECT_FLOAT_EQ(nbTrimmed(1.9F, -3), 1.0F);
    EXPECT_FLOAT_EQ(nbTrimmed(1.5F, 60), 1.5F);

    EXPECT_DOUBLE_EQ(octet2unite(1048576, QStringLiteral("m")), 1.0);
    EXPECT_DOUBLE_EQ(octet2unite(1048576, QStringLiteral("x")), 1048576.0);
    EXPECT_DOUBLE_EQ(octet2unite(2048), 2.0);
    EXPECT_DOUBLE_EQ(octet2unite(3221225472LL, QStringLiteral("G")), 3.0);
    EXPECT_DOUBLE_EQ(octet2unite(-5, QStringLiteral("k")), -5.0);
}

TEST(UtilsStr, Versions) {
    EXPECT_FLOAT_EQ(versionStr2Float(QStringLiteral("10.5.8")), 10.0508F);
    EXPECT_FLOAT_EQ(versionStr2Float(QStringLiteral("10.4.11")), 10.0411F);
    EXPECT_FLOAT_EQ(versionStr2Float(QStringLiteral("7")), 7.0F);
    EXPECT_FLOAT_EQ(versionStr2Float(QStringLiteral("7.6.3.9")), 7.0603F);
    EXPECT_FLOAT_EQ(versionStr2Float(QStringLiteral("x.y")), 0.0F);
    EXPECT_FLOAT_EQ(versionStr2Float(QStringLiteral("99999999999.1")), 2147483647.01F);
}

TEST(UtilsStr, Timecodes) {
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("00:01:02.50")), 62.5F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("01:00:00,25")), 3600.25F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("00:00:05.12/25")), 5.48F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("00:00:05.1/25")), 5.04F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("1:02:03:04.5")), 93784.5F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("00:00:05")), 5.0F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("00:00:05.05")), 5.05F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("00:00:05.500")), 5.5F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("12.5")), 0.0F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("01:02")), 0.0F);
    EXPECT_FLOAT_EQ(timecodeStr2Float(QStringLiteral("00:00:05.3/0")), 5.0F);
}

// No text, whatever its bytes, may crash the readers or make them answer something that is
// not a number.
TEST(UtilsStr, ReadersSurviveRandomBytes) {
    QRandomGenerator rng(20261207);
    const QString alphabet = QStringLiteral("0123456789.:,/-+eE x\t\n");
    for (int round = 0; round < 4000; ++round) {
        const int len = static_cast<int>(rng.bounded(48));
        QString text;
        if (round % 3 == 0) {
            QByteArray bytes(len, '\0');
            for (char &b : bytes) {
                b = static_cast<char>(rng.bounded(256));
            }
            text = QString::fromUtf8(bytes);
        } else if (round % 3 == 1) {
            for (int i = 0; i < len; ++i) {
                text.append(QChar(static_cast<char16_t>(rng.bounded(0x10000))));
            }
        } else {
            // Number-like noise reaches the deeper branches (fractions, frames, exponents).
            for (int i = 0; i < len; ++i) {
                text.append(alphabet.at(rng.bounded(static_cast<int>(alphabet.size()))));
            }
        }
        EXPECT_TRUE(std::isfinite(str2Float(text))) << text.toStdString();
        EXPECT_TRUE(std::isfinite(fractionStr2Float(text))) << text.toStdString();
        EXPECT_TRUE(std::isfinite(versionStr2Float(text))) << text.toStdString();
        EXPECT_TRUE(std::isfinite(timecodeStr2Float(text))) << text.toStdString();
    }
}
