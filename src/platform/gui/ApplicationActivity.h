#pragma once

#include <Qt>

// The program becoming active or giving up being active, as notifications on
// the default platform::NotificationCenter (sender null):
// "NSApplicationDidBecomeActiveNotification" when the application becomes
// the active one, "NSApplicationWillResignActiveNotification" when it stops
// being so. Installed once at start, after the QGuiApplication exists.
namespace platform::gui {

inline constexpr const char* kApplicationDidBecomeActive = "NSApplicationDidBecomeActiveNotification";
inline constexpr const char* kApplicationWillResignActive = "NSApplicationWillResignActiveNotification";

// Safe to call again: installs once.
void installApplicationActivityNotifications();
// What a change of the application state posts (the handler of the
// installed connection; tests call it with the states they need).
void postApplicationStateChange(Qt::ApplicationState previous, Qt::ApplicationState current);

} // namespace platform::gui
