#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"

#include "FakeSerialATChannel.h"
#include "VirtualTime.h"
#include "foundation/NamedLog.h"

#include "LinkTestSupport.h"
#include <QFile>
#include <QMap>
#include <deque>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;
using testing_support::runUntil;

struct SeenEvent {
    uint32_t type = 0;
    uint8_t code = 0;
    int error = 0;
    QByteArray headers;
    uint16_t maxPacket = 0;
};

// Counts the closes of the channels a test made, even of those already gone.
class CountingChannel : public FakeSerialATChannel {
public:
    CountingChannel(MFDevice* device, SerialDelegateProtocol* delegate, PhoneTraits traits, int& closes)
        : FakeSerialATChannel(device, delegate, traits), _closes(closes)
    {
    }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        ++_closes;
        return FakeSerialATChannel::closeConnection(callback);
    }

private:
    int& _closes;
};

// The codec on the serial transport, over an in-process channel that answers
// like a phone: AT lines from a table, OBEX packets from a queue.
class ObexTransportTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        transports.clear();
        freeParkedChannel();
    }

    CommonObexATSwitchTransportLayer& makeTransport(const ObexSwitchSettings& settings, MFDevice* device = nullptr)
    {
        auto transport = std::make_unique<CommonObexATSwitchTransportLayer>(
            device, settings, QVariantMap(), QStringLiteral("Bluetooth"), false);
        transport->setChannelFactory([this](const QString&, const QVariantMap&, MFDevice* dev,
                                            SerialDelegateProtocol* delegate, SerialATChannel::PhoneTraits traits) {
            auto made = std::make_unique<CountingChannel>(dev, delegate, traits, closes);
            CountingChannel* raw = made.get();
            made->onSend = [this, raw](const QByteArray& bytes) { answer(*raw, bytes); };
            channel = raw;
            ++channelsMade;
            return made;
        });
        transports.push_back(std::move(transport));
        return *transports.back();
    }

    void answer(FakeSerialATChannel& on, const QByteArray& bytes)
    {
        if (!on.modeObex()) {
            if (atAnswers.contains(bytes))
                on.deliver(atAnswers.value(bytes));
            return;
        }
        if (!obexAnswers.empty()) {
            on.deliver(obexAnswers.front());
            obexAnswers.pop_front();
        }
    }

    int open(CommonObexATSwitchTransportLayer& transport)
    {
        int status = 1;
        bool done = false;
        auto callback = QVDeviceCallback::commandObject(&kCallbackSender,
            [&](QVDeviceCallback& c) {
                status = c.returnStatus();
                done = true;
            },
            {});
        const int started = transport.openTransportLayer(callback);
        if (started != 0)
            return started;
        EXPECT_TRUE(runUntil([&] { return done; }, 10));
        return status;
    }

    OBEXSessionEventHandler recorder()
    {
        return [this](const OBEXSessionEvent& e) {
            SeenEvent seen;
            seen.type = e.type;
            seen.code = e.response.serverResponseOpCode;
            seen.error = e.errorData.error;
            seen.maxPacket = e.response.maxPacketSize;
            if (e.response.headerDataPtr)
                seen.headers = QByteArray(reinterpret_cast<const char*>(e.response.headerDataPtr),
                                          int(e.response.headerDataLength));
            events.push_back(seen);
        };
    }

    QByteArray lastSent() const { return channel && !channel->sent.empty() ? channel->sent.back().bytes : QByteArray(); }
    bool waitForEvents(size_t count) { return runUntil([&] { return events.size() >= count; }, 2); }

    CommonObexATSwitchTransportLayer& connected(const ObexSwitchSettings& settings = {})
    {
        auto& transport = makeTransport(settings);
        EXPECT_EQ(open(transport), 0);
        obexAnswers.push_back(hex("A0000710002000"));
        EXPECT_EQ(transport.OBEXConnect(0, 0x2000, nullptr, 0, recorder()), 0);
        EXPECT_TRUE(waitForEvents(1));
        events.clear();
        return transport;
    }

    QMap<QByteArray, QByteArray> atAnswers{{"AT&FE0V1\r\n", "\r\nOK\r\n"},
                                           {"AT+CPROT=0\r\n", "\r\nCONNECT\r\n"},
                                           {"AT+SYNCML=MOBEXSTART\r\n", "\r\nOK\r\n"}};
    std::deque<QByteArray> obexAnswers;
    std::vector<SeenEvent> events;
    std::vector<std::unique_ptr<CommonObexATSwitchTransportLayer>> transports;
    CountingChannel* channel = nullptr;
    int channelsMade = 0;
    int closes = 0;
};

TEST_F(ObexTransportTest, RequestsGoOutAsPacketsAndAnswersComeBackAsEvents)
{
    auto& transport = makeTransport({});
    ASSERT_EQ(open(transport), 0);
    EXPECT_EQ(channel->sent[0].bytes, "AT&FE0V1\r\n");
    EXPECT_EQ(channel->sent[1].bytes, "AT+CPROT=0\r\n");
    EXPECT_TRUE(channel->modeObex());

    obexAnswers.push_back(hex("A0000F100020004A00084D4F424558"));
    ASSERT_EQ(transport.OBEXConnect(0, 0x4000, nullptr, 0, recorder()), 0);
    EXPECT_EQ(lastSent().toHex(' '), hex("80000710004000").toHex(' '));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(events[0].type, obex::kEventConnectResponse);
    EXPECT_EQ(events[0].code, 0xA0);
    EXPECT_EQ(events[0].headers, hex("4A00084D4F424558"));
    EXPECT_TRUE(transport.hasValidSession());
    EXPECT_EQ(transport.getMaxPacketLength(), 8192);

    obexAnswers.push_back(hex("900003"));
    ASSERT_EQ(transport.OBEXPut(false, nullptr, 0, "0123456789", 10, recorder()), 0);
    EXPECT_EQ(lastSent(), hex("02001048000D") + "0123456789");
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(events[1].type, obex::kEventPutResponse);
    EXPECT_EQ(events[1].code, 0x90);

    obexAnswers.push_back(hex("A00003"));
    ASSERT_EQ(transport.OBEXPut(true, nullptr, 0, "0123456789", 10, recorder()), 0);
    EXPECT_EQ(lastSent(), hex("82001049000D") + "0123456789");
    ASSERT_TRUE(waitForEvents(3));
    ASSERT_EQ(transport.OBEXPutFinal(), 0);
    EXPECT_EQ(lastSent(), hex("820003"));

    obexAnswers.push_back(hex("A00009490006414243"));
    ASSERT_EQ(transport.OBEXGet(true, nullptr, 0, recorder()), 0);
    EXPECT_EQ(lastSent(), hex("830003"));
    ASSERT_TRUE(waitForEvents(4));
    EXPECT_EQ(events[3].type, obex::kEventGetResponse);
    EXPECT_EQ(events[3].headers, hex("490006414243"));

    // A Put that outgrows the peer's maximum is refused unsent.
    const size_t sentBefore = channel->sent.size();
    const QByteArray big(8192 - 6 + 1, 'x');
    EXPECT_EQ(transport.OBEXPut(false, nullptr, 0, big.constData(), int(big.size()), recorder()), -1);
    EXPECT_EQ(channel->sent.size(), sentBefore);

    obexAnswers.push_back(hex("A00003"));
    ASSERT_EQ(transport.OBEXDisconnect(nullptr, 0, recorder()), 0);
    ASSERT_TRUE(waitForEvents(5));
    EXPECT_EQ(events[4].type, obex::kEventDisconnectResponse);
    EXPECT_FALSE(transport.hasValidSession());
    EXPECT_FALSE(transport.timerRunning());
}

TEST_F(ObexTransportTest, RefusedAndMalformedAnswersEndTheRequest)
{
    struct Case {
        const char* name;
        QByteArray answer;
        uint32_t type;
        int error;
        uint8_t code;
    } cases[] = {
        {"forbidden", hex("C3000710002000"), obex::kEventConnectResponse, 0, 0xC3},
        {"shorter than a connect answer", hex("A0000510FF"), obex::kEventError, obex::kErrBadResponse, 0},
        {"lone ERROR", "ERROR\r\n", obex::kEventError, obex::kErrAsciiError, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        auto& transport = makeTransport({});
        ASSERT_EQ(open(transport), 0);
        obexAnswers.push_back(c.answer);
        ASSERT_EQ(transport.OBEXConnect(0, 0x2000, nullptr, 0, recorder()), 0);
        ASSERT_TRUE(waitForEvents(1));
        EXPECT_EQ(events[0].type, c.type);
        EXPECT_EQ(events[0].error, c.error);
        EXPECT_EQ(events[0].code, c.code);
        EXPECT_FALSE(transport.hasValidSession());
        EXPECT_FALSE(transport.timerRunning());
    }
}

TEST_F(ObexTransportTest, RequestsWithoutTransportOrSessionSendNothing)
{
    auto& transport = makeTransport({});
    EXPECT_EQ(transport.OBEXConnect(0, 0x2000, nullptr, 0, recorder()), links::kErrNotConnected);
    EXPECT_EQ(transport.OBEXPut(true, nullptr, 0, nullptr, 0, recorder()), links::kErrNotConnected);
    EXPECT_EQ(transport.OBEXPutFinal(), links::kErrNotConnected);
    // The opcode is recorded even when nothing can be sent.
    const char disconnect[] = {char(0x81), 0x00, 0x03};
    EXPECT_FALSE(transport.sendObexData(disconnect, 3));
    EXPECT_EQ(transport.sentCommand(), 0x81);

    ASSERT_EQ(open(transport), 0);
    const size_t sent = channel->sent.size();
    EXPECT_EQ(transport.OBEXDisconnect(nullptr, 0, recorder()), links::kErrNotConnected);
    const QByteArray headers(1001, 'h');
    EXPECT_EQ(transport.OBEXGet(true, headers.constData(), 1001, recorder()), -1);
    EXPECT_EQ(transport.OBEXGet(true, headers.constData(), 1000, recorder()), 0);
    EXPECT_EQ(channel->sent.size(), sent + 1);
    EXPECT_EQ(lastSent().size(), 1003);
}

TEST_F(ObexTransportTest, TimedOutRequestsAbortDisconnectAndClose)
{
    struct Case {
        const char* name;
        bool connectFirst;
        bool samsung;
        int error;
        QList<QByteArray> tail;   // what the phone sees after the request
    } cases[] = {
        {"connect", false, false, links::kIOReturnNotOpen, {hex("FF0003")}},
        {"put", true, false, links::kErrRequestTimeout, {hex("FF0003"), hex("810008CB00000007")}},
        {"put on a Samsung phone", true, true, links::kErrRequestTimeout, {hex("FF0003"), hex("810003")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        obexAnswers.clear();
        closes = 0;
        ObexSwitchSettings settings;
        settings.isSamsung = c.samsung;
        CommonObexATSwitchTransportLayer* transport = nullptr;
        if (c.connectFirst) {
            transport = &connected(settings);
            transport->setSessionID(7);
            ASSERT_EQ(transport->OBEXPut(true, nullptr, 0, "abc", 3, recorder()), 0);
        } else {
            transport = &makeTransport(settings);
            ASSERT_EQ(open(*transport), 0);
            ASSERT_EQ(transport->OBEXConnect(0, 0x2000, nullptr, 0, recorder()), 0);
        }
        const size_t before = channel->sent.size();
        runFor((c.connectFirst ? 10.0 : 20.0) - 0.1);
        EXPECT_TRUE(events.empty());
        runFor(25);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, obex::kEventError);
        EXPECT_EQ(events[0].error, c.error);
        QList<QByteArray> tail;
        for (size_t i = before; i < channel->sent.size(); ++i)
            tail.append(channel->sent[i].bytes);
        EXPECT_EQ(tail, c.tail);
        EXPECT_EQ(closes, 1);
        EXPECT_FALSE(transport->hasOpenTransportConnection());
        EXPECT_TRUE(transport->aboutToClose());
        // Answers after that are ignored.
        channel->deliver(hex("A00003"));
        runFor(1);
        EXPECT_EQ(events.size(), 1u);
    }
}

TEST_F(ObexTransportTest, GigasetChannelIsParkedAndTakenUpByTheNextOpen)
{
    QVLogCreateAndOpen(QLatin1String(qvlog::kConn));
    ObexSwitchSettings gigaset;
    gigaset.isGigaset = true;
    auto& first = makeTransport(gigaset);
    ASSERT_EQ(open(first), 0);
    FakeSerialATChannel* line = channel;
    bool closed = false;
    ASSERT_EQ(first.closeTransportLayer(QVDeviceCallback::commandObject(&kCallbackSender, [&](QVDeviceCallback& c) { closed = c.returnStatus() == 0; }, {})),
              0);
    ASSERT_TRUE(runUntil([&] { return closed; }, 1));
    EXPECT_EQ(line->sent.back().bytes, "+++");
    EXPECT_EQ(parkedChannel(), line);
    EXPECT_TRUE(line->hasOpenTransportConnection());
    EXPECT_FALSE(line->modeObex());
    EXPECT_FALSE(first.hasOpenTransportConnection());
    EXPECT_EQ(closes, 0);

    auto& second = makeTransport(gigaset);
    ASSERT_EQ(open(second), 0);
    EXPECT_EQ(channelsMade, 1);
    EXPECT_EQ(parkedChannel(), nullptr);
    EXPECT_EQ(second.serialChannel(), line);
    EXPECT_TRUE(line->modeObex());
    EXPECT_EQ(line->sent.back().bytes, "AT+CPROT=0\r\n");
    QFile log(QVPathForLogFile(QStringLiteral("Conn.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains(QString::fromUtf8(CommonObexATSwitchTransportLayer::kReusingParked)));
}

TEST_F(ObexTransportTest, SamsungATChannelStaysParkedUntilTheDeviceIsFreed)
{
    ObexSwitchSettings samsung;
    samsung.isSamsung = true;
    samsung.isSamsungAT = true;
    samsung.usesSamsungATConnections = true;
    auto& first = makeTransport(samsung);
    ASSERT_EQ(open(first), 0);
    EXPECT_EQ(channel->sent[1].bytes, "AT+SYNCML=MOBEXSTART\r\n");
    FakeSerialATChannel* line = channel;
    ASSERT_EQ(first.closeTransportLayer(nullptr), 0);
    EXPECT_EQ(line->sent.back().bytes, "+++\r\n");
    EXPECT_EQ(parkedChannel(), line);

    // The next open takes it up instead of opening the tty a second time.
    auto& second = makeTransport(samsung);
    ASSERT_EQ(open(second), 0);
    EXPECT_EQ(channelsMade, 1);
    ASSERT_EQ(second.closeTransportLayer(nullptr), 0);
    EXPECT_EQ(parkedChannel(), line);

    freeParkedChannel();
    EXPECT_EQ(parkedChannel(), nullptr);
    EXPECT_EQ(closes, 1);
}

TEST_F(ObexTransportTest, ParkingASecondChannelClosesTheFirstAndOtherPhonesClose)
{
    ObexSwitchSettings gigaset;
    gigaset.isGigaset = true;
    int phoneA = 0;
    int phoneB = 0;
    auto& a = makeTransport(gigaset, reinterpret_cast<MFDevice*>(&phoneA));
    ASSERT_EQ(open(a), 0);
    FakeSerialATChannel* lineA = channel;
    ASSERT_EQ(a.closeTransportLayer(nullptr), 0);
    auto& b = makeTransport(gigaset, reinterpret_cast<MFDevice*>(&phoneB));
    ASSERT_EQ(open(b), 0);
    EXPECT_EQ(channelsMade, 2);   // another phone's parked channel is not taken
    ASSERT_EQ(b.closeTransportLayer(nullptr), 0);
    EXPECT_EQ(closes, 1);
    EXPECT_NE(parkedChannel(), lineA);
    freeParkedChannel();
    EXPECT_EQ(closes, 2);

    auto& plain = makeTransport({});
    ASSERT_EQ(open(plain), 0);
    bool closed = false;
    ASSERT_EQ(plain.closeTransportLayer(QVDeviceCallback::commandObject(&kCallbackSender, [&](QVDeviceCallback&) { closed = true; }, {})),
              0);
    ASSERT_TRUE(runUntil([&] { return closed; }, 1));
    EXPECT_EQ(closes, 3);
    EXPECT_EQ(parkedChannel(), nullptr);
    EXPECT_FALSE(plain.hasOpenTransportConnection());
}

} // namespace

TEST_F(ObexTransportTest, OkErrorWaitsWriteTheirResult)
{
    auto& transport = makeTransport({});
    ASSERT_EQ(open(transport), 0);
    transport.setObexMode(false);
    struct Case {
        const char* answer;
        bool good;
    } cases[] = {{"\r\nOK\r\n", true}, {"\r\nERROR\r\n", false}, {"\r\nCONNECT\r\n", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        channel->resetBuffer();
        channel->deliver(c.answer);
        bool good = !c.good;
        EXPECT_TRUE(transport.waitForOkErrorConnect(5, &good));
        EXPECT_EQ(good, c.good);
        channel->resetBuffer();
        channel->deliver(c.answer);
        good = !c.good;
        EXPECT_TRUE(transport.waitForOkOrError(5, &good));
        EXPECT_EQ(good, c.good);
    }
}
