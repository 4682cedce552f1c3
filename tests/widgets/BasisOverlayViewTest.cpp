#include "widgets/BasisOverlayView.h"
#include "widgets/OverlayProgressBar.h"
#include "widgets/OverlayView.h"

#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include "platform/Clock.h"

#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

using widget_tests::settle;
using widget_tests::showAndSettle;

double now()
{
    return platform::Clock::instance().now();
}

// Records the time of every deadline check.
class CheckedOverlay : public BasisOverlayView {
public:
    CheckedOverlay() { SetDoAnimate(true); }
    void DoAnimate() override { checks.append(now()); }
    QList<double> checks;
};

struct Scene {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QWidget* a = new QWidget;
    QWidget* b = new QWidget;
    Scene()
    {
        auto* layout = new QVBoxLayout(window.get());
        layout->addWidget(a);
        layout->addWidget(b);
        window->resize(200, 200);
        showAndSettle(window.get());
    }
};

TEST(BasisOverlayViewTest, CheckIntervalFollowsTheStay)
{
    struct Case {
        quint16 seconds;
        double interval;
    };
    const Case cases[] = {{0, 0.0}, {1, 0.0625}, {4, 0.25}, {5, 0.3125}, {6, 0.33}, {10, 0.33}};
    for (const Case& c : cases) {
        BasisOverlayView overlay;
        overlay.StayForSeconds(c.seconds);
        EXPECT_TRUE(overlay.isCheckTimerActive()) << c.seconds;
        EXPECT_DOUBLE_EQ(overlay.checkInterval(), c.interval) << c.seconds;
    }
}

TEST(BasisOverlayViewTest, NoDeadlineChecksOnceAndStaysUntilHidden)
{
    Scene scene;
    CheckedOverlay overlay;
    overlay.SetToOverlayView(scene.a);
    overlay.StayForSeconds(0);
    EXPECT_FALSE(overlay.AddStaySeconds(1));
    testing_support::runFor(5);
    EXPECT_EQ(overlay.checks.size(), 1);
    EXPECT_FALSE(overlay.isCheckTimerActive());
    EXPECT_TRUE(overlay.IsInOverlay());
    EXPECT_TRUE(overlay.isVisible());
    overlay.SetToOverlayView(nullptr);
    EXPECT_FALSE(overlay.IsInOverlay());
    EXPECT_TRUE(overlayViews(scene.a).isEmpty());
}

TEST(BasisOverlayViewTest, HiddenOverlayWithoutDeadlineStopsChecking)
{
    CheckedOverlay overlay;
    overlay.StayForSeconds(0);
    testing_support::runFor(1);
    EXPECT_EQ(overlay.checks.size(), 1);
    EXPECT_FALSE(overlay.isCheckTimerActive());
}

TEST(BasisOverlayViewTest, DeadlineClosesShortlyAfterTheFirstCheckPastIt)
{
    Scene scene;
    CheckedOverlay overlay;
    overlay.SetToOverlayView(scene.a);
    const double start = now();
    const quint32 startTicks = BasisOverlayView::tickCount();
    overlay.StayForSeconds(1);
    EXPECT_EQ(overlay.stopTicks(), startTicks + 60);
    double closedAt = -1;
    ASSERT_TRUE(testing_support::runUntil([&] {
        if (!overlay.IsInOverlay() && closedAt < 0)
            closedAt = now();
        return closedAt >= 0;
    }, 3, 0.001));
    ASSERT_GE(overlay.checks.size(), 2);
    for (qsizetype i = 1; i < overlay.checks.size(); ++i)
        EXPECT_NEAR(overlay.checks[i] - overlay.checks[i - 1], 0.0625, 1e-6);
    const double lastCheck = overlay.checks.last();
    EXPECT_GT(BasisOverlayView::tickCount(), startTicks + 60);
    EXPECT_NEAR(closedAt - lastCheck, 0.01, 0.0015);
    EXPECT_GT(closedAt, start + 1.0);
    EXPECT_LT(closedAt, start + 1.0 + 0.0625 + 1.0 / 60 + 0.011);
    EXPECT_EQ(overlay.stopTicks(), 0u);
    EXPECT_FALSE(overlay.isCheckTimerActive());
}

TEST(BasisOverlayViewTest, ProgressPostponesTheDeadline)
{
    Scene scene;
    BasisOverlayView overlay;
    overlay.SetToOverlayView(scene.a);
    const double start = now();
    overlay.StayForSeconds(1);
    testing_support::runFor(0.5);
    EXPECT_TRUE(overlay.AddStaySeconds(1));
    testing_support::runFor(0.5);
    EXPECT_TRUE(overlay.AddStaySeconds(1));
    ASSERT_TRUE(testing_support::runUntil([&] { return !overlay.IsInOverlay(); }, 5, 0.01));
    EXPECT_GT(now() - start, 3.0);
    EXPECT_LT(now() - start, 3.2);
}

TEST(BasisOverlayViewTest, ShowingOverAnotherViewMovesIt)
{
    Scene scene;
    BasisOverlayView overlay;
    overlay.SetToOverlayView(scene.a);
    overlay.SetToOverlayView(scene.b);
    EXPECT_EQ(overlay.overlayParent(), scene.b);
    EXPECT_TRUE(overlayViews(scene.a).isEmpty());
    EXPECT_EQ(overlayViews(scene.b), QList<QWidget*>{&overlay});
    EXPECT_EQ(overlay.parentWidget()->geometry(), QRect(scene.b->mapTo(scene.window.get(), QPoint()), scene.b->size()));
    overlay.SetToOverlayView(nullptr);
}

TEST(BasisOverlayViewTest, RequestsFromAWorkerThreadAreAllAppliedInOrder)
{
    Scene scene;
    BasisOverlayView overlay;
    std::thread worker([&] {
        overlay.SetToOverlayView(scene.a);
        overlay.SetToOverlayView(nullptr);
    });
    worker.join();
    EXPECT_FALSE(overlay.IsInOverlay());   // nothing touched off the GUI thread
    settle();
    EXPECT_FALSE(overlay.IsInOverlay());
    EXPECT_TRUE(overlayViews(scene.a).isEmpty());

    std::thread shower([&] { overlay.SetToOverlayView(scene.b); });
    shower.join();
    overlay.SetToOverlayView(scene.a);   // the GUI thread asks after the worker
    EXPECT_EQ(overlay.overlayParent(), scene.a);
    settle();
    EXPECT_EQ(overlay.overlayParent(), scene.a);
    EXPECT_TRUE(overlayViews(scene.b).isEmpty());
    overlay.SetToOverlayView(nullptr);
}

TEST(OverlayProgressBarTest, ValueFillsItsShareOfTheInnerRectangle)
{
    struct Case {
        double min;
        double max;
        double value;
        double share;
    };
    const Case cases[] = {
        {0, 100, 50, 0.5}, {0, 100, -5, 0}, {0, 100, 150, 1}, {0, 100, 100, 1},
        {20, 40, 30, 0.5},   // the share counts from the minimum
        {100, 0, 50, 0}, {100, 0, 150, 1}, {100, 0, -1, 0},   // inverted range: empty or full
        {50, 50, 50, 1}, {50, 50, 10, 0},                     // empty range
    };
    OverlayProgressBar bar;
    bar.resize(200, 40);
    const QRectF track = bar.trackRect();
    const qreal inset = track.height() / 12;
    const qreal fullWidth = track.width() - 2 * inset;
    for (const Case& c : cases) {
        bar.setMinValue(c.min);
        bar.setMaxValue(c.max);
        bar.setDoubleValue(c.value);
        const QRectF done = bar.doneRect();
        EXPECT_NEAR(done.width(), fullWidth * c.share, 1e-9) << c.min << ".." << c.max << " at " << c.value;
        EXPECT_GE(done.left(), track.left()) << c.value;
        EXPECT_LE(done.right(), track.right()) << c.value;
    }
    EXPECT_EQ(bar.outlineRect(), QRectF(5, 5, 190, 30));
}

TEST(OverlayProgressBarTest, OnlyAChangedValueAsksItsParentToRedraw)
{
    QWidget parent;
    parent.resize(220, 60);
    auto* bar = new OverlayProgressBar(&parent);
    bar->setGeometry(10, 10, 200, 30);
    showAndSettle(&parent);
    widget_tests::PaintCounter paints(&parent);
    bar->setDoubleValue(0);
    settle();
    EXPECT_EQ(paints.count, 0);
    bar->setDoubleValue(40);
    settle();
    EXPECT_GE(paints.count, 1);

    OverlayProgressBar alone;
    widget_tests::PaintCounter nothing(&alone);
    alone.setDoubleValue(70);
    settle();
    EXPECT_EQ(nothing.count, 0);
    EXPECT_EQ(alone.doubleValue(), 70);
}

} // namespace
