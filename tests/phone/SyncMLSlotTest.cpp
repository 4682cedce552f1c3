#include "../links/BluetoothPhoneFixture.h"

#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/ObexSyncMLConnection.h"
#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"

#include <optional>

using testing_support::runUntil;

namespace {

const int kSlotCallbackSender = 0;

// The device's own SyncML slot on a phone reached over the simulated
// Bluetooth stack, with phonesim behind its channels.
class SyncMLSlotTest : public BluetoothPhoneFixture {
protected:
    void TearDown() override
    {
        device.reset();
        freeParkedChannel();
        BluetoothPhoneFixture::TearDown();
    }

    MFDevice& makeDevice(const char* protocol)
    {
        const QVariantMap row{{QStringLiteral("Dorvanti.Model"), QStringLiteral("Phone")},
                              {QStringLiteral("Dorvanti.Manufacturer"), QStringLiteral("Maker")},
                              {QStringLiteral("Dorvanti.SyncMLProtocol"), QString::fromLatin1(protocol)}};
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kBluetooth),
                                            std::make_shared<QVariantMap>(connectionDict()), row, nullptr,
                                            MFDevice::Makers());
        return *device;
    }

    // Runs an operation that ends a callback; its status.
    std::optional<int> run(const std::function<int(std::shared_ptr<QVDeviceCallback>)>& start, int* started = nullptr)
    {
        std::optional<int> status;
        const int result = start(QVDeviceCallback::commandObject(
            &kSlotCallbackSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {}));
        if (started)
            *started = result;
        if (result == 0 || result == MFDevice::kServiceOpening)
            runUntil([&] { return status.has_value(); }, 60);
        return status;
    }

    std::unique_ptr<MFDevice> device;
};

} // namespace

TEST_F(SyncMLSlotTest, ProtocolClassGivesTheSlotItsConnectionAndChannel)
{
    addPhone("sonyericsson"); // Dial-up Networking on channel 2, IrMC on 4
    struct Row {
        const char* protocol;
        const char* className; // nullptr: the slot stays empty
        int channel;
    } rows[] = {
        {"Protocol Series 40", "ObexSyncMLConnection", 2},
        {"Protocol Siemens IrMC", "CommonObexIrMCConnection", 4},
        {"Samsung SHP", nullptr, 0}, // its data go through the Samsung AT connection
        {"Protocol LG", nullptr, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.protocol);
        MFDevice& phone = makeDevice(row.protocol);
        auto* connection = dynamic_cast<ObexSyncMLConnection*>(phone.syncMLConnection());
        if (!row.className) {
            EXPECT_EQ(phone.syncMLConnection(), nullptr);
            EXPECT_FALSE(phone.connectionInfo().contains(QStringLiteral("SyncML/IrMC")));
            continue;
        }
        ASSERT_NE(connection, nullptr);
        EXPECT_EQ(connection->className(), QLatin1String(row.className));
        const QVariantMap spec = phone.connectionInfo().value(QStringLiteral("SyncML/IrMC")).toMap();
        EXPECT_EQ(spec.value(QStringLiteral("channel")).toInt(), row.channel);
    }
}

TEST_F(SyncMLSlotTest, GigasetIrMCSessionParksItsChannelAndTheNextSerialJobFreesIt)
{
    addPhone("gigaset"); // its AT commands and IrMC go over the Serial Port channel 1
    MFDevice& phone = makeDevice("Protocol Gigaset");
    auto* connection = dynamic_cast<ObexSyncMLConnection*>(phone.syncMLConnection());
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->className(), QStringLiteral("CommonObexIrMCConnection"));

    int started = 0;
    auto opened = run([&](auto cb) { return phone.requestService(QString::fromLatin1(MFDevice::kServiceSyncML), cb); },
                      &started);
    ASSERT_EQ(started, MFDevice::kServiceOpening);
    ASSERT_EQ(opened, 0);
    EXPECT_TRUE(connection->hasObexConnection());
    EXPECT_EQ(sim->obexServer().lastTarget(), QByteArray("IRMC-SYNC"));

    ASSERT_EQ(run([&](auto cb) { return connection->closeConnection(cb); }), 0);
    ASSERT_NE(parkedChannel(), nullptr);

    // The next job on that link finds the tty free.
    auto serial = run([&](auto cb) { return phone.requestService(QString::fromLatin1(MFDevice::kServiceSerial), cb); },
                      &started);
    EXPECT_EQ(parkedChannel(), nullptr);
    ASSERT_EQ(started, MFDevice::kServiceOpening);
    EXPECT_EQ(serial, 0);
}

TEST_F(SyncMLSlotTest, RequestServiceAnswersOpeningExclusiveAndNoSerialDeviceAndASessionIsHandedOut)
{
    addPhone("sonyericsson");
    MFDevice& phone = makeDevice("Protocol SonyEricsson");
    const QString name = QString::fromLatin1(MFDevice::kServiceSyncML);
    std::optional<int> first;
    EXPECT_EQ(phone.requestService(name,
                                   QVDeviceCallback::commandObject(
                                       &kSlotCallbackSender, [&](QVDeviceCallback& c) { first = c.returnStatus(); }, {})),
              MFDevice::kServiceOpening);
    // A second open while the first runs is refused with exclusive access.
    EXPECT_EQ(phone.requestService(name, QVDeviceCallback::pollingObject()), MFDevice::kServiceExclusive);
    ASSERT_TRUE(runUntil([&] { return first.has_value(); }, 60));
    EXPECT_EQ(*first, 0) << QByteArray(sim->receivedLines().join(" | ")).toStdString();
    EXPECT_TRUE(dynamic_cast<ObexSyncMLConnection*>(phone.syncMLConnection())->isServer());

    // A server session over the switched channel; its release gives the claim back.
    MFDevice::setServerSyncSessionMaker([](DZDeviceConnection&, QVSessionUser*) { return std::make_shared<int>(1); });
    auto* const notifier = reinterpret_cast<QVSessionUser*>(this);
    auto session = phone.requestSyncSession(notifier);
    MFDevice::setServerSyncSessionMaker({});
    ASSERT_NE(session, nullptr);
    EXPECT_TRUE(phone.isSyncMLActive());
    EXPECT_EQ(phone.requestSyncSession(notifier), nullptr);
    auto released = run([&](auto cb) {
        phone.releaseSyncSession(std::move(session), cb);
        return 0;
    });
    EXPECT_EQ(released, 0);
    EXPECT_FALSE(phone.isSyncMLActive());

    // A USB phone whose tty is gone.
    const QVariantMap row{{QStringLiteral("Dorvanti.Model"), QStringLiteral("Phone")},
                          {QStringLiteral("Dorvanti.Manufacturer"), QStringLiteral("Maker")},
                          {QStringLiteral("Dorvanti.SyncMLProtocol"), QStringLiteral("Protocol Series 40")}};
    MFDevice usb(QString::fromLatin1(MFDevice::kUSBSerial),
                 std::make_shared<QVariantMap>(
                     QVariantMap{{QStringLiteral("USB.VendorID"), 1}, {QStringLiteral("USB.ProductID"), 2}}),
                 row, nullptr, MFDevice::Makers());
    ASSERT_NE(usb.syncMLConnection(), nullptr);
    EXPECT_EQ(usb.requestService(name, QVDeviceCallback::pollingObject()), MFDevice::kServiceNoSerialDevice);
}
