#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/SdpServiceRecord.h"

#include <gtest/gtest.h>

using platform::BluetoothAddress;
using platform::BluetoothUuid;
using platform::SdpElement;
using platform::SdpServiceRecord;
namespace sdp = platform::sdp;

TEST(BluetoothAddressTest, ReadsTheUsualFormsAndRefusesTheRest)
{
    struct Case {
        const char* text;
        const char* expected;   // nullptr: refused
    };
    const Case cases[] = {
        {"00:1A:2b:3C:4d:5E", "00-1a-2b-3c-4d-5e"},
        {"00-1a-2b-3c-4d-5e", "00-1a-2b-3c-4d-5e"},
        {"001A2B3C4D5E", "00-1a-2b-3c-4d-5e"},
        {" 00:1a:2b:3c:4d:5e ", "00-1a-2b-3c-4d-5e"},
        {"", nullptr},
        {"12:34", nullptr},
        {"00:1a:2b:3c:4d", nullptr},
        {"00:1a-2b:3c:4d:5e", nullptr},
        {"00:1a:2b:3c:4d:5g", nullptr},
        {"00.1a.2b.3c.4d.5e", nullptr},
        {"00:1a:2b:3c:4d:5e:", nullptr},
    };
    for (const Case& c : cases) {
        const auto parsed = BluetoothAddress::fromString(QString::fromLatin1(c.text));
        if (!c.expected) {
            EXPECT_FALSE(parsed) << c.text;
            continue;
        }
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(parsed->toString(), QLatin1String(c.expected)) << c.text;
    }
    EXPECT_EQ(BluetoothAddress::fromString(QStringLiteral("00-1a-2b-3c-4d-5e"))->toColonString(),
              QLatin1String("00:1A:2B:3C:4D:5E"));
}

TEST(BluetoothUuidTest, ShortFormsEqualTheirPlaceInTheBaseUuid)
{
    const BluetoothUuid serial = BluetoothUuid::uuid16(0x1101);
    EXPECT_EQ(serial, BluetoothUuid::fromString(QStringLiteral("00001101-0000-1000-8000-00805F9B34FB")));
    EXPECT_EQ(serial, BluetoothUuid::uuid32(0x1101));
    EXPECT_EQ(serial, BluetoothUuid::fromString(QStringLiteral("0x1101")));
    EXPECT_FALSE(serial == BluetoothUuid::uuid16(0x1103));
    EXPECT_EQ(serial.description(), QLatin1String("<1101>"));
    const BluetoothUuid pcSuite = BluetoothUuid::fromString(QStringLiteral("00005005-0000-1000-8000-0002EE000001"));
    EXPECT_EQ(pcSuite.description(), QLatin1String("<00005005 00001000 80000002 ee000001>"));
    EXPECT_EQ(pcSuite.toString(), QLatin1String("00005005-0000-1000-8000-0002EE000001"));
    for (const char* bad : {"", "0x11", "110", "0x1101x", "zz01", "00005005-0000-1000-8000-0002EE00000"})
        EXPECT_FALSE(BluetoothUuid::fromString(QString::fromLatin1(bad)).isValid()) << bad;
}

TEST(SdpRecordTest, MadeRecordsSurviveTheBinaryFormAndNameTheirChannel)
{
    const SdpServiceRecord record =
        SdpServiceRecord::make({BluetoothUuid::uuid16(0x1105)}, QStringLiteral("OBEX Object Push"), 9, true);
    const QByteArray bytes = sdp::encodeRecord(record);
    const auto decoded = sdp::decodeRecord(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(*decoded == record);
    EXPECT_EQ(decoded->rfcommChannelID(), 9);
    EXPECT_EQ(decoded->serviceName(), QLatin1String("OBEX Object Push"));
    EXPECT_TRUE(decoded->hasUuid(BluetoothUuid::uuid16(0x1105)));
    EXPECT_FALSE(decoded->hasUuid(BluetoothUuid::uuid16(0x1101)));

    // A long text needs the two-byte length form.
    const SdpElement longText = SdpElement::text(QString(300, u'x'));
    EXPECT_TRUE(sdp::decode(sdp::encode(longText)) == longText);
}

TEST(SdpRecordTest, ChannelOnlyFromAnRfcommDescriptorWithAUsableNumber)
{
    const auto withProtocols = [](SdpElement list) {
        SdpServiceRecord record;
        record.attributes.insert(SdpServiceRecord::kProtocolDescriptorList, list);
        return record;
    };
    const SdpElement l2cap = SdpElement::sequence({SdpElement::uuid(BluetoothUuid::uuid16(0x0100))});
    const auto rfcomm = [](quint64 channel, int width) {
        return SdpElement::sequence(
            {SdpElement::uuid(BluetoothUuid::uuid16(0x0003)), SdpElement::unsignedInt(channel, width)});
    };
    EXPECT_EQ(withProtocols(SdpElement::sequence({l2cap, rfcomm(3, 1)})).rfcommChannelID(), 3);
    EXPECT_EQ(withProtocols(SdpElement::sequence({l2cap, rfcomm(7, 2)})).rfcommChannelID(), 7);
    EXPECT_FALSE(withProtocols(SdpElement::sequence({l2cap, rfcomm(0, 1)})).rfcommChannelID());
    EXPECT_FALSE(withProtocols(SdpElement::sequence({l2cap, rfcomm(256, 2)})).rfcommChannelID());
    EXPECT_FALSE(withProtocols(SdpElement::sequence({l2cap})).rfcommChannelID());
    EXPECT_FALSE(withProtocols(SdpElement::text(QStringLiteral("x"))).rfcommChannelID());
    SdpElement alternative = SdpElement::sequence({SdpElement::sequence({l2cap, rfcomm(5, 1)})});
    alternative.type = SdpElement::Alternative;
    EXPECT_EQ(withProtocols(alternative).rfcommChannelID(), 5);
    EXPECT_FALSE(SdpServiceRecord().rfcommChannelID());
}

TEST(SdpRecordTest, MalformedBytesAreRefused)
{
    QByteArray deep;
    for (int i = 0; i < 40; ++i)
        deep = QByteArray("\x35") + char(deep.size()) + deep;
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"type 9", QByteArray::fromHex("48")},
        {"truncated integer", QByteArray::fromHex("0a0001")},
        {"UUID of 8 bytes", QByteArray::fromHex("1b0011223344556677")},
        {"UUID of 1 byte", QByteArray::fromHex("1811")},
        {"text longer than the bytes", QByteArray::fromHex("250a6869")},
        {"sequence longer than the bytes", QByteArray::fromHex("3505090001")},
        {"child crossing its sequence's end", QByteArray::fromHex("3502090001")},
        {"bool with a size", QByteArray::fromHex("2901")},
        {"trailing bytes", QByteArray::fromHex("080100")},
        {"four-byte length beyond the bytes", QByteArray::fromHex("27ffffffff")},
        {"nesting too deep", deep},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(sdp::decode(c.bytes)) << c.what;

    // Records: pairs of a 16-bit attribute id and a value, each id once.
    EXPECT_FALSE(sdp::decodeRecord(QByteArray::fromHex("3503090001"))) << "odd element count";
    EXPECT_FALSE(sdp::decodeRecord(QByteArray::fromHex("3504080108 01"))) << "8-bit attribute id";
    EXPECT_FALSE(sdp::decodeRecord(QByteArray::fromHex("350a0900010801 0900010802"))) << "id twice";
    EXPECT_FALSE(sdp::decodeRecord(QByteArray::fromHex("0801"))) << "no sequence";
    EXPECT_TRUE(sdp::decodeRecord(QByteArray::fromHex("3500")));
}
