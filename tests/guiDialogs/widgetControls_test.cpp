// The progress adapters over real widgets: what the bar shows for the ranges the controller and
// the downloader give it.
#include "dialogs/widgetControls.h"

#include <QProgressBar>

#include <gtest/gtest.h>

TEST(WidgetControls, ProgressBarShowsTheFractionOfAnyRange) {
    QProgressBar widget;
    widgetProgressBar bar(&widget);
    // A download's byte counts, beyond what an int holds in thousandths.
    bar.setIndeterminate(false);
    bar.setMaxValue(3.0e9);
    bar.setValue(0.75e9);
    EXPECT_EQ(widget.value() * 4, widget.maximum());
    // A range that does not start at 0, and a value outside it.
    bar.setMinValue(10);
    bar.setMaxValue(20);
    bar.setValue(12.5);
    EXPECT_EQ(widget.value() * 4, widget.maximum());
    bar.setValue(40);
    EXPECT_EQ(widget.value(), widget.maximum());
    // Indeterminate: busy only while animating.
    bar.setIndeterminate(true);
    bar.setAnimating(true);
    EXPECT_EQ(widget.maximum(), 0);
    bar.setAnimating(false);
    EXPECT_GT(widget.maximum(), 0);
    EXPECT_EQ(widget.value(), 0);
    EXPECT_DOUBLE_EQ(bar.value(), 40);
}

TEST(WidgetControls, SpinnerShowsOnlyWhileItTurns) {
    QProgressBar widget;
    widgetSpinner spinner(&widget);
    EXPECT_TRUE(widget.isHidden());
    spinner.setAnimating(true);
    EXPECT_FALSE(widget.isHidden());
    spinner.setAnimating(false);
    EXPECT_TRUE(widget.isHidden());
}
