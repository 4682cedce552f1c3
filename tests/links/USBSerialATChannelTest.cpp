#include "DeviceDBTestSupport.h"
#include "UsbPhoneFixture.h"

#include "TestEnvironment.h"
#include "device/DZUSBSerialDevice.h"
#include "device/qvDeviceDB.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "links/USBSerialATChannel.h"

#include <QFile>
#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

// Records every batch the reader hands to the main thread.
class RecordingUSBChannel : public USBSerialATChannel {
public:
    explicit RecordingUSBChannel(const QVariantMap& wizDict)
        : USBSerialATChannel(nullptr, QVariantMap(), wizDict, nullptr, {})
    {
    }
    std::vector<int> deliveries;
    // Closes that fail (the tty stays open) before closes succeed again.
    int failingCloses = 0;

protected:
    void doReadIdleMain(const QByteArray& data) override
    {
        deliveries.push_back(int(data.size()));
        USBSerialATChannel::doReadIdleMain(data);
    }
    std::unique_ptr<DZUSBSerialDevice> makeSerialDevice(const QVariantMap& wizDict) override
    {
        class StubbornDevice : public DZUSBSerialDevice {
        public:
            StubbornDevice(const QVariantMap& dict, int* failures) : DZUSBSerialDevice(dict), _failures(failures) {}
            bool closeSerialDevice() override
            {
                if (*_failures > 0) {
                    --*_failures;
                    return false;
                }
                return DZUSBSerialDevice::closeSerialDevice();
            }

        private:
            int* _failures;
        };
        return std::make_unique<StubbornDevice>(wizDict, &failingCloses);
    }
};

// A tty stand-in the test writes into: the read end of a pipe.
class PipeDevice : public DZUSBSerialDevice {
public:
    explicit PipeDevice(const QVariantMap& dict) : DZUSBSerialDevice(dict)
    {
        if (::pipe2(_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
            _pipe[0] = _pipe[1] = -1;
    }
    ~PipeDevice() override
    {
        PipeDevice::closeSerialDevice();
        if (_pipe[1] >= 0)
            ::close(_pipe[1]);
    }
    bool openSerialDevice() override
    {
        _fileDescriptor = _pipe[0];
        return _fileDescriptor >= 0;
    }
    bool closeSerialDevice() override
    {
        if (_fileDescriptor >= 0)
            ::close(_fileDescriptor);
        _fileDescriptor = _pipe[0] = -1;
        return true;
    }
    bool put(const QByteArray& bytes)
    {
        return ::write(_pipe[1], bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Waits (in real time) until the reader has taken every byte from the pipe.
    bool drained() const
    {
        for (int i = 0; i < 2000; ++i) {
            int unread = 0;
            if (::ioctl(_pipe[0], FIONREAD, &unread) != 0)
                return false;
            if (unread == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

private:
    int _pipe[2] = {-1, -1};
};

class PipeUSBChannel : public RecordingUSBChannel {
public:
    using RecordingUSBChannel::RecordingUSBChannel;
    PipeDevice* device = nullptr;

protected:
    std::unique_ptr<DZUSBSerialDevice> makeSerialDevice(const QVariantMap& wizDict) override
    {
        auto made = std::make_unique<PipeDevice>(wizDict);
        device = made.get();
        return made;
    }
};

class USBSerialATChannelTest : public UsbPhoneFixture {
protected:
    // Opens and waits for the report; answers its status.
    static int openAndWait(SerialATChannel& channel)
    {
        auto callback = QVDeviceCallback::pollingObject();
        const int status = channel.openConnection(callback);
        if (status != 0)
            return status;
        EXPECT_TRUE(testing_support::runUntil([&] { return !callback->isBusy(); }, 5.0));
        return callback->returnStatus();
    }
    // An answer counts as complete once its final line is there; the line end
    // after it may still be on its way.
    static bool bufferBecomes(SerialATChannel& channel, const char* text)
    {
        const QString expected = QString::fromLatin1(text);
        return testing_support::runUntil([&] { return channel.buffer() == expected; }, 2.0);
    }
    static bool commandAnswered(SerialATChannel& channel, const char* command)
    {
        channel.resetBuffer();
        return channel.sendDataStr(QString::fromLatin1(command)) && channel.waitForOkOrError(50);
    }
};

} // namespace

TEST_F(USBSerialATChannelTest, OpensTalksAndClosesOverTheTty)
{
    attachPhone();
    auto channel = USBSerialATChannel::withWizDict(nullptr, wizDict(), nullptr);
    EXPECT_FALSE(channel->hasOpenTransportConnection());
    ASSERT_EQ(openAndWait(*channel), 0);
    EXPECT_TRUE(channel->hasConnection());
    EXPECT_TRUE(channel->hasOpenTransportConnection());

    ASSERT_TRUE(commandAnswered(*channel, "ATE0\r\n"));
    EXPECT_TRUE(channel->buffer().endsWith(QLatin1String("\r\nOK\r\n")));
    ASSERT_TRUE(commandAnswered(*channel, "AT+CGMI\r\n"));
    EXPECT_TRUE(bufferBecomes(*channel, "\r\nQUALCOMM INCORPORATED\r\n\r\nOK\r\n")) << channel->buffer().toStdString();

    auto closed = QVDeviceCallback::pollingObject();
    ASSERT_EQ(channel->closeChannelWithCallback(closed), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !closed->isBusy(); }, 5.0));
    EXPECT_EQ(closed->returnStatus(), 0);
    EXPECT_FALSE(channel->hasConnection());
    EXPECT_FALSE(channel->hasOpenTransportConnection());

    // Open again, then a blocking close.
    ASSERT_EQ(openAndWait(*channel), 0);
    ASSERT_TRUE(commandAnswered(*channel, "AT\r\n"));
    EXPECT_EQ(channel->closeChannelBlocking(), 0);
    EXPECT_FALSE(channel->hasOpenTransportConnection());
    // Closing what is closed ends the callback at once.
    auto again = QVDeviceCallback::pollingObject();
    EXPECT_EQ(channel->closeConnection(again), 0);
    EXPECT_TRUE(testing_support::runUntil([&] { return !again->isBusy(); }, 1.0));
}

TEST_F(USBSerialATChannelTest, OpenRefusals)
{
    // No such phone attached, or nothing to find it by.
    auto absent = USBSerialATChannel::withWizDict(nullptr, wizDict(), nullptr);
    EXPECT_EQ(absent->openConnection(QVDeviceCallback::pollingObject()), USBSerialATChannel::kNoSerialDevice);
    auto noIds = USBSerialATChannel::withConnectionDict(nullptr, {{"Common.DeviceName", "KU990"}}, nullptr);
    EXPECT_EQ(noIds->openConnection(QVDeviceCallback::pollingObject()), USBSerialATChannel::kNoSerialDevice);
    EXPECT_FALSE(absent->isInProgress());

    // A tty that another opener holds is busy; its callback stays with the caller.
    attachPhone();
    auto first = USBSerialATChannel::withWizDict(nullptr, wizDict(), nullptr);
    ASSERT_EQ(openAndWait(*first), 0);
    auto second = USBSerialATChannel::withConnectionDict(
        nullptr, {{"USB.VendorID", kVendor}, {"USB.ProductID", kProduct}, {"Common.SerialNo", kSerial}}, nullptr);
    auto refused = QVDeviceCallback::pollingObject();
    EXPECT_EQ(second->openConnection(refused), links::kIOReturnExclusiveAccess);
    EXPECT_TRUE(refused->isBusy());
    EXPECT_FALSE(second->isInProgress());

    // An open while one is under way is refused too.
    auto third = USBSerialATChannel::withWizDict(nullptr, wizDict(), nullptr);
    EXPECT_EQ(first->closeChannelBlocking(), 0);
    ASSERT_EQ(third->openConnection(QVDeviceCallback::pollingObject()), 0);
    EXPECT_EQ(third->openConnection(QVDeviceCallback::pollingObject()), links::kIOReturnExclusiveAccess);
}

TEST_F(USBSerialATChannelTest, FailedCloseLeavesAWorkingChannel)
{
    attachPhone();
    RecordingUSBChannel channel(wizDict());
    ASSERT_EQ(openAndWait(channel), 0);
    channel.failingCloses = 1;
    auto callback = QVDeviceCallback::pollingObject();
    EXPECT_EQ(channel.closeChannelWithCallback(callback), links::kIOReturnStillOpen);
    EXPECT_FALSE(channel.isInProgress());
    EXPECT_TRUE(channel.hasOpenTransportConnection());
    // The reader runs again: answers still arrive.
    EXPECT_TRUE(commandAnswered(channel, "AT\r\n"));
    EXPECT_EQ(channel.closeChannelBlocking(), 0);
}

TEST_F(USBSerialATChannelTest, BurstReachesTheMainThreadAsOneDelivery)
{
    attachPhone();
    // One information line of 290 characters: 300 bytes with its framing.
    sim->setHandler("+BURST", [](phonesim::PhoneSession&, const phonesim::AtCommand&) {
        return phonesim::AtResult::okay({QByteArray(290, 'b')});
    });
    RecordingUSBChannel channel(wizDict());
    ASSERT_EQ(openAndWait(channel), 0);
    ASSERT_TRUE(commandAnswered(channel, "ATE0\r\n"));
    ASSERT_TRUE(bufferBecomes(channel, "ATE0\r\r\nOK\r\n"));
    channel.deliveries.clear();
    ASSERT_TRUE(commandAnswered(channel, "AT+BURST\r\n"));
    EXPECT_EQ(channel.deliveries, std::vector<int>{300});
    EXPECT_EQ(channel.buffer().size(), 300);
}

TEST(USBSerialATChannelReadTest, BurstIsReadInPiecesOf128)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    ASSERT_EQ(::write(fds[1], QByteArray(300, 'x').constData(), 300), 300);
    int pieces = 0;
    bool lost = true;
    EXPECT_EQ(USBSerialATChannel::readBurst(fds[0], &pieces, &lost).size(), 300);
    EXPECT_EQ(pieces, 3);
    EXPECT_FALSE(lost);
    EXPECT_TRUE(USBSerialATChannel::readBurst(fds[0], &pieces, &lost).isEmpty());
    EXPECT_FALSE(lost);
    // The writer gone: end of file is a lost tty.
    ::close(fds[1]);
    EXPECT_TRUE(USBSerialATChannel::readBurst(fds[0], &pieces, &lost).isEmpty());
    EXPECT_TRUE(lost);
    ::close(fds[0]);
}

TEST_F(USBSerialATChannelTest, BatchOfAStoppedReaderIsDropped)
{
    attachPhone();
    PipeUSBChannel channel(wizDict());
    ASSERT_EQ(openAndWait(channel), 0);
    ASSERT_TRUE(channel.device->put("late"));
    // The reader has read the bytes and posted them; the main thread has not
    // taken them yet when the close stops the reader.
    ASSERT_TRUE(channel.device->drained());
    auto closed = QVDeviceCallback::pollingObject();
    ASSERT_EQ(channel.closeChannelWithCallback(closed), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !closed->isBusy(); }, 5.0));
    EXPECT_TRUE(channel.deliveries.empty());
    EXPECT_EQ(channel.currentBuffIndex(), 0u);
}

TEST_F(USBSerialATChannelTest, BytesWakeAnIdleReaderAndACloseStopsIt)
{
    // A reader whose idle time is far longer than any wait below.
    class SleepyChannel : public PipeUSBChannel {
    public:
        using PipeUSBChannel::PipeUSBChannel;

    protected:
        double readIdleSeconds() const override { return 60.0; }
    };
    attachPhone();
    SleepyChannel channel(wizDict());
    ASSERT_EQ(openAndWait(channel), 0);
    for (const char* bytes : {"\r\nOK\r\n", "\r\nRING\r\n"}) {
        // Let the reader find the tty empty and start its long wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        channel.deliveries.clear();
        ASSERT_TRUE(channel.device->put(bytes));
        EXPECT_TRUE(testing_support::runUntil([&] { return !channel.deliveries.empty(); }, 5.0)) << bytes;
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.closeChannelBlocking(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(USBSerialATChannelTest, PhoneThatGoesAwayClosesTheChannel)
{
    attachPhone();
    auto channel = USBSerialATChannel::withWizDict(nullptr, wizDict(), nullptr);
    ASSERT_EQ(openAndWait(*channel), 0);
    ASSERT_TRUE(commandAnswered(*channel, "ATE0\r\n"));
    // A wait under way ends as soon as the tty is gone, not after its passes
    // (the phone keeps its answer, which the reader would otherwise be quick to bring).
    sim->setSilent(true);
    ASSERT_TRUE(channel->sendDataStr(QStringLiteral("AT+CGMI\r\n")));
    sim->stop();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel->waitForOkOrError(300));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(channel->hasOpenTransportConnection());
    EXPECT_FALSE(channel->hasConnection());
    EXPECT_FALSE(channel->sendDataStr(QStringLiteral("AT\r\n")));
}

TEST(USBSerialATChannelDictTest, UsbPropertiesFromTheConnectionDictionary)
{
    EXPECT_EQ(USBSerialATChannel::makeWizDict({{"USB.ProductID", 2}, {"USB.VendorID", 1}, {"Common.SerialNo", "S"},
                                               {"Common.DeviceName", "KU990"}, {"BT.BT_Address", "x"}}),
              (QVariantMap{{"productId", 2}, {"vendorId", 1}, {"serialNumber", "S"}, {"product", "KU990"}}));
    EXPECT_TRUE(USBSerialATChannel::makeWizDict({{"BT.BT_Address", "x"}}).isEmpty());
}

TEST_F(USBSerialATChannelTest, AvailabilityOfAKnownPhone)
{
    attachPhone();
    // The KU990 entry gives the vendor; the product id comes with the connection.
    const QVariantMap known{{"Common.qvDeviceID", "15320"}, {"USB.ProductID", kProduct}, {"Common.SerialNo", kSerial}};
    const std::optional<QVariantMap> found = USBSerialATChannel::availableConnection(known);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value("portName").toString(), sim->slavePath());
    EXPECT_TRUE(USBSerialATChannel::isConnectionAvailable(known));

    QVariantMap otherPhone = known;
    otherPhone.insert("Common.SerialNo", "99999999");
    EXPECT_FALSE(USBSerialATChannel::isConnectionAvailable(otherPhone));
    // A model the database does not know.
    EXPECT_FALSE(USBSerialATChannel::availableConnection({{"Common.qvDeviceID", "4711"}}));
}

TEST(USBSerialATChannelDatabaseTest, BrokenDeviceDatabaseFindsNothing)
{
    const QString broken = buildTestDeviceDB(QStringLiteral("broken"), QStringLiteral(R"SQL(
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom, USB_Vendor) VALUES ('15010', 'Loop+A', 'Loop+B', '4100');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom, USB_Vendor) VALUES ('15011', 'Loop+B', 'Loop+A', '4100');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom, USB_Vendor) VALUES ('15013', 'Test+Orphaned', 'Gone+Away', '4100');
)SQL"));
    ASSERT_FALSE(broken.isEmpty());
    const QString garbage = testing_support::testHome() + QStringLiteral("/devicedb/garbage.db");
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x5a'));
    file.close();

    const struct {
        QString database;
        const char* deviceID;
    } cases[] = {
        {broken, "15010"},
        {broken, "15013"},
        {garbage, "15320"},
        {testing_support::testHome() + QStringLiteral("/devicedb/missing.db"), "15320"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.database.toStdString() + " " + c.deviceID);
        qvDeviceDB::setDefaultDatabasePath(c.database);
        qvDeviceDB::releaseSharedDeviceDB();
        EXPECT_FALSE(
            USBSerialATChannel::availableConnection({{"Common.qvDeviceID", c.deviceID}, {"USB.ProductID", 0x6000}}));
    }
    qvDeviceDB::setDefaultDatabasePath(QString());
    qvDeviceDB::releaseSharedDeviceDB();
}

TEST_F(USBSerialATChannelTest, AnswersArrivingInPiecesAreJudgedWhole)
{
    attachPhone("sonyericsson");
    sim->setHandler("+CPBS", [](phonesim::PhoneSession&, const phonesim::AtCommand&) {
        return phonesim::AtResult::equipmentError(10);
    });
    auto channel = USBSerialATChannel::withWizDict(nullptr, wizDict(), nullptr);
    ASSERT_EQ(openAndWait(*channel), 0);
    ASSERT_TRUE(commandAnswered(*channel, "ATE0+CMEE=1\r\n"));
    ASSERT_TRUE(bufferBecomes(*channel, "ATE0+CMEE=1\r\r\nOK\r\n"));
    // Three bytes at a time, 2 ms apart: many reads, one answer.
    sim->setAnswerChunking(3, 2);

    const struct {
        const char* command;
        const char* answer;
        bool good;
    } cases[] = {
        {"AT+CGMI\r\n", "\r\nSony Ericsson\r\n\r\nOK\r\n", true},
        {"AT+CPBS=\"SM\"\r\n", "\r\n+CME ERROR: 10\r\n", false},
        {"AT+NOSUCH\r\n", "\r\nERROR\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        channel->resetBuffer();
        ASSERT_TRUE(channel->sendDataStr(QString::fromLatin1(c.command)));
        bool good = !c.good;
        EXPECT_TRUE(channel->waitForOkErrorConnect(50, &good));
        EXPECT_EQ(good, c.good);
        EXPECT_TRUE(bufferBecomes(*channel, c.answer)) << channel->buffer().toStdString();
    }
}
