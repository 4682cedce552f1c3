// The LG frame codec and the phonebook's entry record, as pure functions.
#include "CoreTestSupport.h"

#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/core/SLTStateMachine.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgPhonebookRecord.h"
#include "kestrova/vendors/SLTCommDeviceLgPhonebookExt.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"

#include <gtest/gtest.h>

using coretest::hex;
using namespace kestrova::lg;

namespace {

// An entry reply as the port's reader sees it after unescaping.
QByteArray entryReply(int slot, const QByteArray& body)
{
    QByteArray payload = hex("00");
    payload.append(char(slot & 0xFF)).append(char(slot >> 8)).append(hex("00 00")).append(body);
    return char(0xFF) + frame(kPhonebookService, kPhonebookReadNext, 3, payload) + char(0x7E);
}

QVariantMap decoded(const QVariantMap& contact)
{
    const auto result = lgExtractAddressData(entryReply(7, lgViewtyPhonebookCreateRawDataForDict(contact, 0).mid(4)));
    if (!result)
        return {{QStringLiteral("failed"), true}};
    QVariantMap back = *result;
    back.remove(QStringLiteral("slot"));
    return back;
}

QVariantMap phone(const char* number, const char* type)
{
    return {{QStringLiteral("value"), QLatin1String(number)}, {QStringLiteral("type"), QLatin1String(type)}};
}

} // namespace

TEST(LgFrames, EscapingAndWireForm)
{
    const struct {
        QByteArray frame;
        QByteArray escaped;
    } cases[] = {
        {hex("FF 21 91 05 00 00 08 00"), hex("7D DF 21 91 05 00 00 08 00")},
        // Sequence and length bytes are escaped like any other byte.
        {frame(kPhonebookService, kPhonebookReadFirst, 0x7E), hex("7D DF 21 91 7D 5E 00 00 08 00")},
        {frame(kPhonebookService, kPhonebookReadFirst, 0x7D), hex("7D DF 21 91 7D 5D 00 00 08 00")},
        {frame(kPhonebookService, kPhonebookReadFirst, 0xFF), hex("7D DF 21 91 7D DF 00 00 08 00")},
        // A total length of 0x7E.
        {frame(kPortService, kPortInit, 0, QByteArray(0x7E - 8, 'a')), hex("7D DF 00 81 00 00 00 7D 5E 00 61")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame.left(8).toHex(' ').toStdString());
        EXPECT_EQ(quoteFFValuesInData(c.frame).left(c.escaped.size()), c.escaped);
        EXPECT_EQ(removeQuotedFFValuesFromData(quoteFFValuesInData(c.frame)), c.frame);
    }
    const QByteArray read = quoteFFValuesInData(hex("FF 21 91 05 00 00 08 00"));
    EXPECT_EQ(SLTStateMachine::wrapLgFrame(read, QStringLiteral("lg"), false), hex("FF 7D DF 21 91 05 00 00 08 00 7E"));
    EXPECT_EQ(SLTStateMachine::wrapLgFrame(read, QStringLiteral("lg3"), false),
              hex("83 00 11 70 00 0E FF 7D DF 21 91 05 00 00 08 00 7E"));
}

TEST(LgFrames, Unescaping)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"7D 7D DF", "7D FF"},
        {"01 7D", "01 7D"},
        {"7D 00 7D 5D 7D 5E", "7D 00 7D 7E"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(removeQuotedFFValuesFromData(hex(c.in)), hex(c.out)) << c.in;
}

TEST(LgFrames, CountersWrapAndModelBytes)
{
    SLTCommDevice engine;
    SLTCommDeviceLgSmsExt& lg = engine.extension<SLTCommDeviceLgSmsExt>();
    for (int i = 0; i < 255; ++i)
        lg.nextPackageCount();
    EXPECT_EQ(lg.nextPackageCount(), 255);
    EXPECT_EQ(lg.nextPackageCount(), 0);
    EXPECT_EQ(modelByte(QStringLiteral("lgGD900"), ModelKind::Phonebook), 4);
    EXPECT_EQ(modelByte(QStringLiteral("lg3"), ModelKind::Phonebook), 1);
    EXPECT_EQ(SLTCommDeviceLgSmsExt::getMaxObexPacketLengthFrom(hex("A0 00 07 10 00 40 00")), 0x4000);
    EXPECT_EQ(SLTCommDeviceLgSmsExt::getMaxObexPacketLengthFrom(hex("A0 00 07 10 00 40")), 0);
}

TEST(LgFrames, UpdateFrameCarriesSlotAndModelTwiceAndTheTwoMarks)
{
    for (const char* family : {"lg", "lgGD900"}) {
        SCOPED_TRACE(family);
        SLTCommDevice engine;
        engine.setFamily(QLatin1String(family));
        const quint8 k = modelByte(QLatin1String(family), ModelKind::Phonebook);
        const QVariantMap contact{{QStringLiteral("firstname"), QStringLiteral("Ann")}};
        const QByteArray update = removeQuotedFFValuesFromData(
            engine.extension<SLTCommDeviceLgPhonebookExt>().updateFrame(contact, 0x0102));
        const QByteArray body = lgViewtyPhonebookCreateRawDataForDict(contact, 0).mid(4);
        const int length = 16 + int(body.size());
        ASSERT_EQ(update.size(), length);
        QByteArray expected = hex("FF 21 94 00 00 00");
        expected.append(char(length & 0xFF)).append(char(length >> 8));
        expected.append(hex("02 01 00")).append(char(k)).append(hex("02 01 00")).append(char(k));
        EXPECT_EQ(update.left(16), expected);
        ASSERT_NE(length & 0xFF, 0);
        EXPECT_EQ(quint8(update[length - 13]), 0x80);
        EXPECT_EQ(quint8(update[length - 8]), 0x80);
        QByteArray rest = update.mid(16);
        rest[length - 13 - 16] = 0;
        rest[length - 8 - 16] = 0;
        EXPECT_EQ(rest, body);
    }
}

TEST(LgPhonebookRecord, WrittenRecordLayout)
{
    const QVariantMap contact{{QStringLiteral("firstname"), QStringLiteral("A")},
                              {QStringLiteral("email"), QVariantList{QStringLiteral("b@c")}}};
    const QByteArray record = lgViewtyPhonebookCreateRawDataForDict(contact, 0x42);
    EXPECT_EQ(record.left(4), hex("42 00 00 04"));
    EXPECT_EQ(record.right(kTrailerBytes), QByteArray(kTrailerBytes, '\0'));
    // First name, empty last name, the address and an empty second address.
    EXPECT_EQ(record.mid(4, 16), hex("41 00 00 00 00 00 62 00 40 00 63 00 00 00 00 00"));
    // Five empty numbers, five unused types, 00 00, no groups.
    EXPECT_EQ(record.mid(20, 10 + 5 + 2 + 12), QByteArray(10, '\0') + hex("FF FF FF FF FF") + QByteArray(14, '\0'));
}

TEST(LgPhonebookRecord, RoundTripKeepsEveryField)
{
    const QVariantMap contact{
        {QStringLiteral("firstname"), QStringLiteral("Ann ~ Marie")},
        {QStringLiteral("lastname"), QStringLiteral("L\u00e9vy")},
        {QStringLiteral("email"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("a@x")}}}},
        {QStringLiteral("phone"), QVariantList{phone("1", "mobile"), phone("2", "fax"), phone("3", "videocall")}},
        {QStringLiteral("categories"), QVariantList{QStringLiteral("3"), QStringLiteral("9")}},
        {QStringLiteral("ringtone"), QStringLiteral("bell")},
        {QStringLiteral("url"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("http://x")}}}},
        {QStringLiteral("address"),
         QVariantList{QVariantMap{{QStringLiteral("city"), QStringLiteral("Oslo")}, {QStringLiteral("type"), QStringLiteral("work")}},
                      QVariantMap{{QStringLiteral("street1"), QStringLiteral("Main 1")}, {QStringLiteral("zip"), QStringLiteral("0150")},
                                  {QStringLiteral("type"), QStringLiteral("home")}}}},
        {QStringLiteral("company"), QStringLiteral("Co")},
        {QStringLiteral("job title"), QStringLiteral("Boss")},
        {QStringLiteral("notes"), QStringLiteral("n~1")},
    };
    QVariantMap back = decoded(contact);
    QVariantMap expected = contact;
    // Addresses come back home first.
    expected.insert(QStringLiteral("address"),
                    QVariantList{contact.value(QStringLiteral("address")).toList().at(1),
                                 contact.value(QStringLiteral("address")).toList().at(0)});
    EXPECT_EQ(back, expected);
}

TEST(LgPhonebookRecord, CapsAndTypesAndGroups)
{
    QVariantList six;
    for (const char* n : {"1", "2", "3", "4", "5", "6"})
        six.append(phone(n, "home"));
    six[1] = phone("2", "satellite");
    QStringList dropped;
    const QVariantMap contact{
        {QStringLiteral("phone"), six},
        {QStringLiteral("email"), QVariantList{QStringLiteral("a@x"), QStringLiteral("b@x"), QStringLiteral("c@x")}},
        {QStringLiteral("categories"), QVariantList{QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("7")}},
        {QStringLiteral("notes"), QStringLiteral("kept in place")}};
    lgViewtyPhonebookCreateRawDataForDict(contact, 0, &dropped);
    EXPECT_EQ(dropped, (QStringList{QStringLiteral("c@x"), QStringLiteral("6")}));
    const QVariantMap back = decoded(contact);
    const QVariantList phones = back.value(QStringLiteral("phone")).toList();
    ASSERT_EQ(phones.size(), 5);
    EXPECT_EQ(phones.at(1).toMap().value(QStringLiteral("type")).toString(), QStringLiteral("other"));
    EXPECT_EQ(phones.at(4).toMap().value(QStringLiteral("value")).toString(), QStringLiteral("5"));
    EXPECT_EQ(back.value(QStringLiteral("email")).toList().size(), 2);
    EXPECT_EQ(back.value(QStringLiteral("categories")).toStringList(), (QStringList{QStringLiteral("3"), QStringLiteral("7")}));
    EXPECT_EQ(back.value(QStringLiteral("notes")).toString(), QStringLiteral("kept in place"));
    EXPECT_EQ(lgViewtyGetTypeCharFromString(QStringLiteral("satellite")), 64);
}

TEST(LgPhonebookRecord, ShortOrDamagedRecordsGiveNoEntry)
{
    const QByteArray body = lgViewtyPhonebookCreateRawDataForDict({{QStringLiteral("firstname"), QStringLiteral("A")}}, 0).mid(4);
    const QByteArray whole = entryReply(1, body);
    ASSERT_TRUE(lgExtractAddressData(whole));
    // Cut inside the numbers' types, the groups, the later strings and the
    // trailer: the reply keeps its final byte.
    for (const qsizetype keep : {qsizetype(14 + 22 + 2), qsizetype(14 + 22 + 5 + 6), qsizetype(14 + 22 + 5 + 14 + 4),
                                 whole.size() - 1 - kTrailerBytes + 3}) {
        SCOPED_TRACE(keep);
        QString error;
        EXPECT_FALSE(lgExtractAddressData(whole.left(keep) + char(0x7E), &error));
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(lgExtractAddressData(QByteArray(15, '\0')));
    // A type byte 7D skips the byte after it; at the very end it leaves the
    // record short.
    QByteArray skipped = QByteArray(18, '\0') + hex("7D 99 01 01 01 01") + QByteArray(14 + 30 + 8, '\0');
    const auto contact = lgExtractAddressData(entryReply(2, skipped));
    ASSERT_TRUE(contact);
    EXPECT_FALSE(lgExtractAddressData(entryReply(2, QByteArray(18, '\0') + hex("01 01 01 01 7D"))));
}
