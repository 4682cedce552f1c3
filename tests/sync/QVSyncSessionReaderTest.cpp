#include "QVSyncSessionTestSupport.h"

using namespace syncsessiontest;

namespace {

class SyncMessageReaderTest : public SyncSessionTest {
protected:
    // The session's answer to one phone message (read as XML).
    QStringList answerTo(const QString& body, int msgID = 1)
    {
        const size_t before = link.commands.size();
        session->examineReturnedData(phoneXML(msgID, body));
        testing_support::runFor(0.2);
        if (link.commands.size() == before)
            return {};
        const QStringList answer = statusSummary(decodedTree(lastCommand()).get());
        // The PUT of the answer is done before the phone's next message.
        if (lastCommand().command() == ObjectPushCommand::kPutSyncMLWBXML)
            complete();
        return answer;
    }
    QStringList itemURIs() const
    {
        QStringList uris;
        for (const QVariant& item : session->items())
            uris << item.toMap().value(QStringLiteral("SourceURI")).toString();
        return uris;
    }
    QString itemText(int index) const
    {
        return session->items().value(index).toMap().value(QStringLiteral("vx-Data")).toString();
    }
    static QString add(const QString& items)
    {
        return QStringLiteral("<Add><CmdID>3</CmdID>") + items + QStringLiteral("</Add>");
    }
};

} // namespace

TEST_F(SyncMessageReaderTest, StatusCodesOfRememberedCommands)
{
    const struct {
        const char* code;
        int globalError;
    } cases[] = {{"200", 0}, {"415", 0}, {"508", 0}, {"500", 500}, {"404", 404}, {"junk", -1}};
    for (const auto& c : cases) {
        link = ScriptedSyncMLLink();
        job = ScriptedSessionJob();
        start(Plain);
        session->rememberCommandForStatus(QStringLiteral("9"), QStringLiteral("Sync"));
        const int pending = session->pendingStatusAnswers();
        answerTo(QStringLiteral("<Status><CmdID>1</CmdID><MsgRef>1</MsgRef><CmdRef>9</CmdRef><Cmd>Sync</Cmd>"
                                "<SourceRef>x</SourceRef><Data>%1</Data></Status>")
                     .arg(QLatin1String(c.code)));
        EXPECT_EQ(session->globalError(), c.globalError) << c.code;
        EXPECT_EQ(session->pendingStatusAnswers(), pending - 1) << c.code;
        if (QByteArray(c.code) == "415") {
            EXPECT_TRUE(namedLogText("SyncML").contains(QLatin1String("### Status = 415 for = Sync")));
        }
    }
}

TEST_F(SyncMessageReaderTest, ItemStatusesGoToTheStatusArray)
{
    start(Plain);
    // A message of answers only, without Final: the phone's package goes on,
    // so it is asked for the rest instead of the session ending.
    EXPECT_EQ(answerTo(QStringLiteral("<Status><CmdID>1</CmdID><MsgRef>1</MsgRef><CmdRef>4</CmdRef><Cmd>Add</Cmd>"
                                      "<SourceRef>T-2</SourceRef><Data>418</Data></Status>"
                                      "<Status><CmdID>2</CmdID><Cmd>Add</Cmd><Data>200</Data></Status>")),
              (QStringList{QStringLiteral("SyncHdr:200"), QStringLiteral("Alert 222")}));
    EXPECT_FALSE(session->isFinished());
    ASSERT_EQ(session->statusArray().size(), 1);
    EXPECT_EQ(session->statusArray()[0].toMap().value(QStringLiteral("Status")).toString(), QStringLiteral("418"));
    EXPECT_EQ(session->globalError(), 0);
}

TEST_F(SyncMessageReaderTest, AlertsAreAnsweredAsSlowSyncs)
{
    const struct {
        int code;
        const char* status;
        bool ourAlert;
    } cases[] = {{201, "Alert:200", true}, {200, "Alert:508", true}, {203, "Alert:508", false}};
    for (const auto& c : cases) {
        link = ScriptedSyncMLLink();
        start(Plain);
        const QStringList answer = answerTo(alertXML(1, c.code));
        EXPECT_TRUE(answer.contains(QLatin1String(c.status))) << c.code << answer.join(u' ').toStdString();
        EXPECT_EQ(answer.contains(QStringLiteral("Alert 201")), c.ourAlert) << c.code;
        EXPECT_FALSE(answer.contains(QStringLiteral("Alert 200")));
        if (c.ourAlert) {
            EXPECT_FALSE(isFast(session->syncInfo()));
        }
        EXPECT_EQ(session->nextAnchor(), QStringLiteral("42"));
    }
}

TEST_F(SyncMessageReaderTest, GetOfTheDeviceInformationIsAnsweredWithResults)
{
    start(Plain);
    EXPECT_EQ(answerTo(QStringLiteral("<Get><CmdID>2</CmdID><Item><Target><LocURI>./devinf12</LocURI></Target>"
                                      "</Item></Get><Final/>")),
              (QStringList{QStringLiteral("SyncHdr:200"), QStringLiteral("Get:200"), QStringLiteral("Results"),
                           QStringLiteral("Final")}));
    EXPECT_TRUE(session->hasSentDeviceInfo());
    // A message without Final: its package goes on.
    EXPECT_EQ(answerTo(QStringLiteral("<Get><CmdID>3</CmdID><Item><Target><LocURI>./secrets</LocURI></Target>"
                                      "</Item></Get>"),
                       2),
              (QStringList{QStringLiteral("SyncHdr:200"), QStringLiteral("Get:400"), QStringLiteral("Alert 222")}));
}

TEST_F(SyncMessageReaderTest, ChunkedItemsJoinOnTheLastChunkOnlyWithTheSameId)
{
    start(Plain);
    QStringList answer = answerTo(
        syncXML(2,
                add(itemXML(QStringLiteral("T-3"), QStringLiteral("BEGIN:VCARD\r\nN:Lo"), true)
                    + itemXML(QStringLiteral("T-3"), QStringLiteral("ng;Name\r\nEND:VCARD\r\n")))));
    EXPECT_EQ(answer.mid(2, 2), (QStringList{QStringLiteral("Add:213"), QStringLiteral("Add:201")}));
    ASSERT_EQ(itemURIs(), QStringList{QStringLiteral("T-3")});
    EXPECT_EQ(itemText(0), QStringLiteral("BEGIN:VCARD\r\nN:Long;Name\r\nEND:VCARD\r\n"));

    // A chunk sequence interrupted by another item: the first is dropped.
    // Ids that are not numbers never count as the same item.
    answerTo(syncXML(3,
                     add(itemXML(QStringLiteral("T-4"), QStringLiteral("first half"), true)
                         + itemXML(QStringLiteral("a/b"), QStringLiteral("whole")))),
             2);
    EXPECT_EQ(itemURIs(), (QStringList{QStringLiteral("T-3"), QStringLiteral("a/b")}));
    EXPECT_EQ(itemText(1), QStringLiteral("whole"));
    EXPECT_TRUE(namedLogText("SyncML").contains(QLatin1String("but next record is #a/b, ignoring first one")));

    // Equal numbers in the same spelling still join.
    answerTo(syncXML(4,
                     add(itemXML(QStringLiteral("15"), QStringLiteral("A"), true)
                         + itemXML(QStringLiteral("15"), QStringLiteral("B")))),
             3);
    EXPECT_EQ(itemText(2), QStringLiteral("AB"));
}

TEST_F(SyncMessageReaderTest, ChunksBeyondTheAnnouncedSizeDropTheRecordAndTheSessionGoesOn)
{
    start(Plain);
    const QString meta = QStringLiteral("<Meta><Size xmlns='syncml:metinf'>10</Size></Meta>");
    const QString big(QVSyncSession::kChunkMargin + 100, QLatin1Char('x'));
    answerTo(
        syncXML(2,
                add(itemXML(QStringLiteral("20"), QStringLiteral("12345"), true, meta)
                    + itemXML(QStringLiteral("20"), big, true) + itemXML(QStringLiteral("20"), QStringLiteral("tail"))
                    + itemXML(QStringLiteral("21"), QStringLiteral("next")))));
    EXPECT_EQ(itemURIs(), QStringList{QStringLiteral("21")});
    EXPECT_TRUE(namedLogText("SyncML").contains(QLatin1String("#### Record #20 grew past")));
    EXPECT_EQ(session->globalError(), 0);
    EXPECT_TRUE(job.finished.isEmpty());
}

TEST_F(SyncMessageReaderTest, AddReplaceAndDeleteRecordsAndTheirAnswers)
{
    start(NoPhoto);
    const QString card = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Pic;Ann\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:"
                                        "/9j/4AAQ\r\n AAAA\r\n\r\nTEL:123\r\nEND:VCARD\r\n");
    const QStringList answer = answerTo(
        syncXML(2,
                add(itemXML(QStringLiteral("1"), card)) + QStringLiteral("<Replace><CmdID>4</CmdID>")
                    + itemXML(QStringLiteral("2"), card)
                    + QStringLiteral("</Replace><Delete><CmdID>5</CmdID><Item><Source><LocURI>3</LocURI>"
                                     "</Source></Item></Delete>")));
    EXPECT_EQ(answer,
              (QStringList{QStringLiteral("SyncHdr:200"), QStringLiteral("Sync:200"), QStringLiteral("Add:201"),
                           QStringLiteral("Replace:200"), QStringLiteral("Delete:200"), QStringLiteral("Alert 222")}));
    ASSERT_EQ(session->items().size(), 3);
    EXPECT_FALSE(itemText(0).contains(QLatin1String("PHOTO")));
    EXPECT_FALSE(itemText(0).contains(QLatin1String("4AAQ")));
    EXPECT_TRUE(itemText(0).contains(QLatin1String("TEL:123")));
    EXPECT_EQ(session->items()[2].toMap().value(QStringLiteral("Action")).toString(), QStringLiteral("Delete"));
}

TEST_F(SyncMessageReaderTest, ATopLevelElementOtherThanHeaderAndBodyEndsTheSession)
{
    start(Plain);
    session->examineReturnedData(QByteArrayLiteral("<SyncML><SyncHdr><MsgID>1</MsgID></SyncHdr><Surprise/>"
                                                   "<SyncBody><Final/></SyncBody></SyncML>"));
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-9996")});
    EXPECT_TRUE(namedLogText("SyncML").contains(QLatin1String("### Can't handle 'Surprise' message")));
}

TEST_F(SyncMessageReaderTest, AnSMSMessageWithAnUnclosedSectionEndsAsNotXML)
{
    start(Plain, 4);
    QByteArray xml = phoneXML(1, QStringLiteral("<Final/>"));
    xml.insert(xml.indexOf("<Final/>"), QByteArray("<![CDATA[\0A\0B", 13));
    session->examineReturnedData(xml);
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-9995")});
}

TEST(SyncMLReaderRepairs, MixedEncodingsAndLatinBytesBecomeUTF8)
{
    using syncmlreader::fixMixedEncoding;
    const struct {
        QByteArray in;
        QString out;
    } cases[] = {
        {QByteArray("<a>\xB1</a>"), QStringLiteral("<a>\u0105</a>")},
        {QByteArray("<![CDATA[\0A\0B]]>", 16), QStringLiteral("<![CDATA[AB]]>")},
        {QByteArray("<![CDATA[A\0B\0]]>", 16), QStringLiteral("<![CDATA[AB]]>")},
        {QByteArray("<![CDATA[AB]]>"), QStringLiteral("<![CDATA[AB]]>")},
        {QByteArray("<![CDATA[\0A\0B", 13), QString::fromLatin1("<![CDATA[\0A\0B", 13)},
        {QByteArray("![CDATA[![CDATA[![CDATA["), QStringLiteral("![CDATA[![CDATA[![CDATA[")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QString::fromUtf8(fixMixedEncoding(c.in)), c.out) << c.in.toHex().toStdString();

    EXPECT_EQ(syncmlreader::fixXMLData(QByteArray("a\xE9z")), QByteArray("a\xC3\xA9z"));
}

TEST(SyncMLReaderRepairs, DeepOrBrokenTreesAreRefused)
{
    QByteArray deep;
    for (int i = 0; i < 200; ++i)
        deep += "<a>";
    EXPECT_FALSE(syncmlreader::parseXML(deep));
    EXPECT_FALSE(syncmlreader::parseXML(QByteArrayLiteral("<a><b></a>")));
    EXPECT_FALSE(syncmlreader::parseXML(QByteArray()));
    const auto tree = syncmlreader::parseXML(QByteArrayLiteral("<a>\n  <b> x </b><c/></a>"));
    ASSERT_TRUE(tree);
    EXPECT_EQ(syncmlreader::findPathText(tree.get(), QStringLiteral("a/b")), QStringLiteral(" x "));
    EXPECT_EQ(syncmlreader::findPathText(tree.get(), QStringLiteral("a/c")), QStringLiteral(""));
    EXPECT_TRUE(syncmlreader::findPathText(tree.get(), QStringLiteral("a/d")).isNull());
}

TEST(SyncMLMessageRecords, PerformAndAssignmentRecordsRunOnTheirAnswer)
{
    int performed = 0;
    auto perform = SyncMLMessage::messagePerformCommand(
        SyncMLCreatorNode::element(QStringLiteral("Get")), [&](SyncMLMessage&) { ++performed; }, QStringLiteral("p"));
    const auto answer = syncmlreader::parseXML(QByteArrayLiteral("<Results><Item><Data>v1</Data></Item></Results>"));
    ASSERT_TRUE(answer);
    const SyncMLCreatorNode& results = *answer->child(QStringLiteral("Results"));
    EXPECT_EQ(perform->execute(results), 200);
    EXPECT_EQ(performed, 1);
    EXPECT_EQ(perform->actionParam().toString(), QStringLiteral("p"));

    QString variable;
    auto assign = SyncMLMessage::messageAssignment(SyncMLCreatorNode::element(QStringLiteral("Get")), &variable,
                                                   QStringLiteral("Item/Data"));
    EXPECT_EQ(assign->execute(results), 200);
    EXPECT_EQ(variable, QStringLiteral("v1"));
    assign->setRefon(7);
    EXPECT_EQ(assign->refCon().toInt(), 7);
    EXPECT_EQ(SyncMLMessage::messageNopCommand(nullptr)->execute(results), 200);
}
