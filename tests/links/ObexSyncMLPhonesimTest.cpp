#include "links/LinkCodes.h"
#include "links/ObexPacket.h"
#include "links/ObexServiceTransport.h"
#include "links/ObexSyncMLConnection.h"
#include "links/ObexSyncMLDelegate.h"
#include "links/ObjectPushCommand.h"

#include "BluetoothPhoneFixture.h"

using testing_support::runUntil;

namespace {

QByteArray wbxml(int size, char seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char(seed + i * 3);
    return data;
}

// The sync session's side: collects the phone's message and answers its Get.
struct AnsweringSession : ObexSyncMLDelegate {
    ObexSyncMLConnection* connection = nullptr;
    QByteArray answer;
    QByteArray received;
    int receivedStatus = 1;
    std::shared_ptr<ObjectPushCommand> answerCommand;
    int answerStatus = 1;
    void setGlobalError(int) override { }
    void finishSession(int) override { }
    void clientSentGetCommand() override
    {
        answerCommand = ObjectPushCommand::pushCommandWithData(
            ObjectPushCommand::kServerGetResponse, answer, this,
            [this](QVDeviceCallback& c) { answerStatus = c.returnStatus(); });
        connection->executeCommandSync(answerCommand);
    }
    void receivedCommandFromClientFinished(ObjectPushCommand& command) override
    {
        received = command.dataReceived();
        receivedStatus = command.returnStatus();
    }
};

class ObexSyncMLPhonesimTest : public BluetoothPhoneFixture { };

} // namespace

TEST_F(ObexSyncMLPhonesimTest, PhoneAsSyncMLClientAfterTheSwitchRunsItsSessionAgainstTheServerConnection)
{
    addPhone("lg");
    const QByteArray message = wbxml(1500, 'a');
    AnsweringSession session;
    session.answer = wbxml(900, 'z');
    sim->modifyObexServer([&](phonesim::ObexServer& server) { server.setSyncMLClientMessage(message); });

    const auto choice = ObexServiceTransport::choose(QStringLiteral("ATObexServer-SyncML"), false,
                                                     QStringLiteral("Bluetooth"), connectionDict());
    ASSERT_TRUE(choice.server);
    ObexSyncMLConnection connection(nullptr, &session);
    session.connection = &connection;
    connection.setTransportFactory(
        [&] { return choice.make(nullptr, {}, connectionDict(), QStringLiteral("Bluetooth")); });
    int opened = 1;
    ASSERT_EQ(connection.openConnection(
                  QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { opened = c.returnStatus(); }, {})),
              0);
    ASSERT_TRUE(runUntil([&] { return opened != 1; }, 30));
    ASSERT_EQ(opened, 0);
    ASSERT_TRUE(connection.isServer());

    int notified = 1;
    auto notification = ObjectPushCommand::pushCommandWithData(
        ObjectPushCommand::kPutSyncMLNotification, wbxml(40, 'n'), this,
        [&](QVDeviceCallback& c) { notified = c.returnStatus(); });
    ASSERT_EQ(connection.executeCommandSync(notification), 0);
    ASSERT_TRUE(runUntil([&] { return sim->obexServer().syncMLClient().done(); }, 30));
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(session.receivedStatus, 0);
    EXPECT_EQ(session.received, message);
    EXPECT_EQ(session.answerStatus, 0);
    EXPECT_EQ(sim->obexServer().syncMLClient().received(), session.answer);
    EXPECT_FALSE(connection.hasObexConnection());
}

// The client on the phone's SyncML channel (plain session) while phonesim
// answers a Put badly: each ends the command with an error, none hangs.
TEST_F(ObexSyncMLPhonesimTest, MalformedAnswersEndTheExchangeWithAnError)
{
    using Fault = phonesim::ObexServer::Fault;
    using FaultKind = phonesim::ObexServer::FaultKind;
    struct Case {
        const char* what;
        Fault fault;
        int status;
    } cases[] = {
        {"rejected", {FaultKind::ResponseCode, {}, 0xC4}, ObexServiceConnection::kPutRejected},
        {"ASCII ERROR", {FaultKind::Text, "ERROR\r\n", 0}, obex::kErrAsciiError},
        {"length field past the bytes", {FaultKind::LengthDelta, {}, 40}, links::kErrRequestTimeout},
        {"length field under the prefix",
         {FaultKind::Text, QByteArray("\xA0\x00\x01", 3), 0},
         links::kErrRequestTimeout},
        {"silence", {FaultKind::Silence, {}, 0}, links::kErrRequestTimeout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        addPhone("sonyericsson");
        const auto choice = ObexServiceTransport::choose(QStringLiteral("BT-SyncML"), false,
                                                         QStringLiteral("Bluetooth"), connectionDict());
        ASSERT_EQ(choice.kind, ObexServiceTransport::Kind::PlainSession);
        ObexSyncMLConnection connection(nullptr, nullptr);
        connection.setTransportFactory(
            [&] { return choice.make(nullptr, {}, connectionDict(), QStringLiteral("Bluetooth")); });
        int opened = 1;
        ASSERT_EQ(connection.openConnection(QVDeviceCallback::commandObject(
                      this, [&](QVDeviceCallback& cb) { opened = cb.returnStatus(); }, {})),
                  0);
        ASSERT_TRUE(runUntil([&] { return opened != 1; }, 30));
        ASSERT_EQ(opened, 0);
        sim->modifyObexServer([&](phonesim::ObexServer& server) { server.queueFault(c.fault); });
        int ended = 0;
        int status = 1;
        auto put = ObjectPushCommand::pushCommandWithData(ObjectPushCommand::kPutSyncMLWBXML, wbxml(300, 'q'), this,
                                                          [&](QVDeviceCallback& cb) {
                                                              ++ended;
                                                              status = cb.returnStatus();
                                                          });
        ASSERT_EQ(connection.executeCommandSync(put), 0);
        ASSERT_TRUE(runUntil([&] { return ended > 0; }, 60));
        EXPECT_EQ(status, c.status);
        EXPECT_FALSE(connection.currentCommand());
    }
}
