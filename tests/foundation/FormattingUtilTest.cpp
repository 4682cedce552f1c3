#include "foundation/FormattingUtil.h"

#include <QTimeZone>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

struct AmountCase {
    qint64 value;
    const char* expected;
};

} // namespace

TEST(FormattingUtil, DataAmountSwitchesUnitsAt1023)
{
    const AmountCase cases[] = {
        {0, "0 Bytes"},
        {1022, "1022 Bytes"},
        {1023, "1.0 KB"},
        {1536, "1.5 KB"},
        {1023 * 1024 - 1, "1023.0 KB"},   // 1022.999 KB still below the limit
        {1023 * 1024, "1.0 MB"},
        {qint64(1023) * 1024 * 1024, "1.0 GB"},
        {qint64(5) * 1024 * 1024 * 1024 * 1024, "5120.0 GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormattingUtil::displayableDataAmount(c.value), QString::fromUtf8(c.expected)) << c.value;
}

TEST(FormattingUtil, FileSystemAmountAndBitsAndSpeeds)
{
    EXPECT_EQ(FormattingUtil::displayableFileSystemDataAmount(999), QStringLiteral("999 Bytes"));
    EXPECT_EQ(FormattingUtil::displayableFileSystemDataAmount(1000), QStringLiteral("1.0 KB"));
    EXPECT_EQ(FormattingUtil::displayableFileSystemDataAmount(2500000), QStringLiteral("2.5 MB"));
    EXPECT_EQ(FormattingUtil::displayableFileSystemDataAmount(1000000000), QStringLiteral("1.0 GB"));
    EXPECT_EQ(FormattingUtil::displayableDataAmountInBits(1022), QStringLiteral("1022 bits"));
    EXPECT_EQ(FormattingUtil::displayableDataAmountInBits(1023), QStringLiteral("1.0 kbit"));
    EXPECT_EQ(FormattingUtil::displayableSpeed(2048), QStringLiteral("2.0 KB/s"));
    EXPECT_EQ(FormattingUtil::displayableSpeedInBitsPerSec(1048576), QStringLiteral("1.0 Mbit/s"));
}

TEST(FormattingUtil, DisplayableDuration)
{
    EXPECT_EQ(FormattingUtil::displayableDuration(0), QStringLiteral("0:00"));
    EXPECT_EQ(FormattingUtil::displayableDuration(3599), QStringLiteral("59:59"));
    EXPECT_EQ(FormattingUtil::displayableDuration(3600), QStringLiteral("1h.00:00"));
    EXPECT_EQ(FormattingUtil::displayableDuration(86399), QStringLiteral("23h.59:59"));
    EXPECT_EQ(FormattingUtil::displayableDuration(86400), QStringLiteral("1d 0h.00:00"));
    EXPECT_EQ(FormattingUtil::displayableDuration(90061), QStringLiteral("1d 1h.01:01"));
}

TEST(FormattingUtil, MakeTimeString)
{
    EXPECT_EQ(FormattingUtil::makeTimeString(120), QStringLiteral("120 seconds"));
    EXPECT_EQ(FormattingUtil::makeTimeString(121), QStringLiteral("2 minutes"));
    EXPECT_EQ(FormattingUtil::makeTimeString(3660), QStringLiteral("1 hours and 1 minutes"));
    EXPECT_EQ(FormattingUtil::makeTimeString(6 * 3600), QStringLiteral("6 hours"));
    EXPECT_EQ(FormattingUtil::makeTimeString(3 * 86400), QStringLiteral("more than 3 days"));
}

TEST(FormattingUtil, MakeLooselyTimeString)
{
    const std::pair<int, const char*> cases[] = {
        {0, "nearly done"},
        {6, "less than 10 secs"},
        {11, "less than 20 secs"},
        {21, "half a minute"},
        {36, "less than a minute"},
        {56, "around one minute"},
        {120, "around one minute"},
        {121, " 2 minutes"},
        {3599, "59 minutes"},
        {3600 + 5 * 60, " 1h: 5min"},
        {6 * 3600, "6 hours"},
        {48 * 3600, "48 hours"},
        {49 * 3600, "more than 2 days"},
    };
    for (const auto& [seconds, expected] : cases)
        EXPECT_EQ(FormattingUtil::makeLooselyTimeString(seconds), QString::fromUtf8(expected)) << seconds;
    EXPECT_EQ(FormattingUtil::makeRemainTimeString(0), QStringLiteral("Remaining: nearly done"));
}

TEST(FormattingUtil, DisplayableTimeDifference)
{
    const std::pair<long, const char*> cases[] = {
        {0, "At exact time"},
        {59, "0 minutes after"},
        {-5400, "90 minutes before"},
        {7200, "120 minutes after"},
        {7259, "120 minutes after"},   // minutes up to 120 stay minutes
        {7260, "2 hours and 1 minutes after"},
        {7320, "2 hours and 2 minutes after"},
        {10800, "3 hours after"},
        {-(71 * 3600 + 60 * 59), "71 hours and 59 minutes before"},
        {-259200, "3 days before"},
        {259200 + 7200, "3 days and 2 hours after"},
    };
    for (const auto& [seconds, expected] : cases)
        EXPECT_EQ(FormattingUtil::displayableTimeDifference(seconds), QString::fromUtf8(expected)) << seconds;
}

TEST(FormattingUtil, CountsAndFileNames)
{
    EXPECT_EQ(FormattingUtil::fileCount(1), QStringLiteral("1 file"));
    EXPECT_EQ(FormattingUtil::fileCount(0), QStringLiteral("0 files"));
    EXPECT_EQ(FormattingUtil::newFilesCount(1), QStringLiteral("1 new file"));
    EXPECT_EQ(FormattingUtil::newFilesCount(3), QStringLiteral("3 new files"));
    EXPECT_EQ(FormattingUtil::localPathToPreviewFileName(QStringLiteral("/a/b/photo.jpg")), QStringLiteral("p_photo.jpg"));
    EXPECT_EQ(FormattingUtil::makeMirrorFileName(QStringLiteral("KG800"), QStringLiteral("3541")),
              QStringLiteral("KG800-3541.dzmir"));
    EXPECT_EQ(FormattingUtil::makeTempDataFileName(QStringLiteral("KG800"), QStringLiteral("3541")),
              QStringLiteral("KG800-3541"));
}

TEST(FormattingUtil, PathsAndFileUrls)
{
    const QString path = QStringLiteral("/home/me/My Phone/a#1.txt");
    const QString url = FormattingUtil::SystemPathToPosixPath(path);
    EXPECT_EQ(url, QStringLiteral("file:///home/me/My%20Phone/a%231.txt"));
    EXPECT_EQ(FormattingUtil::PosixPathToFilePath(url), path);
    EXPECT_TRUE(FormattingUtil::SystemPathToPosixPath(QString()).isNull());
    EXPECT_TRUE(FormattingUtil::PosixPathToFilePath(QString()).isNull());
}

TEST(FormattingUtil, StringWithFormatIsSafeAgainstFaultyFormats)
{
    using F = FormattingUtil;
    EXPECT_EQ(F::stringWithFormat(QStringLiteral("%d:%02d|%2d|%-3d|%ld %@"), {5, 7, 3, 4, 12, QStringLiteral("x")}),
              QStringLiteral("5:07| 3|4  |12 x"));
    EXPECT_EQ(F::stringWithFormat(QStringLiteral("100%% %d"), {-7}), QStringLiteral("100% -7"));
    // More specifiers than values, and an unknown one: nothing is read past the values.
    EXPECT_EQ(F::stringWithFormat(QStringLiteral("%d %d %s %z"), {1}), QStringLiteral("1   %z"));
    EXPECT_EQ(F::stringWithFormat(QStringLiteral("%03d"), {-5}), QStringLiteral("-05"));
}

TEST(FormattingUtil, ObjectStrings)
{
    const QDateTime local(QDate(2009, 3, 14), QTime(17, 5, 9), QTimeZone(3600));
    EXPECT_EQ(makeStringFromObject(local), QStringLiteral("20090314T170509"));
    EXPECT_EQ(makeNoTimeStringFromObject(local), QStringLiteral("20090314T"));
    EXPECT_EQ(makeBirthdayStringFromObject(local), QStringLiteral("2009-03-14 12:00:00 +0000"));
    EXPECT_TRUE(makeStringFromObject(QVariant()).isNull());
    EXPECT_EQ(makeStringFromObject(QStringLiteral("abc")), QStringLiteral("abc"));
    EXPECT_EQ(makeStringFromObject(QUrl(QStringLiteral("http://example.org/a b"))),
              QStringLiteral("http://example.org/a%20b"));
    EXPECT_EQ(makeStringFromObject(42), QStringLiteral("42"));

    // Late evening in a zone east of UTC stays on its own calendar day.
    const QDateTime lateEvening(QDate(2009, 3, 14), QTime(23, 30), QTimeZone(2 * 3600));
    EXPECT_EQ(highNoonGMTDate(lateEvening), QDateTime(QDate(2009, 3, 14), QTime(12, 0), QTimeZone::utc()));
    EXPECT_FALSE(highNoonGMTDate(QDateTime()).isValid());
}

TEST(FormattingUtil, EqualVXDataItemsComparesLinesAsMultisets)
{
    const QString a = QStringLiteral("BEGIN:VCARD\r\nTEL:1\r\nTEL:1\r\nN:X\r\nEND:VCARD");
    const QString reordered = QStringLiteral("BEGIN:VCARD\r\nN:X\r\nTEL:1\r\nEND:VCARD\r\nTEL:1");
    EXPECT_TRUE(equalVXDataItems(a, a));
    EXPECT_TRUE(equalVXDataItems(a, reordered));
    // Same set of lines, same length and line count, different multiplicities.
    EXPECT_FALSE(equalVXDataItems(QStringLiteral("A\r\nA\r\nB"), QStringLiteral("A\r\nB\r\nB")));
    EXPECT_FALSE(equalVXDataItems(QStringLiteral("A\r\nB"), QStringLiteral("A\nB\n")));
    EXPECT_FALSE(equalVXDataItems(QString(), QString()));
    EXPECT_TRUE(equalVXDataItems(QStringLiteral(""), QStringLiteral("")));
}

TEST(FormattingUtil, ExpandBackSlashCodes)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a\\nb", "a\nb"},
        {"\\r\\t\\n", "\r\t\n"},
        {"a\\\\b", "a\\b"},
        {"\\x", "x"},
        {"end\\", "end"},
        {"plain", "plain"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(expandBackSlashCodes(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
    EXPECT_TRUE(expandBackSlashCodes(QString()).isNull());
}
