#include "helpMenu.h"

#include "desktop/reveal.h"
#include "frontApi/alerts.h"
#include "platform/log.h"
#include "settings/localisation.h"
#include "update/supportMail.h"
#include "update/updateRecord.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QUrl>

namespace {

QString why(const desktopOpenVerdict &verdict) {
    switch (verdict.end) {
    case desktopOpenEnd::noOpener:
        return localizedStr(QStringLiteral("D_openNoOpener"));
    case desktopOpenEnd::noProgram:
        return localizedStr(QStringLiteral("D_openNoProgram"));
    case desktopOpenEnd::failed:
        return verdict.exitCode < 0
                   ? localizedStr(QStringLiteral("D_openCrashed"))
                   : localizedStr(QStringLiteral("D_openFailed")).arg(verdict.exitCode);
    case desktopOpenEnd::opened:
        break;
    }
    return {};
}

// The alert with the address and its Copy button; the copy goes to the clipboard.
void tell(const helpOpenTold &words, const QString &address) {
    alertPlan plan;
    plan.title = words.title;
    plan.message = words.message;
    plan.warning = words.warning;
    plan.buttons = {QString(), localizedStr(QStringLiteral("D_copyAddress"))};
    plan.cancelButton = 0;
    plan.timed = words.timed;
    plan.timeoutSeconds = words.timed ? 180 : 0;
    alertPresenter *presenter = getAlertPresenter();
    const alertOutcome outcome = presenter ? presenter->present(plan) : alertOutcome{};
    if (outcome.button == 1) {
        if (QClipboard *clipboard = QGuiApplication::clipboard()) {
            clipboard->setText(address);
        }
        logStr(QStringLiteral("iba_mail            - address copied: %1").arg(address));
    }
}

} // namespace

helpOpenTold helpOpenWords(helpOpenKind kind, const QString &address,
                           const desktopOpenVerdict &verdict) {
    const bool opened = verdict.end == desktopOpenEnd::opened;
    helpOpenTold words;
    if (kind == helpOpenKind::site) {
        words.title = localizedStr(QStringLiteral("D_siteNotOpened_1"));
        words.message =
            localizedStr(QStringLiteral("D_siteNotOpened_2")).arg(address, why(verdict));
        words.warning = true;
        return words;
    }
    if (!opened) {
        words.title = localizedStr(QStringLiteral("D_mailNoProgram_1"));
        words.message = localizedStr(QStringLiteral("D_mailNoProgram_2")).arg(address) +
                        QLatin1Char(' ') + why(verdict);
        words.warning = true;
        return words;
    }
    const bool bug = kind == helpOpenKind::mailBug;
    words.title =
        localizedStr(bug ? QStringLiteral("menuBugreport") : QStringLiteral("menuContact"));
    words.message = (bug ? localizedStr(QStringLiteral("D_bugreport_alert"))
                         : localizedStr(QStringLiteral("D_mailOpened"))) +
                    QLatin1Char(' ') + localizedStr(QStringLiteral("D_mailIfNot")).arg(address);
    words.timed = bug;
    return words;
}

void iba_openUrl(QObject *context, std::function<void(bool)> done) {
    const QString site = updateWebSiteUrlStr();
    logStr(QStringLiteral("iba_siteWeb         - debut : %1")
               .arg(localizedStr(QStringLiteral("menuSite"))));
    if (site.isEmpty()) {
        if (done) {
            done(false);
        }
        return;
    }
    desktopOpenAsync(QUrl(site), context, [site, done](desktopOpenVerdict verdict) {
        const bool opened = verdict.end == desktopOpenEnd::opened;
        if (!opened) {
            tell(helpOpenWords(helpOpenKind::site, site, verdict), site);
        }
        if (done) {
            done(opened);
        }
    });
}

void iba_mail(QObject *context, bool bugReport, const QString &versionCaption,
              std::function<void(bool)> done) {
    logStr(QStringLiteral("iba_mail : %1")
               .arg(localizedStr(bugReport ? QStringLiteral("menuBugreport")
                                           : QStringLiteral("menuContact"))));
    if (bugReport) {
        revealInFinder(logFolderPathStr());
    }
    const QString address = supportMailUrlStr(supportMailFactsOfApp(bugReport, versionCaption));
    const QString recipient =
        (bugReport ? supportMailBugLocalPartStr() : supportMailContactLocalPartStr()) +
        QLatin1Char('@') + supportMailDomainStr();
    const helpOpenKind kind = bugReport ? helpOpenKind::mailBug : helpOpenKind::mailContact;
    desktopOpenAsync(
        QUrl(address, QUrl::StrictMode), context,
        [kind, recipient, done](desktopOpenVerdict verdict) {
            const bool opened = verdict.end == desktopOpenEnd::opened;
            if (!opened) {
                logStr(
                    QStringLiteral("iba_mail            :-( no mail program: %1").arg(recipient));
            }
            tell(helpOpenWords(kind, recipient, verdict), recipient);
            if (done) {
                done(opened);
            }
        });
}
