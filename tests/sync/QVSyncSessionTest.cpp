#include "QVSyncSessionTestSupport.h"

#include "syncmodel/QVSyncElem.h"

using namespace syncsessiontest;

namespace {

std::shared_ptr<QVSyncElem> syncSessionTestCard(const QString& name, const QString& uri)
{
    const QString text =
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;Test\r\nTEL;CELL:+4930123\r\nEND:VCARD\r\n").arg(name);
    return QVSyncElem::elemWithData(text, uri, QStringLiteral("Session Plain"), QString(), QString());
}

} // namespace

TEST_F(SyncSessionTest, EachKindOfPhoneIsStartedItsOwnWay)
{
    struct Case {
        Row row;
        int firstCommand; // -1: no OBEX request
        int switches;
        const char* result; // null: still running
    };
    const Case cases[] = {
        {Plain, ObjectPushCommand::kPutSyncMLWBXML, 0, nullptr},
        {SAN, ObjectPushCommand::kPutSyncMLNotification, 0, nullptr},
        {Switch, -1, 1, nullptr},
        {Future, -1, 0, "-1"},
    };
    for (const Case& c : cases) {
        link = ScriptedSyncMLLink();
        job = ScriptedSessionJob();
        start(c.row);
        testing_support::runFor(1.5);
        EXPECT_EQ(link.switches.size(), c.switches) << c.row;
        if (c.firstCommand < 0) {
            EXPECT_TRUE(link.commands.empty()) << c.row;
        } else {
            ASSERT_EQ(link.commands.size(), 1u) << c.row;
            EXPECT_EQ(link.commands[0]->command(), c.firstCommand);
            complete();
            ASSERT_EQ(link.commands.size(), 2u) << c.row;
            EXPECT_EQ(link.commands[1]->command(), ObjectPushCommand::kGetSyncMLWBXML);
        }
        EXPECT_EQ(job.finished, c.result ? QStringList{QLatin1String(c.result)} : QStringList()) << c.row;
    }
}

TEST_F(SyncSessionTest, TheInitiatingMessageCarriesThePhonesPublicIdentifier)
{
    const struct {
        Row row;
        uchar first, second;
    } cases[] = {{Plain, 0xA4, 0x01}, {Series, 0x9F, 0x53}, {Samsung, 0x00, 0x00}};
    for (const auto& c : cases) {
        link = ScriptedSyncMLLink();
        start(c.row);
        ASSERT_EQ(link.commands.size(), 1u);
        const QByteArray& sent = link.commands[0]->dataToSend();
        ASSERT_GT(sent.size(), 3);
        EXPECT_EQ(uchar(sent.at(1)), c.first) << c.row;
        EXPECT_EQ(uchar(sent.at(2)), c.second) << c.row;
        EXPECT_TRUE(decoded(*link.commands[0]).contains(QLatin1String("<Alert>"))) << c.row;
    }
}

TEST_F(SyncSessionTest, ASlowContactsSyncReadsSendsMapsAndStoresTheAnchors)
{
    auto commands = std::make_shared<QVCommandArray>();
    const auto fresh = syncSessionTestCard(QStringLiteral("Fresh"), QStringLiteral("T-1"));
    commands->addObject(fresh, QVCommandArray::kAdd);
    job.commands = commands;
    start(Plain);

    // Package 1: the phone's slow-sync Alert with credentials and its size.
    phoneAnswers(phoneXML(1, alertXML(1, 201) + QStringLiteral("<Final/>"),
                          QStringLiteral("<Cred><Meta><Format xmlns='syncml:metinf'>b64</Format>"
                                         "<Type xmlns='syncml:metinf'>syncml:auth-basic</Type></Meta>"
                                         "<Data>dXNlcjpzZWNyZXQtcGFzcw==</Data></Cred>"
                                         "<Meta><MaxMsgSize xmlns='syncml:metinf'>4000</MaxMsgSize></Meta>")));
    EXPECT_EQ(session->syncMLMaxMsgSize(), 4000);
    auto answer = decodedTree(lastCommand());
    EXPECT_EQ(statusSummary(answer.get()),
              (QStringList{QStringLiteral("SyncHdr:212"), QStringLiteral("Alert:200"), QStringLiteral("Alert 201"),
                           QStringLiteral("Put"), QStringLiteral("Final")}));
    EXPECT_EQ(syncmlreader::findPathText(answer.get(), QStringLiteral("SyncML/SyncBody/Status/Item/Data/Anchor/Next")),
              QString());
    EXPECT_FALSE(namedLogText("XT").contains(QLatin1String("secret-pass")));
    EXPECT_FALSE(namedLogText("SyncML").contains(QLatin1String("secret-pass")));
    // Nor its Base64 form, in the message's text or its bytes.
    ASSERT_TRUE(namedLogText("SyncML").contains(QLatin1String("not shown, it carries credentials")));
    for (const char* log : {"XT", "SyncML"})
        EXPECT_FALSE(namedLogText(log).contains(QLatin1String("dXNlcjpz"))) << log;
    EXPECT_TRUE(namedLogText("XT").contains(QLatin1String("<hidden>")));

    // Package 3: the phone's contacts.
    const QString card = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Phone;Ann\r\nEND:VCARD\r\n");
    phoneAnswers(phoneXML(2,
                          QStringLiteral("<Status><CmdID>1</CmdID><MsgRef>2</MsgRef><CmdRef>0</CmdRef>"
                                         "<Cmd>SyncHdr</Cmd><Data>200</Data></Status>")
                              + syncXML(2,
                                        QStringLiteral("<Add><CmdID>3</CmdID>") + itemXML(QStringLiteral("11"), card)
                                            + QStringLiteral("</Add><Replace><CmdID>4</CmdID>")
                                            + itemXML(QStringLiteral("12"), card) + QStringLiteral("</Replace>"))
                              + QStringLiteral("<Final/>")));
    EXPECT_EQ(job.deliveries, 1);
    ASSERT_EQ(job.delivered.size(), 2);
    EXPECT_EQ(job.delivered[0].toMap().value(QStringLiteral("Action")).toString(), QStringLiteral("Add"));
    EXPECT_EQ(job.delivered[1].toMap().value(QStringLiteral("SourceURI")).toString(), QStringLiteral("12"));
    answer = decodedTree(lastCommand());
    const QStringList summary = statusSummary(answer.get());
    EXPECT_TRUE(summary.contains(QStringLiteral("Add:201")));
    EXPECT_TRUE(summary.contains(QStringLiteral("Replace:200")));
    EXPECT_TRUE(summary.contains(QStringLiteral("Sync")));
    const SyncMLCreatorNode* sync = syncmlreader::findElemPath(answer.get(), QStringLiteral("SyncML/SyncBody/Sync"));
    ASSERT_TRUE(sync);
    const QString temporaryID = syncmlreader::findPathText(sync, QStringLiteral("Add/Item/Source/LocURI"));
    EXPECT_TRUE(temporaryID.startsWith(QLatin1String("T-")));

    // Package 5: the phone maps our new contact to its id; our closing Sync
    // and its answer end the run.
    EXPECT_TRUE(link.devAnchors.isEmpty());
    phoneAnswers(phoneXML(3,
                          QStringLiteral("<Map><CmdID>1</CmdID><Target><LocURI>./contacts</LocURI></Target>"
                                         "<Source><LocURI>Contacts</LocURI></Source><MapItem><Target><LocURI>%1"
                                         "</LocURI></Target><Source><LocURI>77</LocURI></Source></MapItem></Map>"
                                         "<Final/>")
                              .arg(temporaryID)));
    EXPECT_EQ(fresh->sourceURI(), QStringLiteral("77"));
    QStringList closing = statusSummary(decodedTree(lastCommand()).get());
    EXPECT_EQ(closing.mid(0, 2), (QStringList{QStringLiteral("SyncHdr:212"), QStringLiteral("Map:200")}));
    EXPECT_EQ(closing.last(), QStringLiteral("Final"));
    phoneAnswers(phoneXML(4, QStringLiteral("<Final/>")));
    EXPECT_EQ(statusSummary(decodedTree(lastCommand()).get()),
              (QStringList{QStringLiteral("SyncHdr:212"), QStringLiteral("Final")}));
    EXPECT_TRUE(job.finished.isEmpty());
    complete();
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("0")});
    EXPECT_EQ(link.devAnchors.value(0).toString(), QStringLiteral("42"));
    EXPECT_FALSE(link.dzAnchors.value(0).toString().isEmpty());
    EXPECT_EQ(session->syncInfo().value(QStringLiteral("SyncML-DB")).toString(), QStringLiteral("./contacts"));
}

TEST_F(SyncSessionTest, ASyncWithoutFinalAsksForTheNextMessage)
{
    start(Plain);
    phoneAnswers(phoneXML(1, alertXML(1, 201) + QStringLiteral("<Final/>")));
    EXPECT_EQ(session->syncMLMaxMsgSize(), 32000);
    phoneAnswers(phoneXML(2,
                          syncXML(2,
                                  QStringLiteral("<Add><CmdID>3</CmdID>")
                                      + itemXML(QStringLiteral("11"), QStringLiteral("BEGIN:VCARD\r\nEND:VCARD"))
                                      + QStringLiteral("</Add>"))));
    EXPECT_EQ(job.deliveries, 0);
    EXPECT_EQ(statusSummary(decodedTree(lastCommand()).get()),
              (QStringList{QStringLiteral("SyncHdr:200"), QStringLiteral("Sync:200"), QStringLiteral("Add:201"),
                           QStringLiteral("Alert 222")}));
    complete();
    EXPECT_EQ(lastCommand().command(), ObjectPushCommand::kGetSyncMLWBXML);
}

TEST_F(SyncSessionTest, BadAnswersEndTheSessionWithTheirOwnResult)
{
    const QByteArray notSyncML = toWBXML(QByteArrayLiteral("<SyncML xmlns='SYNCML:SYNCML1.2'><SyncHdr><VerDTD>1.2"
                                                           "</VerDTD><MsgID>1</MsgID></SyncHdr><SyncBody/>"
                                                           "<Status/></SyncML>"));
    ASSERT_FALSE(notSyncML.isEmpty());
    const struct {
        int status;
        QByteArray data;
        const char* result;
    } cases[] = {
        {0, QByteArray(), "-9994"},
        {0, QByteArrayLiteral("this is not WBXML at all"), "-9995"},
        {0, notSyncML, "-9996"},
        {-5, QByteArray(), "-5"},
    };
    for (const auto& c : cases) {
        link = ScriptedSyncMLLink();
        job = ScriptedSessionJob();
        start(Plain);
        complete();
        complete(c.status, c.data);
        testing_support::runFor(1.5);
        EXPECT_EQ(job.finished, QStringList{QLatin1String(c.result)}) << c.result;
    }

    // XML without a SyncML element.
    link = ScriptedSyncMLLink();
    job = ScriptedSessionJob();
    start(Plain);
    complete();
    session->examineReturnedData(QByteArrayLiteral("<NotSyncML><SyncHdr/></NotSyncML>"));
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-9996")});

    // A document the encoder refuses.
    link = ScriptedSyncMLLink();
    job = ScriptedSessionJob();
    start(Plain);
    auto broken = SyncMLCreatorNode::document();
    broken->addChild(SyncMLCreatorNode::element(QStringLiteral("No Such Element")));
    EXPECT_EQ(session->sendXMLDocumentWithPutWBXML(*broken, true), -457);
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-457")});
    EXPECT_EQ(session->globalError(), -457);
}

TEST_F(SyncSessionTest, ARequestTheConnectionRefusesEndsTheSession)
{
    link.executeAnswer = -1; // no OBEX session: the request never completes
    start(Plain);
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-1")});
}

TEST_F(SyncSessionTest, AJobCancellingWhileSendingStopsTheSession)
{
    job.cancelWhenSending = true;
    // Something to send, so that the Sending state shows its text.
    job.commands = std::make_shared<QVCommandArray>();
    job.commands->addObject(syncSessionTestCard(QStringLiteral("Fresh"), QStringLiteral("T-1")), QVCommandArray::kAdd);
    start(Plain);
    phoneAnswers(phoneXML(1, alertXML(1, 201) + QStringLiteral("<Final/>")));
    phoneAnswers(phoneXML(2, syncXML(2, QString()) + QStringLiteral("<Final/>")));
    testing_support::runFor(1.5);
    EXPECT_EQ(link.closes, 1);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("214")});
}

TEST_F(SyncSessionTest, AnchorsAreStoredOnlyOnSuccess)
{
    start(Plain);
    phoneAnswers(phoneXML(1, alertXML(1, 201) + QStringLiteral("<Final/>")));
    complete(-7);
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-7")});
    EXPECT_TRUE(link.devAnchors.isEmpty());
    EXPECT_TRUE(link.dzAnchors.isEmpty());
}

TEST_F(SyncSessionTest, ACalendarRunOnATwoCalendarPhoneSendsEventsAndTasksToTheirDatabases)
{
    const auto calendarItem = [](const QString& kind, const QString& uri) {
        return QVSyncElem::elemWithData(QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:%1\r\nSUMMARY:%1 %2\r\n"
                                                       "END:%1\r\nEND:VCALENDAR\r\n")
                                            .arg(kind, uri),
                                        uri, QStringLiteral("Session Two Calendars"), QString(), QString());
    };
    job.commands = std::make_shared<QVCommandArray>();
    job.commands->addObject(calendarItem(QStringLiteral("VEVENT"), QStringLiteral("T-1")), QVCommandArray::kAdd);
    job.tasks = std::make_shared<QVCommandArray>();
    job.tasks->addObject(calendarItem(QStringLiteral("VTODO"), QStringLiteral("T-2")), QVCommandArray::kAdd);
    start(TwoCalendars, 1);
    const QString alert = QStringLiteral("<Alert><CmdID>%1</CmdID><Data>201</Data><Item><Target><LocURI>%2</LocURI>"
                                         "</Target><Source><LocURI>%3</LocURI></Source><Meta><Anchor "
                                         "xmlns='syncml:metinf'><Next>7</Next></Anchor></Meta></Item></Alert>");
    phoneAnswers(phoneXML(1,
                          alert.arg(QStringLiteral("1"), QStringLiteral("Events"), QStringLiteral("./Events"))
                              + alert.arg(QStringLiteral("2"), QStringLiteral("Tasks"), QStringLiteral("./Tasks"))
                              + QStringLiteral("<Final/>")));
    auto answer = decodedTree(lastCommand());
    QStringList alertTargets;
    for (const SyncMLCreatorNode* node : syncmlreader::findElemPath(answer.get(), QStringLiteral("SyncML/SyncBody"))
                                             ->childrenNamed(QStringLiteral("Alert")))
        alertTargets << syncmlreader::findPathText(node, QStringLiteral("Item/Target/LocURI"));
    EXPECT_EQ(alertTargets, (QStringList{QStringLiteral("./Events"), QStringLiteral("./Tasks")}));

    const QString sync = QStringLiteral("<Sync><CmdID>%1</CmdID><Target><LocURI>%2</LocURI></Target><Source><LocURI>"
                                        "%3</LocURI></Source></Sync>");
    phoneAnswers(phoneXML(2,
                          sync.arg(QStringLiteral("1"), QStringLiteral("Events"), QStringLiteral("./Events"))
                              + sync.arg(QStringLiteral("2"), QStringLiteral("Tasks"), QStringLiteral("./Tasks"))
                              + QStringLiteral("<Final/>")));
    answer = decodedTree(lastCommand());
    QStringList sent;
    for (const SyncMLCreatorNode* node : syncmlreader::findElemPath(answer.get(), QStringLiteral("SyncML/SyncBody"))
                                             ->childrenNamed(QStringLiteral("Sync")))
        sent << syncmlreader::findPathText(node, QStringLiteral("Target/LocURI")) + QLatin1Char(':')
                + syncmlreader::findPathText(node, QStringLiteral("Add/Item/Data"))
                      .section(QLatin1Char('\n'), 2, 2)
                      .trimmed();
    EXPECT_EQ(sent, (QStringList{QStringLiteral("./Events:BEGIN:VEVENT"), QStringLiteral("./Tasks:BEGIN:VTODO")}));
}

// ---- Server role ----

class ServerSyncSessionTest : public SyncSessionTest {
protected:
    void startServer()
    {
        link.deviceID = Switch;
        server = QVServerSyncSession::serverSyncSessionWithConnection(link, &job);
        ASSERT_TRUE(server);
        EXPECT_TRUE(server->isServer());
        server->performReadContacts(true);
        testing_support::runFor(0.2);
    }
    // The phone's PUT arrives.
    void phonePuts(const QByteArray& wbxml, int status = 0)
    {
        auto put = ObjectPushCommand::pushCommandWithData(4, QByteArray(), nullptr, nullptr);
        if (!wbxml.isEmpty())
            put->collectDataReceived(wbxml.constData(), wbxml.size());
        server->receivedCommandFromClientFinished(*put);
        (void)status;
    }
};

TEST_F(ServerSyncSessionTest, TheAnswerGoesOutWhenBothThePhonesGetAndTheAnswerAreThere)
{
    startServer();
    EXPECT_EQ(link.switches, QList<int>{0});
    EXPECT_TRUE(link.commands.empty());

    // GET first, answer later.
    server->clientSentGetCommand();
    phonePuts(toWBXML(phoneXML(1, alertXML(1, 201) + QStringLiteral("<Final/>"), QString(), QStringLiteral("1.1")), 1));
    EXPECT_TRUE(link.commands.empty());
    testing_support::runFor(0.5);
    ASSERT_EQ(link.commands.size(), 1u);
    EXPECT_EQ(link.commands[0]->command(), ObjectPushCommand::kServerGetResponse);
    EXPECT_TRUE(link.commands[0]->isServerCommand());
    const QStringList first = statusSummary(decodedTree(*link.commands[0], 1).get());
    EXPECT_TRUE(first.contains(QStringLiteral("Alert 201")));
    // The server role never asks for the phone's device information.
    EXPECT_FALSE(first.contains(QStringLiteral("Get")));
    complete();

    // A second GET without a new answer sends nothing.
    server->clientSentGetCommand();
    testing_support::runFor(0.5);
    EXPECT_EQ(link.commands.size(), 1u);

    // That GET stays open and takes the next answer as soon as it is ready.
    phonePuts(
        toWBXML(phoneXML(2, syncXML(2, QString()) + QStringLiteral("<Final/>"), QString(), QStringLiteral("1.1")), 1));
    testing_support::runFor(0.5);
    EXPECT_EQ(link.commands.size(), 2u);
    EXPECT_TRUE(job.finished.isEmpty());
}

TEST_F(ServerSyncSessionTest, AnAnswerTheConnectionRefusesEndsTheSession)
{
    startServer();
    link.executeAnswer = -1; // the phone's session is gone: the answer can never go out
    server->clientSentGetCommand();
    phonePuts(toWBXML(phoneXML(1, alertXML(1, 201) + QStringLiteral("<Final/>"), QString(), QStringLiteral("1.1")), 1));
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-1")});
}

TEST_F(ServerSyncSessionTest, AFailedPutEndsWithItsStatusAndWhatCameIsNotRead)
{
    startServer();
    auto put = ObjectPushCommand::pushCommandWithData(4, QByteArray(), nullptr, nullptr);
    const QByteArray part =
        toWBXML(phoneXML(1, alertXML(1, 201) + QStringLiteral("<Final/>"), QString(), QStringLiteral("1.1")), 1);
    put->collectDataReceived(part.constData(), part.size() / 2);
    put->finishCommandDelayed(-21878); // the connection ended the phone's PUT with an error
    server->receivedCommandFromClientFinished(*put);
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-21878")});
}

TEST_F(ServerSyncSessionTest, APutWithoutDataEndsTheSessionAsFailed)
{
    startServer();
    phonePuts(QByteArray());
    testing_support::runFor(1.5);
    EXPECT_EQ(job.finished, QStringList{QStringLiteral("-9994")});
}
