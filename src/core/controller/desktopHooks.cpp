#include "controller/desktopHooks.h"

#include "controller/appController.h"
#include "controller/jobRecord.h"
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
    int32_t converted = 0;
    int32_t failed = 0;
    bool stopped = false;  ///< the batch was stopped, not finished
    int32_t remaining = 0; ///< what a stop left undone
    double shown = -1;     ///< the last progress shown on the launcher
    QStringList outputs;   ///< this batch's new outputs, selected when the folder is revealed
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

QString desktopBatchBodyStr(int32_t converted, int32_t failed) {
    return localizedStr(QStringLiteral("D_notif_fin_2")).arg(converted).arg(failed);
}

QString desktopBatchStoppedStr() {
    return localizedStr(QStringLiteral("D_notif_stop_1"));
}

QString desktopBatchStoppedBodyStr(int32_t converted, int32_t failed, int32_t notDone) {
    return localizedStr(QStringLiteral("D_notif_stop_2")).arg(converted).arg(failed).arg(notDone);
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
            state->stopped = true;
            state->remaining = value.remaining;
            return;
        }
        // The launcher gets whole percents of the batch that go forward, not every line.
        const double percent = static_cast<int>(value.fraction * 100.0) / 100.0;
        if (percent > state->shown) {
            state->shown = percent;
            launcherEntryProgress(percent);
        }
    };

    auto jobEnded = std::move(hooks.jobEnded);
    hooks.jobEnded = [state, jobEnded](const QVariantMap &job, const QString &status) {
        if (jobEnded) {
            jobEnded(job, status);
        }
        beginIfNeeded(*state);
        if (status == rowStatus::success) {
            ++state->converted;
            const QString dst = job.value(jobKey::dstPath).toString();
            if (!dst.isEmpty()) {
                state->outputs << QFileInfo(dst).absoluteFilePath();
            }
        } else {
            ++state->failed;
        }
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
        if (state->stopped) {
            desktopNotify(
                desktopBatchStoppedStr(),
                desktopBatchStoppedBodyStr(state->converted, state->failed, state->remaining));
        } else {
            desktopNotify(desktopBatchSummaryStr(),
                          desktopBatchBodyStr(state->converted, state->failed));
        }
    };
}
