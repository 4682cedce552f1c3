#pragma once

// Keys, texts and log lines of the teach-in and phone-preferences sheets.
namespace teachinkeys {

inline constexpr const char* kInterface = "TeachInPrefs";
inline constexpr const char* kTabSelect = "Select";
inline constexpr const char* kTabPairing = "Pairing";
inline constexpr const char* kTabAdd = "Add";
inline constexpr const char* kTabBackup = "Backup";
inline constexpr const char* kTabWM1 = "WM1";
inline constexpr const char* kTabWM3 = "WM3";
inline constexpr const char* kTabError = "Error";
inline constexpr const char* kTabNotSupport = "NotSupport";

inline constexpr const char* kLogClearCache = "!!!! clearQuorvalisBluetoothCache !!!!";
inline constexpr const char* kLogDeviceError = "!!!!   TeachIn deviceError: %1";
inline constexpr const char* kLogDevice = "TeachInPrefsHandler: called device";
inline constexpr const char* kLogSetDevice = "TeachInPrefsHandler: called setDevice";

inline constexpr const char* kDownloadAgent = "Dorvanti.DownloadAgent";
inline constexpr const char* kManufacturer = "Dorvanti.Manufacturer";
inline constexpr const char* kSyncMLIrMC = "SyncML/IrMC";
inline constexpr const char* kBTAddress = "BT.BT_Address";

inline constexpr const char* kAutoConnect = "Common.AutoConnect";
inline constexpr const char* kBackupDevice = "Common.BackupDevice";
inline constexpr const char* kBackupAutomatic = "Common.BackupAutomatic";
inline constexpr const char* kSMSDoPoll = "Common.SMS_DoPoll";
inline constexpr const char* kSMSPollInterval = "Common.SMS_PollInterval";
inline constexpr const char* kSMSShowInfoPanel = "Common.SMS_ShowInfoPanel";
inline constexpr const char* kSMSDockNotify = "Common.SMS_Dock_Notify";
inline constexpr const char* kSMSSendWarn = "Common.SMS_SEND_WARN";
inline constexpr const char* kNativeLanguage = "Lang.NativeLanguage";
inline constexpr const char* kSyncSMS = "SyncML.syncSMS";

inline constexpr const char* kAudioFormats = "AllowedAudioInputFormats";
inline constexpr const char* kPictureFormats = "AllowedPictureInputFormats";
inline constexpr const char* kVideoFormats = "AllowedVideoFormats";
inline constexpr const char* kMapSuffix = "map";
inline constexpr const char* kOtherSuffix = "***";

inline constexpr const char* kColumnUserFolder = "UserFolder";
inline constexpr const char* kColumnPath = "Path";
inline constexpr const char* kColumnEnabled = "Enabled";

// Localized texts.
inline constexpr const char* kGenericLanguage = "GenericLanguage";
inline constexpr const char* kUnknowLanguage = "UnknowLanguage";
inline constexpr const char* kNotSupport = "NotSupport";
inline constexpr const char* kTeachInTitle = "TeachInTitle";
inline constexpr const char* kPrefsTitle = "DevicePrefsTitle";
inline constexpr const char* kContinue = "TeachInContinue";
inline constexpr const char* kFinish = "TeachInFinish";
inline constexpr const char* kInstall = "TeachInInstall";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kOK = "OK";
inline constexpr const char* kNoExplanation = "Can't find explanation";

} // namespace teachinkeys
