// What the fronts observe of the application controller beyond its controls: a job's outcome,
// the analysis's verdicts, the batch's progress and summary, as typed values. The window, the
// headless front and the desktop's notifications each set the hooks they need.
#pragma once

#include "controller/batchProgress.h"
#include "controller/outcomes.h"

#include <QString>
#include <QStringList>

#include <functional>

/// What the fronts may observe beyond the controls. Every hook is optional.
struct appControllerHooks {
    /// Shows a folder in the file browser (default: revealInFinder).
    std::function<void(const QString &folder)> revealFolder;
    /// The system beep after a refused launch (default: nothing).
    std::function<void()> beep;
    /// The title of the chosen ProRes item; default: from the stored "prefProres" type.
    std::function<QString()> proresItemTitle;
    /// The analysis of a source ended: accepted (a row was appended) or refused, with the
    /// reason's code and words.
    std::function<void(const analysisVerdictValue &verdict)> analysisVerdict;
    /// The analysis of every queued source is over. Thumbnails may still be on their way.
    std::function<void()> analysisEnded;
    /// A source's thumbnail was written to img (its row's "img" is set now, or when the row is
    /// appended after a probe that outlasted the thumbnail), or could not be (img empty).
    std::function<void(const QString &src, const QString &img)> thumbnailMade;
    /// A source that is a piece of a spanned recording, once the analysis of a drop is over:
    /// joined with the other pieces into one row (src is then the first piece and `joined`
    /// every piece's path, in order), or left a row of its own (`joined` empty), with the reason
    /// why (a piece missing, damaged, from another recording, not among the sources, or joining
    /// turned off).
    std::function<void(const QString &src, const QStringList &joined, const QString &note)>
        spannedVerdict;
    /// A job ended: converted, failed, kept, skipped or stopped, with the reason's code and
    /// words; at the end of a stopped batch, once more for each row it never reached.
    std::function<void(const jobOutcomeValue &outcome)> jobOutcome;
    /// The batch's jobs counted by how they ended, once per batch, just before batchEnded.
    std::function<void(const batchSummaryValue &summary)> batchSummary;
    /// The front shows batchSummary to the person, a stopped batch's too: the stop of a running
    /// batch then shows no alert of its own (one alert says it stopped, with the counts).
    bool summaryShown = false;
    /// The batch is over (every row done, the list empty, or stopped).
    std::function<void()> batchEnded;
    /// The running batch's progress: at Go, at each phase of a job, whenever the running tool's
    /// progress moves, and once more at its end (phase finished or stopped, before batchEnded).
    std::function<void(const batchProgressValue &progress)> batchProgress;
    /// The conversion run was paused (true) or goes on (false, also when a tool starts
    /// unpaused after a paused one).
    std::function<void(bool paused)> conversionPaused;
    /// Go found no usable destination and took this folder instead (the default destination,
    /// or the one the person chose then): the front shows it.
    std::function<void(const QString &folder)> destinationChosen;
};
