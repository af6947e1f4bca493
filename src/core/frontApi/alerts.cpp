#include "frontApi/alerts.h"

#include "platform/log.h"
#include "settings/localisation.h"

namespace {

alertPresenter *currentPresenter = nullptr;

alertOutcome presentOrTimeOut(const alertPlan &plan) {
    if (currentPresenter != nullptr) {
        return currentPresenter->present(plan);
    }
    return {};
}

bool given(const std::optional<QString> &text) {
    return text.has_value() && !text->isEmpty();
}

// The button titled "Cancel" (in the user's language) is the one the Escape key answers.
int32_t cancelButtonOf(const QStringList &buttons) {
    const QString cancel = localizedStr(QStringLiteral("D_Annuler"));
    const qsizetype index = buttons.indexOf(cancel);
    return buttons.size() > 1 && index >= 0 ? static_cast<int32_t>(index) : -1;
}

} // namespace

void setAlertPresenter(alertPresenter *presenter) {
    currentPresenter = presenter;
}

alertPresenter *getAlertPresenter() {
    return currentPresenter;
}

int32_t displayAlert(const QString &title, const QString &message, int32_t style,
                     bool onMainWindow) {
    alertPlan plan;
    plan.title = title;
    plan.message = message;
    plan.buttons = QStringList{QString()};
    plan.critical = style == alertStyleCritical;
    plan.warning = style == alertStyleWarning;
    plan.sheet = onMainWindow;
    presentOrTimeOut(plan);
    return onMainWindow ? 0 : 1;
}

void displayAlertSheet(const QString &title, const QString &message) {
    displayAlert(title, message, 0, true);
}

void displayAlertSheetWarning(const QString &title, const QString &message) {
    displayAlert(title, message, alertStyleWarning, true);
}

alertPlan displayAlertDelayedPlan(const QString &title, const QString &message,
                                  const std::optional<QString> &button1,
                                  const std::optional<QString> &button2,
                                  const std::optional<QString> &button3, int32_t style,
                                  int32_t seconds) {
    alertPlan plan;
    plan.title = title;
    plan.message = message;
    if (!given(button1)) {
        plan.buttons = QStringList{QString()};
    } else if (!given(button2)) {
        plan.buttons = QStringList{*button1};
    } else if (!given(button3)) {
        plan.buttons = QStringList{*button1, *button2};
    } else {
        plan.buttons = QStringList{*button1, *button2, *button3};
    }
    plan.critical = style == alertStyleCritical;
    plan.warning = style == alertStyleWarning;
    plan.cancelButton = cancelButtonOf(plan.buttons);
    plan.timed = seconds > 1;
    plan.timeoutSeconds = plan.timed ? seconds : 0;
    return plan;
}

QString displayAlertDelayedAnswer(const alertPlan &plan, const alertOutcome &outcome) {
    static const char *const fallbacks[] = {"OK", "Button 2", "Bouton 3"};
    const int32_t index =
        (outcome.button < 0 || outcome.button >= plan.buttons.size()) ? 0 : outcome.button;
    const QString title = plan.buttons.value(index);
    return title.isEmpty() ? QString::fromLatin1(fallbacks[std::min(index, 2)]) : title;
}

QString displayAlertDelayed(const QString &title, const QString &message,
                            const std::optional<QString> &button1,
                            const std::optional<QString> &button2,
                            const std::optional<QString> &button3, int32_t style, int32_t seconds) {
    const alertPlan plan =
        displayAlertDelayedPlan(title, message, button1, button2, button3, style, seconds);
    logDebug(QStringLiteral("giveUpAfterSeconds  : %1").arg(seconds));
    if (!plan.timed) {
        logDebug(QStringLiteral("ALERTE NORMALE       "));
    }
    const alertOutcome outcome = presentOrTimeOut(plan);
    if (outcome.button < 0) {
        logStr(QStringLiteral("FERMETURE AUTO       : TIMEOUT"));
    } else {
        logDebug(QStringLiteral("FERMETURE USER       : CLIC"));
    }
    return displayAlertDelayedAnswer(plan, outcome);
}

alertPlan displayAlertDelayedCheckboxPlan(const QString &title, const QString &message,
                                          const std::optional<QString> &button1,
                                          const std::optional<QString> &button2,
                                          const std::optional<QString> &button3, int32_t style,
                                          int32_t seconds, const QString &checkboxTitle) {
    alertPlan plan;
    plan.title = title;
    plan.message = message;
    plan.buttons << button1.value_or(QString());
    if (button2) {
        plan.buttons << *button2;
    }
    if (button3) {
        plan.buttons << *button3;
    }
    plan.critical = style == alertStyleCritical;
    plan.warning = style == alertStyleWarning;
    plan.cancelButton = cancelButtonOf(plan.buttons);
    plan.timed = true;
    plan.timeoutSeconds = seconds == 0 ? 10 : seconds;
    plan.checkbox = true;
    plan.checkboxTitle = checkboxTitle;
    return plan;
}

std::pair<QString, int32_t> displayAlertDelayedCheckbox(
    const QString &title, const QString &message, const std::optional<QString> &button1,
    const std::optional<QString> &button2, const std::optional<QString> &button3, int32_t style,
    int32_t seconds, const QString &checkboxTitle) {
    const alertPlan plan = displayAlertDelayedCheckboxPlan(title, message, button1, button2,
                                                           button3, style, seconds, checkboxTitle);
    const alertOutcome outcome = presentOrTimeOut(plan);
    // The fallback names the button by its place among those given, the second and third
    // keeping their numbers when one before them is absent.
    QList<int32_t> ordinals{1};
    if (button2) {
        ordinals << 2;
    }
    if (button3) {
        ordinals << 3;
    }
    int32_t index = 0;
    if (outcome.button < 0 || outcome.button >= plan.buttons.size()) {
        logStr(QStringLiteral("FERMETURE AUTO      : TIMEOUT"));
    } else {
        index = outcome.button;
        logStr(QStringLiteral("FERMETURE USER      : CLIC=%1").arg(outcome.button));
    }
    const QString chosen = plan.buttons.value(index);
    const QString answer =
        chosen.isEmpty() ? QStringLiteral("button %1").arg(ordinals.value(index)) : chosen;
    logStr(QStringLiteral("bt                  ? %1%2%3")
               .arg(answer, button1 ? QStringLiteral(" (btDefault=%1)").arg(*button1) : QString(),
                    button2 ? QStringLiteral(" (btAlt=%1)").arg(*button2) : QString()));
    return {answer, outcome.checked ? 1 : 0};
}

QStringList extensionsWithCases(const QStringList &extensions) {
    QStringList all;
    for (const QString &ext : extensions) {
        const QString capitalised = ext.isEmpty() ? ext : ext.left(1).toUpper() + ext.mid(1);
        for (const QString &form : {ext, ext.toUpper(), capitalised}) {
            if (!all.contains(form)) {
                all << form;
            }
        }
    }
    return all;
}

std::optional<QString> selectFile(const QString &unused, const QStringList &extensions) {
    (void)unused;
    logStr(QStringLiteral("selectFile()…"));
    if (currentPresenter == nullptr) {
        return std::nullopt;
    }
    std::optional<QString> path = currentPresenter->chooseFile(
        localizedStr(QStringLiteral("selectFileStr")), extensionsWithCases(extensions));
    if (path && !path->isEmpty()) {
        logStr(QStringLiteral("returnedStr : %1").arg(*path));
        return path;
    }
    return std::nullopt;
}

std::optional<QStringList> selectFilesFolders(const std::optional<QString> &title,
                                              const QStringList &types) {
    if (currentPresenter == nullptr) {
        return std::nullopt;
    }
    std::optional<QStringList> paths = currentPresenter->chooseFilesFolders(
        title.value_or(QStringLiteral("Select a File or a Folder")), types);
    if (paths && !paths->isEmpty()) {
        logStr(QStringLiteral("pathesArray : %1").arg(paths->join(QStringLiteral(", "))));
        return paths;
    }
    return std::nullopt;
}
