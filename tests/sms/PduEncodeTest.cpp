#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/SmsPartLayout.h"
#include "kestrova/sms/SmsTextUtils.h"
#include "kestrova/sms/sms.h"

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

std::unique_ptr<sms> message(const QString& text, QStringList recipients, int dcs = 0, int mr = 0)
{
    auto m = std::make_unique<sms>();
    m->setTP_DCS(dcs);
    m->setMR(mr);
    m->setUtf8String(text.toUtf8());
    if (dcs == 8)
        m->setUcs2Text(text);
    auto list = std::make_unique<addressList>();
    for (const QString& r : recipients)
        list->appendItem(r);
    m->setAddressList(std::move(list));
    return m;
}

QList<pdu*> items(pduList& list)
{
    QList<pdu*> out;
    for (const auto& p : list)
        out.append(p.get());
    return out;
}

// The TPDU of a PDU whose SMSC part is "00": octets after it.
QByteArray tpdu(const pdu& p)
{
    return hexToBytes(p.getPduText().mid(2)).value_or(QByteArray());
}

// Offset of TP-UDL in a SUBMIT TPDU with relative validity.
int udlOffset(const QByteArray& t)
{
    const int digits = quint8(t[2]);
    return 2 + 2 + (digits + 1) / 2 + 3;
}

} // namespace

TEST(PduEncode, HelloWithDefaults)
{
    auto m = message(QStringLiteral("Hello"), {QStringLiteral("+123")});
    int error = -1;
    auto list = createPduListFromSms(*m, &error);
    ASSERT_TRUE(list);
    EXPECT_EQ(error, 0);
    const auto pdus = items(*list);
    ASSERT_EQ(pdus.size(), 1);
    EXPECT_EQ(pdus[0]->getPduText(), QByteArray("0011000391" "21F3" "0000AD05C8329BFD06"));
    EXPECT_EQ(pdus[0]->getTpduLength(), 15);
}

TEST(PduEncode, Gsm161SeptetsMakeTwoParts)
{
    auto m = message(QString(161, QLatin1Char('a')), {QStringLiteral("+123")}, 0, 0x2A);
    auto list = createPduListFromSms(*m);
    ASSERT_TRUE(list);
    const auto pdus = items(*list);
    ASSERT_EQ(pdus.size(), 2);
    const int udls[] = {160, 15};
    for (int i = 0; i < 2; ++i) {
        const QByteArray t = tpdu(*pdus[i]);
        EXPECT_EQ(quint8(t[0]), 0x51);
        const int at = udlOffset(t);
        EXPECT_EQ(quint8(t[at]), udls[i]);
        EXPECT_EQ(t.mid(at + 1, 6), QByteArray::fromHex(i == 0 ? "0500032A0201" : "0500032A0202"));
        EXPECT_EQ(pdus[i]->getTpduLength(), t.size());
    }
}

TEST(PduEncode, TurkishShiftHeader)
{
    auto m = message(QString(9, QLatin1Char('x')) + QChar(0x015F) + QString(9, QLatin1Char('y')),
                     {QStringLiteral("+123")});
    auto list = createPduListFromSms(*m);
    ASSERT_TRUE(list);
    const auto pdus = items(*list);
    ASSERT_EQ(pdus.size(), 1);
    const QByteArray t = tpdu(*pdus[0]);
    EXPECT_EQ(quint8(t[0]) & 0x40, 0x40);
    const int at = udlOffset(t);
    EXPECT_EQ(quint8(t[at]), 25);
    EXPECT_EQ(t.mid(at + 1, 4), QByteArray::fromHex("03240101"));
    EXPECT_EQ(m->getUsedCodepage(), kSmsCodePageTurkish);
}

TEST(PduEncode, Ucs2PartsUseTheMessageReference)
{
    for (const int units : {70, 71}) {
        auto m = message(QString(units, QChar(0x0416)), {QStringLiteral("+123")}, 8, 0x77);
        auto list = createPduListFromSms(*m);
        ASSERT_TRUE(list);
        const auto pdus = items(*list);
        if (units == 70) {
            ASSERT_EQ(pdus.size(), 1);
            const QByteArray t = tpdu(*pdus[0]);
            EXPECT_EQ(quint8(t[0]) & 0x40, 0);
            EXPECT_EQ(quint8(t[udlOffset(t)]), 140);
            continue;
        }
        ASSERT_EQ(pdus.size(), 2);
        const int partUnits[] = {67, 4};
        for (int i = 0; i < 2; ++i) {
            const QByteArray t = tpdu(*pdus[i]);
            const int at = udlOffset(t);
            EXPECT_EQ(quint8(t[at]), 6 + 2 * partUnits[i]);
            EXPECT_EQ(t.mid(at + 1, 6), QByteArray::fromHex(i == 0 ? "050003770201" : "050003770202"));
        }
    }
}

TEST(PduEncode, SplitsNeverBreakEscapePairsOrSurrogates)
{
    // The escape of "{" would be septet 153 of the first part.
    auto m = message(QString(152, QLatin1Char('a')) + QStringLiteral("{") + QString(10, QLatin1Char('b')),
                     {QStringLiteral("+123")});
    auto list = createPduListFromSms(*m);
    ASSERT_TRUE(list);
    auto pdus = items(*list);
    ASSERT_EQ(pdus.size(), 2);
    QByteArray t = tpdu(*pdus[0]);
    EXPECT_EQ(quint8(t[udlOffset(t)]), 7 + 152);
    t = tpdu(*pdus[1]);
    EXPECT_EQ(quint8(t[udlOffset(t)]), 7 + 12);

    // The 67th unit would be the high half of a surrogate pair.
    auto u = message(QString(66, QLatin1Char('a')) + QStringLiteral("\U0001F600") + QStringLiteral("zzzz"),
                     {QStringLiteral("+123")}, 8);
    list = createPduListFromSms(*u);
    ASSERT_TRUE(list);
    pdus = items(*list);
    ASSERT_EQ(pdus.size(), 2);
    t = tpdu(*pdus[0]);
    EXPECT_EQ(quint8(t[udlOffset(t)]), 6 + 2 * 66);

    // U+00A0 right before "{" at the cut: it is sent as a blank (never as
    // the reserved 1B 1B), part 1 ends on it and the pair of "{" opens
    // part 2, so each part reads right on its own.
    auto e = message(QString(151, QLatin1Char('a')) + QStringLiteral("\u00A0{") + QString(10, QLatin1Char('b')),
                     {QStringLiteral("+123")});
    list = createPduListFromSms(*e);
    ASSERT_TRUE(list);
    pdus = items(*list);
    ASSERT_EQ(pdus.size(), 2);
    const QString partTexts[] = {QString(151, QLatin1Char('a')) + QLatin1Char(' '),
                                 QLatin1Char('{') + QString(10, QLatin1Char('b'))};
    for (int i = 0; i < 2; ++i) {
        sms part;
        ASSERT_EQ(pdus[i]->decodePdu(part), 0);
        part.decodeCodedString();
        EXPECT_EQ(part.getUtf8Text(), partTexts[i]) << "part " << i + 1;
    }

    // The compose field's arithmetic sees the same cut.
    const QByteArray coded = QByteArray(152, 'a') + "\x1B\x28" + QByteArray(10, 'b');
    EXPECT_EQ(gsmPartLengths(coded, false),
              (QList<int>{152, 12}));
    EXPECT_EQ(gsmSeptetsForPart(QByteArray(160, '\x1B'), 0, 153), 152);
    const QString units = QString(66, QLatin1Char('a')) + QStringLiteral("\U0001F600zzzz");
    EXPECT_EQ(ucs2PartLengths(units),
              (QList<int>{66, 6}));
}

TEST(PduEncode, TwoRecipientsGetTheWholeSetEach)
{
    auto m = message(QString(200, QLatin1Char('z')), {QStringLiteral("+123"), QStringLiteral("0456")});
    auto list = createPduListFromSms(*m);
    ASSERT_TRUE(list);
    const auto pdus = items(*list);
    ASSERT_EQ(pdus.size(), 4);
    for (int i = 0; i < 2; ++i) {
        const QByteArray first = tpdu(*pdus[i]);
        const QByteArray second = tpdu(*pdus[i + 2]);
        EXPECT_EQ(first.mid(udlOffset(first)), second.mid(udlOffset(second)));
    }
    EXPECT_EQ(tpdu(*pdus[0]).mid(2, 4), QByteArray::fromHex("039121F3"));
    EXPECT_EQ(tpdu(*pdus[2]).mid(2, 4), QByteArray::fromHex("04814065"));
}

TEST(PduEncode, SmscAndAbsoluteValidity)
{
    auto m = message(QStringLiteral("Hi"), {QStringLiteral("+123")});
    m->setSmsc(QStringLiteral("+49171076000"));
    ASSERT_EQ(m->setAbsoluteValidity(2024, 3, 5, 14, 7, 9, -4 * 3600), 0);
    auto list = createPduListFromSms(*m);
    ASSERT_TRUE(list);
    const QByteArray text = items(*list)[0]->getPduText();
    EXPECT_TRUE(text.startsWith("07919471016700F0")) << text.constData();
    // First octet 0x19 (absolute validity), and the zone octet 0x69: -16
    // quarter hours with the sign in bit 3.
    EXPECT_EQ(text.mid(16, 2), QByteArray("19"));
    EXPECT_TRUE(text.contains("42305041709069")) << text.constData();
}

TEST(PduEncode, FailuresReachTheCaller)
{
    struct Case {
        const char* name;
        std::function<void(sms&)> setUp;
        int error;
    } cases[] = {
        {"valid message", [](sms&) {}, kSmsOk},
        {"no recipients", [](sms& m) { m.setAddressList(nullptr); }, kSmsErrorNoAddress},
        {"recipient without digits",
         [](sms& m) {
             auto list = std::make_unique<addressList>();
             list->appendItem(QStringLiteral("+49"));
             list->appendItem(QStringLiteral("+"));
             m.setAddressList(std::move(list));
         },
         kSmsErrorNoAddress},
        {"8-bit coding", [](sms& m) { m.setTP_DCS(4); }, kSmsErrorCodingNotSupported},
    };
    for (auto& c : cases) {
        auto m = message(QStringLiteral("text"), {QStringLiteral("+123")});
        c.setUp(*m);
        int error = -1;
        auto list = createPduListFromSms(*m, &error);
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(bool(list), c.error == kSmsOk) << c.name;
        if (list) {
            for (const auto& p : *list)
                EXPECT_GT(p->getTpduLength(), 0) << c.name;
        }
    }
}

TEST(PduEncode, StoredSubmitIsSentWithTheValidityFormatItHas)
{
    // A stored SMS-SUBMIT without validity (TP-VPF 0) goes out without one;
    // the enhanced format, which the encoder cannot write, is refused.
    struct Case {
        QByteArray stored;
        int error;
    } cases[] = {
        {"0001000391" "21F3" "0000" "05C8329BFD06", kSmsOk},
        {"0009000391" "21F3" "0000" "01000000000000" "05C8329BFD06", kSmsErrorNoValidityFormat},
    };
    for (const auto& c : cases) {
        sms m;
        ASSERT_EQ(pdu(c.stored).decodePdu(m), 0) << c.stored.constData();
        m.decodeCodedString();
        auto recipients = std::make_unique<addressList>();
        recipients->appendItem(QStringLiteral("+123"));
        m.setAddressList(std::move(recipients));
        int error = -1;
        auto list = createPduListFromSms(m, &error);
        EXPECT_EQ(error, c.error) << c.stored.constData();
        if (c.error == kSmsOk) {
            ASSERT_TRUE(list);
            EXPECT_EQ(items(*list)[0]->getPduText(), c.stored);
        }
    }
}
