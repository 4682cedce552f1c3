#include "QueueTestSupport.h"

#include "devicewindow/queue/ActionITunesSyncCell.h"
#include "devicewindow/queue/ActionMasterHdlr.h"
#include "devicewindow/queue/ActionMasterTable.h"
#include "devicewindow/queue/ActionMediaCell.h"
#include "devicewindow/queue/BlackErrorWindow.h"

#include "VirtualTime.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/ProgressCycle.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QProgressBar>
#include <gtest/gtest.h>

namespace {

using queue_tests::ScriptedEntry;
using testing_support::runFor;

class ScriptedMedia : public MediaCenterEntry {
public:
    QString mainProgressFileName() const override { return QStringLiteral("holiday.mp4"); }
    int getMediaCenterProgressStatus() const override { return status; }
    int status = 0;
};

struct CellFixture {
    ActionMasterHdlr master;
    CellFixture()
    {
        master.resize(420, 240);
        master.show();
    }
    template <typename Cell>
    Cell* add(const std::shared_ptr<ScriptedEntry>& entry)
    {
        entry->nib = Cell::nibName();
        master.addActionToMaster(entry);
        runFor(0.5);
        return qobject_cast<Cell*>(master.table()->rowViewOf(entry.get()));
    }
};

TEST(QueueCells, MediaRowShowsTheFileAndFollowsConversionThenTransfer)
{
    struct Case {
        int mediaStatus;
        bool ringDeterminate; // the ring carries the percentage
        int barValue;         // -1: the bar is left as it was
    };
    const Case cases[] = {
        {MediaCenterEntry::kConverting, true, -1},
        {MediaCenterEntry::kTransferring, false, 40},
        {0, false, -1},
    };
    for (const Case& c : cases) {
        CellFixture f;
        auto media = std::make_shared<ScriptedMedia>();
        auto entry = std::make_shared<ScriptedEntry>(QStringLiteral("Converting"));
        entry->userInfo = {
            {ActionMediaCell::kMediaCenterEntryKey, QVariant::fromValue(std::shared_ptr<MediaCenterEntry>(media))}};
        entry->status = 0;
        auto* cell = f.add<ActionMediaCell>(entry);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->displayText()->text(), QStringLiteral("holiday.mp4"));
        EXPECT_FALSE(cell->convertProgress()->isVisible()) << "waiting: no ring";
        EXPECT_EQ(cell->convertProgress()->backGroundColor(), ActionMediaCell::convertColour());

        entry->status = 1;
        entry->start();
        EXPECT_TRUE(cell->convertProgress()->isVisible());
        EXPECT_TRUE(cell->progress()->isVisible());
        cell->convertProgress()->setIndeterminate(true);
        media->status = c.mediaStatus;
        entry->progress(40);
        EXPECT_EQ(!cell->convertProgress()->isIndeterminate(), c.ringDeterminate) << c.mediaStatus;
        if (c.ringDeterminate)
            EXPECT_DOUBLE_EQ(cell->convertProgress()->doubleValue(), 40);
        if (c.barValue >= 0)
            EXPECT_EQ(cell->progress()->value(), c.barValue);
        else
            EXPECT_NE(cell->progress()->value(), 40) << c.mediaStatus;
        EXPECT_EQ(cell->displayText()->text(), QStringLiteral("holiday.mp4"));
        entry->end(0);
        runFor(1.0);
        EXPECT_EQ(f.master.numberOfRows(), 0);
    }
}

TEST(QueueCells, MediaRowWithoutMediaEntryShowsTheJobText)
{
    CellFixture f;
    auto entry = std::make_shared<ScriptedEntry>(QStringLiteral("Copying ringtone"));
    auto* cell = f.add<ActionMediaCell>(entry);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->displayText()->text(), QStringLiteral("Copying ringtone"));
    entry->progress(10);
    EXPECT_EQ(cell->displayText()->text(), QStringLiteral("Copying ringtone"));
}

TEST(QueueCells, MusicSyncRowShowsCountsAndFollowsTheStatus)
{
    CellFixture f;
    auto entry = std::make_shared<ScriptedEntry>(QStringLiteral("Music"));
    entry->status = 2;
    auto* cell = f.add<ActionITunesSyncCell>(entry);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->height(), ActionITunesSyncCell::kRowHeight);
    EXPECT_TRUE(cell->convertProgress()->isIndeterminate()) << "status 2";
    EXPECT_TRUE(cell->transferProgress()->usesThreadedAnimation());

    // Counts show only when both of a pair are there.
    entry->userInfo = {{ActionITunesSyncCell::kCurrentConvertKey, 3},
                       {ActionITunesSyncCell::kTotalConvertKey, 7},
                       {ActionITunesSyncCell::kCurrentTransferKey, 2},
                       {ActionITunesSyncCell::kPercentConvertKey, 43.0},
                       {ActionITunesSyncCell::kPercentTransferKey, 12.0}};
    entry->status = 1;
    entry->progress(55);
    EXPECT_EQ(cell->convertInfo()->text(), QStringLiteral("3/7"));
    EXPECT_TRUE(cell->transferInfo()->text().isEmpty());
    EXPECT_DOUBLE_EQ(cell->convertProgress()->doubleValue(), 43.0);
    EXPECT_DOUBLE_EQ(cell->transferProgress()->doubleValue(), 12.0);
    EXPECT_FALSE(cell->convertProgress()->isIndeterminate());
    EXPECT_EQ(cell->progress()->maximum(), 100);
    EXPECT_EQ(cell->progress()->value(), 55);
    EXPECT_TRUE(cell->transferProgress()->isAnimating());
    EXPECT_FALSE(platform::gui::saveGrab(&f.master, QStringLiteral("queue-music-sync-row")).isEmpty());

    entry->status = 2;
    entry->progress(60);
    EXPECT_EQ(cell->progress()->maximum(), 0) << "status 2: all three indeterminate";
    EXPECT_TRUE(cell->transferProgress()->isIndeterminate());

    entry->status = 4;
    entry->progress(60);
    EXPECT_FALSE(cell->convertProgress()->isAnimating());
    EXPECT_FALSE(cell->transferProgress()->isAnimating());
    EXPECT_TRUE(cell->scheduledMark()->isVisible()) << "status 4 waits";
    cell->setDoAnimate(false);
    EXPECT_FALSE(cell->transferProgress()->isAnimating());
}

TEST(QueueCells, RedRowExplainsItsErrorAndFallsBackForUnknownCodes)
{
    struct Case {
        QString ownText;
        int code;
        QString shown;
    };
    const Case cases[] = {
        {QStringLiteral("The phone does not answer."), -1, QStringLiteral("The phone does not answer.")},
        {QString(), -21881, QStringLiteral("Folder not available")},
        {QStringLiteral("Error"), -987654, QStringLiteral("Can't find explanation")},
        {QStringLiteral("-21881"), -1, QStringLiteral("Folder not available")},
        {QStringLiteral("  "), -987654, QStringLiteral("Can't find explanation")},
    };
    for (const Case& c : cases) {
        QString statusLine; // outlives the queue, which reports to it
        CellFixture f;
        f.master.table()->setStatusLine([&statusLine](const QString& text) { statusLine = text; });
        auto entry = std::make_shared<ScriptedEntry>(QStringLiteral("Dialling"));
        entry->errorString = c.ownText;
        f.master.addActionToMaster(entry);
        runFor(0.5);
        entry->end(c.code);
        ActionMasterView* row = f.master.table()->rowViewOf(entry.get());
        ASSERT_TRUE(row->isInErrorMod());
        EXPECT_EQ(row->errorText(), c.shown) << c.ownText.toStdString() << " " << c.code;
        row->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(statusLine, c.shown);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(row, &enter);
        EXPECT_EQ(f.master.table()->errorWindow()->displayErrText()->text(), c.shown);
    }
}

TEST(QueueCells, AnEntryAddedTwiceIsObservedOnce)
{
    CellFixture f;
    auto entry = std::make_shared<ScriptedEntry>();
    f.master.addActionToMaster(entry);
    const long once = entry.use_count();
    EXPECT_FALSE(f.master.addActionToMaster(entry));
    EXPECT_EQ(entry.use_count(), once) << "no second observation keeps it";
    f.master.clearMaster();
    runFor(0.5);
    EXPECT_LT(entry.use_count(), once);
}

} // namespace
