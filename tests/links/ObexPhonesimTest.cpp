#include "BluetoothPhoneFixture.h"

#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/QVDeviceCallback.h"

#include "LinkTestSupport.h"
#include <optional>

namespace {

using testing_support::runUntil;

struct Seen {
    uint32_t type = 0;
    uint8_t code = 0;
    int error = 0;
    QList<obex::Header> headers;
};

// The codec on the Bluetooth serial channel, talking to phonesim's OBEX
// server behind its AT switch.
class ObexPhonesimTest : public BluetoothPhoneFixture {
protected:
    void TearDown() override
    {
        transport.reset();
        freeParkedChannel();
        BluetoothPhoneFixture::TearDown();
    }

    CommonObexATSwitchTransportLayer& makeTransport(const ObexSwitchSettings& settings = {})
    {
        transport = std::make_unique<CommonObexATSwitchTransportLayer>(nullptr, settings, connectionDict(),
                                                                       QStringLiteral("Bluetooth"), false);
        return *transport;
    }

    int open()
    {
        std::optional<int> status;
        const int started = transport->openTransportLayer(QVDeviceCallback::commandObject(
            &kCallbackSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {}));
        if (started != 0)
            return started;
        EXPECT_TRUE(runUntil([&] { return status.has_value(); }, 30));
        return status.value_or(1);
    }

    int close()
    {
        std::optional<int> status;
        const int started = transport->closeTransportLayer(QVDeviceCallback::commandObject(
            &kCallbackSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {}));
        if (started != 0)
            return started;
        EXPECT_TRUE(runUntil([&] { return status.has_value(); }, 5));
        return status.value_or(1);
    }

    // Sends a request and waits (up to the time-out sequence) for its event.
    Seen call(const std::function<int(OBEXSessionEventHandler)>& send)
    {
        std::optional<Seen> seen;
        const int status = send([&](const OBEXSessionEvent& e) {
            Seen s;
            s.type = e.type;
            s.code = e.response.serverResponseOpCode;
            s.error = e.errorData.error;
            if (e.response.headerDataPtr) {
                s.headers = obex::parseHeaders(reinterpret_cast<const char*>(e.response.headerDataPtr),
                                               qsizetype(e.response.headerDataLength))
                                .value_or(QList<obex::Header>());
            }
            seen = s;
        });
        EXPECT_EQ(status, 0);
        if (status != 0)
            return {};
        EXPECT_TRUE(runUntil([&] { return seen.has_value(); }, 40));
        return seen.value_or(Seen());
    }

    Seen connect(const QByteArray& target)
    {
        QByteArray headers;
        if (!target.isNull())
            obex::addTargetHeader(headers, target);
        return call([&](OBEXSessionEventHandler h) {
            return transport->OBEXConnect(0, 0x2000, headers.constData(), int(headers.size()), std::move(h));
        });
    }

    Seen put(const QString& name, const QByteArray& body, bool final)
    {
        QByteArray headers;
        if (!name.isNull())
            obex::addNameHeader(headers, name);
        return call([&](OBEXSessionEventHandler h) {
            return transport->OBEXPut(final, headers.constData(), int(headers.size()), body.constData(),
                                      int(body.size()), std::move(h));
        });
    }

    // A whole file in Puts of at most the peer's packet size.
    bool putFile(const QString& name, const QByteArray& data)
    {
        const int room = transport->getMaxPacketLength() - 3 - 3 - 64;
        for (qsizetype at = 0; at < data.size(); at += room) {
            const bool last = at + room >= data.size();
            const Seen s = put(at == 0 ? name : QString(), data.mid(at, room), last);
            if (s.code != (last ? 0xA0 : 0x90))
                return false;
        }
        return true;
    }

    std::optional<QByteArray> getFile(const QByteArray& headers)
    {
        QByteArray data;
        for (int parts = 0; parts < 1000; ++parts) {
            const Seen s = call([&](OBEXSessionEventHandler h) {
                return transport->OBEXGet(true, parts == 0 ? headers.constData() : nullptr,
                                          parts == 0 ? int(headers.size()) : 0, std::move(h));
            });
            if (s.type != obex::kEventGetResponse)
                return std::nullopt;
            for (const obex::Header& header : s.headers) {
                if (header.identifier == obex::kHeaderBody || header.identifier == obex::kHeaderEndOfBody)
                    data += header.value;
            }
            if (s.code == 0xA0)
                return data;
            if (s.code != 0x90)
                return std::nullopt;
        }
        return std::nullopt;
    }

    QList<QByteArray> linesSeen() const { return sim->receivedLines(); }

    std::unique_ptr<CommonObexATSwitchTransportLayer> transport;
};

QByteArray sampleBytes(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xFF);
    return data;
}

TEST_F(ObexPhonesimTest, FilesGoUpAndComeBackThroughTheSwitchedChannel)
{
    addPhone("lg");
    makeTransport();
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(linesSeen(), (QList<QByteArray>{"AT&FE0V1", "AT+CPROT=0"}));
    EXPECT_TRUE(sim->obexMode());

    const Seen connected = connect(obex::fileTransferTarget());
    EXPECT_EQ(connected.type, obex::kEventConnectResponse);
    EXPECT_EQ(connected.code, 0xA0);
    ASSERT_TRUE(obex::findHeader(connected.headers, obex::kHeaderWho));
    EXPECT_EQ(obex::findHeader(connected.headers, obex::kHeaderWho)->value, obex::fileTransferTarget());
    ASSERT_TRUE(obex::findHeader(connected.headers, obex::kHeaderConnectionID));
    EXPECT_TRUE(transport->hasValidSession());
    EXPECT_EQ(transport->getMaxPacketLength(), 0x2000);

    const QByteArray data = sampleBytes(20000); // three packets
    ASSERT_TRUE(putFile(QStringLiteral("Bild 1.jpg"), data));
    EXPECT_EQ(sim->obexServer().files().value(QStringLiteral("/Bild 1.jpg")), data);

    QByteArray name;
    obex::addNameHeader(name, QStringLiteral("Bild 1.jpg"));
    EXPECT_EQ(getFile(name), data);
    QByteArray listing;
    obex::addTypeHeader(listing, "x-obex/folder-listing");
    const std::optional<QByteArray> folder = getFile(listing);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->contains("<file name=\"Bild 1.jpg\" size=\"20000\"/>"));

    QByteArray folderName;
    obex::addNameHeader(folderName, QStringLiteral("Pictures"));
    const Seen path = call([&](OBEXSessionEventHandler h) {
        return transport->OBEXSetPath(0, 0, folderName.constData(), int(folderName.size()), std::move(h));
    });
    EXPECT_EQ(path.type, obex::kEventSetPathResponse);
    EXPECT_EQ(path.code, 0xA0);
    const Seen missing = [&] {
        QByteArray headers;
        obex::addNameHeader(headers, QStringLiteral("none.txt"));
        return call([&](OBEXSessionEventHandler h) {
            return transport->OBEXGet(true, headers.constData(), int(headers.size()), std::move(h));
        });
    }();
    EXPECT_EQ(missing.code, 0xC4);

    const Seen bye = call([&](OBEXSessionEventHandler h) { return transport->OBEXDisconnect(nullptr, 0, std::move(h)); });
    EXPECT_EQ(bye.type, obex::kEventDisconnectResponse);
    EXPECT_FALSE(transport->hasValidSession());
    EXPECT_EQ(close(), 0);
}

TEST_F(ObexPhonesimTest, ConnectTargetsAreAnsweredWithTheirWho)
{
    addPhone("lg");
    for (const QByteArray& target : {QByteArray("MOBEX"), QByteArray("SYNCML-SYNC"), QByteArray("IRMC-SYNC"),
                                     QByteArray(), QByteArray("UNKNOWN")}) {
        SCOPED_TRACE(target.constData());
        makeTransport();
        ASSERT_EQ(open(), 0);
        const Seen s = connect(target);
        EXPECT_EQ(s.type, obex::kEventConnectResponse);
        const bool known = target != "UNKNOWN";
        EXPECT_EQ(s.code, known ? 0xA0 : 0xC3);
        EXPECT_EQ(transport->hasValidSession(), known);
        const obex::Header* who = obex::findHeader(s.headers, obex::kHeaderWho);
        EXPECT_EQ(who ? who->value : QByteArray(), known ? target : QByteArray());
        EXPECT_EQ(obex::findHeader(s.headers, obex::kHeaderConnectionID) != nullptr, known);
        EXPECT_EQ(close(), 0);
    }
}

TEST_F(ObexPhonesimTest, FaultyAnswersEndTheRequestWithAnError)
{
    using Kind = phonesim::ObexServer::FaultKind;
    struct Case {
        const char* name;
        phonesim::ObexServer::Fault fault;
        uint32_t type;
        int error;
        uint8_t code;
        bool timedOut;
    } cases[] = {
        {"silence", {Kind::Silence, {}, 0}, obex::kEventError, links::kErrRequestTimeout, 0, true},
        {"five bytes ERROR", {Kind::Text, "ERROR", 0}, obex::kEventError, links::kErrRequestTimeout, 0, true},
        {"ERROR line", {Kind::Text, "ERROR\r\n", 0}, obex::kEventError, obex::kErrAsciiError, 0, false},
        {"other response code", {Kind::ResponseCode, {}, 0xC3}, obex::kEventPutResponse, 0, 0xC3, false},
        {"length below the fixed part", {Kind::LengthDelta, {}, -1}, obex::kEventError, links::kErrRequestTimeout, 0,
         true},
        {"length beyond the bytes sent", {Kind::LengthDelta, {}, 4}, obex::kEventError, links::kErrRequestTimeout, 0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        addPhone("lg");
        makeTransport();
        ASSERT_EQ(open(), 0);
        ASSERT_EQ(connect("MOBEX").code, 0xA0);
        sim->modifyObexServer([&](phonesim::ObexServer& server) { server.queueFault(c.fault); });
        const Seen s = put(QStringLiteral("a.txt"), "abc", true);
        EXPECT_EQ(s.type, c.type);
        EXPECT_EQ(s.error, c.error);
        EXPECT_EQ(s.code, c.code);
        if (c.timedOut) {
            // The phone saw the Abort and the Disconnect, and the channel closed.
            const QList<quint8> requests = sim->obexServer().requests();
            EXPECT_EQ(requests.mid(requests.size() - 3), (QList<quint8>{0x82, 0xFF, 0x81}));
            EXPECT_FALSE(transport->hasOpenTransportConnection());
        }
        transport.reset();
    }
}

TEST_F(ObexPhonesimTest, AnswersInSmallPiecesMakeOnePacket)
{
    addPhone("lg");
    makeTransport();
    ASSERT_EQ(open(), 0);
    ASSERT_EQ(connect("MOBEX").code, 0xA0);
    sim->setAnswerChunking(2, 0);
    const QByteArray data = sampleBytes(9000);
    ASSERT_TRUE(putFile(QStringLiteral("x.bin"), data));
    QByteArray name;
    obex::addNameHeader(name, QStringLiteral("x.bin"));
    EXPECT_EQ(getFile(name), data);
}

TEST_F(ObexPhonesimTest, GigasetHangsUpKeepsTheLinkAndSwitchesAgain)
{
    addPhone("gigaset-sl400");
    ObexSwitchSettings gigaset;
    gigaset.isGigaset = true;
    gigaset.deviceID = 15373;
    makeTransport(gigaset);
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(linesSeen(), (QList<QByteArray>{"AT&FE0V1", "AT+CGMR", "AT^HSMM?", "AT+CPROT=0"}));
    ASSERT_EQ(connect("SYNCML-SYNC").code, 0xA0);
    EXPECT_EQ(close(), 0);
    EXPECT_TRUE(runUntil([&] { return !sim->obexMode(); }, 2));
    EXPECT_NE(parkedChannel(), nullptr);

    sim->clearReceived();
    makeTransport(gigaset);
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(stack->openCount(address()), 1);
    EXPECT_EQ(linesSeen(), (QList<QByteArray>{"AT&FE0V1", "AT+CGMR", "AT^HSMM?", "AT+CPROT=0"}));
    EXPECT_EQ(connect("SYNCML-SYNC").code, 0xA0);
}

TEST_F(ObexPhonesimTest, PerDatabaseSwitchIsTheConnect)
{
    addPhone("lg");
    ObexSwitchSettings settings;
    settings.switchToSyncMLCommand = QStringLiteral("AT+SYNCML");
    settings.has2CalendarDBs = true;
    makeTransport(settings);
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(linesSeen(), (QList<QByteArray>{"AT&FE0V1"}));
    EXPECT_FALSE(transport->requiresOpenConnect());
    const Seen s = call([&](OBEXSessionEventHandler h) {
        return transport->sendSwitchCommandForProperty(1, false, std::move(h));
    });
    EXPECT_EQ(linesSeen().last(), "AT+SYNCML=2062063");
    EXPECT_EQ(s.type, obex::kEventConnectResponse);
    EXPECT_EQ(s.code, 0xA0);
    EXPECT_TRUE(transport->hasValidSession());
    EXPECT_EQ(put(QStringLiteral("cal.vcs"), "BEGIN:VCALENDAR", true).code, 0xA0);
}

TEST_F(ObexPhonesimTest, SamsungSwitchAndItsRefusals)
{
    struct Case {
        const char* refusal;
        int status;
    } cases[] = {{"", 0}, {"ERROR:2033", -200}, {"ERROR", -5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        addPhone("samsung");
        sim->modifyObexServer([&](phonesim::ObexServer& server) { server.setSwitchRefusal(c.refusal); });
        ObexSwitchSettings samsung;
        samsung.isSamsung = true;
        samsung.usesSamsungATConnections = true;
        makeTransport(samsung);
        EXPECT_EQ(open(), c.status);
        EXPECT_EQ(linesSeen().value(1), "AT+SYNCML=MOBEXSTART");
        if (c.status == 0)
            EXPECT_EQ(connect("MOBEX").code, 0xA0);
        transport.reset();
    }
}

} // namespace
