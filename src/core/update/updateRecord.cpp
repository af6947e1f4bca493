#include "update/updateRecord.h"

#include "platform/utilsStr.h"
#include "settings/localisation.h"

#include <QLatin1String>
#include <QUrl>

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
    if (dlPath.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
        dlPath.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        return dlPath;
    }
    return base + QStringLiteral("dlCenter/") + dlPath;
}

bool updateUrlIsSecure(const QString &url) {
    const QUrl address(url, QUrl::StrictMode);
    return address.isValid() && address.scheme() == QLatin1String("https") &&
           !address.host().isEmpty();
}

namespace {

// The record's length: decimal digits only, at most 18 of them (no sign, no spaces).
std::optional<int64_t> recordLength(const QString &text) {
    if (text.isEmpty() || text.size() > 18) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c.unicode() < u'0' || c.unicode() > u'9') {
            return std::nullopt;
        }
    }
    return text.toLongLong();
}

// The record's digest: 64 hexadecimal digits, in either case.
std::optional<QByteArray> recordSha256(const QString &text) {
    if (text.size() != 64) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'))) {
            return std::nullopt;
        }
    }
    return QByteArray::fromHex(text.toLatin1());
}

} // namespace

updateDownloadPlan updateDownloadPlanOf(const QString &base, const updateRecordDico &record) {
    updateDownloadPlan plan;
    plan.url = updateDownloadUrlStr(base, record.value(QStringLiteral("dlPath")));
    for (const QString &address : {base, plan.url}) {
        if (!updateUrlIsSecure(address)) {
            plan.refusal = QStringLiteral("%1 is not an HTTPS address").arg(address);
            plan.insecureUrl = address;
            return plan;
        }
    }
    const QString lengthText = record.value(QStringLiteral("dlLength")).trimmed();
    if (record.contains(QStringLiteral("dlLength"))) {
        const std::optional<int64_t> length = recordLength(lengthText);
        if (!length) {
            plan.refusal = QStringLiteral("the record's length '%1' is not a number of bytes")
                               .arg(lengthText.left(40));
            return plan;
        }
        plan.length = *length;
    }
    const QString digestText = record.value(QStringLiteral("dlSha256")).trimmed();
    if (record.contains(QStringLiteral("dlSha256"))) {
        const std::optional<QByteArray> digest = recordSha256(digestText);
        if (!digest) {
            plan.refusal = QStringLiteral("the record's SHA-256 '%1' is not 64 hexadecimal digits")
                               .arg(digestText.left(80));
            return plan;
        }
        plan.sha256 = *digest;
    }
    return plan;
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
