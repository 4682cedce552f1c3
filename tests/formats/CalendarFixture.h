#pragma once

// A device database of calendar phones for the vCalendar reader and writer
// tests, with the time zone pinned to Europe/Berlin.
#include "DeviceDBTestSupport.h"
#include "PinnedTimeZone.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>

namespace calendarfixture {

inline const char kCalendarRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, PriorityValuesForDevice, PriorityValuesForMac)
    VALUES ('Plain', '2.1', '0123456789', '0123456789');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset) VALUES ('Latin', '2.1', 'ISO-8859-1');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset) VALUES ('Utf8', '2.1', 'UTF-8');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, SupportsTimeZones) VALUES ('Zoned', '2.1', '1');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, SupportsAllDayEvents, AllDayDefinition)
    VALUES ('Midnight', '2.1', '1', 'MidnightTo235959');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, SupportsAllDayEvents, AllDayDefinition)
    VALUES ('ZeroZero', '2.1', '1', 'ZeroToZero');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, SupportsAllDayEvents, AllDayDefinition)
    VALUES ('Wrong', '2.1', '1', 'Sometimes');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, SupportsAllDayEvents, AllDayDefinition)
    VALUES ('Protocol Series 40', '2.1', '1', 'AllDayCategories');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, SupportsAllDayEvents, AllDayDefinition)
    VALUES ('Protocol Series 60 3rd', '2.1', '1', 'AllDayCategories');
INSERT INTO SyncML (SyncMLProtocol, vxFormat, VCardVersion, SupportsAllDayEvents, AllDayDefinition)
    VALUES ('Samsung SHP', 'Samsung', '2.1', '1', 'AllDayCategories');
INSERT INTO SyncML (SyncMLProtocol, vxFormat, VCardVersion, SupportsAllDayEvents, AllDayDefinition)
    VALUES ('SonyCal', 'Sony', '2.1', '1', 'MidnightTo235959');
INSERT INTO SyncML (SyncMLProtocol, vxFormat, VCardVersion, SupportsAllDayEvents, AllDayDefinition)
    VALUES ('Samsung HPE', 'Samsung', '2.1', '1', 'MidnightTo235959');
INSERT INTO SyncML (SyncMLProtocol, vxFormat, ProtocolClass, VCardVersion, ValidEventYears, SupportsAllDayEvents,
    AllDayDefinition)
    VALUES ('Samsung AT', 'Samsung', 'ATSerial-Samsung', '2.1', '1980-2037', '1', 'MidnightTo235959');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion) VALUES ('Export-Cal', 'Export', '2.1');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, PriorityValuesForDevice, PriorityValuesForMac)
    VALUES ('Prio', '2.1', '0123456789', '0987654321');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, ValidEventYears, MaxLen_EventLocation)
    VALUES ('Protocol LG Cal', '2.1', '2000-2030', '20');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, ValidEventYears)
    VALUES ('Protocol Motorola V3 Cal', '2.1', '1990-2040');
)SQL";

class CalendarFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_calendarDB = buildTestDeviceDB(QStringLiteral("calendar-formats"), QString::fromUtf8(kCalendarRows));
        ASSERT_FALSE(s_calendarDB.isEmpty());
    }

    void SetUp() override
    {
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        m_db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(m_db->openDB(s_calendarDB));
    }
    void TearDown() override { QVSyncDeviceDB::sharedSyncDeviceDB().reset(); }

    QVSyncDeviceDescription phone(const char* protocol)
    {
        QVSyncDeviceDescription description(m_db);
        EXPECT_EQ(description.setupFromProtocol(QString::fromLatin1(protocol)), 0) << protocol;
        return description;
    }

    static QDateTime localTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
    }
    static QDateTime utcTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
    }

    PinnedTimeZone m_zone;
    std::shared_ptr<qvDeviceDB> m_db;
    static inline QString s_calendarDB;
};

} // namespace calendarfixture
