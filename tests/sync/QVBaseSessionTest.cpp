#include "SyncMLCreatorTestSupport.h"

#include "VirtualTime.h"
#include "device/SyncDescriptionServer.h"
#include "links/QVDeviceCallback.h"
#include "sync/QVBaseSession.h"
#include "sync/QVSessionUser.h"
#include "sync/SyncMLConnection.h"

#include <optional>

namespace {

class FakeSessionDevice : public SyncMLConnectionDevice {
public:
    QVariant deviceSetting(const QString& key) const override { return settings.value(key); }
    QString serialNumber() const override { return serial; }
    QVariant lastSyncTimeDevice(int property) const override { return devTimes.value(property); }
    QVariant lastSyncTimeDZ(int property) const override { return dzTimes.value(property); }

    QVariantMap settings;
    QString serial;
    QMap<int, QVariant> devTimes;
    QMap<int, QVariant> dzTimes;
};

class FakeSyncMLConnection : public SyncMLConnection {
public:
    QString deviceIdentifier() const override { return identifier; }
    SyncMLConnectionDevice* mfDevice() const override
    {
        return hasDevice ? const_cast<FakeSessionDevice*>(&device) : nullptr;
    }
    void setDelegate(ObexSyncMLDelegate* to) override { delegate = to; }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        ++closes;
        pendingClose = callback;
        return closeAnswer;
    }
    int executeCommandSync(const std::shared_ptr<ObjectPushCommand>&) override { return 0; }
    QString newSessionID() override { return QStringLiteral("1"); }
    int sendSwitchCommandForProperty(int, bool) override { return 0; }

    QString identifier = QStringLiteral("Unknown+Phone");
    FakeSessionDevice device;
    bool hasDevice = true;
    ObexSyncMLDelegate* delegate = nullptr;
    int closes = 0;
    int closeAnswer = 0;
    std::shared_ptr<QVDeviceCallback> pendingClose;
};

class RecordingSessionUser : public QVSessionUser {
public:
    bool notifySyncMLAction(const QString& text, float percent) override
    {
        actions << text;
        lastPercent = percent;
        return !cancelled;
    }
    int deliverIncomingData(QVBaseSession&) override { return 0; }
    void notifySyncFinished(const QString& result) override { finished << result; }
    void displayPercent(int) override { }
    void processAction(const QVariant& action) override { processed << action; }

    QStringList actions;
    QStringList finished;
    QVariantList processed;
    float lastPercent = 0;
    bool cancelled = false;
};

class QVBaseSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(syncmltest::syncMLTestDB().isEmpty());
        qvDeviceDB::setDefaultDatabasePath(syncmltest::syncMLTestDB());
        qvDeviceDB::releaseSharedDeviceDB();
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        connection.device.settings.insert(QStringLiteral("Common.qvDeviceID"), 20001);
    }
    void TearDown() override
    {
        qvDeviceDB::releaseSharedDeviceDB();
        qvDeviceDB::setDefaultDatabasePath(QString());
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
    }

    std::unique_ptr<QVBaseSession> makeSession() { return QVBaseSession::initWithConnection(connection, &user); }

    FakeSyncMLConnection connection;
    RecordingSessionUser user;
};

TEST_F(QVBaseSessionTest, TheDescriptionComesByModelIdElseByIdentifierElseThereIsNoSession)
{
    struct Case {
        QVariant deviceID;
        const char* identifier;
        bool hasDevice;
        const char* protocol; // null: no session
    };
    const Case cases[] = {
        {20001, "Test+ByIdentifier", true, "Plain Test"},     {QVariant(), "Test+ByIdentifier", true, "Old Test"},
        {QString(), "Test+ByIdentifier", true, "Old Test"},   {20999, "Test+ByIdentifier", true, "Old Test"},
        {QVariant(), "Test+ByIdentifier", false, "Old Test"}, {QVariant(), "Unknown+Phone", true, nullptr},
    };
    for (const Case& c : cases) {
        FakeSyncMLConnection link;
        link.identifier = QLatin1String(c.identifier);
        link.hasDevice = c.hasDevice;
        if (c.deviceID.isValid())
            link.device.settings.insert(QStringLiteral("Common.qvDeviceID"), c.deviceID);
        const auto session = QVBaseSession::initWithConnection(link, &user);
        ASSERT_EQ(session != nullptr, c.protocol != nullptr)
            << c.identifier << " " << c.deviceID.toString().toStdString();
        if (!session)
            continue;
        EXPECT_EQ(session->syncInfo().value(QStringLiteral("SyncML-Protocol")).toString(), QLatin1String(c.protocol));
        EXPECT_EQ(link.delegate, session.get());
    }
}

TEST_F(QVBaseSessionTest, SyncInfoStartsWithTheVersionProtocolAndKnownSerial)
{
    connection.device.serial = QStringLiteral("350000000000001");
    const auto session = makeSession();
    ASSERT_TRUE(session);
    const QVariantMap& info = session->syncInfo();
    EXPECT_EQ(info.value(QStringLiteral("Items")).toList().size(), 0);
    EXPECT_TRUE(info.contains(QStringLiteral("Items")));
    EXPECT_EQ(info.value(QStringLiteral("SyncML-Contacts-Version")).toString(), QStringLiteral("0.3"));
    EXPECT_EQ(info.value(QStringLiteral("SyncML-Device")).toString(), QStringLiteral("350000000000001"));
    EXPECT_EQ(session->property(), -1);
    EXPECT_FALSE(isFast(info));

    connection.device.serial.clear();
    EXPECT_FALSE(makeSession()->syncInfo().contains(QStringLiteral("SyncML-Device")));

    session->setDZSyncTime(QStringLiteral("20261211T080000Z"));
    session->setDevSyncTime(QString());
    EXPECT_EQ(session->syncInfo().value(QStringLiteral("SyncML-LastDZTime")).toString(),
              QStringLiteral("20261211T080000Z"));
    EXPECT_FALSE(session->syncInfo().contains(QStringLiteral("SyncML-LastDevTime")));

    connection.device.devTimes.insert(0, QStringLiteral("dev-anchor"));
    session->retrieveTimeInfo(0);
    EXPECT_EQ(session->lastSyncDevTime(), QStringLiteral("dev-anchor"));
    EXPECT_TRUE(session->lastSyncDZTime().isNull());
}

TEST(QVSyncInfoExtensions, IsFastReadsTheFlagAndIsNoWithoutIt)
{
    EXPECT_FALSE(isFast({}));
    EXPECT_FALSE(isFast({{QStringLiteral("SyncML-IsFast"), false}}));
    EXPECT_TRUE(isFast({{QStringLiteral("SyncML-IsFast"), true}}));
}

TEST_F(QVBaseSessionTest, TheEndIsShownAtOnceAndReportedOnceASecondLater)
{
    struct Case {
        int result;
        int state;
        const char* text;
    };
    const Case cases[] = {{0, 6, "Finishing..."},
                          {214, 6, "Finishing..."},
                          {-105, 8, "Error occured, will retry!"},
                          {-457, 7, "Error occured!"},
                          {404, 7, "Error occured!"}};
    for (const Case& c : cases) {
        RecordingSessionUser job;
        const auto session = QVBaseSession::initWithConnection(connection, &job);
        session->finishSession(c.result);
        EXPECT_EQ(session->curSyncState(), c.state);
        EXPECT_EQ(job.actions, QStringList{QLatin1String(c.text)}) << c.result;
        if (c.state == 6)
            EXPECT_GE(job.lastPercent, 99.0f);
        testing_support::runFor(0.9);
        EXPECT_TRUE(job.finished.isEmpty());
        session->finishSession(1);
        testing_support::runFor(0.2);
        EXPECT_EQ(job.finished, QStringList{QString::number(c.result)});
        testing_support::runFor(2.0);
        EXPECT_EQ(job.finished.size(), 1);
    }

    RecordingSessionUser gone;
    auto session = QVBaseSession::initWithConnection(connection, &gone);
    session->finishSession(0);
    session.reset();
    testing_support::runFor(2.0);
    EXPECT_TRUE(gone.finished.isEmpty());
}

TEST_F(QVBaseSessionTest, StoppingClosesTheConnectionOnceAndEndsAsStopped)
{
    for (const int closeAnswer : {0, -1}) {
        FakeSyncMLConnection link = {};
        link.device.settings.insert(QStringLiteral("Common.qvDeviceID"), 20001);
        link.closeAnswer = closeAnswer;
        RecordingSessionUser job;
        const auto session = QVBaseSession::initWithConnection(link, &job);
        session->stopSession();
        session->stopSession();
        EXPECT_EQ(link.closes, 1);
        EXPECT_TRUE(session->isStopped());
        if (closeAnswer == 0) {
            EXPECT_TRUE(job.actions.isEmpty());
            link.pendingClose->finishWithResult(0, QVariant());
        }
        EXPECT_EQ(job.actions, QStringList{"Finishing..."}) << closeAnswer;
        testing_support::runFor(1.0);
        EXPECT_EQ(job.finished, QStringList{"214"});
    }
}

TEST_F(QVBaseSessionTest, StatesReachTheJobWhichMayCancel)
{
    const auto session = makeSession();
    EXPECT_TRUE(session->setSyncState(QVBaseSession::Sending));
    EXPECT_TRUE(session->setSyncState(12));
    EXPECT_EQ(user.actions, (QStringList{"Sending (0 of 0)", QString()}));
    EXPECT_FLOAT_EQ(user.lastPercent, 50.0f);
    user.cancelled = true;
    EXPECT_FALSE(session->setSyncState(QVBaseSession::Processing));
    session->processAction(QStringLiteral("job"));
    EXPECT_EQ(user.processed, QVariantList{QStringLiteral("job")});

    const auto silent = QVBaseSession::initWithConnection(connection, nullptr);
    EXPECT_FALSE(silent->setSyncState(QVBaseSession::Preparing));
    EXPECT_EQ(silent->performReadContacts(false), 0);
    EXPECT_EQ(silent->property(), 0);
    EXPECT_EQ(silent->dbName(), QStringLiteral("Contacts"));
    EXPECT_FALSE(silent->fastSyncPossible());
}

TEST(QVBaseSessionNames, DatabaseNamesByProperty)
{
    const char* const names[] = {"## UNKNOWN ##", "Contacts", "Calendar", "Notes",        "Bookmarks",
                                 "sms",           "Events",   "Tasks",    "## UNKNOWN ##"};
    for (int property = -1; property <= 7; ++property)
        EXPECT_EQ(QVBaseSession::myDB(property), QLatin1String(names[property + 1]));
}

} // namespace
