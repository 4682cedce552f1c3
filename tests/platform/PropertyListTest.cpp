#include "platform/PropertyList.h"

#include "TestEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <QRandomGenerator>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace plist = platform::plist;

namespace {

QByteArray fixture(const char* name)
{
    QFile file(QStringLiteral(MARVESTO_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

int typeOf(const QVariant& value)
{
    return value.metaType().id();
}

// The values both fixtures hold.
void expectAllTypes(const QVariantMap& map)
{
    EXPECT_EQ(map.value("AString"), QVariant(QStringLiteral("Hello, World")));
    EXPECT_EQ(map.value("Escaped & <markup>"),
              QVariant(QStringLiteral("Tom & Jerry <tom@example.com> \"quoted\" \u263A")));
    EXPECT_EQ(map.value("Unicode"), QVariant(QStringLiteral("Gr\u00FC\u00DFe \u2013 caf\u00E9 \u263A \U0001F600")));
    EXPECT_EQ(typeOf(map.value("EmptyString")), QMetaType::QString);
    EXPECT_TRUE(map.value("EmptyString").toString().isEmpty());

    EXPECT_EQ(typeOf(map.value("Integer")), QMetaType::LongLong);
    EXPECT_EQ(map.value("Integer").toLongLong(), 42);
    EXPECT_EQ(map.value("NegativeInteger").toLongLong(), -7);
    EXPECT_EQ(typeOf(map.value("LargestInteger")), QMetaType::LongLong);
    EXPECT_EQ(map.value("LargestInteger").toLongLong(), std::numeric_limits<qlonglong>::max());
    EXPECT_EQ(typeOf(map.value("SmallestInteger")), QMetaType::LongLong);
    EXPECT_EQ(map.value("SmallestInteger").toLongLong(), std::numeric_limits<qlonglong>::min());
    EXPECT_EQ(typeOf(map.value("UnsignedInteger")), QMetaType::ULongLong);
    EXPECT_EQ(map.value("UnsignedInteger").toULongLong(), std::numeric_limits<quint64>::max());

    EXPECT_EQ(typeOf(map.value("Real")), QMetaType::Double);
    EXPECT_DOUBLE_EQ(map.value("Real").toDouble(), 3.1415926535897931);
    EXPECT_DOUBLE_EQ(map.value("RealExponent").toDouble(), -1.5e-10);
    EXPECT_EQ(typeOf(map.value("RealWhole")), QMetaType::Double);
    EXPECT_EQ(map.value("RealWhole").toDouble(), 2.0);

    EXPECT_EQ(typeOf(map.value("True")), QMetaType::Bool);
    EXPECT_TRUE(map.value("True").toBool());
    EXPECT_EQ(typeOf(map.value("False")), QMetaType::Bool);
    EXPECT_FALSE(map.value("False").toBool());

    EXPECT_EQ(typeOf(map.value("Date")), QMetaType::QDateTime);
    EXPECT_EQ(map.value("Date").toDateTime(), utc(2009, 3, 14, 12, 0, 0));
    EXPECT_EQ(map.value("Date").toDateTime().timeSpec(), Qt::UTC);

    EXPECT_EQ(typeOf(map.value("Data")), QMetaType::QByteArray);
    EXPECT_EQ(map.value("Data").toByteArray(), QByteArray("\x00\x01\x02\x03\xFF", 5));
    EXPECT_EQ(map.value("LongData").toByteArray(),
              QByteArray("The quick brown fox jumps over the lazy dog. The quick brown fox jumps over the lazy dog."));
    EXPECT_EQ(typeOf(map.value("EmptyData")), QMetaType::QByteArray);
    EXPECT_TRUE(map.value("EmptyData").toByteArray().isEmpty());

    const QVariantList array = map.value("Array").toList();
    ASSERT_EQ(array.size(), 6);
    EXPECT_EQ(array.at(0), QVariant(QStringLiteral("one")));
    EXPECT_EQ(array.at(1).toLongLong(), 2);
    EXPECT_EQ(array.at(2).toDouble(), 3.5);
    EXPECT_EQ(typeOf(array.at(3)), QMetaType::Bool);
    EXPECT_EQ(typeOf(array.at(4)), QMetaType::QVariantList);
    EXPECT_TRUE(array.at(4).toList().isEmpty());
    EXPECT_EQ(typeOf(array.at(5)), QMetaType::QVariantMap);
    EXPECT_TRUE(array.at(5).toMap().isEmpty());

    EXPECT_EQ(typeOf(map.value("EmptyArray")), QMetaType::QVariantList);
    EXPECT_EQ(typeOf(map.value("EmptyDict")), QMetaType::QVariantMap);

    const QVariantMap nested = map.value("Nested").toMap();
    EXPECT_EQ(nested.value("key with spaces"), QVariant(QStringLiteral("  leading and trailing  ")));
    EXPECT_EQ(nested.value("lowercase"), QVariant(QStringLiteral("a")));
    EXPECT_EQ(nested.value("LOWERCASE"), QVariant(QStringLiteral("A")));   // keys kept as given
    const QVariantList devices = nested.value("Devices").toList();
    ASSERT_EQ(devices.size(), 1);
    const QVariantMap device = devices.at(0).toMap();
    EXPECT_EQ(device.value("Name"), QVariant(QStringLiteral("KG800")));
    EXPECT_EQ(device.value("Channel").toLongLong(), 3);
    EXPECT_EQ(device.value("LastSeen").toDateTime(), utc(2008, 12, 31, 23, 59, 59));
}

QVariantMap sampleValue()
{
    QByteArray allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes.append(char(i));
    QVariantMap inner;
    inner.insert(QStringLiteral("list"), QVariantList{1, QStringLiteral("two"), 3.25, true, QVariantList{}, QVariantMap{}});
    inner.insert(QStringLiteral(""), QStringLiteral("empty key"));
    QVariantMap map;
    map.insert(QStringLiteral("string"), QStringLiteral("plain"));
    map.insert(QStringLiteral("markup"), QStringLiteral("<a href=\"x\">Tom & 'Jerry'</a> ]]> &amp;"));
    map.insert(QStringLiteral("whitespace"), QStringLiteral("  a\tb\r\nc\rd\n  "));
    map.insert(QStringLiteral("unicode"), QStringLiteral("\u00E9\u20AC\u263A\U0001F600\u4E2D"));
    map.insert(QStringLiteral("empty"), QString());
    map.insert(QStringLiteral("Key Case"), 1);
    map.insert(QStringLiteral("key case"), 2);
    map.insert(QStringLiteral("int"), qlonglong(-123456789012345LL));
    map.insert(QStringLiteral("min"), std::numeric_limits<qlonglong>::min());
    map.insert(QStringLiteral("max"), std::numeric_limits<qlonglong>::max());
    map.insert(QStringLiteral("umax"), std::numeric_limits<quint64>::max());
    map.insert(QStringLiteral("zero"), qlonglong(0));
    map.insert(QStringLiteral("pi"), 3.141592653589793);
    map.insert(QStringLiteral("tenth"), 0.1);
    map.insert(QStringLiteral("big"), 1.7976931348623157e308);
    map.insert(QStringLiteral("tiny"), 4.9406564584124654e-324);
    map.insert(QStringLiteral("negative"), -2.5e-7);
    map.insert(QStringLiteral("infinity"), std::numeric_limits<double>::infinity());
    map.insert(QStringLiteral("-infinity"), -std::numeric_limits<double>::infinity());
    map.insert(QStringLiteral("true"), true);
    map.insert(QStringLiteral("false"), false);
    map.insert(QStringLiteral("date"), utc(2009, 3, 14, 12, 0, 0));
    map.insert(QStringLiteral("early"), utc(1, 1, 1, 0, 0, 0));
    map.insert(QStringLiteral("data"), allBytes);
    map.insert(QStringLiteral("emptyData"), QByteArray());
    map.insert(QStringLiteral("inner"), inner);
    return map;
}

// Equal as property lists: numbers by value (an int written comes back as a
// qlonglong), everything else exactly.
void expectSame(const QVariant& expected, const QVariant& actual, const QString& where = QStringLiteral("root"))
{
    SCOPED_TRACE(where.toStdString());
    const int type = typeOf(expected);
    if (type == QMetaType::QVariantMap) {
        ASSERT_EQ(typeOf(actual), QMetaType::QVariantMap);
        const QVariantMap a = expected.toMap();
        const QVariantMap b = actual.toMap();
        ASSERT_EQ(a.keys(), b.keys());
        for (auto it = a.cbegin(); it != a.cend(); ++it)
            expectSame(it.value(), b.value(it.key()), where + QLatin1Char('/') + it.key());
    } else if (type == QMetaType::QVariantList) {
        ASSERT_EQ(typeOf(actual), QMetaType::QVariantList);
        const QVariantList a = expected.toList();
        const QVariantList b = actual.toList();
        ASSERT_EQ(a.size(), b.size());
        for (qsizetype i = 0; i < a.size(); ++i)
            expectSame(a.at(i), b.at(i), where + QLatin1Char('/') + QString::number(i));
    } else if (type == QMetaType::Double) {
        ASSERT_EQ(typeOf(actual), QMetaType::Double);
        EXPECT_EQ(expected.toDouble(), actual.toDouble());
    } else if (type == QMetaType::Int || type == QMetaType::LongLong) {
        ASSERT_EQ(typeOf(actual), QMetaType::LongLong);
        EXPECT_EQ(expected.toLongLong(), actual.toLongLong());
    } else {
        EXPECT_EQ(type, typeOf(actual));
        EXPECT_EQ(expected, actual);
    }
}

void expectError(const QByteArray& bytes)
{
    SCOPED_TRACE(bytes.left(200).toStdString());
    QString error;
    const QVariant value = plist::read(bytes, &error);
    EXPECT_FALSE(value.isValid());
    EXPECT_FALSE(error.isEmpty());
}

QByteArray wrap(const char* body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n") + body
         + QByteArray("\n</plist>\n");
}

} // namespace

TEST(PropertyList, ReadsTheMacXmlFixture)
{
    const QByteArray bytes = fixture("AllTypes.plist");
    ASSERT_FALSE(bytes.isEmpty());
    QString error;
    const QVariant value = plist::read(bytes, &error);
    ASSERT_TRUE(value.isValid()) << error.toStdString();
    ASSERT_EQ(typeOf(value), QMetaType::QVariantMap);
    EXPECT_EQ(value.toMap().size(), 22);
    expectAllTypes(value.toMap());
}

TEST(PropertyList, ReadsTheBinaryFixture)
{
    const QByteArray bytes = fixture("AllTypes.bplist");
    ASSERT_TRUE(bytes.startsWith("bplist00"));
    QString error;
    const QVariant value = plist::read(bytes, &error);
    ASSERT_TRUE(value.isValid()) << error.toStdString();
    const QVariantMap map = value.toMap();
    expectAllTypes(map);
    EXPECT_EQ(map.value("UID").toMap().value("CF$UID").toLongLong(), 7);
    EXPECT_EQ(map.value("SubSecondDate").toDateTime(), utc(1999, 12, 31, 23, 59, 58));
    EXPECT_EQ(map.value("OldDate").toDateTime(), utc(1970, 1, 1, 0, 0, 0));

    // Both fixtures hold the same values.
    QVariantMap xml = plist::read(fixture("AllTypes.plist")).toMap();
    QVariantMap binary = map;
    binary.remove("UID");
    binary.remove("SubSecondDate");
    binary.remove("OldDate");
    expectSame(xml, binary);
}

TEST(PropertyList, BinaryDates)
{
    auto at = [](int y, int mo, int d, int h, int mi, int s, int ms) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
    };
    QString error;
    const QVariantList dates = plist::read(fixture("Dates.bplist"), &error).toList();
    ASSERT_EQ(dates.size(), 5) << error.toStdString();
    EXPECT_EQ(dates.at(0).toDateTime(), at(2000, 12, 31, 23, 59, 58, 500));   // before the reference date
    EXPECT_EQ(dates.at(1).toDateTime(), at(1990, 1, 1, 0, 0, 0, 250));
    EXPECT_EQ(dates.at(2).toDateTime(), at(2009, 3, 14, 12, 0, 0, 750));
    EXPECT_EQ(dates.at(3).toDateTime(), at(1935, 6, 1, 8, 30, 0, 0));
    EXPECT_EQ(dates.at(4).toDateTime(), at(2068, 1, 1, 0, 0, 0, 0));
    // libplist 2.2 cannot read dates far from 2001: an error, not a wrong date.
    expectError(fixture("DateOutOfRange.bplist"));
}

TEST(PropertyList, WhatItWritesReadsBackEqual)
{
    const QVariantMap value = sampleValue();
    QString error;
    const QByteArray xml = plist::toXml(value, &error);
    ASSERT_FALSE(xml.isEmpty()) << error.toStdString();
    const QVariant back = plist::read(xml, &error);
    ASSERT_TRUE(back.isValid()) << error.toStdString() << "\n" << xml.toStdString();
    expectSame(value, back);

    // Writing what was read gives the same bytes again.
    EXPECT_EQ(plist::toXml(back), xml);
    // And so does the fixture, read and written twice.
    const QVariant fixtureValue = plist::read(fixture("AllTypes.plist"));
    const QByteArray once = plist::toXml(fixtureValue);
    EXPECT_EQ(plist::toXml(plist::read(once)), once);
    expectSame(fixtureValue, plist::read(once));
}

TEST(PropertyList, SpecialReals)
{
    const QVariant nan = plist::read(plist::toXml(QVariantList{std::nan("")}));
    ASSERT_EQ(nan.toList().size(), 1);
    EXPECT_TRUE(std::isnan(nan.toList().at(0).toDouble()));
    const QVariant negativeZero = plist::read(plist::toXml(QVariantList{-0.0}));
    EXPECT_TRUE(std::signbit(negativeZero.toList().at(0).toDouble()));
    const QVariant reals = plist::read(wrap("<array><real>+infinity</real><real>-inf</real><real>NaN</real>"
                                            "<real> 1.5E+3 </real><real>.5</real><real>7.</real></array>"));
    const QVariantList list = reals.toList();
    ASSERT_EQ(list.size(), 6);
    EXPECT_TRUE(std::isinf(list.at(0).toDouble()) && list.at(0).toDouble() > 0);
    EXPECT_TRUE(std::isinf(list.at(1).toDouble()) && list.at(1).toDouble() < 0);
    EXPECT_TRUE(std::isnan(list.at(2).toDouble()));
    EXPECT_EQ(list.at(3).toDouble(), 1500.0);
    EXPECT_EQ(list.at(4).toDouble(), 0.5);
    EXPECT_EQ(list.at(5).toDouble(), 7.0);
}

TEST(PropertyList, WritesTheMacForm)
{
    const QByteArray xml = plist::toXml(QVariantMap{{QStringLiteral("a"), 1}, {QStringLiteral("b"), QString()}});
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                               "<plist version=\"1.0\">\n")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("<key>a</key>"));
    EXPECT_TRUE(xml.contains("<integer>1</integer>"));
    EXPECT_TRUE(xml.contains("<string></string>"));
    EXPECT_TRUE(xml.endsWith("</plist>\n"));
    const QByteArray date = plist::toXml(QVariantList{QDateTime(QDate(2009, 3, 14), QTime(13, 0, 0, 750),
                                                                Qt::OffsetFromUTC, 3600)});
    EXPECT_TRUE(date.contains("<date>2009-03-14T12:00:00Z</date>")) << date.toStdString();
}

TEST(PropertyList, OtherContainersAndTypes)
{
    QVariantHash hash;
    hash.insert(QStringLiteral("b"), 2);
    hash.insert(QStringLiteral("a"), QStringList{QStringLiteral("x"), QStringLiteral("y")});
    const QVariant back = plist::read(plist::toXml(hash));
    const QVariantMap map = back.toMap();
    EXPECT_EQ(map.value("b").toLongLong(), 2);
    EXPECT_EQ(map.value("a").toList(), (QVariantList{QStringLiteral("x"), QStringLiteral("y")}));
    const QVariantList numbers = plist::read(plist::toXml(QVariantList{1u, 2.5f, short(-3)})).toList();
    ASSERT_EQ(numbers.size(), 3);
    EXPECT_EQ(numbers.at(0).toLongLong(), 1);
    EXPECT_EQ(numbers.at(1).toDouble(), 2.5);
    EXPECT_EQ(numbers.at(2).toLongLong(), -3);
    // A bare value without the plist element reads too.
    EXPECT_EQ(plist::read("<string>bare</string>"), QVariant(QStringLiteral("bare")));
    // Scalars at the root.
    EXPECT_EQ(plist::read(plist::toXml(QStringLiteral("top"))), QVariant(QStringLiteral("top")));
    EXPECT_EQ(plist::read(wrap("<integer>0x1F</integer>")).toLongLong(), 31);
    EXPECT_EQ(plist::read(wrap("<integer> -0 </integer>")).toLongLong(), 0);
    // Comments, processing instructions and CDATA are fine.
    EXPECT_EQ(plist::read(wrap("<!-- c --><array><?pi x?><string><![CDATA[<raw>]]></string></array><!-- d -->")),
              QVariant(QVariantList{QStringLiteral("<raw>")}));
    // A repeated key: the last value wins.
    EXPECT_EQ(plist::read(wrap("<dict><key>k</key><integer>1</integer><key>k</key><integer>2</integer></dict>"))
                  .toMap()
                  .value("k")
                  .toLongLong(),
              2);
}

TEST(PropertyList, ValuesItCannotWriteAreErrors)
{
    const QList<QVariant> bad = {
        QVariant(),
        QVariant(QPoint(1, 2)),
        QVariant(QDateTime()),
        QVariant(QDate(2009, 3, 14)),
        QVariant(QStringLiteral("control \x01 character")),
        QVariant(QString(QChar(0xD800))),
        QVariant(QString(QChar(0xFFFE))),
        QVariant(QVariantList{1, QVariant(QPoint())}),
        QVariant(QVariantMap{{QStringLiteral("bad\x02key"), 1}}),
        QVariant(QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC)),
    };
    for (const QVariant& value : bad) {
        QString error;
        EXPECT_TRUE(plist::toXml(value, &error).isEmpty()) << value.typeName();
        EXPECT_FALSE(error.isEmpty()) << value.typeName();
    }
    QVariant deep = QVariantList{};
    for (int i = 0; i < 600; ++i)
        deep = QVariantList{deep};
    EXPECT_TRUE(plist::toXml(deep).isEmpty());
}

TEST(PropertyList, MalformedDocumentsAreErrors)
{
    expectError(QByteArray());
    expectError("   ");
    expectError("not xml at all");
    expectError("bplist00");
    expectError("bplist00 garbage garbage garbage garbage garbage");
    expectError(wrap(""));
    expectError(wrap("<string>a</string><string>b</string>"));
    expectError(wrap("<dict><key>a</key></dict>"));
    expectError(wrap("<dict><string>a</string></dict>"));
    expectError(wrap("<dict><key>a</key><key>b</key></dict>"));
    expectError(wrap("<dict><key>a<b/></key><string>x</string></dict>"));
    expectError(wrap("<array><key>a</key></array>"));
    expectError(wrap("<array>text</array>"));
    expectError(wrap("<string>a<b/></string>"));
    expectError(wrap("<integer></integer>"));
    expectError(wrap("<integer>12a</integer>"));
    expectError(wrap("<integer>1 2</integer>"));
    expectError(wrap("<integer>18446744073709551616</integer>"));
    expectError(wrap("<integer>-9223372036854775809</integer>"));
    expectError(wrap("<integer>0x</integer>"));
    expectError(wrap("<real></real>"));
    expectError(wrap("<real>1.2.3</real>"));
    expectError(wrap("<real>0x1p3</real>"));
    expectError(wrap("<real>e5</real>"));
    expectError(wrap("<true>yes</true>"));
    expectError(wrap("<date>2009-03-14</date>"));
    expectError(wrap("<date>2009-02-30T12:00:00Z</date>"));
    expectError(wrap("<date>2009-03-14T25:00:00Z</date>"));
    expectError(wrap("<date>2009-03-14T12:00:00+01:00</date>"));
    expectError(wrap("<data>not*base64</data>"));
    expectError(wrap("<data>A</data>"));
    expectError(wrap("<data>AA=A</data>"));
    expectError(wrap("<unknown/>"));
    expectError(wrap("<string>&undefined;</string>"));
    expectError(wrap("<string>a</string>") + "trailing");
    expectError(wrap("<string>a</string>") + "<string>b</string>");
    expectError("<plist><string>a</string></plist2>");
    expectError("<plist><dict><key>a</key><string>b</string></plist>");
}

TEST(PropertyList, TruncatedDocumentsAreErrors)
{
    const QByteArray xml = fixture("AllTypes.plist");
    const qsizetype end = xml.lastIndexOf("</plist>") + qsizetype(qstrlen("</plist>"));
    for (qsizetype size = 0; size < end; ++size) {
        QString error;
        const QVariant value = plist::read(xml.left(size), &error);
        ASSERT_FALSE(value.isValid()) << "XML cut at " << size;
        ASSERT_FALSE(error.isEmpty()) << "XML cut at " << size;
    }
    const QByteArray binary = fixture("AllTypes.bplist");
    for (qsizetype size = 0; size < binary.size(); ++size) {
        QString error;
        const QVariant value = plist::read(binary.left(size), &error);
        ASSERT_FALSE(value.isValid()) << "binary cut at " << size;
        ASSERT_FALSE(error.isEmpty()) << "binary cut at " << size;
    }
}

TEST(PropertyList, HostileBinaryFilesAreErrors)
{
    // Each of these crashes, hangs or trips an assertion in libplist 2.2
    // unless the reader refuses it first.
    for (const char* name : {"HostileCycle.bplist", "HostileShared.bplist", "HostileDeep.bplist",
                             "HostileNulString.bplist", "HostileNulKey.bplist", "HostileNumberKey.bplist"}) {
        SCOPED_TRACE(name);
        const QByteArray bytes = fixture(name);
        ASSERT_TRUE(bytes.startsWith("bplist00"));
        expectError(bytes);
    }
    expectError("bplist15" + fixture("AllTypes.bplist").mid(8));
}

TEST(PropertyList, DeepNestingIsAnErrorNotACrash)
{
    QByteArray deep;
    for (int i = 0; i < 20000; ++i)
        deep += "<array>";
    for (int i = 0; i < 20000; ++i)
        deep += "</array>";
    expectError(wrap(deep.constData()));
    QByteArray fine;
    for (int i = 0; i < 100; ++i)
        fine += "<array>";
    for (int i = 0; i < 100; ++i)
        fine += "</array>";
    EXPECT_TRUE(plist::read(wrap(fine.constData())).isValid());
}

TEST(PropertyList, DamagedFixturesNeverCrash)
{
    // A little in-test fuzzing; the real fuzzer is fuzz/plist.
    QRandomGenerator random(20090314);
    for (const char* name : {"AllTypes.plist", "AllTypes.bplist"}) {
        const QByteArray original = fixture(name);
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = original;
            const int flips = 1 + int(random.bounded(4));
            for (int i = 0; i < flips; ++i)
                damaged[qsizetype(random.bounded(quint32(damaged.size())))] = char(random.bounded(256));
            QString error;
            const QVariant value = plist::read(damaged, &error);
            EXPECT_EQ(value.isValid(), error.isEmpty());
        }
    }
}

TEST(PropertyList, FilesAreWrittenAtomicallyAndReadBack)
{
    const QString folder = testing_support::testHome() + QStringLiteral("/plist-files/new/sub");
    const QString path = folder + QStringLiteral("/Sample.plist");
    QString error;
    ASSERT_TRUE(plist::writeFile(path, sampleValue(), &error)) << error.toStdString();
    const QVariant back = plist::readFile(path, &error);
    ASSERT_TRUE(back.isValid()) << error.toStdString();
    expectSame(sampleValue(), back);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Sample.plist")});

    // A failed write leaves the old file as it was.
    EXPECT_FALSE(plist::writeFile(path, QVariant(QPoint()), &error));
    expectSame(sampleValue(), plist::readFile(path));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Sample.plist")});

    error.clear();
    EXPECT_FALSE(plist::readFile(folder + QStringLiteral("/missing.plist"), &error).isValid());
    EXPECT_FALSE(error.isEmpty());

    // A binary file on disk reads too.
    const QString binaryPath = folder + QStringLiteral("/Binary.plist");
    QFile binary(binaryPath);
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write(fixture("AllTypes.bplist"));
    binary.close();
    expectAllTypes(plist::readFile(binaryPath).toMap());

    // A broken file names itself in the error.
    QFile broken(folder + QStringLiteral("/Broken.plist"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(fixture("AllTypes.plist").left(300));
    broken.close();
    error.clear();
    EXPECT_FALSE(plist::readFile(broken.fileName(), &error).isValid());
    EXPECT_TRUE(error.contains(QStringLiteral("Broken.plist"))) << error.toStdString();
}
