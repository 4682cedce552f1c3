#pragma once

// Defaults keys, notification names, image names and string keys of the
// application shell.
namespace appkeys {

// User defaults.
inline constexpr const char* kAppearanceVariant = "AppleAquaColorVariant";
inline constexpr const char* kCheckUpdatesAtStart = "SUCheckAtStartup";
inline constexpr const char* kEnableDebugging = "EnableDorvantiDebugging";
inline constexpr const char* kEnableSyncMLProtocol = "EnableMarvestoMLProtocol";
inline constexpr const char* kPrefDoWarnOnQuit = "PrefDoWarnOnQuit";
inline constexpr const char* kPrefSyncImmediately = "PrefSyncImmediately";
inline constexpr const char* kEmptyTrashAfter = "Empty trash after";
inline constexpr const char* kPrefShowDeleteMsgWarn = "PrefShowDeleteMsgWarn";
inline constexpr const char* kDevices = "Devices";
inline constexpr const char* kHistoryDevices = "History Devices";

// Marker file that keeps the SyncML diagnostics on.
inline constexpr const char* kSyncMLDebuggingMarker = "EnableSyncMLDebugging";

// Notifications.
inline constexpr const char* kAppWillQuit = "AppWillQuit";
inline constexpr const char* kMediaCenterMainProgress = "NotifyMediaCenterMainProgress";
inline constexpr const char* kMarkReadChanged = "OrganizerMarkReadChangedNotify";
inline constexpr const char* kReceivedNewSMS = "OrganizerReciveNewSMSNotify";

// Phone settings read on a new message.
inline constexpr const char* kShowInfoPanel = "Common.SMS_ShowInfoPanel";
inline constexpr const char* kDockNotify = "Common.SMS_Dock_Notify";

// Images.
inline constexpr const char* kApplicationIcon = "NSApplicationIcon";
inline constexpr const char* kInConvertBadge = "InConvertBadge";
inline constexpr const char* kInTransferBadge = "InTransferBadge";

// String keys.
inline constexpr const char* kTitleLabel = "TarnexLabelLG";
inline constexpr const char* kWarning = "Warning";
inline constexpr const char* kAliasNotFound = "AliasNotFound";
inline constexpr const char* kAliasNotFoundMsg = "AliasNotFoundMsg";
inline constexpr const char* kAliasQuit = "AliasQuit";
inline constexpr const char* kAliasDelete = "AliasDelete";
inline constexpr const char* kHomePage = "QuorvalisHome";
inline constexpr const char* kForum = "QuorvalisForum";
inline constexpr const char* kSupport = "DorvantiSupport";
inline constexpr const char* kUpdate = "DorvantiUpdate";
inline constexpr const char* kManual = "DorvantiManual";
inline constexpr const char* kManualNotInstalled = "ManualNotInstalled";
inline constexpr const char* kManualNotInstalledInfo = "ManualNotInstalledInfo";

} // namespace appkeys
