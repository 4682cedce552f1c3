#pragma once

#include "kestrova/sms/SmsLog.h"

#include <QString>
#include <utility>

namespace kestrova {

// One line to the program's "SMSKit" log, made only when that log is open, so
// nothing is formatted (no hex dump built) while it is closed.
template <typename MakeLine>
void kitLogWith(MakeLine&& makeLine)
{
    if (smsKitLogIsOpen())
        smsKitLog(std::forward<MakeLine>(makeLine)());
}

inline void kitLog(const char* text)
{
    if (smsKitLogIsOpen())
        smsKitLog(QString::fromUtf8(text));
}

} // namespace kestrova
