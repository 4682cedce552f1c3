#include "DeviceWindowTestSupport.h"
#include "QueueTestSupport.h"

#include "devicewindow/ActionMasterPlace.h"
#include "devicewindow/ToolView.h"
#include "devicewindow/ValidateForFeedBack.h"
#include "devicewindow/queue/ActionMasterHdlr.h"

#include "VirtualTime.h"
#include "device/MainThreadScheduler.h"
#include "device/MainThreadSchedulerAdditions.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/BetterSplitView.h"
#include "widgets/ScaledImageButtonValidation.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using devicewindow_tests::makeDevice;
using devicewindow_tests::RecordingHost;
using queue_tests::ScriptedEntry;
using testing_support::runFor;

// A split view with a header list above and the queue's pane below.
struct PaneFixture {
    QWidget window;
    BetterSplitView* split = new BetterSplitView;
    QTableView* header = new QTableView;
    QStandardItemModel model{3, 1};
    ActionMasterPlace* place = new ActionMasterPlace;
    ActionMasterHdlr* master = new ActionMasterHdlr(&window);

    PaneFixture()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        split->setOrientation(Qt::Vertical);
        split->addWidget(header);
        split->addWidget(place);
        layout->addWidget(split);
        header->setModel(&model);
        header->verticalHeader()->setDefaultSectionSize(20);
        window.resize(400, 400);
        window.show();
        runFor(0.2);
    }
};

TEST(ActionMasterPlace, HeaderHeightFromTheHeaderList)
{
    PaneFixture f;
    EXPECT_DOUBLE_EQ(f.place->calcHeadeHeight(), 1.0) << "no header list";
    f.header->setShowGrid(true);
    f.place->setHeaderTable(f.header);
    EXPECT_DOUBLE_EQ(f.place->calcHeadeHeight(), 3 * (1 + 20) + 16);
    EXPECT_EQ(f.split->delegate(), f.place);
    f.place->setHeaderTable(f.header, [](int row) { return 10.0 * (row + 1); });
    EXPECT_DOUBLE_EQ(f.place->calcHeadeHeight(), 3 * (1 + 1) + 16 + 60);
    f.header->setShowGrid(false);
    EXPECT_DOUBLE_EQ(f.place->calcHeadeHeight(), 3 * 1 + 16 + 60);
}

TEST(ActionMasterPlace, CollapseAndExpandAreIdempotent)
{
    PaneFixture f;
    f.place->setHeaderTable(f.header);
    f.place->collapseMaster();
    EXPECT_FALSE(f.place->isCollabsed()) << "no queue: never collapsed";
    f.place->addActionMaster(f.master);
    runFor(0.2);
    ASSERT_EQ(f.place->actionMaster(), f.master);
    f.master->setLastWinPos(1234);
    f.place->expandMaster();
    EXPECT_EQ(f.master->lastWinPos(), 1234) << "expanding an expanded pane stores nothing";

    f.place->collapseMaster();
    EXPECT_TRUE(f.place->isCollabsed());
    EXPECT_LT(f.master->lastWinPos(), 0);
    runFor(0.2);
    EXPECT_EQ(f.place->height(), ActionMasterPlace::kHeaderHeight);
    EXPECT_FALSE(platform::gui::saveGrab(&f.window, QStringLiteral("queue-pane-collapsed")).isEmpty());
    f.master->setLastWinPos(-77);
    f.place->collapseMaster();
    EXPECT_EQ(f.master->lastWinPos(), -77) << "collapsing a collapsed pane stores nothing";

    f.place->expandMaster();
    EXPECT_FALSE(f.place->isCollabsed());
    EXPECT_GT(f.master->lastWinPos(), 0);
    runFor(0.2);
    EXPECT_GT(f.place->height(), ActionMasterPlace::kHeaderHeight);
}

TEST(ActionMasterPlace, TheRememberedPositionCarriesTheStateToTheNextPane)
{
    struct Case {
        double remembered;
        bool startCollapsed;
        bool endsCollapsed;
    };
    const Case cases[] = {
        {-150, false, true},
        {150, true, false},
        {150, false, false},
        {std::numeric_limits<double>::quiet_NaN(), false, false},
        {std::numeric_limits<double>::quiet_NaN(), true, true},
    };
    for (const Case& c : cases) {
        PaneFixture f;
        f.place->addActionMaster(f.master);
        if (c.startCollapsed)
            f.place->collapseMaster();
        f.place->removeActionMaster();
        EXPECT_EQ(f.place->actionMaster(), nullptr);
        f.master->setLastWinPos(c.remembered);
        f.place->addActionMaster(f.master);
        runFor(0.2);
        EXPECT_EQ(f.place->isCollabsed(), c.endsCollapsed) << c.remembered << " " << c.startCollapsed;
    }
}

TEST(ActionMasterPlace, DividerLimits)
{
    PaneFixture f;
    f.place->setHeaderTable(f.header);
    f.place->addActionMaster(f.master);
    const qreal height = f.split->height();
    EXPECT_EQ(f.place->constrainMaxCoordinate(*f.split, 50, 1).value(), height - 19);
    EXPECT_EQ(f.place->constrainMaxCoordinate(*f.split, 50, 2).value(), 50);
    EXPECT_EQ(f.place->constrainMinCoordinate(*f.split, 5, 1).value(), f.place->calcHeadeHeight());
    f.place->collapseMaster();
    EXPECT_EQ(f.place->constrainMinCoordinate(*f.split, 5, 1).value(), height - 19);
}

TEST(ActionMasterPlace, QueueToggleCollapsesOnALaterPass)
{
    PaneFixture f;
    f.place->addActionMaster(f.master);
    f.master->toggleMaster();
    EXPECT_FALSE(f.place->isCollabsed());
    runFor(0.05);
    EXPECT_TRUE(f.place->isCollabsed());
    f.master->toggleMaster();
    runFor(0.05);
    EXPECT_FALSE(f.place->isCollabsed());
}

TEST(ToolView, WithoutWindowControllerAnswersNo)
{
    ToolView center;
    auto entry = std::make_shared<ScriptedEntry>();
    const int validators = ValidateForFeedBack::liveCount();
    EXPECT_FALSE(center.hasDevice());
    EXPECT_FALSE(center.canModify());
    EXPECT_FALSE(center.addFeedBackToMaster(entry));
    EXPECT_EQ(ValidateForFeedBack::liveCount(), validators);
    EXPECT_EQ(center.stateInfo(), QStringLiteral("not implemented"));
    center.addActionMaster(nullptr);   // no place: nothing
    center.removeActionMaster();
}

class DeviceDocumentHost : public RecordingHost {
public:
    bool hasDevice(const DeviceWindowController*) override { return true; }
};

TEST(ToolView, PhoneQuestionsFollowTheDeviceAndTheDocument)
{
    DeviceDocumentHost host;
    DeviceWindowController controller(&host);
    auto history = makeDevice("History");
    ToolView center;
    center.setup(&controller, history.get());
    EXPECT_TRUE(center.hasDevice());
    EXPECT_TRUE(center.isHistory());
    EXPECT_FALSE(center.canModify()) << "a time-tunnel snapshot is not changed";
    EXPECT_FALSE(center.isUSB()) << "no file-transfer connection";
    EXPECT_FALSE(center.isBluetooth());

    auto live = makeDevice("USB");
    center.setMFDevice(live.get());
    EXPECT_TRUE(center.canModify());
    EXPECT_FALSE(center.isUSB());
}

TEST(ToolView, JobsGoToTheWindowQueueWithAValidator)
{
    DeviceDocumentHost host;
    DeviceWindowController controller(&host);
    auto device = makeDevice("History");
    controller.setMFDevice(device.get());
    ASSERT_NE(controller.actionMasterHdlr(), nullptr);
    ToolView center;
    center.setup(&controller, device.get());
    auto entry = std::make_shared<ScriptedEntry>();
    const int validators = ValidateForFeedBack::liveCount();
    EXPECT_TRUE(center.addFeedBackToMaster(entry));
    EXPECT_EQ(ValidateForFeedBack::liveCount(), validators + 1);
    EXPECT_EQ(controller.equalFeedBackInMaster(entry), entry);
    EXPECT_TRUE(controller.actionJobsScheduled());
    entry->end(0);
    runFor(1.0);
    EXPECT_EQ(ValidateForFeedBack::liveCount(), validators);
    EXPECT_FALSE(controller.actionJobsScheduled());
    controller.setMFDevice(nullptr);
}

TEST(ValidateForFeedBack, RevalidatesAfterTheJobEndsThenGoes)
{
    QWidget view;
    QList<double> delays;
    platform::NotificationCenter::defaultCenter().addObserver(
        &delays, QLatin1String(kValidateScaledImageNotify), &view, [&delays](const platform::Notification& n) {
            delays << n.userInfo.value(QLatin1String(kValidateScaledImageDelayKey), 0.0).toDouble();
        });
    auto entry = std::make_shared<ScriptedEntry>();
    const int before = ValidateForFeedBack::liveCount();
    ValidateForFeedBack::allocValidateForFeedBack(&view, entry);
    EXPECT_EQ(delays, QList<double>{0.0}) << "at once";
    entry->progress(50);
    entry->postFeedBackNotify({{jobnames::kFeedEndActionKey, 0}});   // no entry key: not an end
    runFor(0.1);
    EXPECT_EQ(ValidateForFeedBack::liveCount(), before + 1);
    entry->end(0);
    EXPECT_EQ(delays, (QList<double>{0.0, 0.34}));
    runFor(0.1);
    EXPECT_EQ(ValidateForFeedBack::liveCount(), before);
    entry->end(0);
    EXPECT_EQ(delays.size(), 2) << "gone: no second revalidation";
    platform::NotificationCenter::defaultCenter().removeObserver(&delays);
}

// A center with state that a late call would read after the center is gone.
class CountingCenter : public ToolView {
public:
    void touch() { ++touched; }
    int touched = 0;
};

TEST(ToolView, CallsQueuedForACenterNeverReachItOnceItIsGone)
{
    auto* kept = new CountingCenter;
    auto* gone = new CountingCenter;
    const auto queue = [](CountingCenter* center) {
        scheduleSelectorOnMainThread(center, [center] { center->touch(); });
        scheduleDelayedSelector(center, 0.2, [center] { center->touch(); });
    };
    queue(kept);
    queue(gone);
    delete gone;   // under the sanitizer a delivered call is a use after free
    runFor(0.5);
    EXPECT_EQ(kept->touched, 2);
    EXPECT_FALSE(MainThreadScheduler::sharedMainThreadScheduler().doesExistScheduled(gone));
    delete kept;
}

TEST(ToolView, UpdatingMarkAlternatesThreeTimesASecond)
{
    const std::pair<double, bool> cases[] = {{0.0, false}, {0.34, true}, {0.5, true}, {0.67, false}, {1.0, true},
                                             {100.0, false}};
    for (const auto& [seconds, mirrored] : cases)
        EXPECT_EQ(ToolView::updatingMarkMirrored(seconds), mirrored) << seconds;
}

} // namespace
