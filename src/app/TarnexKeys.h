#pragma once

// Pane keys, interface files, notifications, settings keys, pictures, string
// keys and log texts of the main window.
namespace tarnexkeys {

// Panes: localization keys and interface files, in the order of their indexes.
inline constexpr const char* kWelcomePane = "kWelcomePaneName";
inline constexpr const char* kSelectKnownDevice = "kSelectKnownDevice";
inline constexpr const char* kConnectingPane = "kConnectingFeedbackPaneName";
inline constexpr const char* kContacts = "kContacts";
inline constexpr const char* kSyncSettings = "kSyncSettings";
inline constexpr const char* kMediaFiles = "kMediaFiles";
inline constexpr const char* kWelcomeNib = "WelcomeView";
inline constexpr const char* kMatrixNib = "MatrixDeviceChooserView";
inline constexpr const char* kConnectingNib = "ConnectingFeedbackController";
inline constexpr const char* kContactsNib = "ContactsView";
inline constexpr const char* kSyncSettingsNib = "SyncSettingsView";
// The pane name shown as "Marvesto" in the title.
inline constexpr const char* kContactsPaneName = "Contacts";
inline constexpr const char* kContactsTitle = "Marvesto";
inline constexpr const char* kWindowTitle = "Marvesto LG";

// Notifications.
inline constexpr const char* kSyncSuccessful = "TarnexSyncSuccessful";
inline constexpr const char* kSyncFailed = "TarnexSyncFailed";
inline constexpr const char* kSyncTooManyItems = "DZ-SyncTooManyItems";
inline constexpr const char* kDeviceDisconnected = "kNotifyMobileDeviceDisconnected";
inline constexpr const char* kStopScanning = "DZNotificationStopScanning";
inline constexpr const char* kMissingItems = "missingItems";

// Device-list entry keys.
inline constexpr const char* kClipSizeWidth = "Common.ClipSizeWidth";

// Pictures.
inline constexpr const char* kBigPictureFormat = "%@_big";
inline constexpr const char* kDefaultHandyLogo = "DefaultHandyLogo";
inline constexpr const char* kProductLogo = "TarnexLogo";
inline constexpr const char* kSuccessTick = "SyncSuccess";
inline constexpr const char* kAddPhoneImage = "add_phone";
inline constexpr const char* kAddPhoneOverImage = "add_phone_over";
inline constexpr const char* kMissingPhoneImage = "missing_phone";
inline constexpr const char* kMissingPhoneOverImage = "missing_phone_over";
inline constexpr const char* kSyncSettingsImage = "sync_settings";
inline constexpr const char* kSyncSettingsOverImage = "sync_settings_over";
inline constexpr const char* kShowPhonesImage = "show_phones";
inline constexpr const char* kShowPhonesOverImage = "show_phones_over";
inline constexpr const char* kWizTranspButton = "WizTranspButton";
inline constexpr const char* kWizGreenButton = "WizGreenButton";
inline constexpr const char* kWizRedButton = "WizRedButton";

// String keys.
inline constexpr const char* kPrevious = "kPrevious";
inline constexpr const char* kNext = "kNext";
inline constexpr const char* kAddPhone = "kAddPhone";
inline constexpr const char* kMissingPhone = "kMissingPhone";
inline constexpr const char* kShowPhones = "kShowPhones";
inline constexpr const char* kYourPhone = "Your phone";
inline constexpr const char* kSyncFinished = "kSyncFinished";
inline constexpr const char* kSyncOrSettings = "kSyncOrSettings";
inline constexpr const char* kSyncFailedTitle = "kSyncFailedTitle";
inline constexpr const char* kLongSyncFailedTextUSB = "kLongSyncFailedTextUSB";
inline constexpr const char* kLongSyncFailedText = "kLongSyncFailedText";
inline constexpr const char* kOK = "OK";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kRescan = "Rescan";
inline constexpr const char* kUnfinishedSync = "Unfinished_Synchonisation";
inline constexpr const char* kMissingItemsFormat = "Missing_Items";
inline constexpr const char* kNoNewPhonesTitle = "kNoNewPhonesTitle";
inline constexpr const char* kNoNewPhonesSheetMsg = "kNoNewPhonesSheetMsg";
inline constexpr const char* kCriticalError = "kCriticalErrorInCommunicationWithMobile";
inline constexpr const char* kRestartExplanation = "kRestartMirrovanceExplanation";
inline constexpr const char* kQuit = "kQuit";
inline constexpr const char* kSendDebuggingInfoTitle = "kSendDebuggingInfoTitle";
inline constexpr const char* kSendDebuggingInfoMsg = "kSendDebuggingInfoMsg";
inline constexpr const char* kSendWithMail = "kSendWithMail";
inline constexpr const char* kShowReportFolder = "kShowReportFolder";

// Log texts ("XT").
inline constexpr const char* kLogAwake = "[TarnexController awakeFromNib] _mainWindow = 0x%08lx";
inline constexpr const char* kLogSwitching = "Switching from %@ to %@";
inline constexpr const char* kLogNoController = "No controller at index: %d";
inline constexpr const char* kLogSyncsInProgress = "syncs in progress: %d";
inline constexpr const char* kLogNoConnectionType = "Phone doesn't have a valid connection type set";
inline constexpr const char* kLogWhyThisOne = "Why this one???";

} // namespace tarnexkeys
