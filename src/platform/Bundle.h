#pragma once

#include <QString>

// What the program knows of itself, as the desktop platform's main bundle
// told it: identifier, name, version.
namespace platform::bundle {

inline constexpr const char* kMainBundleIdentifier = "com.marvesto.MarvestoLG";

QString mainBundleIdentifier();
QString applicationName();      // "MarvestoLG"
QString applicationVersion();   // the project version

} // namespace platform::bundle
