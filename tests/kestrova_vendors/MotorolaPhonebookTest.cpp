// The Motorola phonebook through the organizer kit against the simulated
// phone over the tty ("motorola": extended layout, "motorola2": older
// layout), and the command set's line parsers and record writers.
#include "EngineTestSupport.h"

#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/KestrovaMotorolaPhonebookExt.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaPhonebookExt.h"
#include "kestrova/vendors/VendorChains.h"

#include "MotorolaKitFixture.h"
#include "PhoneSimulator.h"
#include "ServiceRecords.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace coretest;
using phonesim::MotorolaContact;
using phonesim::MotorolaField;
using phonesim::MotorolaLine;
using phonesim::PhoneSession;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

struct PhonebookCallback : organizerKitAsync {
    QList<std::optional<QVariantMap>> reads;
    QList<int> readCodes;
    QList<float> progress;
    QList<std::optional<QVariantMap>> writes;
    QList<int> writeCodes;

    void organizerKitPhonebookRead(Kestrova*, const std::optional<QVariantMap>& data, int code) override
    {
        reads.append(data);
        readCodes.append(code);
    }
    void organizerKitPhonebookReadProzDone(Kestrova*, float done) override { progress.append(done); }
    void organizerKitPhonebookEntriesWritten(Kestrova*, const std::optional<QVariantMap>& data, int code) override
    {
        writes.append(data);
        writeCodes.append(code);
    }
};

QVariantMap item(const char* value, const char* subSlot, const char* type, const char* mainEntry = "0")
{
    return {{QStringLiteral("value"), QLatin1String(value)},
            {QStringLiteral("subSlot"), QLatin1String(subSlot)},
            {QStringLiteral("type"), QLatin1String(type)},
            {QStringLiteral("mainEntry"), QLatin1String(mainEntry)}};
}

// An extended-layout line: slot, sub-slot, value, name, type, order flag,
// split position; the other fields as a phone sends them.
QString extendedLine(int slot, int subSlot, const QString& value, const QString& name, int type, int order = 0,
                     int position = 0, const QString& mainEntry = QStringLiteral("1"))
{
    return QStringLiteral("+MPBRE: %1,%2,\"%3\",129,\"%4\",%5,0,255,0,%6,1,,%7,%8,\"\",,,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"")
        .arg(slot)
        .arg(subSlot)
        .arg(value, name)
        .arg(type)
        .arg(mainEntry)
        .arg(order)
        .arg(position);
}

MotorolaContact anna()
{
    MotorolaContact c;
    c.slot = 7;
    c.name = QStringLiteral("AnnaBerg");
    c.position = 4;
    c.fields = {{1, QStringLiteral("0301234"), 3, 1}, {8, QStringLiteral("anna@example.org"), 12, 0}};
    return c;
}

class MotorolaPhonebookTest : public MotorolaKitFixture<PhonebookCallback> {
protected:
    void start(const char* profile, QList<QByteArray> offered = {"GSM", "UCS2"})
    {
        startPhone(profile, [&](PhoneSession& s) {
            s.characterSet.offered = offered;
            s.motorola.lastSlot = 10;
        });
    }
    void addContact(const MotorolaContact& contact)
    {
        sim->modifySession([&](PhoneSession& s) {
            s.motorola.contacts.append(contact);
            std::sort(s.motorola.contacts.begin(), s.motorola.contacts.end(),
                      [](const MotorolaContact& a, const MotorolaContact& b) { return a.slot < b.slot; });
        });
    }
    // Anna in slot 7 (a number and an e-mail), Bert in slot 9.
    void addAnnaAndBert()
    {
        addContact(anna());
        MotorolaContact bert;
        bert.slot = 9;
        bert.name = QStringLiteral("Bert");
        bert.fields = {{1, QStringLiteral("040"), 1, 1}};
        addContact(bert);
    }
    QStringList writeLines() const { return linesStartingWith({"at+mpbw", "AT+MPBRE=", "at+mpbf"}); }
    std::optional<QVariantMap> read() { return readWith(&Kestrova::getPhonebookEntries); }
    std::optional<QVariantMap> write(const QVariantMap& entries)
    {
        return writeWith(&Kestrova::writePhonebookEntries, entries);
    }
};

QVariantMap annaAsRead()
{
    return {{QStringLiteral("firstname"), QStringLiteral("Anna")},
            {QStringLiteral("lastname"), QStringLiteral("Berg")},
            {QStringLiteral("categoryID"), QStringLiteral("1")},
            {QStringLiteral("phone"), QVariantList{item("0301234", "1", "mobile", "1")}},
            {QStringLiteral("email"), QVariantList{item("anna@example.org", "8", "home")}}};
}

} // namespace

TEST_F(MotorolaPhonebookTest, OpensReadsAndClosesTheSession)
{
    start("motorola");
    addContact(anna());
    const double began = now();
    kit.getPhonebookEntries();
    ASSERT_TRUE(runUntil([&] { return !linesStartingWith({"at+mode"}).isEmpty(); }, 10.0, 0.05));
    EXPECT_GE(now() - began, 3.0);
    ASSERT_TRUE(wait([&] { return !callback.reads.isEmpty(); }));
    EXPECT_EQ(callback.readCodes, QList<int>{0});
    EXPECT_EQ(linesStartingWith({"at+mode", "at+msyn", "at+cpbs", "AT+CSCS", "AT+MPBRE"}),
              (QStringList{QStringLiteral("at+mode=2"), QStringLiteral("at+msyn=1"), QStringLiteral("at+cpbs=\"ME\""),
                           QStringLiteral("AT+CSCS?"), QStringLiteral("AT+CSCS=?"), QStringLiteral("AT+CSCS=\"UCS2\""),
                           QStringLiteral("AT+MPBRE=?"), QStringLiteral("AT+MPBRE=1,10"), QStringLiteral("at+msyn=0"),
                           QStringLiteral("at+mode=0"), QStringLiteral("AT+CSCS=\"GSM\"")}));
    EXPECT_EQ(callback.reads.first(), (QVariantMap{{QStringLiteral("7"), annaAsRead()}}));
    EXPECT_EQ(callback.progress, QList<float>{1.0f});
    const PhoneSession after = sim->session();
    EXPECT_EQ(after.motorola.mode, 0);
    EXPECT_EQ(after.characterSet.current, QByteArray("GSM"));
}

TEST_F(MotorolaPhonebookTest, TheSessionWaitsAMinuteForAnAnswer)
{
    start("motorola");
    sim->holdAnswersTo("+CPBS");
    const double began = now();
    kit.getPhonebookEntries();
    ASSERT_TRUE(runUntil([&] { return !callback.reads.isEmpty(); }, 200.0, 1.0));
    wait([] { return false; }, 5.0);
    EXPECT_EQ(callback.readCodes, QList<int>{-1});
    EXPECT_EQ(callback.reads.first(), std::nullopt);
    EXPECT_GE(now() - began, 60.0);
}

TEST_F(MotorolaPhonebookTest, ReadsTheSlotRangeInBatches)
{
    const struct {
        const char* profile;
        int first;
        int last;
        QStringList ranges;
        QList<float> progress;
    } cases[] = {
        {"motorola", 1, 1000,
         {QStringLiteral("AT+MPBRE=1,200"), QStringLiteral("AT+MPBRE=201,400"), QStringLiteral("AT+MPBRE=401,600"),
          QStringLiteral("AT+MPBRE=601,800"), QStringLiteral("AT+MPBRE=801,1000")},
         {0.2f, 0.4f, 0.6f, 0.8f, 1.0f}},
        {"motorola", 300, 500, {QStringLiteral("AT+MPBRE=300,499"), QStringLiteral("AT+MPBRE=500,500")},
         {499.0f / 500.0f, 1.0f}},
        {"motorola2", 1, 120,
         {QStringLiteral("AT+MPBRE=1,50"), QStringLiteral("AT+MPBRE=51,100"), QStringLiteral("AT+MPBRE=101,120")},
         {50.0f / 120.0f, 100.0f / 120.0f, 1.0f}},
        // Slots at the top of the int range: the batch ends do not wrap.
        {"motorola", 2147483640, 2147483646, {QStringLiteral("AT+MPBRE=2147483640,2147483646")}, {1.0f}},
        {"motorola", 2147483400, 2147483646,
         {QStringLiteral("AT+MPBRE=2147483400,2147483599"), QStringLiteral("AT+MPBRE=2147483600,2147483646")},
         {float(2147483599) / float(2147483646), 1.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ranges.first().toStdString());
        callback = PhonebookCallback();
        start(c.profile);
        sim->modifySession([&](PhoneSession& s) {
            s.motorola.firstSlot = c.first;
            s.motorola.lastSlot = c.last;
        });
        ASSERT_TRUE(read().has_value());
        QStringList ranges = linesStartingWith({"AT+MPBRE="});
        ranges.removeAll(QStringLiteral("AT+MPBRE=?"));
        EXPECT_EQ(ranges, c.ranges);
        EXPECT_EQ(callback.progress, c.progress);
        kit.fullStop();
    }
}

TEST_F(MotorolaPhonebookTest, AStatedRangeOfMoreThan10000SlotsIsNotRead)
{
    const struct {
        int first;
        int last;
        bool read;
    } cases[] = {{1, 10000, true}, {5, 10004, true}, {1, 10001, false}, {0, 10000, false}, {1, 2147483647, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + ".." + std::to_string(c.last));
        callback = PhonebookCallback();
        KitLogCapture log;
        start("motorola");
        sim->modifySession([&](PhoneSession& s) {
            s.motorola.firstSlot = c.first;
            s.motorola.lastSlot = c.last;
        });
        kit.getPhonebookEntries();
        ASSERT_TRUE(wait([&] { return !callback.reads.isEmpty(); }));
        QStringList ranges = linesStartingWith({"AT+MPBRE="});
        ranges.removeAll(QStringLiteral("AT+MPBRE=?"));
        EXPECT_EQ(callback.reads.first().has_value(), c.read);
        EXPECT_EQ(callback.readCodes.first(), c.read ? 0 : -1);
        EXPECT_EQ(ranges.size(), c.read ? 50 : 0);
        EXPECT_EQ(log.lines().join(QLatin1Char('\n')).contains(QLatin1String("more than 10000; not read")), !c.read);
        kit.fullStop();
    }
}

TEST_F(MotorolaPhonebookTest, NameSplitByOrderFlagAndPosition)
{
    SLTCommDevice engine;
    engine.setCurrentEncoding(QStringLiteral("GSM"));
    auto& commands = engine.extension<SLTCommDeviceMotorolaPhonebookExt>();
    const struct {
        int order;
        int position;
        const char* firstname;
        const char* lastname;
    } cases[] = {
        {0, 4, "Chri", "stina"}, {1, 4, "stina", "Chri"}, {0, 20, "Christina", nullptr},
        {1, 0, "Christina", nullptr}, {0, 0, nullptr, "Christina"}, {1, 9, nullptr, "Christina"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.order) + "/" + std::to_string(c.position));
        const auto contact = commands.parseMotorolaPhonebookLine(
            extendedLine(3, 1, QStringLiteral("1"), QStringLiteral("Christina"), 1, c.order, c.position));
        ASSERT_TRUE(contact.has_value());
        EXPECT_EQ(contact->value(QStringLiteral("firstname")), c.firstname ? QVariant(QLatin1String(c.firstname)) : QVariant());
        EXPECT_EQ(contact->value(QStringLiteral("lastname")), c.lastname ? QVariant(QLatin1String(c.lastname)) : QVariant());
    }
}

TEST_F(MotorolaPhonebookTest, ReplyLinesAsContacts)
{
    KitLogCapture log;
    SLTCommDevice engine;
    // A set that keeps the address separator as it is.
    engine.setCurrentEncoding(QStringLiteral("8859-1"));
    auto& commands = engine.extension<SLTCommDeviceMotorolaPhonebookExt>();
    const QString address6 = QStringLiteral("Hof;|;Weg 1;|;Berlin;|;BE;|;10115;|;DE");
    const QString address5 = QStringLiteral("Weg 1;|;Berlin;|;BE;|;10115;|;DE");
    const QString address7 = address6 + QStringLiteral(";|;X");
    const struct {
        const char* name;
        QStringList lines;
        QVariantMap expected;
    } cases[] = {
        {"a phone and an e-mail of one slot",
         {extendedLine(7, 1, QStringLiteral("0301234"), QStringLiteral("Anna"), 3),
          extendedLine(7, 8, QStringLiteral("a@b.c"), QStringLiteral("Anna"), 12, 0, 0, QStringLiteral("0"))},
         {{QStringLiteral("7"), QVariantMap{{QStringLiteral("lastname"), QStringLiteral("Anna")},
                                            {QStringLiteral("categoryID"), QStringLiteral("1")},
                                            {QStringLiteral("phone"), QVariantList{item("0301234", "1", "mobile", "1")}},
                                            {QStringLiteral("email"), QVariantList{item("a@b.c", "8", "home")}}}}}},
        {"two phones of one slot",
         {extendedLine(7, 1, QStringLiteral("1"), QStringLiteral("A"), 0),
          extendedLine(7, 2, QStringLiteral("2"), QStringLiteral("A"), 4, 0, 0, QStringLiteral("0"))},
         {{QStringLiteral("7"), QVariantMap{{QStringLiteral("lastname"), QStringLiteral("A")},
                                            {QStringLiteral("categoryID"), QStringLiteral("1")},
                                            {QStringLiteral("phone"), QVariantList{item("1", "1", "work", "1"),
                                                                                   item("2", "2", "fax")}}}}}},
        {"an address of six parts",
         {extendedLine(2, 12, address6, QStringLiteral("B"), 15)},
         {{QStringLiteral("2"), QVariantMap{{QStringLiteral("lastname"), QStringLiteral("B")},
                                            {QStringLiteral("categoryID"), QStringLiteral("1")},
                                            {QStringLiteral("address"),
                                             QVariantList{QVariantMap{{QStringLiteral("street2"), QStringLiteral("Hof")},
                                                                      {QStringLiteral("street1"), QStringLiteral("Weg 1")},
                                                                      {QStringLiteral("city"), QStringLiteral("Berlin")},
                                                                      {QStringLiteral("state"), QStringLiteral("BE")},
                                                                      {QStringLiteral("zip"), QStringLiteral("10115")},
                                                                      {QStringLiteral("country"), QStringLiteral("DE")},
                                                                      {QStringLiteral("mainEntry"), QStringLiteral("1")},
                                                                      {QStringLiteral("subSlot"), QStringLiteral("12")},
                                                                      {QStringLiteral("type"), QStringLiteral("home")}}}}}}}},
        {"addresses of five and seven parts are left out",
         {extendedLine(2, 12, address5, QStringLiteral("B"), 15), extendedLine(2, 13, address7, QStringLiteral("B"), 16)},
         {{QStringLiteral("2"), QVariantMap{{QStringLiteral("lastname"), QStringLiteral("B")},
                                            {QStringLiteral("categoryID"), QStringLiteral("1")}}}}},
        {"a name holding a comma",
         {extendedLine(4, 1, QStringLiteral("5"), QStringLiteral("Smith, J"), 1)},
         {{QStringLiteral("4"), QVariantMap{{QStringLiteral("lastname"), QStringLiteral("Smith, J")},
                                            {QStringLiteral("categoryID"), QStringLiteral("1")},
                                            {QStringLiteral("phone"), QVariantList{item("5", "1", "home", "1")}}}}}},
        {"type 10, too few fields and a bad slot give nothing",
         {extendedLine(5, 1, QStringLiteral("5"), QStringLiteral("X"), 10),
          QStringLiteral("+MPBRE: 6,1,\"5\",129,\"Y\",1"),
          extendedLine(7, 1, QStringLiteral("5"), QStringLiteral("Z"), 1).replace(QStringLiteral("+MPBRE: 7"),
                                                                                   QStringLiteral("+MPBRE: x"))},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString reply = QStringLiteral("\r\n") + c.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\nOK\r\n");
        EXPECT_EQ(commands.parseMotorolaPhonebookEntries(reply), c.expected)
            << QJsonDocument::fromVariant(commands.parseMotorolaPhonebookEntries(reply)).toJson().toStdString();
    }
    EXPECT_EQ(log.lines().filter(QStringLiteral("line skipped")).size(), 2);
}

TEST_F(MotorolaPhonebookTest, OlderLayoutLinesAsContacts)
{
    SLTCommDevice engine;
    engine.setCurrentEncoding(QStringLiteral("GSM"));
    auto& commands = engine.extension<SLTCommDeviceMotorolaPhonebookExt>();
    const QString tail24 = QStringLiteral(",0,0,0,0,0,0,0,0,0,0");
    const QString line24 = QStringLiteral("+MPBRE: 3,\"0301\",129,\"Anna Berg\",1,0,255,0,1,2,255,0,5,\"\"") + tail24;
    const QString line25 = QStringLiteral("+MPBRE: 3,0,\"0301\",129,\"Anna Berg\",1,0,255,0,1,2,255,0,5,\"\"") + tail24;
    const auto parsed24 = commands.parseOldMotorolaPhonebookLine(line24);
    ASSERT_TRUE(parsed24.has_value());
    EXPECT_EQ(parsed24, commands.parseOldMotorolaPhonebookLine(line25));
    EXPECT_EQ(parsed24->value(QStringLiteral("slot")).toString(), QStringLiteral("Anna Berg"));
    EXPECT_EQ(parsed24->value(QStringLiteral("firstname")).toString(), QStringLiteral("Anna "));
    EXPECT_EQ(parsed24->value(QStringLiteral("lastname")).toString(), QStringLiteral("Berg"));
    const QVariantMap number = parsed24->value(QStringLiteral("phone")).toList().value(0).toMap();
    EXPECT_EQ(number.value(QStringLiteral("value")).toString(), QStringLiteral("0301"));
    EXPECT_EQ(number.value(QStringLiteral("subSlot")).toString(), QStringLiteral("3"));
    EXPECT_EQ(number.value(QStringLiteral("type")).toString(), QStringLiteral("home"));
    EXPECT_EQ(number.value(QStringLiteral("categoryID")).toString(), QStringLiteral("2"));

    const QString temporary = QStringLiteral("+MPBRE: 4,\"1\",129,\"T-x\",6,0,255,0,1,1,255,0,0,\"\"") + tail24;
    const auto tx = commands.parseOldMotorolaPhonebookLine(temporary);
    ASSERT_TRUE(tx.has_value());
    EXPECT_EQ(tx->value(QStringLiteral("slot")).toString(), QStringLiteral(".T-x"));
    EXPECT_TRUE(tx->contains(QStringLiteral("email")));
    EXPECT_FALSE(tx->value(QStringLiteral("email")).toList().value(0).toMap().contains(QStringLiteral("type")));
    EXPECT_FALSE(commands.parseOldMotorolaPhonebookLine(line24.left(line24.lastIndexOf(QLatin1Char(',')))).has_value());
}

TEST_F(MotorolaPhonebookTest, OlderLayoutReadsAndWritesByName)
{
    start("motorola2", {"GSM"});
    sim->modifySession([](PhoneSession& s) {
        s.motorola.lines = {{1, QStringLiteral("0301"), 3, QStringLiteral("Anna"), 0, 255, 1, 1, 255, 1, 0, {}},
                            {2, QStringLiteral("a@b.c"), 6, QStringLiteral("Anna"), 0, 255, 0, 1, 255, 1, 0, {}}};
    });
    const auto contacts = read();
    ASSERT_TRUE(contacts.has_value());
    ASSERT_EQ(contacts->keys(), QStringList{QStringLiteral("Anna")});
    EXPECT_EQ(contacts->value(QStringLiteral("Anna")).toMap().value(QStringLiteral("firstname")).toString(),
              QStringLiteral("Anna"));

    // A new contact without a name is written as "error", found by that name.
    const QVariantMap unnamed{{QStringLiteral("phone"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("555")},
                                                                                   {QStringLiteral("type"), QStringLiteral("home")}}}}};
    const auto conversions = write({{QStringLiteral("T-1"), unnamed}});
    ASSERT_TRUE(conversions.has_value());
    EXPECT_EQ(callback.writeCodes.last(), 0);
    EXPECT_EQ(writeLines(), (QStringList{QStringLiteral("at+mpbw=,\"555\",,\"error\",1,0,255,0,0,1,255,0,0,\"\""),
                                         QStringLiteral("at+mpbf=\"error\"")}));
    ASSERT_TRUE(conversions->value(QStringLiteral("T-1")).toMap().contains(QStringLiteral("error")));
}

TEST_F(MotorolaPhonebookTest, TextsAreQuotedOutsideUcs2Only)
{
    const QVariantMap contact{{QStringLiteral("firstname"), QStringLiteral("Jo")},
                              {QStringLiteral("nickname"), QStringLiteral("J")},
                              {QStringLiteral("birthday"), QStringLiteral("01-02-1990")},
                              {QStringLiteral("phone"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("12")},
                                                                                 {QStringLiteral("type"), QStringLiteral("mobile")}}}}};
    const struct {
        QByteArray set;
        QString create;
    } cases[] = {
        {"GSM", QStringLiteral("at+mpbwe=,,\"12\",,\"Jo\",3,0,255,0,0,1,,1,0,\"\",,,\"\",\"\",\"\",\"\",\"\",\"\",\"J\","
                               "\"01-02-1990\",\"\",\"\"")},
        {"UCS2", QStringLiteral("at+mpbwe=,,00310032,,004A006F,3,0,255,0,0,1,,1,0,,,,\"\",\"\",\"\",\"\",\"\",\"\",004A,"
                                "\"01-02-1990\",,")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set.toStdString());
        start("motorola", {c.set});
        ASSERT_TRUE(write({{QStringLiteral("T-1"), contact}}).has_value());
        ASSERT_FALSE(writeLines().isEmpty());
        EXPECT_EQ(writeLines().first(), c.create);
        kit.fullStop();
    }
}

TEST_F(MotorolaPhonebookTest, ANameWithAQuoteAndALineBreakIsOneCommand)
{
    start("motorola", {"GSM"});
    const QVariantMap contact{{QStringLiteral("lastname"), QStringLiteral("O\"Neil\r\nat+mpbwe=1")},
                              {QStringLiteral("phone"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("12")},
                                                                                 {QStringLiteral("type"), QStringLiteral("home")}}}}};
    const auto conversions = write({{QStringLiteral("T-1"), contact}});
    ASSERT_TRUE(conversions.has_value());
    EXPECT_EQ(linesStartingWith({"at+mpbwe"}).size(), 1);
    const auto stored = sim->session().motorola.contacts;
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.first().name, QStringLiteral("O'Neil  at+mpbwe=1"));

    // A number that would break the command is refused: nothing is sent.
    const QVariantMap badNumber{{QStringLiteral("lastname"), QStringLiteral("X")},
                                {QStringLiteral("phone"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("1\"2")},
                                                                                   {QStringLiteral("type"), QStringLiteral("home")}}}}};
    const auto refused = write({{QStringLiteral("T-2"), badNumber}});
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(callback.writeCodes.last(), 0);
    EXPECT_TRUE(refused->isEmpty());
    EXPECT_TRUE(linesStartingWith({"at+mpbwe"}).isEmpty());
}

TEST_F(MotorolaPhonebookTest, WritesSendOnlyWhatDiffersFromTheCopyRead)
{
    start("motorola", {"GSM"});
    addAnnaAndBert();
    const auto contacts = read();
    ASSERT_TRUE(contacts.has_value());

    // The numbers unchanged: the main record only.
    QVariantMap renamed = contacts->value(QStringLiteral("7")).toMap();
    renamed.insert(QStringLiteral("lastname"), QStringLiteral("Brook"));
    auto conversions = write({{QStringLiteral("7"), renamed}});
    ASSERT_TRUE(conversions.has_value());
    EXPECT_EQ(*conversions, (QVariantMap{{QStringLiteral("7"), QStringLiteral("changed")}}));
    EXPECT_EQ(writeLines(), QStringList{QStringLiteral("at+mpbwe=7,8,,,\"AnnaBrook\",,0,255,0,0,1,,0,4,\"\",,,\"\",\"\","
                                                       "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"")});

    // The e-mail lost: the main record, then that field's delete (a write
    // compares with the copy of a read before it).
    ASSERT_TRUE(read().has_value());
    QVariantMap withoutMail = contacts->value(QStringLiteral("7")).toMap();
    withoutMail.remove(QStringLiteral("email"));
    conversions = write({{QStringLiteral("7"), withoutMail}});
    ASSERT_TRUE(conversions.has_value());
    EXPECT_EQ(*conversions, (QVariantMap{{QStringLiteral("7"), QStringLiteral("changed")}}));
    const QStringList lines = writeLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QLatin1String("at+mpbwe=7,1,,,\"AnnaBerg\"")));
    EXPECT_EQ(lines[1], QStringLiteral("at+mpbwe=7,8"));
    EXPECT_EQ(sim->session().motorola.contact(7)->fields.size(), 1);
}

TEST_F(MotorolaPhonebookTest, DeletionsFirstThenNewContactsReadBack)
{
    start("motorola", {"GSM"});
    addAnnaAndBert();
    ASSERT_TRUE(read().has_value());

    const QVariantMap newContact{
        {QStringLiteral("firstname"), QStringLiteral("Cleo")},
        {QStringLiteral("phone"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("111")},
                                                           {QStringLiteral("type"), QStringLiteral("home")}},
                                               QVariantMap{{QStringLiteral("value"), QStringLiteral("222")},
                                                           {QStringLiteral("type"), QStringLiteral("work")}}}}};
    const auto conversions = write({{QStringLiteral("7"), QVariantMap()},
                                    {QStringLiteral("9"), QVariantMap()},
                                    {QStringLiteral("T-1"), newContact}});
    ASSERT_TRUE(conversions.has_value());
    EXPECT_EQ(callback.writeCodes.last(), 0);
    const QStringList lines = writeLines();
    ASSERT_EQ(lines.size(), 5) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("at+mpbwe=7"));
    EXPECT_EQ(lines[1], QStringLiteral("at+mpbwe=9"));
    EXPECT_TRUE(lines[2].startsWith(QLatin1String("at+mpbwe=,,\"111\",,\"Cleo\",1,")));
    EXPECT_EQ(lines[3], QStringLiteral("at+mpbwe=1,,\"222\",,,0"));
    EXPECT_EQ(lines[4], QStringLiteral("AT+MPBRE=1"));
    EXPECT_EQ(conversions->value(QStringLiteral("7")).toString(), QStringLiteral("deleted"));
    EXPECT_EQ(conversions->value(QStringLiteral("9")).toString(), QStringLiteral("deleted"));
    const QVariantMap created = conversions->value(QStringLiteral("T-1")).toMap();
    ASSERT_EQ(created.keys(), QStringList{QStringLiteral("1")});
    const QVariantMap readBack = created.value(QStringLiteral("1")).toMap();
    EXPECT_EQ(readBack.value(QStringLiteral("firstname")).toString(), QStringLiteral("Cleo"));
    EXPECT_EQ(readBack.value(QStringLiteral("phone")).toList().size(), 2);
}

// Over Bluetooth the phone can go away: the simulated stack drops the channel.
TEST_F(MotorolaPhonebookTest, ALostLinkEndsTheWriteWithWhatWasDone)
{
    const QString address = QStringLiteral("00:1d:28:aa:bb:cd");
    auto stack = std::make_shared<platform::BluetoothStackSimulated>();
    platform::BluetoothStack::setShared(stack);
    sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("motorola")));
    sim->modifySession([](PhoneSession& s) { s.motorola.lastSlot = 10; });
    addAnnaAndBert();
    QList<platform::SdpServiceRecord> records;
    for (const QVariantMap& description : phonesim::ServiceRecords::forProfile(QStringLiteral("motorola")))
        records.append(*platform::BluetoothStackSimulated::recordFromJson(description));
    stack->addDevice(address, QStringLiteral("phone"), true, records);
    for (int channel : phonesim::ServiceRecords::atChannels(QStringLiteral("motorola")))
        stack->setChannelConnector(address, quint8(channel), [this] { return sim->connectSocketPair(); });
    kit.setCallback(&callback);
    kit.setAddressString(address);
    kit.setFamily(QStringLiteral("motorola"));
    ASSERT_TRUE(read().has_value());

    sim->clearReceived();
    sim->holdAnswersTo("+MPBWE");
    kit.writePhonebookEntries({{QStringLiteral("7"), QVariantMap()}, {QStringLiteral("9"), QVariantMap()}});
    // The first delete is answered, the second never: the phone goes away.
    ASSERT_TRUE(wait([&] { return linesStartingWith({"at+mpbwe"}).size() == 1; }));
    sim->releaseHeldAnswers();
    sim->holdAnswersTo("+MPBWE");
    ASSERT_TRUE(wait([&] { return linesStartingWith({"at+mpbwe"}).size() == 2; }));
    stack->closeFromRemote(address);
    ASSERT_TRUE(wait([&] { return !callback.writes.isEmpty(); }));
    wait([] { return false; }, 2.0);
    kit.fullStop();
    platform::BluetoothStack::setShared(nullptr);
    EXPECT_EQ(callback.writeCodes, QList<int>{-2});
    EXPECT_EQ(callback.writes.first(), (QVariantMap{{QStringLiteral("7"), QStringLiteral("deleted")}}));
}

TEST_F(MotorolaPhonebookTest, ContactDifferenceAgainstThePhonesCopy)
{
    QVariantMap phone = annaAsRead();
    QVariantMap changed = annaAsRead();
    changed.insert(QStringLiteral("phone"), QVariantList{item("999", "1", "mobile", "1")});
    changed.remove(QStringLiteral("email"));
    changed.insert(QStringLiteral("url"), QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("x.org")}}});
    const auto difference = KestrovaMotorolaPhonebookExt::getMotorolaPhonebookEntryDiffFrom(changed, &phone);
    ASSERT_TRUE(difference.has_value());
    EXPECT_EQ(difference->value(QStringLiteral("phone")).toList(), QVariantList{item("999", "1", "mobile", "1")});
    EXPECT_EQ(difference->value(QStringLiteral("delete")).toList(), QVariantList{QStringLiteral("8")});
    EXPECT_EQ(difference->value(QStringLiteral("fakeSubSlot")).toString(), QStringLiteral("8"));
    EXPECT_EQ(difference->value(QStringLiteral("url")).toList().size(), 1);
    EXPECT_FALSE(KestrovaMotorolaPhonebookExt::getMotorolaPhonebookEntryDiffFrom(changed, nullptr).has_value());
    QVariantMap odd = changed;
    odd.insert(QStringLiteral("bad"), 5);
    QVariantMap copy = annaAsRead();
    EXPECT_FALSE(KestrovaMotorolaPhonebookExt::getMotorolaPhonebookEntryDiffFrom(odd, &copy).has_value());
}
