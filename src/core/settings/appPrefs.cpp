#include "settings/appPrefs.h"

#include "settings/prefs.h"

#include <QStandardPaths>
#include <QStringList>

#include <optional>

namespace {

// The only working key that survives a start, one no longer used. The analysis's queue and the
// source it was probing go with the rest: a run killed during an analysis would otherwise hand
// its sources to the next run, which lists them beside its own (twice when they are the same).
const QStringList &keptKeys() {
    static const QStringList keys = {QStringLiteral("displayedEncDico")};
    return keys;
}

QString defaultDestinationStr() {
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    while (videos.endsWith(QLatin1Char('/'))) {
        videos.chop(1);
    }
    return videos + QLatin1Char('/');
}

} // namespace

bool appIsSettingKey(const QString &key) {
    static const QStringList defaults = appPrefs().keys();
    return defaults.contains(key) || key.startsWith(QLatin1String("NSNav")) ||
           key.startsWith(QLatin1String("DRBurn"));
}

QVariantMap appPrefs() {
    QVariantMap defaults;
    defaults.insert(QStringLiteral("prefColor"), 0);
    defaults.insert(QStringLiteral("prefCheckMatrix"), 0);
    defaults.insert(QStringLiteral("prefSurrond"), 0);
    defaults.insert(QStringLiteral("prefJoinSpanned"), 1);
    defaults.insert(QStringLiteral("prefSpeed"), 2);
    defaults.insert(QStringLiteral("prefProres"), QString(QLatin1String("")));
    defaults.insert(QStringLiteral("update"), 0);
    defaults.insert(QStringLiteral("prefDefautDstPathStr"), defaultDestinationStr());
    return defaults;
}

void appWriteAllPrefs() {
    const QVariantMap defaults = appPrefs();
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        const QVariant stored = prefRead2(it.key());
        prefWrite(it.key(), stored.isValid() ? stored : it.value());
    }
}

void appRemoveOldTmpPrefs() {
    prefSynchronize();
    const QVariantMap defaults = appPrefs();
    const QStringList keys = prefAllKeys();
    for (const QString &key : keys) {
        if (defaults.contains(key) || keptKeys().contains(key) ||
            key.startsWith(QLatin1String("NSNav")) || key.startsWith(QLatin1String("DRBurn"))) {
            continue;
        }
        prefDelete(key);
    }
}

namespace {

/// The stored number 0 to 2, or nothing (with `corrected` set when something else was stored).
std::optional<int32_t> storedSegment(const QVariant &stored, bool &corrected) {
    corrected = false;
    if (!stored.isValid() || stored.isNull()) {
        return std::nullopt;
    }
    bool number = false;
    const int32_t value = stored.toInt(&number);
    if (!number || value < 0 || value > 2) {
        corrected = true;
        return std::nullopt;
    }
    return value;
}

} // namespace

appStoredChoice appStoredOutputFormat(const QVariant &stored, bool aic, bool prores) {
    appStoredChoice choice;
    int32_t value = storedSegment(stored, choice.corrected)
                        .value_or(appPrefs().value(QStringLiteral("prefCheckMatrix")).toInt());
    if (value == 1 && !aic) {
        value = prores ? 2 : 0;
    }
    if (value == 2 && !prores) {
        value = aic ? 1 : 0;
    }
    choice.value = value;
    return choice;
}

appStoredChoice appStoredFrameRateMode(const QVariant &stored) {
    appStoredChoice choice;
    choice.value = storedSegment(stored, choice.corrected)
                       .value_or(appPrefs().value(QStringLiteral("prefSpeed")).toInt());
    return choice;
}
