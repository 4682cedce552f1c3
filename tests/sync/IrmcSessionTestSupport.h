#pragma once

// An IrMC session over the whole stack: the IrMC connection on the
// AT-switched codec over an in-process channel, phonesim's OBEX server with
// its IrMC phonebook behind it, and a contacts list over a small device
// database with the two IrMC protocol rows.
#include "../links/FakeSerialATChannel.h"
#include "../syncmodel/ListTestDevice.h"
#include "DeviceDBTestSupport.h"
#include "IrmcPhone.h"
#include "ObexServer.h"
#include "VirtualTime.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/SyncDescriptionServer.h"
#include "device/qvDeviceDB.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/CommonObexIrMCConnection.h"
#include "links/QVDeviceCallback.h"
#include "sync/QVIRMCObexLink.h"
#include "sync/QVIRMCSession.h"
#include "sync/QVSessionUser.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElemList.h"

#include <QMap>
#include <gtest/gtest.h>

namespace irmctest {

inline const char kIrmcRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, ContactDatabase, syncContacts,
    MaxNo_PhoneNumbers, MaxNo_Emails)
    VALUES ('Protocol Siemens IrMC', 'BT-Siemens-IrMC', '2.1', 'ISO-8859-1', 'telecom/pb', '1', '5', '2');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, vxFormat, VCardVersion, Charset, ContactDatabase, syncContacts,
    MaxNo_PhoneNumbers, MaxNo_Emails)
    VALUES ('Protocol Gigaset', 'BT-Siemens-IrMC-Gigaset', 'Gigaset', '2.1', 'ISO-8859-1', 'telecom/pb', '1', '3', '1');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset) VALUES ('Export-2.1', 'Export', '2.1', 'UTF-8');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset) VALUES ('Export-3.0', 'Export', '3.0', 'UTF-8');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('30001', 'Siemens+S65', 'S65', 'Protocol Siemens IrMC');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('30002', 'Gigaset+SL', 'SL', 'Protocol Gigaset');
)SQL";

inline QString irmcTestDB()
{
    static QString path;
    if (path.isEmpty())
        path = buildTestDeviceDB(QStringLiteral("irmc"), QString::fromUtf8(kIrmcRows));
    return path;
}

class IrmcTrash : public ItemTrash {
public:
    void putItemToTrash(const std::shared_ptr<QVSyncElem>&, const QString&, bool) override { ++put; }
    QVariantList getList() override { return {}; }
    void setList(const QVariantList&) override { }
    int put = 0;
};

class SettingsDevice : public SyncMLConnectionDevice {
public:
    QVariant deviceSetting(const QString& key) const override { return settings.value(key); }
    QString serialNumber() const override { return QStringLiteral("IMEI-1"); }
    QVariant lastSyncTimeDevice(int) const override { return {}; }
    QVariant lastSyncTimeDZ(int) const override { return {}; }
    QVariantMap settings;
    int writes = 0;
};

// The job: merges into the list (when there is one) or sends the commands
// it was given.
class IrmcUser : public QVSessionUser {
public:
    bool notifySyncMLAction(const QString& text, float percent) override
    {
        texts.append(text);
        percents.append(percent);
        return !cancelled;
    }
    int deliverIncomingData(QVBaseSession& session) override
    {
        delivered = session.syncInfo();
        ++deliveries;
        if (deliverAnswer != 0)
            return deliverAnswer;
        std::shared_ptr<QVCommandArray> out = commands ? commands : std::make_shared<QVCommandArray>();
        if (list && merge) {
            const bool fast = session.syncInfo().value(QStringLiteral("SyncML-IsFast")).toBool();
            list->prepareSynchronization();
            list->processSyncInfo(session.syncInfo(), fast);
            list->addSyncCommands(*out, fast, 0);
        }
        session.setDownloadObjects(out, list, 0);
        return 0;
    }
    void notifySyncFinished(const QString& text) override
    {
        result = text.toInt();
        finished = true;
        if (list && merge)
            list->finalizeSynchronization(result);
    }
    void displayPercent(int percent) override { shown.append(percent); }
    void processAction(const QVariant&) override { }

    QVariantList items() const { return delivered.value(QStringLiteral("Items")).toList(); }

    bool cancelled = false;
    int deliverAnswer = 0;
    std::shared_ptr<QVCommandArray> commands;
    QVSyncElemList* list = nullptr;
    bool merge = false;
    QVariantMap delivered;
    int deliveries = 0;
    QStringList texts;
    QList<float> percents;
    QList<int> shown;
    bool finished = false;
    int result = 1;
};

class IrmcSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(irmcTestDB().isEmpty());
        qvDeviceDB::setDefaultDatabasePath(irmcTestDB());
        qvDeviceDB::releaseSharedDeviceDB();
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        m_db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(m_db->openDB(irmcTestDB()));
        auto db = m_db;
        auto known = std::make_shared<QMap<QString, std::shared_ptr<SyncDeviceLimits>>>();
        SyncDeviceLimits::setResolver([db, known](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
            auto& limits = (*known)[protocol];
            if (!limits) {
                auto description = std::make_shared<QVSyncDeviceDescription>(db);
                if (description->setupFromProtocol(protocol) != 0)
                    return nullptr;
                limits = std::make_shared<DeviceDescriptionLimits>(description);
            }
            return limits;
        });
        list.setTrash(&trash);
        listDevice.description = std::make_shared<QVSyncDeviceDescription>(m_db);
        ASSERT_EQ(listDevice.description->setupFromProtocol(QStringLiteral("Protocol Siemens IrMC")), 0);
        switchSettings = ObexSwitchSettings{};
        lineRate = 0;
        device.settings.clear();
        device.writes = 0;
        server = phonesim::ObexServer();
        phone = std::make_shared<phonesim::IrmcPhone>();
        server.setIrmcPhone(phone);
    }
    void TearDown() override
    {
        session.reset();
        link.reset();
        connection.reset();
        freeParkedChannel();
        SyncDeviceLimits::setResolver({});
        qvDeviceDB::releaseSharedDeviceDB();
        qvDeviceDB::setDefaultDatabasePath(QString());
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    }

    // Phone entries with the LUIDs 1, 2, ... (hexadecimal).
    void fillPhone(int count)
    {
        for (int n = 1; n <= count; ++n)
            phone->addEntry(
                phonesim::IrmcPhone::card(QStringLiteral("Name%1").arg(n), QStringLiteral("+49301%1").arg(n)));
    }
    void storeAnchor(const QString& counter, const QString& databaseID)
    {
        device.settings.insert(QStringLiteral("Common.LogNumber-Contacts"), counter);
        device.settings.insert(QStringLiteral("Common.DatabaseID-Contacts"), databaseID);
    }

    // The connection opened over the AT switch, and a session on it.
    QVIRMCSession& open(const char* identifier = "Siemens+S65")
    {
        session.reset();
        link.reset();
        connection.reset();
        connection = std::make_unique<CommonObexIrMCConnection>(nullptr, nullptr);
        if (transportFactory)
            connection->setTransportFactory(transportFactory);
        else
            connection->setTransportFactory([this] {
                auto transport = std::make_unique<CommonObexATSwitchTransportLayer>(
                    nullptr, switchSettings, QVariantMap(), QStringLiteral("Bluetooth"), false);
                transport->setChannelFactory([this](const QString&, const QVariantMap&, MFDevice* dev,
                                                    SerialDelegateProtocol* delegate,
                                                    SerialATChannel::PhoneTraits traits) {
                    auto made = std::make_unique<FakeSerialATChannel>(dev, delegate, traits);
                    FakeSerialATChannel* raw = made.get();
                    made->onSend = [this, raw](const QByteArray& bytes) { answer(*raw, bytes); };
                    return made;
                });
                return transport;
            });
        int status = 1;
        auto callback = QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { status = c.returnStatus(); },
                                                        {});
        EXPECT_EQ(connection->openConnection(callback), 0);
        EXPECT_TRUE(testing_support::runUntil([&] { return status != 1; }, 30));
        EXPECT_EQ(status, 0);
        QVIRMCObexLink::Device info;
        info.identifier = QString::fromLatin1(identifier);
        info.maker = QStringLiteral("Maker");
        info.model = QStringLiteral("Model");
        info.settings = &device;
        info.setSetting = [this](const QString& key, const QVariant& value) { device.settings.insert(key, value); };
        info.writeNow = [this] { ++device.writes; };
        link = std::make_unique<QVIRMCObexLink>(*connection, info);
        session = QVIRMCSession::irmcSessionWithConnection(*link, &user);
        EXPECT_NE(session, nullptr);
        return *session;
    }

    void answer(FakeSerialATChannel& on, const QByteArray& bytes)
    {
        if (!on.modeObex()) {
            if (const auto switched = server.atLine(bytes.trimmed()))
                on.deliver(switched->answer);
            else
                on.deliver("\r\nOK\r\n");
            return;
        }
        QByteArray out;
        for (const QByteArray& part : server.input(bytes).answers)
            out += part;
        if (out.isEmpty())
            return;
        if (lineRate <= 0) {
            on.deliver(out);
            return;
        }
        // The answer takes its time on the line: 10 bits a byte (8N1).
        FakeSerialATChannel* channel = &on;
        platform::runloop::performAfterDelay(channel, QStringLiteral("irmcLine"), double(out.size()) * 10.0 / lineRate,
                                             [channel, out] { channel->deliver(out); });
    }

    // Runs a sync to its end; the result.
    int sync(bool forceSlow = false)
    {
        EXPECT_EQ(session->performReadContacts(forceSlow), 0);
        EXPECT_TRUE(testing_support::runUntil([&] { return user.finished; }, 120));
        return user.result;
    }
    int runToEnd()
    {
        EXPECT_TRUE(testing_support::runUntil([&] { return user.finished; }, 120));
        return user.result;
    }

    bool logged(const QString& part) const
    {
        for (const QString& line : session->logLines()) {
            if (line.contains(part))
                return true;
        }
        return false;
    }

    static QStringList itemSummary(const QVariantList& items)
    {
        QStringList out;
        for (const QVariant& item : items) {
            const QVariantMap map = item.toMap();
            out.append(map.value(QStringLiteral("Action")).toString() + QLatin1Char(':')
                       + map.value(QStringLiteral("SourceURI")).toString());
        }
        return out;
    }

    std::shared_ptr<QVSyncElem> contact(const QString& uri, const QString& first)
    {
        auto elem = list.createNewElem(
            QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Tester;%1\r\nTEL;CELL:+4930999\r\nEND:VCARD\r\n")
                .arg(first),
            uri, QStringLiteral("Protocol Siemens IrMC"), QString(), QString());
        EXPECT_NE(elem, nullptr);
        if (elem)
            elem->setProperty(0);
        return elem;
    }

    std::shared_ptr<qvDeviceDB> m_db;
    std::shared_ptr<phonesim::IrmcPhone> phone;
    phonesim::ObexServer server;
    SettingsDevice device;
    IrmcUser user;
    ListTestDevice listDevice;
    IrmcTrash trash;
    QVSyncElemList list{0, &listDevice};
    // The AT switch of the codec (a Gigaset's parks its channel).
    ObexSwitchSettings switchSettings;
    // Bits a second of the emulated line; 0: answers come at once.
    int lineRate = 0;
    // The codec of the next open; none: the in-process channel to server.
    ObexSyncMLConnection::TransportFactory transportFactory;
    std::unique_ptr<CommonObexIrMCConnection> connection;
    std::unique_ptr<QVIRMCObexLink> link;
    std::unique_ptr<QVIRMCSession> session;
};

} // namespace irmctest
