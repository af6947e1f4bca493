#include "settings/appPrefs.h"

#include "settings/prefs.h"

#include <QStandardPaths>
#include <QStringList>

namespace {

// The working keys that survive a start: the analysis queue, and a key no longer used.
const QStringList &keptKeys() {
    static const QStringList keys = {QStringLiteral("displayedEncDico"),
                                     QStringLiteral("analysisSrcPathesDico"),
                                     QStringLiteral("analysisSrcPathStr")};
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
