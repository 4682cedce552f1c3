#include "DeviceDBTestSupport.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"

#include <gtest/gtest.h>

namespace {

const char kDescriptionRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass) VALUES ('UNKNOWN', 'FallbackClass');
INSERT INTO SyncML (SyncMLProtocol) VALUES ('Bare');
INSERT INTO SyncML (SyncMLProtocol, MaxPictureBytes, SyncMLMaxMsgSize, SyncMLVersion, VCardVersion, Charset,
    SyncMLLocalSource, switchToSyncMLCommand, PriorityValuesForDevice, PriorityValuesForMac, ProtocolClass,
    IgnoreProperties, MaxLen_TaskSummary, ContactDatabase, CalendarDatabase)
    VALUES ('Full', '0', '12000', '1.0', '3.0', 'UTF', './contacts/calendar', '', '0123456789', '9876543210',
    'ATSerial-LG', 'a, b,c', '40', 'Contacts', 'Calendar');
INSERT INTO SyncML (SyncMLProtocol, ValidEventYears, OldestBirthYear) VALUES ('Years-1980-2037', '1980-2037', '1000');
INSERT INTO SyncML (SyncMLProtocol, ValidEventYears, OldestBirthYear) VALUES ('Years-1980-2099', '1980-2099', '1001');
INSERT INTO SyncML (SyncMLProtocol, ValidEventYears, OldestBirthYear) VALUES ('Years-2100-2200', '2100-2200', '2099');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, VCardVersion) VALUES ('V11', '1.1', '2.1');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, VCardVersion) VALUES ('V12', '1.2', '3.00');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass) VALUES ('Protocol LG Test', 'ATSerial-LG');
INSERT INTO SyncML (SyncMLProtocol, vxFormat) VALUES ('Gigaset Test', 'Gigaset');
)SQL";

class SyncDeviceDescriptionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_path = buildTestDeviceDB(QStringLiteral("sync"), QString::fromUtf8(kDescriptionRows));
        ASSERT_FALSE(s_path.isEmpty());
    }

    void SetUp() override
    {
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(db->openDB(s_path));
    }

    QVSyncDeviceDescription describe(const QString& protocol)
    {
        QVSyncDeviceDescription description(db);
        EXPECT_EQ(description.setupFromProtocol(protocol), 0);
        return description;
    }

    static inline QString s_path;
    std::shared_ptr<qvDeviceDB> db;
};

TEST_F(SyncDeviceDescriptionTest, DefaultsOfAnEmptyRow)
{
    const auto d = describe(QStringLiteral("Bare"));
    EXPECT_EQ(d.syncMLMaxMsgSize(), 32000);
    EXPECT_EQ(d.syncMLMaxSyncCMDNbInEncodedMsg(), 30);
    EXPECT_EQ(d.syncMLNotesLength(), 254);
    EXPECT_EQ(d.syncMLMaxPictureBytes(), 16384);
    EXPECT_EQ(d.syncMLVersion(), 3);
    EXPECT_EQ(d.vCardVersion(), 0x21);
    EXPECT_EQ(d.oldestEventYear(), 0);
    EXPECT_EQ(d.highestEventYear(), 2099);
    EXPECT_EQ(d.oldestBirthYear(), 1900);
    EXPECT_TRUE(d.syncServerArray().isEmpty());
    EXPECT_TRUE(d.syncServerNameIx(0).isNull());
    EXPECT_TRUE(d.defaultCharset().isNull());
    EXPECT_TRUE(d.switchToSyncMLCommand().isNull());
    EXPECT_EQ(d.protocolClass(), QString(QLatin1String("")));
    EXPECT_TRUE(d.hasEMailTypes());
    EXPECT_FALSE(d.hasTasks());
    EXPECT_EQ(d.targetDatabase(7), QStringLiteral("???"));
    EXPECT_TRUE(d.sourceDatabase(-1).isNull());
    EXPECT_FALSE(d.usesSyncMLForProperty(0));
}

TEST_F(SyncDeviceDescriptionTest, ValuesOfAFullRow)
{
    const auto d = describe(QStringLiteral("Full"));
    EXPECT_EQ(d.syncMLMaxPictureBytes(), 16384);   // 0 counts as not set
    EXPECT_EQ(d.syncMLMaxMsgSize(), 12000);
    EXPECT_EQ(d.syncMLVersion(), 3);               // "1.0"
    EXPECT_EQ(d.vCardVersion(), 0x30);
    EXPECT_EQ(d.syncServerArray(), (QStringList{QStringLiteral("."), QStringLiteral("contacts"), QStringLiteral("calendar")}));
    EXPECT_EQ(d.syncServerName(), QStringLiteral("."));
    EXPECT_EQ(d.syncServerNameIx(2), QStringLiteral("calendar"));
    EXPECT_TRUE(d.syncServerNameIx(3).isNull());
    EXPECT_TRUE(d.defaultCharset().isNull());      // three characters
    EXPECT_TRUE(d.switchToSyncMLCommand().isNull());
    EXPECT_EQ(d.devicePriorityForMac(3), 3);
    EXPECT_EQ(d.devicePriorityForMac(12), 0);
    EXPECT_EQ(d.macPriorityForDevice(1), 8);
    EXPECT_TRUE(d.usesLGATConnections());
    EXPECT_TRUE(d.usesAnyATConnections());
    EXPECT_EQ(d.syncMLIgnoreProperties(), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_TRUE(d.hasTasks());
    EXPECT_TRUE(d.usesSyncMLForProperty(0));
    EXPECT_TRUE(d.usesSyncMLForProperty(6));       // tasks look at the calendar database
    EXPECT_FALSE(d.usesSyncMLForSMS());
}

TEST_F(SyncDeviceDescriptionTest, EventAndBirthYears)
{
    struct Case {
        const char* protocol;
        int oldest, highest, birth;
    };
    const Case cases[] = {{"Years-1980-2037", 1980, 2037, 1900},
                          {"Years-1980-2099", 1980, 2099, 1001},
                          {"Years-2100-2200", 0, 2099, 2099}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.protocol);
        const auto d = describe(QString::fromLatin1(c.protocol));
        EXPECT_EQ(d.oldestEventYear(), c.oldest);
        EXPECT_EQ(d.highestEventYear(), c.highest);
        EXPECT_EQ(d.oldestBirthYear(), c.birth);
    }
}

TEST_F(SyncDeviceDescriptionTest, VersionsAndProtocolNames)
{
    EXPECT_EQ(describe(QStringLiteral("V11")).syncMLVersion(), 1);
    EXPECT_EQ(describe(QStringLiteral("V11")).vCardVersion(), 0x21);
    EXPECT_EQ(describe(QStringLiteral("V12")).syncMLVersion(), 2);
    EXPECT_EQ(describe(QStringLiteral("V12")).vCardVersion(), 0x21);   // only "3.0" is 3.0
    const auto lg = describe(QStringLiteral("Protocol LG Test"));
    EXPECT_FALSE(lg.hasEMailTypes());
    EXPECT_FALSE(lg.hasURLTypes());
    EXPECT_TRUE(describe(QStringLiteral("Gigaset Test")).openSynchronous());
    EXPECT_FALSE(describe(QStringLiteral("Bare")).openSynchronous());
}

TEST_F(SyncDeviceDescriptionTest, UnknownProtocolGetsTheUnknownRowCachedUnderItsName)
{
    auto& rows = QVSyncDeviceDB::sharedSyncDeviceDB();
    const QVariantMap fallback = rows.dictionaryForProtocol(QStringLiteral("No Such Protocol"), db.get());
    EXPECT_EQ(fallback.value(QStringLiteral("SyncML.SyncMLProtocol")).toString(), QStringLiteral("UNKNOWN"));
    // cached: answered even without a database now
    EXPECT_EQ(rows.dictionaryForProtocol(QStringLiteral("No Such Protocol"), nullptr), fallback);
    // a null name asks for UNKNOWN and is not cached
    EXPECT_EQ(rows.dictionaryForProtocol(QString(), db.get()), fallback);
    EXPECT_TRUE(rows.dictionaryForProtocol(QString(), nullptr).isEmpty());

    const auto d = describe(QStringLiteral("Another Unknown"));
    EXPECT_EQ(d.protocol(), QStringLiteral("Another Unknown"));
    EXPECT_EQ(d.protocolClass(), QStringLiteral("FallbackClass"));
}

TEST_F(SyncDeviceDescriptionTest, WithoutAnyRowNothingIsMadeOrCached)
{
    const QString empty = buildTestDeviceDB(QStringLiteral("no-unknown"), QString());
    auto bare = std::make_shared<qvDeviceDB>();
    ASSERT_TRUE(bare->openDB(empty));
    QVSyncDeviceDescription d(bare);
    EXPECT_EQ(d.setupFromProtocol(QStringLiteral("Whatever")), -1);
    EXPECT_TRUE(QVSyncDeviceDB::sharedSyncDeviceDB().dictionaryForProtocol(QStringLiteral("Whatever"), nullptr).isEmpty());
}

TEST_F(SyncDeviceDescriptionTest, FieldLengthsAreAddedToTheRow)
{
    auto d = describe(QStringLiteral("Bare"));
    EXPECT_EQ(d.nonNilValueFromDescription(QStringLiteral("SyncML.MaxLen_FirstName")), 0);
    d.setDeviceFieldLengths({{QStringLiteral("SyncML.MaxLen_FirstName"), 24}});
    EXPECT_EQ(d.nonNilValueFromDescription(QStringLiteral("SyncML.MaxLen_FirstName")), 24);
    EXPECT_TRUE(d.nonNilBOOLFromDescription(QStringLiteral("SyncML.MaxLen_FirstName")));
}

} // namespace
