// The calendar commands of the simulated Motorola phones, line by line.
#include "PhoneSimulator.h"

#include <gtest/gtest.h>

using phonesim::PhoneProfile;
using phonesim::PhoneSession;
using phonesim::PhoneSimulator;

namespace {

std::unique_ptr<PhoneSimulator> calendarPhone(const char* profile)
{
    auto sim = std::make_unique<PhoneSimulator>(*PhoneProfile::named(QLatin1String(profile)));
    sim->answerLine("ATE0");
    return sim;
}

const QByteArray kExtendedRecord =
    "3,\"Lunch, 1pm\",1,0,\"12:00\",\"03-04-2026\",,\"06:28\",\"02-06-2088\",2,\"13:00\","
    "\"03-04-2026\",\"\",11,\"Caf\xe9\",\"\",501,1,80,,\"00-00-2000\"";

} // namespace

TEST(MotorolaCalendarSim, StoresAndAnswersEventsInTheExtendedLayout)
{
    auto sim = calendarPhone("motorola");
    sim->modifySession([](PhoneSession& s) { s.characterSet.current = "8859-1"; });
    EXPECT_FALSE(sim->answerLine("AT+MDBR=?").contains("+MDBR"));
    ASSERT_EQ(sim->answerLine("AT+MODE=2"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(sim->answerLine("AT+MDBR=?"), QByteArray("\r\n+MDBR: 100,64,32,16,8\r\n\r\nOK\r\n"));
    EXPECT_TRUE(sim->answerLine("AT+CCLK?").startsWith("\r\n+CCLK: \""));
    ASSERT_EQ(sim->answerLine("AT+MDBW=" + kExtendedRecord), QByteArray("\r\nOK\r\n"));
    const PhoneSession session = sim->session();
    ASSERT_TRUE(session.motorolaCalendar.events.contains(3));
    EXPECT_EQ(session.motorolaCalendar.events.value(3).fields.at(1), QStringLiteral("Lunch, 1pm"));
    EXPECT_EQ(session.motorolaCalendar.events.value(3).fields.at(14), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(sim->answerLine("AT+MDBR=0,99"), QByteArray("\r\n+MDBR: " + kExtendedRecord + "\r\n\r\nOK\r\n"));
    EXPECT_EQ(sim->answerLine("AT+MDBR=4,99"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(sim->answerLine("AT+MDBWE=3,0,0"), QByteArray("\r\nOK\r\n"));
    EXPECT_TRUE(sim->session().motorolaCalendar.events.isEmpty());
}

TEST(MotorolaCalendarSim, RefusesWhatAPhoneWould)
{
    auto sim = calendarPhone("motorola");
    sim->answerLine("AT+CMEE=1");
    sim->answerLine("AT+MODE=2");
    const struct {
        QByteArray line;
        QByteArray answer;
    } cases[] = {
        {"AT+MDBR=0,100", "\r\n+CME ERROR: 21\r\n"},
        {"AT+MDBR=5,4", "\r\n+CME ERROR: 21\r\n"},
        {"AT+MDBR=-1,4", "\r\n+CME ERROR: 21\r\n"},
        {"AT+MDBW=3,\"short\",1,0", "\r\nERROR\r\n"},
        {"AT+MDBW=100" + kExtendedRecord.mid(1), "\r\n+CME ERROR: 21\r\n"},
        {"AT+MDBWE=7,0,0", "\r\n+CME ERROR: 22\r\n"},
        {"AT+MDBL=2", "\r\nERROR\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sim->answerLine(c.line), c.answer) << c.line.toStdString();
    sim->modifySession([](PhoneSession& s) { s.motorolaCalendar.refusedWrites = 1; });
    EXPECT_EQ(sim->answerLine("AT+MDBW=" + kExtendedRecord), QByteArray("\r\nERROR\r\n"));
    EXPECT_EQ(sim->answerLine("AT+MDBW=" + kExtendedRecord), QByteArray("\r\nOK\r\n"));
}

TEST(MotorolaCalendarSim, TheOlderLayoutNeedsTheDateBookLock)
{
    auto sim = calendarPhone("motorola2");
    sim->answerLine("AT+CMEE=1");
    sim->answerLine("AT+MODE=2");
    const QByteArray record = "2,\"Dentist\",1,0,\"10:00\",\"03-04-2026\",60,\"06:28\",\"00-00-2000\",0";
    EXPECT_EQ(sim->answerLine("AT+MDBW=" + record), QByteArray("\r\n+CME ERROR: 3\r\n"));
    ASSERT_EQ(sim->answerLine("AT+MDBL=1"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(sim->answerLine("AT+MDBW=" + kExtendedRecord), QByteArray("\r\nERROR\r\n"));
    ASSERT_EQ(sim->answerLine("AT+MDBW=" + record), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(sim->answerLine("AT+MDBR=0,9"), QByteArray("\r\n+MDBR: " + record + "\r\n\r\nOK\r\n"));
}
