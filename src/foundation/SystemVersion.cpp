#include "foundation/SystemVersion.h"

#include "platform/Values.h"

#include <QStringList>

namespace {

constexpr const char* kProductNameValue = "Mac OS X";
constexpr const char* kCodeNames[] = { "Cheetah", "Puma", "Jaguar", "Panther", "Tiger", "Leopard", "Snow Leopard" };

int entry(const SystemVersionDict& dict, const char* key, bool* present = nullptr)
{
    const QVariant value = dict.value(QString::fromLatin1(key));
    if (present)
        *present = value.isValid();
    return value.isValid() ? platform::values::toInt(value) : 0;
}

int compare(int a, int b)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

} // namespace

QVariantMap systemVersionPlist()
{
    return { { QString::fromLatin1(sysversion::kProductName), QString::fromLatin1(kProductNameValue) },
             { QString::fromLatin1(sysversion::kProductVersion), QString::fromLatin1(sysversion::kStandInVersion) } };
}

QString systemVersionPlistProductVersion()
{
    return systemVersionPlist().value(QString::fromLatin1(sysversion::kProductVersion)).toString();
}

std::optional<SystemVersionDict> systemVersionFromGestalt(std::optional<int> sysv, std::optional<int> sys1,
                                                          std::optional<int> sys2, std::optional<int> sys3)
{
    if (!sysv)
        return std::nullopt;
    int major = 0, minor = 0, bugFix = 0;
    const int value = *sysv;
    if (value <= 0x103F) {
        major = ((value >> 12) & 0xF) * 10 + ((value >> 8) & 0xF);
        minor = (value >> 4) & 0xF;
        bugFix = value & 0xF;
    } else if (sys1) {
        major = *sys1;
        if (sys2) {
            minor = *sys2;
            if (sys3)
                bugFix = *sys3;
        }
    }
    SystemVersionDict dict;
    if (major >= 10)
        dict.insert(QString::fromLatin1(sysversion::kMajor), major);
    dict.insert(QString::fromLatin1(sysversion::kMinor), minor);
    dict.insert(QString::fromLatin1(sysversion::kBugFix), bugFix);
    return dict;
}

std::optional<SystemVersionDict> systemVersionGestalt()
{
    return systemVersionFromGestalt(sysversion::kStandInGestaltValue, sysversion::kStandInMajor, sysversion::kStandInMinor,
                                    sysversion::kStandInBugFix);
}

std::optional<SystemVersionDict> systemVersionStringToDict(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    const QStringList parts = text.split(QLatin1Char('.'));
    const int major = platform::values::stringInt(parts.value(0));
    if (major < 10)
        return std::nullopt;
    return SystemVersionDict { { QString::fromLatin1(sysversion::kMajor), major },
                               { QString::fromLatin1(sysversion::kMinor), platform::values::stringInt(parts.value(1)) },
                               { QString::fromLatin1(sysversion::kBugFix), platform::values::stringInt(parts.value(2)) } };
}

QString systemVersionDictToString(const std::optional<SystemVersionDict>& dict)
{
    if (!dict)
        return QString();
    bool hasMajor = false;
    const int major = entry(*dict, sysversion::kMajor, &hasMajor);
    if (!hasMajor || major < 10)
        return QString();
    const int minor = std::max(0, entry(*dict, sysversion::kMinor));
    const int bugFix = std::max(0, entry(*dict, sysversion::kBugFix));
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(bugFix);
}

int systemVersionCompareDicts(const SystemVersionDict& a, const SystemVersionDict& b)
{
    for (const char* key : { sysversion::kMajor, sysversion::kMinor, sysversion::kBugFix }) {
        if (const int result = compare(entry(a, key), entry(b, key)))
            return result;
    }
    return 0;
}

QString systemVersionCodeNameForDict(const std::optional<SystemVersionDict>& dict)
{
    if (!dict)
        return QString();
    const int major = entry(*dict, sysversion::kMajor);
    if (major < 10)
        return QString();
    const int minor = entry(*dict, sysversion::kMinor);
    if (major == 10 && minor >= 0 && minor < int(std::size(kCodeNames)))
        return QString::fromLatin1(kCodeNames[minor]);
    return QString::fromLatin1(sysversion::kUnknownCodename);
}
