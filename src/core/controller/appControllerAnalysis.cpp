// The controller's side of the analysis of new sources (sourceAnalysis): the forwards the fronts
// call, the rows it appends with their verdicts, and at its end the joining of spanned
// recordings, the drop area and the conversion the drop paused.
#include "analysis/ffmpeg.h"
#include "controller/appController.h"
#include "controller/jobRecord.h"
#include "controller/spannedJoinApply.h"
#include "frontApi/alerts.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <functional>

void appController::analysis() {
    analysis_.step();
}

void appController::iba_analysisStopBt() {
    analysis_.stop();
}

void appController::iba_selectFileBt() {
    const std::optional<QString> path = selectFile(
        localizedStr(QStringLiteral("D_go_dossier_destination3")), infoPlistExtensions());
    if (!path) {
        return;
    }
    const std::optional<QVariantMap> md = ffInfos(*path, std::nullopt);
    const QVariantMap values = md.value_or(QVariantMap{});
    QStringList entries;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        entries << QStringLiteral("%1 = %2").arg(it.key(), it.value().toString());
    }
    logStr(QStringLiteral("md = %1").arg(md ? entries.join(QStringLiteral("; ")) : "(null)"));
}

void appController::analysisAppendRow(const QString &src, const analysisFinPlanValue &plan) {
    list_.append(plan.row);
    list_.setSelectedIndex(list_.count() - 1);
    // The row comes with the format and rate mode it may have: the list re-sorts itself.
    QTimer::singleShot(0, this, [this] { list_.rearrangeObjects(); });
    analysisRowsChanged();
    if (c_.batchDrawer != nullptr && !c_.batchDrawer->isOpen()) {
        c_.batchDrawer->open();
    }
    if (hooks.analysisVerdict) {
        hooks.analysisVerdict(
            analysisVerdictValue{src, true, sourceRefusal::none, {}, {}, plan.notes});
    }
}

void appController::analysisRefusal(const QString &src, sourceRefusal refusal,
                                    const QString &logWords) {
    tellRefusal(src, refusal, logWords);
}

void appController::analysisLaunchFailed() {
    if (hooks.beep) {
        hooks.beep();
    }
}

void appController::analysisSourcesDone() {
    spannedJoinTellers tell;
    tell.dropThumbnail = [this](const QString &img) { analysis_.thumbnails().cancel(img); };
    tell.verdict = hooks.spannedVerdict;
    applySpannedJoin(list_, analysis_.refusedSources(), choices_.join, tell);
    setOPENPERM(true);
    restoreDropArea();
    analysisResumeConversion();
    if (!list_.isEmpty()) {
        if (c_.batchDrawer != nullptr && !c_.batchDrawer->isOpen()) {
            c_.batchDrawer->open();
        }
        if (c_.batchEncGoBt != nullptr && !c_.batchEncGoBt->isOn()) {
            c_.batchEncGoBt->setEnabled(true);
        }
    }
}

void appController::analysisEnded() {
    analysisRowsChanged();
    if (hooks.analysisEnded) {
        hooks.analysisEnded();
    }
}

void appController::analysisThumbnailMade(const QString &src, const QString &img) {
    if (hooks.thumbnailMade) {
        hooks.thumbnailMade(src, img);
    }
}

void appController::tellRefusal(const QString &src, sourceRefusal refusal,
                                const QString &logWords) {
    if (!hooks.analysisVerdict) {
        return;
    }
    analysisVerdictValue verdict;
    verdict.src = src;
    verdict.refusal = refusal;
    verdict.words = sourceRefusalWords(refusal);
    verdict.logWords = logWords;
    hooks.analysisVerdict(verdict);
}

void appController::analysisResumeConversion() {
    display_.setStopEnabled(true);
    if (pausedForAnalysis_ && run_.hasTool() && run_.isPaused()) {
        resume();
    }
    pausedForAnalysis_ = false;
}
