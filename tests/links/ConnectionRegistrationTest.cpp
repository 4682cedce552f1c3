#include "BluetoothPhoneFixture.h"
#include "TestLinkOwner.h"

#include "links/CommonSerialConnection.h"
#include "links/LinkCodes.h"
#include "links/MotorolaContactsConnection.h"
#include "links/MotorolaEventsConnection.h"
#include "links/QVDeviceCallback.h"
#include "links/SMSKitAsyncConnection.h"

#include "LinkTestSupport.h"
#include <functional>

namespace {

using platform::BluetoothUuid;
using platform::SdpServiceRecord;

QVariantMap spec(const char* type, int channel)
{
    return {{QStringLiteral("type"), QString::fromLatin1(type)}, {QStringLiteral("channel"), channel}};
}

using Make = std::function<std::unique_ptr<DZDeviceConnection>(MFDeviceLinkOwner&, const QVariantMap&)>;

template <class C>
Make make()
{
    return [](MFDeviceLinkOwner& owner, const QVariantMap& dict) { return std::make_unique<C>(owner, dict); };
}

class ConnectionRegistrationTest : public BluetoothPhoneFixture {};

} // namespace

TEST_F(ConnectionRegistrationTest, ConnectionsRegisterTheirServiceWithTheirChannel)
{
    const QVariantMap usable = connectionDict();
    const QVariantMap unusable{{QStringLiteral("BT.BT_Address"), QStringLiteral("12:34")}};
    struct Case {
        const char* what;
        QList<SdpServiceRecord> records;
        const char* connType;
        QVariantMap dict;
        std::optional<QVariantMap> expected;
    };
    const Case cases[] = {
        {"DUN", {service(0x1101, 2), service(0x1103, 1)}, "Bluetooth", usable, spec("Bluetooth", 1)},
        {"no DUN: Serial Port", {service(0x1101, 2)}, "Bluetooth", usable, spec("Bluetooth", 2)},
        {"neither", {service(0x1105, 9)}, "Bluetooth", usable, spec("Bluetooth", 255)},
        {"unusable address", {service(0x1103, 1)}, "Bluetooth", unusable, std::nullopt},
        {"no address", {service(0x1103, 1)}, "Bluetooth", {}, std::nullopt},
        {"USB", {}, "USB-Serial", {}, spec("USB-Serial", 0)},
        {"other type", {service(0x1103, 1)}, "USB-MassStorage", usable, std::nullopt},
    };
    const std::pair<const char*, Make> connections[] = {
        {"Serial",
         [](MFDeviceLinkOwner& owner, const QVariantMap& dict) {
             return std::make_unique<CommonSerialConnection>(owner, dict, SerialATChannel::PhoneTraits());
         }},
        {"SMSKitAsync", make<SMSKitAsyncConnection>()},
        {"MotoContacts", make<MotorolaContactsConnection>()},
        {"MotoEvents", make<MotorolaEventsConnection>()},
    };
    for (const Case& c : cases) {
        addPhoneWithRecords(c.records);
        for (const auto& [name, makeConnection] : connections) {
            TestLinkOwner owner{QString::fromLatin1(c.connType)};
            const auto connection = makeConnection(owner, c.dict);
            EXPECT_EQ(connection->getConnectionType(), QLatin1String(c.connType));
            if (!c.expected) {
                EXPECT_TRUE(owner.registrations.isEmpty()) << c.what << " " << name;
                continue;
            }
            ASSERT_EQ(owner.registrations.size(), 1) << c.what << " " << name;
            EXPECT_EQ(owner.registrations[0].first, QLatin1String(name)) << c.what;
            EXPECT_EQ(owner.registrations[0].second, *c.expected) << c.what << " " << name;
        }
    }
}

TEST_F(ConnectionRegistrationTest, ExternalConnectionsRunNoJobAndOnlyFlipTheirOpenMark)
{
    TestLinkOwner owner{QStringLiteral("USB-Serial")};
    MotorolaEventsConnection connection(owner, {});
    EXPECT_EQ(connection.executeJob(nullptr), links::kIOReturnUnsupported);
    EXPECT_TRUE(connection.isUSB());
    EXPECT_FALSE(connection.isBluetooth());
    auto opened = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection.openConnection(opened), 0);
    EXPECT_TRUE(connection.hasConnection());
    EXPECT_EQ(connection.openConnection(QVDeviceCallback::pollingObject()), links::kIOReturnExclusiveAccess);
    ASSERT_TRUE(testing_support::runUntil([&] { return !opened->isBusy(); }, 1.0));
    EXPECT_EQ(opened->returnStatus(), 0);
    auto closed = QVDeviceCallback::pollingObject();
    ASSERT_EQ(connection.closeConnection(closed), 0);
    EXPECT_FALSE(connection.hasConnection());
}
