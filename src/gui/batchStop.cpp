#include "batchStop.h"

#include "settings/localisation.h"

batchStopQuestion batchStopQuestionFor(const QString &clip, bool stopsAfterClip) {
    batchStopQuestion question;
    alertPlan &plan = question.plan;
    plan.title = localizedStr(QStringLiteral("D_stopAsk_title"));
    plan.warning = true;
    if (clip.isEmpty()) {
        plan.message = localizedStr(QStringLiteral("D_stopAsk_between"));
        question.choices = {batchStopChoice::stopNow, batchStopChoice::keepGoing};
    } else if (stopsAfterClip) {
        plan.message = localizedStr(QStringLiteral("D_stopAsk_pending")).arg(clip);
        question.choices = {batchStopChoice::stopNow, batchStopChoice::keepGoing};
    } else {
        plan.message = localizedStr(QStringLiteral("D_stopAsk_running")).arg(clip);
        question.choices = {batchStopChoice::afterThisClip, batchStopChoice::stopNow,
                            batchStopChoice::keepGoing};
    }
    for (const batchStopChoice choice : question.choices) {
        switch (choice) {
        case batchStopChoice::afterThisClip:
            plan.buttons << localizedStr(QStringLiteral("D_stopAfterClip"));
            break;
        case batchStopChoice::stopNow:
            plan.buttons << localizedStr(QStringLiteral("D_stopNow"));
            break;
        case batchStopChoice::keepGoing:
            plan.cancelButton = static_cast<int32_t>(plan.buttons.size());
            plan.buttons << localizedStr(QStringLiteral("D_stopContinue"));
            break;
        }
    }
    return question;
}

batchStopChoice batchStopChoiceOf(const batchStopQuestion &question, const alertOutcome &outcome) {
    if (outcome.button < 0 || outcome.button >= question.choices.size()) {
        return batchStopChoice::keepGoing;
    }
    return question.choices.at(outcome.button);
}
