#include "links/ObexATSwitchTransportLayer.h"

#include "VirtualTime.h"
#include "links/QVDeviceCallback.h"

#include "LinkTestSupport.h"
#include <QMap>
#include <deque>
#include <gtest/gtest.h>
#include <optional>

namespace {

// The codec over a scripted transport: each AT line sent is answered with the
// next answer queued for it; a line with none left is not answered.
class ScriptedSwitch : public ObexATSwitchTransportLayer {
public:
    using ObexATSwitchTransportLayer::ObexATSwitchTransportLayer;

    // nullopt: the line fails once.
    QMap<QByteArray, std::deque<std::optional<QByteArray>>> answers;
    QList<QByteArray> sent;
    int closes = 0;
    QByteArray received;

    bool sendData(const char* bytes, int length) override
    {
        sent.append(QByteArray(bytes, length));
        return true;
    }
    bool sendDataAndWait(const QString& text, int) override
    {
        const QByteArray line = text.toLatin1();
        sent.append(line);
        _answer.clear();
        auto it = answers.find(line);
        if (it == answers.end() || it->empty())
            return false;
        const std::optional<QByteArray> next = it->front();
        it->pop_front();
        _answer = next.value_or(QByteArray());
        return next.has_value();
    }
    QString buffer() const override { return QString::fromLatin1(_answer); }
    bool sendObexData(const char* bytes, int length) override { return sendData(bytes, length); }
    bool hasOpenTransportConnection() const override { return true; }
    int closeTransportLayer(const std::shared_ptr<QVDeviceCallback>&) override
    {
        ++closes;
        return 0;
    }
    const char* commBuffer() const override { return received.constData(); }
    uint32_t currentBuffIndex() const override { return uint32_t(received.size()); }

private:
    QByteArray _answer;
};

struct SwitchCase {
    const char* name;
    ObexSwitchSettings settings;
    QList<std::pair<QByteArray, QByteArray>> script;   // line and its answer, in the order queued
    int status;
    QList<QByteArray> sent;
    int closes;
};

ObexSwitchSettings with(std::function<void(ObexSwitchSettings&)> change)
{
    ObexSwitchSettings s;
    change(s);
    return s;
}

int runSwitch(ScriptedSwitch& codec)
{
    int status = 1;
    bool done = false;
    codec.initializeSerialChannelForSyncML(QVDeviceCallback::commandObject(&kCallbackSender,
        [&](QVDeviceCallback& c) {
            status = c.returnStatus();
            done = true;
        },
        {}));
    EXPECT_TRUE(done);
    return status;
}

TEST(ObexSwitch, SwitchCommandsAndResults)
{
    const QByteArray prep = "AT&FE0V1\r\n";
    const QByteArray ok = "\r\nOK\r\n";
    const auto gigaset = with([](ObexSwitchSettings& s) { s.isGigaset = true; });
    const auto revisionModel = [](const char* revision) {
        return std::pair<QByteArray, QByteArray>("AT+CGMR\r\n", QByteArray("AT+CGMR\r\n") + revision + "\r\n\r\nOK\r\n");
    };
    const auto samsung = [](const char* command) {
        return with([command](ObexSwitchSettings& s) {
            s.usesSamsungATConnections = true;
            s.switchToSyncMLCommand = QString::fromLatin1(command);
        });
    };
    const SwitchCase cases[] = {
        {"default", {}, {{prep, ok}, {"AT+CPROT=0\r\n", "\r\nCONNECT\r\n"}}, 0, {prep, "AT+CPROT=0\r\n"}, 0},
        {"own preparation and switch",
         with([](ObexSwitchSettings& s) {
             s.prepareATChannel = QStringLiteral("ATZ");
             s.switchToSyncMLCommand = QStringLiteral("AT*EOBEX");
         }),
         {{"ATZ\r\n", ok}, {"AT*EOBEX\r\n", "\r\nCONNECT\r\n"}}, 0, {"ATZ\r\n", "AT*EOBEX\r\n"}, 0},
        {"second attempt after +++", {}, {{prep, {}}, {prep, ok}, {"AT+CPROT=0\r\n", ok}}, 0,
         {prep, "+++", prep, "AT+CPROT=0\r\n"}, 0},
        {"two failed attempts", {}, {}, -201, {prep, "+++", prep}, 0},
        {"two failed attempts on a Gigaset", gigaset, {}, -200, {prep, "+++", prep}, 0},
        {"Gigaset SL400 from 75.114.000 asks HSMM",
         with([](ObexSwitchSettings& s) {
             s.isGigaset = true;
             s.deviceID = 15373;
         }),
         {{prep, ok}, revisionModel("75.114.000"), {"AT^HSMM?\r\n", ok}, {"AT+CPROT=0\r\n", ok}}, 0,
         {prep, "AT+CGMR\r\n", "AT^HSMM?\r\n", "AT+CPROT=0\r\n"}, 0},
        {"Gigaset SL400 before it does not",
         with([](ObexSwitchSettings& s) { s.deviceID = 15373; }),
         {{prep, ok}, revisionModel("75.113.999"), {"AT+CPROT=0\r\n", ok}}, 0,
         {prep, "AT+CGMR\r\n", "AT+CPROT=0\r\n"}, 0},
        {"switch refused", {}, {{prep, ok}, {"AT+CPROT=0\r\n", "\r\nERROR\r\n"}}, -200, {prep, "AT+CPROT=0\r\n"}, 1},
        {"switch unanswered", {}, {{prep, ok}}, -5, {prep, "AT+CPROT=0\r\n"}, 1},
        {"per-database switch sends nothing yet",
         with([](ObexSwitchSettings& s) { s.switchToSyncMLCommand = QStringLiteral("AT+SYNCML"); }), {{prep, ok}}, 0,
         {prep}, 0},
        {"Samsung", samsung(""), {{prep, ok}, {"AT+SYNCML=MOBEXSTART\r\n", ok}}, 0, {prep, "AT+SYNCML=MOBEXSTART\r\n"},
         0},
        {"Samsung MOBEXSTART switches without a command", samsung("AT+SYNCML=MOBEXSTART"), {{prep, ok}}, 0, {prep}, 0},
        {"Samsung refused with 2033", samsung(""),
         {{prep, ok}, {"AT+SYNCML=MOBEXSTART\r\n", "\r\nERROR:2033\r\n"}}, -200, {prep, "AT+SYNCML=MOBEXSTART\r\n"}, 1},
        {"Samsung refused", samsung(""), {{prep, ok}, {"AT+SYNCML=MOBEXSTART\r\n", "\r\nERROR\r\n"}}, -5,
         {prep, "AT+SYNCML=MOBEXSTART\r\n"}, 1},
        {"Samsung unanswered preparation", samsung(""), {}, -201, {prep, "+++", prep}, 0},
    };
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSwitch codec(nullptr, c.settings, false);
        for (const auto& [line, answer] : c.script) {
            codec.answers[line].push_back(answer.isNull() ? std::nullopt : std::optional<QByteArray>(answer));
        }
        EXPECT_EQ(runSwitch(codec), c.status);
        EXPECT_EQ(codec.sent, c.sent);
        EXPECT_EQ(codec.closes, c.closes);
        EXPECT_EQ(codec.modeObex(), c.status == 0 && c.settings.switchToSyncMLCommand != QLatin1String("AT+SYNCML=MOBEXSTART"));
    }
}

TEST(ObexSwitch, PerDatabaseSwitchIsAnsweredAsAConnect)
{
    const auto syncSwitch = [](bool twoCalendars) {
        return with([twoCalendars](ObexSwitchSettings& s) {
            s.switchToSyncMLCommand = QStringLiteral("AT+SYNCML");
            s.has2CalendarDBs = twoCalendars;
        });
    };
    ScriptedSwitch unswitched(nullptr, {}, false);
    EXPECT_EQ(unswitched.sendSwitchCommandForProperty(0, false, {}), -66);
    EXPECT_TRUE(unswitched.sent.isEmpty());

    const struct {
        int type;
        bool twoCalendars;
        QByteArray line;
    } cases[] = {
        {0, false, "AT+SYNCML=1061\r\n"}, {1, false, "AT+SYNCML=1062\r\n"}, {1, true, "AT+SYNCML=2062063\r\n"},
        {2, false, "AT+SYNCML=1064\r\n"}, {6, false, "AT+SYNCML=1063\r\n"}, {3, false, "AT+SYNCML\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.constData());
        ScriptedSwitch codec(nullptr, syncSwitch(c.twoCalendars), false);
        codec.answers["AT&FE0V1\r\n"].push_back("\r\nOK\r\n");
        ASSERT_EQ(runSwitch(codec), 0);
        EXPECT_FALSE(codec.requiresOpenConnect());
        std::vector<OBEXSessionEvent> events;
        ASSERT_EQ(codec.sendSwitchCommandForProperty(c.type, false, [&](const OBEXSessionEvent& e) { events.push_back(e); }), 0);
        EXPECT_EQ(codec.sent.last(), c.line);
        EXPECT_EQ(codec.sentCommand(), 0x80);
        codec.received = QByteArray::fromHex("A0000710002000");
        codec.processObexAnswer();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, obex::kEventConnectResponse);
        EXPECT_TRUE(codec.hasValidSession());
    }
}

TEST(ObexSwitch, ServerHandsRequestsOnAndAnswersUnhandledOnes)
{
    ScriptedSwitch server(nullptr, {}, true);
    server.received = QByteArray::fromHex("8200084900054142");
    server.processObexRequest();
    EXPECT_EQ(server.sent.last().toHex(), QByteArray("d10003"));

    std::vector<std::pair<int, QByteArray>> requests;
    server.setServerDataHandler([&](const OBEXTransportEvent& e) {
        requests.push_back({e.status, QByteArray(e.dataPtr, int(e.dataLength))});
    });
    server.processObexRequest();
    server.received = "ERROR";
    server.processObexRequest();
    server.received = QByteArray::fromHex("820010");
    server.processObexRequest();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], std::make_pair(0, QByteArray::fromHex("8200084900054142")));
    EXPECT_EQ(requests[1], std::make_pair(int(obex::kErrAsciiError), QByteArray("ERROR")));
    EXPECT_EQ(requests[2].first, obex::kErrBadResponse);

    EXPECT_EQ(server.OBEXConnectResponse(0xA0, 0, 0x2000, "\x4A\x00\x04\x01", 4), 0);
    EXPECT_EQ(server.sent.last().toHex(), QByteArray("a0000b100020004a000401"));
    EXPECT_EQ(server.OBEXSetPathResponse(0xA0), 0);
    EXPECT_EQ(server.sent.last().toHex(), QByteArray("a00003"));
    const QByteArray headers(1001, 'h');
    EXPECT_EQ(server.OBEXGetResponse(0xA0, headers.constData(), 1001), -1);
    EXPECT_EQ(server.OBEXDisconnectResponse(0xA0, nullptr, 0), 0);
    EXPECT_FALSE(server.hasOpenOBEXConnection());
}

} // namespace
