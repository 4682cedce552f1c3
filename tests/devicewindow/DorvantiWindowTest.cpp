#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/BackActioTextField.h"

#include "VirtualTime.h"

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

TEST(DorvantiWindow, BatteryCellOfAPercentage)
{
    const struct {
        int percent;
        bool plugged;
        int cell;
    } cases[] = {{-1, false, -1}, {-1, true, -1},  {0, false, 0},   {11, false, 0}, {12, false, 1},
                 {99, false, 8},  {100, false, 8}, {100, true, 15}, {0, true, 15},  {500, false, 14}};
    for (const auto& c : cases)
        EXPECT_EQ(DorvantiWindow::batteryCell(c.percent, c.plugged), c.cell) << c.percent << " " << c.plugged;
}

TEST(DorvantiWindow, TheSameCellTwiceRebuildsOnceAndHistoryDrawsNoGauge)
{
    DorvantiWindow window;
    window.resize(300, 200);
    const int before = window.rebuildCount();
    window.setBatteryLevel(100, false);
    window.setBatteryLevel(99, false); // cell 8 again
    EXPECT_EQ(window.rebuildCount(), before + 1);
    EXPECT_EQ(window.batteryLevel(), 8);
    const QImage withGauge = window.sizedPolishedBackColor(false)->textureImage();
    window.setBatteryLevel(-1, false);
    EXPECT_EQ(window.batteryLevel(), -1);
    EXPECT_EQ(window.rebuildCount(), before + 2);
    const std::optional<QBrush> plain = window.sizedPolishedBackColor(false);
    EXPECT_NE(plain ? plain->textureImage().pixel(20, 15) : 0u, withGauge.pixel(20, 15))
        << "the gauge shows at (12, 10)";

    auto* ident = new QLabel(&window);
    window.setHistoryIdent(ident);
    EXPECT_TRUE(ident->isHidden());
    window.setHistoryMod(true);
    EXPECT_FALSE(ident->isHidden());
    const QImage history = window.sizedPolishedBackColor(false)->textureImage();
    window.setBatteryLevel(100, false);
    EXPECT_EQ(window.sizedPolishedBackColor(false)->textureImage(), history) << "history mode draws no gauge";
}

TEST(DorvantiWindow, BlockingDropsTypingAndLeftClicksOnly)
{
    DorvantiWindow window;
    auto* field = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(field);
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("x"));
    ASSERT_EQ(field->text(), QStringLiteral("x"));
    field->clear();
    window.setBlockEvents(true);
    QTest::keyClicks(field, QStringLiteral("abc"));
    EXPECT_EQ(field->text(), QString()) << "typing is dropped";

    int moves = 0;
    int wheels = 0;
    int rightClicks = 0;
    struct Counter : QObject {
        int *moves, *wheels, *right;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::MouseMove)
                ++*moves;
            if (e->type() == QEvent::Wheel)
                ++*wheels;
            if (e->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::RightButton)
                ++*right;
            return false;
        }
    } counter;
    counter.moves = &moves;
    counter.wheels = &wheels;
    counter.right = &rightClicks;
    window.installEventFilter(&counter);
    window.setMouseTracking(true);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&window, &move);
    QApplication::sendEvent(&window, &wheel);
    QApplication::sendEvent(&window, &right);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(wheels, 1);
    EXPECT_EQ(rightClicks, 1);
    EXPECT_TRUE(QApplication::sendEvent(&window, &left)) << "a left click is taken and dropped";

    window.setBlockEvents(false);
    QTest::keyClicks(field, QStringLiteral("abc"));
    EXPECT_EQ(field->text(), QStringLiteral("abc"));
}

TEST(BackActioTextField, KeepsItsTextAndReturnsToItWhenIdle)
{
    BackActioTextField field;
    field.setHidden(true);
    field.setDisplayBreakInfo(BackActioTextField::kBreakInfoMode);
    field.setStringValue(QStringLiteral("Backing up"));
    EXPECT_EQ(field.buffer(), QStringLiteral("Backing up"));
    EXPECT_EQ(field.text(), QStringLiteral("Click to stop"));
    field.setHidden(false);
    EXPECT_TRUE(field.isIdleRunning());
    testing_support::runFor(BackActioTextField::kIdleInterval + 0.01);
    EXPECT_EQ(field.text(), QStringLiteral("Backing up"));
    EXPECT_EQ(field.displayBreakInfo(), 0);
    field.setHidden(true);
    testing_support::runFor(BackActioTextField::kIdleInterval + 0.01);
    EXPECT_FALSE(field.isIdleRunning());
}

} // namespace
