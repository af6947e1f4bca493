// Alerts and open panels. Callers pass texts they have already localised; the functions decide
// which buttons an alert has, whether and when it answers by itself, and what it answers. What
// the user sees is drawn by an alert presenter that the front installs (windows for the
// graphical front, the terminal for the headless one). Texts are shown exactly as given: a "%"
// is a plain character.
//
// Main thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

/// One alert as the presenter must show it.
struct alertPlan {
    QString title;
    QString message;
    /// Button titles in order, the first one the default; an empty title means the platform's
    /// own default button ("OK").
    QStringList buttons;
    bool critical = false;
    /// It warns (something was refused or can't be done): drawn with the warning sign.
    bool warning = false;
    /// The button that Escape and the window's close button answer (the one titled with the
    /// localized "D_Annuler"), or -1 when the alert has none.
    int32_t cancelButton = -1;
    /// Shown as a sheet on the main window (returns at once, answer not used).
    bool sheet = false;
    /// Answers by itself with the default button after timeoutSeconds.
    bool timed = false;
    double timeoutSeconds = 0;
    bool checkbox = false;
    QString checkboxTitle; ///< empty: the platform's own suppression text
};

/// What happened to an alert: the index of the clicked button in alertPlan::buttons, or -1 when
/// it closed itself after its time-out; the check box state.
struct alertOutcome {
    int32_t button = -1;
    bool checked = false;
};

/// Draws alerts and panels for one front.
class alertPresenter {
public:
    virtual ~alertPresenter() = default;
    /// Shows the alert and waits for its outcome (a sheet or an untimed alert may answer at once
    /// with button 0). A timed alert must come back by itself at its time-out.
    virtual alertOutcome present(const alertPlan &plan) = 0;
    /// An open panel for one file of the given extensions; nothing when cancelled.
    virtual std::optional<QString> chooseFile(const QString &title, const QStringList &extensions) {
        (void)title;
        (void)extensions;
        return std::nullopt;
    }
    /// An open panel for files and folders, several at once; nothing when cancelled.
    virtual std::optional<QStringList> chooseFilesFolders(const QString &title,
                                                          const QStringList &types) {
        (void)title;
        (void)types;
        return std::nullopt;
    }
    /// A folder chooser; nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const QString &title) {
        (void)title;
        return std::nullopt;
    }
};

/// Installs the presenter used from now on (not owned); nothing: every alert answers as if it
/// had timed out (default button, box unticked), panels answer nothing.
void setAlertPresenter(alertPresenter *presenter);
alertPresenter *getAlertPresenter();

/// Alert style meaning "critical".
constexpr int32_t alertStyleCritical = 2;
/// Alert style of this system meaning "warning" (any other style is a plain note).
constexpr int32_t alertStyleWarning = 3;

/// True when the plan asks the user to choose (more than one button).
inline bool alertAsks(const alertPlan &plan) {
    return plan.buttons.size() > 1;
}

/// A plain alert with one default button; as a sheet on the main window when `onMainWindow`
/// (returns 0 at once), else modal, returning 1 for the default button.
int32_t displayAlert(const QString &title, const QString &message, int32_t style,
                     bool onMainWindow);

/// A sheet on the main window with the title, the default button and the message.
void displayAlertSheet(const QString &title, const QString &message);
/// The same with the warning sign: something the user asked was refused.
void displayAlertSheetWarning(const QString &title, const QString &message);

/// The plan of a timed alert: buttons by the rules below, timed when seconds > 1.
/// No default button: only the platform's; a default and no second: only the default; default
/// and second and no third: those two; else all three (absent and empty count alike).
alertPlan displayAlertDelayedPlan(const QString &title, const QString &message,
                                  const std::optional<QString> &button1,
                                  const std::optional<QString> &button2,
                                  const std::optional<QString> &button3, int32_t style,
                                  int32_t seconds);
/// The answer of a timed alert for an outcome: the chosen button's title, with "OK", "Button 2",
/// "Bouton 3" for untitled buttons; the default button's answer on a time-out.
QString displayAlertDelayedAnswer(const alertPlan &plan, const alertOutcome &outcome);

/// Shows a timed alert and answers the chosen button's title (see the two functions above).
QString displayAlertDelayed(const QString &title, const QString &message,
                            const std::optional<QString> &button1,
                            const std::optional<QString> &button2,
                            const std::optional<QString> &button3, int32_t style, int32_t seconds);

/// The plan of a timed alert with a check box: always timed (0 seconds means 10); an absent
/// default button becomes the platform's, absent second or third buttons are left out, empty
/// titles are kept.
alertPlan displayAlertDelayedCheckboxPlan(const QString &title, const QString &message,
                                          const std::optional<QString> &button1,
                                          const std::optional<QString> &button2,
                                          const std::optional<QString> &button3, int32_t style,
                                          int32_t seconds, const QString &checkboxTitle);

/// Shows a timed alert with a check box; answers the chosen button's title ("button 1",
/// "button 2", "button 3" for untitled ones; the default's on a time-out) and 1 when the box was
/// ticked, else 0.
std::pair<QString, int32_t> displayAlertDelayedCheckbox(
    const QString &title, const QString &message, const std::optional<QString> &button1,
    const std::optional<QString> &button2, const std::optional<QString> &button3, int32_t style,
    int32_t seconds, const QString &checkboxTitle);

/// Each extension as given, in upper case and capitalised ("mov", "MOV", "Mov"), without repeats.
QStringList extensionsWithCases(const QStringList &extensions);

/// An open panel for one file of the extensions (in every case form); its path or nothing.
std::optional<QString> selectFile(const QString &unused, const QStringList &extensions);
/// An open panel for files and folders; the chosen paths or nothing.
std::optional<QStringList> selectFilesFolders(const std::optional<QString> &title,
                                              const QStringList &types);
