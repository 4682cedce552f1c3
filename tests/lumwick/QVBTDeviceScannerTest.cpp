// The service survey of a Bluetooth phone and the scanner over the simulated
// Bluetooth layer, in virtual time.
#include "VirtualTime.h"

#include "lumwick/OrbitalexWizard.h"
#include "lumwick/QVBTDeviceScanner.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <gtest/gtest.h>

using platform::BluetoothUuid;
using platform::SdpElement;
using platform::SdpServiceRecord;

namespace {

const QString kPhone = QStringLiteral("00:1e:75:00:00:01");
const QString kOther = QStringLiteral("00:1e:75:00:00:02");
const QString kHeadset = QStringLiteral("00:1e:75:00:00:03");

SdpServiceRecord service(quint16 uuid, const QString& name = {})
{
    return SdpServiceRecord::make({BluetoothUuid::uuid16(uuid)}, name, quint8(3));
}

SdpServiceRecord pcSuiteByUuid()
{
    return SdpServiceRecord::make({BluetoothUuid::fromString(QLatin1String(platform::kPCSuiteServiceUuid))}, {},
                                  quint8(14));
}

// A serial-port record whose class list is a text, not a list of UUIDs.
SdpServiceRecord mistyped()
{
    SdpServiceRecord record = service(platform::kSerialPortUuid);
    record.attributes.insert(SdpServiceRecord::kServiceClassIDList, SdpElement::text(QStringLiteral("0x1101")));
    return record;
}

class Survey : public ::testing::Test {
protected:
    void SetUp() override
    {
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        platform::BluetoothStack::setShared(stack);
    }
    void TearDown() override { platform::BluetoothStack::setShared(nullptr); }

    std::shared_ptr<platform::BluetoothStackSimulated> stack;
};

struct Scanned : QVBTDeviceScannerCallback {
    QStringList found;
    int completes = 0;
    QStringList single;
    void pollingDeviceFound(QVBTDeviceScanner&, const QString& address, bool available) override
    {
        found << QStringLiteral("%1 %2").arg(address).arg(available);
    }
    void pollingComplete(QVBTDeviceScanner&) override { ++completes; }
    void pollingDevice(QVBTDeviceScanner&, const QString& address, bool available) override
    {
        single << QStringLiteral("%1 %2").arg(address).arg(available);
    }
};

QString printed(const QString& address)
{
    return platform::BluetoothAddress::fromString(address)->toString();
}

} // namespace

TEST_F(Survey, FlagsFollowTheRecords)
{
    using namespace platform;
    struct Case {
        const char* what;
        QList<SdpServiceRecord> records;
        bool offered, serial, dialup, obex, pcSuite, recordKept;
    };
    const QList<Case> cases = {
        {"serial port", {service(kSerialPortUuid)}, true, true, false, false, false, false},
        {"dial-up", {service(kDialupNetworkingUuid)}, true, false, true, false, false, false},
        {"object push alone", {service(kObexObjectPushUuid)}, false, false, false, false, false, false},
        {"push and file transfer",
         {service(kObexObjectPushUuid), service(kObexFileTransferUuid)},
         true,
         false,
         false,
         true,
         false,
         false},
        {"PC suite by UUID", {pcSuiteByUuid()}, true, false, false, false, true, false},
        {"PC suite by name",
         {service(0x1234, QStringLiteral("Nokia PC Suite"))},
         true,
         false,
         false,
         false,
         true,
         true},
        {"none of them", {service(0x1108), service(kObexObjectPushUuid)}, false, false, false, false, false, false},
        {"mistyped class list", {mistyped()}, false, false, false, false, false, false},
        {"no records", {}, false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        stack->addDevice(kPhone, QStringLiteral("KG800"), true, c.records);
        auto device = stack->deviceWithAddressString(kPhone);
        const std::optional<DZDeviceProperties> p = lumwick::getBTDeviceProperties(*device);
        ASSERT_EQ(p.has_value(), c.offered);
        if (!p)
            continue;
        EXPECT_EQ(p->hasSerialPort(), c.serial);
        EXPECT_EQ(p->hasDialup(), c.dialup);
        EXPECT_EQ(p->hasOBEX(), c.obex);
        EXPECT_EQ(p->hasPCSuite(), c.pcSuite);
        EXPECT_EQ(!p->pcSuiteServiceRecord().isNull(), c.recordKept);
        EXPECT_EQ(p->btAddress(), printed(kPhone));
        EXPECT_EQ(p->btUserName(), QStringLiteral("KG800"));
    }
}

TEST_F(Survey, NamesShowBlanksForControlsAndTheAddressWhenEmpty)
{
    EXPECT_EQ(lumwick::displayName(QStringLiteral("KG\t800\x01"), QStringLiteral("a")), QStringLiteral("KG 800 "));
    EXPECT_EQ(lumwick::displayName(QString(), QStringLiteral("00-1e")), QStringLiteral("00-1e"));
    EXPECT_EQ(lumwick::displayName(QStringLiteral("\n"), QStringLiteral("00-1e")), QStringLiteral("00-1e"));
    stack->addDevice(kPhone, QString(), true, {service(platform::kSerialPortUuid)});
    EXPECT_EQ(lumwick::getBTDeviceProperties(*stack->deviceWithAddressString(kPhone))->btUserName(), printed(kPhone));
}

TEST_F(Survey, ClassesAndAddresses)
{
    stack->addDevice(kPhone, {}, false, {});
    stack->setClassOfDevice(kPhone, platform::bluetooth::classOfDevice(2, 3));
    stack->addDevice(kOther, {}, false, {});
    stack->setClassOfDevice(kOther, platform::bluetooth::classOfDevice(1, 4));
    EXPECT_TRUE(lumwick::isPhone(*lumwick::withNSStringAddress(kPhone)));
    EXPECT_FALSE(lumwick::isComputerHandheld(*lumwick::withNSStringAddress(kPhone)));
    EXPECT_TRUE(lumwick::isComputerHandheld(*lumwick::withNSStringAddress(kOther)));
    EXPECT_FALSE(lumwick::isPhone(*lumwick::withNSStringAddress(kOther)));
    EXPECT_EQ(lumwick::withNSStringAddress(QStringLiteral("not an address")), nullptr);
}

TEST_F(Survey, PairedPropertiesInTheStacksOrderOrNone)
{
    EXPECT_EQ(QVBTDeviceScanner::getPropertiesOfPairedDevices(), std::nullopt);
    stack->addDevice(kOther, QStringLiteral("B"), true, {service(platform::kDialupNetworkingUuid)});
    stack->addDevice(kHeadset, QStringLiteral("H"), true, {service(0x1108)});
    stack->addDevice(kPhone, QStringLiteral("A"), true, {service(platform::kSerialPortUuid)});
    stack->addDevice(QStringLiteral("00:1e:75:00:00:09"), QStringLiteral("N"), false,
                     {service(platform::kSerialPortUuid)});
    const auto paired = QVBTDeviceScanner::getPropertiesOfPairedDevices();
    ASSERT_TRUE(paired);
    ASSERT_EQ(paired->size(), 2);
    EXPECT_EQ(paired->at(0).btUserName(), QStringLiteral("B"));
    EXPECT_EQ(paired->at(1).btUserName(), QStringLiteral("A"));
    EXPECT_EQ(QVBTDeviceScanner::bsdTerminalPortsForDeviceWithAddress(kPhone), std::nullopt);
    EXPECT_EQ(QVBTDeviceScanner::getUUIDForServiceRecord(service(platform::kSerialPortUuid)),
              BluetoothUuid::uuid16(platform::kSerialPortUuid));
}

TEST_F(Survey, PollerReportsEachDeviceOnceThenCompletes)
{
    stack->addDevice(kPhone, QStringLiteral("A"), true, {});
    stack->addDevice(kOther, QStringLiteral("B"), true, {});
    stack->setInReach(kOther, false);
    QVBTDeviceScanner scanner;
    Scanned seen;
    EXPECT_FALSE(scanner.startPolling(&seen)) << "nothing to poll before initPolling";
    scanner.initPolling();
    ASSERT_TRUE(scanner.startPolling(&seen));
    EXPECT_FALSE(scanner.startPolling(&seen)) << "one poll at a time";
    EXPECT_FALSE(scanner.testForAvailability(&seen, kPhone));
    ASSERT_TRUE(testing_support::runUntil([&] { return seen.completes > 0; }, 5.0));
    testing_support::runFor(1.0);
    EXPECT_EQ(seen.completes, 1);
    EXPECT_EQ(seen.found,
              QStringList({printed(kPhone) + QStringLiteral(" 1"), printed(kOther) + QStringLiteral(" 0")}));
    EXPECT_FALSE(stack->deviceWithAddressString(kPhone)->isConnected());
    EXPECT_FALSE(scanner.startPolling(&seen)) << "the list ran out";

    ASSERT_TRUE(scanner.testForAvailability(&seen, kPhone));
    ASSERT_TRUE(testing_support::runUntil([&] { return !seen.single.isEmpty(); }, 5.0));
    EXPECT_EQ(seen.single, QStringList({printed(kPhone) + QStringLiteral(" 1")}));

    EXPECT_TRUE(QVBTDeviceScanner::testForAvailabilityWithAddress(kPhone));
    EXPECT_FALSE(QVBTDeviceScanner::testForAvailabilityWithAddress(kOther));
    EXPECT_EQ(QVBTDeviceScanner::getAvailableDevices(), QStringList({printed(kPhone)}));
}
