#include "SyncMLCreatorTestSupport.h"

#include "TestEnvironment.h"
#include "foundation/NamedLog.h"
#include "sync/WBXMLConverter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

using syncmltest::FakeSyncMLSession;
using syncmltest::textItem;

// The documents the builder makes, as a phone would get them.
std::vector<std::pair<QString, QByteArray>> builderCorpus()
{
    std::vector<std::pair<QString, QByteArray>> corpus;
    {
        FakeSyncMLSession old(QStringLiteral("Protocol Series 40 Test"));
        auto message = old.creator.createNewMessage();
        SyncMLCreatorNode* body = message->find(QStringLiteral("SyncML/SyncBody"));
        body->addChild(old.creator.createSyncHdrAnswerElement(200));
        body->addChild(old.creator.createAlertSyncSlow(0));
        body->addChild(old.creator.createDeviceInfoPut(QStringLiteral("./devinf11"), -1));
        body->addChild(SyncMLCreator::createEmptyElement(QStringLiteral("Final")));
        corpus.emplace_back(QStringLiteral("devinf-1.1"), message->xmlData());
    }
    FakeSyncMLSession session;
    {
        auto message = session.creator.createNewMessage();
        SyncMLCreatorNode* body = message->find(QStringLiteral("SyncML/SyncBody"));
        body->addChild(session.creator.createGetDeviceInfoMessage());
        body->addChild(session.creator.createDeviceInfoResult(QStringLiteral("2"), QStringLiteral("./devinf12"), 0));
        corpus.emplace_back(QStringLiteral("devinf-1.2"), message->xmlData());
    }
    {
        auto message = session.creator.createNewMessage();
        SyncMLCreatorNode* sync =
            message->find(QStringLiteral("SyncML/SyncBody"))->addChild(session.creator.createSyncNothing(1, 0));
        const auto item = textItem(QString(1200, QLatin1Char('k')));
        long chunk = 400;
        sync->addChild(
            session.creator.createPartialAddReplaceCommand(*item, 0, chunk, QStringLiteral("0"), 0, true, 1200));
        corpus.emplace_back(QStringLiteral("chunk"), message->xmlData());
    }
    {
        auto message = session.creator.createNewMessage();
        SyncMLCreatorNode* sync =
            message->find(QStringLiteral("SyncML/SyncBody"))->addChild(session.creator.createSyncNothing(2, 2));
        const auto umlauts = textItem(
            QStringLiteral("BEGIN:VCARD\r\nN:M\u00fcller;J\u00fcrgen\r\nNOTE:\u20ac 5 \u4e2d\r\nEND:VCARD"));
        const auto note = textItem(QStringLiteral("BODY:before ]]> after"));
        sync->addChild(session.creator.createAddReplaceCommand(*umlauts, QStringLiteral("T-0"), 0, true));
        sync->addChild(session.creator.createAddReplaceCommand(*note, QStringLiteral("T-1"), 2, true));
        corpus.emplace_back(QStringLiteral("text"), message->xmlData());
    }
    return corpus;
}

// The element names of an XML text in order (CDATA skipped).
QStringList wbxmlTestElementNames(const QByteArray& xml)
{
    QStringList names;
    qsizetype at = 0;
    while ((at = xml.indexOf('<', at)) >= 0) {
        if (xml.mid(at, 9) == "<![CDATA[") {
            at = xml.indexOf("]]>", at);
            if (at < 0)
                break;
            continue;
        }
        const char next = at + 1 < xml.size() ? xml[at + 1] : '\0';
        ++at;
        if (next == '/' || next == '?' || next == '!')
            continue;
        qsizetype end = at;
        while (end < xml.size() && (QChar::isLetterOrNumber(uchar(xml[end])) || xml[end] == '-'))
            ++end;
        names << QString::fromLatin1(xml.mid(at, end - at));
    }
    return names;
}

class WBXMLConverterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xml2wbxml")).isEmpty())
            GTEST_SKIP() << "libwbxml2-utils not installed";
        folder = testing_support::testHome() + QStringLiteral("/wbxml-tools");
        QDir().mkpath(folder);
    }

    QByteArray runTool(const QString& tool, const QStringList& options, const QByteArray& input)
    {
        const QString in = folder + QStringLiteral("/in");
        const QString out = folder + QStringLiteral("/out");
        QFile::remove(out);
        QFile file(in);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(input);
        file.close();
        QProcess process;
        process.start(tool, options + QStringList{QStringLiteral("-o"), out, in});
        EXPECT_TRUE(process.waitForFinished(30000));
        QFile result(out);
        return result.open(QIODevice::ReadOnly) ? result.readAll() : QByteArray();
    }

    QString folder;
};

TEST_F(WBXMLConverterTest, OurWbxmlIsWhatTheLibrarysToolsMakeAndRead)
{
    const WBXMLConverter& converter = WBXMLConverter::sharedWBXMLConverter();
    for (const auto& [name, xml] : builderCorpus()) {
        const int version = xml.contains("syncml:SYNCML1.1") ? 1 : 2;
        const std::optional<QByteArray> ours = converter.convertToWBXML(xml, version);
        ASSERT_TRUE(ours) << name.toStdString();
        const QByteArray tools = runTool(QStringLiteral("xml2wbxml"), {"-v", "1.2", "-n"}, xml);
        EXPECT_EQ(ours->toHex(), tools.toHex()) << name.toStdString();
        EXPECT_EQ(ours->mid(1, 2).toHex(), version == 1 ? QByteArray("9f53") : QByteArray("a401"))
            << name.toStdString();

        const QByteArray decoded = runTool(QStringLiteral("wbxml2xml"), {}, *ours);
        EXPECT_EQ(wbxmlTestElementNames(decoded), wbxmlTestElementNames(xml)) << name.toStdString();
        const std::optional<QByteArray> back = converter.convertToXMLData(*ours, version);
        ASSERT_TRUE(back) << name.toStdString();
        EXPECT_EQ(wbxmlTestElementNames(*back), wbxmlTestElementNames(xml)) << name.toStdString();
        const std::optional<QString> text = converter.convertToXML(*ours, version);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->toLatin1(), *back);
    }
}

TEST_F(WBXMLConverterTest, NonAsciiTextReachesThePhoneAsItsUtf8Bytes)
{
    const auto corpus = builderCorpus();
    const QByteArray xml = corpus.back().second;
    const std::optional<QByteArray> wbxml = WBXMLConverter::sharedWBXMLConverter().convertToWBXML(xml, 2);
    ASSERT_TRUE(wbxml);
    EXPECT_TRUE(wbxml->contains(QStringLiteral("\r\nN:M\u00fcller;J\u00fcrgen\r\n").toUtf8()));
    EXPECT_TRUE(wbxml->contains(QStringLiteral("\u20ac 5 \u4e2d").toUtf8()));
    // The note's "]]>" travels as its characters, in two pieces of opaque data.
    EXPECT_TRUE(wbxml->contains("BODY:before ]]"));
}

TEST(WBXMLConverter, DamagedMessagesAnswerNothingAndSaySo)
{
    QVLogCreateAndOpen(QString::fromLatin1(qvlog::kXT));
    FakeSyncMLSession session;
    const std::optional<QByteArray> whole = WBXMLConverter::sharedWBXMLConverter().convertToWBXML(
        session.creator.createNewMessage()->xmlData(), 2);
    ASSERT_TRUE(whole);
    const QByteArray damaged[] = {
        QByteArray(),
        whole->left(whole->size() / 2),
        QByteArray("\x02\xa4\x01\x6a\x00\x6d\x6c\xff\xff\xff\xff\x0f", 12),
        QByteArray(5000, '\xc3'),
    };
    for (const QByteArray& bytes : damaged) {
        EXPECT_FALSE(WBXMLConverter::sharedWBXMLConverter().convertToXML(bytes, 2))
            << bytes.left(16).toHex().constData();
        EXPECT_FALSE(WBXMLConverter::sharedWBXMLConverter().convertToXMLData(bytes, 1));
    }
    EXPECT_FALSE(WBXMLConverter::sharedWBXMLConverter().convertToWBXML("<SyncML><SyncBody>", 2));
    EXPECT_TRUE(syncmltest::syncMLLogText(qvlog::kXT).contains(QStringLiteral("wbxml2xml failed")));
    EXPECT_TRUE(syncmltest::syncMLLogText(qvlog::kXT).contains(QStringLiteral("xml2wbxml failed")));
}

} // namespace
