#include "widgets/ProgressCycle.h"

#include "platform/gui/TestArtifacts.h"

#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using widget_tests::settle;
using widget_tests::showAndSettle;

TEST(ProgressCycleTest, RingShowsTheShareDoneClockwiseFromTwelve)
{
    const qreal size = 32;
    const qreal height = 42;
    const QRectF disc = ProgressCycleHandler::discRect(size, height);
    EXPECT_EQ(disc, QRectF(2, 42 - 4 - 32, 32, 32));
    const QPointF centre = disc.center();
    const qreal u = size / 16;
    const qreal inner = size / 2 - 2 * u;   // radius of the pie
    const QPointF ring = centre + QPointF(0, -(size / 2 - u));   // inside the outer ring at twelve
    const QPointF left = centre + QPointF(-inner / 2, 0);
    const QPointF right = centre + QPointF(inner / 2, 2);   // just below three o'clock
    const QPointF upperRight = centre + QPointF(inner / 2, -inner / 2);

    struct Case {
        const char* what;
        double min;
        double max;
        double value;
        bool coversCentre;   // the not-done colour at these points
        bool coversLeft;
        bool coversRight;
        bool coversUpperRight;
    };
    const Case cases[] = {
        {"minimum: empty ring", 0, 100, 0, true, true, true, true},
        {"below minimum", 0, 100, -20, true, true, true, true},
        {"a quarter: upper right done", 0, 100, 25, true, true, true, false},
        {"halfway: right half done", 0, 100, 50, true, true, false, false},
        {"maximum: full disc", 0, 100, 100, false, false, false, false},
        {"max equals min: full disc", 40, 40, 40, false, false, false, false},
    };
    for (const Case& c : cases) {
        ProgressCycle cycle;
        cycle.setMinValue(c.min);
        cycle.setMaxValue(c.max);
        cycle.setDoubleValue(c.value);
        const QPainterPath notDone = ProgressCycleHandler::progressPath(size, height, cycle.getProcessVal());
        EXPECT_FALSE(notDone.contains(ring)) << c.what;
        EXPECT_EQ(notDone.contains(left), c.coversLeft) << c.what;
        EXPECT_EQ(notDone.contains(right), c.coversRight) << c.what;
        EXPECT_EQ(notDone.contains(upperRight), c.coversUpperRight) << c.what;
        if (c.coversCentre)
            EXPECT_TRUE(notDone.boundingRect().contains(centre)) << c.what;
        else
            EXPECT_TRUE(notDone.isEmpty()) << c.what;
    }
}

TEST(ProgressCycleTest, IdleWedgesTurnWithTheTicks)
{
    const QPainterPath still = ProgressCycleHandler::idlePath(32, 42, 0);
    const QPainterPath turned = ProgressCycleHandler::idlePath(32, 42, 36);
    const QPointF centre = ProgressCycleHandler::discRect(32, 42).center();
    const QPointF at18Degrees = centre + QPointF(10 * std::cos(M_PI / 10), -10 * std::sin(M_PI / 10));
    EXPECT_TRUE(still.contains(at18Degrees));
    EXPECT_FALSE(turned.contains(at18Degrees));
    EXPECT_EQ(ProgressCycleHandler::idlePath(32, 42, 360).boundingRect(), still.boundingRect());
}

TEST(ProgressCycleTest, ThreadedAnimationSharesOneBeat)
{
    const int before = ProgressCycle::heartBeatClientCount();
    ProgressCycle first;
    ProgressCycle second;
    first.setUsesThreadedAnimation(true);
    second.setUsesThreadedAnimation(true);
    first.stopAnimation();   // never started: nothing happens
    EXPECT_EQ(ProgressCycle::heartBeatClientCount(), before);
    first.startAnimation();
    first.startAnimation();
    EXPECT_EQ(ProgressCycle::heartBeatClientCount(), before + 1);
    second.startAnimation();
    EXPECT_EQ(ProgressCycle::heartBeatClientCount(), before + 2);
    first.stopAnimation();
    EXPECT_FALSE(first.isOnHeartBeat());
    EXPECT_EQ(ProgressCycle::heartBeatClientCount(), before + 1);
    {
        ProgressCycle gone;
        gone.setUsesThreadedAnimation(true);
        gone.startAnimation();
    }
    EXPECT_EQ(ProgressCycle::heartBeatClientCount(), before + 1);
}

TEST(ProgressCycleTest, BeatRedrawsAtMost25TimesASecond)
{
    ProgressCycle cycle;
    cycle.resize(42, 42);
    cycle.setIndeterminate(true);
    cycle.setUsesThreadedAnimation(true);
    showAndSettle(&cycle);
    widget_tests::PaintCounter paints(&cycle);
    cycle.startAnimation();
    for (int slice = 0; slice < 100; ++slice) {
        testing_support::runFor(0.01);
        settle();
    }
    EXPECT_GE(paints.count, 20);
    EXPECT_LE(paints.count, 26);
    cycle.stopAnimation();
}

TEST(ProgressCycleTest, OwnTimerAnimatesOnlyIndeterminateCycles)
{
    ProgressCycle cycle;
    cycle.resize(42, 42);
    showAndSettle(&cycle);
    widget_tests::PaintCounter paints(&cycle);
    cycle.startAnimation();
    EXPECT_TRUE(cycle.isAnimating());
    EXPECT_FALSE(cycle.isOnHeartBeat());
    testing_support::runFor(0.5);
    settle();
    EXPECT_EQ(paints.count, 0);
    cycle.setIndeterminate(true);
    testing_support::runFor(0.5);
    settle();
    EXPECT_GE(paints.count, 1);
    cycle.stopAnimation();
    EXPECT_FALSE(cycle.isAnimating());
}

TEST(ProgressCycleTest, SameValueAgainDoesNotRedraw)
{
    ProgressCycle cycle;
    cycle.resize(42, 42);
    cycle.setDoubleValue(30);
    showAndSettle(&cycle);
    widget_tests::PaintCounter paints(&cycle);
    cycle.setDoubleValue(30);
    settle();
    EXPECT_EQ(paints.count, 0);
    cycle.setDoubleValue(31);
    settle();
    EXPECT_EQ(paints.count, 1);
}

class ClickCatcher : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

TEST(ProgressCycleTest, ClickRunsTheActionOrReachesTheParent)
{
    ClickCatcher parent;
    auto* cycle = new ProgressCycle(&parent);
    cycle->setGeometry(0, 0, 42, 42);
    showAndSettle(&parent);
    QTest::mouseClick(cycle, Qt::LeftButton);
    EXPECT_EQ(parent.presses, 1);

    int actions = 0;
    cycle->setAction([&](ProgressCycle* sender) {
        EXPECT_EQ(sender, cycle);
        ++actions;
    });
    QTest::mouseClick(cycle, Qt::LeftButton);
    EXPECT_EQ(actions, 0);   // a moment later
    testing_support::runFor(0.02);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(parent.presses, 1);
}

TEST(ProgressCycleTest, SavesRingPictures)
{
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    const double values[] = {0, 25, 50, 100};
    for (double value : values) {
        auto* cycle = new ProgressCycle;
        cycle->setFixedSize(52, 52);
        cycle->setDoubleValue(value);
        layout->addWidget(cycle);
    }
    auto* idle = new ProgressCycle;
    idle->setFixedSize(52, 52);
    idle->setIndeterminate(true);
    layout->addWidget(idle);
    auto* red = new ProgressCycle;
    red->setFixedSize(52, 52);
    red->setBackGroundColor(QColor::fromRgbF(0.69, 0.1, 0.1));
    red->setDoubleValue(70);
    layout->addWidget(red);
    EXPECT_FALSE(platform::gui::saveGrab(&row, QStringLiteral("progress-rings")).isEmpty());
    const QImage alone = ProgressCycleHandler().progressCycle(32, 0.5);
    EXPECT_EQ(alone.size(), QSize(36, 37));
}

} // namespace
