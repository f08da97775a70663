#include "window/PaneSplit.h"

#include <gtest/gtest.h>

namespace {

TEST(PaneSplit, GainGoesToTheListLossIsSharedAndTheListKeepsItsRows) {
    const PaneHeights chosen{300, 100};
    // Room to spare: the report keeps its height.
    EXPECT_EQ(SplitListAndReport(400, chosen, 60).List, 300);
    EXPECT_EQ(SplitListAndReport(700, chosen, 60).List, 600);
    EXPECT_EQ(SplitListAndReport(700, chosen, 60).Report, 100);
    // Less room: both give in proportion, three to one.
    const PaneHeights smaller = SplitListAndReport(200, chosen, 60);
    EXPECT_EQ(smaller.List, 150);
    EXPECT_EQ(smaller.Report, 50);
    // A report much taller than the list: the list keeps its minimum, the report the rest.
    const PaneHeights tallReport = SplitListAndReport(200, PaneHeights{100, 700}, 60);
    EXPECT_EQ(tallReport.List, 60);
    EXPECT_EQ(tallReport.Report, 140);
    // Less room than the minimum: all of it is the list's.
    EXPECT_EQ(SplitListAndReport(40, chosen, 60).List, 40);
    EXPECT_EQ(SplitListAndReport(40, chosen, 60).Report, 0);
    // Nothing left, nothing chosen, nonsense in: never a negative height.
    for (const PaneHeights split :
         {SplitListAndReport(0, chosen, 60), SplitListAndReport(-5, chosen, 60),
          SplitListAndReport(100, PaneHeights{0, 0}, 60),
          SplitListAndReport(100, PaneHeights{-10, -10}, -1)}) {
        EXPECT_GE(split.List, 0);
        EXPECT_GE(split.Report, 0);
        EXPECT_LE(split.List + split.Report, 100);
    }
    EXPECT_EQ(SplitListAndReport(100, PaneHeights{0, 0}, 60).List, 100);
    // Heights of a very tall screen do not overflow.
    EXPECT_EQ(SplitListAndReport(30000, PaneHeights{40000, 40000}, 60).Report, 15000);
}

TEST(PaneSplit, PicturesGrowInStepsThatNeverExceedTheirPlace) {
    EXPECT_EQ(PictureScalePercent(96), 100);
    EXPECT_EQ(PictureScalePercent(120), 100);
    EXPECT_EQ(PictureScalePercent(143), 100);
    EXPECT_EQ(PictureScalePercent(144), 150);
    EXPECT_EQ(PictureScalePercent(168), 150);
    EXPECT_EQ(PictureScalePercent(192), 200);
    EXPECT_EQ(PictureScalePercent(288), 200);
    EXPECT_EQ(PictureScalePercent(0), 100);
}

} // namespace
