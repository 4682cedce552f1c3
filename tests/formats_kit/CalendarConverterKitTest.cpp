// Calendars of the simulated LG and Motorola phones through the organizer
// kit and the phone-dictionary event converter: a yearly rule on the second
// Tuesday of March written as the converter makes it, read back from the
// phone, made into an item form and written again keeps its month.
#include "VirtualTime.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/MotorolaCalendarConverter.h"
#include "formats/VCalendarConversion.h"
#include "formats/VCalendarGenerator.h"
#include "formats/VXDictionary.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/VendorChains.h"

#include "PhoneSimulator.h"

#include <gtest/gtest.h>

#include <ctime>

using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

struct CalendarKitCallback : organizerKitAsync {
    QList<std::optional<QVariantMap>> reads;
    QList<std::optional<QVariantMap>> writes;
    QList<int> writeCodes;
    void organizerKitCalendarRead(Kestrova*, const std::optional<QVariantMap>& data, int) override
    {
        reads.append(data);
    }
    void organizerKitCalendarEntriesWritten(Kestrova*, const std::optional<QVariantMap>& data, int code) override
    {
        writes.append(data);
        writeCodes.append(code);
    }
};

struct CalendarKitPhone {
    const char* profile;
    const char* protocol;
};

class CalendarConverterKitTest : public ::testing::TestWithParam<CalendarKitPhone> {
protected:
    void SetUp() override
    {
        kestrova::vendors::registerVendorChains();
        m_oldZone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void TearDown() override
    {
        kit.fullStop();
        kit.setCallback(nullptr);
        if (m_oldZone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_oldZone);
        tzset();
    }
    void start(const char* profile)
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        kit.setCallback(&callback);
        kit.setFilename(sim->slavePath());
        kit.setFamily(QLatin1String(profile));
    }
    std::optional<QVariantMap> read()
    {
        const qsizetype before = callback.reads.size();
        kit.getCalendarEntries();
        if (!runUntil([&] { return callback.reads.size() > before; }, 300.0, 0.25))
            return std::nullopt;
        return callback.reads.last();
    }
    bool write(const QVariantMap& entries)
    {
        const qsizetype before = callback.writes.size();
        kit.writeCalendarEntries(entries);
        return runUntil([&] { return callback.writes.size() > before; }, 300.0, 0.25)
            && callback.writeCodes.last() == 0;
    }

    OutsideInputScope outside{0.05};
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    CalendarKitCallback callback;
    Kestrova kit;

private:
    QByteArray m_oldZone;
};

TEST_P(CalendarConverterKitTest, YearlyNthWeekdayRuleKeepsItsMonth)
{
    const CalendarKitPhone phone = GetParam();
    auto shipped = std::make_shared<qvDeviceDB>();
    ASSERT_TRUE(shipped->openDB(qvDeviceDB::defaultDatabasePath()));
    QVSyncDeviceDescription description(shipped);
    ASSERT_EQ(description.setupFromProtocol(QLatin1String(phone.protocol)), 0);

    start(phone.profile);
    ASSERT_TRUE(read().has_value()) << "the calendar is read once before writing";

    // The item form of a kit entry, written back as the converter makes it.
    const QDateTime start(QDate(2024, 3, 12), QTime(9, 0), Qt::LocalTime);
    const QVariantMap kitEntry{
        {QStringLiteral("event"),
         QVariantMap{{QStringLiteral("start date"), start},
                     {QStringLiteral("end date"), start.addSecs(3600)},
                     {QStringLiteral("summary"), QStringLiteral("Fair")}}},
        {QStringLiteral("recurrence"),
         QVariantMap{{QStringLiteral("frequency"), QStringLiteral("yearly")},
                     {QStringLiteral("interval"), 1},
                     {QStringLiteral("bydaydays"), QVariantList{QStringLiteral("tuesday")}},
                     {QStringLiteral("bydayfreq"), QVariantList{2}},
                     {QStringLiteral("byMonth"), QVariantList{3}}}},
    };
    const auto parsed = vCalendarDictionaryForMotorolaEventOrTask(kitEntry, true);
    ASSERT_TRUE(parsed);
    VXDictionary form = vCalendarDictionary2VXDictionary(parsed->map(), QStringLiteral("T-1"));
    ASSERT_TRUE(write({{QStringLiteral("T-1"), createMotoEventDictForVXDict(&form, description)}}));

    // Read from the phone: the kit's spelling becomes the item form's.
    const auto after = read();
    ASSERT_TRUE(after.has_value());
    QVariantMap fromPhone;
    QString key;
    for (auto it = after->cbegin(); it != after->cend(); ++it) {
        if (it.value().toMap().value(QStringLiteral("event")).toMap().value(QStringLiteral("summary")) ==
            QVariant(QStringLiteral("Fair"))) {
            fromPhone = it.value().toMap();
            key = it.key();
        }
    }
    ASSERT_FALSE(key.isEmpty());
    EXPECT_EQ(fromPhone.value(QStringLiteral("recurrence")).toMap().value(QStringLiteral("byMonth")),
              QVariant(QVariantList{3}));
    const auto read = vCalendarDictionaryForMotorolaEventOrTask(fromPhone, true);
    ASSERT_TRUE(read);
    VXDictionary item = vCalendarDictionary2VXDictionary(read->map(), key);
    const QString ruleId = item.mainObjectForKey(QStringLiteral("recurrences")).toList().value(0).toString();
    const QVariantMap rule = item.otherObjectForKey(ruleId).toMap();
    EXPECT_EQ(rule.value(QStringLiteral("bymonth")), QVariant(QVariantList{3}));
    EXPECT_FALSE(rule.contains(QStringLiteral("byMonth")));
    EXPECT_EQ(rule.value(QStringLiteral("bydayfreq")), QVariant(QVariantList{2}));

    VXDictionary rendered(item);
    const QString text = createVCalendarForVXDict(&rendered, description, false);
    EXPECT_TRUE(text.contains(QStringLiteral("RRULE:YM1 3 TU"))) << text.toStdString();

    const QVariantMap again = createMotoEventDictForVXDict(&item, description).value(QStringLiteral("recurrence")).toMap();
    EXPECT_EQ(again.value(QStringLiteral("byMonth")), QVariant(QVariantList{3}));
    EXPECT_FALSE(again.contains(QStringLiteral("bymonth")));
}

INSTANTIATE_TEST_SUITE_P(Calendars, CalendarConverterKitTest,
                         ::testing::Values(CalendarKitPhone{"lg", "Protocol LG"},
                                           CalendarKitPhone{"motorola", "Protocol Motorola V3 Series"}));

} // namespace
