#include "widgets/SheetQueue.h"
#include "widgets/TarnexAlertSheet.h"

#include "WidgetTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(SheetQueueTest, SheetsOpenOneAfterTheOtherAndEachEndCountsOnce)
{
    SheetQueue queue;
    QStringList log;
    SheetQueue::Ended firstEnded;
    SheetQueue::Ended secondEnded;
    queue.begin([&](SheetQueue::Ended ended) {
        log << QStringLiteral("open 1");
        firstEnded = ended;
    });
    queue.begin([&](SheetQueue::Ended ended) {
        log << QStringLiteral("open 2");
        secondEnded = ended;
    });
    // A sheet asked for from the first sheet's end handler comes after the
    // one already waiting.
    queue.begin([&](SheetQueue::Ended ended) {
        log << QStringLiteral("open 3");
        ended();
    });
    EXPECT_EQ(log, QStringList{QStringLiteral("open 1")});
    EXPECT_EQ(queue.pendingCount(), 2);
    firstEnded();
    firstEnded(); // a second end of the same sheet changes nothing
    EXPECT_EQ(log, (QStringList{QStringLiteral("open 1"), QStringLiteral("open 2")}));
    secondEnded();
    EXPECT_EQ(log.size(), 3);
    EXPECT_FALSE(queue.isSheetShowing());
    EXPECT_EQ(queue.pendingCount(), 0);
}

TEST(SheetQueueTest, AlertSheetsOnOneWindowEndInTurn)
{
    QWidget window;
    window.resize(500, 400);
    widget_tests::showAndSettle(&window);
    auto* sheet = new TarnexAlertSheet(&window);
    SheetQueue queue;
    QStringList ends;
    auto ask = [&](const QString& title) {
        queue.begin([&, title](SheetQueue::Ended ended) {
            sheet->begin(title, QStringLiteral("OK"), QString(), QString(), QString(), TarnexAlertSheet::kDefaultHeight,
                         [&, title, ended](int code) {
                             ends << QStringLiteral("%1 %2").arg(title).arg(code);
                             ended();
                         });
        });
    };
    ask(QStringLiteral("a"));
    ask(QStringLiteral("b"));
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("a"));
    sheet->defaultButton()->click();
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("b"));
    EXPECT_TRUE(sheet->isVisible());
    sheet->reject();
    EXPECT_EQ(ends, (QStringList{QStringLiteral("a 1"), QStringLiteral("b 1")}));
    EXPECT_FALSE(sheet->isVisible());
}

} // namespace
