#include "sync/SamsungObexSession.h"

#include "device/QVSyncDeviceDescription.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/ObexHeaders.h"
#include "links/ObjectPushCommand.h"
#include "links/SamsungATConnection.h"
#include "phone/RawRecordStore.h"
#include "sync/QVSessionUser.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElem.h"

#include "../links/FakeSerialATChannel.h"
#include "MobexStore.h"
#include "ObexServer.h"
#include "PhoneProfile.h"
#include "PhoneSimulator.h"
#include "VirtualTime.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testing_support::runUntil;

namespace {

QByteArray card(const QString& last, const QString& first, const QString& tel = QStringLiteral("123"))
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;%2\r\nTEL:%3\r\nEND:VCARD\r\n")
        .arg(last, first, tel)
        .toUtf8();
}

QByteArray event(const QString& summary, bool todo = false)
{
    const QString kind = todo ? QStringLiteral("VTODO") : QStringLiteral("VEVENT");
    const QString date = todo ? QStringLiteral("DUE:20261212T100000") : QStringLiteral("DTSTART:20261212T100000");
    return QStringLiteral(
               "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:%1\r\nSUMMARY:%2\r\n%3\r\nEND:%1\r\nEND:VCALENDAR\r\n")
        .arg(kind, summary, date)
        .toUtf8();
}

QVariantMap entry(const QString& uri, const QString& action, const QString& text = QString())
{
    QVariantMap map{{"SourceURI", uri}, {"Action", action}};
    if (!text.isNull())
        map.insert(QStringLiteral("vx-Data"), text);
    return map;
}

class RecordingUser : public QVSessionUser {
public:
    bool notifySyncMLAction(const QString&, float percent) override
    {
        percents.append(percent);
        return !stop;
    }
    int deliverIncomingData(QVBaseSession& base) override
    {
        auto& session = static_cast<SamsungObexSession&>(base);
        delivered = session.items();
        firstSync = session.isFirstSync();
        session.setDownloadObjects(toSend, nullptr, -1);
        return 0;
    }
    void notifySyncFinished(const QString& text) override { result = text; }
    void displayPercent(int) override { }
    void processAction(const QVariant&) override { }

    QList<float> percents;
    QVariantList delivered;
    bool firstSync = false;
    bool stop = false;
    QString result;
    std::shared_ptr<QVCommandArray> toSend = std::make_shared<QVCommandArray>();
};

// A session over the MOBEX connection, whose far end is phonesim's OBEX
// server with a MOBEX store, on an in-process channel.
class SamsungObexSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.setMobexStore(phonesim::MobexStore());
        description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
        ASSERT_TRUE(description);
        rawPath = dir.filePath(QStringLiteral("DeviceData-RAW"));
        ObexSwitchSettings settings;
        settings.usesSamsungATConnections = true;
        settings.isSamsungAT = true;
        SamsungATConnection::SamsungHooks hooks;
        connection = std::make_unique<SamsungATConnection>(
            nullptr,
            [this, settings] {
                auto transport = std::make_unique<CommonObexATSwitchIrMCTransportLayer>(
                    nullptr, settings, QVariantMap(), QStringLiteral("Bluetooth"), false);
                transport->setChannelFactory([this](const QString&, const QVariantMap&, MFDevice* dev,
                                                    SerialDelegateProtocol* delegate,
                                                    SerialATChannel::PhoneTraits traits) {
                    auto made = std::make_unique<FakeSerialATChannel>(dev, delegate, traits);
                    FakeSerialATChannel* raw = made.get();
                    made->onSend = [this, raw](const QByteArray& bytes) { answer(*raw, bytes); };
                    return made;
                });
                return transport;
            },
            hooks);
    }
    void TearDown() override
    {
        session.reset();
        connection.reset();
        freeParkedChannel();
    }

    void answer(FakeSerialATChannel& on, const QByteArray& bytes)
    {
        if (!on.modeObex()) {
            auto reply = server.atLine(bytes.trimmed());
            on.deliver(reply ? reply->answer : QByteArray("\r\nOK\r\n"));
            return;
        }
        for (const QByteArray& reply : server.input(bytes).answers)
            on.deliver(reply);
    }

    phonesim::MobexStore& store() { return *server.mobexStore(); }

    // Opens the connection and runs one session of the property to its end.
    QString run(int property, bool forceSlow = false)
    {
        if (!connection->hasMobexSession()) {
            int opened = 1;
            EXPECT_EQ(connection->openConnection(QVDeviceCallback::commandObject(
                          this, [&](QVDeviceCallback& c) { opened = c.returnStatus(); }, {})),
                      0);
            EXPECT_TRUE(runUntil([&] { return opened != 1; }, 30));
            EXPECT_EQ(opened, 0);
        }
        SamsungObexSession::Environment environment;
        environment.rawDataPathName = rawPath;
        session = SamsungObexSession::initWithConnection(*connection, &user, description, environment);
        EXPECT_TRUE(session);
        if (!session)
            return {};
        EXPECT_EQ(
            property == 0 ? session->performReadContacts(forceSlow) : session->performReadCalendarEvents(forceSlow), 0);
        EXPECT_TRUE(runUntil([&] { return !user.result.isNull(); }, 120));
        return user.result;
    }

    QVariantMap snapshot(const QString& db) const { return rawrecords::readDeviceRecords(rawPath, db); }

    QTemporaryDir dir;
    QString rawPath;
    phonesim::ObexServer server;
    std::shared_ptr<QVSyncDeviceDescription> description;
    std::unique_ptr<SamsungATConnection> connection;
    std::unique_ptr<SamsungObexSession> session;
    RecordingUser user;
};

} // namespace

TEST(SamsungObexSessionParts, SnapshotComparison)
{
    const auto identity = [](const QString& text) { return SamsungObexSession::getIdentity(text, 0, QString()); };
    QVariantMap snapshot{{"01-1", QString::fromUtf8(card("Same", "Anna"))},
                         {"01-2", QString::fromUtf8(card("Case", "Bert"))},
                         {"01-3", QString::fromUtf8(card("Old", "Carl"))},
                         {"01-4", QString::fromUtf8(card("Gone", "Dora"))}};
    const QVariantList read{entry("01-1", "Add", QString::fromUtf8(card("Same", "Anna"))),
                            entry("01-2", "Add", QString::fromUtf8(card("CASE", "bert", "999"))),
                            entry("01-3", "Add", QString::fromUtf8(card("New", "Carl"))),
                            entry("01-5", "Add", QString::fromUtf8(card("Fresh", "Emil")))};
    const QVariantList actions = SamsungObexSession::compareWithSnapshot(read, snapshot, identity);
    const QVariantList expected{entry("01-2", "Replace", QString::fromUtf8(card("CASE", "bert", "999"))),
                                entry("01-3", "Delete"), entry("01-3", "Add", QString::fromUtf8(card("New", "Carl"))),
                                entry("01-5", "Add", QString::fromUtf8(card("Fresh", "Emil"))),
                                entry("01-4", "Delete")};
    EXPECT_EQ(actions, expected);
    EXPECT_FALSE(snapshot.contains("01-4"));
    EXPECT_EQ(snapshot.value("01-3").toString(), QString::fromUtf8(card("New", "Carl")));
    EXPECT_EQ(snapshot.size(), 4);

    // A memo the session put in a sub-database it does not read is no
    // vanished record: it stays, and the desktop keeps its item.
    QVariantMap withMemo{{"01-1", QString::fromUtf8(card("Same", "Anna"))}, {"08-1", QStringLiteral("memo")}};
    const QVariantList memoActions = SamsungObexSession::compareWithSnapshot(
        {entry("01-1", "Add", QString::fromUtf8(card("Same", "Anna")))}, withMemo, identity, {1, 7});
    EXPECT_TRUE(memoActions.isEmpty());
    EXPECT_TRUE(withMemo.contains("08-1"));
}

TEST(SamsungObexSessionParts, AnswersAreReadWithinTheirBytes)
{
    EXPECT_FALSE(SamsungObexSession::parseCount(QByteArray::fromHex("01F4")));
    EXPECT_FALSE(SamsungObexSession::parseCount(QByteArray::fromHex("01F400")));
    EXPECT_EQ(SamsungObexSession::parseCount(QByteArray::fromHex("01F40003")), std::make_pair(500, 3));

    const auto block = SamsungObexSession::parseLoadBlock(QByteArray::fromHex("0011000261620100000163"), 1);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 2);
    EXPECT_EQ(block->at(0).toMap().value("SourceURI").toString(), QStringLiteral("01-17"));
    EXPECT_EQ(block->at(0).toMap().value("vx-Data").toString(), QStringLiteral("ab"));
    EXPECT_EQ(block->at(1).toMap().value("SourceURI").toString(), QStringLiteral("01-256"));
    // A record past its block, a header cut short, Latin-1 bytes.
    EXPECT_FALSE(SamsungObexSession::parseLoadBlock(QByteArray::fromHex("0011000561"), 1));
    EXPECT_FALSE(SamsungObexSession::parseLoadBlock(QByteArray::fromHex("001100"), 1));
    const auto latin = SamsungObexSession::parseLoadBlock(QByteArray::fromHex("00010001E9"), 7);
    ASSERT_TRUE(latin);
    EXPECT_EQ(latin->at(0).toMap().value("vx-Data").toString(), QString(QChar(0xE9)));
    EXPECT_EQ(latin->at(0).toMap().value("SourceURI").toString(), QStringLiteral("07-1"));

    // Info: the keys in order, stopping below two bytes.
    const QVariantMap limits = SamsungObexSession::parseContactInfo(QByteArray::fromHex("0020001000"));
    ASSERT_EQ(limits.size(), 2);
    EXPECT_EQ(limits.value("SyncML.MaxLen_FirstName").toInt(), 32);
    EXPECT_EQ(limits.value("SyncML.MaxLen_LastName").toInt(), 16);
    EXPECT_EQ(SamsungObexSession::contactsInfoKeys().size(), 24);
    EXPECT_EQ(SamsungObexSession::contactsInfoKeys().last(), QStringLiteral("SyncML.MaxLen_Company"));

    struct UriCase {
        const char* text;
        bool valid;
    };
    for (const UriCase& c :
         {UriCase{"01-17", true}, UriCase{"07-300", true}, UriCase{"01", false}, UriCase{"01-", false},
          UriCase{"-5", false}, UriCase{"01-2-3", false}, UriCase{"x-1", false}, UriCase{"01-70000", false}}) {
        EXPECT_EQ(bool(SamsungObexSession::splitSourceURI(QLatin1String(c.text))), c.valid) << c.text;
    }
    EXPECT_EQ(SamsungObexSession::sourceURI(1, 17), QStringLiteral("01-17"));
}

TEST_F(SamsungObexSessionTest, ReadsEveryBlockOfEverySubDatabase)
{
    store().setBlockSize(8);
    for (int i = 0; i < 30; ++i)
        store().put(1, 1, i, event(QStringLiteral("Meeting %1").arg(i)));
    for (int i = 0; i < 10; ++i)
        store().put(1, 7, 100 + i, event(QStringLiteral("Task %1").arg(i), true));
    EXPECT_EQ(run(1), QStringLiteral("0"));
    EXPECT_TRUE(user.firstSync);
    EXPECT_EQ(user.delivered.size(), 40);
    for (const QVariant& item : std::as_const(user.delivered))
        EXPECT_EQ(item.toMap().value("Action").toString(), QStringLiteral("Add"));
    EXPECT_EQ(snapshot(QStringLiteral("Calendar")).size(), 40);
    EXPECT_TRUE(snapshot(QStringLiteral("Calendar")).contains("07-109"));
    // Start 2, counting 8, reading, processing 50, then sending.
    ASSERT_FALSE(user.percents.isEmpty());
    EXPECT_EQ(user.percents.first(), 2.0f);
    EXPECT_TRUE(user.percents.contains(8.0f));
    EXPECT_TRUE(user.percents.contains(50.0f));
    // Reading: (read * 100 / total) * 0.35 + 10, block by block.
    EXPECT_TRUE(user.percents.contains(10.0f));
    EXPECT_TRUE(user.percents.contains(float(20 * 0.35 + 10)));
    EXPECT_EQ(session->maxItemsCount(), 400);

    // A second run sees nothing new; a vanished record becomes a deletion.
    store().remove(1, 7, 105);
    user = RecordingUser();
    session.reset();
    EXPECT_EQ(run(1), QStringLiteral("0"));
    EXPECT_FALSE(user.firstSync);
    ASSERT_EQ(user.delivered.size(), 1);
    EXPECT_EQ(user.delivered.first().toMap(), entry("07-105", "Delete"));

    // Forced slow: read as on a first sync.
    user = RecordingUser();
    session.reset();
    EXPECT_EQ(run(1, true), QStringLiteral("0"));
    EXPECT_TRUE(user.firstSync);
    EXPECT_EQ(user.delivered.size(), 39);
}

TEST_F(SamsungObexSessionTest, BadAnswersEndTheSession)
{
    store().put(0, 1, 1, card("A", "B"));
    store().setFaults(phonesim::MobexStore::ShortCount);
    EXPECT_EQ(run(0), QString::number(SamsungObexSession::kInvalidCount));
    EXPECT_TRUE(user.delivered.isEmpty());

    user = RecordingUser();
    session.reset();
    store().setFaults(phonesim::MobexStore::RecordPastBlock);
    EXPECT_EQ(run(0), QString::number(SamsungObexSession::kInvalidLoadData));
    EXPECT_TRUE(user.delivered.isEmpty());

    user = RecordingUser();
    session.reset();
    store().setFaults(phonesim::MobexStore::RejectGet);
    EXPECT_EQ(run(0), QStringLiteral("-105"));
}

TEST_F(SamsungObexSessionTest, AnAddTakesTheIndexThePhoneReports)
{
    store().put(0, 1, 0, card("Known", "Kim"));
    store().setFirstCreateIndex(50);
    auto elem = QVSyncElem::elemWithData(QString::fromUtf8(card("Added", "Ada")), QStringLiteral("T-1"),
                                         description->protocol(), QString(), QString());
    user.toSend->addObject(elem, QVCommandArray::kAdd);
    EXPECT_EQ(run(0), QStringLiteral("0"));
    EXPECT_EQ(elem->sourceURI(), QStringLiteral("01-50"));
    EXPECT_TRUE(store().records(0, 1).contains(50));
    EXPECT_EQ(snapshot(QStringLiteral("Contacts")).value("01-50").toString(), QString::fromUtf8(card("Added", "Ada")));
    EXPECT_EQ(session->unsentItems(), 0);
}

TEST_F(SamsungObexSessionTest, AFullPhoneLeavesTheRestUnsent)
{
    store().setCapacity(0, 1, 1);
    store().put(0, 1, 0, card("Only", "One"));
    for (const char* name : {"First", "Second", "Third"}) {
        user.toSend->addObject(QVSyncElem::elemWithData(QString::fromUtf8(card(QLatin1String(name), "X")),
                                                        QStringLiteral("T-%1").arg(QLatin1String(name)),
                                                        description->protocol(), QString(), QString()),
                               QVCommandArray::kAdd);
    }
    EXPECT_EQ(run(0), QStringLiteral("0"));
    EXPECT_EQ(session->unsentItems(), 3);
    EXPECT_EQ(store().records(0, 1).size(), 1);

    // A create the phone refuses counts as unsent too.
    user = RecordingUser();
    session.reset();
    store().setCapacity(0, 1, 10);
    store().setFaults(phonesim::MobexStore::WriteStatus);
    user.toSend->addObject(QVSyncElem::elemWithData(QString::fromUtf8(card("Refused", "R")), QStringLiteral("T-9"),
                                                    description->protocol(), QString(), QString()),
                           QVCommandArray::kAdd);
    EXPECT_EQ(run(0), QStringLiteral("0"));
    EXPECT_EQ(session->unsentItems(), 1);

    // So does a replace the phone refuses: its record keeps the old text.
    user = RecordingUser();
    session.reset();
    store().put(0, 1, 5, card("Old", "O"));
    auto changed = QVSyncElem::elemWithData(QString::fromUtf8(card("New", "N")), QStringLiteral("01-5"),
                                            description->protocol(), QString(), QString());
    user.toSend->addObject(changed, QVCommandArray::kReplace);
    EXPECT_EQ(run(0), QStringLiteral("0"));
    EXPECT_EQ(session->unsentItems(), 1);
    EXPECT_TRUE(store().records(0, 1).value(5).contains("Old"));
}

TEST_F(SamsungObexSessionTest, DeletesAndReplacesAddressTheWholeIndex)
{
    store().put(0, 1, 44, card("Near", "N"));
    store().put(0, 1, 300, card("Far", "F"));
    store().put(0, 1, 301, card("Keep", "K"));
    user.toSend->addObject(QVSyncElem::elemForDeletion(QStringLiteral("01-300")), QVCommandArray::kDelete);
    user.toSend->addObject(QVSyncElem::elemWithData(QString::fromUtf8(card("Keep", "K", "555")),
                                                    QStringLiteral("01-301"), description->protocol(), QString(),
                                                    QString()),
                           QVCommandArray::kReplace);
    user.toSend->addObject(QVSyncElem::elemForDeletion(QStringLiteral("no-uri-here")), QVCommandArray::kDelete);
    EXPECT_EQ(run(0), QStringLiteral("0"));
    EXPECT_TRUE(store().records(0, 1).contains(44));
    EXPECT_FALSE(store().records(0, 1).contains(300));
    EXPECT_TRUE(store().records(0, 1).value(301).contains("555"));
    EXPECT_EQ(session->deleteErrorCount(), 0);
    // Sending: (sent * 100 / total) * 0.45 + 50 for the three elements.
    for (const float percent : {50.0f, float(33 * 0.45 + 50), float(66 * 0.45 + 50), 95.0f})
        EXPECT_TRUE(user.percents.contains(percent)) << percent;

    // A delete the phone answers with a non-zero status is counted.
    user = RecordingUser();
    session.reset();
    store().setFaults(phonesim::MobexStore::WriteStatus);
    user.toSend->addObject(QVSyncElem::elemForDeletion(QStringLiteral("01-44")), QVCommandArray::kDelete);
    EXPECT_EQ(run(0), QStringLiteral("0"));
    EXPECT_EQ(session->deleteErrorCount(), 1);
}

TEST_F(SamsungObexSessionTest, PreprocessingFillsTheLimits)
{
    int opened = 1;
    ASSERT_EQ(connection->openConnection(
                  QVDeviceCallback::commandObject(this, [&](QVDeviceCallback& c) { opened = c.returnStatus(); }, {})),
              0);
    ASSERT_TRUE(runUntil([&] { return opened != 1; }, 30));
    store().setContactLimits({20, 30, 10});
    SamsungObexSession::Environment environment;
    session = SamsungObexSession::initWithConnection(*connection, &user, description, environment);
    QVariant result;
    int status = 1;
    ASSERT_EQ(session->performPreprocessContacts(QVDeviceCallback::commandObject(this,
                                                                                 [&](QVDeviceCallback& c) {
                                                                                     status = c.returnStatus();
                                                                                     result = c.resultObject();
                                                                                 },
                                                                                 {})),
              0);
    ASSERT_TRUE(runUntil([&] { return !user.result.isNull(); }, 30));
    EXPECT_EQ(status, 0);
    const QVariantMap expected{
        {"SyncML.MaxLen_FirstName", 20}, {"SyncML.MaxLen_LastName", 30}, {"SyncML.MaxLen_SecondName", 10}};
    EXPECT_EQ(session->prepDict(), expected);
    EXPECT_EQ(result.toMap(), expected);
}

// An outside check: gammu reads phonesim's Samsung phone over its
// pseudo-terminal (its own MOBEX reader), the session reads a phone with the
// same store; both see the same names and numbers.
TEST_F(SamsungObexSessionTest, GammuListsWhatTheSessionReads)
{
    const QString gammu = QStandardPaths::findExecutable(QStringLiteral("gammu"));
    if (gammu.isEmpty())
        GTEST_SKIP() << "gammu is not installed (Debian package gammu; scripts/install-deps.sh installs it)";
    constexpr int kContacts = 12;
    QString outside;
    {
        phonesim::PhoneSimulator ptySim(*phonesim::PhoneProfile::named(QStringLiteral("samsung")));
        ptySim.modifyObexServer([](phonesim::ObexServer& obex) {
            ASSERT_TRUE(obex.mobexStore());
            phonesim::MobexStore::fillContacts(*obex.mobexStore(), kContacts);
        });
        ASSERT_TRUE(ptySim.start());
        const QString config = dir.filePath(QStringLiteral("gammurc"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[gammu]\ndevice = " + ptySim.slavePath().toLocal8Bit() + "\nconnection = at\nmodel = atobex\n");
        file.close();
        QProcess process;
        process.start(gammu, {QStringLiteral("-c"), config, QStringLiteral("getallmemory"), QStringLiteral("ME")});
        ASSERT_TRUE(process.waitForFinished(60000)) << "gammu did not finish";
        outside = QString::fromLocal8Bit(process.readAllStandardOutput());
        // gammu's own requests: the count of sub-database 1, the first block.
        QList<QPair<QByteArray, QByteArray>> requests;
        for (const QByteArray& packet : ptySim.obexServer().packets()) {
            const auto headers = obex::parseHeaders(packet.constData() + 3, packet.size() - 3);
            if (uint8_t(packet[0]) != 0x83 || !headers)
                continue;
            const obex::Header* type = obex::findHeader(*headers, obex::kHeaderType);
            const obex::Header* params = obex::findHeader(*headers, obex::kHeaderAppParameters);
            if (type)
                requests.append({type->value.left(type->value.indexOf('\0')), params ? params->value : QByteArray()});
        }
        EXPECT_TRUE(requests.contains(qMakePair(QByteArray("m-obex/contacts/count"), QByteArray::fromHex("01"))));
        EXPECT_TRUE(requests.contains(qMakePair(QByteArray("m-obex/contacts/load"), QByteArray::fromHex("010000"))));
        EXPECT_EQ(ptySim.obexServer().lastTarget(), QByteArray("MOBEX"));
    }
    phonesim::MobexStore::fillContacts(store(), kContacts);
    ASSERT_EQ(run(0), QStringLiteral("0"));
    ASSERT_EQ(user.delivered.size(), kContacts);
    for (const QVariant& item : std::as_const(user.delivered)) {
        const QString text = item.toMap().value("vx-Data").toString();
        const QString name = text.section(QStringLiteral("\r\nN:"), 1).section(u';', 0, 0);
        const QString number = text.section(QStringLiteral("TEL;CELL:"), 1).section(u'\r', 0, 0);
        EXPECT_TRUE(outside.contains(QLatin1Char('"') + name + QLatin1Char('"'))) << qPrintable(name) << "\n"
                                                                                  << qPrintable(outside);
        EXPECT_TRUE(outside.contains(QLatin1Char('"') + number + QLatin1Char('"'))) << qPrintable(number);
    }
}
