// The AT engine: its delivery forms and helpers, the reply parsers, and the
// SMS operations over a recording transport.
#include "EngineTestSupport.h"

#include "platform/UserDefaults.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace coretest;
using namespace kestrova::core;
using testing_support::runUntil;

namespace {

const QString kOkReply = QStringLiteral("\r\nOK\r\n");

platform::Notification queueResult(const QString& signal, const SLTInvocationPtr& stage, QVariantMap extra)
{
    extra.insert(k(kSLTCommDeviceCommandInfo), QVariant::fromValue(stage));
    extra.insert(k(kSLTCommDeviceCommandCallbackSignal), signal);
    return {signal, nullptr, extra};
}

int lastReference()
{
    return platform::UserDefaults::standard().integer(QStringLiteral("lastMessageReference"));
}

} // namespace

TEST(CommDeviceDelivery, ResultsAndErrorKindsReachTheStage)
{
    struct Case {
        const char* what;
        QVariantMap queued;
        QVariant result;
        QVariantMap delivered;
    };
    const QString step = QStringLiteral("SLTCommDeviceGetImsi");
    const auto kind = [&](const char* name) {
        return QVariantMap{{k(name), k(name)}, {k(kSLTCommDeviceCommandStep), step}};
    };
    const Case cases[] = {
        {"parsed reply", {{k(kSLTCommDeviceCommandQueueCommandResult), kOkReply}}, QStringLiteral("ok"),
         {{k(kSLTCommDeviceReturnValue), QStringLiteral("ok")}}},
        {"unparsable reply", {{k(kSLTCommDeviceCommandQueueCommandResult), kOkReply}}, QVariant(),
         kind(kSLTCommDeviceCommandReturnedError)},
        {"link error", {{k(kSLTCommDeviceCommandQueueConnectionError), k(kSLTCommDeviceCommandQueueConnectionError)}},
         QVariant(), kind(kSLTCommDeviceConnectionError)},
        {"command error", {{k(kSLTCommDeviceCommandQueueCommandError), k(kSLTCommDeviceCommandQueueCommandError)}},
         QVariant(), kind(kSLTCommDeviceCommandReturnedError)},
        {"time-out", {{k(kSLTCommDeviceCommandQueueTimeout), k(kSLTCommDeviceCommandQueueTimeout)}}, QVariant(),
         kind(kSLTCommDeviceCommandQueueTimeout)},
        {"LG port conflict", {{k(kSLTCommDeviceCommandQueueLgAppConflict), k(kSLTCommDeviceCommandQueueLgAppConflict)}},
         QVariant(), {}},
    };
    SLTCommDevice engine;
    for (const Case& c : cases) {
        StageRecorder stage;
        engine.returnResult(c.result, queueResult(step, stage.stage, c.queued));
        ASSERT_EQ(stage.received.size(), 1) << c.what;
        EXPECT_EQ(stage.received.first().name, step) << c.what;
        EXPECT_EQ(stage.received.first().sender, &engine) << c.what;
        EXPECT_EQ(stage.received.first().userInfo, c.delivered) << c.what;
    }

    // A stage whose target is gone, or a notification without a stage, gets
    // nothing and nothing breaks.
    StageRecorder gone;
    const SLTInvocationPtr orphan = gone.stage;
    gone.alive.reset();
    engine.returnResult(QStringLiteral("ok"), queueResult(step, orphan, {{k(kSLTCommDeviceCommandQueueCommandResult), kOkReply}}));
    EXPECT_TRUE(gone.received.isEmpty());
    KitLogCapture log;
    engine.returnResult(QStringLiteral("ok"), platform::Notification{step, nullptr, {}});
    EXPECT_TRUE(log.contains(QStringLiteral("SLTCommDevice returnResult: missing signalName or invocation")));
}

TEST(CommDeviceDelivery, ProgressAndCommandFormMoveTheirKeys)
{
    SLTCommDevice engine;
    StageRecorder stage;
    const QVariantMap command{{k(kSLTCommDeviceCommandInfo), QVariant::fromValue(stage.stage)},
                              {k(kSLTCommDeviceCommandCallbackSignal), QStringLiteral("lgStep")}};
    engine.returnProgressforCommandRequest(command, 1, 3);
    QVariantMap ok = command;
    ok.insert(k(kSLTCommDeviceCommandQueueCommandResult), QStringLiteral("reply"));
    engine.returnOkResultforCommandRequest(ok);
    engine.returnResultforCommandRequest(command);

    ASSERT_EQ(stage.commands.size(), 3);
    EXPECT_EQ(stage.commands[0].value(k(kSLTCommDeviceReturnValue)), QVariant(33.0));
    EXPECT_EQ(stage.commands[0].value(k(kSLTCommDeviceCommandStep)).toString(), QStringLiteral("progress"));
    EXPECT_EQ(stage.commands[1].value(k(kSLTCommDeviceReturnValue)).toString(), QStringLiteral("reply"));
    EXPECT_EQ(stage.commands[1].value(k(kSLTCommDeviceCommandStep)).toString(), QStringLiteral("lgStep"));
    EXPECT_FALSE(stage.commands[1].contains(k(kSLTCommDeviceCommandQueueCommandResult)));
    EXPECT_FALSE(stage.commands[2].contains(k(kSLTCommDeviceReturnValue)));
    EXPECT_FALSE(stage.commands[2].contains(k(kSLTCommDeviceCommandCallbackSignal)));
}

TEST(CommDeviceHelpers, CharacterSetsQuotesAndPacketSizes)
{
    SLTCommDevice se;
    se.setFamily(QStringLiteral("se"));
    SLTCommDevice lg;
    lg.setFamily(QStringLiteral("lg"));
    struct Case {
        const SLTCommDevice* engine;
        const char* current;
        const char* wanted;
        const char* sent;
    };
    const Case cases[] = {
        {&se, "UCS2", "UTF8", "0055005400460038"},
        {&se, "UCS2", "UCS2", "0055004300530032"},
        {&se, "UCS2", "UTF-8", "005500540046002D0038"},
        {&se, "UCS2", "8859-1", "00470053004D"},
        {&se, "GSM", "UTF8", "UTF8"},
        {&lg, "UCS2", "UTF8", "UTF8"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.engine->getEncodedStringForEncoding(QLatin1String(c.current), QLatin1String(c.wanted)),
                  QLatin1String(c.sent))
            << c.current << " " << c.wanted;

    EXPECT_EQ(SLTCommDevice::stripQuotationMarks(QStringLiteral("+CSCS: \"UCS2\"")), QStringLiteral("UCS2"));
    EXPECT_EQ(SLTCommDevice::stripQuotationMarks(QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(SLTCommDevice::stripQuotationMarks(QStringLiteral("a\"b")), QStringLiteral("a"));
    EXPECT_EQ(SLTCommDevice::parseCurrentTerminalEncoding(QStringLiteral("+CSCS: \"0055004300530032\"")),
              QStringLiteral("UCS2"));
    EXPECT_EQ(SLTCommDevice::parseCurrentTerminalEncoding(QStringLiteral("+CSCS: \"GSM\"")), QStringLiteral("GSM"));
    EXPECT_EQ(SLTCommDevice::parseCurrentTerminalEncoding(QStringLiteral("+CSCS: \"IRA\"")), QStringLiteral("ASCII"));

    se.setCurrentEncoding(QStringLiteral("UCS2"));
    EXPECT_EQ(se.convertToCurrentEncoding(QStringLiteral("Ab")), QStringLiteral("00410062"));
    EXPECT_EQ(se.convertToNSStringEncoding(QStringLiteral("00410062")), QStringLiteral("Ab"));

    SLTCommDevice lg3;
    EXPECT_EQ(lg3.maxDataPacketSize(), 12288);
    EXPECT_EQ(lg3.maxTransportPacketSize(), 637);
    lg3.setFamily(QStringLiteral("lg3"));
    EXPECT_EQ(lg3.maxDataPacketSize(), 7495);
    EXPECT_EQ(lg3.maxTransportPacketSize(), 3897);
}

TEST(CommDeviceControl, CloseStaysOpenOnlyForABluetoothLinkToKeep)
{
    FakeEngine engine;
    engine.setType(kDeviceTypeBluetooth);
    engine.setStayConnected(true);
    engine.close();
    EXPECT_TRUE(engine.queue().commands().isEmpty());
    engine.setType(kDeviceTypeSerial);
    engine.close(QStringLiteral("closed"));
    ASSERT_EQ(engine.queue().commands().size(), 1);
    EXPECT_EQ(engine.queue().commands().first().value(k(kSLTCommDeviceRequestFinishedSignal)).toString(),
              QStringLiteral("closed"));
}

TEST(CommDeviceControl, FinishedQueueIsPostedOnceTheQueueRunsEmpty)
{
    FakeEngine engine;
    EXPECT_FALSE(engine.notFinishedYet());
    int finished = 0;
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        nullptr, k(kSLTCommDeviceFinishedQueue), &engine, [&](const platform::Notification&) { ++finished; });
    StageRecorder stage;
    engine.getImsi(stage.stage);
    // The link's set-up commands are answered; the query waits.
    int answered = 0;
    ASSERT_TRUE(runUntil([&] {
        FakeCommDevice* fake = engine.fake();
        if (fake && fake->sentTexts.size() > answered && fake->sentTexts.at(answered) != QLatin1String("AT+CIMI\r")) {
            ++answered;
            fake->reply("\r\nOK\r\n");
        }
        return fake && fake->sentTexts.contains(QStringLiteral("AT+CIMI\r"));
    }));
    EXPECT_TRUE(engine.notFinishedYet());
    engine.fake()->reply("\r\n262011234567890\r\n\r\nOK\r\n");
    EXPECT_TRUE(runUntil([&] { return finished > 0; }));
    platform::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(finished, 1);
    ASSERT_EQ(stage.received.size(), 1);
    EXPECT_EQ(stage.received.first().userInfo.value(k(kSLTCommDeviceReturnValue)).toString(),
              QStringLiteral("262011234567890"));
}

TEST(CommDeviceParsers, SimAndStorageReplies)
{
    EXPECT_EQ(SLTCommDevice::parseImsi(QStringLiteral("\r\n262011234567890\r\n\r\nOK\r\n")),
              QStringLiteral("262011234567890"));
    EXPECT_EQ(SLTCommDevice::parseImsi(QStringLiteral("\r\nIMSI 262011234567890\r\n\r\nOK\r\n")),
              QStringLiteral("262011234567890"));
    EXPECT_EQ(SLTCommDevice::parseImsi(QStringLiteral("\r\n26201\r\r\n\r\nOK")), QStringLiteral("26201"));
    EXPECT_EQ(SLTCommDevice::parseImsi(QStringLiteral("\r\nOK\r\n")), QString());

    struct Centre {
        const char* reply;
        std::optional<QString> number;
    };
    const Centre centres[] = {
        {"\r\n+CSCA: \"491710760000\",145\r\n\r\nOK\r\n", QStringLiteral("+491710760000")},
        {"\r\n+CSCA: \"+491710760000\",145\r\n\r\nOK\r\n", QStringLiteral("+491710760000")},
        {"\r\n+CSCA: \"0171076\",129\r\n\r\nOK\r\n", QStringLiteral("0171076")},
        {"\r\n+CSCA: 0171076,145\r\n\r\nOK\r\n", std::nullopt},
    };
    for (const Centre& c : centres)
        EXPECT_EQ(SLTCommDevice::parseSmscAddress(QLatin1String(c.reply)), c.number) << c.reply;

    struct Storages {
        const char* reply;
        const char* family;
        std::optional<QString> command;
    };
    const Storages storages[] = {
        {"\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")\r\n\r\nOK\r\n", "se",
         QStringLiteral("AT+CPMS=\"ME\",\"ME\",\"ME\"\r")},
        {"\r\n+CPMS: (\"SM\"),(\"SM\"),(\"SM\")\r\n\r\nOK\r\n", "se", QStringLiteral("AT+CPMS=\"SM\",\"SM\",\"SM\"\r")},
        {"\r\n+CPMS: (\"MT\",\"SM\"),(\"DM\"),(\"IM\",\"MT\")\r\n\r\nOK\r\n", "se",
         QStringLiteral("AT+CPMS=\"MT\",\"DM\",\"IM\"\r")},
        {"\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\")\r\n\r\nOK\r\n", "samsung", QStringLiteral("AT+CPMS=\"ME\",\"SM\",\"SM\"\r")},
        {"\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\")\r\n\r\nOK\r\n", "se", std::nullopt},
        {"\r\nOK\r\n", "se", std::nullopt},
    };
    for (const Storages& c : storages)
        EXPECT_EQ(SLTCommDevice::parsePduMemoriesFrom(QLatin1String(c.reply), QLatin1String(c.family)), c.command)
            << c.reply;

    EXPECT_EQ(SLTCommDevice::parseReadingPduMemoriesFrom(
                  QStringLiteral("\r\n+CPMS: (\"SM\",\"ME\",\"MT\"),(\"SM\"),(\"SM\")\r\n\r\nOK\r\n")),
              (QStringList{QStringLiteral("SM"), QStringLiteral("ME")}));
    EXPECT_EQ(SLTCommDevice::parseReadingPduMemoriesFrom(QStringLiteral("\r\n+cpms: (\"MT\"),(),()\r\n\r\nOK\r\n")),
              QStringList{QStringLiteral("MT")});
    EXPECT_FALSE(SLTCommDevice::parseReadingPduMemoriesFrom(QStringLiteral("\r\n+CPMS: (),(),()\r\n\r\nOK\r\n")));
    EXPECT_FALSE(SLTCommDevice::parseReadingPduMemoriesFrom(QStringLiteral("\r\nOK\r\n")));

    const QString usage = QStringLiteral("\r\n+CPMS: \"SM\",3,20,\"ME\",5,100,\"MT\",8,120\r\n\r\nOK\r\n");
    const QVariantMap sim{{QStringLiteral("ist"), 3}, {QStringLiteral("max"), 20}, {QStringLiteral("free"), 17},
                          {QStringLiteral("type"), QStringLiteral("sim")}};
    const QVariantMap device{{QStringLiteral("ist"), 5}, {QStringLiteral("max"), 100}, {QStringLiteral("free"), 95},
                             {QStringLiteral("type"), QStringLiteral("device")}};
    EXPECT_EQ(SLTCommDevice::parseFreeMemory(usage, QStringLiteral("se")), (QVariantList{sim, device}));
    EXPECT_EQ(SLTCommDevice::parseFreeMemory(usage, QStringLiteral("motorola")), QVariantList{device});
    const QVariantMap mt{{QStringLiteral("ist"), 8}, {QStringLiteral("max"), 120}, {QStringLiteral("free"), 112},
                         {QStringLiteral("type"), QStringLiteral("device")}};
    EXPECT_EQ(SLTCommDevice::parseFreeMemory(QStringLiteral("\r\n+CPMS: \"SM\",3,20,\"MT\",8,120,\"SM\",3,20\r\n\r\nOK\r\n"),
                                             QStringLiteral("se")),
              (QVariantList{sim, mt}));
    EXPECT_FALSE(SLTCommDevice::parseFreeMemory(QStringLiteral("\r\n+CPMS: \"SM\",3,20\r\n\r\nOK\r\n"),
                                                QStringLiteral("se")));

    EXPECT_EQ(SLTCommDevice::parseMR(QStringLiteral("\r\n+CMGW: 7\r\n\r\nOK\r\n")), QStringLiteral("7"));
    EXPECT_EQ(SLTCommDevice::parseMR(QStringLiteral("\r\nOK\r\n")), QString());
}

TEST(CommDeviceParsers, ListingKeepsGoodEntriesAndSkipsBrokenOnes)
{
    KitLogCapture log;
    SLTCommDevice engine;
    const QString pduText = QStringLiteral("07919471010670F004039121F300006221012143000002C834");
    const QString listing = QStringLiteral("\r\n+CMGL: 3,1,,17\r\n") + pduText
                            + QStringLiteral("\r\n+CMGL:4,1,,17\r\n\r\n") + pduText   // no blank: after the colon
                            + QStringLiteral("\r\n+CMGL: x,1,,17\r\n") + pduText          // index not a number
                            + QStringLiteral("\r\n+CMGL: 6,1,,17\r\n0791\r\n")             // PDU too short
                            + QStringLiteral("\r\n+CMGL: 7,1,,17\r\n") + pduText + QStringLiteral("\r\n\r\nOK\r\n")
                            + QStringLiteral("+CMGL: 9,1,,17\r\n") + pduText;                // after OK
    engine.getMessagesParseBuffer(listing, 1, QStringLiteral("SM"));
    const SLTPduListPtr list = engine.messageList(0);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->state(), 0);
    QList<unsigned> indexes;
    for (const auto& item : list->liste()) {
        indexes.append(item->getStorageIndex());
        EXPECT_EQ(item->getMemory(), QStringLiteral("SM"));
        EXPECT_EQ(item->getStatus(), 1);
    }
    EXPECT_EQ(indexes, (QList<unsigned>{3, 4, 7}));
    EXPECT_EQ(log.lines().count(QStringLiteral("#\n#ParseError pduData\n#\n")), 2);

    engine.getMessagesParseBuffer(listing, 4, QStringLiteral("SM"));
    engine.getMessagesParseBuffer(listing, 3, QString());
    EXPECT_FALSE(engine.messageList(3));
}

TEST(CommDeviceSms, SendingCountsTheMessageReferenceAndPausesBetweenParts)
{
    auto& defaults = platform::UserDefaults::standard();
    defaults.setObject(QStringLiteral("lastMessageReference"), 254);
    FakeEngine engine;
    engine.setFamily(QStringLiteral("se"));
    StageRecorder stage;
    QList<double> pduTimes;
    const auto phone = [&](const QString& text) -> QByteArray {
        if (text == QLatin1String("AT+CPMS=?\r"))
            return "\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")\r\n\r\nOK\r\n";
        if (text.startsWith(QLatin1String("AT+CMGS=")))
            return "\r\n> ";
        if (text.endsWith(QChar(0x1A))) {
            pduTimes.append(now());
            return "\r\n+CMGS: 1\r\n\r\nOK\r\n";
        }
        return "\r\nOK\r\n";
    };
    const auto finished = [&] { return stage.names().contains(k(kSLTCommDeviceCommandSuccessful)); };

    engine.sendTextMessage(QStringLiteral("Hello"), {QStringLiteral("+123")}, false, QString(), stage.stage);
    ASSERT_TRUE(playPhone([&] { return engine.fake(); }, phone, finished));
    EXPECT_EQ(lastReference(), 255);
    QStringList sent = engine.fake() ? engine.fake()->sentTexts : QStringList();
    ASSERT_GE(sent.size(), 4);
    EXPECT_EQ(sent.mid(sent.indexOf(QStringLiteral("AT+CPMS=?\r")), 2),
              (QStringList{QStringLiteral("AT+CPMS=?\r"), QStringLiteral("AT+CPMS=\"ME\",\"ME\",\"ME\"\r")}));
    const QString pdu = sent.at(sent.size() - 1);
    EXPECT_TRUE(pdu.startsWith(QLatin1String("0011FE"))) << pdu.toStdString();
    EXPECT_EQ(sent.at(sent.size() - 2), QStringLiteral("AT+CMGS=%1\r").arg(pdu.size() / 2 - 1));
    EXPECT_EQ(stage.names(), (QStringList{k(kSLTCommDeviceSendingPdu), k(kSLTCommDevicePduSent),
                                          k(kSLTCommDeviceCommandSuccessful)}));

    // The reference wraps; a text of three parts pauses a second after each.
    stage.received.clear();
    pduTimes.clear();
    engine.fake()->sentTexts.clear();
    engine.sendTextMessage(QString(400, QLatin1Char('x')), {QStringLiteral("+123")}, false, QString(), stage.stage);
    ASSERT_TRUE(playPhone([&] { return engine.fake(); }, phone, finished));
    EXPECT_EQ(lastReference(), 1);
    sent = engine.fake()->sentTexts;
    EXPECT_EQ(sent.filter(QRegularExpression(QStringLiteral("^AT\\+CMGS=\\d+\r$"))).size(), 3);
    EXPECT_EQ(stage.names().count(k(kSLTCommDevicePduSent)), 3);
    ASSERT_EQ(pduTimes.size(), 3);
    EXPECT_GE(pduTimes[1] - pduTimes[0], 1.0 - 1e-6);
    EXPECT_GE(pduTimes[2] - pduTimes[1], 1.0 - 1e-6);
    defaults.setObject(QStringLiteral("lastMessageReference"), QVariant());
}

TEST(CommDeviceSms, PhonesWithoutStorageListsAndRefusedSends)
{
    FakeEngine engine;
    StageRecorder stage;
    QByteArray sendAnswer = "\r\n+CMS ERROR: 330\r\n";
    const auto phone = [&](const QString& text) -> QByteArray {
        if (text == QLatin1String("AT+CPMS=?\r"))
            return "\r\n+CPMS: (),(),()\r\n\r\nOK\r\n";
        if (text.startsWith(QLatin1String("AT+CMGS=")))
            return "\r\n> ";
        if (text.endsWith(QChar(0x1A)))
            return sendAnswer;
        return "\r\nOK\r\n";
    };
    engine.sendTextMessage(QStringLiteral("Hi"), {QStringLiteral("+123")}, false, QString(), stage.stage);
    ASSERT_TRUE(playPhone([&] { return engine.fake(); }, phone, [&] { return stage.received.size() >= 2; }));
    runUntil([] { return false; }, 1.0);
    EXPECT_TRUE(engine.fake()->sentTexts.contains(QStringLiteral("AT\r")));
    EXPECT_EQ(stage.names(),
              (QStringList{k(kSLTCommDeviceSendingPdu), k(kSLTCommDeviceCommandSendTextMessagePduSent)}));
    EXPECT_TRUE(stage.received.last().userInfo.contains(k(kSLTCommDeviceCommandReturnedError)));
}

TEST(CommDeviceSms, MotorolaStoresSendsFromStorageAndDeletes)
{
    FakeEngine engine;
    engine.setFamily(QStringLiteral("motorola"));
    StageRecorder stage;
    double storedAt = 0;
    double sentAt = 0;
    const auto phone = [&](const QString& text) -> QByteArray {
        if (text == QLatin1String("AT+CPMS=?\r"))
            return "\r\n+CPMS: (\"MT\"),(\"MT\"),(\"MT\")\r\n\r\nOK\r\n";
        if (text.startsWith(QLatin1String("AT+CMGW=")))
            return "\r\n> ";
        if (text.endsWith(QChar(0x1A))) {
            storedAt = now();
            return "\r\n+CMGW: 12\r\n\r\nOK\r\n";
        }
        if (text.startsWith(QLatin1String("AT+CMSS=")))
            sentAt = now();
        return "\r\nOK\r\n";
    };
    engine.sendTextMessage(QStringLiteral("Hi"), {QStringLiteral("+123")}, false, QString(), stage.stage);
    ASSERT_TRUE(playPhone([&] { return engine.fake(); }, phone,
                          [&] { return stage.names().contains(k(kSLTCommDeviceCommandSuccessful)); }));
    const QStringList sent = engine.fake()->sentTexts;
    const qsizetype write = sent.indexOf(QRegularExpression(QStringLiteral("^AT\\+CMGW=\\d+\r$")));
    ASSERT_GE(write, 0);
    EXPECT_EQ(sent.mid(write + 2, 2), (QStringList{QStringLiteral("AT+CMSS=12\r"), QStringLiteral("AT+CMGD=12\r")}));
    EXPECT_GE(sentAt - storedAt, 1.0 - 1e-6);
    EXPECT_EQ(stage.names(), (QStringList{k(kSLTCommDeviceSendingPdu), k(kSLTCommDevicePduSent),
                                          k(kSLTCommDeviceCommandSuccessful)}));
}

TEST(CommDeviceSms, DeletesCheckStorageAndIndexes)
{
    FakeEngine engine;
    StageRecorder stage;
    const QVariantMap good{{QStringLiteral("memory"), QStringLiteral("SM")}, {QStringLiteral("memIndexes"), QStringLiteral("3,4")}};
    engine.deleteSms(good, stage.stage);
    ASSERT_TRUE(playPhone([&] { return engine.fake(); }, [](const QString&) { return QByteArray("\r\nOK\r\n"); },
                          [&] { return !stage.received.isEmpty(); }));
    EXPECT_EQ(engine.fake()->sentTexts.mid(engine.fake()->sentTexts.size() - 3),
              (QStringList{QStringLiteral("AT+CPMS=\"SM\"\r"), QStringLiteral("AT+CMGD=3\r"),
                           QStringLiteral("AT+CMGD=4\r")}));
    EXPECT_EQ(stage.received.first().userInfo.value(k(kSLTCommDeviceReturnValue)).toMap(), good);

    const QVariantMap refused[] = {
        {{QStringLiteral("memory"), QStringLiteral("BM")}, {QStringLiteral("memIndexes"), QStringLiteral("3")}},
        {{QStringLiteral("memory"), QStringLiteral("SM")}, {QStringLiteral("memIndexes"), QString()}},
        {{QStringLiteral("memory"), QStringLiteral("SM")}, {QStringLiteral("memIndexes"), QStringLiteral("3\rATD1")}},
    };
    for (const QVariantMap& message : refused) {
        FakeEngine other;
        StageRecorder failed;
        other.deleteSmsArray({good, message}, failed.stage);
        EXPECT_TRUE(other.queue().commands().isEmpty());
        ASSERT_TRUE(runUntil([&] { return !failed.received.isEmpty(); }, 1.0));
        EXPECT_EQ(failed.names(), QStringList{k(kSLTCommDeviceCommandQueueCommandError)});
        EXPECT_TRUE(failed.received.first().userInfo.isEmpty());
    }
}

TEST(CommDeviceSms, AnUnencodableSendFailsOnALaterTurnWithoutCommands)
{
    FakeEngine engine;
    StageRecorder stage;
    engine.sendTextMessage(QStringLiteral("Hi"), {}, false, QString(), stage.stage);
    EXPECT_TRUE(stage.received.isEmpty());
    EXPECT_TRUE(engine.queue().commands().isEmpty());
    ASSERT_TRUE(runUntil([&] { return !stage.received.isEmpty(); }, 1.0));
    EXPECT_EQ(stage.names(), QStringList{k(kSLTCommDeviceCommandSendTextMessageFinished)});
    EXPECT_TRUE(stage.received.first().userInfo.contains(k(kSLTCommDeviceCommandReturnedError)));
}
