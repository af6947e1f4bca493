#include "platform/infoPlist.h"

#include "platform/log.h"
#include "platform/plistXml.h"
#include "platform/resources.h"

QVariantMap infoPlistDico() {
    static const QVariantMap dico = [] {
        const QString path = resourceFilePathStr(QStringLiteral("Info.plist"));
        std::optional<QVariantMap> read = plistReadFile(path);
        if (!read) {
            logStr(QStringLiteral("Info.plist          :-( %1").arg(path));
            return QVariantMap();
        }
        return *read;
    }();
    return dico;
}

QString infoPlistStr(const QString &key) {
    const QVariant value = infoPlistDico().value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QStringList infoPlistExtensions() {
    const QVariantList types =
        infoPlistDico().value(QStringLiteral("CFBundleDocumentTypes")).toList();
    if (types.isEmpty()) {
        return {};
    }
    QStringList extensions;
    const QVariantList listed =
        types.first().toMap().value(QStringLiteral("CFBundleTypeExtensions")).toList();
    for (const QVariant &ext : listed) {
        extensions.append(ext.toString().toLower());
    }
    return extensions;
}
