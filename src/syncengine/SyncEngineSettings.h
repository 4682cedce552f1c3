#pragma once

#include <QString>
#include <QVariantMap>

// The sync hub's settings, a property list beside its store: the guard
// against mass changes ("AirbagDisabled", "AirbagThreshold"), which holds a
// session back when it would change more than the threshold's share of the
// records. The guard is on unless the user switches it off.
namespace platform::syncengine {

inline constexpr const char* kSettingsFileName = "SyncEngineSettings.plist";
inline constexpr const char* kAirbagDisabled = "AirbagDisabled";
inline constexpr const char* kAirbagThreshold = "AirbagThreshold";
inline constexpr int kDefaultAirbagThreshold = 5;

QString settingsPath();
// The settings; an unreadable or missing file answers an empty dictionary.
QVariantMap readSettings();
bool writeSettings(const QVariantMap& settings);

// At start: writes the threshold when it is absent and leaves every other
// setting, "AirbagDisabled" included, as the user left it; a file that cannot
// be read is left alone. Answers whether the file holds the threshold
// afterwards.
bool ensureMassChangeGuardDefaults();

} // namespace platform::syncengine
