#include "update/updateRecord.h"

#include "platform/utilsStr.h"
#include "settings/localisation.h"

#include <QLatin1String>

#ifndef FLUXARO_UPDATE_BASE_URL
#define FLUXARO_UPDATE_BASE_URL ""
#endif
#ifndef FLUXARO_UPDATE_PRODUCT_CODE
#define FLUXARO_UPDATE_PRODUCT_CODE "fluxaro"
#endif
#ifndef FLUXARO_WEB_SITE_URL
#define FLUXARO_WEB_SITE_URL ""
#endif

QString updateBaseUrlStr() {
    QString base = qEnvironmentVariable("FLUXARO_UPDATE_URL");
    if (base.isEmpty()) {
        base = QString::fromUtf8(FLUXARO_UPDATE_BASE_URL);
    }
    base = base.trimmed();
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/'))) {
        base += QLatin1Char('/');
    }
    return base;
}

QString updateProductCodeStr() {
    return QString::fromUtf8(FLUXARO_UPDATE_PRODUCT_CODE);
}

QString updateWebSiteUrlStr() {
    return QString::fromUtf8(FLUXARO_WEB_SITE_URL);
}

QString updateLanguageStr() {
    return localizedStr(QStringLiteral("D_Langue")) == QLatin1String("fr") ? QStringLiteral("fr")
                                                                           : QStringLiteral("en");
}

QString updateProbeUrlStr(const QString &base, const QString &code) {
    if (base.isEmpty()) {
        return {};
    }
    return base + code + QStringLiteral("/isConnected.htm");
}

QString updateQueryUrlStr(const QString &base, const QString &code, const QString &language,
                          float systemVersion) {
    if (base.isEmpty()) {
        return {};
    }
    return QStringLiteral("%1dlCenter/update.php?s=%2&l=%3&os=%4")
        .arg(base, code, language, QString::asprintf("%f", static_cast<double>(systemVersion)));
}

QString updateNotesUrlStr(const QString &base, const QString &code, const QString &language) {
    if (base.isEmpty()) {
        return {};
    }
    return QStringLiteral("%1dlCenter/update.php?s=%2&l=%3&h").arg(base, code, language);
}

QString updateDownloadUrlStr(const QString &base, const QString &dlPath) {
    if (dlPath.startsWith(QLatin1String("http://")) ||
        dlPath.startsWith(QLatin1String("https://"))) {
        return dlPath;
    }
    return base + QStringLiteral("dlCenter/") + dlPath;
}

std::optional<updateRecordDico> updateRecordParse(const QString &text) {
    for (const char *marker : {"<key>", "</key>", "<value>", "</value>"}) {
        if (!text.contains(QLatin1String(marker))) {
            return std::nullopt;
        }
    }
    updateRecordDico record;
    const QStringList pieces = text.split(QStringLiteral("<key>"));
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QString &piece = pieces.at(i);
        const qsizetype keyEnd = piece.indexOf(QLatin1String("</key>"));
        const qsizetype valueStart = piece.indexOf(QLatin1String("<value>"));
        if (keyEnd < 0 || valueStart < 0) {
            continue;
        }
        const QString name = piece.left(keyEnd);
        QString value = piece.mid(valueStart + 7);
        const qsizetype valueEnd = value.indexOf(QLatin1String("</value>"));
        if (valueEnd >= 0) {
            value.truncate(valueEnd);
        }
        record.insert(name, value);
    }
    return record;
}

float updateVersionFloat(const QString &text) {
    return str2Float(text);
}

bool updateOffered(const updateRecordDico &record, float appVersion, float systemVersion) {
    const float version = updateVersionFloat(record.value(QStringLiteral("version")));
    const float systemMin = updateVersionFloat(record.value(QStringLiteral("systemVersionMin")));
    return version > appVersion && systemVersion >= systemMin;
}
