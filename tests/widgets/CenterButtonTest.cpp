#include "widgets/CenterButton.h"
#include "widgets/FooterToolBarView.h"
#include "widgets/PhoneButtonCell.h"
#include "widgets/PhoneButtonOnBlackCell.h"
#include "widgets/PulsingCenterButton.h"

#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;

void enter(QWidget* widget)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(widget, &event);
}

void leave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

// A window with a footer bar holding the button, shown and made active.
template <class Button>
struct Bar {
    Bar()
    {
        auto* layout = new QVBoxLayout(&window);
        footer = new FooterToolBarView(nullptr, FooterToolBarView::Origin::InCode);
        footer->setFillColor(QColor(90, 130, 200));
        button = new Button;
        button->setText(QStringLiteral("Sync"));
        auto* inner = new QVBoxLayout(footer);
        inner->addWidget(button);
        layout->addWidget(footer);
        button->setHighliteFooter(footer);
        widget_tests::showAndSettle(&window);
        QApplication::setActiveWindow(&window);
    }
    double alpha() const { return footer->fillColor().alphaF(); }
    QWidget window;
    FooterToolBarView* footer;
    Button* button;
};

TEST(CenterButtonTest, FadesTheFooterInAndOutInTheActiveWindowOnly)
{
    Bar<CenterButton> bar;
    bar.button->awakeFromNib(); // highlight on, faded out
    EXPECT_TRUE(bar.button->isInTrack());
    runFor(0.5);
    EXPECT_FALSE(bar.button->isInTrack());
    EXPECT_DOUBLE_EQ(bar.alpha(), 0.0);
    ASSERT_TRUE(bar.button->isTracking());

    enter(bar.button);
    EXPECT_TRUE(bar.button->isFading());
    runFor(0.5);
    EXPECT_DOUBLE_EQ(bar.alpha(), 1.0);
    bar.button->doHighlite(true); // the current state: no new fade
    EXPECT_FALSE(bar.button->isFading());

    // Leaving always un-highlights, even outside the active window.
    QWidget other;
    widget_tests::showAndSettle(&other);
    QApplication::setActiveWindow(&other);
    leave(bar.button);
    runFor(0.5);
    EXPECT_DOUBLE_EQ(bar.alpha(), 0.0);
    EXPECT_FALSE(bar.button->isInTrack());
    enter(bar.button);
    EXPECT_FALSE(bar.button->isInTrack());
    EXPECT_FALSE(bar.button->isFading());

    // Hidden: no tracking; shown again: tracked.
    bar.button->hide();
    EXPECT_FALSE(bar.button->isTracking());
    bar.button->show();
    EXPECT_TRUE(bar.button->isTracking());
}

TEST(CenterButtonTest, WithoutAFooterBarTheHighlightNeverChanges)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* plain = new CenterButton;
    auto* wrong = new CenterButton;
    auto* notABar = new QWidget;
    wrong->setHighliteFooter(notABar);
    layout->addWidget(plain);
    layout->addWidget(wrong);
    layout->addWidget(notABar);
    widget_tests::showAndSettle(&window);
    QApplication::setActiveWindow(&window);
    for (CenterButton* button : {plain, wrong}) {
        button->awakeFromNib();
        leave(button);
        runFor(0.5);
        EXPECT_TRUE(button->isInTrack());
        EXPECT_FALSE(button->isFading());
    }
    // And so such a pulsing button never pulses.
    auto* pulsing = new PulsingCenterButton;
    layout->addWidget(pulsing);
    pulsing->show();
    pulsing->awakeFromNib();
    runFor(3);
    EXPECT_FALSE(pulsing->isPulsing());
}

TEST(CenterButtonTest, PulseBreathesBetweenOffsetAndHalfAboveIt)
{
    Bar<PulsingCenterButton> bar;
    bar.button->awakeFromNib();
    runFor(1.2); // the fade-out, then the first pulse under way
    ASSERT_TRUE(bar.button->hasPulseTimer());
    double lowest = 1, highest = 0;
    for (int step = 0; step < 150; ++step) {
        runFor(0.02);
        lowest = std::min(lowest, bar.alpha());
        highest = std::max(highest, bar.alpha());
    }
    EXPECT_TRUE(bar.button->isPulsing());
    EXPECT_NEAR(lowest, 0.12, 0.01);
    EXPECT_NEAR(highest, 0.62, 0.01);

    // Hovering takes over from the pulse.
    enter(bar.button);
    EXPECT_FALSE(bar.button->isPulsing());
    runFor(0.4);
    EXPECT_DOUBLE_EQ(bar.alpha(), 1.0);
    leave(bar.button);
    runFor(0.4);

    // Hidden: the beat stops at once; shown: it starts again.
    bar.button->hide();
    EXPECT_FALSE(bar.button->hasPulseTimer());
    bar.button->show();
    EXPECT_TRUE(bar.button->hasPulseTimer());
    // Taken out of its window: it stops at the next beat.
    bar.button->setParent(nullptr);
    runFor(1.2);
    EXPECT_FALSE(bar.button->hasPulseTimer());
    delete bar.button;
}

TEST(CenterButtonTest, PulseWithoutTrackingIgnoresThePointer)
{
    Bar<PulsingCenterButton> bar;
    bar.button->awakeFromNib();
    bar.button->setAllowTracking(false);
    bar.button->setAnimateOffset(0.45);
    EXPECT_FALSE(bar.button->isTracking());
    runFor(0.5);
    enter(bar.button);
    EXPECT_FALSE(bar.button->isFading());
    double highest = 0;
    for (int step = 0; step < 150; ++step) {
        runFor(0.02);
        highest = std::max(highest, bar.alpha());
    }
    EXPECT_TRUE(bar.button->isPulsing());
    EXPECT_NEAR(highest, 0.95, 0.01);
}

TEST(PhoneButtonCellTest, TitleBrightensOnHoverAndPressShowsTheBadge)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* cell = new PhoneButtonCell;
    cell->setText(QStringLiteral("KU990"));
    auto* disabled = new PhoneButtonCell;
    disabled->setText(QStringLiteral("KG800"));
    disabled->setEnabled(false);
    layout->addWidget(cell);
    layout->addWidget(disabled);
    widget_tests::showAndSettle(&window);
    QApplication::setActiveWindow(&window);
    cell->updateTrackingRectCell(true);
    disabled->updateTrackingRectCell(true);
    EXPECT_TRUE(cell->isTracking());
    EXPECT_FALSE(disabled->isTracking());
    EXPECT_EQ(disabled->titleColor(), disabled->palette().color(QPalette::Disabled, QPalette::WindowText));
    EXPECT_EQ(cell->titleColor(), QColor(Qt::black));

    enter(cell);
    runFor(0.1);
    EXPECT_GT(cell->frontWhiteColor(), 0.0);
    runFor(0.4);
    EXPECT_EQ(cell->titleColor(), QColor(Qt::white));
    cell->doHighlite(true);
    EXPECT_FALSE(cell->isFading());
    QTest::mousePress(cell, Qt::LeftButton);
    EXPECT_TRUE(cell->isHighlighted());
    QTest::mouseRelease(cell, Qt::LeftButton);
    EXPECT_TRUE(cell->isHighlighted()) << "pressed and still pointed at";
    leave(cell);
    EXPECT_FALSE(cell->isHighlighted());
    runFor(0.5);
    EXPECT_EQ(cell->titleColor(), QColor(Qt::black));

    // Not the active window: no highlight.
    QWidget other;
    widget_tests::showAndSettle(&other);
    QApplication::setActiveWindow(&other);
    enter(cell);
    EXPECT_FALSE(cell->isInTrack());
}

TEST(PhoneButtonCellTest, OnBlackTitleSwitchesAtOnce)
{
    PhoneButtonOnBlackCell cell;
    EXPECT_NEAR(cell.titleColor().redF(), 0.75, 0.01);
    cell.doHighlite(true);
    EXPECT_EQ(cell.titleColor(), QColor(Qt::white));
    EXPECT_TRUE(cell.isFading());
    cell.doHighlite(false);
    EXPECT_NEAR(cell.titleColor().redF(), 0.75, 0.01);
    runFor(0.5);
    cell.doHighlite(false); // the current state: no fade, the level reset all the same
    EXPECT_FALSE(cell.isFading());
    EXPECT_NEAR(cell.textColor(), 0.75, 1e-9);
}

TEST(PhoneButtonCellTest, BadgeRadiusFollowsTheHeight)
{
    const std::pair<qreal, qreal> cases[] = {{12, 8}, {19, 8}, {19.9, 8}, {20, 12}, {40, 12}};
    for (const auto& [height, radius] : cases)
        EXPECT_EQ(PhoneButtonCell::badgeRadius(height), radius) << height;
}

} // namespace
