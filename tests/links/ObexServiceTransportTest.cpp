#include "links/ObexServiceTransport.h"
#include "links/BTObexSession.h"
#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/ObexIrMCConnection.h"
#include "links/ObjectPushCommand.h"
#include "links/SyncMLConnectionMaker.h"

#include "TestLinkOwner.h"

#include "BluetoothPhoneFixture.h"

using testing_support::runUntil;
using Kind = ObexServiceTransport::Kind;

namespace {
class ObexServiceTransportTest : public BluetoothPhoneFixture { };
} // namespace

TEST_F(ObexServiceTransportTest, ClassAndLinkChooseTransportRoleAndChannel)
{
    addPhone("sonyericsson"); // IrMC on channel 4, SyncML on 11
    const QString bt = QStringLiteral("Bluetooth");
    const QString usb = QStringLiteral("USB-Serial");
    struct Row {
        const char* protocolClass;
        bool gigaset;
        QString link;
        Kind kind;
        bool server;
        int channel;
        const char* className;
    } rows[] = {
        {"ATObexServer-SyncML", false, bt, Kind::ATSwitch, true, 0, "CommonObexATSwitchTransportLayer"},
        {"ATObexServer-SyncML", false, usb, Kind::ATSwitch, true, 0, "CommonObexATSwitchTransportLayer"},
        {"AT-SyncML", false, usb, Kind::ATSwitch, false, 0, "CommonObexATSwitchTransportLayer"},
        {"ATSerial-Nokia", false, usb, Kind::None, false, 0, nullptr},
        {"BT-Siemens-IrMC-Gigaset", true, bt, Kind::ATSwitchIrMC, false, 0, "CommonObexATSwitchIrMCTransportLayer"},
        {"BT-Siemens-IrMC-Gigaset", true, usb, Kind::ATSwitchIrMC, false, 0, "CommonObexATSwitchIrMCTransportLayer"},
        {"BT-Siemens-IrMC", false, bt, Kind::PlainSession, false, 4, "BTObexSession"},
        {"BT-SyncML", false, bt, Kind::PlainSession, false, 11, "BTObexSession"},
        {"BT-Siemens-IrMC", false, usb, Kind::ATSwitchIrMC, false, 0, "CommonObexATSwitchIrMCTransportLayer"},
        {"BT-SyncML", false, usb, Kind::ATSwitch, false, 0, "CommonObexATSwitchTransportLayer"},
        {"BT-SyncML", false, QStringLiteral("USB-MassStorage"), Kind::None, false, 0, nullptr},
        {"Motorola", false, bt, Kind::None, false, 0, nullptr},
    };
    for (const Row& row : rows) {
        const QString protocolClass = QLatin1String(row.protocolClass);
        const auto choice = ObexServiceTransport::choose(protocolClass, row.gigaset, row.link, connectionDict());
        SCOPED_TRACE(QString(protocolClass + QLatin1Char(' ') + row.link).toStdString());
        EXPECT_EQ(choice.kind, row.kind);
        EXPECT_EQ(choice.server, row.server);
        EXPECT_EQ(choice.channel, row.channel);
        EXPECT_EQ(choice.irmc, protocolClass.contains(QLatin1String("IrMC")));
        auto made = choice.make(nullptr, {}, connectionDict(), row.link);
        if (!row.className) {
            EXPECT_EQ(made, nullptr);
            continue;
        }
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->className(), QLatin1String(row.className));
        EXPECT_EQ(made->isServer(), row.server);
    }
}

TEST_F(ObexServiceTransportTest, PhoneWithoutTheServiceRecordGetsNoPlainSession)
{
    addPhone("samsung");
    EXPECT_EQ(ObexServiceTransport::choose(QStringLiteral("BT-Siemens-IrMC"), false, QStringLiteral("Bluetooth"),
                                           connectionDict())
                  .kind,
              Kind::None);
}

TEST_F(ObexServiceTransportTest, IrMCConnectionConnectsAndGetsAnObjectOverThePlainSession)
{
    addPhone("sonyericsson");
    const QByteArray card("BEGIN:VCARD\r\nN:Small\r\nEND:VCARD\r\n");
    sim->modifyObexServer(
        [&](phonesim::ObexServer& server) { server.putFile(QStringLiteral("/telecom/pb/1.vcf"), card); });
    const auto choice = ObexServiceTransport::choose(QStringLiteral("BT-Siemens-IrMC"), false,
                                                     QStringLiteral("Bluetooth"), connectionDict());
    ObexIrMCConnection connection(nullptr, nullptr);
    connection.setTransportFactory(
        [&] { return choice.make(nullptr, {}, connectionDict(), QStringLiteral("Bluetooth")); });
    int status = 1;
    auto opened = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {});
    ASSERT_EQ(connection.openConnection(opened), 0);
    ASSERT_TRUE(runUntil([&] { return status != 1; }, 10));
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(connection.hasObexConnection());
    EXPECT_EQ(sim->obexServer().lastTarget(), QByteArray("IRMC-SYNC"));
    const QByteArray connect = sim->obexServer().packets().value(0);
    EXPECT_TRUE(connect.endsWith(QByteArray(QByteArray("\x46\x00\x0C", 3) + "IRMC-SYNC")));

    // A Get of a named object through the connection's answer handling.
    int ended = 0;
    int result = 1;
    auto get = ObjectPushCommand::pushCommandWithData(ObjectPushCommand::kGetSyncMLWBXML, {}, this,
                                                      [&](QVDeviceCallback& c) {
                                                          ++ended;
                                                          result = c.returnStatus();
                                                      });
    QByteArray headers;
    obex::addConnectionIDHeader(headers, connection.sessionID());
    obex::addNameHeader(headers, QStringLiteral("telecom/pb/1.vcf"));
    connection.rememberCommand(get);
    ASSERT_EQ(connection.obexSession()->OBEXGet(true, headers.constData(), int(headers.size()),
                                                connection.eventHandler(), get->asVariant()),
              0);
    ASSERT_TRUE(runUntil([&] { return ended > 0; }, 10));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(get->dataReceived(), card);

    int closed = 1;
    auto close = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { closed = c.returnStatus(); }, {});
    ASSERT_EQ(connection.closeConnection(close), 0);
    ASSERT_TRUE(runUntil([&] { return closed != 1; }, 10));
    EXPECT_EQ(closed, 0);
    EXPECT_FALSE(connection.hasConnection());
    EXPECT_FALSE(sim->obexServer().connected());
}

TEST_F(ObexServiceTransportTest, EachConnectionRegistersTheChannelItOpens)
{
    addPhone("sonyericsson"); // Dial-up Networking on channel 2, IrMC on 4
    struct Row {
        const char* protocolClass;
        const char* link;
        const char* className; // nullptr: no connection
        int channel;
    } rows[] = {
        {"BT-Siemens-IrMC", "Bluetooth", "CommonObexIrMCConnection", 4},
        {"ATObexServer-SyncML", "Bluetooth", "ObexSyncMLConnection", 2},
        {"ATObexServer-SyncML", "USB-Serial", "ObexSyncMLConnection", 0},
        {"Motorola", "Bluetooth", nullptr, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.protocolClass);
        TestLinkOwner owner{QLatin1String(row.link)};
        auto connection = links::makeSyncMLConnection(owner, {}, QLatin1String(row.protocolClass), connectionDict(),
                                                      {});
        if (!row.className) {
            EXPECT_EQ(connection, nullptr);
            EXPECT_TRUE(owner.registrations.isEmpty());
            continue;
        }
        ASSERT_NE(connection, nullptr);
        EXPECT_EQ(connection->className(), QLatin1String(row.className));
        ASSERT_EQ(owner.registrations.size(), 1);
        EXPECT_EQ(owner.registrations[0].first, QStringLiteral("SyncML/IrMC"));
        EXPECT_EQ(owner.registrations[0].second.value(QStringLiteral("type")).toString(), QLatin1String(row.link));
        EXPECT_EQ(owner.registrations[0].second.value(QStringLiteral("channel")).toInt(), row.channel);
    }
}
