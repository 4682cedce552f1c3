// The device-selection pane with the Bluetooth expert scheduler over the
// simulated Bluetooth stack and a simulated USB phone, in virtual time.
#include "LogRecorder.h"
#include "VirtualTime.h"

#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/BluetoothExpertScheduler.h"
#include "lumwick/DeviceSelectionController.h"
#include "lumwick/ModelQuery.h"
#include "lumwick/QVModelDatabase.h"
#include "lumwick/QVUSBExpert.h"
#include "platform/IOReturn.h"
#include "platform/UsbRegistrySimulated.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "platform/gui/TestArtifacts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

const QString kLG = QStringLiteral("00:1e:75:11:22:33");
const QString kStale = QStringLiteral("00:1e:75:44:55:66");
const QString kFound = QStringLiteral("00:1e:75:77:88:99");
const quint32 kPhoneClass = platform::bluetooth::classOfDevice(platform::bluetooth::kMajorClassPhone, 3);

struct SelectionHost : QVWizardCallbacks, QVWizardNextPaneSwitch {
    std::shared_ptr<DeviceExpert> expert;
    int expertsHanded = 0;
    bool nextEnabled = false;
    int nexts = 0;
    void setDevice(std::shared_ptr<void>) override { }
    std::shared_ptr<void> device() const override { return nullptr; }
    void setDeviceExpert(std::shared_ptr<DeviceExpert> e) override
    {
        expert = std::move(e);
        ++expertsHanded;
    }
    std::shared_ptr<DeviceExpert> deviceExpert() const override { return expert; }
    bool isValid(const QVariantMap& p) override { return p.value("Wizard.QuorvalisDeviceID").toInt() > 0; }
    void goToNextPane() override { ++nexts; }
    QImage getStatusIcon(int) override { return {}; }
    void enableChangeToNextPane(bool enable) override { nextEnabled = enable; }
};

// Knows the LG phone over Bluetooth and the USB phone over its tty.
struct Query : ModelQuery {
    QStringList askedBT;
    int qvIDForBTAddress(const QString& address, int) override
    {
        askedBT << address;
        return platform::BluetoothAddress::fromString(address) == platform::BluetoothAddress::fromString(kLG) ? 15320
                                                                                                              : -1;
    }
    int qvIDForUSBAddress(const QString&) override { return 15275; }
    QString modelNameForQVID(int id) override
    {
        return id == 15320 ? QStringLiteral("KU990") : QStringLiteral("KE850");
    }
    QString deviceTypeForQVID(int) override { return QStringLiteral("lg"); }
};

QList<platform::SdpServiceRecord> serialPort()
{
    return {
        platform::SdpServiceRecord::make({platform::BluetoothUuid::uuid16(platform::kSerialPortUuid)}, {}, quint8(1))};
}

class Selection : public ::testing::Test {
protected:
    void SetUp() override
    {
        logRecorder::clear();
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        stack->addDevice(kLG, QStringLiteral("Anna's KU990"), true, serialPort());
        stack->setClassOfDevice(kLG, kPhoneClass);
        stack->addDevice(kStale, QStringLiteral("Old phone"), true, serialPort());
        stack->setClassOfDevice(kStale, kPhoneClass);
        stack->setStalePairing(kStale);
        stack->addDevice(kFound, QStringLiteral("Mia's phone"), false, {});
        stack->setClassOfDevice(kFound, kPhoneClass);
        stack->setNameLearnedByInquiry(kFound);
        stack->setInquiryTiming(1.0, 5.0);
        platform::BluetoothStack::setShared(stack);

        registry = std::make_shared<platform::UsbRegistrySimulated>();
        platform::UsbDevice modem;
        modem.location = QStringLiteral("1-1");
        modem.vendorId = 0x1004;
        modem.productId = 0x6001;
        modem.vendorName = QStringLiteral("LG Electronics");
        modem.productName = QStringLiteral("LG USB Modem");
        modem.ttyPaths = {QStringLiteral("/dev/ttyACM0")};
        registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);
        platform::UsbRegistry::setShared(registry);
        QVModelDatabase::setDefaultPath(QStringLiteral("/nonexistent/quor-uncrypted.sqlite"));
        ModelQuery::setShared(&query);

        pane = std::make_unique<DeviceSelectionController>();
        ASSERT_TRUE(pane->initWithDefaultNib());
        pane->setMainController(&host);
        pane->wizardPaneView()->resize(478, 318);
    }
    void TearDown() override
    {
        pane.reset();
        ModelQuery::setShared(nullptr);
        QVModelDatabase::setDefaultPath(QString());
        platform::UsbRegistry::setShared(nullptr);
        platform::BluetoothStack::setShared(nullptr);
    }
    void start()
    {
        pane->prepareForDisplay();
        pane->startProcessing();
    }
    QStringList rowNames() const
    {
        QStringList names;
        for (const auto& expert : pane->subviewControllers()) {
            if (auto* usb = dynamic_cast<QVUSBExpert*>(expert.get()))
                names << QStringLiteral("usb:") + usb->gettingUSBName();
            else if (auto* bt = dynamic_cast<BluetoothDeviceExpert*>(expert.get()))
                names << QStringLiteral("bt:") + bt->btNameString();
        }
        return names;
    }
    std::shared_ptr<BluetoothDeviceExpert> btRow(const QString& address) const
    {
        return BluetoothExpertScheduler::sharedScheduler().findDeviceExpertForAddress(address);
    }
    int rowOf(const std::shared_ptr<BluetoothDeviceExpert>& expert) const
    {
        return int(pane->subviewControllers().indexOf(expert));
    }

    std::shared_ptr<platform::BluetoothStackSimulated> stack;
    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    SelectionHost host;
    Query query;
    std::unique_ptr<DeviceSelectionController> pane;
};

} // namespace

TEST_F(Selection, ListsUsbThenPairedThenFoundPhonesAndChecksThePairedOnes)
{
    start();
    EXPECT_EQ(
        rowNames(),
        QStringList({QStringLiteral("usb:KE850"), QStringLiteral("bt:Anna's KU990"), QStringLiteral("bt:Old phone")}));
    ASSERT_TRUE(testing_support::runUntil([&] { return pane->subviewControllers().size() == 4; }, 30.0));
    testing_support::runFor(3.0);
    EXPECT_EQ(rowNames().last(), QStringLiteral("bt:Mia's phone")) << "the found phone's late name";
    EXPECT_EQ(pane->subviewControllers().size(), 4) << "paired phones found again get no second row";

    auto lg = btRow(kLG);
    auto stale = btRow(kStale);
    EXPECT_TRUE(lg->expertFinished());
    EXPECT_EQ(lg->properties()->deviceNumber(), 15320);
    EXPECT_EQ(lg->statusTextString(), QStringLiteral("Ready"));
    EXPECT_TRUE(stale->properties()->deviceHasStalePairing());
    EXPECT_EQ(stack->pairingRemovalCount(kStale), 1);
    EXPECT_EQ(query.askedBT.size(), 1) << "only the working pairing is asked for its model";

    pane->selectRow(rowOf(lg));
    EXPECT_TRUE(host.nextEnabled);
    EXPECT_EQ(host.expert, lg);
    pane->selectRow(0);
    EXPECT_TRUE(host.nextEnabled) << "the USB phone named over its tty";

    platform::gui::saveGrab(pane->wizardPaneView(), QStringLiteral("device-selection"));

    // Leaving hands the selected expert over once more, then nothing.
    pane->selectRow(rowOf(lg));
    const int before = host.expertsHanded;
    pane->stopProcessing();
    EXPECT_EQ(host.expert, lg);
    EXPECT_EQ(host.expertsHanded, before + 1);
    EXPECT_TRUE(pane->subviewControllers().isEmpty());
    const int inquiries = stack->inquiryCount();
    testing_support::runFor(20.0);
    EXPECT_EQ(stack->inquiryCount(), inquiries) << "no inquiry after the pane was left";
}

TEST_F(Selection, LeavingWithoutSelectionHandsNone)
{
    start();
    host.expert = btRow(kLG);
    pane->stopProcessing();
    EXPECT_EQ(host.expert, nullptr);
}

TEST_F(Selection, SelectedUncheckedPhoneIsCheckedFirstAndCannotGoOnBefore)
{
    const QString third = QStringLiteral("00:1e:75:aa:bb:cc");
    stack->addDevice(third, QStringLiteral("Third"), true, serialPort());
    stack->setStalePairing(kStale, false);
    start();
    // The first paired phone is on its way; the selected third comes next.
    pane->selectRow(rowOf(btRow(third)));
    EXPECT_FALSE(host.nextEnabled);
    pane->doubleAction();
    EXPECT_EQ(host.nexts, 0) << "a row whose check has not finished";
    ASSERT_TRUE(testing_support::runUntil([&] { return query.askedBT.size() == 3; }, 60.0));
    QList<platform::BluetoothAddress> order;
    for (const QString& address : std::as_const(query.askedBT))
        order << *platform::BluetoothAddress::fromString(address);
    EXPECT_EQ(order,
              QList<platform::BluetoothAddress>({*platform::BluetoothAddress::fromString(kLG),
                                                 *platform::BluetoothAddress::fromString(third),
                                                 *platform::BluetoothAddress::fromString(kStale)}));
}

TEST_F(Selection, KeyboardMovesAndReturnGoesOn)
{
    start();
    ASSERT_TRUE(testing_support::runUntil([&] { return btRow(kLG)->expertFinished(); }, 30.0));
    QTableView* table = pane->subviewTableView();
    ASSERT_NE(table, nullptr);
    pane->selectRow(0);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(table, &down);
    EXPECT_EQ(pane->selectedDeviceExpert(), btRow(kLG));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(table, &enter);
    EXPECT_EQ(host.nexts, 1);
}

TEST_F(Selection, WithoutPairedPhonesTheInquiryStartsAtOnce)
{
    stack = std::make_shared<platform::BluetoothStackSimulated>();
    stack->addDevice(kFound, QStringLiteral("Mia's phone"), false, {});
    stack->setClassOfDevice(kFound, kPhoneClass);
    platform::BluetoothStack::setShared(stack);
    start();
    testing_support::runFor(0.1);
    EXPECT_EQ(stack->inquiryCount(), 1);
    testing_support::runFor(2.0);
    EXPECT_EQ(rowNames().last(), QStringLiteral("bt:Mia's phone"));
}

TEST_F(Selection, InquiryEndsDecideWhenTheNextStarts)
{
    stack = std::make_shared<platform::BluetoothStackSimulated>();
    stack->setInquiryTiming(1.0, 5.0);
    platform::BluetoothStack::setShared(stack);
    stack->failInquiries(platform::kIOReturnTimeout, 1);
    start();
    testing_support::runFor(0.1);
    EXPECT_TRUE(logRecorder::contains(QStringLiteral("device inquiry ended with error code 0xe00002d6")));
    testing_support::runFor(1.8);
    EXPECT_EQ(stack->inquiryCount(), 1) << "not before 2 s after an error";
    testing_support::runFor(0.2);
    EXPECT_EQ(stack->inquiryCount(), 2);
    testing_support::runFor(5.0 + 0.3);
    EXPECT_EQ(stack->inquiryCount(), 2) << "not before 0.5 s after a normal end";
    testing_support::runFor(0.3);
    EXPECT_EQ(stack->inquiryCount(), 3);

    BluetoothExpertScheduler& scheduler = BluetoothExpertScheduler::sharedScheduler();
    scheduler.inquiry()->stop();
    testing_support::runFor(10.0);
    EXPECT_TRUE(logRecorder::contains(QStringLiteral("Inquiry aborted")));
    EXPECT_EQ(stack->inquiryCount(), 3) << "an aborted inquiry is not started again";
}

TEST_F(Selection, BluetoothOffLeavesTheUsbRows)
{
    stack->setPowered(false);
    start();
    testing_support::runFor(5.0);
    EXPECT_EQ(rowNames(), QStringList({QStringLiteral("usb:KE850")}));
    EXPECT_EQ(stack->inquiryCount(), 0);
    stack->setHasAdapter(false);
    pane->stopProcessing();
    start();
    EXPECT_EQ(rowNames(), QStringList({QStringLiteral("usb:KE850")}));
}

TEST_F(Selection, PairedPhoneWhoseServicesWereNeverReadJoinsTheCheckedRows)
{
    const QString fresh = QStringLiteral("00:1e:75:dd:ee:ff");
    stack->addDevice(fresh, QStringLiteral("New pairing"), true, serialPort(), false);
    stack->setClassOfDevice(fresh, kPhoneClass);
    start();
    EXPECT_EQ(rowNames().filter(QStringLiteral("New pairing")).size(), 0) << "its services are being read";
    const bool done = testing_support::runUntil([&] { return btRow(fresh) && btRow(fresh)->expertFinished(); }, 30.0);
    ASSERT_TRUE(done) << rowNames().join(u',').toStdString() << " sdp " << stack->sdpQueryCount(fresh) << " asked "
                      << query.askedBT.join(u',').toStdString();
    EXPECT_TRUE(BluetoothExpertScheduler::sharedScheduler().pairedDeviceExperts().contains(btRow(fresh)));
    EXPECT_EQ(stack->sdpQueryCount(fresh), 1);
    EXPECT_TRUE(query.askedBT.filter(QStringLiteral("DD"), Qt::CaseInsensitive).size() == 1) << "it was checked";
    testing_support::runFor(10.0);
    EXPECT_EQ(rowNames().filter(QStringLiteral("New pairing")).size(), 1) << "the inquiry adds no second row";
}

TEST_F(Selection, APaneThatGoesAwayMidCheckTakesItsExpertsAlong)
{
    start();
    ASSERT_TRUE(testing_support::runUntil(
        [&] { return btRow(kLG) && btRow(kLG)->progressIndicator() && !query.askedBT.isEmpty(); }, 30.0, 0.05));
    std::weak_ptr<BluetoothDeviceExpert> lg = btRow(kLG);
    pane.reset();
    EXPECT_TRUE(lg.expired());
    EXPECT_TRUE(BluetoothExpertScheduler::sharedScheduler().invalidExperts().isEmpty());
    testing_support::runFor(30.0); // nothing left to fire at the pane gone
}
