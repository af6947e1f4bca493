#include "update/updateCheck.h"

#include "frontApi/alerts.h"
#include "frontApi/uiControls.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/utilsFile.h"
#include "platform/utilsSys.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "update/QuillZipArchive.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QUrl>

#include <optional>

namespace {

float appVersionFloat() {
    return updateVersionFloat(infoPlistStr(QStringLiteral("CFBundleShortVersionString")));
}

void noNetworkAlert() {
    displayAlert(localizedStr(QStringLiteral("D_echec_1")),
                 QStringLiteral("\n%1 \n\n%2")
                     .arg(localizedStr(QStringLiteral("D_echec_2")),
                          localizedStr(QStringLiteral("D_echec_2bis"))),
                 0, false);
}

void noSiteAlert() {
    displayAlert(localizedStr(QStringLiteral("D_echec_1")),
                 localizedStr(QStringLiteral("D_noSite")), 0, false);
}

// A site that never answered within the deadline is said as such, with the time waited.
void timedOutAlert(const webFetchLimits &limits) {
    displayAlert(
        localizedStr(QStringLiteral("D_echec_1")),
        QStringLiteral("\n%1 \n\n%2")
            .arg(localizedStr(QStringLiteral("D_timeout")).arg((limits.deadlineMs + 999) / 1000),
                 localizedStr(QStringLiteral("D_echec_2bis"))),
        0, false);
}

void unreachableAlert(webFetchOutcome outcome, const webFetchLimits &limits) {
    if (outcome == webFetchOutcome::TimedOut) {
        timedOutAlert(limits);
    } else {
        noNetworkAlert();
    }
}

void failureAlert(const QString &text) {
    displayAlert(QStringLiteral(":-("), text, 0, false);
}

// A site or an offer the update does not take, in words: an address that is not HTTPS, or a
// record whose length or digest can't be read.
void refusedAlert(const updateCheckResult &refused) {
    const QString why =
        refused.refusedUrl.isEmpty()
            ? localizedStr(QStringLiteral("D_badRecord"))
            : localizedStr(QStringLiteral("D_insecureAddress")).arg(refused.refusedUrl);
    displayAlert(localizedStr(QStringLiteral("D_echec_1")), why, 0, false);
}

// The requests of a check go over HTTPS only, whatever bounds the caller gives.
webFetchLimits secureLimits(webFetchLimits limits) {
    limits.httpsOnly = true;
    return limits;
}

} // namespace

QString updateNotReplaceableNoticeStr(const QString &notesUrl) {
    switch (appCopyStateOf()) {
    case appCopyState::Replaceable:
        return {};
    case appCopyState::PackageManaged:
    case appCopyState::UpdatesDisabled:
        return LocalisationString(QStringLiteral("DL_packageManager"), QString(), notesUrl);
    case appCopyState::NotWritable:
        return LocalisationString(QStringLiteral("DL_notWritable"), QString(), notesUrl);
    }
    return {};
}

namespace {

// What the record request's answer means, with its alerts and the sheet: the end of a check.
updateCheckResult updateCheckRecordEnd(const webFetchResult &fetched, bool userAsked,
                                       updateSheet *sheet, const QString &base, const QString &code,
                                       const QString &language, float systemVersion,
                                       const webFetchLimits &limits) {
    updateCheckResult result;
    result.fetchOutcome = fetched.outcome;
    const std::optional<QString> answer =
        fetched.outcome == webFetchOutcome::Answered
            ? std::optional<QString>(QString::fromUtf8(fetched.body))
            : std::nullopt;
    const std::optional<updateRecordDico> record =
        answer ? updateRecordParse(*answer) : std::nullopt;
    if (!record) {
        if (fetched.outcome != webFetchOutcome::Answered) {
            logStr(QStringLiteral("update              :-( %1")
                       .arg(webFetchOutcomeStr(fetched.outcome, limits)));
        }
        // A site that holds the answer back or never ends it is unreachable for the user.
        if (userAsked && (fetched.outcome == webFetchOutcome::TimedOut ||
                          fetched.outcome == webFetchOutcome::TooLarge)) {
            unreachableAlert(fetched.outcome, limits);
        }
        logStr(QStringLiteral("update              :-( xml parse"));
        result.status = updateCheckStatus::Unreadable;
        return result;
    }
    result.record = *record;
    result.version = record->value(QStringLiteral("version"));
    logDebug(QStringLiteral("update              ? md : %1").arg(answer->left(2000)));
    const float appVersion = appVersionFloat();
    if (!updateOffered(*record, appVersion, systemVersion)) {
        if (userAsked) {
            displayAlert(QStringLiteral(":-)"),
                         LocalisationString(QStringLiteral("DL_upToDate"), QString(),
                                            QString::number(static_cast<double>(appVersion))),
                         0, false);
        }
        logStr(QStringLiteral("update              :-) upToDate"));
        result.status = updateCheckStatus::UpToDate;
        return result;
    }
    const updateDownloadPlan download = updateDownloadPlanOf(base, *record);
    result.downloadUrl = download.url;
    logStr(QStringLiteral("str                 : %1").arg(result.downloadUrl));
    if (!download.refusal.isEmpty()) {
        logStr(QStringLiteral("update              :-( refused: %1").arg(download.refusal));
        result.status = updateCheckStatus::Refused;
        result.refusal = download.refusal;
        result.refusedUrl = download.insecureUrl;
        if (userAsked) {
            refusedAlert(result);
        }
        return result;
    }
    result.status = updateCheckStatus::Offered;
    result.archiveLength = download.length;
    result.archiveSha256 = download.sha256;
    result.notesUrl = updateNotesUrlStr(base, code, language);
    if (sheet != nullptr) {
        sheet->bringMainWindowBack();
        sheet->setOutcomeText(QString());
        const QString notice = updateIsAppArchive(result.downloadUrl)
                                   ? updateNotReplaceableNoticeStr(result.notesUrl)
                                   : QString();
        if (!sheet->isVisible()) {
            sheet->show(result.downloadUrl, result.notesUrl, notice);
        }
        logStr(QStringLiteral("up                  - post"));
    }
    return result;
}

} // namespace

void iba_checkForUpdatesAsync(bool userAsked, updateSheet *sheet, QObject *context,
                              std::function<void(const updateCheckResult &)> done,
                              const webFetchLimits &limits) {
    updateCheckResult result;
    if (!userAsked && prefRead(QStringLiteral("update")) != QLatin1String("1")) {
        done(result);
        return;
    }
    const QString base = updateBaseUrlStr();
    if (base.isEmpty()) {
        logStr(QStringLiteral("update              :-( no update site in this build"));
        if (userAsked) {
            noSiteAlert();
        }
        result.status = updateCheckStatus::NoSite;
        done(result);
        return;
    }
    if (!updateUrlIsSecure(base)) {
        // Nothing is asked of a site that is not HTTPS: its answers could come from anyone.
        result.status = updateCheckStatus::Refused;
        result.refusal = QStringLiteral("%1 is not an HTTPS address").arg(base);
        result.refusedUrl = base;
        logStr(QStringLiteral("update              :-( refused: %1").arg(result.refusal));
        if (userAsked) {
            refusedAlert(result);
        }
        done(result);
        return;
    }
    const QString code = updateProductCodeStr();
    const QString language = updateLanguageStr();
    const QString probeUrl = updateProbeUrlStr(base, code);
    logDebug(QStringLiteral("internetConnexionChe- deb: %1").arg(probeUrl));
    webFetchAsync(probeUrl, secureLimits(limits), context,
                  [=, done = std::move(done)](const webFetchResult &probe) mutable {
                      if (!webProbeAnswered(probeUrl, probe, limits)) {
                          updateCheckResult failed;
                          failed.fetchOutcome = probe.outcome;
                          if (userAsked) {
                              unreachableAlert(probe.outcome, limits);
                          }
                          logStr(QStringLiteral("update              :-( web check KO (%1)")
                                     .arg(webFetchOutcomeStr(probe.outcome, limits)));
                          failed.status = updateCheckStatus::NoNetwork;
                          done(failed);
                          return;
                      }
                      const float systemVersion = versionOS();
                      // A record is a few lines: the answer is bounded in time and size like the
                      // probe's.
                      webFetchAsync(updateQueryUrlStr(base, code, language, systemVersion),
                                    secureLimits(limits), context,
                                    [=, done = std::move(done)](const webFetchResult &fetched) {
                                        done(updateCheckRecordEnd(fetched, userAsked, sheet, base,
                                                                  code, language, systemVersion,
                                                                  limits));
                                    });
                  });
}

updateCheckResult iba_checkForUpdates(bool userAsked, updateSheet *sheet,
                                      const webFetchLimits &limits) {
    QEventLoop loop;
    std::optional<updateCheckResult> checked;
    iba_checkForUpdatesAsync(
        userAsked, sheet, &loop,
        [&](const updateCheckResult &result) {
            checked = result;
            loop.quit();
        },
        limits);
    if (!checked) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return checked.value_or(updateCheckResult{});
}

updateInstallResult iba_dl(const updateCheckResult &offer, updateSheet *sheet, uiButton *sender,
                           bool cancelSegment, const webDownloadLimits &limits) {
    updateInstallResult result;
    const QString url = offer.downloadUrl;
    logStr(QStringLiteral("iba_dl              - deb: %1").arg(url));
    const bool isApp = updateIsAppArchive(url);
    logStr(QStringLiteral("isUpdatedApp        ?= %1").arg(isApp ? 1 : 0));
    if (cancelSegment) {
        if (sheet != nullptr && sheet->isVisible()) {
            sheet->close();
        }
        result.status = updateInstallStatus::Closed;
        return result;
    }
    if (!updateUrlIsSecure(url)) {
        // Offers come from the check, which refuses these already; nothing is fetched anyway.
        logStr(QStringLiteral("iba_dl              :-( not an HTTPS address"));
        result.status = updateInstallStatus::Failed;
        failureAlert(localizedStr(QStringLiteral("dlNInstallFailure")));
        return result;
    }
    if (isApp && appCopyStateOf() != appCopyState::Replaceable) {
        // Never overwrite a copy the package manager (or another user) owns.
        const QString notice = updateNotReplaceableNoticeStr(offer.notesUrl);
        logStr(QStringLiteral("isToReplace         ? 0"));
        if (sheet != nullptr) {
            sheet->setOutcomeText(notice);
        }
        result.status = updateInstallStatus::NotReplaceable;
        return result;
    }
    if (sender != nullptr) {
        sender->setEnabled(false);
    }
    QString tmp = getTMPFOLDER();
    if (!tmp.endsWith(QLatin1Char('/'))) {
        tmp += QLatin1Char('/');
    }
    const QString folder = tmp + QStringLiteral("dl/");
    const QString name = QUrl(url).fileName();
    const QString archive = folder + (name.isEmpty() ? QStringLiteral("download.zip") : name);
    rmCocoa(folder);
    mkdirCocoa(folder);

    uiProgressBar *bar = sheet != nullptr ? sheet->progressBar() : nullptr;
    uiButton *stop = sheet != nullptr ? sheet->stopButton() : nullptr;
    webDownloadExpect expect;
    expect.length = offer.archiveLength;
    expect.sha256 = offer.archiveSha256;
    const int32_t downloaded = webUtils::downloadURL(url, archive, bar, stop, true, limits, expect);
    if (downloaded == 1) {
        // Stopped by the user: said as such, with no failure alert.
        logStr(QStringLiteral("iba_dl              - cancelled"));
        if (sheet != nullptr) {
            sheet->setOutcomeText(localizedStr(QStringLiteral("dlCancelled")));
        }
        rmCocoa(folder);
        if (sender != nullptr) {
            sender->setEnabled(true);
        }
        result.status = updateInstallStatus::Cancelled;
        return result;
    }
    bool ok = downloaded == 0;
    if (ok) {
        if (sheet != nullptr) {
            sheet->setOutcomeText(localizedStr(QStringLiteral("dlNInstallPostStr")));
        }
        zipArchiveError error;
        // The archive itself must not be unpacked over: it is named after the address, the
        // entries after their own names.
        ok = QuillZipArchive::unzipFileAtPath(archive, folder + QStringLiteral("unpacked"), true,
                                              QString(), &error);
    }
    if (ok) {
        const QString unpacked = folder + QStringLiteral("unpacked");
        if (!isApp) {
            const QString staged = unpacked + QLatin1Char('/') + QFileInfo(archive).fileName();
            ok = updateInstallTool(staged);
            if (ok) {
                result.status = updateInstallStatus::ToolInstalled;
            }
        } else {
            const QString app = updateFindUnpackedApp(unpacked);
            if (app.isEmpty()) {
                logStr(QStringLiteral("update              :-( no application in the archive"));
                result.status = updateInstallStatus::NoApplication;
            } else if (!updateTryUnpackedApp(app, folder + QStringLiteral("trial"))) {
                // Only a copy that answers takes the running one's place.
                result.status = updateInstallStatus::NotAnswering;
                ok = false;
            } else {
                result.replacement = updateReplaceApp(app, appCopyPrefixStr());
                ok = result.replacement.ok;
                if (ok) {
                    result.status = updateInstallStatus::AppInstalled;
                    if (sheet != nullptr) {
                        sheet->close();
                    }
                    rmCocoa(folder);
                    return result;
                }
            }
        }
    }
    if (!ok) {
        const bool notAnswering = result.status == updateInstallStatus::NotAnswering;
        if (!notAnswering) {
            result.status = updateInstallStatus::Failed;
        }
        const QString text = localizedStr(notAnswering ? QStringLiteral("dlNotAnswering")
                                                       : QStringLiteral("dlNInstallFailure"));
        if (sheet != nullptr) {
            sheet->setOutcomeText(text);
        }
        failureAlert(text);
    }
    rmCocoa(folder);
    if (sheet != nullptr) {
        sheet->close();
    }
    if (sender != nullptr) {
        sender->setEnabled(true);
    }
    return result;
}
