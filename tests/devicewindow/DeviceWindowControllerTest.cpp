#include "DeviceWindowTestSupport.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/files/FileDragAndDrop.h"
#include "jobs/QVFeedBack.h"

#include "VirtualTime.h"
#include "foundation/NamedLog.h"
#include "phone/MFDevice.h"
#include "phone/SyncEnvironment.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/TarnexAlertSheet.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using namespace devicewindow_tests;
using testing_support::runFor;

constexpr const char* kAddress = "00:1c:62:aa:bb:cc";

struct WindowFixture {
    RecordingHost host;
    std::unique_ptr<DeviceWindowController> controller = std::make_unique<DeviceWindowController>(&host);
    WindowFixture()
    {
        markXT();
        controller->window()->resize(720, 480);
    }
};

TEST(DeviceWindowController, LoadsTheBrowserWindowAndFadesIn)
{
    WindowFixture f;
    DorvantiWindow* window = f.controller->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(f.controller->isWindowLoaded());
    EXPECT_NE(f.controller->contentAreaView(), window);
    EXPECT_EQ(window->windowOpacity(), 0);
    f.controller->showWindow();
    runFor(DeviceWindowController::kFadeInterval * 5 + 0.001);
    EXPECT_NEAR(window->windowOpacity(), 0.5, 0.06);
    runFor(DeviceWindowController::kFadeInterval * 6);
    EXPECT_EQ(window->windowOpacity(), 1.0);
    EXPECT_EQ(f.host.registered, 1) << "registered once the fade ended";
    EXPECT_EQ(f.controller->curToolViewName(), QStringLiteral("Backup ToolbarIdentifier"));
    EXPECT_EQ(f.controller->getAssistantTitle(), QStringLiteral("Add a Phone"));
}

TEST(DeviceWindowController, StateStringsSwitchToTheCenterTheyName)
{
    WindowFixture f;
    runFor(0.01);
    const struct {
        const char* state;
        const char* center;
    } cases[] = {{"a", "a"}, {"b\tmore\tfields", "b"}, {"", "b"}, {"\tno center", "b"}};
    for (const auto& c : cases) {
        f.controller->callExecuteStateInfo(QString::fromUtf8(c.state));
        EXPECT_EQ(f.controller->curToolViewName(), QString::fromUtf8(c.center)) << c.state;
    }
    EXPECT_EQ(f.controller->stateInfo(), QStringLiteral("b\t"));
}

TEST(DeviceWindowController, AttachingTakesTheStoredCenterAndTheBattery)
{
    WindowFixture f;
    auto device = makeDevice(MFDevice::kHistory, {{"Common.LastCenterNameConnect", "Organizer ToolbarIdentifier"}});
    int posts = 0;
    platform::NotificationCenter::defaultCenter().addObserver(&posts,
                                                              QLatin1String(devicewindowkeys::kNotifyBatteryChanged),
                                                              nullptr, [&](const platform::Notification&) { ++posts; });
    f.controller->setMFDevice(device.get(), QStringLiteral("S"));
    EXPECT_EQ(f.controller->pendingStateInfo(), QStringLiteral("S\tOrganizer ToolbarIdentifier"));
    EXPECT_EQ(f.controller->initSwitchCenter(), QStringLiteral("Organizer ToolbarIdentifier"));
    EXPECT_EQ(posts, 0) << "no battery value yet: nothing posted";
    EXPECT_TRUE(f.controller->window()->isHistoryMod());
    EXPECT_EQ(f.controller->window()->batteryLevel(), -1) << "history mode draws no gauge";
    f.controller->window()->show();
    runFor(0.05);
    EXPECT_FALSE(platform::gui::saveGrab(f.controller->window(), QStringLiteral("devicewindow-history")).isEmpty());
    f.controller->setPathOrNameOfWindow(QStringLiteral("/"));
    EXPECT_EQ(f.controller->window()->windowTitle(), QStringLiteral("No history data"));

    auto live = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"}});
    live->setLastBatteryValue({0, 100});
    posts = 0;
    f.controller->setMFDevice(live.get(), QStringLiteral("S"));
    EXPECT_EQ(f.controller->pendingStateInfo(), QStringLiteral("S")) << "no stored center: the state stays";
    EXPECT_EQ(posts, 1) << "a known battery value is posted at attach";
    ASSERT_GE(live->lastBatteryValue(), 0);
    EXPECT_EQ(f.controller->window()->batteryLevel(), DorvantiWindow::batteryCell(live->lastBatteryValue(), false));
    EXPECT_NE(f.controller->window()->batteryLevel(), -1);
    f.controller->setPathOrNameOfWindow(QStringLiteral("/"));
    EXPECT_EQ(f.controller->window()->windowTitle(), QStringLiteral("KU990"));
    f.controller->setPathOrNameOfWindow(QStringLiteral("/Phone/Pictures"));
    EXPECT_EQ(f.controller->window()->windowTitle(), QStringLiteral("Pictures"));
    const int before = f.controller->window()->batteryLevel();
    platform::NotificationCenter::defaultCenter().post(QLatin1String(devicewindowkeys::kNotifyBatteryChanged),
                                                       device.get());
    EXPECT_EQ(f.controller->window()->batteryLevel(), before) << "another device's notification changes nothing";
    live->setLastBatteryValue({1, 40});
    EXPECT_EQ(f.controller->window()->batteryLevel(), DorvantiWindow::kPluggedCell);
    platform::NotificationCenter::defaultCenter().removeObserver(&posts);
    f.controller->setMFDevice(nullptr);
}

TEST(DeviceWindowController, ErrorsShowTheirExplanationAndTheBluetoothButtonFor54And55)
{
    for (const char* number : {"52", "54", "55", "-21880"})
        EXPECT_NE(platform::localizedString(QLatin1String(number)), QLatin1String(number)) << number;
    for (const char* key : {"ErrorMsg", "Can't find explanation", "Autoconnect", "Stopped", "No history data",
                            "SetupWizard", "Close Now"})
        EXPECT_NE(platform::localizedString(QLatin1String(key)), QString()) << key;
    EXPECT_EQ(DeviceWindowController::explanation(4711), QStringLiteral("Can't find explanation"));

    WindowFixture f;
    f.controller->window()->show();
    f.controller->displayError(54);
    EXPECT_EQ(f.controller->lastError(), 54);
    ASSERT_TRUE(f.controller->errorPanel()->isVisible());
    EXPECT_TRUE(f.controller->errorPanelSecondButton()->isVisible());
    // A second error waits for the first.
    f.controller->displayError(52);
    EXPECT_TRUE(f.controller->errorPanelText()->text().endsWith(QStringLiteral("(54).")));
    f.controller->errorPanelSecondButton()->click();
    EXPECT_TRUE(f.host.calls.contains(QStringLiteral("launchBluetoothSetup")));
    ASSERT_TRUE(f.controller->errorPanel()->isVisible());
    EXPECT_EQ(f.controller->errorPanelText()->text(),
              QStringLiteral("Error 52 = The phone stayed busy. Unlock it and try again."));
    EXPECT_FALSE(f.controller->errorPanelSecondButton()->isVisible());
    QTest::keyClick(f.controller->errorPanel(), Qt::Key_Return);
    EXPECT_FALSE(f.controller->errorPanel()->isVisible());

    f.controller->displayError(4711);
    EXPECT_EQ(f.controller->errorPanelText()->text(), QStringLiteral("Error 4711 = Can't find explanation."));
    f.controller->errorBT_OK();

    f.host.bluetoothSetup = false;
    f.controller->displayError(55);
    EXPECT_FALSE(f.controller->errorPanelSecondButton()->isVisible()) << "no setup installed: no button";
    EXPECT_FALSE(
        platform::gui::saveGrab(f.controller->errorPanel(), QStringLiteral("devicewindow-error-55")).isEmpty());
    f.controller->errorBT_OK();
    EXPECT_TRUE(xtLines().filter(QStringLiteral("(55).")).size() == 1) << "the message also goes to XT";
}

TEST(DeviceWindowController, SheetsOpenInTurnAndEachHandlerRunsOnce)
{
    WindowFixture f;
    f.controller->window()->show();
    QStringList ends;
    f.controller->beginAlertSheet(QStringLiteral("One"), QString(), QStringLiteral("OK"), QString(),
                                  [&](int code) { ends << QStringLiteral("one %1").arg(code); });
    f.controller->beginAlertSheet(QStringLiteral("Two"), QString(), QStringLiteral("OK"), QString(),
                                  [&](int code) { ends << QStringLiteral("two %1").arg(code); });
    TarnexAlertSheet* sheet = f.controller->alertSheet();
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("One"));
    sheet->defaultButton()->click();
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("Two"));
    sheet->defaultButton()->click();
    EXPECT_EQ(ends, (QStringList{QStringLiteral("one 1"), QStringLiteral("two 1")}));
}

TEST(DeviceWindowController, OverlayGoesOverTheContentAreaAndItsSessionsRun)
{
    WindowFixture f;
    f.controller->window()->show();
    f.controller->doShowBusyOverlayCancel(true, 0, nullptr, [] {});
    f.controller->doProgressBusyOverlay(40);
    f.controller->doProgressBusyMessage(QStringLiteral("Reading contacts"));
    BusyOverlayController& overlay = f.controller->overlay();
    ASSERT_TRUE(overlay.isShown());
    EXPECT_EQ(overlay.busyOverlay()->overlayParent(), f.controller->contentAreaView());
    EXPECT_TRUE(overlay.overlayCancelButton()->isVisible());
    runFor(0.1);
    EXPECT_FALSE(platform::gui::saveGrab(f.controller->window(), QStringLiteral("devicewindow-overlay-40")).isEmpty());
    f.controller->doShowBusyOverlay(false, 0, nullptr);
    runFor(1.5);
    EXPECT_FALSE(overlay.isShown());
}

TEST(DeviceWindowController, CloseWaitSheetClosesNowOrCancels)
{
    WindowFixture f;
    f.controller->window()->show();
    EXPECT_FALSE(f.controller->hasNotFinishedBackup()) << "no device";
    f.controller->waitBGMachineFinished();
    QDialog* sheet = f.controller->closeDialog();
    ASSERT_TRUE(sheet && sheet->isVisible());
    EXPECT_FALSE(platform::gui::saveGrab(sheet, QStringLiteral("devicewindow-close-wait")).isEmpty());
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), DeviceWindowController::kCloseCancelCode);
    EXPECT_TRUE(f.host.calls.contains(QStringLiteral("cancelClose")));
    EXPECT_FALSE(f.controller->forceCloseWithoutWaitForBackup());

    f.controller->waitBGMachineFinished();
    ASSERT_TRUE(sheet->isVisible());
    QTest::keyClick(sheet, Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible()) << "Return presses Close Now";
    EXPECT_EQ(sheet->result(), DeviceWindowController::kCloseNowCode);

    f.controller->waitBGMachineFinished();
    ASSERT_TRUE(sheet->isVisible());
    // Nothing scheduled: the next half-second tick closes at once.
    runFor(DeviceWindowController::kCloseWaitInterval + 0.05);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), DeviceWindowController::kCloseNowCode);
    EXPECT_TRUE(f.controller->forceCloseWithoutWaitForBackup());
    EXPECT_TRUE(f.host.calls.contains(QStringLiteral("setForceQuitAndIgnore")));
}

TEST(DeviceWindowController, ClosingFadesOutAFifthEvery40Milliseconds)
{
    WindowFixture f;
    bool closed = false;
    QObject::connect(f.controller.get(), &DeviceWindowController::windowClosed, [&] { closed = true; });
    f.controller->window()->show();
    f.controller->window()->setWindowOpacity(1.0);
    f.controller->windowShouldClose();
    runFor(DeviceWindowController::kFadeInterval * 2 + 0.001);
    EXPECT_NEAR(f.controller->window()->windowOpacity(), 0.6, 0.06);
    EXPECT_FALSE(closed);
    runFor(DeviceWindowController::kFadeInterval * 4);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(f.controller->window()->isVisible());
}

TEST(DeviceWindowController, SyncConflictDecisionsAreLogged)
{
    WindowFixture f;
    auto device = makeDevice(MFDevice::kHistory);
    f.controller->setMFDevice(device.get());
    f.controller->didDetectSyncGAU(); // no organizer: nothing
    const struct {
        int decision;
        const char* line;
    } cases[] = {
        {2, "+++ Sync use last organizer state"}, {7, "+++ Sync ignorr"}, {1, "+++ Sync Manager switched Off"}};
    for (const auto& c : cases) {
        f.controller->setSyncConflictDecision([&] { return std::optional<int>(c.decision); });
        f.controller->didDetectSyncGAU();
        EXPECT_EQ(xtLines().filter(QLatin1String(c.line)).size(), 1) << c.decision;
    }
    f.controller->setMFDevice(nullptr);
}

struct BluetoothFixture : WindowFixture {
    std::shared_ptr<platform::BluetoothStackSimulated> stack = std::make_shared<platform::BluetoothStackSimulated>();
    BluetoothFixture()
    {
        platform::BluetoothStack::setShared(stack);
        stack->addDevice(QLatin1String(kAddress), QStringLiteral("LG"), true, {}, true);
    }
    ~BluetoothFixture() { platform::BluetoothStack::setShared(nullptr); }
    std::shared_ptr<MFDevice> open(const char* address)
    {
        const QVariantMap wizard{{QStringLiteral("Wizard.BluetoothAddress"), QLatin1String(address)}};
        const QVariantMap stored{{QStringLiteral("BT.BT_Address"), QLatin1String(address)},
                                 {QStringLiteral("Common.qvDeviceID"), QStringLiteral("999999")}};
        return controller->openFromDeviceDictionary(wizard, stored, QLatin1String(MFDevice::kBluetooth));
    }
};

TEST(DeviceWindowController, BluetoothWakeUpRetriesStatusFourOnceAfterASecond)
{
    {
        BluetoothFixture f;
        f.stack->failBasebandOpens(QLatin1String(kAddress), 4, 1);
        const double start = platform::Clock::instance().now();
        EXPECT_EQ(f.open(kAddress), nullptr) << "no model row: no device";
        EXPECT_GE(platform::Clock::instance().now() - start, 1.0);
        EXPECT_EQ(f.stack->basebandOpenCount(QLatin1String(kAddress)), 2);
        const QStringList lines = xtLines();
        EXPECT_EQ(lines.filter(QStringLiteral("### openConnection returned status: 0x0004")).size(), 1);
        EXPECT_EQ(lines.filter(QStringLiteral("+++ openConnection (2nd time) returned noErr")).size(), 1);
        EXPECT_EQ(lines.filter(QStringLiteral("### mfDeviceWithDictAndType returned nil")).size(), 1);
    }
    {
        BluetoothFixture f;
        f.stack->failBasebandOpens(QLatin1String(kAddress), 4, 2);
        EXPECT_EQ(f.open(kAddress), nullptr);
        EXPECT_EQ(xtLines().filter(QStringLiteral("### openConnection (2nd time) returned status: 0x0004")).size(), 1);
    }
    {
        BluetoothFixture f;
        f.stack->failBasebandOpens(QLatin1String(kAddress), 1, 1);
        const double start = platform::Clock::instance().now();
        EXPECT_EQ(f.open(kAddress), nullptr);
        EXPECT_LT(platform::Clock::instance().now() - start, 0.5) << "status 1: nil at once";
        EXPECT_EQ(f.stack->basebandOpenCount(QLatin1String(kAddress)), 1);
    }
    {
        BluetoothFixture f;
        f.stack->setHasAdapter(false);
        platform::BluetoothStack::setShared(nullptr);
        EXPECT_EQ(f.open("00:00:00:00:00:01"), nullptr);
    }
}

TEST(DeviceWindowController, StoredEntriesThatNameNoConnectionOpenNothing)
{
    WindowFixture f;
    const QVariantMap cases[] = {
        {},
        {{"Common.SerialNo", "35-1"}},
        {{"BT.BT_Address", 7}, {"USB.PortName", QVariantList{}}}, // wrong types read as absent
    };
    for (const QVariantMap& stored : cases)
        EXPECT_EQ(f.controller->openFromDeviceDictionary({}, stored, QLatin1String(MFDevice::kUSBSerial)), nullptr);
    EXPECT_EQ(xtLines().filter(QStringLiteral("### the stored device dictionary names no connection")).size(), 3);
}

TEST(DeviceWindowController, UsbStorageEntriesFromTheWizard)
{
    WindowFixture f;
    QVariantMap wizard{{"mountPoints", QVariantList{QVariantMap{{"mountPoint", "/media/phone"}}}},
                       {"serialNumber", "ABCDEFGHIJKLMNOPQRST"},
                       {"vendorId", 4100},
                       {"productId", 25000},
                       {"Wizard.QuorvalisDeviceID", 20001}};
    EXPECT_TRUE(f.controller->makeUSBStorageDeviceDictionary(wizard));
    EXPECT_EQ(f.host.lastDict.value("USB.SerialNo"), QStringLiteral("ABCDEFGHIJKLMNO"));
    EXPECT_EQ(f.host.lastDict.value("USB.VolName1"), QStringLiteral("/media/phone"));
    EXPECT_FALSE(f.host.lastDict.contains("USB.VolName2"));
    EXPECT_EQ(f.host.lastDict.value("USB.QVDeviceNumber"), QStringLiteral("20001"));

    wizard["mountPoints"] = QVariantList{QVariantMap{{"mountPoint", "/media/a"}},
                                         QVariantMap{{"mountPoint", "/media/b"}}};
    EXPECT_TRUE(f.controller->makeUSBStorageDeviceDictionary(wizard));
    EXPECT_EQ(f.host.lastDict.value("USB.VolName2"), QStringLiteral("/media/b"));

    f.host.calls.clear();
    wizard["mountPoints"] = QStringLiteral("/media/a");
    EXPECT_FALSE(f.controller->makeUSBStorageDeviceDictionary(wizard)) << "mount points that are no list add nothing";
    wizard["mountPoints"] = QVariantList{};
    EXPECT_FALSE(f.controller->makeUSBStorageDeviceDictionary(wizard));
    EXPECT_TRUE(f.host.calls.isEmpty());
}

} // namespace

namespace {

TEST(DeviceWindowController, OnlyTheFirstWindowAutoConnectsAndWithoutAConnectionCenterNothingIsTried)
{
    WindowFixture first;
    first.controller->showWindow();
    runFor(0.6);
    EXPECT_EQ(first.host.registered, 1);
    EXPECT_FALSE(first.controller->overlay().isShown()) << "no connection center: returns at once";
    EXPECT_FALSE(first.controller->connectDeviceNr(1));
    EXPECT_FALSE(first.controller->addFeedBackToMaster(std::make_shared<QVFeedBack>())) << "no queue view: no";
    EXPECT_TRUE(first.controller->canDeactivate());
}

TEST(DeviceWindowController, SafeCloseStopsWhenNothingIsLeftAndDiedSessionsClose)
{
    WindowFixture f;
    f.controller->window()->show();
    auto device = makeDevice(MFDevice::kHistory);
    f.controller->setMFDevice(device.get());
    EXPECT_FALSE(f.controller->hasNotFinishedBackup());
    f.controller->doProceedSafeClose();
    EXPECT_EQ(f.controller->lastSafeClosePolls(), 0) << "an empty machine: no poll";
    EXPECT_FALSE(f.controller->overlay().isShown());

    platform::NotificationCenter::defaultCenter().post(QLatin1String(devicewindowkeys::kNotifySessionDied),
                                                       device.get());
    EXPECT_TRUE(f.controller->sessionDidDied());
    ASSERT_TRUE(f.controller->alertSheet() && f.controller->alertSheet()->isVisible());
    f.controller->alertSheet()->defaultButton()->click();
    EXPECT_TRUE(f.controller->forceCloseWithoutWaitForBackup());
    runFor(1.2);
    EXPECT_FALSE(f.host.calls.contains(QStringLiteral("newDocument"))) << "the main window lists the phones instead";
    f.controller->setMFDevice(nullptr);
}

// The window's drag helper is made again when its phone changes; the old
// one's drag copies stay for their grace, as a drop target may still read
// them, and at the latest go when the program quits.
TEST(DeviceWindowController, ANewPhoneKeepsTheOldDragCopiesForTheirGrace)
{
    WindowFixture f;
    QTemporaryDir desk;
    const QString source = desk.filePath(QStringLiteral("a.jpg"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("picture");
    }
    auto first = makeDevice(MFDevice::kHistory);
    auto second = makeDevice(MFDevice::kHistory);
    f.controller->setMFDevice(first.get());
    FileDragAndDrop* helper = f.controller->getFileDragAndDrop();
    ASSERT_TRUE(helper);
    const auto copy = [&](FileDragAndDrop* dnd) {
        QStringList made;
        dnd->makeDragCopies({{source, QStringLiteral("a.jpg")}}, f.controller->window(),
                            [&](const QStringList& copies) { made = copies; });
        testing_support::OutsideInputScope worker;
        testing_support::runUntil([&] { return !made.isEmpty(); }, 10.0, 0.01);
        return made.value(0);
    };
    const QString ended = copy(helper);
    helper->dragEnded();
    runFor(20.0);
    const QString dragging = copy(helper);   // its drag still runs
    ASSERT_TRUE(QFileInfo::exists(ended) && QFileInfo::exists(dragging));

    f.controller->setMFDevice(second.get());
    EXPECT_NE(f.controller->getFileDragAndDrop(), nullptr);
    EXPECT_TRUE(QFileInfo::exists(ended)) << "kept for the rest of its grace";
    EXPECT_TRUE(QFileInfo::exists(dragging));
    runFor(FileDragAndDrop::kDragFolderGrace - 20.0 + 1.0);
    EXPECT_FALSE(QFileInfo::exists(ended)) << "gone when its grace ran out";
    EXPECT_TRUE(QFileInfo::exists(dragging)) << "a running drag's copies get the whole grace";
    runFor(20.0);
    EXPECT_FALSE(QFileInfo::exists(dragging));

    const QString atQuit = copy(f.controller->getFileDragAndDrop());
    f.controller->setMFDevice(nullptr);
    FileDragAndDrop::removeAllDragCopies();
    EXPECT_FALSE(QFileInfo::exists(atQuit)) << "the program's quit takes the rest";
}

} // namespace

#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"

namespace {

// A job that never ends and ignores its cancel.
class StuckJob : public QVAction {
public:
    QString actionType() const override { return QStringLiteral("Stuck"); }
    int startAction() override { return 0; }
    bool cancelAction() override { return false; }
};

TEST(DeviceWindowController, SafeCloseGivesUpAfter101PollsAndLeavesTheDeviceToItsOwner)
{
    WindowFixture f;
    f.controller->window()->show();
    auto device = makeDevice(MFDevice::kHistory);
    f.controller->setMFDevice(device.get());
    QVActionMachine* machine = device->actionMachine();
    ASSERT_NE(machine, nullptr);
    machine->addActionPipe({QStringLiteral("Stuck")});
    ASSERT_TRUE(machine->addAction(std::make_shared<StuckJob>()));
    runFor(0.2);
    ASSERT_GT(machine->actionCount(), 0u);
    EXPECT_TRUE(f.controller->hasNotFinishedBackup());
    const double start = platform::Clock::instance().now();
    f.controller->doProceedSafeClose();
    EXPECT_EQ(f.controller->lastSafeClosePolls(), DeviceWindowController::kSafeCloseMaxPolls);
    EXPECT_NEAR(platform::Clock::instance().now() - start, 10.1, 0.5);
    EXPECT_FALSE(f.controller->overlay().isShown());
    EXPECT_EQ(BusyModalSession::running(), nullptr);
    runFor(0.5);
    EXPECT_EQ(f.controller->getMFDevice(), nullptr) << "the window let go of the phone";
    EXPECT_GT(device->actionMachine()->actionCount(), 0u) << "the phone stays its owner's while its job runs";
}

} // namespace

namespace {

TEST(DeviceWindowController, AWizardResultNoAddPathTakesAddsNothing)
{
    WindowFixture f;
    f.controller->assistantDidEndWithPairing({{"Wizard.QuorvalisDeviceID", 20001}, {"mountPoints", "not a list"}});
    EXPECT_FALSE(f.controller->deviceChooserOpen());
    runFor(0.1);
    EXPECT_EQ(f.host.calls, QStringList{QStringLiteral("stopWizard")}) << "no connection, no USB scan";
}

} // namespace

namespace {

TEST(DeviceWindowController, SyncEngineWaitRunsQuarterSecondSlicesUntilTheEngineIsDone)
{
    WindowFixture f;
    f.controller->window()->show();
    auto device = makeDevice(MFDevice::kHistory);
    f.controller->setMFDevice(device.get());
    EXPECT_TRUE(f.controller->isSyncEngineReady()) << "an idle engine is ready at once";
    device->setSyncEngineActive(true);
    platform::Timer done([&] { device->setSyncEngineActive(false); });
    done.start(0.6);
    const double start = platform::Clock::instance().now();
    EXPECT_FALSE(f.controller->isSyncEngineReady());
    const double waited = platform::Clock::instance().now() - start;
    EXPECT_GE(waited, 0.6 - 1e-6);
    EXPECT_LE(waited, 0.6 + DeviceWindowController::kSyncEngineSlice + 0.11);
    EXPECT_EQ(f.controller->overlay().overlayProgressBar()->doubleValue(), 100);
    EXPECT_FALSE(f.controller->overlay().isShown());
    EXPECT_FALSE(f.controller->allowToSync(QStringLiteral("Contacts"))) << "no organizer center: no";
    f.controller->setMFDevice(nullptr);
}

TEST(DeviceWindowController, CtrlWClosesThroughTheProtocol)
{
    WindowFixture f;
    bool closed = false;
    QObject::connect(f.controller.get(), &DeviceWindowController::windowClosed, [&] { closed = true; });
    f.controller->window()->show();
    QApplication::setActiveWindow(f.controller->window());
    f.controller->window()->setWindowOpacity(1.0);
    QTest::keyClick(f.controller->window(), Qt::Key_W, Qt::ControlModifier);
    runFor(0.3);
    EXPECT_TRUE(closed);
}

} // namespace

namespace {

TEST(DeviceWindowController, ANewBluetoothPhoneThatDoesNotAnswerMakesNoEntry)
{
    BluetoothFixture f;
    // A phone with no serial channel behind it: no serial number.
    const QVariantMap wizard{{QStringLiteral("Wizard.BluetoothAddress"), QStringLiteral("00:00:00:00:00:02")}};
    EXPECT_EQ(f.controller->openFromDeviceDictionary(wizard, std::nullopt, QLatin1String(MFDevice::kBluetooth)),
              nullptr);
    EXPECT_EQ(xtLines().filter(QStringLiteral("### makeDeviceDictionary returned nil")).size(), 1);
    EXPECT_EQ(f.controller->openFromDeviceDictionary({}, std::nullopt, QLatin1String(MFDevice::kBluetooth)), nullptr)
        << "no address: nothing";
    EXPECT_EQ(f.controller->lastError(), DeviceWindowController::kNoSerialError);
    EXPECT_EQ(f.controller->getMFDevice(), nullptr);
    f.controller->errorBT_OK();
}

} // namespace
