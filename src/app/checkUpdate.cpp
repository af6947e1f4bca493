#include "checkUpdate.h"

#include "controller/startup.h"
#include "frontApi/alerts.h"
#include "frontApi/uiControls.h"
#include "platform/log.h"
#include "update/updateCheck.h"
#include "update/updateInstall.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdio>

namespace {

void out(const QString &line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

class terminalUpdatePresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &plan) override {
        QString text = plan.title;
        if (!plan.message.trimmed().isEmpty()) {
            text += QStringLiteral(" ") + plan.message.simplified();
        }
        out(QStringLiteral("fluxaro: %1").arg(text));
        return {};
    }
};

// The sheet on a terminal: the outcome texts and the progress by tenths.
class terminalSheet : public updateSheet {
public:
    terminalSheet() {
        bar_.changed = [this] {
            if (bar_.isIndeterminate()) {
                return;
            }
            const int tenth = static_cast<int>(bar_.value() / 10);
            if (tenth > shownTenth_) {
                shownTenth_ = tenth;
                out(QStringLiteral("fluxaro: downloaded %1%").arg(tenth * 10));
            }
        };
    }
    bool isVisible() const override { return visible_; }
    void show(const QString &downloadUrl, const QString &notesUrl, const QString &notice) override {
        (void)downloadUrl;
        (void)notesUrl;
        visible_ = true;
        if (!notice.isEmpty()) {
            out(QStringLiteral("fluxaro: %1").arg(notice));
        }
    }
    void close() override { visible_ = false; }
    void setOutcomeText(const QString &text) override {
        if (!text.isEmpty()) {
            out(QStringLiteral("fluxaro: %1").arg(text));
        }
    }
    uiProgressBar *progressBar() override { return &bar_; }
    uiButton *stopButton() override { return &stop_; }

private:
    bool visible_ = false;
    plainProgressBar bar_;
    plainButton stop_;
    int shownTenth_ = 0;
};

void onStopSignal(int) {
    webUtils::stopFromSignal();
}

// The new copy counts as started when it runs its start-up to the end.
bool newCopyStarts(const appReplacement &replacement) {
    startupReleaseSingleInstance();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // On trial: its start-up leaves the replacement's journal to this process.
    env.insert(QStringLiteral("FLUXARO_UPDATE_TRIAL"), QStringLiteral("1"));
    env.insert(QStringLiteral("FLUXARO_RESOURCE_DIR"),
               replacement.prefix + QStringLiteral("/share/fluxaro"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(replacement.prefix + QStringLiteral("/bin/fluxaro"), {QStringLiteral("--facts")});
    const bool ok = process.waitForFinished(60000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
    startupSingleInstance();
    return ok;
}

// The terminal presents the alerts while it lives; the previous presenter comes back after.
class presenterInPlace {
public:
    presenterInPlace() : previous_(getAlertPresenter()) { setAlertPresenter(&presenter_); }
    ~presenterInPlace() { setAlertPresenter(previous_); }
    presenterInPlace(const presenterInPlace &) = delete;
    presenterInPlace &operator=(const presenterInPlace &) = delete;

private:
    terminalUpdatePresenter presenter_;
    alertPresenter *previous_;
};

// A site that did not answer within its limits says which limit it passed.
void sayFetchLimit(webFetchOutcome outcome) {
    out(QStringLiteral("fluxaro: the update site: %1").arg(webFetchOutcomeStr(outcome)));
}

bool fetchPassedALimit(const updateCheckResult &check) {
    return check.fetchOutcome == webFetchOutcome::TimedOut ||
           check.fetchOutcome == webFetchOutcome::TooLarge;
}

// The check's answer on the terminal, and its exit status.
int reportCheck(const updateCheckResult &check, checkUpdateMode mode) {
    switch (check.status) {
    case updateCheckStatus::NotRun:
    case updateCheckStatus::NoSite:
        return 2;
    case updateCheckStatus::NoNetwork:
        if (fetchPassedALimit(check)) {
            sayFetchLimit(check.fetchOutcome);
        }
        return 2;
    case updateCheckStatus::Unreadable:
        if (fetchPassedALimit(check)) {
            sayFetchLimit(check.fetchOutcome);
        } else {
            out(QStringLiteral("fluxaro: the update site's answer is unreadable"));
        }
        return 2;
    case updateCheckStatus::Refused:
        // The alert said it in words; the reason as logged too.
        out(QStringLiteral("fluxaro: refused: %1").arg(check.refusal));
        return 2;
    case updateCheckStatus::UpToDate:
        return mode == checkUpdateMode::install ? 1 : 0;
    case updateCheckStatus::Offered:
        out(QStringLiteral("fluxaro: update offered: version %1").arg(check.version));
        out(QStringLiteral("fluxaro: download: %1").arg(check.downloadUrl));
        return 1;
    }
    return 2;
}

// A new copy of the application is kept when it starts, else the old one comes back.
int keepNewCopyIfItStarts(const updateCheckResult &check, const appReplacement &replacement) {
    if (newCopyStarts(replacement)) {
        updateDropOldApp(replacement);
        out(QStringLiteral("fluxaro: version %1 installed in %2")
                .arg(check.version, replacement.prefix));
        return 0;
    }
    updateRestoreApp(replacement);
    logStr(QStringLiteral("update              :-( the new copy does not start"));
    out(QStringLiteral("fluxaro: the new copy does not start; the old one is kept"));
    return 2;
}

// Downloads and installs the offered update (Ctrl-C stops the download); the exit status.
int installOffered(const updateCheckResult &check, terminalSheet &sheet) {
    auto *oldInt = std::signal(SIGINT, onStopSignal);
    auto *oldTerm = std::signal(SIGTERM, onStopSignal);
    plainButton sender;
    const updateInstallResult result = iba_dl(check, &sheet, &sender, false);
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    switch (result.status) {
    case updateInstallStatus::ToolInstalled:
        out(QStringLiteral("fluxaro: installed into %1").arg(updateToolFolderStr()));
        return 0;
    case updateInstallStatus::AppInstalled:
        return keepNewCopyIfItStarts(check, result.replacement);
    case updateInstallStatus::NoApplication:
        out(QStringLiteral("fluxaro: the archive holds no application"));
        return 2;
    case updateInstallStatus::Cancelled:
        out(QStringLiteral("fluxaro: the download was cancelled"));
        return 2;
    case updateInstallStatus::NotReplaceable:
    case updateInstallStatus::NotAnswering:
    case updateInstallStatus::Failed:
    case updateInstallStatus::Closed:
        return 2;
    }
    return 2;
}

} // namespace

int checkUpdateRun(checkUpdateMode mode) {
    const presenterInPlace presenter;
    terminalSheet sheet;
    const updateCheckResult check = iba_checkForUpdates(true, &sheet);
    const int status = reportCheck(check, mode);
    if (mode != checkUpdateMode::install || check.status != updateCheckStatus::Offered) {
        return status;
    }
    return installOffered(check, sheet);
}
