// The codec logs through the host program's exported log functions, found by
// name at run time. This test program exports stand-ins that record the lines.
#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/SmsLog.h"
#include "kestrova/sms/pdu.h"
#include "kestrova/sms/pduList.h"
#include "kestrova/sms/smsList.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {
bool g_logOpen = false;
std::vector<std::string> g_lines;
} // namespace

extern "C" __attribute__((visibility("default"), used)) int QVLogIsNamedLogOpen(const char* name)
{
    return g_logOpen && name && std::string(name) == "SMSKit";
}

extern "C" __attribute__((visibility("default"), used)) void QVLogToNamedLog(const char* name, const char* format, ...)
{
    if (!QVLogIsNamedLogOpen(name))
        return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    g_lines.emplace_back(buffer);
}

using namespace kestrova;

TEST(SmsLog, WritesToTheHostsSmsKitLogOnlyWhenItIsOpen)
{
    g_lines.clear();
    g_logOpen = false;
    EXPECT_FALSE(smsKitLogIsOpen());
    smsKitLog(QStringLiteral("not written"));
    EXPECT_TRUE(g_lines.empty());

    g_logOpen = true;
    ASSERT_TRUE(smsKitLogIsOpen());
    smsKitLog(QStringLiteral("100% %s %d kept"));   // never used as a format
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], "100% %s %d kept");

    // A dropped PDU is reported in the log.
    pduList list;
    list.appendItem(std::make_unique<pdu>(QByteArray("zz"), 7));
    smsList out;
    createSmsListFromPduList(out, list);
    ASSERT_EQ(g_lines.size(), 2u);
    EXPECT_NE(g_lines[1].find("dropped"), std::string::npos);
    g_logOpen = false;
}
