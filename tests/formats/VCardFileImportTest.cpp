#include "TestEnvironment.h"

#include "formats/VCardFileImport.h"
#include "platform/TextEncoding.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString folder = testing_support::testHome() + QStringLiteral("/import");
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

const QString kCard30 = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Müller;Jörg;;;\r\nEND:VCARD");
const QString kCard21 = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Müller;;;;\r\nEND:VCARD");

TEST(VCardFileImport, SplitsCards)
{
    const QString path = writeFile(QStringLiteral("three.vcf"),
                                   "BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\n\r\n\r\nBEGIN:VCARD\r\nN:B\r\nEND:VCARD\n\n"
                                   "BEGIN:VCARD\r\nN:C\r\nEND:VCARD\r\n");
    const auto items = importVCardsFromFile(path);
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 3);
    for (const QString& item : *items) {
        EXPECT_TRUE(item.startsWith(QStringLiteral("BEGIN:VCARD"))) << qPrintable(item);
        EXPECT_TRUE(item.endsWith(QStringLiteral("END:VCARD")));
    }
    EXPECT_TRUE(hasValidVCardFromFile(path));

    // A vCalendar anywhere is cut at its end first.
    const auto mixed = importVCardsFromString(QStringLiteral("BEGIN:VCARD\r\nEND:VCARD\r\nBEGIN:VCALENDAR\r\n"
                                                             "END:VCALENDAR\r\nBEGIN:VCARD\r\nEND:VCARD"));
    ASSERT_TRUE(mixed.has_value());
    EXPECT_EQ(*mixed, (QStringList{QStringLiteral("BEGIN:VCARD\r\nEND:VCARD\r\nBEGIN:VCALENDAR\r\nEND:VCALENDAR"),
                                   QStringLiteral("BEGIN:VCARD\r\nEND:VCARD")}));
    EXPECT_FALSE(importVCardsFromString(QString()).has_value());
    EXPECT_TRUE(importVCardsFromString(QStringLiteral(""))->isEmpty());

    const QString none = writeFile(QStringLiteral("none.vcf"), "BEGIN:VCARD\r\nN:A\r\n");
    ASSERT_TRUE(importVCardsFromFile(none).has_value());
    EXPECT_TRUE(importVCardsFromFile(none)->isEmpty());
    EXPECT_FALSE(hasValidVCardFromFile(none));
    const QString missing = testing_support::testHome() + QStringLiteral("/import/missing.vcf");
    EXPECT_FALSE(importVCardsFromFile(missing).has_value());
    EXPECT_FALSE(importVCalendarFromFile(missing).has_value());
    EXPECT_FALSE(hasValidVCardFromFile(missing));
}

TEST(VCardFileImport, FileEncodings)
{
    using platform::text::Encoding;
    struct Case {
        const char* name;
        QByteArray bytes;
        QString expected;
    };
    const Case cases[] = {
        {"utf16-bom.vcf", *platform::text::encode(kCard30, Encoding::Utf16), kCard30},
        {"utf16le-bom.vcf", QByteArray("\xFF\xFE") + *platform::text::encode(kCard30, Encoding::Utf16LE), kCard30},
        {"utf16be-no-bom.vcf", *platform::text::encode(kCard30, Encoding::Utf16BE), kCard30},
        {"utf8-bom.vcf", "\xEF\xBB\xBF" + kCard30.toUtf8(), kCard30},
        {"utf8.vcf", kCard30.toUtf8(), kCard30},
        {"macroman.vcf", *platform::text::encode(kCard21, Encoding::MacRoman), kCard21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto items = importVCardsFromFile(writeFile(QString::fromLatin1(c.name), c.bytes));
        ASSERT_TRUE(items.has_value());
        EXPECT_EQ(*items, QStringList{c.expected});
    }
}

TEST(VCardFileImport, AFifoOrAFolderIsRefusedWithoutWaiting)
{
    const QString folder = testing_support::testHome() + QStringLiteral("/import-special");
    QDir().mkpath(folder + QStringLiteral("/cards.vcf"));
    const QString fifo = folder + QStringLiteral("/pipe.vcf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Opening a FIFO for reading would wait for a writer that never comes.
    EXPECT_FALSE(importVCardsFromFile(fifo).has_value());
    EXPECT_FALSE(hasValidVCardFromFile(fifo));
    EXPECT_FALSE(importVCardsFromFile(folder + QStringLiteral("/cards.vcf")).has_value());
}

TEST(VCardFileImport, SplitsCalendars)
{
    const QString path = writeFile(QStringLiteral("two.ics"),
                                   "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nSUMMARY:one\r\nEND:VEVENT\r\n"
                                   "BEGIN:VTIMEZONE\r\nTZID:X\r\nEND:VTIMEZONE\r\n"
                                   "BEGIN:VTODO\r\nSUMMARY:Caf\xC3\xA9\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    const auto items = importVCalendarFromFile(path);
    ASSERT_TRUE(items.has_value());
    EXPECT_EQ(*items,
              (QStringList{
                  QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:one\r\nEND:VEVENT\r\n"
                                 "END:VCALENDAR\r\n"),
                  QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTIMEZONE\r\nTZID:X\r\nEND:VTIMEZONE\r\n"
                                 "BEGIN:VTODO\r\nSUMMARY:Café\r\nEND:VTODO\r\nEND:VCALENDAR\r\n"),
              }));
    const auto none = importVCalendarFromFile(writeFile(QStringLiteral("none.ics"), "BEGIN:VCALENDAR\r\nEND:VCALENDAR"));
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->isEmpty());
}

} // namespace
