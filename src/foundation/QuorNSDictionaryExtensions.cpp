#include "foundation/QuorNSDictionaryExtensions.h"

#include "foundation/ContainerDescription.h"
#include "foundation/QuorNSDataExtensions.h"
#include "foundation/QuorNSStringCompareAdds.h"

#include <algorithm>

QVariant nonNilString(const QVariantMap& dict, const QString& key)
{
    const auto it = dict.constFind(key);
    if (it == dict.constEnd() || !it->isValid())
        return QString(QLatin1String(""));
    return *it;
}

QVariant noCaseObjectForKey(const QVariantMap& dict, const QString& key)
{
    for (auto it = dict.constBegin(); it != dict.constEnd(); ++it)
        if (isNoCaseEqualToString(it.key(), key))
            return it.value();
    return {};
}

QString formattedDescription(const QVariantMap& dict, int indent)
{
    const QString pad = nSpaces(4 * indent + 4);
    QStringList keys = dict.keys();
    std::stable_sort(keys.begin(), keys.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QString text = QStringLiteral("<NSDictionary>:");
    for (const QString& key : keys) {
        text += QLatin1Char('\n') + pad + QLatin1Char('<') + key + QStringLiteral("> = ");
        text += containerEntryDescription(dict.value(key), indent + 1);
    }
    return text;
}
