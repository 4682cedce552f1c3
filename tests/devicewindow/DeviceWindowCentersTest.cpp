#include "DeviceWindowTestSupport.h"

#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/HistoryView.h"
#include "devicewindow/MobileFinderView.h"
#include "devicewindow/TimeController.h"
#include "devicewindow/queue/ActionMasterHdlr.h"

#include "VirtualTime.h"
#include "device/DeviceList.h"
#include "device/MFDeviceInfo.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/TarnexAlertSheet.h"

#include <QAction>
#include <QComboBox>
#include <QStandardItemModel>
#include <QLabel>
#include <QShortcut>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using devicewindow_tests::makeDevice;
using devicewindow_tests::RecordingHost;
using testing_support::runFor;

struct CentersFixture {
    RecordingHost host;
    DeviceWindowController controller{&host};
    std::shared_ptr<MFDevice> device;
    DeviceWindowCenters* centers = controller.centers();

    explicit CentersFixture(const char* connType)
    {
        controller.window()->resize(760, 520);
        device = makeDevice(connType);
        controller.setMFDevice(device.get());
        runFor(0.05);
    }
    ~CentersFixture() { controller.setMFDevice(nullptr); }
    QString lastCenter() const
    {
        return device->devInfo()->objectForKey(DeviceWindowCenters::kLastCenterKey).toString();
    }
};

TEST(DeviceWindowCenters, LoadShowsTheFileBrowserThenTheConnectionCenter)
{
    RecordingHost host;
    DeviceWindowController controller(&host);
    DeviceWindowCenters* centers = controller.centers();
    ASSERT_NE(centers, nullptr);
    EXPECT_EQ(centers->currentToolView(), centers->mobileFinderView());
    EXPECT_TRUE(centers->mobileFinderView()->isHidden()) << "current, not activated";
    runFor(0.05);
    EXPECT_EQ(centers->curToolViewName(), DeviceToolbar::kBackup);
    ASSERT_NE(centers->historyView(), nullptr);
    EXPECT_EQ(centers->currentToolView(), centers->historyView());
    EXPECT_FALSE(centers->historyView()->isHidden());
    EXPECT_EQ(centers->toolbar(), nullptr) << "the connection center needs no toolbar";

    CentersFixture f("USB");
    f.centers->switchToNamedCenter(DeviceToolbar::kHome);
    EXPECT_EQ(f.lastCenter(), DeviceToolbar::kHome) << "a live phone remembers its center";
    f.controller.window()->show();
    EXPECT_FALSE(platform::gui::saveGrab(f.controller.window(), QStringLiteral("devicewindow-connection-center")).isEmpty());
}

TEST(DeviceWindowCenters, SwitchesByIdentifierAndKeepsCentersLoaded)
{
    CentersFixture f("USB");
    f.centers->switchToNamedCenter(DeviceToolbar::kMediaCenter);
    ASSERT_NE(f.centers->toolbar(), nullptr);
    ToolView* media = f.centers->mediaCenterMain();
    ASSERT_NE(media, nullptr);
    EXPECT_EQ(f.centers->currentToolView(), media);
    EXPECT_FALSE(media->isHidden());
    EXPECT_EQ(media->findChild<QLabel*>()->text(), QStringLiteral("Not available yet"));
    EXPECT_EQ(media->actionPlace(), nullptr);

    f.centers->switchToNamedCenter(QStringLiteral("Nowhere ToolbarIdentifier"));
    EXPECT_EQ(f.centers->currentToolView(), media) << "an unknown center changes nothing";

    f.centers->switchToCenter(DeviceToolbar::kMediaCenter);
    runFor(0.05);
    EXPECT_EQ(f.centers->currentToolView(), media) << "the current center's item does nothing";

    f.centers->switchToNamedCenter(DeviceToolbar::kOrganizer);
    f.centers->switchToNamedCenter(DeviceToolbar::kMediaCenter);
    EXPECT_EQ(f.centers->mediaCenterMain(), media) << "loaded once";
    EXPECT_FALSE(platform::gui::saveGrab(f.controller.window(), QStringLiteral("devicewindow-centers-media")).isEmpty());

    f.centers->switchToNamedCenter(DeviceToolbar::kTimeTunnel);
    EXPECT_EQ(f.centers->currentToolView(), nullptr) << "the time tunnel item shows no center";
    EXPECT_TRUE(media->isHidden());
}

TEST(DeviceWindowCenters, HistoryWindowNeverStoresItsCenter)
{
    CentersFixture f("History");
    f.centers->switchToNamedCenter(DeviceToolbar::kMediaCenter);
    EXPECT_EQ(f.centers->curToolViewName(), DeviceToolbar::kMediaCenter);
    EXPECT_TRUE(f.lastCenter().isEmpty());
    ASSERT_NE(f.centers->toolbar(), nullptr);
    EXPECT_TRUE(f.centers->toolbar()->isHistory());
    EXPECT_TRUE(f.controller.window()->isHistoryMod());
}

TEST(DeviceWindowCenters, DropsSelectTheMediaTab)
{
    const std::pair<void (DeviceWindowCenters::*)(const QStringList&), const char*> cases[] = {
        {&DeviceWindowCenters::transferMusicFiles, "Music"},
        {&DeviceWindowCenters::transferPhotoFiles, "PhotoVideo"},
        {&DeviceWindowCenters::transferVideoFiles, "PhotoVideo"},
        {&DeviceWindowCenters::transferRingtoneFiles, "Ringtone"},
    };
    for (const auto& [drop, tab] : cases) {
        CentersFixture f("USB");
        (f.centers->*drop)({QStringLiteral("/tmp/a.file")});
        runFor(0.05);
        EXPECT_EQ(f.device->devInfo()->objectForKey(DeviceWindowCenters::kMediaTabKey).toString(),
                  QLatin1String(tab));
        EXPECT_EQ(f.centers->curToolViewName(), DeviceToolbar::kMediaCenter);
    }
}

TEST(DeviceWindowCenters, MenuActionsSwitchAfterATenthOfASecond)
{
    CentersFixture f("USB");
    QStringList keys;
    for (auto* shortcut : f.controller.window()->findChildren<QShortcut*>())
        keys << shortcut->key().toString();
    for (const char* key : {"Ctrl+1", "Ctrl+2", "Ctrl+3", "Ctrl+4"})
        EXPECT_TRUE(keys.contains(QLatin1String(key))) << key;
    f.centers->switchTo_MediaCenter();
    runFor(0.05);
    EXPECT_NE(f.centers->curToolViewName(), DeviceToolbar::kMediaCenter);
    runFor(0.1);
    EXPECT_EQ(f.centers->curToolViewName(), DeviceToolbar::kMediaCenter);
    f.centers->switchTo_MobileFinder();   // no file services: refused
    runFor(0.15);
    EXPECT_EQ(f.centers->curToolViewName(), DeviceToolbar::kMediaCenter);
    f.centers->switchTo_ConnectionCenter();
    runFor(0.15);
    EXPECT_EQ(f.centers->curToolViewName(), DeviceToolbar::kBackup);
}

TEST(DeviceWindowCenters, TimeTunnelWithoutHistoryExplains)
{
    CentersFixture f("USB");
    f.controller.window()->show();
    f.centers->timeTunnel();
    runFor(0.05);
    ASSERT_NE(f.controller.alertSheet(), nullptr);
    EXPECT_TRUE(f.controller.alertSheet()->isVisible());
    EXPECT_TRUE(f.host.calls.filter(QStringLiteral("History")).isEmpty());
}

TEST(DeviceWindowCenters, KeyWindowChangesReachTheTimeController)
{
    CentersFixture f("History");
    f.centers->switchToNamedCenter(DeviceToolbar::kBackup);
    TimeController time;
    time.setCurrentController(f.centers->currentToolView());
    f.centers->setTimeController(&time);
    QWidget other;
    f.centers->keyWindowChanged(&other);
    EXPECT_EQ(time.disengageCount(), 1);
    EXPECT_EQ(time.currentController(), nullptr);
    f.centers->keyWindowChanged(f.controller.window());
    EXPECT_EQ(time.disengageCount(), 1);
}

TEST(DeviceWindowCenters, HistoryToolbarOffersTheListedPhonesForRestore)
{
    CentersFixture f("History");
    DeviceList& list = DeviceList::sharedDeviceList();
    const int before = list.count();
    QVariantMap named{{QStringLiteral("Common.DeviceName"), QStringLiteral("Anna's phone")},
                      {QStringLiteral("Common.SerialNo"), QStringLiteral("R-1")}};
    list.writeDevice(std::make_shared<QVariantMap>(named));
    list.writeDevice(std::make_shared<QVariantMap>(QVariantMap{{QStringLiteral("Common.SerialNo"), QStringLiteral("R-2")}}));
    f.centers->switchToNamedCenter(DeviceToolbar::kMediaCenter);
    QComboBox* popUp = f.centers->restorePopUp();
    ASSERT_NE(popUp, nullptr);
    const int named_rows = popUp->count() - 1;
    EXPECT_GE(named_rows, 1) << "entries without a name are left out";
    const int last = popUp->findText(QStringLiteral("Anna's phone"));
    ASSERT_GT(last, 0);
    const int index = popUp->itemData(last).toInt();
    EXPECT_EQ(list.deviceEntry(index)->value(QStringLiteral("Common.SerialNo")).toString(), QStringLiteral("R-1"));
    auto* model = qobject_cast<QStandardItemModel*>(popUp->model());
    EXPECT_EQ(model->item(last)->isEnabled(), f.device->canMigrateRestoreTo(named));
    f.controller.updateBTDevice();
    EXPECT_EQ(popUp->count() - 1, named_rows) << "refreshing keeps one item per phone";
    EXPECT_TRUE(f.centers->doRestoreAction(index).isEmpty()) << "the phone could not be connected";
    EXPECT_GE(list.count(), before + 1);
    f.controller.window()->show();
    EXPECT_FALSE(platform::gui::saveGrab(f.controller.window(), QStringLiteral("devicewindow-history-restore")).isEmpty());
}

} // namespace
