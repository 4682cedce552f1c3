#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/QVDeviceCallback.h"
#include "links/SamsungObexATSwitchTransportLayer.h"

#include "VirtualTime.h"

#include "LinkTestSupport.h"
#include <QMap>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;

// The Samsung codec over a transport that records what is sent and answers
// AT lines from a table, delivering the answers as received bytes.
class SamsungCodec : public SamsungObexATSwitchTransportLayer {
public:
    using SamsungObexATSwitchTransportLayer::SamsungObexATSwitchTransportLayer;

    QList<QByteArray> sent;
    QMap<QByteArray, QByteArray> atAnswers;
    bool open = true;
    int closes = 0;

    bool sendData(const char* bytes, int length) override
    {
        sent.append(QByteArray(bytes, length));
        return open;
    }
    bool sendObexData(const char* bytes, int length) override { return sendData(bytes, length); }
    bool sendDataAndWait(const QString& text, int passes) override
    {
        const QByteArray line = text.toLatin1();
        setData(false);
        if (!sendData(line.constData(), int(line.size())))
            return false;
        if (atAnswers.contains(line)) {
            const QByteArray answer = atAnswers.value(line);
            deliverData(answer.constData(), int(answer.size()));
        }
        return waitForOkErrorConnect(passes, nullptr);
    }
    bool hasOpenTransportConnection() const override { return open; }
    int closeTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        ++closes;
        open = false;
        if (callback)
            callback->finishWithResult(0, QVariant());
        return 0;
    }
    void deliver(const QByteArray& bytes) { deliverData(bytes.constData(), int(bytes.size())); }
};

struct SamsungSeen {
    uint32_t type;
    int error;
    uint8_t code;
    uint32_t index;
};

class SamsungObexCodecTest : public ::testing::Test {
protected:
    OBEXSessionEventHandler recorder()
    {
        return [this](const OBEXSessionEvent& e) {
            events.push_back({e.type, e.errorData.error, e.response.serverResponseOpCode, codec.currentBuffIndex()});
        };
    }
    void switched()
    {
        codec.atAnswers = {{"AT&FE0V1\r\n", "\r\nOK\r\n"}, {"AT+SYNCML=MOBEXSTART\r\n", "\r\nOK\r\n"}};
        int status = 1;
        codec.initializeSerialChannelForSyncML(
            QVDeviceCallback::commandObject(&kCallbackSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {}));
        ASSERT_EQ(status, 0);
        ASSERT_TRUE(codec.modeObex());
    }
    int connect(uint16_t maxPacket = 1024)
    {
        QByteArray target;
        obex::addTargetHeader(target, "MOBEX");
        return codec.OBEXConnect(0x01, maxPacket, target.constData(), int(target.size()), recorder());
    }

    SamsungCodec codec{nullptr, ObexSwitchSettings{}, false};
    std::vector<SamsungSeen> events;
};

TEST_F(SamsungObexCodecTest, ConnectIsTheFixedSamsungPacket)
{
    switched();
    ASSERT_EQ(connect(1024), 0);
    EXPECT_EQ(codec.sent.last().toHex(' '), hex("80000F110020004600084D4F424558").toHex(' '));
    EXPECT_EQ(codec.getMaxPacketLength(), 1024);
}

TEST_F(SamsungObexCodecTest, PacketsAreHandedOverWholeAndOnce)
{
    switched();
    ASSERT_EQ(connect(), 0);
    const QByteArray answer = hex("A0000F100020004A00084D4F424558");
    codec.deliver(answer.left(2));
    runFor(0.5);
    EXPECT_TRUE(events.empty());
    codec.deliver(answer.mid(2));
    runFor(0.5);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, obex::kEventConnectResponse);
    EXPECT_EQ(events[0].index, 15u);
    EXPECT_TRUE(codec.hasValidSession());
    EXPECT_EQ(codec.getMaxPacketLength(), 0x2000);

    // Two answers in one piece: each handed over on its own, the second kept meanwhile.
    events.clear();
    ASSERT_EQ(codec.OBEXPut(false, nullptr, 0, "abc", 3, recorder()), 0);
    codec.deliver(hex("900003A00003"));
    runFor(0.5);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, 0x90);
    EXPECT_EQ(events[1].code, 0xA0);
    EXPECT_EQ(events[1].index, 3u);
}

TEST_F(SamsungObexCodecTest, ErrorLineAndOversizedInputEndTheRequest)
{
    switched();
    ASSERT_EQ(connect(), 0);
    codec.deliver("ERROR\r\n");
    runFor(0.5);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, obex::kEventError);
    EXPECT_EQ(events[0].error, obex::kErrAsciiError);
    EXPECT_EQ(events[0].index, 5u);

    // More than the buffer holds, announced as one maximal packet: read in
    // bounds, handed over at its length, the rest kept.
    events.clear();
    ASSERT_EQ(codec.OBEXGet(true, nullptr, 0, recorder()), 0);
    QByteArray flood = hex("A0FFFF") + QByteArray(0xFFFF - 3, 'x') + hex("A00003") + QByteArray(5000, 'y');
    codec.deliver(flood);
    runFor(0.5);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].type, obex::kEventGetResponse);
    EXPECT_EQ(events[0].index, 0xFFFFu);
    EXPECT_EQ(events[1].index, 3u);
}

TEST_F(SamsungObexCodecTest, BytesPastOneWaitingPacketAreNotKept)
{
    switched();
    ASSERT_EQ(connect(), 0);
    events.clear();
    // 200 answers of 1,000 bytes in one piece: the first is handed over, one
    // packet buffer's worth (65 whole answers) waits behind it, the rest is
    // dropped instead of piling up.
    QByteArray answer = hex("9003E8") + QByteArray(1000 - 3, 'z');
    QByteArray flood;
    for (int i = 0; i < 200; ++i)
        flood += answer;
    ASSERT_EQ(codec.OBEXPut(false, nullptr, 0, "abc", 3, recorder()), 0);
    codec.deliver(flood);
    // Each hand-over takes its own pass: run until no more come.
    for (size_t before = SIZE_MAX; before != events.size();) {
        before = events.size();
        runFor(0.5);
    }
    ASSERT_EQ(events.size(), size_t(1 + SamsungObexATSwitchTransportLayer::kReceiveBufferSize / 1000));
    EXPECT_EQ(events.back().code, 0x90);
    EXPECT_EQ(events.back().index, 1000u);
}

TEST_F(SamsungObexCodecTest, TimeOutAbortsDisconnectsWithConnectionIdAndCloses)
{
    switched();
    ASSERT_EQ(connect(), 0);
    runFor(19.9);
    EXPECT_TRUE(events.empty());
    codec.setSessionID(3);
    runFor(5);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].error, links::kErrRequestTimeout);
    EXPECT_EQ(codec.sent.value(codec.sent.size() - 1), hex("FF0003"));   // no session: no Disconnect
    EXPECT_EQ(codec.closes, 1);
}

TEST_F(SamsungObexCodecTest, SwitchIsTriedOnce)
{
    struct Case {
        const char* name;
        QMap<QByteArray, QByteArray> answers;
        int status;
        int sent;
    } cases[] = {
        {"unanswered preparation", {}, -201, 1},
        {"ERROR answer", {{"AT&FE0V1\r\n", "\r\nOK\r\n"}, {"AT+SYNCML=MOBEXSTART\r\n", "\r\nERROR\r\n"}}, -200, 2},
        {"no answer to the switch", {{"AT&FE0V1\r\n", "\r\nOK\r\n"}}, -5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SamsungCodec fresh(nullptr, ObexSwitchSettings{}, false);
        fresh.atAnswers = c.answers;
        int status = 1;
        fresh.initializeSerialChannelForSyncML(
            QVDeviceCallback::commandObject(&kCallbackSender, [&](QVDeviceCallback& cb) { status = cb.returnStatus(); }, {}));
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(fresh.sent.size(), c.sent);
        EXPECT_FALSE(fresh.modeObex());
    }
}

} // namespace
