// The controller's side of the analysis of new sources (sourceAnalysis): the forwards the fronts
// call, the rows it appends with their verdicts, and at its end the joining of spanned
// recordings, the drop area and the conversion the drop paused.
#include "analysis/ffmpeg.h"
#include "controller/appController.h"
#include "controller/jobRecord.h"
#include "controller/spannedJoin.h"
#include "dates/spannedRecording.h"
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

namespace {

/// The rows the joining of spanned recordings may regroup: those that wait for the conversion
/// and are no joined row already; `indices` gets their places in the list.
QList<joinRow> spannedCandidateRows(const batchList &list, QList<int32_t> *indices) {
    QList<joinRow> rows;
    for (int32_t i = 0; i < list.count(); ++i) {
        const QVariantMap dico = list.dico(i);
        if (list.value(i, rowKey::status).toString() != rowStatus::waiting ||
            dico.contains(jobKey::joinPaths)) {
            continue;
        }
        rows.append({jobSourcePath(dico), dico});
        indices->append(i);
    }
    return rows;
}

/// The head and tail of a piece's stream file, where its IN and OUT times are placed.
std::optional<toolbox::StreamSpan> readPieceSpan(const recordingPiece &piece) {
    toolbox::StreamSpan span;
    const toolbox::MovieStatus status =
        toolbox::readStreamSpan(QFile::encodeName(piece.path).toStdString(),
                                static_cast<std::int64_t>(piece.inTime) * 2, span);
    if (!status) {
        logStr(QStringLiteral("spanned recording   :-( %1")
                   .arg(QString::fromStdString(status.message)));
        return std::nullopt;
    }
    return span;
}

/// The record of the row kept for the k-th piece of a decision: its note and, for a joined
/// row, every piece's path and bytes and the recording's whole duration.
QVariantMap spannedRowRecord(QVariantMap dico, const joinDecision &decision, qsizetype k,
                             const QList<joinRow> &rows) {
    dico.insert(jobKey::joinNote, decision.notes.at(k));
    if (!decision.joined) {
        return dico;
    }
    double seconds = 0;
    for (const qsizetype row : decision.rows) {
        seconds += rows.at(row).dico.value(QStringLiteral("w_duration")).toDouble();
    }
    dico.insert(jobKey::joinPaths, decision.paths);
    QStringList ranges;
    for (const pieceBytes &bytes : decision.ranges) {
        ranges << bytes.text();
    }
    dico.insert(jobKey::joinRanges, ranges);
    dico.insert(QStringLiteral("w_duration"), static_cast<float>(seconds));
    return dico;
}

} // namespace

QStringList appController::analysisArray() {
    return sourceAnalysis::stepArray();
}

void appController::analysis() {
    analysis_.step();
}

void appController::iba_analysisStopBt() {
    analysis_.stop();
}

bool appController::taskLauncherAnalysisStart(const QStringList &args) {
    return analysis_.launchProbe(args);
}

std::optional<QVariantMap> appController::analysisFf(const std::optional<QString> &report,
                                                     const std::optional<QString> &label) {
    return sourceAnalysis::mediaInfo(report, label);
}

QString appController::thumbnailSeekPoint(const QVariant &duration) {
    return sourceAnalysis::thumbnailSeekPoint(duration);
}

std::optional<QString> appController::fieldOrderLetter(const std::optional<QString> &headerLine) {
    return sourceAnalysis::fieldOrderLetter(headerLine);
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
    spannedJoinApply();
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

void appController::spannedJoinApply() {
    const bool joining = c_.prefJoinBt == nullptr || c_.prefJoinBt->isOn();
    QList<int32_t> listRows;
    const QList<joinRow> rows = spannedCandidateRows(list_, &listRows);
    const QList<joinDecision> decisions = spannedJoinPlan(
        rows, spannedRecordingOf, analysis_.refusedSources(), joining, readPieceSpan);
    QList<int32_t> removed;
    for (const joinDecision &decision : decisions) {
        for (qsizetype k = 0; k < decision.rows.size(); ++k) {
            const int32_t index = listRows.at(decision.rows.at(k));
            const QString src = rows.at(decision.rows.at(k)).src;
            if (decision.joined && k > 0) {
                // The joined row (the first piece's) takes this piece; its thumbnail goes.
                const QString img = list_.dico(index).value(jobKey::imgPath).toString();
                if (!img.isEmpty()) {
                    analysis_.thumbnails().cancel(img);
                }
                removed << index;
                continue;
            }
            const QVariantMap dico = spannedRowRecord(list_.dico(index), decision, k, rows);
            if (decision.joined) {
                list_.setValue(index, rowKey::src, spannedJoinRowName(decision.paths));
            }
            list_.setValue(index, rowKey::dico, dico);
            logStr(QStringLiteral("spanned recording   : %1: %2").arg(src, decision.notes.at(k)));
            if (hooks.spannedVerdict) {
                hooks.spannedVerdict(src, decision.joined ? decision.paths : QStringList(),
                                     decision.notes.at(k));
            }
        }
    }
    std::sort(removed.begin(), removed.end(), std::greater<>());
    for (const int32_t index : removed) {
        list_.removeAt(index);
    }
    if (!removed.isEmpty()) {
        list_.setSelectedIndex(list_.count() - 1);
    }
}

void appController::analysisResumeConversion() {
    if (taskStopBt_ != nullptr) {
        taskStopBt_->setEnabled(true);
    }
    if (pausedForAnalysis_ && taskStopBt_ != nullptr && run_.hasTool() && run_.isPaused()) {
        taskStopBt_->setSelectedSegment(0);
        iba_taskStopBt(taskStopBt_);
    }
    pausedForAnalysis_ = false;
}
