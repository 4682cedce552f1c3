#include "links/CommonObexIrMCConnection.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/ObjectPushCommand.h"

#include "FakeSerialATChannel.h"
#include "IrmcPhone.h"
#include "ObexServer.h"
#include "VirtualTime.h"

#include <gtest/gtest.h>

using testing_support::runUntil;

namespace {

// The connection on the AT-switched codec, phonesim's OBEX server with its
// IrMC phonebook answering every packet.
class CommonObexIrMCConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        phone = std::make_shared<phonesim::IrmcPhone>();
        phone->addEntry(phonesim::IrmcPhone::card(QStringLiteral("Ann"), QStringLiteral("111")));
        phone->addEntry(phonesim::IrmcPhone::card(QStringLiteral("Bob"), QStringLiteral("222")));
        server.setIrmcPhone(phone);
        connection = std::make_unique<CommonObexIrMCConnection>(nullptr, nullptr);
        connection->setTransportFactory([this] {
            auto transport = std::make_unique<CommonObexATSwitchTransportLayer>(
                nullptr, ObexSwitchSettings{}, QVariantMap(), QStringLiteral("Bluetooth"), false);
            transport->setChannelFactory([this](const QString&, const QVariantMap&, MFDevice* dev,
                                                SerialDelegateProtocol* delegate, SerialATChannel::PhoneTraits traits) {
                auto made = std::make_unique<FakeSerialATChannel>(dev, delegate, traits);
                FakeSerialATChannel* raw = made.get();
                made->onSend = [this, raw](const QByteArray& bytes) {
                    if (!raw->modeObex()) {
                        const auto switched = server.atLine(bytes.trimmed());
                        raw->deliver(switched ? switched->answer : QByteArray("\r\nOK\r\n"));
                        return;
                    }
                    if (silent)
                        return;
                    QByteArray out;
                    for (const QByteArray& part : server.input(bytes).answers)
                        out += part;
                    if (!out.isEmpty())
                        raw->deliver(out);
                };
                return made;
            });
            return transport;
        });
    }
    void TearDown() override
    {
        connection.reset();
        freeParkedChannel();
    }

    void open()
    {
        int status = 1;
        auto callback = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { status = c.returnStatus(); },
                                                        {});
        ASSERT_EQ(connection->openConnection(callback), 0);
        ASSERT_TRUE(runUntil([&] { return status != 1; }, 30));
        ASSERT_EQ(status, 0);
        ASSERT_EQ(server.lastTarget(), QByteArray("IRMC-SYNC"));
    }

    struct Ended {
        int count = 0;
        int status = 1;
        QByteArray data;
        QByteArray params;
    };
    std::shared_ptr<ObjectPushCommand> command(Ended& ended, const QByteArray& data = {}, int kind = 5)
    {
        return ObjectPushCommand::pushCommandWithData(kind, data, this, [&ended](QVDeviceCallback& c) {
            auto& done = static_cast<ObjectPushCommand&>(c);
            ++ended.count;
            ended.status = done.returnStatus();
            ended.data = done.dataReceived();
            ended.params = done.appParams();
        });
    }
    Ended run(const std::function<int(const std::shared_ptr<ObjectPushCommand>&)>& start, const QByteArray& data = {})
    {
        Ended ended;
        EXPECT_EQ(start(command(ended, data)), 0);
        EXPECT_TRUE(runUntil([&] { return ended.count > 0; }, 30));
        return ended;
    }

    std::shared_ptr<phonesim::IrmcPhone> phone;
    phonesim::ObexServer server;
    std::unique_ptr<CommonObexIrMCConnection> connection;
    bool silent = false;
};

} // namespace

TEST_F(CommonObexIrMCConnectionTest, EachReadIsOneGetOfItsIrMCObject)
{
    open();
    using C = CommonObexIrMCConnection;
    using Cmd = std::shared_ptr<ObjectPushCommand>;
    struct Case {
        std::function<int(const Cmd&)> start;
        const char* name;
        QByteArray contains;
    };
    const Case cases[] = {
        {[&](const Cmd& c) { return connection->requestInfoLogForPB(c); }, "telecom/pb/info.log", "Total-Records:2"},
        {[&](const Cmd& c) { return connection->requestChangeLogForPB(c); }, "telecom/pb/luid/cc.log", "2"},
        {[&](const Cmd& c) { return connection->requestNumberedLogForPB(c, QStringLiteral("1")); },
         "telecom/pb/luid/1.log", "M:2::2"},
        {[&](const Cmd& c) { return connection->requestMainDataForPB(c); }, "telecom/pb.vcf", "N:Bob"},
        {[&](const Cmd& c) { return connection->requestNumberedObjectStoreForPB(c, QStringLiteral("1")); },
         "telecom/pb/luid/1.vcf", "X-IRMC-LUID:1"},
        {[&](const Cmd& c) { return connection->requestIndexItemForPB(c, QStringLiteral("2")); }, "telecom/pb/2.vcf",
         "N:Bob"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Ended ended = run(c.start);
        EXPECT_EQ(ended.status, 0);
        EXPECT_EQ(phone->reads().last(), QLatin1String(c.name));
        EXPECT_TRUE(ended.data.contains(c.contains)) << ended.data.constData();
    }
    EXPECT_EQ(C::newEntryObjectName(), QStringLiteral("telecom/pb/luid/zapis.vcf"));
}

TEST_F(CommonObexIrMCConnectionTest, WritesCarryTheAskForAppParametersAndAWriteWithoutDataDeletes)
{
    open();
    const QByteArray card = phonesim::IrmcPhone::card(QStringLiteral("Cem"), QStringLiteral("333"));
    const Ended added = run(
        [&](const auto& c) {
            return connection->pushDataObjectForPB(c, CommonObexIrMCConnection::newEntryObjectName(), true);
        },
        card);
    EXPECT_EQ(added.status, 0);
    EXPECT_EQ(added.params,
              QByteArray("\x01\x01"
                         "3"
                         "\x02\x01"
                         "3",
                         6));
    EXPECT_TRUE(server.packets().last().contains(QByteArray("\x4C\x00\x03", 3)));
    EXPECT_EQ(phone->entries().size(), 3);

    const Ended deleted = run([&](const auto& c) {
        return connection->pushDataObjectForPB(c, QStringLiteral("telecom/pb/luid/1.vcf"), true);
    });
    EXPECT_EQ(deleted.status, 0);
    EXPECT_FALSE(phone->entry(QStringLiteral("1")));
    const QByteArray put = server.packets().last();
    EXPECT_FALSE(put.contains(QByteArray(1, char(obex::kHeaderEndOfBody))));
    EXPECT_FALSE(put.contains(QByteArray("\x4C\x00\x03", 3)));
}

TEST_F(CommonObexIrMCConnectionTest, FoldersGoBySetPathFromTheRootAndUnsafeNamesAreRefused)
{
    server.putFile(QStringLiteral("/Pictures/Cam/a.jpg"), "A");
    open();
    const Ended set = run([&](const auto& c) { return connection->setPath(c, QStringLiteral("/Pictures/Cam")); });
    EXPECT_EQ(set.status, 0);
    const Ended listing = run([&](const auto& c) { return connection->requestDirectoryListing(c); });
    EXPECT_TRUE(listing.data.contains("a.jpg"));
    const Ended missing = run([&](const auto& c) { return connection->setPath(c, QStringLiteral("/Nothing")); });
    EXPECT_NE(missing.status, 0);
    const Ended file = run(
        [&](const auto& c) { return connection->requestDownloadFile(c, QStringLiteral("/Pictures/Cam/a.jpg")); });
    EXPECT_EQ(file.data, QByteArray("A"));

    Ended never;
    for (const char* bad : {"/a/../b", "/x/./y"})
        EXPECT_EQ(connection->setPath(command(never), QLatin1String(bad)), CommonObexIrMCConnection::kBadName) << bad;
    EXPECT_EQ(connection->requestDownloadFile(command(never), QStringLiteral("/")), CommonObexIrMCConnection::kBadName);
    EXPECT_EQ(never.count, 0);
}

TEST_F(CommonObexIrMCConnectionTest, RequestsThatCannotStartAnswerNonZero)
{
    Ended never;
    EXPECT_NE(connection->requestInfoLogForPB(command(never)), 0); // not open
    open();
    silent = true;
    Ended first;
    EXPECT_EQ(connection->requestInfoLogForPB(command(first)), 0);
    EXPECT_EQ(connection->requestChangeLogForPB(command(never)), ObexSyncMLConnection::kBusy);
    EXPECT_EQ(never.count, 0);
}
