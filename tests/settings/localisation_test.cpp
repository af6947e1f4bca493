#include "settings/localisation.h"

#include "testEnv.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

TEST(Localisation, LookupsInBothLanguages) {
    ASSERT_TRUE(loadTranslations(QStringLiteral("fr")));
    EXPECT_EQ(localizedStr(QStringLiteral("D_Annuler")), QStringLiteral("Annuler"));
    EXPECT_EQ(localizedStr(QStringLiteral("D_Langue")), QStringLiteral("fr"));
    EXPECT_EQ(fieldsStr(QStringLiteral("PFF")), QStringLiteral("progressif"));
    // A key of one table is not a key of the other; a key without translation is itself.
    EXPECT_EQ(fieldsStr(QStringLiteral("D_Annuler")), QStringLiteral("D_Annuler"));
    EXPECT_EQ(localizedStr(QStringLiteral("D_no_such_key")), QStringLiteral("D_no_such_key"));

    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
    EXPECT_EQ(localizedStr(QStringLiteral("D_Annuler")), QStringLiteral("Cancel"));
    EXPECT_EQ(localizedStr(QStringLiteral("D_Langue")), QStringLiteral("en"));
    EXPECT_FALSE(loadTranslations(QStringLiteral("xx")));
    EXPECT_EQ(localizedStr(QStringLiteral("D_Annuler")), QStringLiteral("Cancel"));
}

TEST(Localisation, BothLanguagesCarryTheSameKeys) {
    const QString dir = QStringLiteral(FLUXARO_SOURCE_DIR "/resources/translations/");
    const auto en = translationKeys(dir + QStringLiteral("fluxaro_en.ts"));
    auto fr = translationKeys(dir + QStringLiteral("fluxaro_fr.ts"));
    // French also fills words that Qt's own French table lacks (its file panel's kinds): that
    // context has no English counterpart, since Qt's own texts are English.
    EXPECT_FALSE(fr.take(QStringLiteral("QAbstractFileIconProvider")).isEmpty());
    EXPECT_FALSE(en.value(QStringLiteral("Localized")).isEmpty());
    EXPECT_EQ(en.value(QStringLiteral("fields")),
              (QSet<QString>{QStringLiteral("TFF"), QStringLiteral("BFF"), QStringLiteral("PFF")}));
    EXPECT_EQ(en, fr);
}

TEST(Localisation, FillingValues) {
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
    EXPECT_EQ(fillFormatValues(QStringLiteral("%@ and %@ at 100%%"), {QStringLiteral("a")}),
              QStringLiteral("a and %@ at 100%"));
    EXPECT_EQ(LocalisationString(QStringLiteral("DL_upToDate"), QString(), QStringLiteral("1.0"),
                                 {}, QStringLiteral("ignored after an empty value")),
              QStringLiteral("Fluxaro 1.0 is the latest version."));
    // With an empty first value the translation is answered unchanged, %@ included.
    EXPECT_EQ(LocalisationString(QStringLiteral("DL_upToDate"), QString()),
              QStringLiteral("Fluxaro %@ is the latest version."));
    // No table: the default table, where the key has no translation.
    EXPECT_EQ(LocalisationString(QStringLiteral("DL_upToDate"), std::nullopt),
              QStringLiteral("DL_upToDate"));
    EXPECT_EQ(LocalisationString(QStringLiteral("PFF"), QStringLiteral("fields")),
              QStringLiteral("progressive"));
}

TEST(Localisation, WindowTextsWithThePrefix) {
    ASSERT_TRUE(loadTranslations(QStringLiteral("fr")));
    FVAutoLocalizeSetBundle(false);
    FVAutoLocalizeSetName(QStringLiteral("Localized"));
    EXPECT_EQ(FVAutoLocalizeTableStr(), QStringLiteral("Localizable"));
    FVAutoLocalizeSetBundle(true);
    EXPECT_EQ(FVAutoLocalizeTableStr(), QStringLiteral("Localized"));
    EXPECT_EQ(FVAutoLocalizeStrings({QStringLiteral("@@D_oui"), QStringLiteral("plain"),
                                     QStringLiteral("@@D_unknown")}),
              (QStringList{QStringLiteral("Oui"), QStringLiteral("D_unknown")}));
    FVAutoLocalizeSetName(std::nullopt);
    EXPECT_EQ(FVAutoLocalizeTableStr(), QStringLiteral("Localizable"));
}

// Every key the code looks up by name has a translation in both languages.
TEST(Localisation, EveryKeyUsedInTheCodeIsTranslated) {
    const QString dir = QStringLiteral(FLUXARO_SOURCE_DIR "/resources/translations/");
    const auto en = translationKeys(dir + QStringLiteral("fluxaro_en.ts"));
    const QRegularExpression lookup(QStringLiteral(
        "\\b(localizedStr|fieldsStr)\\(\\s*QStringLiteral\\(\\s*\"([^\"]+)\"\\s*\\)"));
    int found = 0;
    QDirIterator it(QStringLiteral(FLUXARO_SOURCE_DIR "/src"), {QStringLiteral("*.cpp")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString code = QString::fromUtf8(file.readAll());
        for (auto m = lookup.globalMatch(code); m.hasNext();) {
            const QRegularExpressionMatch match = m.next();
            const QString context = match.captured(1) == QLatin1String("localizedStr")
                                        ? QStringLiteral("Localized")
                                        : QStringLiteral("fields");
            EXPECT_TRUE(en.value(context).contains(match.captured(2)))
                << match.captured(2).toStdString() << " in " << path.toStdString();
            ++found;
        }
    }
    EXPECT_GT(found, 0);
}
