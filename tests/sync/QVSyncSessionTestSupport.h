#pragma once

// A SyncML session against a scripted phone: a fake SyncML connection that
// records every OBEX request, a job that records what the session reports,
// and phone messages written as XML and sent as WBXML.
#include "DeviceDBTestSupport.h"
#include "VirtualTime.h"

#include "device/QVSyncDeviceDB.h"
#include "device/SyncDescriptionServer.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "links/ObjectPushCommand.h"
#include "sync/QVServerSyncSession.h"
#include "sync/QVSessionUser.h"
#include "sync/QVSyncSession.h"
#include "sync/SyncMLConnection.h"
#include "sync/WBXMLConverter.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElem.h"

#include <QFile>
#include <QMap>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace syncsessiontest {

inline const char kSessionRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, AlertCommand,
    SyncMLSendDevInfIntoPutIfNoGetReceived)
    VALUES ('Session Plain', '1.2', 'iSync', './contacts', '206', '1');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, UseSAN)
    VALUES ('Session SAN', '1.2', 'iSync', './contacts', '1');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, switchToSyncMLCommand,
    ProtocolClass)
    VALUES ('Session Switch', '1.1', 'iSync', 'Contacts', 'AT+SYNCML', 'ATObexServer-SyncML');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase)
    VALUES ('Protocol Series Session', '1.2', 'iSync', 'Contacts');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, vxFormat, ContactDatabase)
    VALUES ('Session Samsung', '1.2', 'iSync', 'Samsung', 'Contacts');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase)
    VALUES ('Session Future', '3.0', 'iSync', 'Contacts');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, IgnoreElements)
    VALUES ('Session NoPhoto', '1.2', 'iSync', './contacts', 'PHOTO');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, switchToSyncMLCommand)
    VALUES ('Session Evo 1.2', '1.2', 'iSync', 'Contacts', 'AT+SYNCML');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, switchToSyncMLCommand)
    VALUES ('Session Evo 1.1', '1.1', 'iSync', 'Contacts', 'AT+SYNCML');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('30008', 'S+8', 'S8', 'Session Evo 1.2');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('30009', 'S+9', 'S9', 'Session Evo 1.1');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, syncEvents, syncTasks, EventsDatabase,
    TasksDatabase)
    VALUES ('Session Two Calendars', '1.2', 'iSync', '1', '1', './Events', './Tasks');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('30010', 'S+10', 'S10', 'Session Two Calendars');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol) VALUES ('30001', 'S+1', 'S1', 'Session Plain');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol) VALUES ('30002', 'S+2', 'S2', 'Session SAN');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol) VALUES ('30003', 'S+3', 'S3', 'Session Switch');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('30004', 'S+4', 'S4', 'Protocol Series Session');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('30005', 'S+5', 'S5', 'Session Samsung');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol) VALUES ('30006', 'S+6', 'S6', 'Session Future');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('30007', 'S+7', 'S7', 'Session NoPhoto');
)SQL";

enum Row { Plain = 30001, SAN, Switch, Series, Samsung, Future, NoPhoto, Evo12, Evo11, TwoCalendars };

inline QString sessionTestDB()
{
    static QString path;
    if (path.isEmpty())
        path = buildTestDeviceDB(QStringLiteral("syncsession"), QString::fromUtf8(kSessionRows));
    return path;
}

// The connection and the phone behind it.
class ScriptedSyncMLLink : public SyncMLConnection, public SyncMLConnectionDevice, public QVSyncSessionDevice {
public:
    QString deviceIdentifier() const override { return QStringLiteral("Scripted+Phone"); }
    SyncMLConnectionDevice* mfDevice() const override { return const_cast<ScriptedSyncMLLink*>(this); }
    void setDelegate(ObexSyncMLDelegate* to) override { delegate = to; }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>&) override
    {
        ++closes;
        return 1; // closing already: the session ends at once
    }
    int executeCommandSync(const std::shared_ptr<ObjectPushCommand>& command) override
    {
        commands.push_back(command);
        if (onCommand)
            onCommand(command);
        return executeAnswer;
    }
    QString newSessionID() override { return QStringLiteral("1"); }
    int sendSwitchCommandForProperty(int property, bool) override
    {
        switches << property;
        return 0;
    }

    QVariant deviceSetting(const QString& key) const override
    {
        return key == QLatin1String("Common.qvDeviceID") ? QVariant(deviceID) : QVariant();
    }
    QString serialNumber() const override { return QStringLiteral("350000000000001"); }
    QVariant lastSyncTimeDevice(int p) const override { return devAnchors.value(p); }
    QVariant lastSyncTimeDZ(int p) const override { return dzAnchors.value(p); }

    double pauseAfterAnyAction() const override { return 0.05; }
    long curSyncMLSourceIndex() const override { return 0; }
    void resetSyncMLSource() override { }
    QString storedDeviceURI() const override { return storedURI; }
    void setStoredDeviceURI(const QString& uri) override { storedURI = uri; }
    void setLastSyncTimeDevice(const QString& time, int p) override { devAnchors.insert(p, time); }
    void setLastSyncTimeDZ(const QString& time, int p) override { dzAnchors.insert(p, time); }

    int deviceID = Plain;
    int executeAnswer = 0;
    ObexSyncMLDelegate* delegate = nullptr;
    std::vector<std::shared_ptr<ObjectPushCommand>> commands;
    QList<int> switches;
    int closes = 0;
    QMap<int, QVariant> devAnchors;
    QMap<int, QVariant> dzAnchors;
    QString storedURI;
    std::function<void(const std::shared_ptr<ObjectPushCommand>&)> onCommand;
};

// The job: records states, results and the items it was handed, and gives
// back the commands to send.
class ScriptedSessionJob : public QVSessionUser {
public:
    bool notifySyncMLAction(const QString& text, float percent) override
    {
        actions << text;
        lastPercent = percent;
        return !(cancelWhenSending && text.startsWith(QLatin1String("Sending")));
    }
    int deliverIncomingData(QVBaseSession& session) override
    {
        delivered = session.syncInfo().value(QStringLiteral("Items")).toList();
        ++deliveries;
        if (commands)
            session.setDownloadObjects(commands, nullptr, 0);
        if (tasks)
            session.setDownloadObjects(tasks, nullptr, 6);
        return deliverAnswer;
    }
    void notifySyncFinished(const QString& result) override { finished << result; }
    void displayPercent(int) override { }
    void processAction(const QVariant&) override { }

    QStringList actions;
    QStringList finished;
    QVariantList delivered;
    int deliveries = 0;
    int deliverAnswer = 0;
    bool cancelWhenSending = false;
    float lastPercent = 0;
    std::shared_ptr<QVCommandArray> commands;
    std::shared_ptr<QVCommandArray> tasks;
};

// A phone message: header (with extra header XML) and body.
inline QByteArray phoneXML(int msgID, const QString& body, const QString& headerExtra = QString(),
                           const QString& version = QStringLiteral("1.2"))
{
    const QString xml = QStringLiteral("<SyncML xmlns='SYNCML:SYNCML%1'><SyncHdr><VerDTD>%1</VerDTD>"
                                       "<VerProto>SyncML/%1</VerProto><SessionID>1</SessionID><MsgID>%2</MsgID>"
                                       "<Target><LocURI>iSync</LocURI></Target>"
                                       "<Source><LocURI>IMEI:350000000000001</LocURI></Source>%3</SyncHdr>"
                                       "<SyncBody>%4</SyncBody></SyncML>")
                            .arg(version)
                            .arg(msgID)
                            .arg(headerExtra, body);
    return xml.toUtf8();
}

inline QByteArray toWBXML(const QByteArray& xml, int version = 2)
{
    return WBXMLConverter::sharedWBXMLConverter().convertToWBXML(xml, version).value_or(QByteArray());
}

// The XML of a WBXML message the session sent.
inline QString decoded(const ObjectPushCommand& command, int version = 2)
{
    QByteArray wbxml = command.dataToSend();
    if (wbxml.size() > 2 && uchar(wbxml.at(1)) != 0xA4 && uchar(wbxml.at(1)) != 0x9F) {
        wbxml[1] = char(0xA4);
        wbxml[2] = 0x01;
    }
    return WBXMLConverter::sharedWBXMLConverter().convertToXML(wbxml, version).value_or(QString());
}

inline std::unique_ptr<SyncMLCreatorNode> decodedTree(const ObjectPushCommand& command, int version = 2)
{
    return syncmlreader::parseXML(decoded(command, version).toLatin1());
}

// "Cmd:Data" of every Status of a message, and the other commands' names.
inline QStringList statusSummary(const SyncMLCreatorNode* document)
{
    QStringList lines;
    const SyncMLCreatorNode* body = syncmlreader::findElemPath(document, QStringLiteral("SyncML/SyncBody"));
    if (!body)
        return lines;
    for (const auto& child : body->children()) {
        if (child->kind() != SyncMLCreatorNode::Kind::Element)
            continue;
        if (child->tag() == QLatin1String("Status"))
            lines << syncmlreader::findTag(child.get(), QStringLiteral("Cmd")) + QLatin1Char(':')
                    + syncmlreader::findTag(child.get(), QStringLiteral("Data"));
        else if (child->tag() == QLatin1String("Alert"))
            lines << QStringLiteral("Alert ") + syncmlreader::findTag(child.get(), QStringLiteral("Data"));
        else
            lines << child->tag();
    }
    return lines;
}

inline QString namedLogText(const char* name)
{
    QFile file(QVPathForLogFile(QString::fromLatin1(name) + QStringLiteral(".log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class SyncSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(sessionTestDB().isEmpty());
        qvDeviceDB::setDefaultDatabasePath(sessionTestDB());
        qvDeviceDB::releaseSharedDeviceDB();
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        QVLogCreateAndOpen(QString::fromLatin1(qvlog::kSyncML));
        QVLogCreateAndOpen(QString::fromLatin1(qvlog::kXT));
    }
    void TearDown() override
    {
        session.reset();
        server.reset();
        qvDeviceDB::releaseSharedDeviceDB();
        qvDeviceDB::setDefaultDatabasePath(QString());
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
    }

    QVSyncSession& start(Row row, int property = 0)
    {
        link.deviceID = row;
        session = QVSyncSession::syncSessionWithConnection(link, &job);
        EXPECT_TRUE(session);
        if (property == 4)
            session->performReadSMS(true);
        else if (property == 1)
            session->performReadCalendarEvents(true);
        else
            session->performReadContacts(true);
        testing_support::runFor(0.2);
        return *session;
    }
    // The last request ends with the status (and, for a GET, the data).
    void complete(int status = 0, const QByteArray& data = QByteArray())
    {
        ASSERT_FALSE(link.commands.empty());
        const auto command = link.commands.back();
        if (!data.isEmpty())
            command->collectDataReceived(data.constData(), data.size());
        command->finishCommandDelayed(status);
        testing_support::runFor(0.2);
    }
    // Completes the PUT, then answers the GET with the phone's message.
    void phoneAnswers(const QByteArray& xml)
    {
        complete();
        ASSERT_EQ(link.commands.back()->command(), ObjectPushCommand::kGetSyncMLWBXML);
        complete(0, toWBXML(xml));
    }
    const ObjectPushCommand& lastCommand() const { return *link.commands.back(); }

    ScriptedSyncMLLink link;
    ScriptedSessionJob job;
    std::unique_ptr<QVSyncSession> session;
    std::unique_ptr<QVServerSyncSession> server;
};

// Phone commands.
inline QString alertXML(int cmdID, int code, const QString& next = QStringLiteral("42"))
{
    return QStringLiteral("<Alert><CmdID>%1</CmdID><Data>%2</Data><Item><Target><LocURI>Contacts</LocURI></Target>"
                          "<Source><LocURI>./contacts</LocURI></Source><Meta><Anchor xmlns='syncml:metinf'>"
                          "<Last>41</Last><Next>%3</Next></Anchor></Meta></Item></Alert>")
        .arg(cmdID)
        .arg(code)
        .arg(next);
}

inline QString itemXML(const QString& uri, const QString& data, bool moreData = false, const QString& meta = QString())
{
    return QStringLiteral("<Item><Source><LocURI>%1</LocURI></Source>%4<Data><![CDATA[%2]]></Data>%3</Item>")
        .arg(uri, data, moreData ? QStringLiteral("<MoreData/>") : QString(), meta);
}

inline QString syncXML(int cmdID, const QString& commands)
{
    return QStringLiteral("<Sync><CmdID>%1</CmdID><Target><LocURI>Contacts</LocURI></Target>"
                          "<Source><LocURI>./contacts</LocURI></Source>%2</Sync>")
        .arg(cmdID)
        .arg(commands);
}

} // namespace syncsessiontest
