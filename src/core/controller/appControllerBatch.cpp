// The batch list of the application controller: adding sources, removing rows, the row being
// converted, normalising a row's format and mode, Go and revealing the destination.
#include "controller/appController.h"
#include "controller/dropPlan.h"
#include "controller/jobRecord.h"
#include "controller/outputNames.h"
#include "controller/rowAllowance.h"
#include "desktop/reveal.h"
#include "frontApi/alerts.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "platform/utilsFile.h"
#include "settings/localisation.h"
#include "settings/prefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

appController::appController(const appControls &controls, QObject *parent)
    : QObject(parent), c_(controls) {
    wireConversionRun();
}

appController::~appController() {
    terminateRuns();
}

QStringList appController::acceptedExtensions() {
    QStringList all;
    for (const QString &ext : infoPlistExtensions()) {
        const QString capitalised = ext.isEmpty() ? ext : ext.left(1).toUpper() + ext.mid(1);
        for (const QString &form : {ext, ext.toUpper(), capitalised}) {
            if (!all.contains(form)) {
                all << form;
            }
        }
    }
    return all;
}

void appController::restoreDropArea() {
    if (c_.dropArea != nullptr) {
        c_.dropArea->setImageName(QStringLiteral("dndSd"));
        c_.dropArea->setCaptionHidden(false);
        c_.dropArea->setActionTextHidden(true);
    }
}

void appController::setChoices(const batchChoices &choices) {
    choices_ = choices;
}

void appController::draggedFiles(const QStringList &pathsIn) {
    logStr(QStringLiteral("drag'n'drop         -> draggedFiles : %1").arg(pathsIn.size()));
    if (pathsIn.isEmpty()) {
        return;
    }
    if (!getOPENPERM()) {
        logStr(QStringLiteral("getOPENPERM()       ? %1").arg(0));
        return;
    }
    const bool paused = dropBegin();
    // The destination's events folder holds this program's outputs: with the source folder as
    // the destination, converting them again at every run would never end.
    const QString events = !choices_.destination.isEmpty() ? eventsFolderPathStr() : QString();
    const QList<dropItem> items = dropRead(pathsIn, events);
    QStringList listed;
    for (const batchRow &row : list_.rows()) {
        // A joined row stands for every piece of its recording.
        listed << row.source << row.pieces;
    }
    logStr(QStringLiteral("already stored files=%1 …").arg(list_.count()));
    const dropPlanValue plan = dropPlan(items, listed, acceptedExtensions());
    if (!plan.queued.isEmpty()) {
        logStr(QStringLiteral("drag'n'drop, final  = %1").arg(plan.queued.size()));
        if (c_.analysisStopBt != nullptr) {
            c_.analysisStopBt->setHidden(false);
        }
        analysis_.begin(plan.queued);
        // Told while the analysis runs: the front knows that the drop goes on.
        tellDropRefusals(plan);
        analysis();
        return;
    }
    logStr(QStringLiteral("no compatible file (or no new files ;-))"));
    tellDropRefusals(plan);
    if (plan.tellRefusals) {
        displayAlertSheetWarning(localizedStr(QStringLiteral("dndNonCompliantFolderFilesTitle")),
                                 dropRefusedMessage(plan));
    }
    dropEndWithNothing(paused);
}

void appController::tellDropRefusals(const dropPlanValue &plan) {
    for (const dropRefused &refused : plan.refused) {
        logStr(QStringLiteral("drop refused        :-( %1: %2")
                   .arg(refused.path, dropRefusalLogWords(refused.reason)));
        if (dropRefusalShown(refused) && hooks.analysisVerdict) {
            hooks.analysisVerdict(dropRefusalVerdict(refused));
        }
    }
}

bool appController::dropBegin() {
    if (c_.dropArea != nullptr) {
        c_.dropArea->setImageName(QStringLiteral("dndSdOff"));
        c_.dropArea->setCaptionHidden(true);
        c_.dropArea->setActionTextHidden(false);
    }
    if (c_.analysisWheelProgInd != nullptr) {
        c_.analysisWheelProgInd->setAnimating(true);
    }
    setOPENPERM(false);
    // A running conversion is paused while its sources are analysed. Only a run that is really
    // going is paused, and only that one is resumed afterwards: one the user paused stays paused.
    bool toggled = false;
    if (isBatchRunning()) {
        display_.setStopEnabled(false);
        if (run_.isRunning() && !run_.isPaused()) {
            pause();
            pausedForAnalysis_ = true;
            toggled = true;
        }
        if (c_.batchEncGoBt != nullptr) {
            c_.batchEncGoBt->setEnabled(false);
        }
    }
    return toggled;
}

void appController::dropEndWithNothing(bool paused) {
    restoreDropArea();
    if (c_.analysisWheelProgInd != nullptr) {
        c_.analysisWheelProgInd->setAnimating(false);
    }
    if (paused) {
        analysisResumeConversion();
    }
    if (c_.batchEncGoBt != nullptr && !list_.isEmpty() && !c_.batchEncGoBt->isOn()) {
        c_.batchEncGoBt->setEnabled(true);
    }
    setOPENPERM(true);
    if (hooks.analysisEnded) {
        hooks.analysisEnded();
    }
}

void appController::dragNDropPerformDrag(const QStringList &paths) {
    logStr(QStringLiteral("drag'n'drop(imgView)…"));
    draggedFiles(paths);
}

void appController::applicationOpenFiles(const QStringList &paths) {
    QTimer::singleShot(0, this, [this, paths] {
        logStr(QStringLiteral("drag'n'drop onto icon…"));
        draggedFiles(paths);
    });
}

void appController::iba_menuOpen() {
    logStr(QStringLiteral("(drag'n'drop) menu open…"));
    if (!getOPENPERM()) {
        return;
    }
    const std::optional<QStringList> paths =
        selectFilesFolders(localizedStr(QStringLiteral("selectFileStr")), acceptedExtensions());
    if (paths) {
        draggedFiles(*paths);
    }
}

void appController::encBatchRemove(bool fromRemoveButton) {
    logStr(QStringLiteral("encBatchRemove      - deb"));
    const int32_t index = list_.selectedIndex();
    if (index < 0) {
        return;
    }
    if (fromRemoveButton && index == encBatchInprogressRowIdentification()) {
        logStr(QStringLiteral("pas de suppression de la source en cours d'encodage ;-)"));
        displayAlertSheetWarning(localizedStr(QStringLiteral("D_batch_1")), QString());
        return;
    }
    forgetRemoved();
    if (fromRemoveButton) {
        // The person's own Remove can be undone: the row and its thumbnail are kept until
        // the next one.
        removed_ = removedRow{index, list_.row(index)};
    } else {
        const QString img = list_.row(index).thumbnailPath;
        if (!img.isEmpty()) {
            rmCocoa(img);
        }
    }
    list_.removeAt(index);
    if (list_.isEmpty()) {
        if (c_.batchEncGoBt != nullptr) {
            c_.batchEncGoBt->setEnabled(false);
        }
        if (c_.batchDrawer != nullptr && c_.batchDrawer->isOpen()) {
            c_.batchDrawer->close();
        }
    }
}

void appController::forgetRemoved() {
    if (!removed_) {
        return;
    }
    const QString img = removed_->row.thumbnailPath;
    removed_.reset();
    if (!img.isEmpty()) {
        rmCocoa(img);
    }
}

bool appController::encBatchUndoRemove() {
    if (!removed_) {
        return false;
    }
    const QString src = removed_->row.source;
    for (const batchRow &row : list_.rows()) {
        if (row.reads(src)) {
            // Listed again since: a second row of it would convert it twice.
            logStr(QStringLiteral("undo remove         :-/ listed again: %1").arg(src));
            removed_.reset();
            return false;
        }
    }
    const removedRow back = *removed_;
    removed_.reset();
    logStr(QStringLiteral("undo remove         : %1").arg(src));
    list_.insertAt(back.index, back.row);
    list_.setSelectedIndex(std::clamp(back.index, 0, list_.count() - 1));
    if (c_.batchEncGoBt != nullptr && !batchRunning_ && getOPENPERM()) {
        c_.batchEncGoBt->setEnabled(true);
    }
    if (c_.batchDrawer != nullptr && !c_.batchDrawer->isOpen()) {
        c_.batchDrawer->open();
    }
    return true;
}

void appController::encBatchRemoveAll(bool fromRemoveAllButton) {
    if (list_.isEmpty()) {
        return;
    }
    if (fromRemoveAllButton) {
        const QString cancel = localizedStr(QStringLiteral("D_Annuler"));
        const QString answer = displayAlertDelayed(
            localizedStr(QStringLiteral("D_batch_4")), localizedStr(QStringLiteral("D_batch_5")),
            cancel, localizedStr(QStringLiteral("D_oui")), std::nullopt, 0, 60);
        if (answer == cancel) {
            return;
        }
    }
    logStr(QStringLiteral("tout effacer        …"));
    const int32_t current = encBatchInprogressRowIdentification();
    if (current < 0) {
        if (c_.batchEncGoBt != nullptr) {
            c_.batchEncGoBt->setEnabled(false);
        }
        if (c_.batchDrawer != nullptr && c_.batchDrawer->isOpen()) {
            c_.batchDrawer->close();
        }
        while (!list_.isEmpty()) {
            list_.setSelectedIndex(list_.count() - 1);
            encBatchRemove(false);
        }
        return;
    }
    const uint64_t keep = list_.idAt(current);
    for (int32_t i = list_.count() - 1; i >= 0; --i) {
        if (list_.idAt(i) != keep) {
            list_.setSelectedIndex(i);
            encBatchRemove(false);
        }
    }
}

bool appController::encBatchConvertAgain() {
    const int32_t index = list_.selectedIndex();
    if (index < 0 || list_.row(index).state != rowState::converted ||
        index == encBatchInprogressRowIdentification()) {
        return false;
    }
    logStr(QStringLiteral("convert again       : %1").arg(list_.row(index).name));
    list_.setState(index, rowState::waiting);
    return true;
}

int32_t appController::encBatchInprogressRowIdentification() const {
    return cursor_ ? list_.indexOfId(*cursor_) : -1;
}

void appController::iba_outSpeedCell() {
    const int32_t index = list_.selectedIndex();
    if (index < 0) {
        return;
    }
    const batchRow &row = list_.row(index);
    const rowAllowanceValue allowed =
        rowAllowance({row.format, row.rateMode, row.facts.fps, getAIC() != 0, getPRORES() != 0});
    list_.setFormat(index, allowed.format);
    list_.setRateMode(index, allowed.rate);
    QTimer::singleShot(0, this, [this] { list_.rearrangeObjects(); });
}

void appController::selectFolderForDestination() {
    alertPresenter *presenter = getAlertPresenter();
    if (presenter == nullptr) {
        return;
    }
    const std::optional<QString> folder =
        presenter->chooseFolder(localizedStr(QStringLiteral("D_go_dossier_destination3")));
    if (folder && !folder->isEmpty()) {
        prefWrite(QStringLiteral("prefDefautDstPathStr"), *folder);
        takeDestination(*folder);
    }
}

void appController::takeDestination(const QString &folder) {
    choices_.destination = folder;
    if (hooks.destinationChosen) {
        hooks.destinationChosen(folder);
    }
}

void appController::iba_batchGoBt() {
    logStr(QStringLiteral("-------------------- iba_batchGoBt"));
    if (list_.isEmpty()) {
        return;
    }
    // A second Go after a finished batch converts what is left: the converted rows stay as
    // they are (converting them again would replace or double their outputs).
    if (batchNextRow(list_.states(), -1) < 0 && !analysis_.isAnalysing()) {
        displayAlertSheet(localizedStr(QStringLiteral("batchNothingToConvert")),
                          localizedStr(QStringLiteral("batchNothingToConvert2")));
        return;
    }
    const QString title = localizedStr(QStringLiteral("D_go_dossier_destination1"));
    const QString message = localizedStr(QStringLiteral("D_go_dossier_destination3"));
    if (choices_.destination.isEmpty()) {
        displayAlert(title, message, alertStyleCritical, false);
        selectFolderForDestination();
        if (choices_.destination.isEmpty()) {
            return;
        }
    }
    if (!QFileInfo(choices_.destination).isDir()) {
        const QString defaultDst = prefRead(QStringLiteral("prefDefautDstPathStr"));
        if (!defaultDst.isEmpty() && QFileInfo(defaultDst).isDir()) {
            takeDestination(defaultDst);
        } else {
            displayAlert(title, message, alertStyleCritical, false);
            selectFolderForDestination();
            const QString chosen = prefRead(QStringLiteral("prefDefautDstPathStr"));
            if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) {
                takeDestination(chosen);
            } else {
                return;
            }
        }
    }
    if (choices_.destination.isEmpty()) {
        return;
    }
    if (c_.batchEncGoBt != nullptr) {
        c_.batchEncGoBt->setEnabled(false);
        c_.batchEncGoBt->setOn(true);
    }
    // The answer given for an output that exists already holds for this batch (the step asks
    // otherwise, and its "apply to all" box makes the answer the batch's).
    batchExisting_ = choices_.existing;
    batchRunning_ = true;
    batchNames_.clear();
    outcomes_.clear();
    for (int32_t i = 0; i < list_.count(); ++i) {
        if (list_.row(i).state != rowState::converted) {
            list_.setState(i, rowState::waiting);
        }
    }
    progress_.start();
    reportBatchProgress(batchPhase::analysing, 0);
    encSend(QStringLiteral("encBatch"));
}

void appController::iba_OpenFolder(revealSender sender) {
    logStr(QStringLiteral("iba_OpenFolder      - deb"));
    QString folder;
    if (sender == revealSender::batchView) {
        folder = choices_.destination;
        const QString events = eventsFolderIn(folder);
        if (!folder.isEmpty() && QFileInfo(events).isDir()) {
            folder = events + QLatin1Char('/');
        }
    } else if (sender == revealSender::preferences) {
        folder = prefRead(QStringLiteral("prefDefautDstPathStr"));
    }
    if (folder.isEmpty()) {
        return;
    }
    if (!QFileInfo(folder).isDir()) {
        displayAlertSheetWarning(localizedStr(QStringLiteral("D_go_dossier_destination1")),
                                 QString());
        return;
    }
    if (hooks.revealFolder) {
        hooks.revealFolder(folder);
    } else {
        revealInFinder(folder);
    }
}
