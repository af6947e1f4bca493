#include "settings/localisation.h"

#include "platform/resources.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>

namespace {

bool gBundleSet = false;
std::optional<QString> gTableName;

QTranslator *gTranslator = nullptr;

} // namespace

bool loadTranslations(const QString &language) {
    if (QCoreApplication::instance() == nullptr) {
        return false;
    }
    const QString dir = resourceFilePathStr(QStringLiteral("translations"));
    auto *translator = new QTranslator(QCoreApplication::instance());
    bool loaded = false;
    if (language.isEmpty()) {
        loaded = translator->load(QLocale(), QStringLiteral("fluxaro"), QStringLiteral("_"), dir);
    } else {
        loaded = translator->load(QStringLiteral("fluxaro_") + language, dir);
    }
    if (!loaded && language.isEmpty()) {
        // A system language without a file falls back to English.
        loaded = translator->load(QStringLiteral("fluxaro_en"), dir);
    }
    if (!loaded) {
        delete translator;
        return false;
    }
    if (gTranslator != nullptr) {
        QCoreApplication::removeTranslator(gTranslator);
        delete gTranslator;
    }
    gTranslator = translator;
    QCoreApplication::installTranslator(translator);
    return true;
}

QString localisedInTable(const QString &table, const QString &key) {
    if (key.isEmpty()) {
        return key;
    }
    const QByteArray context = table.toUtf8();
    const QByteArray source = key.toUtf8();
    const QString text = QCoreApplication::translate(context.constData(), source.constData());
    return text.isEmpty() ? key : text;
}

QString localizedStr(const QString &key) {
    return localisedInTable(QStringLiteral("Localized"), key);
}

QString fieldsStr(const QString &key) {
    return localisedInTable(QStringLiteral("fields"), key);
}

QString fillFormatValues(const QString &format, const QStringList &values) {
    QString out;
    out.reserve(format.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('%') && i + 1 < format.size()) {
            const QChar d = format[i + 1];
            if (d == QLatin1Char('%')) {
                out.append(QLatin1Char('%'));
                ++i;
                continue;
            }
            if (d == QLatin1Char('@') && next < values.size()) {
                out.append(values[next++]);
                ++i;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

QString LocalisationString(const QString &key, const std::optional<QString> &table,
                           const QString &v1, const QString &v2, const QString &v3,
                           const QString &v4, const QString &v5) {
    QString tableName = QStringLiteral("Localizable");
    if (table) {
        tableName = table->isEmpty() ? QStringLiteral("Localized") : *table;
    }
    const QString translation = localisedInTable(tableName, key);
    if (v1.isEmpty()) {
        return translation;
    }
    QStringList values;
    for (const QString *v : {&v1, &v2, &v3, &v4, &v5}) {
        if (v->isEmpty()) {
            break;
        }
        values.append(*v);
    }
    return fillFormatValues(translation, values);
}

void FVAutoLocalizeSetBundle(bool isSet) {
    gBundleSet = isSet;
}

void FVAutoLocalizeSetName(const std::optional<QString> &name) {
    gTableName = name;
}

QString FVAutoLocalizeTableStr() {
    if (gBundleSet && gTableName && !gTableName->isEmpty()) {
        return *gTableName;
    }
    return QStringLiteral("Localizable");
}

bool FVAutoLocalizeIsKey(const QString &text) {
    return text.startsWith(QLatin1String("@@"));
}

QStringList FVAutoLocalizeStrings(const QStringList &texts) {
    QStringList translated;
    const QString table = FVAutoLocalizeTableStr();
    for (const QString &text : texts) {
        if (FVAutoLocalizeIsKey(text)) {
            translated.append(localisedInTable(table, text.mid(2)));
        }
    }
    return translated;
}
