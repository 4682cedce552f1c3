#include "formats/WbxmlConverter.h"

#include <gtest/gtest.h>

namespace {

// A SyncML 1.1 header with a final mark, as a phone sends it over OBEX.
const unsigned char kSyncMLHeaderWbxml[] = {
    0x03, 0x9f, 0x53, 0x6a, 0x00, 0x6d, 0x6c, 0x71, 0x03, 0x31, 0x2e, 0x31, 0x00, 0x01, 0x72, 0x03, 0x53, 0x79,
    0x6e, 0x63, 0x4d, 0x4c, 0x2f, 0x31, 0x2e, 0x31, 0x00, 0x01, 0x65, 0x03, 0x31, 0x00, 0x01, 0x5b, 0x03, 0x31,
    0x00, 0x01, 0x6e, 0x57, 0x03, 0x50, 0x43, 0x20, 0x53, 0x75, 0x69, 0x74, 0x65, 0x00, 0x01, 0x01, 0x67, 0x57,
    0x03, 0x49, 0x4d, 0x45, 0x49, 0x3a, 0x31, 0x32, 0x33, 0x00, 0x01, 0x01, 0x01, 0x6b, 0x12, 0x01, 0x01};

const char* const kSyncMLHeaderXml =
    "<SyncML xmlns=\"SYNCML:SYNCML1.1\"><SyncHdr><VerDTD>1.1</VerDTD><VerProto>SyncML/1.1</VerProto>"
    "<SessionID>1</SessionID><MsgID>1</MsgID><Target><LocURI>PC Suite</LocURI></Target>"
    "<Source><LocURI>IMEI:123</LocURI></Source></SyncHdr><SyncBody><Final/></SyncBody></SyncML>";

QByteArray headerWbxml()
{
    return QByteArray(reinterpret_cast<const char*>(kSyncMLHeaderWbxml), sizeof(kSyncMLHeaderWbxml));
}

TEST(WbxmlConverter, SyncMLMessageConvertsToXmlAndBack)
{
    QString error;
    const std::optional<QByteArray> xml = WbxmlConverter::toXml(headerWbxml(), &error);
    ASSERT_TRUE(xml) << error.toStdString();
    EXPECT_TRUE(xml->contains("-//SYNCML//DTD SyncML 1.1//EN"));
    EXPECT_TRUE(xml->endsWith(kSyncMLHeaderXml)) << xml->constData();

    const std::optional<QByteArray> wbxml = WbxmlConverter::toWbxml(*xml, &error);
    ASSERT_TRUE(wbxml) << error.toStdString();
    const std::optional<QByteArray> again = WbxmlConverter::toXml(*wbxml);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *xml);
}

TEST(WbxmlConverter, BuffersThatDoNotDecodeAnswerNothingWithAReason)
{
    const QByteArray whole = headerWbxml();
    const QByteArray cases[] = {
        QByteArray(),                           // nothing
        whole.left(5),                          // cut in the header
        whole.left(whole.size() / 2),           // cut inside a string
        QByteArray("\x03\x9f\x53\x6a\x7f\xff\xff\xff\xff", 9), // string table longer than the buffer
        QByteArray("not wbxml at all"),
        whole + QByteArray(5 * 1024 * 1024, '\0'), // beyond what a message can be: not read
    };
    for (const QByteArray& bytes : cases) {
        QString error;
        EXPECT_FALSE(WbxmlConverter::toXml(bytes, &error)) << bytes.toHex().constData();
        EXPECT_FALSE(error.isEmpty()) << bytes.toHex().constData();
    }
    // A small message naming one large string-table entry again and again
    // is refused before it is expanded.
    QByteArray repeated("\x03\x01\x6a\x87\x68", 5); // version, public id, UTF-8, table of 1000 bytes
    repeated += QByteArray(999, 'a') + QByteArray(1, '\0');
    repeated += char(0x45);
    for (int i = 0; i < 70000; ++i)
        repeated += QByteArray("\x83\x00", 2);
    repeated += char(0x01);
    {
        QString why;
        EXPECT_FALSE(WbxmlConverter::toXml(repeated, &why));
        EXPECT_TRUE(why.contains(QStringLiteral("string table"))) << why.toStdString();
    }
    QString error;
    EXPECT_FALSE(WbxmlConverter::toWbxml("<SyncML><unclosed>", &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
