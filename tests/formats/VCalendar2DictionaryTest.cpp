#include "PinnedTimeZone.h"

#include "formats/VCalendar2Dictionary.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

QVariantMap read(const char* body, const char* charset = "UTF-8")
{
    return VCalendar2Dictionary::dictionaryForVCalendar(
        QByteArray("BEGIN:VCALENDAR\r\nVERSION:1.0\r\n") + body + "END:VCALENDAR\r\n", QString::fromLatin1(charset));
}

class VCalendar2DictionaryTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    PinnedTimeZone m_berlin;
};

TEST_F(VCalendar2DictionaryTest, FlatValues)
{
    const QVariantMap dict = read("BEGIN:VEVENT\r\n"
                                  "ATTENDEE:a\r\nATTENDEE:b\r\n"
                                  "DTSTART;VALUE=DATE:20240301\r\n"
                                  "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9\r\n"
                                  "LOCATION:K\xF6ln\r\n"
                                  "DESCRIPTION;LATIN1:M\xFCnchen\r\n"
                                  "END:VEVENT\r\n");
    EXPECT_EQ(dict.value(QStringLiteral("ATTENDEE")), QStringLiteral("a, b"));
    EXPECT_EQ(getAttendeesString(dict), QStringLiteral("a, b"));
    EXPECT_EQ(dict.value(QStringLiteral("DTSTART")), QStringLiteral("20240301T000000Z"));
    EXPECT_EQ(getSummary(dict), QStringLiteral("Café"));
    EXPECT_FALSE(dict.contains(QStringLiteral("LOCATION")));          // no UTF-8: left out
    EXPECT_EQ(getDescription(dict), QStringLiteral("München"));
    EXPECT_TRUE(isEvent(dict));
    EXPECT_FALSE(dict.contains(QStringLiteral("BEGIN")));
    EXPECT_FALSE(dict.contains(QStringLiteral("END")));

    EXPECT_EQ(read("LOCATION:K\xF6ln\r\n", "LATIN1").value(QStringLiteral("LOCATION")), QStringLiteral("Köln"));
    EXPECT_TRUE(VCalendar2Dictionary::dictionaryForVCalendar("BEGIN:VEVENT\r\nSUMMARY:x\r\nEND:VEVENT\r\n",
                                                             QStringLiteral("UTF-8"))
                    .isEmpty());
    EXPECT_TRUE(getAttendeesString(QVariantMap()).isNull());
    EXPECT_EQ(getAttendeesString({{QStringLiteral("ATTENDEE"), QStringList{QStringLiteral("a"), QStringLiteral("b")}}}),
              QStringLiteral("\ta\tb"));
}

TEST_F(VCalendar2DictionaryTest, TaskAndDisplayTexts)
{
    const QVariantMap task = read("BEGIN:VTODO\r\nDUE:20240301T100000Z\r\nSUMMARY:x\r\nCATEGORIES:WORK;MEMO\r\n"
                                  "AALARM;TYPE=X:20240301T080000;;;z:bell\r\nEND:VTODO\r\n");
    EXPECT_TRUE(isToDo(task));
    EXPECT_FALSE(isEvent(task));
    EXPECT_TRUE(isMemo(task));
    EXPECT_EQ(getDueDateDay(task), QStringLiteral("20240301"));
    EXPECT_EQ(getDueDate(task), QStringLiteral("Fri. 01. Mar 2024, 11:00"));
    EXPECT_EQ(getShortDueDate(task), QStringLiteral("01.03.24, 11:00"));
    EXPECT_EQ(getSummary(task), QStringLiteral("x"));
    EXPECT_EQ(getAlarmInfo(task), QStringLiteral("SOUND"));
    EXPECT_EQ(getRepeatingInfo(task), QStringLiteral("--"));

    struct Case {
        const char* what;
        const char* body;
        const char* start;
        const char* shortEnd;
        const char* startDay;
        const char* repeating;
        const char* alarm;
    };
    const Case cases[] = {
        {"timed", "DTSTART:20240301T100000\r\nDTEND:20240301T113000\r\nRRULE:W2 MO\r\nAALARM:20240301T090000\r\n",
         "Fri. 01. Mar 2024, 10:00", "01.03.24, 11:30", "20240301", "Several days", "--"},
        {"all day", "DTSTART:20240301T000000\r\nDTEND:20240301T235959\r\nRRULE:W1 FR #0\r\n", "Fri. 01. Mar 2024",
         "01.03.24", "Fri. 01. Mar 2024", "Weekly", ""},
        {"in UTC", "DTSTART:20240301T230000Z\r\nRRULE:D1 #3\r\n", "Sat. 02. Mar 2024, 00:00", "", "20240302", "Daily",
         ""},
        {"no date mark", "DTSTART:20650101T000000\r\n", "", "", "20650101", "Birthday", ""},
        {"unreadable", "DTSTART:tomorrow\r\nRRULE:FREQ=DAILY\r\n", "", "", "", "YES", ""},
        {"monthly and yearly", "RRULE:M1 #2\r\n", "", "", "", "Monthly", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QVariantMap dict = read(c.body);
        EXPECT_EQ(getStartDate(dict), QString::fromUtf8(c.start));
        EXPECT_EQ(getShortEndDate(dict), QString::fromUtf8(c.shortEnd));
        EXPECT_EQ(getStartDateDay(dict), QString::fromUtf8(c.startDay));
        EXPECT_EQ(getRepeatingInfo(dict), QString::fromUtf8(c.repeating));
        EXPECT_EQ(getAlarmInfo(dict), QString::fromUtf8(c.alarm));
    }
}

} // namespace
