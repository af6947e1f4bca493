#include "update/supportMail.h"

#include "analysis/ffmpeg.h"
#include "platform/infoPlist.h"
#include "platform/utilsStr.h"
#include "settings/localisation.h"

#include <QUrl>

#ifndef FLUXARO_MAIL_DOMAIN
#define FLUXARO_MAIL_DOMAIN "fluxaro.org"
#endif
#ifndef FLUXARO_MAIL_BUG
#define FLUXARO_MAIL_BUG "bugs"
#endif
#ifndef FLUXARO_MAIL_CONTACT
#define FLUXARO_MAIL_CONTACT "contact"
#endif

QString supportMailBugLocalPartStr() {
    return QString::fromUtf8(FLUXARO_MAIL_BUG);
}

QString supportMailContactLocalPartStr() {
    return QString::fromUtf8(FLUXARO_MAIL_CONTACT);
}

QString supportMailDomainStr() {
    return QString::fromUtf8(FLUXARO_MAIL_DOMAIN);
}

QString supportMailUrlStr(const supportMailFacts &facts) {
    const QString local =
        facts.bugReport ? supportMailBugLocalPartStr() : supportMailContactLocalPartStr();
    const QString build =
        facts.buildVersion.isEmpty() ? QStringLiteral("undefined rev") : facts.buildVersion;
    const QString subject =
        QStringLiteral("%1 - version %2 (%3) - %4")
            .arg(facts.appName,
                 QString::asprintf("%.02f", static_cast<double>(str2Float(facts.shortVersion))),
                 build, facts.language);
    const QString caption =
        findAndReplace(facts.versionCaption, QStringLiteral("&"), QStringLiteral("'n'"), true);
    const QString body =
        QStringLiteral("%1-r%2\n%3").arg(caption).arg(facts.ffRevision).arg(facts.body);
    // Each field is escaped on its own: "&", "?", "#" and "=" inside a text stay text.
    const auto escape = [](const QString &text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text, "-._~"));
    };
    return QStringLiteral("mailto:%1@%2?subject=%3&body=%4")
        .arg(local, supportMailDomainStr(), escape(subject), escape(body));
}

QString appVersionStr() {
    return QStringLiteral("%1 %2 (%3)")
        .arg(infoPlistStr(QStringLiteral("CFBundleName")),
             infoPlistStr(QStringLiteral("CFBundleShortVersionString")),
             infoPlistStr(QStringLiteral("CFBundleVersion")));
}

supportMailFacts supportMailFactsOfApp(bool bugReport, const QString &versionCaption) {
    supportMailFacts facts;
    facts.bugReport = bugReport;
    facts.appName = infoPlistStr(QStringLiteral("CFBundleName"));
    facts.shortVersion = infoPlistStr(QStringLiteral("CFBundleShortVersionString"));
    facts.buildVersion = infoPlistStr(QStringLiteral("CFBundleVersion"));
    facts.language = localizedStr(QStringLiteral("D_Langue"));
    facts.versionCaption = versionCaption;
    facts.ffRevision = ffRevisionInt();
    facts.body = bugReport ? localizedStr(QStringLiteral("D_bugreport_mail")) : QString();
    return facts;
}

int32_t helpSubtitleTrackIndex(const QString &language, int32_t subtitleTrackCount) {
    const int32_t wanted = language == QLatin1String("fr") ? 1 : 0;
    return wanted < subtitleTrackCount ? wanted : -1;
}
