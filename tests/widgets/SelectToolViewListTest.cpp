#include "widgets/SelectToolViewList.h"
#include "widgets/SelectToolViewCell.h"
#include "widgets/SlaveDrawTrackingInfo.h"

#include "platform/gui/Images.h"
#include "platform/gui/TestArtifacts.h"

#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;

QImage icon(const QString& name)
{
    return platform::gui::image(QStringLiteral("program"), name);
}

QVariantList tools()
{
    return {icon(QStringLiteral("Add")),
            QStringLiteral("Contacts"),
            QStringLiteral("Contacts"),
            icon(QStringLiteral("Sync")),
            QStringLiteral("Events"),
            QStringLiteral("Events"),
            QVariant(),
            QString(),
            QStringLiteral("-"),
            QVariant(),
            QStringLiteral("Bookmarks"),
            QStringLiteral("Bookmarks"),
            icon(QStringLiteral("Trash")),
            QStringLiteral("SMS"),
            QStringLiteral("SMS"),
            icon(QStringLiteral("Trash")),
            QStringLiteral("Incomplete")};
}

// Counts a row, tracks an area at the right end of it.
struct Slave : QObject, SlaveDrawTrackingInfo {
    bool wanted = true;
    int drawn = 0;
    QStringList calls;
    void drawSlaveWithFrame(QPainter& painter, const QRect& frame, QWidget*, const QVariant&) override
    {
        ++drawn;
        painter.setPen(Qt::red);
        painter.drawText(frame.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("3"));
    }
    void leaveSlaveTracking(SelectToolViewList&, const QVariant& context) override
    {
        calls << QStringLiteral("leave ") + context.toString();
    }
    void enterSlaveTracking(const QRect& row, SelectToolViewList&, const QVariant& context) override
    {
        calls << QStringLiteral("enter %1 at %2").arg(context.toString()).arg(row.y());
    }
    QRect getSlaveWithFrame(const QRect& row, SelectToolViewList&, const QVariant&) override
    {
        return QRect(row.right() - 20, row.y(), 20, row.height());
    }
    bool doSlaveTrackingslaveContext(const QVariant&) override { return wanted; }
};

struct ListWindow {
    ListWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        list = new SelectToolViewList;
        layout->addWidget(list);
        list->initSelectToolViewList(tools());
        window.resize(180, 160);
        widget_tests::showAndSettle(&window);
    }
    QPoint centreOf(int row) const { return list->visualRect(list->model()->index(row, 0)).center(); }
    QWidget window;
    SelectToolViewList* list;
};

TEST(SelectToolViewListTest, RowsAndSeparators)
{
    ListWindow w;
    SelectToolViewList& list = *w.list;
    EXPECT_EQ(list.rowCount(), 5) << "the incomplete triple is left out";
    EXPECT_TRUE(list.isSeparator(2));
    EXPECT_FALSE(list.shouldSelectRow(2));
    EXPECT_EQ(list.heightOfRow(2), 7);
    EXPECT_EQ(list.heightOfRow(1), list.rowHeight());
    EXPECT_EQ(list.visualRect(list.model()->index(2, 0)).height(), 7);
    EXPECT_EQ(SelectToolViewCell::separatorLine(QRect(0, 40, 150, 7)), QRect(3, 43, 144, 1));
    EXPECT_EQ(list.getSelectedIdentify(), QString());

    QSignalSpy action(&list, &SelectToolViewList::action);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, w.centreOf(1));
    EXPECT_EQ(list.getSelectedIdentify(), QStringLiteral("Events"));
    EXPECT_EQ(action.size(), 1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, w.centreOf(2));
    EXPECT_EQ(list.getSelectedIdentify(), QStringLiteral("Events"));
    // Bad identifiers change nothing.
    list.selectIdentify(QStringLiteral("Notes"));
    EXPECT_EQ(list.getSelectedIdentify(), QStringLiteral("Events"));
    EXPECT_EQ(list.frameForIdentify(QStringLiteral("Notes")), QRect());
    list.selectIdentify(QStringLiteral("SMS"));
    EXPECT_EQ(list.selectedRow(), 4);
    EXPECT_EQ(action.size(), 1) << "a selection from code is no user action";
}

TEST(SelectToolViewListTest, KeysSkipSeparators)
{
    ListWindow w;
    SelectToolViewList& list = *w.list;
    QSignalSpy action(&list, &SelectToolViewList::action);
    list.setFocus();
    struct Step {
        Qt::Key key;
        int row;
    };
    const Step steps[] = {{Qt::Key_Down, 0}, {Qt::Key_Down, 1}, {Qt::Key_Down, 3}, {Qt::Key_Up, 1},
                          {Qt::Key_End, 4},  {Qt::Key_Down, 4}, {Qt::Key_Home, 0}, {Qt::Key_Up, 0}};
    int moves = 0;
    int previous = -1;
    for (const Step& step : steps) {
        QTest::keyClick(&list, step.key);
        EXPECT_EQ(list.selectedRow(), step.row) << step.key;
        moves += step.row != previous;
        previous = step.row;
    }
    EXPECT_EQ(action.size(), moves);
}

TEST(SelectToolViewListTest, IconScaledToTheRowHeight)
{
    const QRect frame(0, 40, 150, 20);
    EXPECT_EQ(SelectToolViewCell::iconRect(frame, QSizeF(32, 16), 20), QRect(4, 40, 40, 20));
    EXPECT_EQ(SelectToolViewCell::textPart(frame, QSizeF(32, 16), 20).x(), 48);
    // Without an image the label takes the whole row.
    EXPECT_EQ(SelectToolViewCell::iconRect(frame, QSizeF(), 20), QRect());
    EXPECT_EQ(SelectToolViewCell::textPart(frame, QSizeF(), 20), frame);
    EXPECT_EQ(SelectToolViewCell::imageFrameForCellFrame(frame, QSizeF(32, 16)), QRect(4, 42, 32, 16));
    EXPECT_EQ(SelectToolViewCell::editFrameForCellFrame(frame, QSizeF(32, 16)), QRect(36, 40, 114, 20));
}

TEST(SelectToolViewListTest, SlavesDrawAndTrackWhileTheListIsShown)
{
    ListWindow w;
    SelectToolViewList& list = *w.list;
    auto* slave = new Slave;
    list.setIdentSlaveDrawTrackingInfo(slave, QStringLiteral("ctx"), QStringLiteral("Events"));
    list.updateTrackingRect();
    const auto area = list.trackingRect(QStringLiteral("Events"));
    ASSERT_TRUE(area.has_value());
    EXPECT_EQ(area->y(), list.frameForIdentify(QStringLiteral("Events")).y());
    list.viewport()->repaint();
    EXPECT_GT(slave->drawn, 0);

    const auto moveTo = [&](const QPoint& point) {
        QMouseEvent move(QEvent::MouseMove, point, list.viewport()->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &move);
    };
    moveTo(area->center());
    moveTo(area->center() + QPoint(1, 0));
    moveTo(w.centreOf(0));
    EXPECT_EQ(slave->calls,
              QStringList({QStringLiteral("enter ctx at %1").arg(area->y()), QStringLiteral("leave ctx")}));

    list.hide();
    EXPECT_FALSE(list.trackingRect(QStringLiteral("Events")).has_value());
    list.show();
    EXPECT_TRUE(list.trackingRect(QStringLiteral("Events")).has_value());
    slave->wanted = false;
    list.updateTrackingRect();
    EXPECT_FALSE(list.trackingRect(QStringLiteral("Events")).has_value());

    // A slave that goes away is dropped.
    slave->wanted = true;
    delete slave;
    list.updateTrackingRect();
    list.viewport()->repaint();
    EXPECT_FALSE(list.trackingRect(QStringLiteral("Events")).has_value());

    // Closing the window drops every slave.
    Slave other;
    list.setIdentSlaveDrawTrackingInfo(&other, {}, QStringLiteral("SMS"));
    list.updateTrackingRect();
    EXPECT_TRUE(list.trackingRect(QStringLiteral("SMS")).has_value());
    w.window.close();
    EXPECT_FALSE(list.trackingRect(QStringLiteral("SMS")).has_value());
}

TEST(SelectToolViewListTest, PulsingIconsFadeBetweenLowAndHigh)
{
    ListWindow w;
    SelectToolViewList& list = *w.list;
    for (int row = 0; row < list.rowCount(); ++row)
        EXPECT_EQ(list.iconAlpha(row), 1.0);
    list.selectIdentify(QStringLiteral("Contacts"));
    list.setAnimationItem(QStringLiteral("Events"), true);
    EXPECT_TRUE(list.hasPulseTimer());
    runFor(1.2); // the first pulse under way
    double lowest = 1, highest = 0;
    for (int step = 0; step < 200; ++step) {
        runFor(0.02);
        lowest = std::min(lowest, list.iconAlpha(1));
        highest = std::max(highest, list.iconAlpha(1));
        EXPECT_EQ(list.iconAlpha(0), 1.0);
    }
    EXPECT_NEAR(lowest, 0.23, 0.01);
    EXPECT_NEAR(highest, 0.93, 0.01);
    EXPECT_FALSE(platform::gui::saveGrab(&w.window, QStringLiteral("tool-switch-list")).isEmpty());

    // Hidden: the beat stops at its next tick.
    list.hide();
    runFor(1.2);
    EXPECT_FALSE(list.hasPulseTimer());
    list.show();
    list.setAnimationItem(QStringLiteral("Events"), false);
    EXPECT_FALSE(list.hasPulseTimer());
    EXPECT_EQ(list.iconAlpha(1), 1.0);
}

} // namespace
