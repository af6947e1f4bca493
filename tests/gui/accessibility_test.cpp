// The window as a screen reader reads it, through Qt's accessibility interfaces in process:
// every control a person runs a batch with has its role and its name (Pause turns to "Resume"
// while paused, Convert stays a button while it converts), the preferences' exclusive choices
// are radio buttons in named groups, the progress bar and the "Save to" field are named, and
// alerts are alerts.
#include "dialogs/accessibility.h"
#include "dialogs/alertDialogs.h"
#include "testEnv.h"
#include "ui_mainWindow.h"
#include "ui_prefWindow.h"
#include "windowFixture.h"

#include <QAccessible>
#include <QPushButton>
#include <QToolButton>

namespace {

QAccessibleInterface *accessibleOf(QObject *object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QObject *object) {
    QAccessibleInterface *iface = accessibleOf(object);
    return iface != nullptr ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
}

QAccessible::Role roleOf(QObject *object) {
    QAccessibleInterface *iface = accessibleOf(object);
    return iface != nullptr ? iface->role() : QAccessible::NoRole;
}

} // namespace

// Pause and Stop are push buttons named by what they do now; Convert is a button before, during
// and after a batch; the bar, the field and the table have names.
TEST_F(window, batchControlsHaveRolesAndNames) {
    w->show();
    segmentedControl *run = w->stopControl();
    run->setHidden(false);
    QToolButton *pause = run->segmentButton(0);
    QToolButton *stop = run->segmentButton(1);
    EXPECT_EQ(roleOf(pause), QAccessible::Button);
    EXPECT_EQ(nameOf(pause), "Pause");
    EXPECT_EQ(roleOf(stop), QAccessible::Button);
    EXPECT_EQ(nameOf(stop), "Stop");
    EXPECT_FALSE(accessibleOf(pause)->state().checkable);
    pause->click();
    EXPECT_EQ(nameOf(pause), "Resume");
    EXPECT_EQ(pause->toolTip(), "Resume");
    EXPECT_EQ(roleOf(pause), QAccessible::Button);
    pause->click();
    EXPECT_EQ(nameOf(pause), "Pause");
    EXPECT_EQ(roleOf(run), QAccessible::Grouping);
    EXPECT_EQ(nameOf(run), "Conversion controls");
    EXPECT_EQ(nameOf(w->ui()->analysisStopBt->segmentButton(0)), "Stop the analysis");

    QPushButton *go = w->ui()->batchEncGoBt;
    EXPECT_EQ(roleOf(go), QAccessible::Button);
    EXPECT_EQ(nameOf(go), "Convert");
    // A batch runs (its source is gone, so it ends at once): the button stays a button.
    batchList *list = w->controller()->whichArrayController();
    list->append(windowTestRow(dir.path() + "/gone.MTS", 50));
    w->controller()->hooks.revealFolder = [](const QString &) {};
    w->ui()->encDstPathStr->setText(dir.path());
    w->controller()->iba_batchGoBt();
    EXPECT_TRUE(w->controller()->isBatchRunning());
    EXPECT_EQ(roleOf(go), QAccessible::Button);
    EXPECT_FALSE(go->isCheckable());
    EXPECT_FALSE(w->ui()->encTaskProgress->isHidden()) << "the bar shows while a batch runs";
    ASSERT_TRUE(spinUntil([&] { return !w->controller()->isBatchRunning(); }, 10000));
    EXPECT_EQ(roleOf(go), QAccessible::Button);
    EXPECT_TRUE(w->ui()->encTaskProgress->isHidden());

    EXPECT_EQ(roleOf(w->ui()->encTaskProgress), QAccessible::ProgressBar);
    EXPECT_EQ(nameOf(w->ui()->encTaskProgress), "Batch progress");
    EXPECT_EQ(nameOf(w->ui()->analysisWheelProgInd), "Analysis in progress");
    EXPECT_EQ(roleOf(w->ui()->encDstPathStr), QAccessible::EditableText);
    EXPECT_EQ(nameOf(w->ui()->encDstPathStr), "Save to");
    EXPECT_EQ(nameOf(w->ui()->encBatchTableView), "Clips to convert");
    list->clear();
}

// The progress bar's words reach a screen reader with its value.
TEST_F(window, progressBarDescribesTheBatch) {
    batchList *list = w->controller()->whichArrayController();
    list->append(windowTestRow("/c/00003.MTS", 50));
    batchProgressValue value;
    value.phase = batchPhase::converting;
    value.position = 1;
    value.total = 1;
    value.clip = "/c/00003.MTS";
    value.fraction = 0.25;
    w->controller()->hooks.batchProgress(value);
    QAccessibleInterface *bar = accessibleOf(w->ui()->encTaskProgress);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->text(QAccessible::Description), "00003.MTS: rewrapping, 1 of 1");
    ASSERT_NE(bar->valueInterface(), nullptr);
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 250);
    value.phase = batchPhase::finished;
    w->controller()->hooks.batchProgress(value);
    EXPECT_TRUE(bar->text(QAccessible::Description).isEmpty());
    list->clear();
}

// The preferences' exclusive choices are radio buttons, one checked, in groups named by their
// labels and box, in the window's language.
TEST_F(window, preferencesChoicesAreRadioGroups) {
    prefWindow *prefs = w->preferences();
    prefs->show();
    const struct {
        segmentedControl *control;
        const char *group;
    } groups[] = {
        {prefs->outputFormat(), "Format:"},
        {prefs->frameRateMode(), "Frame rate:"},
        {prefs->colour(), "Window colour"},
    };
    for (const auto &g : groups) {
        EXPECT_EQ(roleOf(g.control), QAccessible::Grouping) << g.group;
        EXPECT_EQ(nameOf(g.control), g.group);
        int checked = 0;
        for (int32_t s = 0; s < g.control->segmentCount(); ++s) {
            QAccessibleInterface *segment = accessibleOf(g.control->segmentButton(s));
            ASSERT_NE(segment, nullptr);
            EXPECT_EQ(segment->role(), QAccessible::RadioButton) << g.group << " " << s;
            EXPECT_EQ(segment->text(QAccessible::Name), g.control->label(s));
            checked += segment->state().checked ? 1 : 0;
        }
        EXPECT_EQ(checked, g.control->selectedSegment() >= 0 ? 1 : 0) << g.group;
    }
    // A choice made in code shows as one checked segment, and none can be shown too.
    segmentedControl *speed = prefs->frameRateMode();
    speed->setSelectedSegment(2);
    EXPECT_TRUE(accessibleOf(speed->segmentButton(2))->state().checked);
    EXPECT_FALSE(accessibleOf(speed->segmentButton(0))->state().checked);
    speed->setSelectedSegment(-1);
    for (int32_t s = 0; s < speed->segmentCount(); ++s) {
        EXPECT_FALSE(speed->segmentButton(s)->isChecked()) << s;
    }
    prefs->hide();

    ASSERT_TRUE(loadTranslations(QStringLiteral("fr")));
    fluxaroMainWindow french;
    french.startupWindowSteps();
    EXPECT_EQ(nameOf(french.preferences()->frameRateMode()), "Cadence :");
    EXPECT_EQ(nameOf(french.ui()->encDstPathStr), "Enregistrer dans");
    EXPECT_EQ(nameOf(french.stopControl()->segmentButton(0)), "Pause");
    EXPECT_EQ(nameOf(french.stopControl()->segmentButton(1)), "Arrêter");
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
}

// An alert is announced as an alert, by its title, with its message.
TEST_F(window, alertsHaveTheAlertRole) {
    alertPlan plan;
    plan.title = "The disk is full";
    plan.message = "00003.MTS was not converted.";
    alertDialog dialog(plan, w.get());
    EXPECT_EQ(roleOf(&dialog), QAccessible::AlertMessage);
    EXPECT_EQ(nameOf(&dialog), plan.title);
    EXPECT_EQ(accessibleOf(&dialog)->text(QAccessible::Description), plan.message);
    EXPECT_GT(accessibleOf(&dialog)->childCount(), 0) << "its buttons are reachable";
}

// A label names its field without its mnemonic and colon.
TEST(accessibility, labelTextAsFieldName) {
    EXPECT_EQ(accessibleNameOfLabel("Save to:"), "Save to");
    EXPECT_EQ(accessibleNameOfLabel("Enregistrer dans :"), "Enregistrer dans");
    EXPECT_EQ(accessibleNameOfLabel("&Destination"), "Destination");
    EXPECT_EQ(accessibleNameOfLabel("Sound && picture:"), "Sound & picture");
    EXPECT_EQ(accessibleNameOfLabel(""), "");
}
