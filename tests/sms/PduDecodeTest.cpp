#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/sms.h"

#include <gtest/gtest.h>

using namespace kestrova;

namespace {

std::unique_ptr<sms> decodeOne(const QByteArray& text, int* rc = nullptr)
{
    auto m = std::make_unique<sms>();
    pdu p(text, 7, 1, QStringLiteral("ME"));
    const int result = p.decodePdu(*m);
    m->decodeCodedString();
    if (rc)
        *rc = result;
    return result == 0 ? std::move(m) : nullptr;
}

// DELIVER from +4915112345678 via +491710760000, 2024-03-05 14:07:09.
const QByteArray kDeliverHead = "0791947101670000" "04" "0D91945111325476F8" "0000" "42305041709000";

} // namespace

TEST(PduDecode, DeliverFieldsAndLowerCaseHex)
{
    const QByteArray text = kDeliverHead + "0BC8309BFD065DCB6C3A00";
    for (const QByteArray& variant : QList<QByteArray>{text, text.toLower(), text + "\r\n"}) {
        auto m = decodeOne(variant);
        ASSERT_TRUE(m) << variant.constData();
        EXPECT_EQ(m->getUtf8Text(), QStringLiteral("Hallo Welt@"));
        EXPECT_EQ(m->getAddress(), QStringLiteral("+4915112345678"));
        QString smsc;
        m->getSmsc(smsc);
        EXPECT_EQ(smsc, QStringLiteral("+491710760000"));
        EXPECT_EQ(m->getTP_MTI(), 0);
        EXPECT_EQ(m->timestamp(), (sms::Timestamp{24, 3, 5, 14, 7, 9, 0}));
        EXPECT_EQ(m->getSmsStatus(), QStringLiteral("REC READ"));
        EXPECT_EQ(m->getSmsMemIndex(), QStringLiteral("7"));
        EXPECT_EQ(m->getSmsMemory(), QStringLiteral("ME"));
    }
}

TEST(PduDecode, TimeZonesKeepTheirSign)
{
    struct Case {
        const char* zoneOctet;
        int quarters;
    } cases[] = {{"00", 0}, {"80", 8}, {"69", -16}, {"0A", -20}, {"89", -18}, {"23", 32}};
    for (const auto& c : cases) {
        QByteArray text = kDeliverHead;
        text.replace(text.size() - 2, 2, c.zoneOctet);
        auto m = decodeOne(text + "05C8329BFD06");
        ASSERT_TRUE(m);
        EXPECT_EQ(m->timestamp()[6], c.quarters) << c.zoneOctet;
    }
}

TEST(PduDecode, SeptetCountComesFromTheUserDataLength)
{
    // Eight septets "Meet me@" fill seven octets exactly; the trailing "@"
    // (septet 0) stays.
    auto m = decodeOne(kDeliverHead + "08CD72990E6A9701");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->getUtf8Text(), QStringLiteral("Meet me@"));
}

TEST(PduDecode, HeadersAndSenders)
{
    // 16-bit reference 0x1234, part 2 of 3: the tags show its low octet.
    auto m = decodeOne("0791947101670000" "44" "0D91945111325476F8" "0000" "42305041709000"
                       "0B" "06080412340302" "C8721E");
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->isMultiPart());
    EXPECT_EQ(m->getMultiPartMR(), 0x34);
    EXPECT_EQ(m->getConcatReference(), 0x1234);
    EXPECT_EQ(m->getPartCount(), 3);
    EXPECT_EQ(m->getPartNumber(), 2);

    // Alphanumeric sender "Google" (type 0xD0, 11 semi-octets).
    m = decodeOne("00" "04" "0BD0C7F7FBCC2E03" "0000" "42305041709000" "02" "C834");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->getAddressType(), kSmsTypeAlphanumeric);
    EXPECT_EQ(m->getAddress(), QStringLiteral("Google"));
    EXPECT_EQ(m->getUtf8Text(), QStringLiteral("Hi"));
    // Alphanumeric senders are GSM text: "@" (septet 0) and "_" (0x11) are
    // characters, not control codes.
    m = decodeOne("00" "04" "0BD0" "80A4DB1C0901" "0000" "42305041709000" "02" "C834");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->getAddress(), QStringLiteral("@Inf_!"));

    // UCS2 and a stored SMS-SUBMIT with relative validity.
    m = decodeOne("0011000391" "21F3" "0008AD" "04" "04160041");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->getTP_MTI(), 1);
    EXPECT_EQ(m->getTP_DCS(), 8);
    EXPECT_EQ(m->getUtf8Text(), QStringLiteral("\u0416A"));
    EXPECT_EQ(m->getAddress(), QStringLiteral("+123"));
    EXPECT_EQ(m->getRelativeValidity(), 0xAD);
}

TEST(PduDecode, MalformedInputIsAnErrorNeverAReadPastTheEnd)
{
    const QByteArray good = kDeliverHead + "05C8329BFD06";
    struct Case {
        const char* name;
        QByteArray text;
        int error;
    } cases[] = {
        {"empty", "", kSmsErrorMalformedPdu},
        {"odd length", good.chopped(1), kSmsErrorMalformedPdu},
        {"not hex", QByteArray(good).replace(4, 2, "G1"), kSmsErrorMalformedPdu},
        {"SMSC past the end", "0F91", kSmsErrorMalformedPdu},
        {"cut in the address", kDeliverHead.left(24), kSmsErrorMalformedPdu},
        {"cut in the time stamp", kDeliverHead.chopped(4), kSmsErrorMalformedPdu},
        {"user data shorter than TP-UDL", kDeliverHead + "06C8329BFD06", kSmsErrorMalformedPdu},
        {"header length past the user data",
         "0791947101670000" "44" "0D91945111325476F8" "0000" "42305041709000" "03" "0900", kSmsErrorMalformedPdu},
        {"element past the header",
         "0791947101670000" "44" "0D91945111325476F8" "0000" "42305041709000" "08" "03000501020000", kSmsErrorMalformedPdu},
        {"empty header",
         "0791947101670000" "44" "0D91945111325476F8" "0000" "42305041709000" "02" "0000", kSmsErrorEmptyHeader},
        {"header longer than TP-UDL septets",
         "0791947101670000" "44" "0D91945111325476F8" "0000" "42305041709000" "03" "050003010201", kSmsErrorMalformedPdu},
        {"status report", "0006" "01" "0B911234567890F0" "42305041709000" "42305041709000" "00",
         kSmsErrorUnsupportedMessageType},
        {"8-bit data", QByteArray(kDeliverHead).replace(36, 4, "0004") + "024142", kSmsErrorUserDataNotDecodable},
        {"odd UCS2 octets", QByteArray(kDeliverHead).replace(36, 4, "0008") + "03004100", kSmsErrorUserDataNotDecodable},
    };
    for (const auto& c : cases) {
        int rc = -1;
        EXPECT_FALSE(decodeOne(c.text, &rc)) << c.name;
        EXPECT_EQ(rc, c.error) << c.name;
    }

}

TEST(PduDecode, AListingDeliversWhatDecodesAndCountsTheRest)
{
    const QByteArray good = kDeliverHead + "05C8329BFD06";
    const QByteArray statusReport = "0006" "01" "0B911234567890F0" "42305041709000" "42305041709000" "00";
    pduList list;
    list.appendItem(std::make_unique<pdu>(QByteArray("zz"), 1));
    list.appendItem(std::make_unique<pdu>(good, 2));
    list.appendItem(std::make_unique<pdu>(statusReport, 3));
    smsList out;
    int dropped = -1;
    EXPECT_EQ(createSmsListFromPduList(out, list, &dropped), 0);
    EXPECT_EQ(dropped, 2);
    ASSERT_EQ(out.length(), 1);
    out.resetPos();
    EXPECT_EQ(out.nextItem()->getUtf8Text(), QStringLiteral("Hello"));
}

TEST(PduDecode, AListingNeverAsksTheClock)
{
    // A sent message (SMS-SUBMIT with a relative validity) carries no time of
    // its own: it keeps the empty time stamp, not the time of decoding.
    pduList list;
    list.appendItem(std::make_unique<pdu>(QByteArray("0011000B919471325476F80000AA05C8329BFD06"), 4, 3));
    smsList out;
    ASSERT_EQ(createSmsListFromPduList(out, list), 0);
    ASSERT_EQ(out.length(), 1);
    out.resetPos();
    const sms* sent = out.nextItem();
    EXPECT_EQ(sent->getTP_MTI(), 1);
    EXPECT_EQ(sent->getUtf8Text(), QStringLiteral("Hello"));
    EXPECT_EQ(sent->timestamp(), sms::Timestamp{});
}

TEST(PduDecode, DeliverFlags)
{
    // First octet: status report indication 0x20, more messages to send 0x04.
    struct Case {
        const char* first;
        int sri;
        int mms;
    } cases[] = {{"00", 0, 0}, {"04", 0, 0x04}, {"20", 0x20, 0}, {"24", 0x20, 0x04}};
    for (const auto& c : cases) {
        QByteArray text = kDeliverHead;
        text.replace(16, 2, c.first);
        auto m = decodeOne(text + "05C8329BFD06");
        ASSERT_TRUE(m) << c.first;
        EXPECT_EQ(m->getTP_SRI(), c.sri) << c.first;
        EXPECT_EQ(m->getTP_MMS(), c.mms) << c.first;
    }
    const sms fresh;
    EXPECT_EQ(fresh.getTP_SRI(), 0);
    EXPECT_EQ(fresh.getTP_MMS(), 1);
}
