// The engine's SIM phonebook against the simulated phone over the tty: the
// character-set handshake, the family rules, reads, writes and deletes, and
// what a failed step leaves behind.
#include "EngineTestSupport.h"

#include "kestrova/core/PhonebookSignals.h"

#include "PhoneSimulator.h"

#include <gtest/gtest.h>

using namespace coretest;
using phonesim::PhoneSession;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

const QString kFromTo = k(kestrova::core::kSLTCommDeviceGetPhoneBookEntriesFromTo);

class SimPhonebookTest : public ::testing::Test {
protected:
    void start(const char* profile, const char* family, QList<QByteArray> offered = {"GSM", "UCS2"},
               const QByteArray& current = "GSM")
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QLatin1String(profile)));
        sim->modifySession([&](PhoneSession& s) {
            s.characterSet.offered = offered;
            s.characterSet.current = current;
        });
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        engine.setType(kestrova::core::kDeviceTypeSerial);
        engine.setFilename(sim->slavePath());
        engine.setFamily(QLatin1String(family));
    }
    void TearDown() override { engine.fullStop(); }

    void addEntry(int index, const QString& number, const QString& name, int type = 129)
    {
        sim->modifySession([&](PhoneSession& s) { s.phonebook.storages[0].put(index, {index, number, type, name}); });
    }
    // The phonebook and character-set lines the phone received, in order.
    QStringList phonebookLines() const
    {
        QStringList lines;
        for (const QByteArray& line : sim->receivedLines())
            if (line.startsWith("AT+CPB") || line.startsWith("AT+CSCS"))
                lines.append(QString::fromLatin1(line));
        return lines;
    }
    bool waitFor(const std::function<bool()>& done, double seconds = 30.0) { return runUntil(done, seconds, 0.05); }
    bool waitForNames(const QStringList& names)
    {
        return waitFor([&] { return recorder.names() == names; });
    }
    QVariantList readBack(int first = 1, int last = 10)
    {
        StageRecorder reader;
        engine.getPhoneBookEntriesFrom(first, last, reader.stage);
        if (!waitFor([&] { return !reader.received.isEmpty(); }))
            return {};
        runFor(0.5);
        return reader.received.first().userInfo.value(k(kestrova::core::kSLTCommDeviceReturnValue)).toList();
    }
    static void runFor(double seconds) { testing_support::runFor(seconds); }

    OutsideInputScope outside{0.05};
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    SLTCommDevice engine;
    StageRecorder recorder;
};

QVariantMap entry(int place, const QString& name, const QString& number)
{
    return {{QStringLiteral("simPlace"), place}, {QStringLiteral("name"), name}, {QStringLiteral("number"), number}};
}

} // namespace

TEST_F(SimPhonebookTest, ReadsInTheRichestOfferedSetAndSwitchesBack)
{
    start("nokia", "nokia");
    addEntry(1, QStringLiteral("+49123"), QStringLiteral("Anna"), 145);
    addEntry(4, QStringLiteral("0171"), QStringLiteral("Bär, Öl"));
    engine.getPhoneBookEntriesFrom(1, 10, recorder.stage);
    ASSERT_TRUE(waitForNames({kFromTo}));
    runFor(1.0);
    EXPECT_EQ(recorder.names(), QStringList{kFromTo});
    EXPECT_EQ(phonebookLines(), (QStringList{QStringLiteral("AT+CPBS=\"SM\""), QStringLiteral("AT+CSCS?"),
                                             QStringLiteral("AT+CSCS=?"), QStringLiteral("AT+CSCS=\"UCS2\""),
                                             QStringLiteral("AT+CPBR=1,10"), QStringLiteral("AT+CSCS=\"GSM\"")}));
    EXPECT_EQ(sim->session().characterSet.current, QByteArray("GSM"));
    const QVariantList entries = recorder.received.first().userInfo.value(k(kestrova::core::kSLTCommDeviceReturnValue)).toList();
    EXPECT_EQ(entries, (QVariantList{entry(1, QStringLiteral("Anna"), QStringLiteral("+49123")),
                                     entry(4, QStringLiteral("Bär, Öl"), QStringLiteral("0171"))}));
}

TEST_F(SimPhonebookTest, NameWithACommaReadsWholeInEachSet)
{
    // The only set offered is the one the work is done in.
    for (const QByteArray set : {"GSM", "ASCII", "UCS2"}) {
        SCOPED_TRACE(set.toStdString());
        start("nokia", "nokia", {set}, set);
        addEntry(2, QStringLiteral("555"), QStringLiteral("Smith, J"));
        EXPECT_EQ(readBack(), QVariantList{entry(2, QStringLiteral("Smith, J"), QStringLiteral("555"))});
        engine.fullStop();
    }
}

TEST_F(SimPhonebookTest, SonyEricssonInUcs2NamesTheSetsInHexAndCodesNumbers)
{
    start("sonyericsson", "se", {"GSM", "UCS2"}, "UCS2");
    engine.writeNewPhoneBookEntries({entry(0, QStringLiteral("Bo"), QStringLiteral("0049123"))}, recorder.stage);
    const QString written = k(kestrova::core::kSLTCommDeviceWriteNewPhoneBookEntriesEntryWritten);
    const QString finished = k(kestrova::core::kSLTCommDeviceWriteNewPhoneBookEntriesFinished);
    ASSERT_TRUE(waitForNames({written, finished}));
    EXPECT_EQ(phonebookLines(),
              (QStringList{QStringLiteral("AT+CPBS=\"SM\""), QStringLiteral("AT+CSCS?"), QStringLiteral("AT+CSCS=?"),
                           QStringLiteral("AT+CSCS=\"0055004300530032\""),
                           QStringLiteral("AT+CPBW=,\"002B00340039003100320033\",145,\"0042006F\""),
                           QStringLiteral("AT+CSCS=\"0055004300530032\"")}));
    const auto stored = sim->session().phonebook.storages[0].entries;
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].number, QStringLiteral("+49123"));
    EXPECT_EQ(stored[0].type, 145);
    EXPECT_EQ(stored[0].name, QStringLiteral("Bo"));
    EXPECT_EQ(readBack(), QVariantList{entry(1, QStringLiteral("Bo"), QStringLiteral("+49123"))});
}

TEST_F(SimPhonebookTest, DeletesOnlyNumberedLocationsWithTheFamilysClearingCommand)
{
    const QList<QPair<const char*, QString>> cases = {
        {"se", QStringLiteral("AT+CPBW=3,\"\",129,\"\"")},
        {"motorola", QStringLiteral("AT+CPBW=3")},
        {"nokia", QStringLiteral("AT+CPBW=3")},
        {"option", QStringLiteral("AT+CPBW=3")},
    };
    for (const auto& [family, clearing] : cases) {
        SCOPED_TRACE(family);
        start("nokia", family);
        addEntry(3, QStringLiteral("555"), QStringLiteral("Old"));
        StageRecorder deleter;
        engine.deletePhoneBookEntries({3, QStringLiteral("x")}, deleter.stage);
        const QString deleted = k(kestrova::core::kSLTCommDeviceDeletePhoneBookEntriesDeleted);
        const QString finished = k(kestrova::core::kSLTCommDeviceDeletePhoneBookEntriesFinished);
        ASSERT_TRUE(waitFor([&] { return deleter.names() == QStringList({deleted, finished}); }));
        EXPECT_EQ(phonebookLines(), (QStringList{QStringLiteral("AT+CPBS=\"SM\""), clearing}));
        EXPECT_EQ(deleter.received[0].userInfo.value(k(kestrova::core::kSLTCommDeviceReturnValue)).toMap(),
                  (QVariantMap{{k(kestrova::core::kSLTCommDeviceDeletedNumber), 3}}));
        EXPECT_EQ(deleter.received[1].userInfo.value(k(kestrova::core::kSLTCommDeviceReturnValue)).toString(),
                  QStringLiteral("ok"));
        EXPECT_TRUE(sim->session().phonebook.storages[0].entries.isEmpty());
        engine.fullStop();
    }
}

TEST_F(SimPhonebookTest, ParametersFromTheRangeAnswer)
{
    start("nokia", "nokia");
    engine.getPhoneBookParameters(recorder.stage);
    const QString command = k(kestrova::core::kSLTCommDeviceGetPhoneBookParametersCommand);
    ASSERT_TRUE(waitForNames({command}));
    EXPECT_EQ(recorder.received[0].userInfo.value(k(kestrova::core::kSLTCommDeviceReturnValue)).toMap(),
              (QVariantMap{{QStringLiteral("start"), 1},
                           {QStringLiteral("end"), 250},
                           {QStringLiteral("maxNumberLength"), 40},
                           {QStringLiteral("maxNameLength"), 18}}));

    // A range without "-" is one error.
    sim->setHandler("+CPBR", [](PhoneSession&, const phonesim::AtCommand&) {
        return phonesim::AtResult::okay({"+CPBR: (250),40,18"});
    });
    StageRecorder second;
    engine.getPhoneBookParameters(second.stage);
    ASSERT_TRUE(waitFor([&] { return !second.received.isEmpty(); }));
    runFor(1.0);
    ASSERT_EQ(second.names(), QStringList{command});
    EXPECT_TRUE(second.received[0].userInfo.contains(k(kestrova::core::kSLTCommDeviceCommandReturnedError)));
}

TEST_F(SimPhonebookTest, ParametersParserTakesOnlyTheWholeShape)
{
    const QList<QPair<const char*, std::optional<QVariantMap>>> cases = {
        {"\r\n+CPBR: (1-250),40,18\r\n\r\nOK\r\n",
         QVariantMap{{QStringLiteral("start"), 1}, {QStringLiteral("end"), 250},
                     {QStringLiteral("maxNumberLength"), 40}, {QStringLiteral("maxNameLength"), 18}}},
        {"\r\n+CPBR: 5-9,20,10\r\n\r\nOK\r\n",
         QVariantMap{{QStringLiteral("start"), 5}, {QStringLiteral("end"), 9},
                     {QStringLiteral("maxNumberLength"), 20}, {QStringLiteral("maxNameLength"), 10}}},
        {"\r\n+CPBR: (250),40,18\r\n\r\nOK\r\n", std::nullopt},
        {"\r\n+CPBR: (1-250),40\r\n\r\nOK\r\n", std::nullopt},
        {"\r\n+CPBR: (1-x),40,18\r\n\r\nOK\r\n", std::nullopt},
        {"\r\nOK\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [reply, expected] : cases) {
        SCOPED_TRACE(reply);
        EXPECT_EQ(SLTCommDevice::parsePhoneBookParameters(QLatin1String(reply)), expected);
    }
}

TEST_F(SimPhonebookTest, ReplyLinesThatGiveNoEntryAreSkippedWithALogLine)
{
    KitLogCapture log;
    engine.setCurrentEncoding(QStringLiteral("GSM"));
    const QString reply = QStringLiteral("\r\n+CPBR: 1,\"111\",129,\"One, Two\"\r\n"
                                         "\r\n+CPBR: 2,\"222\"\r\n"
                                         "\r\n+CPBR: x,\"333\",129,\"Bad\"\r\n"
                                         "\r\n+CPBR:3,\"444\",129,\"NoBlank\"\r\n"
                                         "\r\n+CPBR: 5,\"555\",129,\"Five\r\n"
                                         "\r\nOK\r\n");
    const QVariantList entries = engine.parsePhoneBookEntries(reply);
    EXPECT_EQ(entries, (QVariantList{entry(1, QStringLiteral("One, Two"), QStringLiteral("111")),
                                     entry(5, QStringLiteral("\"Five"), QStringLiteral("555"))}));
    int skipped = 0;
    for (const QString& line : log.lines())
        skipped += line.startsWith(QLatin1String("SLTCommDevice: phonebook - line skipped")) ? 1 : 0;
    EXPECT_EQ(skipped, 3);
}

TEST_F(SimPhonebookTest, OneEntryWriteClearsItsPlaceThenWritesInTheRichestSet)
{
    start("nokia", "samsung");
    addEntry(5, QStringLiteral("111"), QStringLiteral("Old"));
    const QVariantMap written = entry(5, QStringLiteral("Neu"), QStringLiteral("+4930"));
    engine.writePhoneBookEntry(written, recorder.stage);
    const QString reset = k(kestrova::core::kSLTCommDeviceWritePhonebookResetTerminalEncoding);
    ASSERT_TRUE(waitForNames({reset}));
    runFor(1.0);
    EXPECT_EQ(recorder.names(), QStringList{reset});
    EXPECT_EQ(recorder.received[0].userInfo.value(k(kestrova::core::kSLTCommDeviceReturnValue)).toMap(), written);
    EXPECT_EQ(phonebookLines(),
              (QStringList{QStringLiteral("AT+CPBS=\"SM\""), QStringLiteral("AT+CSCS?"), QStringLiteral("AT+CSCS=\"GSM\""),
                           QStringLiteral("AT+CPBW=5,\"\",129,\"\""), QStringLiteral("AT+CSCS=?"),
                           QStringLiteral("AT+CSCS=\"UCS2\""), QStringLiteral("AT+CPBW=,\"+4930\",145,\"004E00650075\""),
                           QStringLiteral("AT+CSCS=\"GSM\"")}));
    EXPECT_EQ(readBack(), QVariantList{entry(1, QStringLiteral("Neu"), QStringLiteral("+4930"))});
}

TEST_F(SimPhonebookTest, SiemensNameWithAtSignAndQuoteReadsBackAsWritten)
{
    start("siemens", "siemens", {"GSM"});
    const QString name = QStringLiteral("a@b\"Ö");
    engine.writeNewPhoneBookEntries({entry(0, name, QStringLiteral("123"))}, recorder.stage);
    ASSERT_TRUE(waitFor([&] { return recorder.received.size() == 2; }));
    EXPECT_TRUE(phonebookLines().contains(QStringLiteral("AT+CPBW=,\"123\",129,\"a\\00b\\22\\5C\"")))
        << phonebookLines().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(sim->session().phonebook.storages[0].entries.value(0).name, name);
    EXPECT_EQ(readBack(), QVariantList{entry(1, name, QStringLiteral("123"))});
}

TEST_F(SimPhonebookTest, TextsThatWouldBreakTheCommandAreMadeSafeAndBadNumbersRefused)
{
    start("nokia", "nokia", {"GSM"});
    engine.writeNewPhoneBookEntries({entry(0, QStringLiteral("a\"b\\c\r\nd\x1A"), QStringLiteral("777"))},
                                    recorder.stage);
    ASSERT_TRUE(waitFor([&] { return recorder.received.size() == 2; }));
    int writes = 0;
    for (const QString& line : phonebookLines())
        writes += line.startsWith(QLatin1String("AT+CPBW")) ? 1 : 0;
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(readBack(), QVariantList{entry(1, QStringLiteral("a'b/c  d "), QStringLiteral("777"))});

    // A number that would end the argument is refused: an error, nothing sent.
    for (const QString& number : {QStringLiteral("12\"3"), QStringLiteral("12\r3"), QStringLiteral("1\\2")}) {
        SCOPED_TRACE(number.toStdString());
        sim->clearReceived();
        StageRecorder refused;
        engine.writeNewPhoneBookEntries({entry(0, QStringLiteral("x"), number)}, refused.stage);
        StageRecorder single;
        engine.writePhoneBookEntry(entry(2, QStringLiteral("x"), number), single.stage);
        ASSERT_TRUE(waitFor([&] { return refused.received.size() == 1 && single.received.size() == 1; }));
        runFor(1.0);
        EXPECT_TRUE(refused.received[0].userInfo.contains(k(kestrova::core::kSLTCommDeviceCommandReturnedError)));
        EXPECT_TRUE(single.received[0].userInfo.contains(k(kestrova::core::kSLTCommDeviceCommandReturnedError)));
        EXPECT_TRUE(phonebookLines().isEmpty());
    }
}

TEST_F(SimPhonebookTest, AFailedStepReachesTheCallerOnceAndTheSetIsSwitchedBack)
{
    struct Case {
        const char* name;
        std::function<void(phonesim::PhoneSimulator&)> fault;
        const char* kind;
    };
    const QList<Case> cases = {
        {"time-out", [](phonesim::PhoneSimulator& s) { s.holdAnswersTo("+CPBR"); },
         kestrova::core::kSLTCommDeviceCommandQueueTimeout},
        {"refused", [](phonesim::PhoneSimulator& s) {
             s.setHandler("+CPBR", [](PhoneSession&, const phonesim::AtCommand&) { return phonesim::AtResult::error(); });
         },
         kestrova::core::kSLTCommDeviceCommandReturnedError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start("nokia", "nokia");
        c.fault(*sim);
        StageRecorder reader;
        engine.getPhoneBookEntriesFrom(1, 10, reader.stage);
        ASSERT_TRUE(waitFor([&] { return !reader.received.isEmpty(); }));
        ASSERT_TRUE(waitFor([&] { return sim->session().characterSet.current == "GSM"; }));
        runFor(10.0);
        EXPECT_EQ(reader.names(), QStringList{kFromTo});
        EXPECT_TRUE(reader.received[0].userInfo.contains(k(c.kind)));
        EXPECT_EQ(phonebookLines().last(), QStringLiteral("AT+CSCS=\"GSM\""));
        // The engine takes the next request.
        addEntry(1, QStringLiteral("1"), QStringLiteral("A"));
        sim->holdAnswersTo(QByteArray());
        sim->setHandler("+CPBR", *phonesim::PhoneProfile::named(QStringLiteral("nokia"))->handler("+CPBR"));
        EXPECT_EQ(readBack(), QVariantList{entry(1, QStringLiteral("A"), QStringLiteral("1"))});
        engine.fullStop();
    }
}

TEST_F(SimPhonebookTest, ATakenPortReachesTheCallerWithItsKind)
{
    SLTCommDevice idle;
    StageRecorder reader;
    const QString conflict = k(kestrova::core::kSLTCommDeviceCommandQueueLgAppConflict);
    idle.commandResult(platform::Notification{
        kFromTo, nullptr,
        {{k(kestrova::core::kSLTCommDeviceCommandInfo), QVariant::fromValue(reader.stage)},
         {k(kestrova::core::kSLTCommDeviceCommandCallbackSignal), kFromTo},
         {conflict, conflict}}});
    ASSERT_EQ(reader.received.size(), 1);
    EXPECT_EQ(reader.received[0].userInfo,
              (QVariantMap{{conflict, conflict}, {k(kestrova::core::kSLTCommDeviceCommandStep), kFromTo}}));
}
