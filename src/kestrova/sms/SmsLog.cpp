#include "kestrova/sms/SmsLog.h"

#include "platform/ProgramLog.h"

namespace kestrova {
namespace {

constexpr const char* kSMSKitLog = "SMSKit";

} // namespace

bool smsKitLogIsOpen()
{
    return platform::programlog::isOpen(kSMSKitLog);
}

void smsKitLog(const QString& line)
{
    platform::programlog::write(kSMSKitLog, line);
}

void openSmsKitLog()
{
    platform::programlog::open(kSMSKitLog);
}

} // namespace kestrova
