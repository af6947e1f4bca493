// The question Stop asks before it ends a batch: stop now (the clip's unfinished movie is
// deleted), stop after the clip being converted, or go on. A pure plan from what the batch is
// doing, so the tests read it without a window; the window shows it and acts on the answer.
#pragma once

#include "frontApi/alerts.h"

#include <QList>
#include <QString>

/// What the person chose.
enum class batchStopChoice {
    afterThisClip, ///< the clip being converted finishes, then the batch stops
    stopNow,       ///< the batch stops at once and the clip's unfinished movie goes
    keepGoing,     ///< nothing changes
};

/// The question and its answers, the first one the default; Escape answers keepGoing.
struct batchStopQuestion {
    alertPlan plan;
    QList<batchStopChoice> choices; ///< one per button of the plan, in its order
};

/// The question for a batch converting `clip` (its file name; empty between two clips, when
/// nothing would be lost) and whether it stops after that clip already. After this clip is the
/// default: the safe answer for a key pressed by mistake.
batchStopQuestion batchStopQuestionFor(const QString &clip, bool stopsAfterClip);

/// The choice of the question's outcome (keepGoing for a button out of range, a time-out).
batchStopChoice batchStopChoiceOf(const batchStopQuestion &question, const alertOutcome &outcome);
