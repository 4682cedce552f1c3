#include "widgets/HistoryAnimation.h"
#include "widgets/AnimatedObject.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

namespace {

struct Recorder : AnimatedObject {
    std::vector<double> steps;
    void doAnimate(double progress) override { steps.push_back(progress); }
};

TEST(HistoryAnimationTest, ReportsEasedMonotoneProgressAndEndsOnce)
{
    Recorder target;
    HistoryAnimation animation; // 0.5 s
    int ends = 0;
    animation.setEndHandler([&] { ++ends; });
    animation.setAnimatedHistoryContainer(&target);
    EXPECT_TRUE(animation.isAnimating());
    testing_support::runFor(0.1);
    ASSERT_FALSE(target.steps.empty());
    // Ease-in-out: slow at the start.
    EXPECT_LT(target.steps.back(), 0.2 * 0.8);
    testing_support::runFor(1.0);
    EXPECT_FALSE(animation.isAnimating());
    EXPECT_EQ(ends, 1);
    EXPECT_DOUBLE_EQ(target.steps.front(), 0.0);
    EXPECT_DOUBLE_EQ(target.steps.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(target.steps.begin(), target.steps.end()));
    EXPECT_GT(target.steps.size(), 5u);
}

TEST(HistoryAnimationTest, StoppedEarlyReportsNoEndAndRestartBeginsAgain)
{
    Recorder target;
    HistoryAnimation animation(0.5);
    int ends = 0;
    animation.setEndHandler([&] { ++ends; });
    animation.setAnimatedHistoryContainer(&target);
    testing_support::runFor(0.2);
    animation.stopAnimation();
    const size_t seen = target.steps.size();
    testing_support::runFor(1.0);
    EXPECT_EQ(target.steps.size(), seen);
    EXPECT_EQ(ends, 0);
    EXPECT_LT(target.steps.back(), 1.0);

    animation.setAnimatedHistoryContainer(&target);
    EXPECT_DOUBLE_EQ(target.steps.back(), 0.0);
    testing_support::runFor(0.6);
    EXPECT_EQ(ends, 1);
}

} // namespace
