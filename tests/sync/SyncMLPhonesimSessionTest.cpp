// The server-role session against phonesim's SyncML phone over the real
// OBEX SyncML connection: the session's notification makes the phone open
// its SyncML session, PUT its messages and GET the answers; the phone's
// script reads each answer and writes its next message.
#include "BluetoothPhoneFixture.h"
#include "QVSyncSessionTestSupport.h"

#include "links/ObexServiceTransport.h"
#include "links/ObexSyncMLConnection.h"

#include <QMutex>
#include <QRegularExpression>

using namespace syncsessiontest;

namespace {

// The OBEX SyncML connection as the session's link, for the test phone row.
class PhonesimSessionLink : public SyncMLConnection, public SyncMLConnectionDevice {
public:
    PhonesimSessionLink(ObexSyncMLConnection& connection, int deviceID) : _connection(connection), _deviceID(deviceID)
    {
    }
    QString deviceIdentifier() const override { return QStringLiteral("Scripted+Phone"); }
    SyncMLConnectionDevice* mfDevice() const override { return const_cast<PhonesimSessionLink*>(this); }
    void setDelegate(ObexSyncMLDelegate* delegate) override { _connection.setSyncDelegate(delegate); }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        return _connection.closeConnection(callback);
    }
    int executeCommandSync(const std::shared_ptr<ObjectPushCommand>& command) override
    {
        return _connection.executeCommandSync(command);
    }
    QString newSessionID() override { return _connection.newSessionID(); }
    int sendSwitchCommandForProperty(int property, bool forceSlow) override
    {
        return _connection.sendSwitchCommandForProperty(property, forceSlow);
    }
    QVariant deviceSetting(const QString& key) const override
    {
        return key == QLatin1String("Common.qvDeviceID") ? QVariant(_deviceID) : QVariant();
    }
    QString serialNumber() const override { return QString(); }
    QVariant lastSyncTimeDevice(int) const override { return {}; }
    QVariant lastSyncTimeDZ(int) const override { return {}; }

private:
    ObexSyncMLConnection& _connection;
    int _deviceID;
};

// The phone's side of a slow contacts sync: its Alert, its contacts (a
// large one in two chunks over two messages), the Map of what the program
// added, then answers until nothing is asked.
struct PhonesimSyncMLScript {
    QMutex mutex;
    int step = 1;
    QString mappedTemporaryID;
    QStringList answers;

    static QString card(const QString& name, const QString& extra = QString())
    {
        return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Phone;%1\r\nTEL:+4930111\r\n%2END:VCARD\r\n")
            .arg(name, extra);
    }
    static QString photo()
    {
        QString base64;
        for (int line = 0; line < 60; ++line)
            base64 += QStringLiteral(" ") + QString(72, QLatin1Char('A' + line % 26)) + QStringLiteral("\r\n");
        return QStringLiteral("PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n") + base64 + QStringLiteral("\r\n");
    }

    QByteArray next(const QByteArray& answer)
    {
        QMutexLocker lock(&mutex);
        const QString xml = WBXMLConverter::sharedWBXMLConverter().convertToXML(answer, 2).value_or(QString());
        answers << xml;
        ++step;
        const QString large = card(QStringLiteral("Pic"), photo());
        const qsizetype half = large.size() / 2;
        if (step == 2) {
            const QString meta = QStringLiteral("<Meta><Size xmlns='syncml:metinf'>%1</Size></Meta>").arg(large.size());
            return toWBXML(phoneXML(2,
                                    syncXML(2,
                                            QStringLiteral("<Add><CmdID>3</CmdID>")
                                                + itemXML(QStringLiteral("11"), card(QStringLiteral("Ann")))
                                                + itemXML(QStringLiteral("13"), large.left(half), true, meta)
                                                + QStringLiteral("</Add>"))));
        }
        if (step == 3) {
            return toWBXML(
                phoneXML(3,
                         syncXML(2,
                                 QStringLiteral("<Add><CmdID>3</CmdID>")
                                     + itemXML(QStringLiteral("13"), large.mid(half)) + QStringLiteral("</Add>"))
                             + QStringLiteral("<Final/>")));
        }
        if (step == 4) {
            const QRegularExpressionMatch added =
                QRegularExpression(QStringLiteral("<LocURI>(T-[^<]+)</LocURI>")).match(xml);
            mappedTemporaryID = added.captured(1);
            if (mappedTemporaryID.isEmpty())
                return toWBXML(phoneXML(4, QStringLiteral("<Final/>")));
            return toWBXML(phoneXML(4,
                                    QStringLiteral("<Map><CmdID>1</CmdID><Target><LocURI>./contacts</LocURI></Target>"
                                                   "<Source><LocURI>Contacts</LocURI></Source><MapItem><Target>"
                                                   "<LocURI>%1</LocURI></Target><Source><LocURI>200</LocURI></Source>"
                                                   "</MapItem></Map><Final/>")
                                        .arg(mappedTemporaryID)));
        }
        if (xml.contains(QLatin1String("<Sync>")) || xml.contains(QLatin1String("<Alert>")))
            return toWBXML(phoneXML(step, QStringLiteral("<Final/>")));
        return {};
    }
};

class SyncMLPhonesimSessionTest : public BluetoothPhoneFixture {
protected:
    void SetUp() override
    {
        BluetoothPhoneFixture::SetUp();
        ASSERT_FALSE(sessionTestDB().isEmpty());
        qvDeviceDB::setDefaultDatabasePath(sessionTestDB());
        qvDeviceDB::releaseSharedDeviceDB();
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
    }
    void TearDown() override
    {
        qvDeviceDB::releaseSharedDeviceDB();
        qvDeviceDB::setDefaultDatabasePath(QString());
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        BluetoothPhoneFixture::TearDown();
    }
};

} // namespace

TEST_F(SyncMLPhonesimSessionTest, SlowContactsSyncsBringThePhonesContactsInAndMapOursToThePhonesIds)
{
    addPhone("lg");
    const auto choice = ObexServiceTransport::choose(QStringLiteral("ATObexServer-SyncML"), false,
                                                     QStringLiteral("Bluetooth"), connectionDict());
    ASSERT_TRUE(choice.server);
    ObexSyncMLConnection connection(nullptr, nullptr);
    connection.setTransportFactory(
        [&] { return choice.make(nullptr, {}, connectionDict(), QStringLiteral("Bluetooth")); });
    int opened = 1;
    ASSERT_EQ(connection.openConnection(
                  QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { opened = c.returnStatus(); }, {})),
              0);
    ASSERT_TRUE(testing_support::runUntil([&] { return opened != 1; }, 30));
    ASSERT_EQ(opened, 0);
    PhonesimSessionLink link(connection, SAN);

    // The first run is slow by the phone's choice, the second because a
    // two-way Alert is answered 508.
    for (const int alert : {201, 200}) {
        SCOPED_TRACE(alert);
        auto script = std::make_shared<PhonesimSyncMLScript>();
        sim->modifyObexServer([&](phonesim::ObexServer& server) {
            server.setSyncMLClientMessage(
                toWBXML(phoneXML(1, alertXML(1, alert) + QStringLiteral("<Final/>"),
                                 QStringLiteral("<Meta><MaxMsgSize xmlns='syncml:metinf'>4000</MaxMsgSize></Meta>"))));
            server.setSyncMLClientResponder([script](const QByteArray& answer) { return script->next(answer); });
        });
        ScriptedSessionJob job;
        auto commands = std::make_shared<QVCommandArray>();
        const auto ours = QVSyncElem::elemWithData(
            QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Desk;Dora\r\nTEL:+4930999\r\nEND:VCARD\r\n"),
            QStringLiteral("T-1"), QStringLiteral("Session SAN"), QString(), QString());
        commands->addObject(ours, QVCommandArray::kAdd);
        job.commands = commands;
        auto session = QVServerSyncSession::serverSyncSessionWithConnection(link, &job);
        ASSERT_TRUE(session);
        session->performReadContacts(true);
        ASSERT_TRUE(testing_support::runUntil([&] { return !job.finished.isEmpty(); }, 60));

        EXPECT_EQ(job.finished, QStringList{QStringLiteral("0")});
        ASSERT_EQ(job.delivered.size(), 2);
        const QString joined = job.delivered[1].toMap().value(QStringLiteral("vx-Data")).toString();
        EXPECT_EQ(joined, PhonesimSyncMLScript::card(QStringLiteral("Pic"), PhonesimSyncMLScript::photo()));
        EXPECT_EQ(session->syncMLMaxMsgSize(), 4000);
        QMutexLocker lock(&script->mutex);
        ASSERT_GE(script->answers.size(), 3);
        const auto first = syncmlreader::parseXML(script->answers[0].toLatin1());
        const QStringList firstAnswer = statusSummary(first.get());
        EXPECT_TRUE(firstAnswer.contains(alert == 201 ? QStringLiteral("Alert:200") : QStringLiteral("Alert:508")));
        EXPECT_TRUE(firstAnswer.contains(QStringLiteral("Alert 201")));
        // The first chunk is taken and the rest asked for.
        const QStringList second = statusSummary(syncmlreader::parseXML(script->answers[1].toLatin1()).get());
        EXPECT_TRUE(second.contains(QStringLiteral("Add:213")));
        EXPECT_EQ(second.last(), QStringLiteral("Alert 222"));
        EXPECT_TRUE(script->answers[2].contains(QLatin1String("N:Desk;Dora")));
        EXPECT_TRUE(script->mappedTemporaryID.startsWith(QLatin1String("T-")));
        EXPECT_EQ(ours->sourceURI(), QStringLiteral("200"));
        lock.unlock();
        testing_support::runFor(1.0);
    }
}
