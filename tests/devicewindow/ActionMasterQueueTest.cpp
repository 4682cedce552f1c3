#include "QueueTestSupport.h"

#include "devicewindow/queue/ActionMasterHdlr.h"
#include "devicewindow/queue/ActionMasterSubText.h"
#include "devicewindow/queue/ActionMasterTable.h"
#include "devicewindow/queue/ActionMasterView.h"
#include "devicewindow/queue/BlackErrorWindow.h"
#include "jobs/QVAction.h"

#include "VirtualTime.h"
#include "platform/gui/TestArtifacts.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using queue_tests::ScriptedEntry;
using testing_support::runFor;

// Long enough for the removal delay and its animation.
constexpr double kQueueSettle = 1.0;

struct QueueFixture {
    ActionMasterHdlr master;
    QueueFixture()
    {
        master.resize(360, 200);
        master.show();
    }
    std::shared_ptr<ScriptedEntry> add(const QString& text = QStringLiteral("Reading battery"), int handling = 2)
    {
        auto entry = std::make_shared<ScriptedEntry>(text, handling);
        master.addActionToMaster(entry);
        runFor(0.5);
        return entry;
    }
    ActionMasterView* row(const std::shared_ptr<ScriptedEntry>& entry) const
    {
        return master.table()->rowViewOf(entry.get());
    }
    int visibleRowViews() const
    {
        int shown = 0;
        for (auto* view : master.table()->findChildren<ActionMasterView*>())
            shown += view->isVisible() ? 1 : 0;
        return shown;
    }
};

TEST(ActionMasterQueue, SameEntryTwiceIsOneRow)
{
    QueueFixture f;
    auto entry = std::make_shared<ScriptedEntry>();
    EXPECT_TRUE(f.master.addActionToMaster(entry));
    EXPECT_FALSE(f.master.addActionToMaster(entry));
    runFor(0.5);
    EXPECT_EQ(f.master.numberOfRows(), 1);
    EXPECT_EQ(f.visibleRowViews(), 1);
    EXPECT_EQ(f.master.equalFeedBackInMaster(entry), entry);
    EXPECT_EQ(ActionMasterTable::entryKey(*entry),
              QStringLiteral("Battery check - %1").arg(quintptr(entry.get()), 0, 16));
}

TEST(ActionMasterQueue, AJobThatEndedBeforeItCameGetsNoRow)
{
    QueueFixture f;
    auto job = std::make_shared<QVAction>(nullptr, QVariant());
    job->endAction(-21876); // no pipe took it
    EXPECT_FALSE(f.master.addActionToMaster(job));
    runFor(0.5);
    EXPECT_EQ(f.master.numberOfRows(), 0);
}

TEST(ActionMasterQueue, EndCodeDecidesBetweenRemovalAndRedRow)
{
    struct Case {
        int code;
        int handling;
        bool staysRed;
    };
    const Case cases[] = {
        {0xAC004, 2, false}, {-1, 2, true},      {-1, 0, false},     {0, 2, false},
        {0xAC002, 2, false}, {0xAC003, 2, false}, {-21881, 2, true}, {-1, 1, false},
    };
    for (const Case& c : cases) {
        QueueFixture f;
        auto entry = f.add(QStringLiteral("Job"), c.handling);
        entry->end(c.code);
        runFor(kQueueSettle);
        EXPECT_EQ(f.master.numberOfRows(), c.staysRed ? 1 : 0) << std::hex << c.code << " handling " << c.handling;
        if (c.staysRed)
            EXPECT_TRUE(f.row(entry)->isInErrorMod());
        EXPECT_EQ(f.visibleRowViews(), c.staysRed ? 1 : 0) << "no orphan row for " << std::hex << c.code;
    }
}

TEST(ActionMasterQueue, IsActionErrorLeavesOutTheQuietCodes)
{
    EXPECT_FALSE(ActionMasterHdlr::isActionError(0));
    EXPECT_FALSE(ActionMasterHdlr::isActionError(0xAC002));
    EXPECT_FALSE(ActionMasterHdlr::isActionError(0xAC003));
    EXPECT_FALSE(ActionMasterHdlr::isActionError(0xAC004));
    EXPECT_TRUE(ActionMasterHdlr::isActionError(-1));
    EXPECT_TRUE(ActionMasterHdlr::isActionError(0xAC005));
}

TEST(ActionMasterQueue, CancelOnRedRowRemovesItWithoutCancellingTheJob)
{
    QueueFixture f;
    auto entry = f.add();
    entry->end(-1);
    ASSERT_TRUE(f.row(entry)->isInErrorMod());
    f.row(entry)->cancelButton()->click();
    runFor(0.1);
    EXPECT_EQ(f.master.numberOfRows(), 1) << "removed only after 0.12 s";
    runFor(kQueueSettle);
    EXPECT_EQ(f.master.numberOfRows(), 0);
    EXPECT_EQ(entry->cancels, 0);
}

TEST(ActionMasterQueue, CancelOnRunningRowAsksTheJobAndMakesTheBarIndeterminate)
{
    QueueFixture f;
    auto entry = f.add();
    ActionMasterView* row = f.row(entry);
    row->setFocus();
    QTest::keyClick(row, Qt::Key_Delete);
    EXPECT_EQ(entry->cancels, 1);
    EXPECT_TRUE(row->cancelButton()->isHidden());
    EXPECT_EQ(row->progress()->maximum(), 0);
    EXPECT_EQ(f.master.numberOfRows(), 1) << "the row leaves with the job's end";
}

TEST(ActionMasterQueue, OnlyRedRowsLeftMeansNoJobsScheduled)
{
    QueueFixture f;
    auto failing = f.add(QStringLiteral("Dial"));
    auto running = f.add(QStringLiteral("Battery"));
    failing->end(-1);
    EXPECT_TRUE(f.master.actionJobsScheduled());
    running->end(0);
    runFor(kQueueSettle);
    EXPECT_EQ(f.master.numberOfRows(), 1);
    EXPECT_FALSE(f.master.actionJobsScheduled());
    f.master.clearMaster();
    EXPECT_EQ(f.master.numberOfRows(), 0);
}

TEST(ActionMasterQueue, PercentageSetsTheBar)
{
    QueueFixture f;
    auto entry = f.add();
    QProgressBar* bar = f.row(entry)->progress();
    entry->progress(-1.0);
    EXPECT_EQ(bar->maximum(), 0) << "negative: indeterminate";
    entry->progress(0.0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    entry->progress(42.5);
    EXPECT_EQ(bar->value(), 42);
    EXPECT_TRUE(bar->isVisible());
}

TEST(ActionMasterQueue, WaitingEntryShowsTheMarkNotTheBar)
{
    QueueFixture f;
    auto entry = std::make_shared<ScriptedEntry>();
    entry->status = 0;
    f.master.addActionToMaster(entry);
    runFor(0.5);
    ActionMasterView* row = f.row(entry);
    EXPECT_FALSE(row->progress()->isVisible());
    EXPECT_TRUE(row->scheduledMark()->isVisible());
    EXPECT_TRUE(row->scheduledMark()->isAnimating());
}

TEST(ActionMasterQueue, EndingTwiceOrWhileGrowingLeavesNoOrphanRow)
{
    QueueFixture f;
    auto twice = f.add(QStringLiteral("Twice"));
    twice->end(0);
    runFor(0.05);
    twice->end(0);
    auto early = std::make_shared<ScriptedEntry>(QStringLiteral("Early"));
    f.master.addActionToMaster(early);
    early->end(0);   // its add animation has not run yet
    runFor(kQueueSettle);
    EXPECT_EQ(f.master.numberOfRows(), 0);
    EXPECT_EQ(f.visibleRowViews(), 0);
    EXPECT_FALSE(f.master.table()->isAnimating(early.get()));
}

TEST(ActionMasterQueue, RowKindFollowsTheEntry)
{
    QueueFixture f;
    auto plain = f.add(QString());
    auto withSub = std::make_shared<ScriptedEntry>();
    withSub->subText = QStringLiteral("3 of 7");
    f.master.addActionToMaster(withSub);
    auto unloadable = std::make_shared<ScriptedEntry>();
    unloadable->nib = QStringLiteral("NoSuchRowFile");
    unloadable->subText = QStringLiteral("ignored");
    f.master.addActionToMaster(unloadable);
    auto named = std::make_shared<ScriptedEntry>();
    named->nib = QStringLiteral("ActionMasterSubText");
    f.master.addActionToMaster(named);
    runFor(0.5);

    EXPECT_EQ(f.row(plain)->displayText()->text(), QStringLiteral("Job Battery check")) << "empty text";
    auto* sub = qobject_cast<ActionMasterSubText*>(f.row(withSub));
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->displaySubText()->text(), QStringLiteral("3 of 7"));
    EXPECT_EQ(qobject_cast<ActionMasterSubText*>(f.row(unloadable)), nullptr);
    EXPECT_NE(qobject_cast<ActionMasterSubText*>(f.row(named)), nullptr);
}

TEST(ActionMasterQueue, RedRowShowsItsErrorOnHoverAndInTheStatusLine)
{
    QString statusLine;   // outlives the queue, which reports to it
    QueueFixture f;
    f.master.table()->setStatusLine([&statusLine](const QString& text) { statusLine = text; });
    auto running = f.add(QStringLiteral("Reading battery"));
    running->progress(60);
    auto failing = f.add(QStringLiteral("Dialling"));
    failing->end(-1);
    ActionMasterView* red = f.row(failing);
    red->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(statusLine, QStringLiteral("The phone does not answer."));

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(red, &enter);
    BlackErrorWindow* hover = f.master.table()->errorWindow();
    EXPECT_TRUE(hover->isVisible());
    EXPECT_EQ(hover->currentFeedBack(), failing);
    EXPECT_EQ(hover->displayErrText()->text(), QStringLiteral("The phone does not answer."));
    EXPECT_FALSE(platform::gui::saveGrab(&f.master, QStringLiteral("queue-running-and-red")).isEmpty());
    EXPECT_FALSE(platform::gui::saveGrab(hover, QStringLiteral("queue-error-hover")).isEmpty());

    QTest::keyClick(red, Qt::Key_Space);
    runFor(kQueueSettle);
    EXPECT_FALSE(hover->isVisible()) << "the removed row's hover window goes";
    EXPECT_EQ(f.master.numberOfRows(), 1);
}

} // namespace
