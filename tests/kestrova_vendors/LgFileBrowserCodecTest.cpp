// The LG file-system frames, reply fields, piece assembly and listings as
// pure functions.
#include "CoreTestSupport.h"

#include "kestrova/vendors/LgFileBrowserFrames.h"
#include "kestrova/vendors/LgFileListing.h"
#include "kestrova/vendors/LgFrames.h"

#include "LgTestBytes.h"
#include <QVariantMap>
#include <gtest/gtest.h>

using namespace kestrova::lg;
using coretest::hex;

namespace {

QByteArray le16(int v)
{
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}

// A file packet reply as the engine sees it: FF, header, status, blocks,
// transfer block, data, 7E.
QByteArray filePacket(const QString& dir, const QString& name, quint32 length, quint32 start, quint16 part,
                      const QByteArray& data)
{
    const QByteArray payload = QByteArray(1, '\0') + *countedBlock(dir) + *countedBlock(name)
                               + transferBlock(length, start, part) + data;
    return QByteArray(1, char(0xFF)) + frame(kFileService, kFileGetFirst, 0, payload) + char(0x7E);
}

QVariantMap file(const char* name, const char* size, const char* created)
{
    return {{"name", name}, {"size", size}, {"modified", created}, {"file-type", 0}};
}

QVariantMap folder(const char* name, const char* created)
{
    return {{"name", name}, {"modified", created}, {"file-type", 1}};
}

QByteArray xmlReply(const QString& xml)
{
    return QByteArray(1, char(0xFF)) + frame(kFileService, kFileFolderListing, 0, QByteArray(1, '\0') + utf16z(xml))
           + char(0x7E);
}

QByteArray rootReply(const QString& text, int statedLength = -1)
{
    const QByteArray units = utf16z(text).chopped(2);
    return QByteArray(1, char(0xFF))
           + frame(kFileService, kFileRootListing, 0,
                   QByteArray(1, '\0') + le16(statedLength < 0 ? int(units.size()) : statedLength) + units)
           + char(0x7E);
}

} // namespace

TEST(LgFileBrowserCodec, PathBlocks)
{
    EXPECT_EQ(*dirAndNameBlocks(QStringLiteral("/Pictures/a.jpg")),
              hex("09") + utf16z("Pictures") + hex("06") + utf16z("a.jpg"));
    // A top-level file: the dir block holds only the terminating zero.
    EXPECT_EQ(*dirAndNameBlocks(QStringLiteral("/a.jpg")), hex("01 00 00 06") + utf16z("a.jpg"));
    EXPECT_EQ(*pathBlock(QStringLiteral("/Pictures/Old")), hex("0D") + utf16z("Pictures/Old"));
    EXPECT_EQ(folderListingBody(QStringLiteral("/Pictures")), hex("09 00") + utf16z("Pictures"));
    // Up to 254 units fit the count byte; one more has no block.
    const QString longest(254, QLatin1Char('x'));
    EXPECT_EQ(quint8(pathBlock(QLatin1Char('/') + longest)->at(0)), 255);
    EXPECT_FALSE(pathBlock(QLatin1Char('/') + longest + QLatin1Char('x')));
    EXPECT_FALSE(dirAndNameBlocks(QStringLiteral("/Pictures/") + longest + QLatin1Char('x')));
    EXPECT_FALSE(dirAndNameBlocks(QLatin1Char('/') + longest + QStringLiteral("x/a.jpg")));
    EXPECT_EQ(transferBlock(0x01020304, 0x0A0B0C0D, 0x0102), hex("04030201 0D0C0B0A 0201 0000"));
}

TEST(LgFileBrowserCodec, FieldReadersAndDataPart)
{
    const QByteArray reply = filePacket("Pictures", "a.jpg", 70000, 12288, 2, "DATA");
    const auto fields = readFilePacketFields(reply);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->fileLength, 70000u);
    EXPECT_EQ(fields->startByte, 12288u);
    EXPECT_EQ(fields->part, 2);
    EXPECT_EQ(fields->headerLength, 11 + 18 + 12 + 13);
    EXPECT_EQ(lgFileBrowserGetLengthField(reply), 70000u);
    EXPECT_EQ(lgFileBrowserGetStartByteField(reply), 12288u);
    EXPECT_EQ(lgFileBrowserGetCurrentPart(reply), 2);
    EXPECT_EQ(getFileDataPartFrom(reply), QByteArray("DATA"));

    // Zero counts, and replies that end inside the header: no fields, no
    // read past the bytes.
    QByteArray noFolder = reply;
    noFolder[10] = '\0';
    EXPECT_FALSE(readFilePacketFields(noFolder));
    EXPECT_EQ(lgFileBrowserGetLengthField(noFolder), 0u);
    for (qsizetype cut = 0; cut < fields->headerLength; ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(readFilePacketFields(reply.left(cut)));
        EXPECT_TRUE(getFileDataPartFrom(reply.left(cut)).isEmpty());
    }
    QByteArray hugeCount = reply;
    hugeCount[10] = char(0xFF);
    EXPECT_FALSE(readFilePacketFields(hugeCount));
    EXPECT_EQ(countFFValues(hex("FF 00 7D 7E 41 FF")), 4);
}

TEST(LgFileBrowserCodec, PiecesAssembleAndRefuseWhatDoesNotFit)
{
    // A packet of 30 bytes (L = 30) in three pieces of 10, 15 and 5 bytes.
    QByteArray first = hex("FF FF 20 A1 00 00 00 1E 00") + QByteArray(1, 'a') + char(0x7E);
    LgPacketPieces pieces;
    EXPECT_EQ(pieces.first(first), LgPacketPieces::Result::More);
    EXPECT_EQ(pieces.stillToReceive(), 21);
    EXPECT_EQ(pieces.next(char(0xFF) + QByteArray(15, 'b') + char(0x7E)), LgPacketPieces::Result::More);
    EXPECT_EQ(pieces.stillToReceive(), 6);
    EXPECT_EQ(pieces.next(char(0xFF) + QByteArray(7, 'c') + char(0x7E)), LgPacketPieces::Result::Bad);
    EXPECT_EQ(pieces.next(char(0xFF) + QByteArray(6, 'c') + char(0x7E)), LgPacketPieces::Result::Whole);

    EXPECT_EQ(pieces.first(hex("FF FF 20 A1 00 00 00 09 00 00 7E")), LgPacketPieces::Result::Whole);
    // More bytes than the stated packet, or no length at all.
    EXPECT_EQ(pieces.first(hex("FF FF 20 A1 00 00 00 08 00 00 7E")), LgPacketPieces::Result::Bad);
    EXPECT_EQ(pieces.first(hex("FF FF 20")), LgPacketPieces::Result::Bad);
    EXPECT_EQ(pieces.next(hex("7E")), LgPacketPieces::Result::Bad);
}

TEST(LgFileBrowserCodec, RootListing)
{
    const auto folders = [](std::initializer_list<const char*> names) {
        QVariantList list;
        for (const char* name : names)
            list.append(QVariantMap{{"name", QString::fromUtf8(name)}, {"file-type", 1}});
        return list;
    };
    EXPECT_EQ(*extractDirectoriesFromData(rootReply("A:x/B:y")), folders({"A", "B"}));
    EXPECT_EQ(*extractDirectoriesFromData(rootReply("A:x/B:y/")), folders({"A", "B", ""}));
    EXPECT_EQ(*extractDirectoriesFromData(rootReply("Bilder:1:2")), folders({"Bilder"}));
    // A length beyond the bytes present reads only what is there.
    EXPECT_EQ(extractDirectoriesFromData(rootReply("A:x/B:y", 0xFFFF))->value(0).toMap().value("name"), "A");
    EXPECT_EQ(extractDirectoriesFromData(rootReply("A:x/B:y", 0xFFFF))->size(), 2);
    // Too short for its header.
    EXPECT_FALSE(extractDirectoriesFromData(hex("FF FF 20 82 00 00 00 09 00 00 7E")));
    EXPECT_TRUE(extractDirectoriesFromData(hex("FF FF 20 82 00 00 00 0A 00 00 00 00")));
}

TEST(LgFileBrowserCodec, XmlListing)
{
    const struct {
        const char* what;
        const char* xml;
        QVariantList expected;
    } cases[] = {
        {"files first, then folders, hidden ones left out",
         "<?xml version=\"1.0\" encoding=\"UTF-16\"?><dir>"
         "<folder name=\"Old\" created=\"20090102T030405\" attr=\"\"/>"
         "<file name=\"a.jpg\" size=\"12\" created=\"20090101T000000\" attr=\"\"/>"
         "<file name=\".thumbs\" size=\"1\" created=\"20090101T000000\" attr=\"HIDDEN\"/>"
         "<folder name=\"sys\" created=\"20090101T000000\" attr=\"HIDDEN\"/>"
         "<file name=\"b &amp; c.mp3\" size=\"7\" created=\"20090101T000001\"/></dir>",
         {file("a.jpg", "12", "20090101T000000"), file("b & c.mp3", "7", "20090101T000001"),
          folder("Old", "20090102T030405")}},
        {"a missing attribute ends the entry",
         "<dir><file name=\"x\" size=\"1\"/><file name=\"y\" created=\"c\"/><folder created=\"d\"/></dir>",
         {QVariantMap(), QVariantMap{{"modified", "c"}, {"name", "y"}}, QVariantMap{{"modified", "d"}}}},
        {"nested elements and names that cannot stand in a path are dropped",
         "<dir><sub><file name=\"deep\" size=\"1\" created=\"c\"/></sub>"
         "<file name=\"a/b\" size=\"1\" created=\"c\"/><folder name=\"ok\" created=\"c\"/></dir>",
         {folder("ok", "c")}},
        {"a document broken midway keeps what came before",
         "<dir><file name=\"a\" size=\"1\" created=\"c\"/><folder name=\"f\" created=\"c\"/><file name=",
         {file("a", "1", "c"), folder("f", "c")}},
        {"no document", "", {}},
        {"not XML", "\x01\x02 garbage", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parseLgDirectoryListingFromXMLString(QString::fromUtf8(c.xml)), c.expected);
        EXPECT_EQ(parseLgDirectoryListingFromXMLString(*getXmlStringFromDirData(xmlReply(QString::fromUtf8(c.xml)))),
                  c.expected);
    }
    EXPECT_FALSE(getXmlStringFromDirData(hex("FF FF 20 A1 00 00 00 0A 00 00 00 7E")));
    EXPECT_EQ(*getXmlStringFromDirData(hex("FF FF 20 A1 00 00 00 0D 00 00 41 00 00 00 7E")), QStringLiteral("A"));
}
