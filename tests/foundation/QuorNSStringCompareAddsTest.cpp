#include "foundation/QuorNSStringCompareAdds.h"

#include <QTimeZone>
#include <gtest/gtest.h>

#include <ctime>

TEST(QuorNSStringCompareAdds, PrefixAndSuffixTests)
{
    const QString s = QStringLiteral("Contacts.vcf");
    EXPECT_TRUE(stringStartsWithString(s, QStringLiteral("Cont")));
    EXPECT_FALSE(stringStartsWithString(s, QStringLiteral("cont")));
    EXPECT_TRUE(stringStartsWithString(s, QStringLiteral("cont"), true));
    EXPECT_TRUE(stringStartsWithString(s, QStringLiteral("")));
    EXPECT_FALSE(stringStartsWithString(s, QString()));
    EXPECT_FALSE(stringStartsWithString(QStringLiteral("Co"), QStringLiteral("Cont")));

    EXPECT_TRUE(hasNoCasePrefix(s, QStringLiteral("CONTACTS")));
    EXPECT_FALSE(hasNoCasePrefix(s, QStringLiteral("")));
    EXPECT_TRUE(hasNoCaseSuffix(s, QStringLiteral(".VCF")));
    EXPECT_FALSE(hasSuffixCaseInsensitive(s, QStringLiteral("")));
    EXPECT_FALSE(hasSuffixCaseInsensitive(QStringLiteral("f"), QStringLiteral(".vcf")));
}

TEST(QuorNSStringCompareAdds, EqualityTests)
{
    EXPECT_TRUE(isNoCaseEqualToString(QStringLiteral("Home"), QStringLiteral("hOME")));
    EXPECT_FALSE(isNoCaseEqualToString(QStringLiteral(""), QString()));
    EXPECT_TRUE(isNoCaseEqualToString(QStringLiteral(""), QStringLiteral("")));

    EXPECT_TRUE(isSmartEqualToString(QStringLiteral("Nokia 6230i"), QStringLiteral("nokia"), true));
    EXPECT_FALSE(isSmartEqualToString(QStringLiteral("Nokia 6230i"), QStringLiteral("nokia"), false));
    EXPECT_TRUE(isSmartEqualToString(QStringLiteral("abc"), QStringLiteral(""), false));
    EXPECT_FALSE(isSmartEqualToString(QStringLiteral("abc"), QString(), true));
    // The "NoCase" smart comparison is a literal one.
    EXPECT_TRUE(isNoCaseSmartEqualToString(QStringLiteral("Nokia"), QStringLiteral("Nok")));
    EXPECT_FALSE(isNoCaseSmartEqualToString(QStringLiteral("Nokia"), QStringLiteral("nok")));
}

TEST(QuorNSStringCompareAdds, StringBoolRule)
{
    const std::pair<const char*, bool> cases[] = {
        {"", false}, {"yes", true}, {"Y", true}, {"YES", true}, {"1", true}, {"-3", true}, {" 7", true},
        {"0", false}, {"true", false}, {"T", false}, {"no", false}, {"NO", false},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(boolValue(QString::fromUtf8(text)), expected) << '"' << text << '"';
}

TEST(QuorNSStringCompareAdds, CleanNumbersAndTimeStrings)
{
    EXPECT_TRUE(isCleanNumber(QStringLiteral(""), false));
    EXPECT_TRUE(isCleanNumber(QStringLiteral("0123"), false));
    EXPECT_FALSE(isCleanNumber(QStringLiteral("+49"), false));
    EXPECT_TRUE(isCleanNumber(QStringLiteral("+49-1"), true));
    EXPECT_FALSE(isCleanNumber(QStringLiteral("12 3"), true));
    EXPECT_TRUE(isCleanSerialNumber(QStringLiteral("35 1234 5")));
    EXPECT_FALSE(isCleanSerialNumber(QStringLiteral("35-12")));

    const std::pair<const char*, bool> cases[] = {
        {"20090314", true}, {"20090314T120000", true}, {"20090314T120000Z", true},
        {"2009031", false}, {"20090314T12000", false}, {"20090314X120000", false},
        {"20090314T120000X", false}, {"2009031aT120000", false}, {"", false},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(isTimeString(QString::fromUtf8(text)), expected) << text;

    EXPECT_TRUE(isEqualCharAtIndex(QStringLiteral("abc"), 2, QLatin1Char('c')));
    EXPECT_FALSE(isEqualCharAtIndex(QStringLiteral("abc"), 3, QLatin1Char('c')));
    EXPECT_FALSE(isEqualCharAtIndex(QStringLiteral("abc"), -1, QLatin1Char('a')));
}

TEST(QuorNSStringCompareAdds, CalendarDatesFromTimeTexts)
{
    const QDateTime midnight = getNSCalendarDateFromT_Time(QStringLiteral("20090314"));
    EXPECT_EQ(midnight, QDateTime(QDate(2009, 3, 14), QTime(0, 0), Qt::LocalTime));
    EXPECT_EQ(midnight.timeSpec(), Qt::LocalTime);

    const QDateTime wallClock = getNSCalendarDateFromT_Time(QStringLiteral("20090314T170509"));
    EXPECT_EQ(wallClock, QDateTime(QDate(2009, 3, 14), QTime(17, 5, 9), Qt::LocalTime));

    // The UTC form is the UTC instant, shown in the local zone.
    const QDateTime zulu = getNSCalendarDateFromT_Time(QStringLiteral("20090314T170509Z"));
    EXPECT_EQ(zulu.toUTC(), QDateTime(QDate(2009, 3, 14), QTime(17, 5, 9), QTimeZone::utc()));
    EXPECT_EQ(zulu.timeSpec(), Qt::LocalTime);

    EXPECT_FALSE(getNSCalendarDateFromT_Time(QStringLiteral("2009031")).isValid());
    EXPECT_FALSE(getNSCalendarDateFromT_Time(QStringLiteral("20091314")).isValid());
    EXPECT_FALSE(getNSCalendarDateFromT_Time(QStringLiteral("20090314T250000Z")).isValid());
}

TEST(QuorNSStringCompareAdds, ZuluCalendarDate)
{
    const QDateTime local = getZuluCalendarDate(QStringLiteral("20090314T170509"));
    EXPECT_EQ(local, QDateTime(QDate(2009, 3, 14), QTime(17, 5, 9), Qt::LocalTime));
    const QDateTime utc = getZuluCalendarDateWithLocalOffset(QStringLiteral("20090314T170509Z"), 7200);
    EXPECT_EQ(utc, QDateTime(QDate(2009, 3, 14), QTime(17, 5, 9), QTimeZone::utc()));
    EXPECT_EQ(utc.timeSpec(), Qt::UTC);
    EXPECT_FALSE(getZuluCalendarDate(QStringLiteral("20090314")).isValid());   // a plain date is no date-time
    EXPECT_FALSE(getZuluCalendarDate(QStringLiteral("20091399T170509Z")).isValid());
}

TEST(QuorNSStringCompareAdds, SameTimeWithoutTimeZone)
{
    const QString t = QStringLiteral("20090314T120000");
    EXPECT_TRUE(isSameTimeWithoutTimeZone(t, QStringLiteral("20090314T120000Z")));   // cut to 15
    EXPECT_TRUE(isSameTimeWithoutTimeZone(t, QStringLiteral("20090314T140000")));    // a zone two hours away
    EXPECT_TRUE(isSameTimeWithoutTimeZone(t, QStringLiteral("20090315T120000")));    // a full day
    EXPECT_FALSE(isSameTimeWithoutTimeZone(t, QStringLiteral("20090315T130000")));   // more than a day
    EXPECT_FALSE(isSameTimeWithoutTimeZone(t, QStringLiteral("20090314T123000")));   // not whole hours
    // Texts that are no date-times are the same only when equal.
    EXPECT_FALSE(isSameTimeWithoutTimeZone(QStringLiteral("garbage"), t));
    EXPECT_FALSE(isSameTimeWithoutTimeZone(QStringLiteral("garbage"), QStringLiteral("rubbish")));
    EXPECT_TRUE(isSameTimeWithoutTimeZone(QStringLiteral("garbage"), QStringLiteral("garbage")));
}

TEST(QuorNSStringCompareAdds, SameTimeWithoutTimeZoneCountsInLocalTime)
{
    const QByteArray savedZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    // Summer time ends on 25 October 2009: noon to noon is 25 hours.
    EXPECT_FALSE(isSameTimeWithoutTimeZone(QStringLiteral("20091024T120000"), QStringLiteral("20091025T120000")));
    EXPECT_TRUE(isSameTimeWithoutTimeZone(QStringLiteral("20091024T120000"), QStringLiteral("20091025T110000")));
    // It begins on 29 March 2009: noon to noon is 23 hours.
    EXPECT_TRUE(isSameTimeWithoutTimeZone(QStringLiteral("20090328T120000"), QStringLiteral("20090329T130000")));
    if (savedZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedZone);
    tzset();
}
