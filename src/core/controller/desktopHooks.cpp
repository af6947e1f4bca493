#include "controller/desktopHooks.h"

#include "controller/appController.h"
#include "controller/outcomes.h"
#include "desktop/launcherEntry.h"
#include "desktop/notification.h"
#include "desktop/reveal.h"
#include "settings/localisation.h"

#include <QFileInfo>
#include <QStringList>

#include <memory>

namespace {

struct batchState {
    bool running = false;
    double shown = -1;         ///< the last progress shown on the launcher
    QStringList outputs;       ///< this batch's new outputs, selected when the folder is revealed
    batchSummaryValue summary; ///< how the batch's jobs ended, told before its end
};

void beginIfNeeded(batchState &state) {
    if (!state.running) {
        state = batchState{};
        state.running = true;
    }
}

} // namespace

QString desktopBatchSummaryStr() {
    return localizedStr(QStringLiteral("D_notif_fin_1"));
}

QString desktopBatchStoppedStr() {
    return localizedStr(QStringLiteral("D_notif_stop_1"));
}

QString desktopBatchBodyStr(const batchSummaryValue &summary) {
    // The window's alert and the notification tell one story: the same counts (a kept movie
    // is no failure, a skipped clip is not a failed one) and the same reasons.
    return batchSummaryWords(summary);
}

void desktopServicesAttach(appController &controller) {
    auto state = std::make_shared<batchState>();
    appControllerHooks &hooks = controller.hooks;

    auto progress = std::move(hooks.batchProgress);
    hooks.batchProgress = [state, progress](const batchProgressValue &value) {
        if (progress) {
            progress(value);
        }
        beginIfNeeded(*state);
        if (value.phase == batchPhase::stopped) {
            return;
        }
        // The launcher gets whole percents of the batch that go forward, not every line.
        const double percent = static_cast<int>(value.fraction * 100.0) / 100.0;
        if (percent > state->shown) {
            state->shown = percent;
            launcherEntryProgress(percent);
        }
    };

    auto jobOutcome = std::move(hooks.jobOutcome);
    hooks.jobOutcome = [state, jobOutcome](const jobOutcomeValue &outcome) {
        if (jobOutcome) {
            jobOutcome(outcome);
        }
        beginIfNeeded(*state);
        if (outcome.kind == jobOutcomeKind::converted && !outcome.output.isEmpty()) {
            state->outputs << QFileInfo(outcome.output).absoluteFilePath();
        }
    };

    auto batchSummary = std::move(hooks.batchSummary);
    hooks.batchSummary = [state, batchSummary](const batchSummaryValue &summary) {
        if (batchSummary) {
            batchSummary(summary);
        }
        beginIfNeeded(*state);
        state->summary = summary;
    };

    if (!hooks.revealFolder) {
        hooks.revealFolder = [state](const QString &folder) {
            revealInFinder(folder, state->outputs);
        };
    }

    auto batchEnded = std::move(hooks.batchEnded);
    hooks.batchEnded = [state, batchEnded] {
        if (batchEnded) {
            batchEnded();
        }
        // A stop between two jobs ends the batch twice: the desktop hears of it once.
        if (!state->running) {
            return;
        }
        state->running = false;
        launcherEntryDone();
        desktopNotify(state->summary.stopped ? desktopBatchStoppedStr() : desktopBatchSummaryStr(),
                      desktopBatchBodyStr(state->summary));
    };
}
