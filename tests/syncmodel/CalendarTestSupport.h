#pragma once

// Event and task items over descriptions from a small test device database,
// with the time zone pinned to Europe/Berlin (daylight-saving changes
// included) and an English locale for the display texts.
#include "DeviceDBTestSupport.h"
#include "PinnedTimeZone.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/VXDictionary.h"
#include "platform/SyncChange.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVVCalendarElem.h"

#include <QLocale>
#include <QMap>

#include <gtest/gtest.h>

namespace calendartest {

inline const char kCalendarItemRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset)
    VALUES ('Export-2.1', 'Export', '2.1', 'UTF-8');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset)
    VALUES ('VERSION2.0', 'Export', '2.1', 'UTF-8');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset, MaxLen_EventDesc) VALUES ('Phone', '2.1', 'UTF-8', '30');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset, MaxLen_EventLocation)
    VALUES ('Protocol LG Cal', '2.1', 'UTF-8', '20');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset, ValidEventYears)
    VALUES ('Shifted', '2.1', 'UTF-8', '2000-2030');
)SQL";

class CalendarTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_path = buildTestDeviceDB(QStringLiteral("calendar-item"), QString::fromUtf8(kCalendarItemRows));
        ASSERT_FALSE(s_path.isEmpty());
    }

    void SetUp() override
    {
        m_oldLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        auto db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(db->openDB(s_path));
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
    }
    void TearDown() override
    {
        SyncDeviceLimits::setResolver({});
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        QLocale::setDefault(m_oldLocale);
    }

    static std::shared_ptr<SyncDeviceLimits> limits(const char* protocol)
    {
        return SyncDeviceLimits::fromProtocol(QString::fromLatin1(protocol));
    }
    static QDateTime local(int y, int mo, int d, int h = 0, int mi = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::LocalTime);
    }

    // An item read from the phone's text, on the phone as sourceURI.
    static std::shared_ptr<QVVCalendarElem> fromText(const QString& text, const char* protocol = "Phone",
                                                     const QString& sourceURI = QStringLiteral("1"))
    {
        return QVVCalendarElem::elemWithData(text, sourceURI, QString::fromLatin1(protocol), QStringLiteral("Phone"),
                                             QString());
    }
    // A vCalendar 1.0 text of one VEVENT (or VTODO) with the given lines.
    static QString vcal(const QString& body, const char* kind = "VEVENT")
    {
        return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:%1\r\n%2END:%1\r\nEND:VCALENDAR\r\n")
            .arg(QLatin1String(kind), body);
    }

    // An item of the desktop engine: main fields and sub-records by list.
    static std::shared_ptr<QVVCalendarElem> fromFields(const QVariantMap& main,
                                                       const QMap<QString, QVariantList>& subRecords = {},
                                                       const char* protocol = "Phone")
    {
        VXDictionary vx;
        const QString uuid = createQuorvalisPrimaryKey();
        for (auto it = main.cbegin(); it != main.cend(); ++it)
            vx.setMainObject(it.value(), it.key());
        if (!main.contains(platform::ISyncRecordEntityNameKey))
            vx.setMainObject(platform::entity::Event, platform::ISyncRecordEntityNameKey);
        for (auto list = subRecords.cbegin(); list != subRecords.cend(); ++list) {
            QVariantList ids;
            for (const QVariant& record : list.value()) {
                const QString id = createQuorvalisPrimaryKey();
                QVariantMap sub = record.toMap();
                sub.insert(QStringLiteral("owner"), QVariantList{uuid});
                vx.setOtherObject(sub, id);
                ids.append(id);
            }
            vx.setMainObject(ids, list.key());
        }
        return QVVCalendarElem::vCalendarWithDict(&vx, uuid, QString(), QString::fromLatin1(protocol),
                                                  QStringLiteral("Phone"), QString());
    }

    QLocale m_oldLocale;
    PinnedTimeZone m_zone;
    static inline QString s_path;
};

} // namespace calendartest
