#include "phonejobs/FileJobNames.h"

#include "platform/Localization.h"

namespace filejobnames {

QString formatLocalized(const QString& key, const QString& value)
{
    QString text = platform::localizedString(key);
    if (text.contains(QLatin1String("%@")))
        return text.replace(QLatin1String("%@"), value);
    return text + QLatin1Char(' ') + value;
}

} // namespace filejobnames
