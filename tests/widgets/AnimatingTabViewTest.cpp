#include "widgets/AnimatingTabView.h"
#include "widgets/TransitionFilters.h"

#include "platform/Coder.h"
#include "platform/gui/TestArtifacts.h"

#include "GuiGapProbe.h"
#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <iostream>
#include "GuiGapLimit.h"

namespace {

using testing_support::runFor;

QWidget* colouredPage(const QColor& colour)
{
    auto* page = new QLabel(colour.name());
    page->setAutoFillBackground(true);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, colour);
    page->setPalette(palette);
    return page;
}

// A window with a tab view of three coloured pages, the third with a field.
struct TabWindow {
    QWidget window;
    AnimatingTabView* tabs = new AnimatingTabView(&window);
    QLineEdit* field = new QLineEdit;
    TabWindow()
    {
        window.resize(320, 240);
        tabs->setGeometry(0, 0, 320, 240);
        tabs->awakeFromNib();
        tabs->addTab(colouredPage(QColor(200, 60, 60)), QStringLiteral("Red"));
        tabs->addTab(colouredPage(QColor(60, 160, 60)), QStringLiteral("Green"));
        auto* third = colouredPage(QColor(60, 60, 200));
        auto* layout = new QVBoxLayout(third);
        layout->addWidget(field);
        tabs->addTab(third, QStringLiteral("Blue"));
    }
};

TEST(AnimatingTabViewTest, HiddenViewSwitchesAtOnceWithoutPictures)
{
    TabWindow hidden;
    hidden.tabs->setCurrentIndex(1);
    EXPECT_EQ(hidden.tabs->currentIndex(), 1);
    EXPECT_FALSE(hidden.tabs->isAnimating());
    EXPECT_EQ(hidden.tabs->picturesTaken(), 0);

    TabWindow shownButHidden;
    widget_tests::showAndSettle(&shownButHidden.window);
    shownButHidden.tabs->hide();
    shownButHidden.tabs->setCurrentIndex(2);
    EXPECT_FALSE(shownButHidden.tabs->isAnimating());
    EXPECT_EQ(shownButHidden.tabs->picturesTaken(), 0);
}

TEST(AnimatingTabViewTest, SwitchPlaysOverTheNewPageAndEnds)
{
    TabWindow w;
    w.tabs->setTransitionStyle(5);
    widget_tests::showAndSettle(&w.window);
    w.tabs->selectTabViewItem(1);
    EXPECT_EQ(w.tabs->currentIndex(), 1) << "the switch itself is at once";
    EXPECT_TRUE(w.tabs->isAnimating());
    EXPECT_EQ(w.tabs->picturesTaken(), 2);
    EXPECT_DOUBLE_EQ(w.tabs->lastDuration(), AnimatingTabView::kDuration);
    runFor(0.25);
    EXPECT_TRUE(w.tabs->isAnimating());
    EXPECT_FALSE(w.tabs->currentFrame().isNull());
    platform::gui::saveGrab(&w.window, QStringLiteral("AnimatingTabView-page-curl-half-way"));
    runFor(0.3);
    EXPECT_FALSE(w.tabs->isAnimating());
    EXPECT_TRUE(w.tabs->currentFrame().isNull());
}

TEST(AnimatingTabViewTest, ShiftClickMakesOneSlowTransition)
{
    TabWindow w;
    widget_tests::showAndSettle(&w.window);
    QTabBar* bar = w.tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::ShiftModifier, bar->tabRect(1).center());
    EXPECT_EQ(w.tabs->currentIndex(), 1);
    EXPECT_DOUBLE_EQ(w.tabs->lastDuration(), AnimatingTabView::kSlowMotionDuration);
    runFor(2.9);
    EXPECT_TRUE(w.tabs->isAnimating());
    runFor(0.2);
    EXPECT_FALSE(w.tabs->isAnimating());
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(0).center());
    EXPECT_DOUBLE_EQ(w.tabs->lastDuration(), AnimatingTabView::kDuration);
    EXPECT_FALSE(w.tabs->slowMotionDemo());
}

TEST(AnimatingTabViewTest, SecondSwitchEndsTheFirstAndStartsAnew)
{
    TabWindow w;
    widget_tests::showAndSettle(&w.window);
    w.tabs->setCurrentIndex(1);
    runFor(0.3);
    w.tabs->setCurrentIndex(2);
    EXPECT_EQ(w.tabs->picturesTaken(), 4);
    EXPECT_TRUE(w.tabs->isAnimating());
    runFor(0.4);
    EXPECT_TRUE(w.tabs->isAnimating()) << "the second runs its own 0.5 s";
    runFor(0.2);
    EXPECT_FALSE(w.tabs->isAnimating());
    EXPECT_EQ(w.tabs->currentIndex(), 2);
}

TEST(AnimatingTabViewTest, PagesOfTwoSizesAreCoveredByTheUnion)
{
    TabWindow w;
    w.tabs->widget(1)->setMaximumSize(120, 300);
    w.tabs->widget(0)->setMaximumSize(400, 90);
    widget_tests::showAndSettle(&w.window);
    const QWidget* first = w.tabs->widget(0);
    const QWidget* second = w.tabs->widget(1);
    ASSERT_NE(first->size(), second->size());
    w.tabs->setCurrentIndex(1);
    const QRect union_ = QRect(first->mapTo(w.tabs, QPoint()), first->size())
                             .united(QRect(second->mapTo(w.tabs, QPoint()), second->size()));
    EXPECT_EQ(w.tabs->imageRect(), union_);
    runFor(0.1);
    EXPECT_EQ(w.tabs->currentFrame().size(), union_.size() * w.tabs->devicePixelRatio());
}

TEST(AnimatingTabViewTest, StyleIsKeptInKeyedArchives)
{
    AnimatingTabView view;
    view.initAddedProperties();
    EXPECT_EQ(view.transitionStyle(), 6);
    view.setTransitionStyle(3);
    platform::Coder coder;
    view.encodeWithCoder(coder);
    auto back = platform::Coder::fromArchivedData(coder.archivedData());
    ASSERT_TRUE(back);
    AnimatingTabView read;
    read.setTransitionStyle(4);
    read.initWithCoder(*back);
    EXPECT_EQ(read.transitionStyle(), 3);
    read.initWithCoder(platform::Coder());
    EXPECT_EQ(read.transitionStyle(), 0) << "missing: style 0";

    EXPECT_FALSE(view.hasShadingImage()) << "no awakeFromNib: no pictures";
    view.awakeFromNib();
    EXPECT_TRUE(view.hasShadingImage());
    EXPECT_TRUE(view.hasMaskImage());
}

TEST(TransitionFiltersTest, EveryStyleGoesFromOldToNewAndOthersRipple)
{
    QImage from(60, 40, QImage::Format_ARGB32_Premultiplied);
    from.fill(QColor(255, 0, 0));
    QImage to(60, 40, QImage::Format_ARGB32_Premultiplied);
    to.fill(QColor(0, 0, 255));
    for (int style = 0; style < transitions::kStyleCount; ++style) {
        EXPECT_EQ(transitions::frame(style, from, to, 0.0), from) << style;
        EXPECT_EQ(transitions::frame(style, from, to, 1.0), to) << style;
        const QImage middle = transitions::frame(style, from, to, 0.5);
        EXPECT_NE(middle, from) << style;
        EXPECT_NE(middle, to) << style;
        EXPECT_EQ(middle.size(), from.size()) << style;
    }
    for (int other : {8, 9, -1, 1000})
        EXPECT_EQ(transitions::frame(other, from, to, 0.4), transitions::frame(6, from, to, 0.4)) << other;
    EXPECT_EQ(transitions::effectiveStyle(9), transitions::kRipple);

    QImage dirty(4, 4, QImage::Format_ARGB32);
    dirty.fill(Qt::red);
    ClearBitmapImageRep(dirty);
    EXPECT_EQ(dirty.pixel(2, 2), 0u);
    QImage none;
    ClearBitmapImageRep(none);
}

TEST(AnimatingTabViewTest, InputFlowsDuringARealTransition)
{
    testing_support::RealTimeScope realTime;
    TabWindow w;
    w.tabs->setTransitionStyle(1); // the per-pixel mask: the heaviest frames
    widget_tests::showAndSettle(&w.window);
    testing_support::GuiGapProbe probe;
    w.tabs->setCurrentIndex(2);
    w.field->setFocus();
    bool typed = false;
    QTimer::singleShot(150, [&] {
        typed = w.tabs->isAnimating();
        QTest::keyClicks(w.field, QStringLiteral("abc"));
    });
    QTest::qWaitFor([&] { return !w.tabs->isAnimating() && probe.elapsed() > 200; }, 3000);
    probe.stop();
    EXPECT_TRUE(typed) << "the keys went in while the transition played";
    EXPECT_EQ(w.field->text(), "abc");
    EXPECT_LT(probe.longest(), testing_support::kGuiGapLimitMs) << "the largest gap between 10 ms probe ticks, in ms";
    std::cout << "largest probe gap during a 0.5 s transition: " << probe.longest() << " ms" << std::endl;
}

} // namespace
