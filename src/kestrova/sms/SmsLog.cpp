#include "kestrova/sms/SmsLog.h"

namespace kestrova {

void smsKitLog(const QString& line)
{
    // The library binds the program's named-log functions at run time; until
    // that binding exists the codec's lines are dropped here.
    Q_UNUSED(line);
}

} // namespace kestrova
