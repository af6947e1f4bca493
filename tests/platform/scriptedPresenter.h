// An alert presenter for tests: keeps every plan it was shown and answers with the scripted
// outcome (no button, unchecked, when none is given).
#pragma once

#include "frontApi/alerts.h"

#include <QList>

#include <functional>

class scriptedPresenter : public alertPresenter {
public:
    QList<alertPlan> shown;
    std::function<alertOutcome(const alertPlan &)> answer;
    alertOutcome present(const alertPlan &plan) override {
        shown << plan;
        return answer ? answer(plan) : alertOutcome{};
    }
};
