#include "kestrova/sms/SmsLog.h"

#include "platform/ProgramLog.h"

#include <dlfcn.h>

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
    using OpenFn = int (*)(const char*);
    if (auto open = reinterpret_cast<OpenFn>(dlsym(RTLD_DEFAULT, "QVLogCreateAndOpen")))
        open(kSMSKitLog);
}

} // namespace kestrova
