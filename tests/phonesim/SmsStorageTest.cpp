// The simulated phone's short-message storages and their AT commands.
#include "PhoneSimulator.h"
#include "PtyClient.h"
#include "VirtualTime.h"

#include <gtest/gtest.h>

#include <functional>

using phonesim::PhoneProfile;
using phonesim::PhoneSession;
using phonesim::PhoneSimulator;

namespace {

// A DELIVER PDU (service centre +491710760000, from +123, "Hi", TPDU 17
// octets) and a SUBMIT PDU (TPDU 15 octets).
const QByteArray kDeliver = "07919471010670F004039121F300006221012143000002C834";
const QByteArray kSubmit = "001100039121F30000AA05C8329BFD06";   // "Hello" to +123

class SmsStorageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim = std::make_unique<PhoneSimulator>(*PhoneProfile::named(QStringLiteral("sonyericsson")));
        sim->answerLine("ATE0");
        sim->modifySession([](PhoneSession& s) {
            s.sms.store("SM", 0, kDeliver);
            s.sms.store("SM", 1, kDeliver);
            s.sms.store("SM", 2, kDeliver);
            s.sms.store("ME", 3, kDeliver);
        });
    }
    std::unique_ptr<PhoneSimulator> sim;
};

} // namespace

TEST_F(SmsStorageTest, AnswersTheStorageCommands)
{
    struct Case {
        const char* line;
        QByteArray answer;
    };
    const Case cases[] = {
        {"AT+CPMS=?", "\r\n+CPMS: (\"SM\",\"ME\",\"MT\"),(\"SM\",\"ME\",\"MT\"),(\"SM\",\"ME\",\"MT\")\r\n\r\nOK\r\n"},
        {"AT+CPMS?", "\r\n+CPMS: \"SM\",3,20,\"SM\",3,20,\"SM\",3,20\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"ME\"", "\r\n+CPMS: 1,100,3,20,3,20\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"SM\",\"ME\",\"MT\"", "\r\n+CPMS: 3,20,1,100,0,120\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"BM\"", "\r\n+CMS ERROR: 302\r\n"},
        {"AT+CMGF=0", "\r\nOK\r\n"},
        {"AT+CMGF=2", "\r\nERROR\r\n"},
        {"AT+CMGL=2", "\r\n+CMGL: 3,2,,17\r\n\r\n" + kDeliver + "\r\n\r\nOK\r\n"},
        {"AT+CMGL=0", "\r\n+CMGL: 1,0,,17\r\n\r\n" + kDeliver + "\r\n\r\nOK\r\n"},
        // Listing unread marked it read.
        {"AT+CMGL=0", "\r\nOK\r\n"},
        {"AT+CMGL=1", "\r\n+CMGL: 1,1,,17\r\n\r\n" + kDeliver + "\r\n\r\n+CMGL: 2,1,,17\r\n\r\n" + kDeliver + "\r\n\r\nOK\r\n"},
        {"AT+CMGL=5", "\r\nERROR\r\n"},
        {"AT+CMGR=3", "\r\n+CMGR: 2,,17\r\n\r\n" + kDeliver + "\r\n\r\nOK\r\n"},
        {"AT+CMGD=3", "\r\nOK\r\n"},
        {"AT+CMGD=3", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CSCA?", "\r\n+CSCA: \"+491710760000\",145\r\n\r\nOK\r\n"},
        {"AT+CIMI", "\r\n262011234567890\r\n\r\nOK\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sim->answerLine(c.line), c.answer) << c.line;
}

TEST_F(SmsStorageTest, SendsWritesAndSendsFromStorageOverTheTty)
{
    ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    // A loaded machine may take a while to answer: each pass waits up to 50 ms.
    testing_support::OutsideInputScope outside(0.05);
    PtyClient client(sim->slavePath());
    ASSERT_TRUE(client.isOpen());
    // Reads until the text read so far satisfies done (answers may come in
    // pieces).
    const auto readUntil = [&](const std::function<bool(const QByteArray&)>& done) {
        QByteArray text;
        testing_support::runUntil([&] { return done(text += client.readFor(0.05)); });
        return text;
    };
    const auto prompted = [&](const QByteArray& command) {
        client.write(command + '\r');
        const QByteArray prompt = readUntil([](const QByteArray& t) { return t.endsWith("> "); });
        EXPECT_EQ(prompt, QByteArray("\r\n> "));
    };
    const auto promptThen = [&](const QByteArray& command, const QByteArray& pdu) {
        prompted(command);
        client.write(pdu + '\x1A');
        return readUntil([](const QByteArray& t) { return t.endsWith("OK\r\n") || (t.contains("ERROR") && t.endsWith("\r\n")); });
    };
    EXPECT_EQ(promptThen("AT+CMGS=15", kSubmit), QByteArray("\r\n+CMGS: 0\r\n\r\nOK\r\n"));
    // A length that does not match the PDU, then a PDU that is not hex.
    EXPECT_EQ(promptThen("AT+CMGS=16", kSubmit), QByteArray("\r\n+CMS ERROR: 304\r\n"));
    EXPECT_EQ(promptThen("AT+CMGS=1", "0G"), QByteArray("\r\n+CMS ERROR: 304\r\n"));
    EXPECT_EQ(promptThen("AT+CMGW=15", kSubmit), QByteArray("\r\n+CMGW: 4\r\n\r\nOK\r\n"));
    EXPECT_EQ(client.command("AT+CMSS=4"), QByteArray("\r\n+CMSS: 1\r\n\r\nOK\r\n"));
    sim->modifySession([](PhoneSession& s) { s.sms.rejectSend = true; });
    EXPECT_EQ(promptThen("AT+CMGS=15", kSubmit), QByteArray("\r\n+CMS ERROR: 330\r\n"));
    // Escape cancels the input; lines are lines again.
    prompted("AT+CMGS=15");
    client.write("0011\x1b");
    EXPECT_EQ(client.command("AT"), QByteArray("\r\nOK\r\n"));
    PhoneSession session = sim->session();
    EXPECT_EQ(session.sms.sentPdus, (QList<QByteArray>{kSubmit, kSubmit}));
    EXPECT_EQ(session.sms.find("SM")->messages.last().status, 3);
}
