#include "platform/PropertyList.h"

#include "TestEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPoint>
#include <QRandomGenerator>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

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

// Pieces of the binary form, for files no writer would make.
QByteArray bigEndian(quint64 value, int size)
{
    QByteArray out;
    for (int i = size - 1; i >= 0; --i)
        out.append(char(value >> (8 * i)));
    return out;
}

// An object's marker with its count: in the low nibble, or as an integer after it.
QByteArray counted(int type, quint64 count)
{
    if (count < 15)
        return QByteArray(1, char(type << 4 | int(count)));
    const int sizeLog = count < 0x100 ? 0 : count < 0x10000 ? 1 : count < 0x100000000ULL ? 2 : 3;
    return QByteArray(1, char(type << 4 | 0xF)) + char(0x10 | sizeLog) + bigEndian(count, 1 << sizeLog);
}

QByteArray utf16Object(const QList<char16_t>& units)
{
    QByteArray out = counted(0x6, quint64(units.size()));
    for (const char16_t unit : units)
        out += bigEndian(unit, 2);
    return out;
}

// An array of count references, each to the object listed at that position
// modulo the number of targets.
QByteArray arrayObject(quint64 count, const QList<quint64>& targets, int refSize)
{
    QByteArray out = counted(0xA, count);
    for (quint64 i = 0; i < count; ++i)
        out += bigEndian(targets.at(qsizetype(i % quint64(targets.size()))), refSize);
    return out;
}

// A whole file of the given objects, the first one at the top.
QByteArray binaryPlist(const QList<QByteArray>& objects, int refSize = 1)
{
    QByteArray out("bplist00");
    QList<quint64> offsets;
    for (const QByteArray& object : objects) {
        offsets.append(quint64(out.size()));
        out += object;
    }
    const quint64 tableOffset = quint64(out.size());
    const int offsetSize = tableOffset < 0x100 ? 1 : tableOffset < 0x10000 ? 2 : 4;
    for (const quint64 offset : offsets)
        out += bigEndian(offset, offsetSize);
    out += QByteArray(6, '\0') + char(offsetSize) + char(refSize);
    out += bigEndian(quint64(objects.size()), 8) + bigEndian(0, 8) + bigEndian(tableOffset, 8);
    return out;
}

// An array holding one object.
QByteArray binaryOne(const QByteArray& object)
{
    return binaryPlist({arrayObject(1, {1}, 1), object});
}

const char* const kDocType = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

// A document whose DOCTYPE has the given internal subset.
QByteArray withSubset(const QByteArray& subset, const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist [" + subset + "]>\n<plist version=\"1.0\">"
        + body + "</plist>\n";
}

QByteArray repeated(const QByteArray& piece, int times)
{
    QByteArray out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
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

TEST(PropertyList, HostileShapesEndAsErrorsQuickly)
{
    // Small files that expand to gigabytes when every reference or entity is
    // copied out: refused before they expand.
    const QByteArray longString = counted(0x5, 100000) + QByteArray(100000, 'A');
    const QByteArray longData = counted(0x4, 100000) + QByteArray(100000, '\x5A');
    const QByteArray manyEntities = repeated("&a;", 100000);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"one string referenced 10,000 times", binaryPlist({arrayObject(10000, {1}, 1), longString})},
        {"one data blob referenced 10,000 times", binaryPlist({arrayObject(10000, {1}, 1), longData})},
        {"a dictionary whose values all name one string",
         binaryPlist(
             {counted(0xD, 5000) + repeated("\x01", 5000) + repeated("\x02", 5000), QByteArray("\x51k"), longString})},
        {"an entity used 100,000 times",
         withSubset("<!ENTITY a \"" + QByteArray(4000, 'A') + "\">", "<string>" + manyEntities + "</string>")},
        {"entities naming entities",
         withSubset("<!ENTITY a \"AAAAAAAAAA\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">",
                    "<string>&c;</string>")},
        {"an entity declared and never used", withSubset("<!ENTITY a \"A\">", "<string>x</string>")},
        {"a parameter entity", withSubset("<!ENTITY % p \"<!ENTITY a 'A'>\"> %p;", "<string>&a;</string>")},
        {"an external entity", withSubset("<!ENTITY e SYSTEM \"file:///etc/passwd\">", "<string>&e;</string>")},
        {"an unknown entity behind the public DTD",
         QByteArray(kDocType) + "<plist version=\"1.0\"><string>a&x;b</string></plist>\n"},
        {"an unknown entity in a key",
         QByteArray(kDocType) + "<plist version=\"1.0\"><dict><key>&x;</key><true/></dict></plist>\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QElapsedTimer timer;
        timer.start();
        QString error;
        EXPECT_FALSE(plist::read(c.bytes, &error).isValid());
        EXPECT_FALSE(error.isEmpty());
        EXPECT_LT(timer.elapsed(), 1000);
    }

    // Sharing within the budget still reads: a key named by many records.
    const QByteArray shared = binaryPlist({arrayObject(2000, {1}, 1), counted(0x5, 200) + QByteArray(200, 'k')});
    EXPECT_EQ(plist::read(shared).toList().size(), 2000);
    // The five entities XML predefines, and character references, are fine.
    EXPECT_EQ(
        plist::read(QByteArray(kDocType) + "<plist><string>&lt;&gt;&amp;&apos;&quot;&#65;&#x263A;</string></plist>"),
        QVariant(QStringLiteral("<>&'\"A\u263A")));
}

TEST(PropertyList, LongBinaryArraysReadInLinearTime)
{
    // 80,000 references to one integer (an 80 KB file), and 40,000 distinct
    // integers as any writer lays them out.
    QList<QByteArray> distinct{QByteArray()};
    QList<quint64> targets;
    for (quint64 i = 1; i <= 40000; ++i) {
        distinct.append("\x11" + bigEndian(i, 2));
        targets.append(i);
    }
    distinct[0] = arrayObject(40000, targets, 2);
    const struct {
        const char* name;
        QByteArray bytes;
        qsizetype items;
    } cases[] = {
        {"80,000 references to one integer", binaryPlist({arrayObject(80000, {1}, 1), QByteArray("\x10\x07")}), 80000},
        {"40,000 integers", binaryPlist(distinct, 2), 40000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QElapsedTimer timer;
        timer.start();
        QString error;
        const QVariantList list = plist::read(c.bytes, &error).toList();
        EXPECT_LT(timer.elapsed(), 2000);
        ASSERT_EQ(list.size(), c.items) << error.toStdString();
        EXPECT_EQ(list.last().toLongLong(), c.items == 80000 ? 7 : 40000);
    }
}

TEST(PropertyList, BinaryIntegersAndUtf16Strings)
{
    const QByteArray ones(8, '\xFF');
    const QByteArray zeros(8, '\0');
    const struct {
        const char* name;
        QByteArray object;
        QVariant expected; // invalid: an error
    } cases[] = {
        {"16-byte -1", "\x14" + ones + ones, QVariant(qlonglong(-1))},
        {"16-byte smallest", "\x14" + ones + '\x80' + QByteArray(7, '\0'),
         QVariant(std::numeric_limits<qlonglong>::min())},
        {"16-byte 1", "\x14" + zeros + bigEndian(1, 8), QVariant(qlonglong(1))},
        {"16-byte largest", "\x14" + zeros + ones, QVariant(std::numeric_limits<quint64>::max())},
        {"16-byte 2^64", "\x14" + bigEndian(1, 8) + zeros, QVariant()},
        {"16-byte below -2^63", "\x14" + ones + zeros, QVariant()},
        {"16-byte cut short", "\x14" + zeros, QVariant()},
        {"8-byte -1", "\x13" + ones, QVariant(qlonglong(-1))},
        {"empty UTF-16 string", QByteArray("\x60", 1), QVariant(QString(""))},
        {"UTF-16 surrogate pair", utf16Object({u'a', 0xD83D, 0xDE00}), QVariant(QStringLiteral("a\U0001F600"))},
        {"lone high surrogate at the end", utf16Object({u'a', 0xD83D}), QVariant()},
        {"high surrogate before a letter", utf16Object({0xD83D, u'a'}), QVariant()},
        {"lone low surrogate", utf16Object({u'a', 0xDE00, u'b'}), QVariant()},
        {"two high surrogates", utf16Object({0xD83D, 0xD83D, 0xDE00}), QVariant()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const QVariant value = plist::read(binaryOne(c.object), &error);
        if (!c.expected.isValid()) {
            EXPECT_FALSE(value.isValid());
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        EXPECT_EQ(value.toList().size(), 1) << error.toStdString();
        const QVariant item = value.toList().value(0);
        EXPECT_EQ(typeOf(item), typeOf(c.expected));
        EXPECT_EQ(item, c.expected);
    }
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

TEST(PropertyList, ReadsOnlyRegularFilesOfBoundedSize)
{
    const QString folder = testing_support::testHome() + QStringLiteral("/plist-special");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString good = folder + QStringLiteral("/good.plist");
    ASSERT_TRUE(plist::writeFile(good, QVariantMap{{QStringLiteral("k"), 1}}));
    const QString linkToGood = folder + QStringLiteral("/link.plist");
    const QString linkToZero = folder + QStringLiteral("/zero.plist");
    const QString fifo = folder + QStringLiteral("/fifo.plist");
    const QString large = folder + QStringLiteral("/large.plist");
    ASSERT_EQ(::symlink(good.toLocal8Bit().constData(), linkToGood.toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink("/dev/zero", linkToZero.toLocal8Bit().constData()), 0);
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    {
        QFile file(large); // sparse: refused by its size before anything is read
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64(1) << 30) + 1));
    }
    const QString removableLarge = folder + QStringLiteral("/removable-large.plist");
    ASSERT_TRUE(plist::writeFile(removableLarge, QVariantList{QString(1100000, QLatin1Char('x'))}));

    const struct {
        QString path;
        plist::FileOrigin origin;
        bool reads;
    } cases[] = {
        {good, plist::FileOrigin::Local, true},
        {good, plist::FileOrigin::RemovableVolume, true},
        {linkToGood, plist::FileOrigin::Local, true},
        {linkToGood, plist::FileOrigin::RemovableVolume, false},
        {linkToZero, plist::FileOrigin::Local, false},
        {linkToZero, plist::FileOrigin::RemovableVolume, false},
        {fifo, plist::FileOrigin::Local, false},
        {fifo, plist::FileOrigin::RemovableVolume, false},
        {folder, plist::FileOrigin::Local, false},
        {QStringLiteral("/dev/null"), plist::FileOrigin::Local, false},
        {large, plist::FileOrigin::Local, false},
        {removableLarge, plist::FileOrigin::Local, true},
        {removableLarge, plist::FileOrigin::RemovableVolume, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString() + (c.origin == plist::FileOrigin::Local ? " local" : " removable"));
        QString error;
        const QVariant value = plist::readFile(c.path, &error, c.origin);
        EXPECT_EQ(value.isValid(), c.reads) << error.toStdString();
        EXPECT_EQ(error.isEmpty(), c.reads);
        if (!c.reads) {
            EXPECT_TRUE(error.contains(c.path)) << error.toStdString();
        }
    }
}
