#include "DeviceWindowTestSupport.h"

#include "devicewindow/ActionMasterPlace.h"
#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/HistoryView.h"
#include "devicewindow/MobileFinderView.h"
#include "devicewindow/TimeController.h"
#include "devicewindow/queue/ActionMasterHdlr.h"

#include "VirtualTime.h"
#include "device/DeviceList.h"
#include "device/MFDeviceInfo.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/OverlayProgressBar.h"
#include "widgets/TarnexAlertSheet.h"

#include <QAction>
#include <QComboBox>
#include <QStandardItemModel>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using devicewindow_tests::makeDevice;
using devicewindow_tests::RecordingHost;
using testing_support::runFor;

// Also answers the look-ups of open windows and records history connections.
class WindowsHost : public RecordingHost {
public:
    DeviceWindowController* checkDeviceAlreadyConnected(const QString& serial, bool activate, bool isHistory) override
    {
        calls << QStringLiteral("window? %1 %2 %3").arg(serial).arg(activate).arg(isHistory);
        const auto found = windows.find({serial, isHistory});
        return found == windows.end() ? nullptr : found->second;
    }
    void connectWithHistoryDevice(const QVariantMap&, DeviceWindowController* window, const QString& stateInfo,
                                  const QString&) override
    {
        // The overlay is up with its bar and message while the connection runs.
        calls << QStringLiteral("history connection %1 bar %2 %3")
                     .arg(stateInfo)
                     .arg(window->overlay().overlayProgressBar()->isHidden() ? "hidden" : "shown")
                     .arg(window->overlay().busyMessage()->text());
    }
    std::map<std::pair<QString, bool>, DeviceWindowController*> windows;
};

// A center that records the window's hooks and may refuse to leave.
class HookCenter : public ToolView {
public:
    bool canDeactivate() override { return mayLeave; }
    void deactivate() override
    {
        hooks << QStringLiteral("deactivate");
        if (onDeactivate)
            onDeactivate();
    }
    void establishConnectionToTimeTunnel() override { hooks << QStringLiteral("timeTunnel"); }
    bool mayLeave = true;
    std::function<void()> onDeactivate;
    QStringList hooks;
};

struct CentersFixture {
    WindowsHost host;
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
    EXPECT_NE(centers->mobileFinderView()->tree(), nullptr);
    runFor(0.05);
    EXPECT_EQ(centers->curToolViewName(), DeviceToolbar::kBackup);
    ASSERT_NE(centers->historyView(), nullptr);
    EXPECT_EQ(centers->currentToolView(), centers->historyView());
    EXPECT_FALSE(centers->historyView()->isHidden());
    EXPECT_EQ(centers->toolbar(), nullptr) << "the connection center needs no toolbar";
    const auto phone = makeDevice("USB");
    controller.setMFDevice(phone.get());
    ASSERT_NE(controller.actionMasterHdlr(), nullptr);
    EXPECT_EQ(centers->historyView()->actionPlace()->actionMaster(), controller.actionMasterHdlr())
        << "a queue made after the center was shown goes to its pane";
    EXPECT_EQ(centers->historyView()->nameLabel()->text(), QStringLiteral("KU990")) << "and it shows the phone";
    ASSERT_NE(centers->toolbar(), nullptr) << "an attached phone gets its toolbar";
    EXPECT_FALSE(centers->toolbar()->isHistory());
    controller.setMFDevice(nullptr);

    CentersFixture f("USB");
    f.centers->switchToNamedCenter(DeviceToolbar::kHome);
    EXPECT_EQ(f.lastCenter(), DeviceToolbar::kHome) << "a live phone remembers its center";
    ASSERT_NE(f.centers->historyView()->actionPlace(), nullptr);
    EXPECT_EQ(f.centers->historyView()->actionPlace()->actionMaster(), f.controller.actionMasterHdlr())
        << "the connection center shows the window's queue";
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
    EXPECT_EQ(media->objectName(), QStringLiteral("MediaCenterMainView")) << "the media center, no placeholder";
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

TEST(DeviceWindowCenters, ASwitchDuringASwitchIsDroppedAndARefusingCenterStays)
{
    CentersFixture f("USB");
    auto* center = new HookCenter;
    center->setParent(f.controller.contentAreaView());
    f.centers->setCurrentWithoutActivation(center);
    center->mayLeave = false;
    f.centers->switchToNamedCenter(DeviceToolbar::kHome);
    EXPECT_EQ(f.centers->currentToolView(), center) << "refused: the center stays";
    EXPECT_TRUE(center->hooks.isEmpty()) << "and is not deactivated";

    center->mayLeave = true;
    center->onDeactivate = [&f] { f.centers->switchToNamedCenter(DeviceToolbar::kMediaCenter); };
    f.centers->switchToNamedCenter(DeviceToolbar::kHome);
    EXPECT_EQ(f.centers->currentToolView(), f.centers->historyView());
    EXPECT_EQ(f.centers->curToolViewName(), DeviceToolbar::kHome);
    EXPECT_EQ(f.centers->mediaCenterMain(), nullptr) << "the switch asked for during the switch was dropped";
    EXPECT_EQ(f.lastCenter(), DeviceToolbar::kHome);
}

TEST(DeviceWindowCenters, TimeTunnelReachesAnOpenHistoryWindowOrOpensOne)
{
    CentersFixture f("USB");
    f.centers->setHistoryCheck([] { return true; });
    f.controller.window()->show();
    f.centers->timeTunnel();
    const QStringList connections = f.host.calls.filter(QStringLiteral("history connection"));
    ASSERT_EQ(connections.size(), 1);
    EXPECT_TRUE(connections.front().endsWith(QStringLiteral(" bar shown Opening the phone's backup history…")))
        << connections.front().toStdString();
    EXPECT_TRUE(connections.front().contains(f.controller.stateInfo()));
    EXPECT_EQ(f.controller.overlay().overlayProgressBar()->doubleValue(), 100);

    RecordingHost historyHost;
    DeviceWindowController history(&historyHost);
    f.host.windows[{QStringLiteral("35-00000001"), true}] = &history;
    f.host.calls.clear();
    f.centers->timeTunnel();
    EXPECT_TRUE(f.host.calls.filter(QStringLiteral("history connection")).isEmpty());
    EXPECT_TRUE(f.host.calls.contains(QStringLiteral("window? 35-00000001 1 1")));
    EXPECT_TRUE(history.pendingStateInfo().isEmpty()) << "queued, not called at once";
    runFor(0.05);
    EXPECT_EQ(history.pendingStateInfo(), f.controller.stateInfo());
}

TEST(DeviceWindowCenters, RestoreHandsTheLivePhoneWindowItsState)
{
    CentersFixture f("History");
    DeviceList& list = DeviceList::sharedDeviceList();
    list.writeDevice(std::make_shared<QVariantMap>(
        QVariantMap{{QStringLiteral("Common.DeviceName"), QStringLiteral("Live phone")},
                    {QStringLiteral("Common.SerialNo"), QStringLiteral("L-9")}}));
    int tag = -1;
    for (int index = 0; index < list.count(); ++index)
        if (list.deviceEntry(index)->value(QStringLiteral("Common.SerialNo")) == QStringLiteral("L-9"))
            tag = index;
    ASSERT_GE(tag, 0);
    RecordingHost liveHost;
    DeviceWindowController live(&liveHost);
    f.host.connectedSerials << QStringLiteral("L-9");
    f.host.windows[{QStringLiteral("L-9"), false}] = &live;
    const QString state = f.centers->doRestoreAction(tag);
    EXPECT_EQ(state, QStringLiteral("Backup ToolbarIdentifier\tRestore\t35-00000001"));
    EXPECT_TRUE(f.host.calls.contains(QStringLiteral("window? L-9 1 0")));
    runFor(0.05);
    EXPECT_EQ(live.pendingStateInfo(), state);
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

    auto* center = new HookCenter;
    center->setParent(f.controller.contentAreaView());
    f.centers->setCurrentWithoutActivation(center);
    f.centers->keyWindowChanged(f.controller.window());
    EXPECT_EQ(center->hooks, QStringList{QStringLiteral("timeTunnel")}) << "key again: back to the time tunnel";
    f.centers->keyWindowChanged(&other);
    EXPECT_EQ(center->hooks.size(), 1);
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
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("NotifyMobileDeviceConnectionChanged"), nullptr);
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
