#include "widgets/BusyOverlayController.h"

#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include "platform/Clock.h"

#include <QApplication>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using testing_support::runFor;
using widget_tests::showAndSettle;

double now()
{
    return platform::Clock::instance().now();
}

// A window with one pane and a busy overlay controller over it.
struct OverlayScene {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QWidget* pane = new QWidget;
    std::unique_ptr<BusyOverlayController> overlay;
    OverlayScene()
    {
        (new QVBoxLayout(window.get()))->addWidget(pane);
        window->resize(400, 300);
        showAndSettle(window.get());
        overlay = std::make_unique<BusyOverlayController>(window.get(), [this] { return pane; });
    }
    bool shown() const { return overlay->isShown(); }
    double value() const { return overlay->overlayProgressBar()->doubleValue(); }
};

TEST(BusyOverlayControllerTest, ShowOverTheDefaultPaneKeepsItsStateWhileUp)
{
    OverlayScene s;
    s.overlay->doShowBusyOverlay(true, 40, nullptr);
    widget_tests::settle();
    ASSERT_TRUE(s.shown());
    EXPECT_EQ(s.overlay->busyOverlay()->overlayParent(), s.pane);
    EXPECT_EQ(s.value(), 0) << "the start percentage is set by a progress call";
    s.overlay->doProgressBusyOverlay(40);
    s.overlay->doProgressBusyMessage(QStringLiteral("Reading"));
    s.overlay->doShowBusyOverlay(true, 0, nullptr);
    EXPECT_EQ(s.value(), 40) << "a show over a shown overlay changes nothing";
    EXPECT_EQ(s.overlay->busyMessage()->text(), QStringLiteral("Reading"));

    // Increments wrap to the minimum at or above the maximum.
    s.overlay->doProgressBusyOverlay(90);
    s.overlay->doProgressBusyIncrement(16);
    EXPECT_EQ(s.value(), 0);
    s.overlay->doProgressBusyIncrement(16);
    EXPECT_EQ(s.value(), 16);
}

TEST(BusyOverlayControllerTest, HideLeavesItUpUntilOneSecondAfterTheLastProgress)
{
    OverlayScene s;
    s.overlay->doShowBusyOverlay(true, 0, nullptr);
    s.overlay->doShowBusyOverlay(false, 100, nullptr);
    const double hiddenAt = now();
    for (int i = 0; i < 4; ++i) {
        runFor(0.5);
        ASSERT_TRUE(s.shown()) << "progress every half second keeps it, pass " << i;
        s.overlay->doProgressBusyOverlay(10 * i);
    }
    const double lastProgress = now();
    runFor(0.8);
    EXPECT_TRUE(s.shown());
    testing_support::runUntil([&] { return !s.shown(); }, 1.0, 0.05);
    EXPECT_FALSE(s.shown());
    EXPECT_GT(now() - hiddenAt, 2.5);
    EXPECT_NEAR(now() - lastProgress, 1.0, 0.4);
}

TEST(BusyOverlayControllerTest, StayedOverlayIgnoresPlainHides)
{
    OverlayScene s;
    s.overlay->doStayedShowBusyOverlay(true, 0, nullptr);
    s.overlay->doShowBusyOverlay(false, 0, nullptr);
    runFor(2.0);
    EXPECT_TRUE(s.shown());
    s.overlay->doStayedShowBusyOverlay(false, 100, nullptr);
    runFor(1.5);
    EXPECT_FALSE(s.shown());
}

TEST(BusyOverlayControllerTest, SessionOwnsTheOverlayUntilItEnds)
{
    OverlayScene s;
    BusyModalSession* session = s.overlay->startBusyModalSession(nullptr, 0);
    ASSERT_NE(session, nullptr);
    EXPECT_TRUE(s.overlay->isOverlayModal());
    s.overlay->doShowBusyOverlay(false, 100, nullptr);
    s.overlay->doCloseBusyOverlayImmediatly();
    runFor(2.0);
    EXPECT_TRUE(s.shown()) << "hides during a session leave the overlay";

    // A time-out answers -1 once it has passed while the session runs.
    const double start = now();
    EXPECT_EQ(s.overlay->runBusyModalSession(session, 0.23), -1);
    EXPECT_GE(now() - start, 0.23);
    EXPECT_LE(now() - start, 0.35);

    // Without a time-out the run returns only when the session stops.
    platform::Timer stop([&] { s.overlay->endBusyModalSession(session); });
    stop.start(0.75);
    const double runStart = now();
    EXPECT_EQ(s.overlay->runBusyModalSession(session), BusyModalSession::kRunStopped);
    EXPECT_GE(now() - runStart, 0.7);
    EXPECT_FALSE(s.shown()) << "the session's end removes the overlay at once";
    EXPECT_EQ(BusyModalSession::running(), nullptr);
}

TEST(BusyOverlayControllerTest, ThrowingPollEndsTheRunWithMinusTwo)
{
    OverlayScene s;
    BusyModalSession* session = s.overlay->startBusyModalSession(nullptr, 0);
    platform::Timer thrower([] { throw std::runtime_error("poll"); });
    thrower.start(0.05);
    EXPECT_EQ(s.overlay->runBusyModalSession(session, -1.0), BusyModalSession::kPollFailed);
    s.overlay->endBusyModalSession(session);
    EXPECT_FALSE(s.shown());
}

TEST(BusyOverlayControllerTest, CancellableOverlayTakesFocusAndEscapeCancels)
{
    OverlayScene s;
    int cancels = 0;
    QApplication::setActiveWindow(s.window.get());
    BusyModalSession* session = s.overlay->startBusyModalSession(nullptr, 0, [&] { ++cancels; });
    ASSERT_NE(session, nullptr);
    QPushButton* cancel = s.overlay->overlayCancelButton();
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_TRUE(s.overlay->isOverEventRunning());
    EXPECT_EQ(s.overlay->runBusyModalSession(session, 0.1), -1);
    EXPECT_TRUE(cancel->hasFocus());
    QTest::keyClick(cancel, Qt::Key_Escape);
    EXPECT_EQ(s.overlay->runBusyModalSession(session, 0.3), -1);
    EXPECT_EQ(cancels, 1);
    s.overlay->endBusyModalSession(session);
    runFor(0.2);
    EXPECT_FALSE(s.overlay->isOverEventRunning()) << "the forwarding check stops once the overlay is gone";

    // A plain show hides the cancel button again.
    s.overlay->doShowBusyOverlay(true, 0, nullptr);
    EXPECT_FALSE(cancel->isVisible());
}

TEST(BusyOverlayControllerTest, IdleCheckShowsWhileTheIndicatorIsVisibleThenSteps)
{
    OverlayScene s;
    auto* indicator = new QWidget(s.pane);
    indicator->hide();
    s.overlay->busyIdleTime(indicator);
    EXPECT_FALSE(s.shown());
    indicator->show();
    s.overlay->busyIdleTime(indicator);
    EXPECT_TRUE(s.shown());
    s.overlay->busyIdleTime(indicator);
    EXPECT_EQ(s.value(), BusyOverlayController::kIdleStep);
}

} // namespace
