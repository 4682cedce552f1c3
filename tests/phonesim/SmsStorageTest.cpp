// The simulated phone's short-message storages and their AT commands.
#include "PhoneSimulator.h"

#include <gtest/gtest.h>

using phonesim::PhoneProfile;
using phonesim::PhoneSession;
using phonesim::PhoneSimulator;

namespace {

// A DELIVER PDU (service centre +491710760000, from +123, "Hi", TPDU 17
// octets).
const QByteArray kDeliver = "07919471010670F004039121F300006221012143000002C834";

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
