#include "platform/IOReturn.h"
#include "platform/bluetooth/BluetoothStackBlueZ.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include "TestFiles.h"
#include "VirtualTime.h"

#include <QBluetoothServiceInfo>
#include <QBluetoothSocket>
#include <QBluetoothUuid>
#include <QDir>
#include <QSize>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace platform;

namespace {

const QString kPhone = QStringLiteral("00:12:34:56:78:9a");

SdpServiceRecord record16(quint16 uuid, std::optional<quint8> channel, const QString& name = {})
{
    return SdpServiceRecord::make({BluetoothUuid::uuid16(uuid)}, name, channel);
}

SdpServiceRecord record128(const char* uuid, std::optional<quint8> channel, const QString& name = {})
{
    return SdpServiceRecord::make({BluetoothUuid::fromString(QLatin1String(uuid))}, name, channel);
}

// Events of one channel, as its delegate saw them.
struct Recorder : RfcommChannelDelegate {
    QByteArray data;
    QList<int> opens;
    int closes = 0;
    QList<std::pair<quint64, int>> writes;
    void rfcommChannelData(RfcommChannel&, const QByteArray& d) override { data += d; }
    void rfcommChannelOpenComplete(RfcommChannel&, int status) override { opens.append(status); }
    void rfcommChannelClosed(RfcommChannel&) override { ++closes; }
    void rfcommChannelWriteComplete(RfcommChannel&, quint64 reference, int status) override
    {
        writes.append({reference, status});
    }
};

class SimulatedStackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        stack = std::make_shared<BluetoothStackSimulated>();
        BluetoothStack::setShared(stack);
    }
    void TearDown() override
    {
        BluetoothStack::setShared(nullptr);
        for (int fd : peers)
            ::close(fd);
    }

    // The phone behind channel answers on a socket pair; the test holds the
    // phone's end.
    void connectChannel(quint8 channel)
    {
        stack->setChannelConnector(kPhone, channel, [this] {
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
                return -1;
            peers.append(pair[1]);
            return pair[0];
        });
    }
    QByteArray readPeer(int size)
    {
        QByteArray bytes(size, '\0');
        qsizetype done = 0;
        while (done < size) {
            const ssize_t n = ::read(peers.last(), bytes.data() + done, size_t(size - done));
            if (n <= 0)
                break;
            done += n;
        }
        return bytes.left(done);
    }

    std::shared_ptr<BluetoothDevice> phone() { return stack->deviceWithAddressString(kPhone); }

    std::shared_ptr<BluetoothStackSimulated> stack;
    QList<int> peers;
};

} // namespace

TEST_F(SimulatedStackTest, LookupsFallBackAsPhonesNeedIt)
{
    struct Case {
        const char* what;
        QList<SdpServiceRecord> records;
        quint8 dun, serial, push, pcSuite, syncML, pcSuiteOrFTP, withUuid1105;
    };
    const SdpServiceRecord serial = record16(0x1101, 2);
    const SdpServiceRecord dun = record16(0x1103, 1);
    const SdpServiceRecord ftp = record16(0x1106, 10);
    const SdpServiceRecord push = record16(0x1105, 9);
    const SdpServiceRecord pcSuite = record128(kPCSuiteServiceUuid, 15);
    const SdpServiceRecord syncML = record128(kSyncMLClientUuid, 11);
    const Case cases[] = {
        {"everything", {serial, dun, ftp, push, pcSuite, syncML}, 1, 2, 9, 15, 11, 15, 9},
        {"no DUN", {serial, ftp}, 2, 2, 255, 255, 255, 10, 2},
        {"neither DUN nor serial", {ftp}, 255, 255, 255, 255, 255, 10, 255},
        {"DUN without a channel", {record16(0x1103, std::nullopt), serial}, 2, 2, 255, 255, 255, 255, 2},
        {"nothing", {}, 255, 255, 255, 255, 255, 255, 255},
    };
    for (const Case& c : cases) {
        stack->addDevice(kPhone, QStringLiteral("Phone"), true, c.records);
        const BluetoothDevice& device = *phone();
        EXPECT_EQ(dunChannel(device), c.dun) << c.what;
        EXPECT_EQ(serialPortChannel(device), c.serial) << c.what;
        EXPECT_EQ(obexObjectPushChannel(device), c.push) << c.what;
        EXPECT_EQ(nokiaPCSuiteChannel(device), c.pcSuite) << c.what;
        EXPECT_EQ(syncMLChannel(device), c.syncML) << c.what;
        EXPECT_EQ(pcSuiteOrFTPChannel(device), c.pcSuiteOrFTP) << c.what;
        EXPECT_EQ(channelWithUUID(device, 0x1105), c.withUuid1105) << c.what;
    }
}

TEST_F(SimulatedStackTest, PCSuiteSerialIsANamedSerialPortRecord)
{
    // Named "Nokia PC Suite", first UUID the Serial Port one: served.
    stack->addDevice(kPhone, QString(), false,
                     {record16(0x1101, 3, QStringLiteral("COM 1")),
                      record16(0x1101, 14, QStringLiteral("Nokia PC Suite"))});
    EXPECT_EQ(nokiaPCSuiteChannelOrPCSuiteSerial(*phone()), 14);
    // The same name over another service, or without a channel: not served.
    stack->addDevice(kPhone, QString(), false,
                     {record16(0x1103, 4, QStringLiteral("Nokia PC Suite")),
                      record16(0x1101, std::nullopt, QStringLiteral("Nokia PC Suite"))});
    EXPECT_EQ(nokiaPCSuiteChannelOrPCSuiteSerial(*phone()), kNoRfcommChannel);
    // The PC-suite service comes first.
    stack->addDevice(kPhone, QString(), false,
                     {record16(0x1101, 14, QStringLiteral("Nokia PC Suite")), record128(kPCSuiteServiceUuid, 15)});
    EXPECT_EQ(nokiaPCSuiteChannelOrPCSuiteSerial(*phone()), 15);
}

TEST(QuorBluetoothExtensionsTest, FirstUuidOfARecord)
{
    SdpServiceRecord record;
    record.attributes.insert(0x0000, SdpElement::unsignedInt(0x10000, 4));
    EXPECT_FALSE(getUUIDForServiceRecord(record));
    // A sequence or alternative gives the first UUID directly inside it.
    SdpElement alternative = SdpElement::sequence(
        {SdpElement::text(QStringLiteral("x")), SdpElement::uuid(BluetoothUuid::uuid16(0x1106))});
    alternative.type = SdpElement::Alternative;
    record.attributes.insert(0x0003, alternative);
    EXPECT_EQ(getUUIDForServiceRecord(record), BluetoothUuid::uuid16(0x1106));
    record.attributes.insert(0x0001, SdpElement::sequence({SdpElement::uuid(BluetoothUuid::uuid16(0x1101))}));
    EXPECT_EQ(getUUIDForServiceRecord(record), BluetoothUuid::uuid16(0x1101));
    // A UUID attribute of its own counts as well, in attribute order.
    record.attributes.insert(0x0000, SdpElement::uuid(BluetoothUuid::uuid16(0x1103)));
    EXPECT_EQ(getUUIDForServiceRecord(record)->description(), QLatin1String("<1103>"));
}

TEST_F(SimulatedStackTest, DeviceForAddressNeedsAUsableAddress)
{
    for (const QString& bad : {QString(), QStringLiteral(""), QStringLiteral("12:34")})
        EXPECT_EQ(btDeviceForAddress(bad), nullptr) << bad.toStdString();
    const auto device = btDeviceForAddress(kPhone);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device, btDeviceForAddress(QStringLiteral("00-12-34-56-78-9A")));
    EXPECT_EQ(device->addressString(), QLatin1String("00-12-34-56-78-9a"));
}

TEST_F(SimulatedStackTest, SdpQueryReplacesTheRecordsAndEndsWithinItsLimit)
{
    stack->addDevice(kPhone, QStringLiteral("V3"), true, {record16(0x1103, 1)}, false);
    const auto device = phone();
    EXPECT_EQ(device->name(), QLatin1String("V3"));
    EXPECT_TRUE(device->isPaired());
    EXPECT_FALSE(device->hasServiceRecords());
    EXPECT_EQ(dunChannel(*device), kNoRfcommChannel) << "the look-ups never query";
    EXPECT_EQ(stack->sdpQueryCount(kPhone), 0);

    stack->setSdpDelay(3.0);
    std::optional<int> status;
    ASSERT_EQ(device->performSdpQuery([&](int s) { status = s; }), 0);
    testing_support::runFor(2.9);
    EXPECT_FALSE(status);
    ASSERT_TRUE(testing_support::runUntil([&] { return status.has_value(); }, 1.0));
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(dunChannel(*device), 1);

    // A failed query keeps the records read before.
    stack->failSdpQueries(kPhone, kIOReturnError);
    status.reset();
    ASSERT_EQ(device->performSdpQuery([&](int s) { status = s; }), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return status.has_value(); }, 5.0));
    EXPECT_EQ(*status, kIOReturnError);
    EXPECT_EQ(dunChannel(*device), 1);

    // A query the stack never answers ends with a time-out.
    stack->setSdpDelay(bluetooth::kSdpQueryTimeLimit + 100);
    status.reset();
    ASSERT_EQ(device->performSdpQuery([&](int s) { status = s; }), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return status.has_value(); }, bluetooth::kSdpQueryTimeLimit + 1));
    EXPECT_EQ(*status, kIOReturnTimeout);
    testing_support::runFor(110);   // the late answer changes nothing
    EXPECT_EQ(*status, kIOReturnTimeout);

    // A phone out of reach and a machine without adapter.
    status.reset();
    auto absent = stack->deviceWithAddressString(QStringLiteral("00:00:00:00:00:01"));
    stack->setSdpDelay(0);
    ASSERT_EQ(absent->performSdpQuery([&](int s) { status = s; }), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return status.has_value(); }, 1.0));
    EXPECT_EQ(*status, bluetooth::kPageTimeout);
    stack->setHasAdapter(false);
    EXPECT_EQ(device->performSdpQuery(), kIOReturnNoDevice);
}

TEST_F(SimulatedStackTest, RecordsAreKeptAcrossRuns)
{
    QTemporaryDir folder;
    const QString cache = folder.filePath(QStringLiteral("BluetoothServices.plist"));
    stack->setRecordCacheFile(cache);
    const QList<SdpServiceRecord> records{record16(0x1103, 1), record128(kSyncMLClientUuid, 11)};
    stack->addDevice(kPhone, QStringLiteral("V3"), true, records, false);
    bool done = false;
    ASSERT_EQ(phone()->performSdpQuery([&](int) { done = true; }), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return done; }, 1.0));

    auto nextRun = std::make_shared<BluetoothStackSimulated>();
    nextRun->setRecordCacheFile(cache);
    const auto device = nextRun->deviceWithAddressString(kPhone);
    EXPECT_TRUE(device->hasServiceRecords());
    EXPECT_TRUE(device->services() == records);
    EXPECT_EQ(syncMLChannel(*device), 11);

    // A damaged entry is skipped; the others are read.
    QByteArray text = testing_support::readFile(cache);
    text.replace("00-12-34-56-78-9a", "00-12-34-56-78-9z");
    testing_support::writeFile(cache, text);
    EXPECT_TRUE(BluetoothStack::readRecordFile(cache).isEmpty());
    testing_support::writeFile(cache, "not a property list");
    EXPECT_TRUE(BluetoothStack::readRecordFile(cache).isEmpty());
}

TEST_F(SimulatedStackTest, ChannelCarriesBytesBothWaysInMtuPieces)
{
    testing_support::OutsideInputScope outside;
    stack->addDevice(kPhone, QStringLiteral("V3"), true, {record16(0x1103, 1)});
    stack->setMtu(100);
    connectChannel(1);
    Recorder events;
    std::shared_ptr<RfcommChannel> channel;
    ASSERT_EQ(phone()->openRfcommChannelAsync(1, &events, &channel), 0);
    ASSERT_NE(channel, nullptr);
    EXPECT_FALSE(channel->isOpen());
    ASSERT_TRUE(testing_support::runUntil([&] { return !events.opens.isEmpty(); }, 1.0));
    EXPECT_EQ(events.opens, QList<int>{0});
    EXPECT_TRUE(channel->isOpen());
    EXPECT_EQ(channel->mtu(), 100);

    EXPECT_EQ(channel->writeSync(QByteArray(101, 'x').constData(), 101), kIOReturnError);
    EXPECT_EQ(channel->writeSync("AT\r", 3), 0);
    EXPECT_EQ(channel->writeAsync("ATI\r", 4, 77), 0);
    EXPECT_EQ(readPeer(7), QByteArray("AT\rATI\r"));
    ASSERT_TRUE(testing_support::runUntil([&] { return !events.writes.isEmpty(); }, 1.0));
    EXPECT_EQ(events.writes.first(), std::make_pair(quint64(77), 0));

    ASSERT_EQ(::write(peers.last(), "\r\nOK\r\n", 6), 6);
    ASSERT_TRUE(testing_support::runUntil([&] { return events.data.size() == 6; }, 2.0));
    EXPECT_EQ(events.data, QByteArray("\r\nOK\r\n"));

    // The phone hangs up.
    ::close(peers.takeLast());
    ASSERT_TRUE(testing_support::runUntil([&] { return events.closes == 1; }, 2.0));
    EXPECT_FALSE(channel->isOpen());
    EXPECT_EQ(channel->writeSync("AT\r", 3), kIOReturnNotOpen);
    EXPECT_EQ(channel->closeChannel(), kIOReturnNotOpen);
}

TEST_F(SimulatedStackTest, OpenFailuresAndTimeLimits)
{
    stack->addDevice(kPhone, QStringLiteral("V3"), true, {record16(0x1103, 1)});
    connectChannel(1);
    Recorder events;
    std::shared_ptr<RfcommChannel> channel;

    // A synchronous open that fails answers its status, and nothing follows.
    stack->failOpens(kPhone, bluetooth::kPageTimeout);
    EXPECT_EQ(phone()->openRfcommChannelSync(1, &events, &channel), bluetooth::kPageTimeout);
    EXPECT_EQ(channel, nullptr);
    testing_support::runFor(1.0);
    EXPECT_TRUE(events.opens.isEmpty());

    // An asynchronous one tells it through the event.
    stack->failOpens(kPhone, kIOReturnError);
    ASSERT_EQ(phone()->openRfcommChannelAsync(1, &events, &channel), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !events.opens.isEmpty(); }, 1.0));
    EXPECT_EQ(events.opens, QList<int>{kIOReturnError});

    // A channel nobody listens on, a phone out of reach.
    events.opens.clear();
    EXPECT_EQ(phone()->openRfcommChannelSync(5, &events, &channel), kIOReturnError);
    auto absent = stack->deviceWithAddressString(QStringLiteral("00:00:00:00:00:01"));
    EXPECT_EQ(absent->openRfcommChannelSync(1, &events, &channel), bluetooth::kPageTimeout);

    // An open that never completes ends at the limit.
    stack->setOpenDelay(bluetooth::kRfcommOpenTimeLimit + 50);
    const double start = Clock::instance().now();
    EXPECT_EQ(phone()->openRfcommChannelSync(1, &events, &channel), kIOReturnTimeout);
    EXPECT_NEAR(Clock::instance().now() - start, bluetooth::kRfcommOpenTimeLimit, 0.5);
    ASSERT_EQ(phone()->openRfcommChannelAsync(1, &events, &channel), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !events.opens.isEmpty(); }, 40.0));
    EXPECT_EQ(events.opens, QList<int>{kIOReturnTimeout});

    // Closed while opening: a closed event, no open event.
    events = {};
    ASSERT_EQ(phone()->openRfcommChannelAsync(1, &events, &channel), 0);
    EXPECT_EQ(channel->closeChannel(), 0);
    testing_support::runFor(100);
    EXPECT_EQ(events.closes, 1);
    EXPECT_TRUE(events.opens.isEmpty());

    stack->setHasAdapter(false);
    EXPECT_EQ(phone()->openRfcommChannelSync(1, &events, &channel), kIOReturnNoDevice);
    EXPECT_EQ(phone()->openConnection(), kIOReturnNoDevice);
}

TEST_F(SimulatedStackTest, EventsOfAChannelGoneOrWithoutDelegateReachNobody)
{
    testing_support::OutsideInputScope outside;
    stack->addDevice(kPhone, QString(), false, {});
    connectChannel(1);
    auto events = std::make_unique<Recorder>();
    std::shared_ptr<RfcommChannel> channel;
    ASSERT_EQ(phone()->openRfcommChannelSync(1, events.get(), &channel), 0);
    channel->setDelegate(nullptr);
    events.reset();
    testing_support::runFor(0.5);
    ASSERT_EQ(phone()->openRfcommChannelAsync(1, nullptr, &channel), 0);
    channel.reset();   // dropped while the open runs
    testing_support::runFor(0.5);
}

TEST_F(SimulatedStackTest, DeviceFilesDescribePhonesAndTheirSockets)
{
    const QByteArray good = R"({"devices": [{"address": "00:12:34:56:78:9a", "name": "V3", "paired": true,
        "records": [{"name": "Dial-up Networking", "uuids": ["0x1103"], "channel": 1},
                    {"sdp": ")" + sdp::encodeRecord(record16(0x1101, 2)).toHex() + R"("}],
        "channels": {"1": "/nonexistent/phonesim.sock"}}]})";
    QString error;
    ASSERT_TRUE(stack->loadDevices(good, &error)) << error.toStdString();
    const auto device = phone();
    EXPECT_EQ(device->name(), QLatin1String("V3"));
    EXPECT_FALSE(device->hasServiceRecords());
    bool done = false;
    ASSERT_EQ(device->performSdpQuery([&](int) { done = true; }), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return done; }, 1.0));
    EXPECT_EQ(dunChannel(*device), 1);
    EXPECT_EQ(serialPortChannel(*device), 2);
    // Nobody listens on the socket: the phone does not answer.
    Recorder events;
    std::shared_ptr<RfcommChannel> channel;
    EXPECT_EQ(device->openRfcommChannelSync(1, &events, &channel), bluetooth::kPageTimeout);

    const char* bad[] = {
        "", "[]", "{\"devices\": [{\"address\": \"12:34\"}]}",
        R"({"devices": [{"address": "00:12:34:56:78:9b", "records": [{"uuids": ["0x11"]}]}]})",
        R"({"devices": [{"address": "00:12:34:56:78:9b", "records": [{"uuids": ["0x1101"], "channel": 300}]}]})",
        R"({"devices": [{"address": "00:12:34:56:78:9b", "records": [{"sdp": "35"}]}]})",
        R"({"devices": [{"address": "00:12:34:56:78:9b", "channels": {"x": "/tmp/s"}}]})",
    };
    for (const char* text : bad) {
        error.clear();
        EXPECT_FALSE(stack->loadDevices(text, &error)) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }
    EXPECT_TRUE(stack->deviceWithAddressString(QStringLiteral("00:12:34:56:78:9b"))->name().isEmpty());
}

TEST(BlueZStackTest, RecordsFromQtServiceInfo)
{
    QBluetoothServiceInfo info;
    info.setServiceName(QStringLiteral("Dial-up Networking"));
    info.setServiceUuid(QBluetoothUuid(QBluetoothUuid::ServiceClassUuid::DialupNetworking));
    QBluetoothServiceInfo::Sequence protocols;
    protocols << QVariant::fromValue(QBluetoothServiceInfo::Sequence()
                                     << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::ProtocolUuid::L2cap)));
    protocols << QVariant::fromValue(QBluetoothServiceInfo::Sequence()
                                     << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::ProtocolUuid::Rfcomm))
                                     << QVariant::fromValue(quint8(4)));
    info.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList, protocols);
    info.setAttribute(0x0200, QVariant::fromValue(quint16(0x0100)));
    info.setAttribute(0x0300, QVariant::fromValue(QBluetoothUuid(QLatin1String(kPCSuiteServiceUuid))));
    QMap<quint16, QVariant> attributes;
    for (quint16 id : info.attributes())
        attributes.insert(id, info.attribute(id));
    const SdpServiceRecord record = BluetoothStackBlueZ::recordFromAttributes(attributes);
    EXPECT_EQ(record.serviceName(), QLatin1String("Dial-up Networking"));
    EXPECT_EQ(record.rfcommChannelID(), 4);
    EXPECT_TRUE(record.hasUuid(BluetoothUuid::uuid16(0x1103)));
    EXPECT_TRUE(record.hasUuid(BluetoothUuid::fromString(QLatin1String(kPCSuiteServiceUuid))));
    EXPECT_EQ(record.attributes.value(0x0200), SdpElement::unsignedInt(0x0100, 2));
    // The record survives the cache's binary form.
    EXPECT_TRUE(sdp::decodeRecord(sdp::encodeRecord(record)) == record);
    // Values of types SDP does not know are left out.
    attributes.insert(0x0400, QVariant::fromValue(QSize(1, 2)));
    EXPECT_FALSE(BluetoothStackBlueZ::recordFromAttributes(attributes).attributes.contains(0x0400));
}

TEST(BlueZStackTest, SocketErrorsMapToStatusValues)
{
    using E = QBluetoothSocket::SocketError;
    struct Case {
        E error;
        const char* text;
        int status;
    };
    const Case cases[] = {
        {E::HostNotFoundError, "", bluetooth::kPageTimeout},
        {E::NetworkError, "Host is down", bluetooth::kPageTimeout},
        {E::UnknownSocketError, "Connection timed out", bluetooth::kPageTimeout},
        {E::RemoteHostClosedError, "", kIOReturnNoDevice},
        {E::ServiceNotFoundError, "Connection refused", kIOReturnError},
        {E::UnsupportedProtocolError, "", kIOReturnUnsupported},
        {E::NoSocketError, "", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BluetoothStackBlueZ::statusForSocketError(int(c.error), QLatin1String(c.text)), c.status)
            << c.text;
}

TEST_F(SimulatedStackTest, AStalePairingFailsOnlyAuthenticatedOpensUntilItIsRemoved)
{
    stack->addDevice(kPhone, QStringLiteral("V3"), true, {});
    stack->setStalePairing(kPhone);
    const auto device = phone();
    EXPECT_EQ(device->openConnection(0x2000), 0);
    EXPECT_TRUE(device->isConnected());
    EXPECT_EQ(device->closeConnection(), 0);
    EXPECT_EQ(device->openConnection(0, true), bluetooth::kAuthenticationFailure);
    EXPECT_FALSE(device->isConnected());

    EXPECT_EQ(device->removePairing(), 0);
    EXPECT_FALSE(device->isPaired());
    EXPECT_EQ(stack->pairingRemovalCount(kPhone), 1);
    // Unpaired, the phone has no link key to refuse.
    EXPECT_EQ(device->openConnection(0, true), 0);

    // A device file says the same.
    ASSERT_TRUE(stack->loadDevices(R"({"devices": [{"address": "00:12:34:56:78:9c", "paired": true,
        "stalePairing": true}]})"));
    const auto stale = stack->deviceWithAddressString(QStringLiteral("00:12:34:56:78:9c"));
    EXPECT_EQ(stale->openConnection(0, true), bluetooth::kAuthenticationFailure);
    // Nobody there: nothing to remove, and no pairing appears.
    const auto absent = stack->deviceWithAddressString(QStringLiteral("00:12:34:56:78:9d"));
    EXPECT_EQ(absent->openConnection(0, true), bluetooth::kPageTimeout);
}

TEST(BlueZStackTest, WithoutAnAdapterEverythingEndsAtOnceWithAnError)
{
    auto stack = std::make_shared<BluetoothStackBlueZ>();
    if (stack->hasAdapter())
        GTEST_SKIP() << "this machine has a Bluetooth adapter";
    const auto device = stack->deviceWithAddressString(kPhone);
    ASSERT_NE(device, nullptr);
    Recorder events;
    std::shared_ptr<RfcommChannel> channel;
    EXPECT_EQ(device->performSdpQuery(), kIOReturnNoDevice);
    EXPECT_EQ(device->openRfcommChannelSync(1, &events, &channel), kIOReturnNoDevice);
    EXPECT_EQ(device->openRfcommChannelAsync(1, &events, &channel), kIOReturnNoDevice);
    EXPECT_EQ(device->openConnection(), kIOReturnNoDevice);
    EXPECT_EQ(device->removePairing(), kIOReturnNoDevice);
    EXPECT_FALSE(device->isPaired());
}
