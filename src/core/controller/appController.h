// The application controller: the batch list, the conversion step machine, the events of the
// conversion's tool runs (progress, pause, play, stop) and the analysis of new sources. It knows
// no widget: it drives the window through the controls of appControls, reads what the person chose
// from the batchChoices the fronts hand it, is paused, resumed and stopped through its methods,
// and shows messages through the alert functions (alerts.h), so the graphical and the headless
// front run the same machines.
//
// Work that spans tool runs is a step machine whose markers live in the preferences store:
// `enc` for the conversion (steps "encBatch", "encDeb", "encQtEnc", "encFin", dispatcher
// "encProcesses") and `analysis` for new sources. Each step either starts one child process and
// returns, or hands over to the next step; the end of a run re-enters the machine. At most one
// conversion run and one analysis run exist at a time. Everything runs on the main thread's event
// loop.
//
// The class holds the machines' order; its parts are owned pieces of their own: the running tool
// (conversionRun) and the controls that show it (runDisplay), the analysis (sourceAnalysis, with
// its thumbnailQueue), the batch's progress (batchProgressTracker) and outcomes
// (batchOutcomeBook). The steps decide through the pure plans of encPlans, dropPlan and
// analysisPlans, and act on files through encActions.
#pragma once

#include "controller/analysisPlans.h"
#include "controller/batchChoices.h"
#include "controller/batchList.h"
#include "controller/batchProgress.h"
#include "controller/controllerHooks.h"
#include "controller/conversionRun.h"
#include "controller/dropPlan.h"
#include "controller/outcomes.h"
#include "controller/runDisplay.h"
#include "controller/runningJob.h"
#include "controller/sourceAnalysis.h"
#include "controller/thumbnailQueue.h"
#include "frontApi/appControls.h"
#include "verify/outputVerdict.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <optional>

struct encDebPlanValue;   // controller/encPlans.h
struct encQtEncPlanValue; // controller/encPlans.h

class appController : public QObject, private sourceAnalysisDelegate {
    Q_OBJECT

public:
    explicit appController(const appControls &controls, QObject *parent = nullptr);
    ~appController() override;
    appController(const appController &) = delete;
    appController &operator=(const appController &) = delete;

    appControllerHooks hooks;

    /// The batch list (the table's model).
    batchList *whichArrayController() { return &list_; }
    const appControls &controls() const { return c_; }

    /// What the person chose: the destination and what new rows take. The window gives it
    /// whenever a preference or the destination changes; Go may replace a missing destination
    /// (told to hooks.destinationChosen).
    void setChoices(const batchChoices &choices);
    const batchChoices &choices() const { return choices_; }

    // Batch list --------------------------------------------------------------------------

    /// The common entry for new sources: reads them (a folder stands for the files below it,
    /// files and folders may be mixed), pauses a running conversion, queues what `dropPlan`
    /// takes and starts the analysis; the refused ones are told to hooks.analysisVerdict, and
    /// when nothing is queued a sheet names them, why, and the accepted kinds.
    void draggedFiles(const QStringList &paths);
    /// A drop on the window's drop area.
    void dragNDropPerformDrag(const QStringList &paths);
    /// Files dropped on the application's icon or opened through the system: handed to
    /// draggedFiles on the next turn of the event loop.
    void applicationOpenFiles(const QStringList &paths);
    /// The Open menu command: an open panel for files and folders, then draggedFiles.
    void iba_menuOpen();
    /// Removes the selected row; from the remove button, refuses the row being converted.
    void encBatchRemove(bool fromRemoveButton);
    /// Undo Remove: the row the Remove command took last comes back where it was (not when its
    /// source was listed again since); true when it did.
    bool encBatchUndoRemove();
    /// True while a row taken by the Remove command can come back.
    bool canUndoRemove() const { return removed_.has_value(); }
    /// Removes every row (from the button: after a confirmation), except the one being converted.
    void encBatchRemoveAll(bool fromRemoveAllButton);
    /// Convert Again: the selected converted row waits again, its format and mode open to
    /// change, and the next Go converts it (an output of the same name is asked about as
    /// usual). A row not converted, or being converted, is left alone; true when it changed.
    bool encBatchConvertAgain();
    /// Index of the row being converted (the job's own row, known by its identity in the list,
    /// never by its source's path, which another row may share), or -1.
    int32_t encBatchInprogressRowIdentification() const;
    /// Brings the selected row's format and mode back to what the system and source allow.
    void iba_outSpeedCell();
    /// The Go button: checks the destination and starts the batch.
    void iba_batchGoBt();
    enum class revealSender { batchView, preferences, other };
    /// Reveals the destination (its events folder when it exists) or the default destination.
    void iba_OpenFolder(revealSender sender);
    /// The accepted source extensions, each also in upper case and capitalised.
    static QStringList acceptedExtensions();

    // Conversion step machine -------------------------------------------------------------

    /// Hands a step to the machine on the next turn of the event loop.
    void encSend(const QString &step);
    /// The machine: performs the given step ("encBatch", "encProcesses"...).
    void enc(const QString &step);
    /// "encBatch", the job's step markers (encStepMarkers), "encFin".
    static QStringList encArray();
    /// True from Go until the batch ends. Go may be pressed while sources are still being
    /// analysed: the batch then converts their rows too, as they come, and ends after the last.
    bool isBatchRunning() const;

    // Tool runs of the conversion ---------------------------------------------------------

    /// Starts one conversion run with its progress maximum and parser, shown on the batch
    /// view's controls. False (after handing over to the machine) when it can't start.
    bool taskLauncherEncStart(const QStringList &args, float progressMaxValue, int32_t parseInt);
    /// The end handling of a conversion run: releases it and re-enters the machine.
    void taskLauncherDone();
    /// Pauses the conversion run (the action text says so); hooks.conversionPaused tells it.
    /// Nothing while it is paused already.
    void pause();
    /// The paused conversion run goes on (the action text as it was before the pause).
    void resume();
    /// Stops the batch now: the running job fails as stopped and its partial files go, the
    /// rows not reached are not done.
    void stop();
    /// Stop after this clip: the job being converted finishes, then the batch ends as stopped
    /// (the rows it did not reach are not done). Nothing when no batch runs.
    void encStopAfterJob();
    /// True from encStopAfterJob until the batch ends.
    bool stopsAfterJob() const { return encStopAfterJob_; }
    /// True while a job of the batch is being converted (its row shows "converting").
    bool isJobConverting() const;
    /// True while the conversion run is paused (by the user, or for the analysis of a drop).
    bool isConversionPaused() const { return run_.isPaused(); }
    /// Terminates the runs without handing over to the step machine.
    void terminateRuns();
    /// The Quit command: while a conversion tool runs, asks first (20 s, default "cancel")
    /// unless `ask` is false (the session ends); then ends the runs, deletes the running job's
    /// partial files and empties the list. True when the front may quit (it then runs
    /// quitCleanup).
    bool iba_menuQuit(bool ask = true);

    // Analysis ----------------------------------------------------------------------------

    /// Performs the due analysis step.
    void analysis();
    /// Asks the analysis to stop at its next step.
    void iba_analysisStopBt();
    /// Diagnostic: an open panel for one source, whose media info dictionary is logged.
    void iba_selectFileBt();
    bool isAnalysing() const { return analysis_.isAnalysing(); }
    /// True while a conversion tool (ffmpeg, trakmill) runs.
    bool isToolRunning() const { return run_.isRunning(); }
    /// True between the running job's last tool and the verdict on its output.
    bool isJudgingOutput() const { return run_.isJudgingOutput(); }
    /// True while a thumbnail is being made or waits its turn.
    bool thumbnailsPending() const { return analysis_.thumbnails().pending(); }

private:
    // Batch list helpers.
    void restoreDropArea();
    /// The drop area busy, additions refused, a running conversion paused (true) while the
    /// drop's sources are analysed.
    bool dropBegin();
    /// A drop that queued nothing: the drop area idle again, a paused conversion resumed.
    void dropEndWithNothing(bool paused);
    /// Logs a drop's refusals and tells hooks.analysisVerdict those worth telling.
    void tellDropRefusals(const dropPlanValue &plan);
    void selectFolderForDestination();
    /// Go takes `folder` as the destination: kept in the choices and told to the front.
    void takeDestination(const QString &folder);
    // Step machine helpers.
    void encBatchStep();
    /// A row whose source is gone when its turn comes: it stays, skipped, and the batch goes on.
    void encSkipGoneRow(int32_t index);
    void encDebStep(int32_t outInt);
    /// The output's name and recording date, as the first step's plan gives them, go with the
    /// job.
    void encNoteName(const encDebPlanValue &plan);
    /// The first step's launch: a working file reserved, the route noted, ffmpeg started.
    void encDebLaunch(int32_t outInt, const encDebPlanValue &plan);
    void encQtEncStep(int32_t outInt, int32_t fpsInt);
    /// The export (or the self-contained copy) the trimming step's plan asks for, by trakmill.
    void encQtEncExportLaunch(const encQtEncPlanValue &plan, bool retimeOpened);
    void encFinStep(const QString &step);
    /// The end step after a stop: the batch ends, the next Go starts from the first row.
    void encFinStopBatch();
    /// The end step's look at the output's picture, beside the event loop, then its judgement.
    void encFinCheckPicture(const QString &step, double sizeKB);
    /// The end step's verification of a readable output against its source and its plan: a
    /// verdict that holds goes on to the judgement; one that does not keeps the movie beside
    /// its final name as incomplete and fails the job with what differs.
    void encFinVerify(const QString &step, double sizeKB, const outputCheckResult &result);
    /// The verification's verdict for the running job's output facts.
    verifyVerdict encVerdictOf(const runningJob &job, const outputCheckResult &result);
    /// The end step once the output is judged (`why` empty for a success, else the check's
    /// `failure` code and words): state, rename.
    void encFinJudged(const QString &step, double sizeKB, jobFailure failure, QString why);
    /// The end step's last part: summary log, hooks, the next row.
    void encFinClose(const QString &step);
    /// Writes the running job's journal to the preferences store (removes it without a job).
    void journal();
    void encPendingScan();
    void encSkipJob();
    /// Records in the running job why it ends without converting: its kind, the reason's code
    /// and the reason as Resume.log and the terminal say it. A failure recorded first stays.
    void encNoteEnd(jobOutcomeKind kind, jobFailure failure, const QString &logWords);
    /// Tells the fronts a job's outcome (once per source in a batch) and ends the job's
    /// Resume.log block with it when the job did not convert.
    void tellJobOutcome(const jobOutcomeValue &outcome);
    /// The batch's end for the fronts: an outcome for each row the stop left (stopped, not
    /// done), the summary (once per batch), then batchEnded.
    void tellBatchEnded(bool stopped);
    /// Tells the fronts a source's refusal, with its code and the words of the log.
    void tellRefusal(const QString &src, sourceRefusal refusal, const QString &logWords);
    void encBatchOver();
    /// A row was appended, or the analysis is over: a batch that waits for rows goes on.
    void analysisRowsChanged();
    /// True when the row is a piece of a spanned recording that the end of the analysis still
    /// joins with its other pieces or notes apart.
    bool awaitsSpannedJoin(const batchRow &row) const;
    QString eventsFolderPathStr() const;
    bool launchRecord(const QStringList &args, float maximum, int32_t parser);
    void resetProgressDisplay();
    /// Sets the batch's progress to `phase` at `phaseFraction` of it for the running row (speed
    /// from `mediaSeconds` of the source done in the phase) and tells hooks.batchProgress.
    void reportBatchProgress(batchPhase phase, double phaseFraction, double mediaSeconds = -1);
    /// Connects the conversion run's callbacks to the handlers below.
    void wireConversionRun();
    /// The run's progress moved: the controls and the batch's progress.
    void runProgressed(const conversionProgress &progress);
    /// The run's tool stood still too long: the job fails with the reason.
    void runStalled(const conversionStall &stall);
    /// The run's tool ended: its failure is kept with the job, then taskLauncherDone.
    void runEnded(const conversionEnd &end);
    /// The running job's output and intermediate files.
    QStringList jobFilesToDelete() const;
    static void deleteFiles(const QStringList &paths);
    // The analysis's owner (sourceAnalysisDelegate).
    void analysisAppendRow(const QString &src, const analysisFinPlanValue &plan) override;
    void analysisRefusal(const QString &src, sourceRefusal refusal,
                         const QString &logWords) override;
    void analysisLaunchFailed() override;
    void analysisSourcesDone() override;
    void analysisEnded() override;
    void analysisThumbnailMade(const QString &src, const QString &img) override;
    /// Resumes a conversion run that a drop paused for its analysis.
    void analysisResumeConversion();

    appControls c_;
    batchChoices choices_;
    batchList list_;

    // Conversion run: the running tool, and the controls that show it.
    conversionRun run_;
    runDisplay display_{c_};
    QStringList taskArgsVArray_;
    int64_t taskStartInt_ = 0;
    /// The running job's source facts, read before its conversion starts (none: unreadable).
    std::optional<toolbox::MovieFacts> jobSourceFacts_;
    int32_t encStopInt_ = 0;
    /// The job being converted: its row, the steps due, its files and notes.
    std::optional<runningJob> job_;
    /// Where the batch is: nothing before its first row; then the identity (batchList::idAt)
    /// of the row being converted, or after a skipped row of the row the next one is chosen
    /// after; 0 after a stop (the next row is the first).
    std::optional<uint64_t> cursor_;
    /// The batch's answer for an output that exists already: the choice at Go, or the person's
    /// answer once it applies to all.
    existingOutputAnswer batchExisting_ = existingOutputAnswer::ask;
    bool batchRunning_ = false;
    /// The batch has done every row and waits for the rows of a running analysis.
    bool batchWaitsForRows_ = false;
    /// The batch ends once the running job has (encStopAfterJob).
    bool encStopAfterJob_ = false;
    /// The row the Remove command took last, and where it was, for Undo Remove.
    struct removedRow {
        int32_t index = 0;
        batchRow row;
    };
    std::optional<removedRow> removed_;
    /// Undo Remove is no longer offered; the thumbnail of the row it kept goes.
    void forgetRemoved();
    /// A conversion run that a drop paused for its analysis (resumed when the analysis ends).
    bool pausedForAnalysis_ = false;
    /// The final names given out in this batch: a second source with the same name gets " 2".
    QSet<QString> batchNames_;
    /// The outcomes told in this batch, the sources it began, and whether its summary was given.
    batchOutcomeBook outcomes_;
    /// The batch's progress, and the clocks of the batch and of its running phase.
    batchProgressTracker progress_;

    // The analysis of new sources and their thumbnails.
    sourceAnalysis analysis_{c_, choices_, list_, *this};
};
