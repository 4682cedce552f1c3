#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

// The operating-system version as the program's version rules know it: a
// dictionary of major, minor and bug fix. This platform answers the newest
// desktop-platform version the program tells apart ("10.6.8"), so every
// version-dependent choice takes its newest behaviour. A major below 10 is no
// version at all.

namespace sysversion {
inline constexpr const char* kMajor = "QVSystemVersionMajor";
inline constexpr const char* kMinor = "QVSystemVersionMinor";
inline constexpr const char* kBugFix = "QVSystemVersionBugFix";
inline constexpr const char* kProductVersion = "ProductVersion";
inline constexpr const char* kProductName = "ProductName";
inline constexpr const char* kUnknownCodename = "unknown codename";
// The version this platform answers, and its packed form (above 0x103F, so
// the parts are asked one by one).
inline constexpr const char* kStandInVersion = "10.6.8";
inline constexpr int kStandInGestaltValue = 0x1068;
inline constexpr int kStandInMajor = 10;
inline constexpr int kStandInMinor = 6;
inline constexpr int kStandInBugFix = 8;
} // namespace sysversion

using SystemVersionDict = QVariantMap;

// The stand-in system version file: ProductName and ProductVersion.
QVariantMap systemVersionPlist();
QString systemVersionPlistProductVersion();

// The version from the packed values: sysv up to 0x103F is binary-coded
// decimal (0x1039 -> 10, 3, 9); above it, sys1..sys3 give major, minor and
// bug fix, each only when the one before was there. Nothing without sysv.
// The major key is set only when it is at least 10.
std::optional<SystemVersionDict> systemVersionFromGestalt(std::optional<int> sysv, std::optional<int> sys1 = std::nullopt,
                                                          std::optional<int> sys2 = std::nullopt,
                                                          std::optional<int> sys3 = std::nullopt);
std::optional<SystemVersionDict> systemVersionGestalt();

// "10.4.11" -> 10, 4, 11; missing parts 0; nothing for an empty text or a
// major below 10.
std::optional<SystemVersionDict> systemVersionStringToDict(const QString& text);
// "%d.%d.%d"; null when the major is missing or below 10.
QString systemVersionDictToString(const std::optional<SystemVersionDict>& dict);
// -1, 0, 1 by major, minor, bug fix (missing entries count as 0).
int systemVersionCompareDicts(const SystemVersionDict& a, const SystemVersionDict& b);
// "Cheetah" ... "Snow Leopard" for 10.0 to 10.6, "unknown codename" later;
// null for nothing or a major below 10.
QString systemVersionCodeNameForDict(const std::optional<SystemVersionDict>& dict);
