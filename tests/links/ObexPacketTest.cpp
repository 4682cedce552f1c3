#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"

#include "LinkTestSupport.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Built {
    int length;
    QByteArray bytes;
};

template <class Build>
Built build(Build&& make)
{
    std::vector<char> buffer(obex::kPacketBufferSize);
    const int length = make(buffer.data());
    return {length, length > 0 ? QByteArray(buffer.data(), length) : QByteArray()};
}

TEST(ObexPacket, RequestsAreLaidOutByteForByte)
{
    const QByteArray body = "0123456789";
    const QByteArray target = hex("4600084D4F424558");
    struct Case {
        const char* name;
        Built built;
        QByteArray expected;
    } cases[] = {
        {"connect without headers",
         build([](char* out) { return obex::buildConnect(out, obex::kOpConnect, 0x00, 0x2000, nullptr, 0); }),
         hex("80000710002000")},
        {"connect with target",
         build([&](char* out) {
             return obex::buildConnect(out, obex::kOpConnect, 0x01, 0x0400, target.constData(), int(target.size()));
         }),
         hex("80000F100104004600084D4F424558")},
        {"put with body",
         build([&](char* out) { return obex::buildPut(out, false, nullptr, 0, body.constData(), 10, 0xFFFF); }),
         hex("02001048000D") + body},
        {"final put with body",
         build([&](char* out) { return obex::buildPut(out, true, nullptr, 0, body.constData(), 10, 0xFFFF); }),
         hex("82001049000D") + body},
        {"put without body has no body header",
         build([&](char* out) { return obex::buildPut(out, false, target.constData(), 8, nullptr, 0, 0xFFFF); }),
         hex("02000B") + target},
        {"empty final put", build([](char* out) { return obex::buildHeadersOnly(out, obex::kOpPutFinal, nullptr, 0); }),
         hex("820003")},
        {"setpath", build([](char* out) { return obex::buildSetPath(out, 0x02, 0x00, nullptr, 0); }), hex("8500050200")},
        {"abort", build([](char* out) { return obex::buildHeadersOnly(out, obex::kOpAbort, nullptr, 0); }),
         hex("FF0003")},
        {"bare response", build([](char* out) { return obex::buildBareResponse(out, 0xA0); }), hex("A00003")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.built.bytes.toHex(' '), c.expected.toHex(' '));
        EXPECT_EQ(c.built.length, c.expected.size());
    }
}

TEST(ObexPacket, HeadersAndPacketsStayWithinTheirLimits)
{
    const QByteArray headers(1001, 'h');
    const QByteArray body(0xFFFF, 'b');
    EXPECT_EQ(build([&](char* o) { return obex::buildHeadersOnly(o, obex::kOpGet, headers.constData(), 1000); }).length,
              1003);
    EXPECT_EQ(build([&](char* o) { return obex::buildHeadersOnly(o, obex::kOpGet, headers.constData(), 1001); }).length,
              -1);
    EXPECT_EQ(build([&](char* o) { return obex::buildConnect(o, 0x80, 0, 0, headers.constData(), 1001); }).length, -1);
    // 3 + 10 + 3 + body against the peer's maximum and the 16-bit length.
    EXPECT_EQ(build([&](char* o) { return obex::buildPut(o, false, headers.constData(), 10, body.constData(), 8176, 8192); })
                  .length,
              8192);
    EXPECT_EQ(build([&](char* o) { return obex::buildPut(o, false, headers.constData(), 10, body.constData(), 8177, 8192); })
                  .length,
              -1);
    EXPECT_EQ(build([&](char* o) { return obex::buildPut(o, true, nullptr, 0, body.constData(), 0xFFFF - 6, 0xFFFF); })
                  .length,
              0xFFFF);
    EXPECT_EQ(build([&](char* o) { return obex::buildPut(o, true, nullptr, 0, body.constData(), 0xFFFF - 5, 0x7FFFFF); })
                  .length,
              -1);
    EXPECT_EQ(build([&](char* o) { return obex::buildGetResponse(o, 0xA0, headers.constData(), 1000, 512); }).length, -1);
    EXPECT_EQ(build([&](char* o) { return obex::buildGetResponse(o, 0xA0, headers.constData(), 509, 512); }).length, 512);
}

TEST(ObexPacket, AnswersAreReadWithinTheirBytes)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        uint8_t sent;
        uint32_t type;
        int error;
        uint8_t code;
        int headerOffset;
        int headerLength;
        uint16_t maxPacket;
    } cases[] = {
        {"connect success", hex("A0000710002000"), 0x80, obex::kEventConnectResponse, 0, 0xA0, 0, 0, 8192},
        {"connect with who", hex("A0000F100020004A00084D4F424558"), 0x80, obex::kEventConnectResponse, 0, 0xA0, 7, 8,
         8192},
        {"connect forbidden", hex("C3000710002000"), 0x80, obex::kEventConnectResponse, 0, 0xC3, 0, 0, 8192},
        {"connect answer shorter than its fixed part", hex("A00005100020"), 0x80, obex::kEventError,
         obex::kErrBadResponse, 0, 0, 0, 0},
        {"truncated connect answer", hex("A000071000"), 0x80, obex::kEventError, obex::kErrBadResponse, 0, 0, 0, 0},
        {"length below the prefix", hex("A00002"), 0x02, obex::kEventError, obex::kErrBadResponse, 0, 0, 0, 0},
        {"length above the bytes", hex("A000100102"), 0x82, obex::kEventError, obex::kErrBadResponse, 0, 0, 0, 0},
        {"two bytes", hex("A000"), 0x81, obex::kEventError, obex::kErrBadResponse, 0, 0, 0, 0},
        {"put continue", hex("900003"), 0x02, obex::kEventPutResponse, 0, 0x90, 0, 0, 0},
        {"get with body", hex("A00009490006414243"), 0x83, obex::kEventGetResponse, 0, 0xA0, 3, 6, 0},
        {"setpath", hex("A00003"), 0x85, obex::kEventSetPathResponse, 0, 0xA0, 0, 0, 0},
        {"disconnect", hex("A00003"), 0x81, obex::kEventDisconnectResponse, 0, 0xA0, 0, 0, 0},
        {"abort", hex("A00003"), 0xFF, obex::kEventAbortResponse, 0, 0xA0, 0, 0, 0},
        {"unknown request", hex("C40003"), 0x41, obex::kEventError, 0xC4, 0xC4, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const obex::Answer a = obex::readAnswer(c.bytes.constData(), int(c.bytes.size()), c.sent);
        EXPECT_EQ(a.eventType, c.type);
        EXPECT_EQ(a.errorCode, c.error);
        if (c.type != obex::kEventError) {
            EXPECT_EQ(a.responseCode, c.code);
            EXPECT_EQ(a.headerOffset, c.headerOffset);
            EXPECT_EQ(a.headerLength, c.headerLength);
            EXPECT_EQ(a.maxPacketSize, c.maxPacket);
        }
    }
}

TEST(ObexHeaders, EachFormIsWrittenAndReadBack)
{
    QByteArray headers;
    ASSERT_TRUE(obex::addConnectionIDHeader(headers, 0x01020304));
    ASSERT_TRUE(obex::addTargetHeader(headers, "MOBEX"));
    ASSERT_TRUE(obex::addWhoHeader(headers, obex::fileTransferTarget()));
    ASSERT_TRUE(obex::addTypeHeader(headers, "x-obex/folder-listing"));
    ASSERT_TRUE(obex::addLengthHeader(headers, 262144));
    ASSERT_TRUE(obex::addNameHeader(headers, QStringLiteral("Bild ä.jpg")));
    ASSERT_TRUE(obex::addApplicationParameterHeader(headers, hex("0102")));
    ASSERT_TRUE(obex::addBodyHeader(headers, "abc", true));
    EXPECT_EQ(headers.left(13).toHex(' '), hex("CB010203044600084D4F424558").toHex(' '));

    const auto parsed = obex::parseHeaders(headers);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 8);
    EXPECT_EQ(obex::findHeader(*parsed, obex::kHeaderConnectionID)->number, 0x01020304u);
    EXPECT_EQ(obex::findHeader(*parsed, obex::kHeaderWho)->value, obex::fileTransferTarget());
    EXPECT_EQ(obex::findHeader(*parsed, obex::kHeaderType)->value, QByteArray("x-obex/folder-listing", 22));
    EXPECT_EQ(obex::findHeader(*parsed, obex::kHeaderLength)->number, 262144u);
    const obex::Header* name = obex::findHeader(*parsed, obex::kHeaderName);
    EXPECT_EQ(name->value.left(4).toHex(), QByteArray("00420069"));
    EXPECT_EQ(obex::headerText(*name), QStringLiteral("Bild ä.jpg"));
    EXPECT_EQ(obex::findHeader(*parsed, obex::kHeaderEndOfBody)->value, QByteArray("abc"));
    EXPECT_EQ(obex::findHeader(*parsed, obex::kHeaderBody), nullptr);

    QByteArray empty;
    obex::addNameHeader(empty, QString());
    EXPECT_EQ(empty.toHex(), QByteArray("010003"));
    QByteArray tooLong;
    EXPECT_FALSE(obex::addBodyHeader(tooLong, QByteArray(0xFFFD, 'x'), false));
    EXPECT_TRUE(tooLong.isEmpty());
}

TEST(ObexHeaders, MalformedBlocksAreRefused)
{
    for (const char* bytes : {"CB0102", "46", "460002", "4600094D4F424558", "C3", "01"}) {
        SCOPED_TRACE(bytes);
        EXPECT_FALSE(obex::parseHeaders(hex(bytes)));
    }
    EXPECT_TRUE(obex::parseHeaders(QByteArray())->isEmpty());
}

} // namespace
