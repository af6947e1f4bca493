// Codec checks: the text form of codes, the records of components, both checks over made-up
// registries (the cases that a real registry can't show), and the start-up values on the real
// registry of this build.
#include "movie/QTCodecs.h"
#include "platform/constants.h"

#include <gtest/gtest.h>

namespace {

using toolbox::fourCharCode;

QTCompDesc record(const QString &type, const QString &subType, const QString &manufacturer,
                  const QString &name = QStringLiteral("Codec")) {
    QTCompDesc r;
    r.setType(type);
    r.setSubType(subType);
    r.setManufacturer(manufacturer);
    r.setName(name);
    return r;
}

TEST(OSTypeToNSString, PrintableBytesAsTextOthersAsDollarHex) {
    EXPECT_EQ(OSTypeToNSString(fourCharCode("apch")), QStringLiteral("apch"));
    EXPECT_EQ(OSTypeToNSString(fourCharCode("WMV ")), QStringLiteral("WMV "));
    EXPECT_EQ(OSTypeToNSString(0x00617070u), QStringLiteral("$00app"));
    EXPECT_EQ(OSTypeToNSString(0x1f7e7fffu), QStringLiteral("$1f~$7f$ff"));
    EXPECT_EQ(OSTypeToNSString(0), QString());
}

TEST(QTCompDesc, RecordFromComponent) {
    toolbox::Component component{{fourCharCode("imco"), fourCharCode("apch"), fourCharCode("appl"),
                                  toolbox::kCmpThreadSafe, 0},
                                 "Apple ProRes 422 HQ",
                                 "prores_ks",
                                 3};
    const QTCompDesc full = QTCompDesc::withComponent(&component);
    EXPECT_EQ(full.name(), QStringLiteral("Apple ProRes 422 HQ"));
    EXPECT_EQ(full.type(), QStringLiteral("imco"));
    EXPECT_EQ(full.subType(), QStringLiteral("apch"));
    EXPECT_EQ(full.manufacturer(), QStringLiteral("appl"));
    EXPECT_EQ(full.threadsafe(), QStringLiteral("Yes"));
    EXPECT_EQ(full.component(), &component);
    EXPECT_EQ(full.componentDescription().componentSubType, fourCharCode("apch"));

    component.name.clear();
    component.description.componentFlags = 0;
    const QTCompDesc unnamed = QTCompDesc::withComponent(&component);
    EXPECT_EQ(unnamed.name(), QStringLiteral("**NO NAME**"));
    EXPECT_EQ(unnamed.threadsafe(), QStringLiteral("No"));

    // A component that can't be described is still a record, with empty texts: it matches
    // nothing.
    const QTCompDesc broken = QTCompDesc::withComponent(nullptr);
    EXPECT_TRUE(broken.name().isEmpty());
    EXPECT_TRUE(broken.subType().isEmpty());
    EXPECT_EQ(codecsCheckIn({broken}, {QStringLiteral("ICOD")}), QList<int>{0});
}

TEST(CodecsCheck, UpperCasedFourCharacterSubtypeContainsTheWantedCode) {
    const QList<QTCompDesc> registry{
        record(QStringLiteral("imdc"), QStringLiteral("icod"), QStringLiteral("appl")),
        record(QStringLiteral("imco"), QStringLiteral("ap4h"), QStringLiteral("appl")),
        record(QStringLiteral("imco"), QStringLiteral(""), QStringLiteral("appl")),
        record(QStringLiteral("imco"), QStringLiteral("WMV2"), QStringLiteral("FFmp")),
    };
    // Answers in the order of the wanted codes; a lower-case subtype matches an upper-case code,
    // a trailing blank must be there.
    EXPECT_EQ(codecsCheckIn(registry, {QStringLiteral("APCH"), QStringLiteral("ICOD"),
                                       QStringLiteral("AP4H"), QStringLiteral("WMV ")}),
              (QList<int>{0, 1, 1, 0}));
    // Only the first four characters count, and "ICO1" is not "ICOD".
    const QList<QTCompDesc> near{
        record(QStringLiteral("imco"), QStringLiteral("ICO1"), QStringLiteral("appl")),
        record(QStringLiteral("imco"), QStringLiteral("xxxxICOD"), QStringLiteral("appl"))};
    EXPECT_EQ(codecsCheckIn(near, {QStringLiteral("ICOD")}), QList<int>{0});
    EXPECT_EQ(codecsCheckIn(
                  {record(QStringLiteral("imco"), QStringLiteral("AP4H"), QStringLiteral("appl"))},
                  {QStringLiteral("AP4H")}),
              QList<int>{1});
    // A byte outside the printable range is compared in its dollar-and-hex form.
    toolbox::Component odd{{fourCharCode("imco"), 0x01617063u, 0, 0, 0}, "odd", "", -1};
    EXPECT_EQ(codecsCheckIn({QTCompDesc::withComponent(&odd)},
                            {QStringLiteral("$01A"), QStringLiteral("APC")}),
              (QList<int>{1, 0}));
    EXPECT_EQ(codecsCheckIn({}, {QStringLiteral("ICOD"), QStringLiteral("APCH")}),
              (QList<int>{0, 0}));
}

TEST(CodecsProresCheck, EncodersInTheFixedOrderWithTheirKeys) {
    const QList<QTCompDesc> registry{
        record(QStringLiteral("imco"), QStringLiteral("apcs"), QStringLiteral("appl"),
               QStringLiteral("ProRes LT")),
        record(QStringLiteral("imco"), QStringLiteral("apcn"), QStringLiteral("appl"),
               QStringLiteral("ProRes 422")),
        record(QStringLiteral("imco"), QStringLiteral("apch"), QStringLiteral("appl"),
               QStringLiteral("ProRes HQ")),
    };
    const auto found = codecsProresCheckIn(registry);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, (QStringList{QStringLiteral("ProRes HQ   (imco:apch:appl)"),
                                   QStringLiteral("ProRes LT   (imco:apcs:appl)")}));

    // A decoder alone, or another manufacturer's compressor, is no ProRes encoder; the decoder
    // still answers the codec check.
    const QList<QTCompDesc> decoderOnly{
        record(QStringLiteral("imdc"), QStringLiteral("apch"), QStringLiteral("appl")),
        record(QStringLiteral("imco"), QStringLiteral("apch"), QStringLiteral("FFmp"))};
    EXPECT_FALSE(codecsProresCheckIn(decoderOnly).has_value());
    EXPECT_EQ(codecsCheckIn(decoderOnly, {QStringLiteral("APCH")}), QList<int>{1});
    EXPECT_FALSE(codecsProresCheckIn({}).has_value());
}

TEST(CodecsRegistry, StartupValuesOfThisBuild) {
    const QList<QTCompDesc> components = componentsCollecte();
    ASSERT_FALSE(components.isEmpty());
    for (const QTCompDesc &c : components) {
        EXPECT_EQ(c.flags() & toolbox::kCmpIsMissing, 0u) << c.name().toStdString();
    }
    // The AIC decoder and the ProRes decoder both answer the codec check...
    EXPECT_EQ(codecsCheck({QStringLiteral("ICOD"), QStringLiteral("APCH")}), (QList<int>{1, 1}));
    // ...but the AIC output needs an encoder, which FFmpeg lacks.
    setAIC(1);
    setPRORES(0);
    setPRORESdec(0);
    codecsStartupCheck();
    EXPECT_EQ(getAIC(), 0);
    EXPECT_EQ(getPRORESdec(), 1);
    EXPECT_EQ(getPRORES(), 1);
    const QStringList choices = codecsProresChoices();
    ASSERT_EQ(choices.size(), 4);
    const char *keys[] = {"(imco:ap4h:appl)", "(imco:apch:appl)", "(imco:apco:appl)",
                          "(imco:apcs:appl)"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(choices.at(i).endsWith(QLatin1String(keys[i]))) << choices.at(i).toStdString();
        EXPECT_TRUE(choices.at(i).contains(QLatin1String("   ("))) << choices.at(i).toStdString();
    }
}

} // namespace
