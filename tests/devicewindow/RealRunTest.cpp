// The phone window against the phone simulator: a new "lg" phone on its
// pseudo-terminal (USB serial), a phone whose serial answer is an error, and
// one that goes away. Real time: the phone is a real thread.
#include "../links/UsbPhoneFixture.h"
#include "DeviceWindowTestSupport.h"

#include "DeviceDBTestSupport.h"
#include "GuiGapProbe.h"
#include "IdentificationScripts.h"
#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "devicewindow/ActionMasterPlace.h"
#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/queue/ActionMasterTable.h"
#include "devicewindow/queue/BlackErrorWindow.h"
#include "foundation/NamedLog.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/TarnexAlertSheet.h"
#include "phonejobs/ActionBatteryCheck.h"
#include "phonejobs/ActionDialNumber.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QProcess>
#include <QProgressBar>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include "GuiGapLimit.h"

namespace {

using namespace devicewindow_tests;

// A picture of the grabbed widget, and under a real X server (when
// MARVESTO_XVFB_SHOTS names a folder) one of the whole screen by xwd.
void takePictures(QWidget* widget, const QString& name, double settle = 0.4)
{
    testing_support::runFor(settle);
    EXPECT_FALSE(platform::gui::saveGrab(widget, name).isEmpty()) << name.toStdString();
    const QString folder = qEnvironmentVariable("MARVESTO_XVFB_SHOTS");
    if (!folder.isEmpty())
        QProcess::execute(QStringLiteral("xwd"),
                          {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-out"),
                           folder + QLatin1Char('/') + name + QStringLiteral(".xwd")});
}

class RealRunTest : public UsbPhoneFixture {
protected:
    void SetUp() override
    {
        UsbPhoneFixture::SetUp();
        markXT();
        platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
        const QString path = buildTestDeviceDB(
            QStringLiteral("device-window"),
            QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol, "
                           "supportsTarnexLG, USB_Vendor, PS_USB_Model) VALUES ('20001', 'LG+KU990', 'KU990', 'LG', "
                           "'lg', 1, 4100, 24576);"
                           "INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol) "
                           "VALUES ('20003', 'Unknown+Unknown', 'Unknown', 'Unknown', 'generic');"));
        qvDeviceDB::setDefaultDatabasePath(path);
        qvDeviceDB::releaseSharedDeviceDB();
        controller = std::make_unique<DeviceWindowController>(&host);
        controller->window()->resize(720, 480);
        controller->showWindow();
    }
    void TearDown() override
    {
        controller->setMFDevice(nullptr);
        controller.reset();
        device.reset();
        platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
        UsbPhoneFixture::TearDown();
    }
    // The phone without a serial number on its USB descriptor: only the
    // phone itself could tell it.
    void attachPhoneWithoutUsbSerial()
    {
        attachPhone("lg");
        registry->clear();
        platform::UsbDevice modem;
        modem.location = QStringLiteral("1-1");
        modem.vendorId = kVendor;
        modem.productId = kProduct;
        modem.ttyPaths = {sim->slavePath()};
        registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);
    }
    QVariantMap wizard() const
    {
        QVariantMap result = wizDict();
        result.insert(QStringLiteral("portName"), sim->slavePath());
        result.insert(QStringLiteral("Wizard.QuorvalisDeviceID"), 20001);
        return result;
    }

    RecordingHost host;
    std::unique_ptr<DeviceWindowController> controller;
    std::shared_ptr<MFDevice> device;
};

TEST_F(RealRunTest, ANewLGPhoneOpensItsWindowWithoutStallingTheGUI)
{
    attachPhone("lg");
    testing_support::GuiGapProbe probe;
    device = controller->openFromDeviceDictionary(wizard(), std::nullopt, QStringLiteral("USB-Serial"));
    ASSERT_TRUE(device) << xtLines().join(QLatin1Char('\n')).toStdString();
    probe.stop();
    std::printf("largest GUI-thread gap while the window opened: %lld ms\n", static_cast<long long>(probe.longest()));
    EXPECT_LE(probe.longest(), testing_support::kGuiGapLimitMs) << "the GUI thread went " << probe.longest() << " ms without a tick";
    EXPECT_EQ(controller->getMFDevice(), device.get());
    const QVariantMap dict = *device->mDeviceDict();
    EXPECT_EQ(dict.value("Common.qvDeviceID"), QStringLiteral("20001"));
    EXPECT_EQ(dict.value("Common.LastConnectionType"), QStringLiteral("USB-Serial"));
    EXPECT_EQ(dict.value("USB.PortName"), sim->slavePath());
    EXPECT_EQ(dict.value("BT.DeviceChannel"), QStringLiteral("255"));
    EXPECT_EQ(dict.value("Common.AutoConnect"), 0);
    EXPECT_EQ(dict.value("Common.AutoConnect").typeId(), QMetaType::Int);
    EXPECT_FALSE(dict.value("Common.SerialNo").toString().isEmpty());
    EXPECT_TRUE(host.calls.contains(QStringLiteral("connected? %1 1").arg(dict.value("Common.SerialNo").toString())));
    auto* connection = controller->window()->findChild<QLabel*>(QStringLiteral("summaryConnection"));
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->text(), QStringLiteral("Connected over USB"));

    device->setLastBatteryValue({0, 70});
    testing_support::runFor(0.6);
    EXPECT_GE(controller->window()->batteryLevel(), 0);
    EXPECT_FALSE(platform::gui::saveGrab(controller->window(), QStringLiteral("devicewindow-live")).isEmpty());
    controller->overlay().doShowBusyOverlayCancel(true, 0, nullptr, [] {});
    controller->doProgressBusyOverlayAndDisplay(40);
    controller->doProgressBusyMessage(QStringLiteral("Reading the phone"));
    testing_support::runFor(0.1);
    EXPECT_FALSE(platform::gui::saveGrab(controller->window(), QStringLiteral("devicewindow-overlay")).isEmpty());
    controller->overlay().closeOverlayNow();
}

TEST_F(RealRunTest, AnAlreadyConnectedPhoneMakesNoSecondWindow)
{
    attachPhone("lg");
    host.connectedSerials << QStringLiteral("*");
    // The first question tells the serial number; the second open finds it
    // connected.
    device = controller->openFromDeviceDictionary(wizard(), std::nullopt, QStringLiteral("USB-Serial"));
    ASSERT_TRUE(device);
    const QString serial = device->mDeviceDict()->value("Common.SerialNo").toString();
    controller->setMFDevice(nullptr);
    device.reset();
    host.connectedSerials << serial;
    EXPECT_EQ(controller->openFromDeviceDictionary(wizard(), std::nullopt, QStringLiteral("USB-Serial")), nullptr);
    EXPECT_EQ(controller->getMFDevice(), nullptr);
}

TEST_F(RealRunTest, APhoneWithoutSerialNumberShowsError55)
{
    attachPhoneWithoutUsbSerial();
    ASSERT_TRUE(phonesim::IdentificationScripts::apply(*sim, QStringLiteral("error-serial")));
    QVariantMap result = wizard();
    result.remove(QStringLiteral("serialNumber")); // only the phone could tell it
    EXPECT_EQ(controller->openFromDeviceDictionary(result, std::nullopt, QStringLiteral("USB-Serial")), nullptr);
    EXPECT_EQ(controller->lastError(), 55);
    ASSERT_TRUE(controller->errorPanel() && controller->errorPanel()->isVisible());
    EXPECT_TRUE(controller->errorPanelText()->text().endsWith(QStringLiteral("(55).")));
    EXPECT_EQ(xtLines().filter(QStringLiteral("### makeDeviceDictionary returned nil")).size(), 1);
    EXPECT_EQ(controller->getMFDevice(), nullptr);
    testing_support::runFor(0.1);
    EXPECT_FALSE(
        platform::gui::saveGrab(controller->window(), QStringLiteral("devicewindow-error-55-window")).isEmpty());
    controller->errorBT_OK();
}

TEST_F(RealRunTest, APhoneThatGoesAwayOpensNothing)
{
    attachPhoneWithoutUsbSerial();
    QVariantMap result = wizard();
    result.remove(QStringLiteral("serialNumber"));
    sim.reset(); // the phone is gone before it answers
    EXPECT_EQ(controller->openFromDeviceDictionary(result, std::nullopt, QStringLiteral("USB-Serial")), nullptr);
    EXPECT_EQ(controller->getMFDevice(), nullptr);
    EXPECT_EQ(xtLines().filter(QStringLiteral("### makeDeviceDictionary returned nil")).size(), 1);
    if (controller->errorPanel())
        controller->errorBT_OK();
    // The identifier lets go once its port's close has run.
    testing_support::runFor(2.0);
}

// An unplugged phone while its window is open: the phone says so once (the
// main window goes back to the phone list on it); the window stays with its
// phone, as only a died job session closes it, and asks nothing.
TEST_F(RealRunTest, AnUnpluggedPhoneIsReportedOnceAndItsWindowStays)
{
    attachPhone("lg");
    device = controller->openFromDeviceDictionary(wizard(), std::nullopt, QStringLiteral("USB-Serial"));
    ASSERT_TRUE(device);
    device->startHeartBeat();
    testing_support::runFor(0.6);
    int disconnected = 0;
    int died = 0;
    auto& center = platform::NotificationCenter::defaultCenter();
    const auto gone = center.addObserver(this, QStringLiteral("kNotifyMobileDeviceDisconnected"), device.get(),
                                         [&](const platform::Notification&) { ++disconnected; });
    const auto dead = center.addObserver(this, QStringLiteral("NotifySessionDiedError"), nullptr,
                                         [&](const platform::Notification&) { ++died; });
    registry->clear();
    sim.reset();
    testing_support::runFor(1.5);
    center.removeObserver(gone);
    center.removeObserver(dead);
    EXPECT_EQ(disconnected, 1);
    EXPECT_EQ(died, 0);
    EXPECT_FALSE(controller->sessionDidDied());
    EXPECT_EQ(controller->getMFDevice(), device.get());
    EXPECT_TRUE(controller->window()->isVisible());
    EXPECT_FALSE(controller->alertSheet() && controller->alertSheet()->isVisible());
}

TEST_F(RealRunTest, ThePhonesJobsShowInTheQueueAndAFailedOneStaysRed)
{
    attachPhone("lg");
    controller->window()->resize(760, 560);
    device = controller->openFromDeviceDictionary(wizard(), std::nullopt, QStringLiteral("USB-Serial"));
    ASSERT_TRUE(device);
    testing_support::runFor(0.5);
    DeviceWindowCenters* centers = controller->centers();
    ActionMasterHdlr* queue = controller->actionMasterHdlr();
    ASSERT_NE(queue, nullptr);
    ASSERT_EQ(centers->currentToolView(), centers->historyView());
    EXPECT_EQ(centers->historyView()->actionPlace()->actionMaster(), queue);
    for (const QString& center : {DeviceToolbar::kMediaCenter, DeviceToolbar::kOrganizer}) {
        centers->switchToNamedCenter(center);
        EXPECT_EQ(centers->curToolViewName(), center);
        takePictures(controller->window(), QStringLiteral("devicewindow-real-") + DeviceToolbar::itemName(center));
    }
    centers->switchToNamedCenter(DeviceToolbar::kBackup);
    EXPECT_EQ(centers->historyView()->actionPlace()->actionMaster(), queue);

    // Both jobs show at once; the first runs, the second waits for it.
    sim->holdAnswersTo("+CBC");
    const auto battery = ActionDUNServices::allocActionDUNServices<ActionBatteryCheck>(nullptr, QVariant());
    const auto dial = ActionDialNumber::allocActionDialNumber(QStringLiteral("5550100"));
    for (const std::shared_ptr<QVAction>& job : {std::shared_ptr<QVAction>(battery), std::shared_ptr<QVAction>(dial)}) {
        ASSERT_TRUE(device->addAction(job));
        EXPECT_TRUE(controller->addFeedBackToMaster(job));
    }
    EXPECT_EQ(queue->numberOfRows(), 2);
    takePictures(controller->window(), QStringLiteral("devicewindow-real-queue-running"), 0.3);
    EXPECT_TRUE(controller->actionJobsScheduled());

    // The phone goes away: the dial (which keeps no red row) leaves, the
    // check fails and stays as a red row.
    sim.reset();
    ActionMasterView* red = nullptr;
    EXPECT_TRUE(testing_support::runUntil(
        [&] {
            red = queue->table()->rowViewOf(battery.get());
            return red && red->isInErrorMod() && queue->numberOfRows() == 1;
        },
        60.0));
    ASSERT_TRUE(red && red->isInErrorMod());
    EXPECT_FALSE(queue->actionJobsScheduled()) << "only a red row left";
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(red, &enter);
    BlackErrorWindow* hover = queue->table()->errorWindow();
    EXPECT_TRUE(hover->isVisible());
    EXPECT_FALSE(hover->displayErrText()->text().isEmpty());
    takePictures(controller->window(), QStringLiteral("devicewindow-real-queue-red"));
    takePictures(hover, QStringLiteral("devicewindow-real-queue-hover"));
    red->doCancel();
    EXPECT_TRUE(testing_support::runUntil([&] { return queue->numberOfRows() == 0; }, 5.0));
}

} // namespace
