#include "helpMenu.h"

#include "desktop/reveal.h"
#include "frontApi/alerts.h"
#include "platform/log.h"
#include "settings/localisation.h"
#include "update/supportMail.h"
#include "update/updateRecord.h"

#include <QDesktopServices>
#include <QUrl>

bool iba_openUrl() {
    const QString site = updateWebSiteUrlStr();
    logStr(QStringLiteral("iba_siteWeb         - debut : %1")
               .arg(localizedStr(QStringLiteral("menuSite"))));
    return !site.isEmpty() && QDesktopServices::openUrl(QUrl(site));
}

bool iba_mail(bool bugReport, const QString &versionCaption) {
    logStr(QStringLiteral("iba_mail : %1")
               .arg(localizedStr(bugReport ? QStringLiteral("menuBugreport")
                                           : QStringLiteral("menuContact"))));
    if (bugReport) {
        revealInFinder(logFolderPathStr());
    }
    const QString address = supportMailUrlStr(supportMailFactsOfApp(bugReport, versionCaption));
    const bool opened = QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
    if (bugReport) {
        displayAlertDelayed(localizedStr(QStringLiteral("menuBugreport")),
                            localizedStr(QStringLiteral("D_bugreport_alert")), QString(), QString(),
                            QString(), 0, 180);
    }
    return opened;
}
