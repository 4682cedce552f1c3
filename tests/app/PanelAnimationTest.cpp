#include "app/PanelAnimation.h"
#include "app/PanelFadeAnimation.h"

#include "VirtualTime.h"

#include <QGraphicsOpacityEffect>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;

struct TwoPanes {
    TwoPanes()
    {
        host.resize(200, 100);
        first = new QWidget(&host);
        second = new QWidget(&host);
        first->setGeometry(0, 0, 200, 100);
        second->setGeometry(0, 0, 200, 100);
        second->hide();
        host.show();
    }
    QWidget host;
    QWidget* first = nullptr;
    QWidget* second = nullptr;
};

TEST(PanelAnimation, SlidesByDirectionAndPutsBothPanesBack)
{
    for (int direction : {1, -1}) {
        TwoPanes panes;
        int ended = 0;
        PanelAnimation slide(panes.first, panes.second, direction, [&] { ++ended; });
        slide.start();
        EXPECT_TRUE(panes.second->isVisible());
        EXPECT_EQ(panes.second->x(), 200 * direction) << "the new pane starts beside the old one";
        runFor(PanelAnimation::kDuration / 2);
        EXPECT_LT(panes.first->x() * direction, 0) << "the old pane leaves against the direction";
        EXPECT_EQ(panes.second->x() - panes.first->x(), 200 * direction) << "side by side";
        runFor(PanelAnimation::kDuration);
        EXPECT_FALSE(slide.isRunning());
        EXPECT_EQ(panes.first->pos(), QPoint(0, 0));
        EXPECT_EQ(panes.second->pos(), QPoint(0, 0));
        EXPECT_EQ(ended, 1);
    }
}

TEST(PanelFadeAnimation, CrossFadesAndLeavesThePanesWithoutEffects)
{
    TwoPanes panes;
    int ended = 0;
    PanelFadeAnimation fade(panes.first, panes.second, 1, [&] { ++ended; });
    fade.start();
    runFor(PanelFadeAnimation::kDuration / 2);
    auto* out = qobject_cast<QGraphicsOpacityEffect*>(panes.first->graphicsEffect());
    auto* in = qobject_cast<QGraphicsOpacityEffect*>(panes.second->graphicsEffect());
    ASSERT_NE(out, nullptr);
    ASSERT_NE(in, nullptr);
    EXPECT_NEAR(out->opacity() + in->opacity(), 1.0, 1e-9);
    EXPECT_GT(in->opacity(), 0.2);
    EXPECT_LT(in->opacity(), 0.8);
    runFor(PanelFadeAnimation::kDuration);
    EXPECT_EQ(panes.first->graphicsEffect(), nullptr);
    EXPECT_EQ(panes.second->graphicsEffect(), nullptr);
    EXPECT_EQ(ended, 1);

    // Direction 0 only fades the new pane in.
    PanelFadeAnimation fadeIn(panes.first, panes.second, 0, [&] { ++ended; });
    fadeIn.start();
    EXPECT_EQ(panes.first->graphicsEffect(), nullptr);
    runFor(PanelFadeAnimation::kDuration + 0.1);
    EXPECT_EQ(ended, 2);
}

} // namespace
