#include "DeviceWindowTestSupport.h"

#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowMakers.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/queue/ActionMasterHdlr.h"

#include "DeviceDBTestSupport.h"
#include "VirtualTime.h"
#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "platform/gui/Animation.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/TarnexAlertSheet.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QElapsedTimer>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

using namespace devicewindow_tests;
using testing_support::runFor;
namespace keys = devicewindowkeys;

class MenuHost : public RecordingHost {
public:
    bool hasDevice(const DeviceWindowController*) override { return withDevice; }
    bool debugEnabled() override { return debug; }
    bool withDevice = true;
    bool debug = false;
};

struct MenuFixture {
    MenuHost host;
    std::unique_ptr<DeviceWindowController> controller = std::make_unique<DeviceWindowController>(&host);
    MenuFixture()
    {
        devicewindowmakers::makers() = {};
        platform::gui::setBeepHandler([] {});
        controller->window()->resize(720, 480);
        controller->window()->show();
        runFor(0.05);
    }
    ~MenuFixture()
    {
        controller.reset();
        platform::gui::setBeepHandler({});
        devicewindowmakers::makers() = {};
    }
};

std::shared_ptr<MFDevice> makeMenuPhone(const char* connType, bool wantsBackup)
{
    return makeDevice(connType, {{"USB.PortName", "/dev/null-phone"}, {"Common.BackupDevice", wantsBackup}});
}

// Under a real X server (MARVESTO_XVFB_SHOTS names a folder) a picture of the
// whole screen, menus and sheets included.
void menuXvfbShot(const QString& name)
{
    const QString folder = qEnvironmentVariable("MARVESTO_XVFB_SHOTS");
    if (folder.isEmpty())
        return;
    // Real time for the X server to map and paint the windows.
    QElapsedTimer painted;
    painted.start();
    while (painted.elapsed() < 600)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QProcess::execute(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-out"),
                                              folder + QLatin1Char('/') + name + QStringLiteral(".xwd")});
}

TEST(DeviceWindowPhoneMenu, ValidationFollowsThePhoneTheOverlayAndTheSettings)
{
    enum Phone { None, Live, History };
    struct Case {
        const char* action;
        Phone phone;
        bool overlay;
        bool debug;
        bool wantsBackup;
        bool inBackup;
        bool enabled;
    } const cases[] = {
        {keys::kActDeviceInspector, None, false, false, false, false, true},
        {keys::kActDeleteDevice, None, false, false, false, false, true},
        {keys::kActDeviceOptions, None, true, false, false, false, true},
        {keys::kActDeviceHistory, History, false, false, false, false, true},
        {keys::kActSwitchToCenter, None, false, false, false, false, true},
        {keys::kActSwitchRequireDevice, None, false, false, false, false, false},
        {keys::kActSwitchRequireDevice, History, false, false, false, false, true},
        {keys::kActConnectionCenter, None, false, false, false, false, true},
        {keys::kActConnectionCenter, Live, true, false, false, false, false},
        {keys::kActMobileFinder, None, false, false, false, false, false},
        {keys::kActMobileFinder, Live, false, false, false, false, true},
        {keys::kActOrganizer, History, false, false, false, false, true},
        {keys::kActMediaCenter, Live, true, false, false, false, false},
        {keys::kActTimeTunnel, History, false, false, false, false, true},
        {keys::kActBreakScanning, Live, false, false, false, false, true},
        {keys::kActBreakScanning, History, false, false, false, false, false},
        {keys::kActBreakScanning, None, false, false, false, false, false},
        {keys::kActBackupNow, Live, false, false, true, false, true},
        {keys::kActBackupNow, Live, false, false, false, false, false},
        {keys::kActBackupNow, Live, false, false, true, true, false},
        {keys::kActBackupNow, History, false, false, true, false, false},
        {keys::kActPhoneSettings, Live, false, false, false, false, true},
        {keys::kActPhoneSettings, Live, true, false, false, false, false},
        {keys::kActPhoneSettings, History, false, false, false, false, false},
        {keys::kActSendDebugging, None, false, true, false, false, true},
        {keys::kActSendDebugging, Live, false, false, false, false, false},
        {"unknownAction:", Live, false, true, true, false, false},
    };
    for (const Case& c : cases) {
        MenuFixture f;
        f.host.withDevice = c.phone != None;
        f.host.debug = c.debug;
        auto device = makeMenuPhone(c.phone == History ? MFDevice::kHistory : MFDevice::kUSBSerial, c.wantsBackup);
        device->setInBackupMode(c.inBackup);
        if (c.phone != None)
            f.controller->setMFDevice(device.get());
        if (c.overlay) {
            f.controller->doShowBusyOverlay(true, 0, nullptr);
            ASSERT_TRUE(f.controller->overlay().isShown());
        }
        EXPECT_EQ(f.controller->validateMenuItem(QLatin1String(c.action)).enabled, c.enabled)
            << c.action << " phone " << c.phone << " overlay " << c.overlay;
        // The menu's items take the same answer when it opens.
        if (QAction* item = f.controller->menuAction(QLatin1String(c.action))) {
            f.controller->validateMenus();
            EXPECT_EQ(item->isEnabled(), c.enabled) << c.action;
        }
        f.controller->doCloseBusyOverlayImmediatly();
        f.controller->setMFDevice(nullptr);
    }
}

TEST(DeviceWindowPhoneMenu, ItemsHaveMnemonicsAndTheirShortcuts)
{
    MenuFixture f;
    QMenu* menu = f.controller->phoneMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->title().contains(QLatin1Char('&')));
    EXPECT_EQ(f.controller->menuAction(QLatin1String(keys::kActBackupNow))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_B));
    EXPECT_EQ(f.controller->menuAction(QLatin1String(keys::kActPhoneSettings))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(f.controller->menuAction(QLatin1String(keys::kActDeleteDevice)), nullptr)
        << "no item for actions without a body";

    struct Shot {
        const char* connType;
        const char* name;
        bool backupEnabled;
    } const shots[] = {{MFDevice::kUSBSerial, "devicewindow-phone-menu-live", true},
                       {MFDevice::kHistory, "devicewindow-phone-menu-history", false}};
    for (const Shot& shot : shots) {
        auto phone = makeMenuPhone(shot.connType, true);
        f.controller->setMFDevice(phone.get());
        f.controller->window()->setWindowTitle(QLatin1String(shot.name));
        menu->popup(f.controller->window()->mapToGlobal(QPoint(10, 24)));
        runFor(0.2);
        EXPECT_FALSE(platform::gui::saveGrab(menu, QLatin1String(shot.name)).isEmpty());
        menuXvfbShot(QLatin1String(shot.name));
        menu->hide();
        EXPECT_EQ(f.controller->menuAction(QLatin1String(keys::kActBackupNow))->isEnabled(), shot.backupEnabled);
        f.controller->setMFDevice(nullptr);
    }
}

TEST(DeviceWindowPhoneMenu, AutoConnectReadsAndWritesTheListEntry)
{
    platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
    DeviceList& list = DeviceList::sharedDeviceList();
    list.addDevice(std::make_shared<QVariantMap>(
        QVariantMap{{"Common.SerialNo", "35-00000001"}, {"Common.AutoConnect", true}}));
    MenuFixture f;
    auto device = makeMenuPhone(MFDevice::kUSBSerial, true);
    f.controller->setMFDevice(device.get());
    EXPECT_TRUE(f.controller->isAutoConnectOn(0));
    EXPECT_FALSE(f.controller->isAutoConnectOn(5)) << "beyond the list";
    f.controller->validateMenus();
    QAction* item = f.controller->menuAction(QLatin1String(keys::kActAutoConnectOff));
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(item->data().toInt(), 0) << "the item stands for this phone's entry";
    f.controller->autoConnectOff(5);
    f.controller->autoConnectOff(-1);
    EXPECT_TRUE(list.deviceEntry(0)->value("Common.AutoConnect").toBool());
    item->trigger();
    EXPECT_FALSE(list.deviceEntry(0)->value("Common.AutoConnect").toBool());
    f.controller->validateMenus();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(item->isEnabled());

    // A phone that is not in the list, though its own dictionary says
    // auto-connect: the item has no entry to write.
    auto stranger = makeDevice(MFDevice::kUSBSerial,
                               {{"Common.SerialNo", "35-00000099"}, {"Common.AutoConnect", true}});
    f.controller->setMFDevice(stranger.get());
    f.controller->validateMenus();
    EXPECT_EQ(item->data().toInt(), -1);
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    f.controller->setMFDevice(nullptr);
    platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
}

TEST(DeviceWindowPhoneMenu, StopBackgroundScanQueuesOneBreakJobAndCancelsItAtTheEnd)
{
    MenuFixture f;
    auto device = makeMenuPhone(MFDevice::kUSBSerial, true);
    f.controller->setMFDevice(device.get());
    ActionMasterHdlr* queue = f.controller->actionMasterHdlr();
    ASSERT_NE(queue, nullptr);
    const int rows = queue->numberOfRows();
    f.controller->breakBackgroundScanning();
    EXPECT_EQ(queue->numberOfRows(), rows + 1);
    TarnexAlertSheet* sheet = f.controller->alertSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("Background Scan Stopped"));
    EXPECT_EQ(sheet->defaultButton()->text(), QStringLiteral("Continue"));
    runFor(0.5);
    EXPECT_TRUE(f.controller->actionJobsScheduled()) << "the break holds the pipes while the sheet shows";
    sheet->defaultButton()->click();
    EXPECT_TRUE(testing_support::runUntil([&] { return !f.controller->actionJobsScheduled(); }, 5.0));
    f.controller->setMFDevice(nullptr);
}

TEST(DeviceWindowPhoneMenu, InspectorTakesThisPhoneOrTheListEntryAndNeedsAModelRow)
{
    const QString path = buildTestDeviceDB(
        QStringLiteral("phone-menu"),
        QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol) "
                       "VALUES ('20001', 'LG+KU990', 'KU990', 'LG', 'lg');"));
    qvDeviceDB::setDefaultDatabasePath(path);
    qvDeviceDB::releaseSharedDeviceDB();
    MenuFixture f;
    QList<QVariantMap> shown;
    std::optional<QVariantMap> lastGeneral;
    devicewindowmakers::makers().deviceInspector =
        [&](const QVariantMap& entry, const QVariantMap& row, const std::optional<QVariantMap>& general,
            QWidget*) -> QWidget* {
        shown << entry;
        EXPECT_EQ(row.value("Dorvanti.Model"), QStringLiteral("KU990"));
        lastGeneral = general;
        return nullptr;
    };
    f.controller->deviceInspector(-1);
    EXPECT_TRUE(shown.isEmpty()) << "no phone, no entry";
    f.controller->deviceInspector(40);
    EXPECT_TRUE(shown.isEmpty()) << "a tag beyond the list does nothing";

    auto device = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"}, {"Common.qvDeviceID", "20001"}});
    f.controller->setMFDevice(device.get());
    f.controller->deviceInspector(-1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].value("Common.SerialNo"), QStringLiteral("35-00000001"));
    EXPECT_TRUE(lastGeneral.has_value()) << "this phone passes its general dictionary";

    auto unknown = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"}, {"Common.qvDeviceID", "999999"}});
    f.controller->setMFDevice(unknown.get());
    f.controller->deviceInspector(-1);
    EXPECT_EQ(shown.size(), 1);
    ASSERT_TRUE(f.controller->alertSheet() && f.controller->alertSheet()->isVisible());
    EXPECT_EQ(f.controller->alertSheet()->titleLabel()->text(), QStringLiteral("Phone Data Missing"));
    f.controller->alertSheet()->defaultButton()->click();
    f.controller->setMFDevice(nullptr);
    qvDeviceDB::setDefaultDatabasePath(QString());
    qvDeviceDB::releaseSharedDeviceDB();
}

TEST(DeviceWindowPhoneMenu, HistoryIsFoundInHistoryOrOtherDataHistory)
{
    const QString path = buildTestDeviceDB(
        QStringLiteral("phone-history"),
        QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol) "
                       "VALUES ('20001', 'LG+KU990', 'KU/990', 'LG', 'lg');"));
    qvDeviceDB::setDefaultDatabasePath(path);
    qvDeviceDB::releaseSharedDeviceDB();
    const QVariantMap entry{{"Common.qvDeviceID", "20001"}, {"Common.SerialNo", "35/7"}};
    const QString phone = platform::paths::applicationSupportDirectory() + QStringLiteral("/Mirrors/KU990-357.dzmir");
    struct Case {
        const char* folder;   // made under the phone's mirror, null: none
        bool withFile;
        bool expected;
    } const cases[] = {
        {nullptr, false, false},
        {"History", false, false},
        {"History", true, true},
        {"Other Data/History", true, true},
        {"Other Data", true, false},
    };
    for (const Case& c : cases) {
        QDir(phone).removeRecursively();
        if (c.folder) {
            ASSERT_TRUE(QDir().mkpath(phone + QLatin1Char('/') + QLatin1String(c.folder)));
            if (c.withFile) {
                QFile file(phone + QLatin1Char('/') + QLatin1String(c.folder) + QStringLiteral("/2026-12-01"));
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            }
        }
        EXPECT_EQ(DeviceWindowController::deviceHasHistory(entry), c.expected) << (c.folder ? c.folder : "none");
    }
    EXPECT_FALSE(DeviceWindowController::deviceHasHistory({{"Common.qvDeviceID", "999999"}, {"Common.SerialNo", "35/7"}}))
        << "a model id without row";
    QDir(phone).removeRecursively();
    qvDeviceDB::setDefaultDatabasePath(QString());
    qvDeviceDB::releaseSharedDeviceDB();
}

// A job that never ends and ignores its cancel.
class MenuStuckJob : public QVAction {
public:
    QString actionType() const override { return QStringLiteral("MenuStuck"); }
    int startAction() override { return 0; }
    bool cancelAction() override { return false; }
};

TEST(DeviceWindowPhoneMenu, ADiedSessionClosesTheWindowAndReturnsToThePhoneList)
{
    for (const bool jobRemains : {false, true}) {
        MenuFixture f;
        QStringList lost;
        devicewindowmakers::makers().connectionLost = [&](const QString& name) { lost << name; };
        auto device = makeMenuPhone(MFDevice::kUSBSerial, true);
        f.controller->setMFDevice(device.get());
        if (jobRemains) {
            device->actionMachine()->addActionPipe({QStringLiteral("MenuStuck")});
            ASSERT_TRUE(device->actionMachine()->addAction(std::make_shared<MenuStuckJob>()));
            runFor(0.2);
        }
        bool closed = false;
        QObject::connect(f.controller.get(), &DeviceWindowController::windowClosed, [&] { closed = true; });
        platform::NotificationCenter::defaultCenter().post(QLatin1String(keys::kNotifySessionDied), device.get());
        platform::NotificationCenter::defaultCenter().post(QLatin1String(keys::kNotifySessionDied), device.get());
        TarnexAlertSheet* sheet = f.controller->alertSheet();
        ASSERT_TRUE(sheet && sheet->isVisible());
        EXPECT_TRUE(sheet->messageLabel()->text().startsWith(QStringLiteral("The connection to the phone broke off.")));
        EXPECT_EQ(f.controller->sheets().pendingCount(), 0) << "a second notice of the same death shows nothing";
        if (!jobRemains) {
            EXPECT_FALSE(
                platform::gui::saveGrab(sheet, QStringLiteral("devicewindow-session-died")).isEmpty());
            menuXvfbShot(QStringLiteral("devicewindow-session-died"));
        }
        const double start = platform::Clock::instance().now();
        sheet->defaultButton()->click();
        EXPECT_TRUE(testing_support::runUntil([&] { return closed; }, 15.0));
        if (jobRemains)
            EXPECT_GE(platform::Clock::instance().now() - start, 3.0) << "the bounded job wait ran first";
        EXPECT_EQ(lost, QStringList{QStringLiteral("KU990")});
        runFor(1.5);
        EXPECT_FALSE(f.host.calls.contains(QStringLiteral("newDocument"))) << "no empty document";
        f.controller->setMFDevice(nullptr);
    }
}

} // namespace

namespace {

TEST(DeviceWindowPhoneMenu, DebuggingPanelAndPhoneSettingsAreSheetsOnTheWindow)
{
    MenuFixture f;
    auto device = makeMenuPhone(MFDevice::kUSBSerial, true);
    f.controller->setMFDevice(device.get());
    f.controller->sendDebuggingInfo();
    EXPECT_EQ(f.controller->sendMailSheet(), nullptr) << "no panel maker: the report is made, nothing shows";
    devicewindowmakers::makers().debuggingPanel = [](QWidget* window) { return new QDialog(window); };
    f.controller->sendDebuggingInfo();
    QDialog* panel = f.controller->sendMailSheet();
    ASSERT_TRUE(panel && panel->isVisible());
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    EXPECT_EQ(panel->parentWidget(), f.controller->window());
    f.controller->sendMailOK();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(f.controller->createLogFiles(false).isEmpty()) << "the report's archive";

    int made = 0;
    devicewindowmakers::makers().devicePrefsSheet = [&](MFDevice& phone, QWidget* window) {
        EXPECT_EQ(&phone, device.get());
        ++made;
        return new QDialog(window);
    };
    // A sheet already showing: the settings wait for it.
    f.controller->displayTooManyItems({{"missingItems", 2}});
    f.controller->phoneSettings();
    EXPECT_EQ(made, 0);
    f.controller->alertSheet()->defaultButton()->click();
    EXPECT_EQ(made, 1);
    QPointer<QDialog> sheet = f.controller->prefsSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    sheet->done(1);
    runFor(0.1);
    EXPECT_TRUE(sheet.isNull()) << "the ended sheet goes";
    EXPECT_FALSE(f.controller->sheets().isSheetShowing());
    f.controller->setMFDevice(nullptr);
}

} // namespace

namespace {

TEST(DeviceWindowPhoneMenu, TheBluetoothErrorPanelOffersTheSetup)
{
    MenuFixture f;
    f.controller->displayError(54);
    ASSERT_TRUE(f.controller->errorPanel() && f.controller->errorPanel()->isVisible());
    EXPECT_TRUE(f.controller->errorPanelSecondButton()->isVisible());
    EXPECT_TRUE(f.controller->errorPanelText()->text().contains(QStringLiteral("(54)")));
    EXPECT_FALSE(platform::gui::saveGrab(f.controller->errorPanel(), QStringLiteral("devicewindow-error-54")).isEmpty());
    menuXvfbShot(QStringLiteral("devicewindow-error-54"));
    f.controller->errorBT_OK();
}

} // namespace
