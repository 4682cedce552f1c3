#include "platform/bluetooth/BluetoothInquiry.h"
#include "platform/IOReturn.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

using namespace platform;
using testing_support::runFor;
using testing_support::runUntil;

namespace {

const QString kPairedPhone = QStringLiteral("00:1e:75:00:00:01");
const QString kNewPhone = QStringLiteral("00:1e:75:00:00:02");
const QString kHeadset = QStringLiteral("00:1e:75:00:00:03");
const QString kPalmtop = QStringLiteral("00:1e:75:00:00:04");
QString printed(const QString& address)
{
    return BluetoothAddress::fromString(address)->toString();
}
const quint32 kPhoneClass = bluetooth::classOfDevice(bluetooth::kMajorClassPhone, 3);

// What an inquiry's delegate saw, in order.
struct Events : BluetoothInquiryDelegate {
    QStringList log;
    int completes = 0;
    int lastError = 0;
    bool lastAborted = false;
    void deviceInquiryStarted(BluetoothInquiry&) override { log << QStringLiteral("started"); }
    void deviceInquiryDeviceFound(BluetoothInquiry&, const std::shared_ptr<BluetoothDevice>& device) override
    {
        log << QStringLiteral("found %1 \"%2\"").arg(device->addressString(), device->name());
    }
    void deviceInquiryUpdatingDeviceNamesStarted(BluetoothInquiry&, int remaining) override
    {
        log << QStringLiteral("names %1").arg(remaining);
    }
    void deviceInquiryDeviceNameUpdated(BluetoothInquiry&, const std::shared_ptr<BluetoothDevice>& device,
                                        int remaining) override
    {
        log << QStringLiteral("name %1 \"%2\" %3").arg(device->addressString(), device->name()).arg(remaining);
    }
    void deviceInquiryComplete(BluetoothInquiry&, int error, bool aborted) override
    {
        ++completes;
        lastError = error;
        lastAborted = aborted;
        log << QStringLiteral("complete %1 %2").arg(error).arg(aborted);
    }
};

class InquiryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        stack = std::make_shared<BluetoothStackSimulated>();
        stack->addDevice(kPairedPhone, QStringLiteral("KG800"), true, {});
        stack->setClassOfDevice(kPairedPhone, kPhoneClass);
        stack->addDevice(kNewPhone, QStringLiteral("Mia's U8360"), false, {});
        stack->setClassOfDevice(kNewPhone, kPhoneClass);
        stack->setNameLearnedByInquiry(kNewPhone);
        stack->addDevice(kHeadset, QStringLiteral("Headset"), true, {});
        stack->setClassOfDevice(kHeadset, bluetooth::classOfDevice(4, 1));
        stack->addDevice(kPalmtop, QStringLiteral("Palm"), false, {});
        stack->setClassOfDevice(
            kPalmtop, bluetooth::classOfDevice(bluetooth::kMajorClassComputer, bluetooth::kMinorClassComputerHandheld));
        stack->setInquiryTiming(1.0, 5.0);
    }
    std::unique_ptr<BluetoothInquiry> phoneInquiry()
    {
        std::unique_ptr<BluetoothInquiry> inquiry = stack->makeInquiry();
        inquiry->setDelegate(&events);
        inquiry->setSearchCriteria(BluetoothInquiry::kAnyClass, int(bluetooth::kMajorClassPhone),
                                   BluetoothInquiry::kAnyClass);
        inquiry->setUpdateNewDeviceNames(true);
        return inquiry;
    }

    std::shared_ptr<BluetoothStackSimulated> stack;
    Events events;
};

} // namespace

TEST_F(InquiryTest, ClassesPairedOrderAndPower)
{
    auto palm = stack->deviceWithAddressString(kPalmtop);
    EXPECT_EQ(palm->majorDeviceClass(), bluetooth::kMajorClassComputer);
    EXPECT_EQ(palm->minorDeviceClass(), bluetooth::kMinorClassComputerHandheld);
    EXPECT_EQ(stack->deviceWithAddressString(kPairedPhone)->majorDeviceClass(), bluetooth::kMajorClassPhone);

    QStringList paired;
    for (const auto& device : stack->pairedDevices())
        paired << device->addressString();
    EXPECT_EQ(paired, QStringList({printed(kPairedPhone), printed(kHeadset)}))
        << "the stack's order, not the address order";

    EXPECT_EQ(stack->powerState(), bluetooth::kPowerOn);
    stack->setPowered(false);
    EXPECT_EQ(stack->powerState(), bluetooth::kPowerOff);
    EXPECT_NE(stack->makeInquiry()->start(), 0) << "no inquiry with the radio off";
    EXPECT_NE(stack->deviceWithAddressString(kPairedPhone)->openConnection(), 0);
    stack->setHasAdapter(false);
    EXPECT_EQ(stack->powerState(), std::nullopt);
    EXPECT_TRUE(stack->pairedDevices().isEmpty());
    EXPECT_EQ(stack->makeInquiry(), nullptr);
}

TEST_F(InquiryTest, RunReportsFilteredHitsOnceThenLateNamesThenItsEnd)
{
    std::unique_ptr<BluetoothInquiry> inquiry = phoneInquiry();
    ASSERT_EQ(inquiry->start(), 0);
    EXPECT_TRUE(events.log.isEmpty()) << "events never come inside start()";
    ASSERT_TRUE(runUntil([&] { return events.completes > 0; }, 10.0));
    EXPECT_EQ(events.log,
              QStringList({
                  QStringLiteral("started"),
                  QStringLiteral("found %1 \"KG800\"").arg(printed(kPairedPhone)),
                  QStringLiteral("found %1 \"\"").arg(printed(kNewPhone)),
                  QStringLiteral("names 1"),
                  QStringLiteral("name %1 \"Mia's U8360\" 0").arg(printed(kNewPhone)),
                  QStringLiteral("complete 0 0"),
              }))
        << events.log.join(u'\n').toStdString();

    // A second run finds the phones again.
    events.log.clear();
    ASSERT_EQ(inquiry->start(), 0);
    ASSERT_TRUE(runUntil([&] { return events.completes > 1; }, 10.0));
    EXPECT_EQ(events.log.filter(QStringLiteral("found")).size(), 2);
}

TEST_F(InquiryTest, StopAbortsAndAnErrorEndsTheRun)
{
    std::unique_ptr<BluetoothInquiry> inquiry = phoneInquiry();
    ASSERT_EQ(inquiry->start(), 0);
    EXPECT_NE(inquiry->start(), 0) << "one run at a time";
    runFor(0.1);
    EXPECT_EQ(inquiry->stop(), 0);
    runFor(3.0);
    EXPECT_EQ(events.completes, 1);
    EXPECT_TRUE(events.lastAborted);
    EXPECT_EQ(events.log.filter(QStringLiteral("found")).size(), 0) << "nothing after the stop";
    EXPECT_NE(inquiry->stop(), 0);

    stack->failInquiries(kIOReturnTimeout);
    ASSERT_EQ(inquiry->start(), 0);
    ASSERT_TRUE(runUntil([&] { return events.completes > 1; }, 1.0));
    EXPECT_EQ(events.lastError, kIOReturnTimeout);
    EXPECT_FALSE(events.lastAborted);

    // A run whose inquiry goes away says nothing more.
    ASSERT_EQ(inquiry->start(), 0);
    inquiry.reset();
    runFor(6.0);
    EXPECT_EQ(events.completes, 2);
}

TEST_F(InquiryTest, AsynchronousOpenCompletesLater)
{
    auto phone = stack->deviceWithAddressString(kPairedPhone);
    QList<int> statuses;
    ASSERT_EQ(phone->openConnectionAsync([&](int status) { statuses << status; }), 0);
    EXPECT_TRUE(statuses.isEmpty());
    EXPECT_EQ(phone->openConnectionAsync([](int) {}), kIOReturnBusy);
    runFor(0.1);
    EXPECT_EQ(statuses, QList<int>({0}));
    EXPECT_TRUE(phone->isConnected());

    auto away = stack->deviceWithAddressString(QStringLiteral("00:00:00:00:00:09"));
    ASSERT_EQ(away->openConnectionAsync([&](int status) { statuses << status; }), 0);
    runFor(0.1);
    EXPECT_EQ(statuses.last(), bluetooth::kPageTimeout);
}

TEST_F(InquiryTest, DeviceFileCarriesClassesDiscoveryAndPower)
{
    auto fresh = std::make_shared<BluetoothStackSimulated>();
    QString error;
    ASSERT_TRUE(fresh->loadDevices(R"({"powered": false, "devices": [
        {"address": "00:1e:75:00:00:05", "name": "KU990", "class": 5898764, "nameLearnedByInquiry": true,
         "discoverable": false}]})",
                                   &error))
        << error.toStdString();
    auto phone = fresh->deviceWithAddressString(QStringLiteral("00:1e:75:00:00:05"));
    EXPECT_EQ(phone->classOfDevice(), 5898764u);
    EXPECT_EQ(phone->majorDeviceClass(), bluetooth::kMajorClassPhone);
    EXPECT_EQ(phone->name(), QString());
    EXPECT_EQ(fresh->powerState(), bluetooth::kPowerOff);
    EXPECT_FALSE(fresh->loadDevices(R"({"devices": [{"address": "00:1e:75:00:00:06", "class": -3}]})"));
    EXPECT_FALSE(fresh->loadDevices(R"({"devices": [{"address": "00:1e:75:00:00:06", "class": 99999999}]})"));
}
