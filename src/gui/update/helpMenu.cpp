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
    if (!opened) {
        // No mail program took the message: the address to write to, in a text the user can
        // select and copy.
        const QString recipient =
            (bugReport ? supportMailBugLocalPartStr() : supportMailContactLocalPartStr()) +
            QLatin1Char('@') + supportMailDomainStr();
        logStr(QStringLiteral("iba_mail            :-( no mail program: %1").arg(recipient));
        displayAlert(localizedStr(QStringLiteral("D_mailNoProgram_1")),
                     localizedStr(QStringLiteral("D_mailNoProgram_2")).arg(recipient),
                     alertStyleWarning, false);
        return false;
    }
    if (bugReport) {
        displayAlertDelayed(localizedStr(QStringLiteral("menuBugreport")),
                            localizedStr(QStringLiteral("D_bugreport_alert")), QString(), QString(),
                            QString(), 0, 180);
    }
    return opened;
}
