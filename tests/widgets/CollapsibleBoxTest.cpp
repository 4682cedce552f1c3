#include "widgets/CollapsibleBox.h"
#include "widgets/CollapsibleBoxDelegate.h"
#include "widgets/NSCollapsButton.h"
#include "widgets/NSWindowResizeView.h"

#include "platform/gui/Coordinates.h"
#include "platform/gui/TestArtifacts.h"

#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

using platform::gui::flipRect;
using testing_support::runFor;

constexpr int kPanelHeight = 400;

// Frames seen from the bottom-left corner of a 400-point-high panel.
QRect fromBottom(const QRect& rect)
{
    return flipRect(rect, kPanelHeight).toRect();
}

struct Refusing : CollapsibleBoxDelegate {
    int asked = 0;
    QRect frame;
    bool expanding = true;
    bool collapsibleBox(CollapsibleBox& box, const QRect& target, bool expanding_) override
    {
        ++asked;
        frame = target;
        expanding = expanding_;
        CollapsibleBox::stdAnimateViewAndSiblings(&box, target);
        return false;
    }
};

TEST(CollapsibleBoxTest, CollapsesKeepingItsTopAndComesBack)
{
    QWidget panel;
    panel.resize(300, kPanelHeight);
    CollapsibleBox box(fromBottom({10, 100, 250, 200}), &panel);
    auto* content = new QLabel(QStringLiteral("Settings"), &box);
    content->move(8, 8);
    EXPECT_TRUE(box.isExpanded());
    EXPECT_EQ(box.otherFrameSize(), QSize(250, 38));

    box.setExpanded(true); // the current state: nothing happens
    EXPECT_FALSE(CollapsibleBox::isAnimating(&box));

    box.setExpanded(false);
    EXPECT_FALSE(box.isExpanded());
    EXPECT_TRUE(CollapsibleBox::isAnimating(&box));
    runFor(0.1);
    const int midway = box.height();
    EXPECT_LT(midway, 200);
    EXPECT_GT(midway, 38);
    runFor(0.3);
    EXPECT_FALSE(CollapsibleBox::isAnimating(&box));
    EXPECT_EQ(fromBottom(box.geometry()), QRect(10, 262, 250, 38));
    EXPECT_EQ(box.otherFrameSize(), QSize(250, 200));
    EXPECT_EQ(content->pos(), QPoint(8, 8));

    box.setExpanded(true, false);
    EXPECT_EQ(fromBottom(box.geometry()), QRect(10, 100, 250, 200));
    EXPECT_EQ(box.otherFrameSize(), QSize(250, 38));
}

TEST(CollapsibleBoxTest, RefusingDelegateMovesTheBoxAndTheViewsBelow)
{
    QWidget panel;
    panel.resize(300, kPanelHeight);
    CollapsibleBox box(fromBottom({10, 200, 250, 150}), &panel);
    QLabel below(QStringLiteral("Below"), &panel);
    below.setGeometry(fromBottom({10, 120, 250, 40}));
    QLabel above(QStringLiteral("Above"), &panel);
    above.setGeometry(fromBottom({10, 360, 250, 30}));
    Refusing delegate;
    box.setAnimationDelegate(&delegate);

    box.setExpanded(false);
    EXPECT_EQ(delegate.asked, 1);
    EXPECT_FALSE(delegate.expanding);
    EXPECT_FALSE(box.isExpanded());
    EXPECT_EQ(box.otherFrameSize(), QSize(250, 150));
    EXPECT_EQ(fromBottom(delegate.frame), QRect(10, 312, 250, 38));
    runFor(0.5);
    EXPECT_EQ(fromBottom(box.geometry()), QRect(10, 312, 250, 38));
    // The view below keeps its distance to the box's lower edge; the one
    // above stays.
    EXPECT_EQ(fromBottom(below.geometry()), QRect(10, 232, 250, 40));
    EXPECT_EQ(fromBottom(above.geometry()), QRect(10, 360, 250, 30));
}

TEST(CollapsibleBoxTest, WindowFollowerGrowsTheWindowDownwards)
{
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    NSWindowResizeView follower(&window);
    follower.setGeometry(0, 180, 300, 20);
    follower.setFrame(QRect(0, 200, 300, 20));
    EXPECT_EQ(follower.geometry(), QRect(0, 200, 300, 20));
    EXPECT_EQ(window.geometry(), QRect(100, 100, 300, 220));
}

TEST(CollapsibleBoxTest, DisclosureButtonTogglesWithSpaceAndBoxesInLayoutsAnimateTheirHeight)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* button = new NSCollapsButton;
    button->setText(QStringLiteral("Recipients"));
    auto* box = new CollapsibleBox;
    box->setMinimumHeight(120);
    box->setOtherFrameSize(QSize(280, 38));
    auto* boxLayout = new QVBoxLayout(box);
    auto* first = new QLabel(QStringLiteral("To: Anna, Ben"));
    auto* second = new QLabel(QStringLiteral("Cc: Carla"));
    boxLayout->addWidget(first);
    boxLayout->addWidget(second);
    auto* below = new QLabel(QStringLiteral("Message"));
    layout->addWidget(button);
    layout->addWidget(box);
    layout->addWidget(below);
    layout->addStretch();
    window.resize(300, 320);
    button->setCollapsibleBox(box);
    widget_tests::showAndSettle(&window);
    EXPECT_TRUE(button->isChecked());
    EXPECT_FALSE(button->accessibleName().isEmpty());
    platform::gui::saveGrab(&window, QStringLiteral("collapsible-box-expanded"));
    const int belowBefore = below->y();
    const QRect secondBefore = second->geometry();

    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_FALSE(box->isExpanded());
    runFor(0.5);
    widget_tests::settle();
    EXPECT_EQ(box->height(), 38);
    EXPECT_EQ(below->y(), belowBefore - (120 - 38));
    // The content is cut off, not squeezed.
    EXPECT_EQ(second->geometry(), secondBefore);
    EXPECT_EQ(first->y(), boxLayout->contentsMargins().top() + box->contentsMargins().top());
    platform::gui::saveGrab(&window, QStringLiteral("collapsible-box-collapsed"));

    box->setExpanded(true, false);
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(CollapsibleBox::searchCollapsButton(&window), button);
    EXPECT_EQ(CollapsibleBox::searchCollapsButton(nullptr), nullptr);
    EXPECT_EQ(box->getFirstCollapsButton(), nullptr);
}

} // namespace
