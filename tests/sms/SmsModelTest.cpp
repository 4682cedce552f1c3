#include "../../bench/sms/SmsCorpus.h"

#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/SmsTextUtils.h"
#include "kestrova/sms/sms.h"

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

// A DELIVER with a user data header from +4915112345678, received
// 2024-03-05 14:mm:ss.
QByteArray deliver(const QByteArray& udh, int dcs, const QByteArray& data, int minute, int second)
{
    const auto bcd = [](int v) { return char((v % 10) << 4 | v / 10); };
    const QByteArray stamp = QByteArray::fromHex("42305041") + bcd(minute) + bcd(second) + '\0';
    return corpus::deliverPdu(udh, dcs, data, QByteArray::fromHex("0D91945111325476F8"), stamp);
}

QByteArray deliverPart(int ref, int count, int nr, const QByteArray& text, int minute, int second)
{
    return deliver(corpus::concatHeader(ref, count, nr), 0, text, minute, second);
}

std::vector<sms*> entries(smsList& list)
{
    std::vector<sms*> out;
    list.resetPos();
    while (sms* m = list.nextItem())
        out.push_back(m);
    return out;
}

} // namespace

TEST(SmsModel, Numbers)
{
    sms m;
    QString out;
    EXPECT_EQ(m.setSmsc(QString()), 0);
    EXPECT_EQ(m.getSmsc(out), 0);
    EXPECT_EQ(out, QStringLiteral("default"));
    m.setSmsc(QStringLiteral("0171 076"));
    m.getSmsc(out);
    EXPECT_EQ(out, QStringLiteral("0171076"));

    EXPECT_EQ(m.getAddress(out), kSmsErrorNoAddress);
    EXPECT_EQ(m.setAddress(QString()), kSmsErrorEmptyNumber);
    m.setAddress(QStringLiteral("+1 (2)-3"));
    EXPECT_EQ(m.getAddressType(), 145);
    EXPECT_EQ(m.getAddress(), QStringLiteral("+123"));

    addressList list;
    EXPECT_EQ(list.appendItem(QString()), kSmsErrorEmptyNumber);
    list.appendItem(QStringLiteral("+1 (2)-3"));
    list.appendItem(QStringLiteral("0456"));
    list.resetPos();
    EXPECT_EQ(list.nextItem(), QStringLiteral("+123"));
    EXPECT_EQ(list.nextItem(), QStringLiteral("0456"));
    EXPECT_FALSE(list.isEnd());
    EXPECT_EQ(list.nextItem(), QString());
}

TEST(SmsModel, Validity)
{
    sms m;
    const std::pair<int, int> octets[] = {{300, 173}, {-1, 173}, {256, 173}, {0, 0}, {255, 255}};
    for (const auto& [in, out] : octets) {
        m.setRelativeValidity(in);
        EXPECT_EQ(m.getRelativeValidity(), out) << in;
    }
    const std::pair<const char*, int> texts[] = {
        {"5m", 0},    {"6m", 1},    {"12h", 143}, {"13h", 145}, {"1d", 167}, {"2d", 168},
        {"30d", 196}, {"31d", 197}, {"5w", 197},  {"63w", 255}, {"64w", 255}, {"0m", 0}};
    for (const auto& [text, octet] : texts) {
        EXPECT_EQ(m.setRelativeValidity(QString::fromLatin1(text)), 0) << text;
        EXPECT_EQ(m.getRelativeValidity(), octet) << text;
    }
    for (const char* bad : {"", "5", "5y", "m", "-5m", "x5h"})
        EXPECT_EQ(m.setRelativeValidity(QString::fromLatin1(bad)), kSmsErrorBadValidityText) << bad;

    EXPECT_EQ(m.setAbsoluteValidity(2024, 3, 5, 14, 7, 9, 3600), 0);
    EXPECT_EQ(m.getAbsoluteValidity(), QStringLiteral("24030514070904"));
    EXPECT_EQ(m.setAbsoluteValidity(2024, 3, 5, 14, 7, 9, -5 * 3600), 0);
    EXPECT_EQ(m.getAbsoluteValidity(), QStringLiteral("240305140709A0"));
    EXPECT_EQ(m.setAbsoluteValidity(2024, 3, 5, 14, 7, 9, 900), kSmsErrorBadAbsoluteTime);
    EXPECT_EQ(m.setAbsoluteValidity(2024, 0, 5, 14, 7, 9, 0), kSmsErrorBadAbsoluteTime);
}

TEST(SmsModel, PlaceholderTags)
{
    EXPECT_EQ(sms::multiPartTag(212, 3, 2), QStringLiteral("<212-003-002>"));
    sms m;
    m.setConcatenation(212, 3, 1);
    int nr = 0;
    EXPECT_EQ(m.parsePartSetNr(QStringLiteral("<212-003-002>"), nr), 0);
    EXPECT_EQ(nr, 2);
    EXPECT_EQ(m.parsePartSetNr(QStringLiteral("<212-3-3>"), nr), 0);
    EXPECT_EQ(nr, 3);
    EXPECT_EQ(m.parsePartSetNr(QStringLiteral("<211-003-002>"), nr), kSmsErrorReferenceDiffers);
    EXPECT_EQ(m.parsePartSetNr(QStringLiteral("<212-004-002>"), nr), kSmsErrorPartCountDiffers);
    for (const char* bad : {"212-003-002>", "<212-003>", "<212-0003-002>", "<212--002>", "<212-003-002"})
        EXPECT_EQ(m.parsePartSetNr(QString::fromLatin1(bad), nr), kSmsErrorBadTag) << bad;
}

TEST(SmsJoin, PartsArrivingOutOfOrderJoin)
{
    pduList pdus;
    pdus.appendItem(std::make_unique<pdu>(deliverPart(9, 3, 2, "two ", 7, 20), 12));
    pdus.appendItem(std::make_unique<pdu>(deliverPart(9, 3, 3, "three", 7, 30), 13));
    pdus.appendItem(std::make_unique<pdu>(deliverPart(9, 3, 1, "one ", 7, 10), 11));
    smsList list;
    ASSERT_EQ(createSmsListFromPduList(list, pdus), 0);
    const auto all = entries(list);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]->getUtf8Text(), QStringLiteral("one two three"));
    EXPECT_EQ(all[0]->getSmsMemIndex(), QStringLiteral("12,13,11"));
    EXPECT_EQ(all[0]->timestamp()[5], 10);
    EXPECT_EQ(all[0]->getPartNumber(), 1);
}

TEST(SmsJoin, StrayPartsKeepTags)
{
    pduList pdus;
    pdus.appendItem(std::make_unique<pdu>(deliverPart(5, 3, 1, "one ", 7, 0), 1));
    pdus.appendItem(std::make_unique<pdu>(deliverPart(5, 3, 2, "two ", 7, 10), 2));
    pdus.appendItem(std::make_unique<pdu>(deliverPart(5, 3, 2, "TWO ", 7, 20), 3)); // second copy of part 2
    pdus.appendItem(std::make_unique<pdu>(deliverPart(5, 3, 3, "three", 11, 0), 4)); // 180 s and more later
    pdus.appendItem(std::make_unique<pdu>(deliverPart(6, 3, 3, "x", 7, 5), 5));      // other reference
    smsList list;
    ASSERT_EQ(createSmsListFromPduList(list, pdus), 0);
    const auto all = entries(list);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0]->getUtf8Text(), QStringLiteral("one two <005-003-003>"));
    EXPECT_EQ(all[0]->getSmsMemIndex(), QStringLiteral("1,2"));
    EXPECT_EQ(all[1]->getUtf8Text(), QStringLiteral("<005-003-001>TWO <005-003-003>"));
    EXPECT_EQ(all[2]->getUtf8Text(), QStringLiteral("<005-003-001><005-003-002>three"));
    EXPECT_EQ(all[3]->getUtf8Text(), QStringLiteral("<006-003-001><006-003-002>x"));
}

TEST(SmsJoin, PartsJoinByWholeReferenceAndNumber)
{
    struct Case {
        const char* name;
        QList<QByteArray> pdus;
        QStringList texts;
    } cases[] = {
        {"16-bit references that share their low octet",
         {deliver(corpus::concatHeader(0x0105, 2, 1, true), 0, "MSG-A part1 ", 7, 0),
          deliver(corpus::concatHeader(0x0205, 2, 2, true), 0, "MSG-B part2", 7, 1)},
         {QStringLiteral("MSG-A part1 <005-002-002>"), QStringLiteral("<005-002-001>MSG-B part2")}},
        {"one 16-bit reference",
         {deliver(corpus::concatHeader(0x0105, 2, 2, true), 0, "two", 7, 1), deliver(corpus::concatHeader(0x0105, 2, 1, true), 0, "one ", 7, 0)},
         {QStringLiteral("one two")}},
        {"a tag-like text of the message's own",
         {deliverPart(7, 2, 1, "see <007-002-002> ", 7, 0), deliverPart(7, 2, 2, "end", 7, 1)},
         {QStringLiteral("see <007-002-002> end")}},
        {"an escape pair split across two parts",
         {deliverPart(8, 2, 1, "a\x1B", 7, 0), deliverPart(8, 2, 2, "(b", 7, 1)},
         {QStringLiteral("a{b")}},
        {"a surrogate pair split across two UCS2 parts",
         {deliver(corpus::concatHeader(9, 2, 1), 8, QByteArray::fromHex("0041D83D"), 7, 0),
          deliver(corpus::concatHeader(9, 2, 2), 8, QByteArray::fromHex("DE000042"), 7, 1)},
         {QStringLiteral("A\U0001F600B")}},
        {"a UCS2 part missing",
         {deliver(corpus::concatHeader(9, 3, 2), 8, QByteArray::fromHex("0042"), 7, 0)},
         {QStringLiteral("<009-003-001>B<009-003-003>")}},
    };
    for (const auto& c : cases) {
        pduList pdus;
        for (const QByteArray& text : c.pdus)
            pdus.appendItem(std::make_unique<pdu>(text, unsigned(pdus.length() + 1)));
        smsList list;
        ASSERT_EQ(createSmsListFromPduList(list, pdus), 0) << c.name;
        QStringList texts;
        for (const sms* m : entries(list))
            texts.append(m->getUtf8Text());
        EXPECT_EQ(texts, c.texts) << c.name;
    }
}

TEST(SmsJoin, InterleavedMessagesEachGetTheirOwnParts)
{
    // 250 three-part messages listed part-major (every part 1, then every
    // part 2, ...); the last parts come in a second listing into the same
    // list and still join.
    constexpr int kMessages = 250;
    const auto partText = [](int message, int nr) -> QByteArray {
        return QByteArray("m") + QByteArray::number(message) + '-' + QByteArray::number(nr) + ' ';
    };
    pduList first;
    pduList second;
    for (int nr = 1; nr <= 3; ++nr) {
        for (int i = 0; i < kMessages; ++i) {
            auto part = std::make_unique<pdu>(deliverPart(i, 3, nr, partText(i, nr), 7, nr),
                                              unsigned(nr * 1000 + i));
            (nr < 3 ? first : second).appendItem(std::move(part));
        }
    }
    smsList list;
    ASSERT_EQ(createSmsListFromPduList(list, first), 0);
    ASSERT_EQ(createSmsListFromPduList(list, second), 0);
    const auto all = entries(list);
    ASSERT_EQ(all.size(), size_t(kMessages));
    for (int i = 0; i < kMessages; ++i) {
        EXPECT_EQ(all[i]->getUtf8Bytes(), QByteArray(partText(i, 1) + partText(i, 2) + partText(i, 3))) << i;
        EXPECT_EQ(all[i]->getSmsMemIndex(),
                  QStringLiteral("%1,%2,%3").arg(1000 + i).arg(2000 + i).arg(3000 + i)) << i;
    }
}

TEST(SmsModel, StatusAndReuse)
{
    sms m;
    m.setSmsStatus(QStringLiteral("REC UNREAD"));
    m.setSmsStatusToRead();
    EXPECT_EQ(m.getSmsStatus(), QStringLiteral("REC READ"));
    m.setSmsStatusToUnread();
    EXPECT_EQ(m.getSmsStatus(), QStringLiteral("REC UNREAD"));
    m.setSmsStatus(QStringLiteral("STO SENT"));
    m.setSmsStatusToUnread();
    EXPECT_EQ(m.getSmsStatus(), QStringLiteral("STO SENT UNREAD"));

    m.setUtf8String("x");
    m.setMR(9);
    m.init(false);
    EXPECT_EQ(m.getUtf8Length(), 0);
    EXPECT_EQ(m.getMR(), 0);
    EXPECT_EQ(m.getRelativeValidity(), 173);
    EXPECT_EQ(m.getUsedCodepage(), 1);
}
