// Buttons, answers, time-outs and the check box of the alerts.
#include "frontApi/alerts.h"

#include <gtest/gtest.h>

namespace {

// Answers every alert with a scripted outcome and keeps the plans it was shown.
class scriptedPresenter : public alertPresenter {
public:
    alertOutcome next;
    QList<alertPlan> shown;
    alertOutcome present(const alertPlan &plan) override {
        shown << plan;
        return next;
    }
};

class alerts : public ::testing::Test {
protected:
    void SetUp() override { setAlertPresenter(&presenter); }
    void TearDown() override { setAlertPresenter(nullptr); }
    scriptedPresenter presenter;
};

} // namespace

TEST_F(alerts, delayedButtonsAndFallbacks) {
    const auto plan = displayAlertDelayedPlan("t", "m", QString(), QStringLiteral("x"), {}, 0, 20);
    EXPECT_EQ(plan.buttons, QStringList{QString()});
    presenter.next = {0, false};
    EXPECT_EQ(displayAlertDelayed("t", "m", QString(), {}, {}, 0, 20), QStringLiteral("OK"));

    // A third button without a second is left out with it.
    EXPECT_EQ(displayAlertDelayedPlan("t", "m", "a", "", "c", 0, 20).buttons, QStringList{"a"});
    EXPECT_EQ(displayAlertDelayedPlan("t", "m", "a", "b", {}, 0, 20).buttons,
              (QStringList{"a", "b"}));
    EXPECT_EQ(displayAlertDelayedPlan("t", "m", "a", "b", "c", 0, 20).buttons,
              (QStringList{"a", "b", "c"}));
    presenter.next = {2, false};
    EXPECT_EQ(displayAlertDelayed("t", "m", "a", "b", "c", 2, 20), QStringLiteral("c"));
    EXPECT_TRUE(presenter.shown.last().critical);
}

TEST_F(alerts, delayedTimeOutAnswersTheDefault) {
    presenter.next = {-1, false};
    EXPECT_EQ(displayAlertDelayed("t", "m", "Annuler", "Quitter", {}, 0, 20),
              QStringLiteral("Annuler"));
    EXPECT_TRUE(presenter.shown.last().timed);
    EXPECT_DOUBLE_EQ(presenter.shown.last().timeoutSeconds, 20);
    // One second or less waits for a click.
    EXPECT_FALSE(displayAlertDelayedPlan("t", "m", "a", {}, {}, 0, 1).timed);
    EXPECT_FALSE(displayAlertDelayedPlan("t", "m", "a", {}, {}, 0, 0).timed);
}

TEST_F(alerts, checkboxAlert) {
    const auto plan =
        displayAlertDelayedCheckboxPlan("t", "m", "Keep", "Replace", {}, 0, 0, "Apply to all");
    EXPECT_TRUE(plan.timed);
    EXPECT_DOUBLE_EQ(plan.timeoutSeconds, 10);
    EXPECT_TRUE(plan.checkbox);

    presenter.next = {1, true};
    EXPECT_EQ(displayAlertDelayedCheckbox("t", "m", "Keep", "Replace", {}, 0, 10, "All"),
              std::make_pair(QStringLiteral("Replace"), 1));
    presenter.next = {-1, false};
    EXPECT_EQ(displayAlertDelayedCheckbox("t", "m", "Keep", "Replace", {}, 0, 10, "All"),
              std::make_pair(QStringLiteral("Keep"), 0));
    // Empty titles are kept and answered by their number; an absent default is the platform's.
    presenter.next = {1, false};
    EXPECT_EQ(displayAlertDelayedCheckbox("t", "m", {}, QString(), {}, 0, 10, {}).first,
              QStringLiteral("button 2"));
    presenter.next = {-1, false};
    EXPECT_EQ(displayAlertDelayedCheckbox("t", "m", {}, {}, {}, 0, 10, {}).first,
              QStringLiteral("button 1"));
}

TEST_F(alerts, textsArePassedUnchanged) {
    displayAlertSheet("100% done", "%@ and %d stay");
    EXPECT_EQ(presenter.shown.last().title, QStringLiteral("100% done"));
    EXPECT_EQ(presenter.shown.last().message, QStringLiteral("%@ and %d stay"));
    EXPECT_TRUE(presenter.shown.last().sheet);
}

TEST(alertsWithoutPresenter, answerAsTimedOut) {
    setAlertPresenter(nullptr);
    EXPECT_EQ(displayAlertDelayedCheckbox("t", "m", "Keep", "Replace", {}, 0, 10, "All"),
              std::make_pair(QStringLiteral("Keep"), 0));
    EXPECT_EQ(displayAlert("t", "m", 2, false), 1);
    EXPECT_FALSE(selectFilesFolders(std::nullopt, {"mov"}));
}

TEST(alertsExtensions, everyCaseForm) {
    EXPECT_EQ(extensionsWithCases({"mov", "mts"}),
              (QStringList{"mov", "MOV", "Mov", "mts", "MTS", "Mts"}));
}
