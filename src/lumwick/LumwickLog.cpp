#include "lumwick/LumwickLog.h"

#include "platform/Localization.h"
#include "platform/ProgramLog.h"

namespace lumwick {

void lumwickLog(const QString& line)
{
    platform::programlog::write(kLumwickLog, line);
}

QString localized(const QString& key)
{
    return platform::localizedString(key, QStringLiteral("Lumwick"));
}

} // namespace lumwick
