#pragma once

// Texts of the phone window: notification names, keys, log lines and the
// keys of its localized strings.
namespace devicewindowkeys {

inline constexpr const char* kNotifyConnectionChanged = "NotifyMobileDeviceConnectionChanged";
inline constexpr const char* kNotifyDeviceDirtyChanged = "DeviceDirtyChanged_Notify";
inline constexpr const char* kNotifyNewSMS = "OrganizerReciveNewSMSNotify";
inline constexpr const char* kNotifyBatteryChanged = "NotifyMobileDeviceBatteryChanged";
inline constexpr const char* kNotifySyncEngineActive = "SyncEngineActive";
inline constexpr const char* kNotifySessionDied = "NotifySessionDiedError";
inline constexpr const char* kNotifySyncTooManyItems = "DZ-SyncTooManyItems";
inline constexpr const char* kNotifySyncFailedDeleteItems = "DZ-SyncFailedDeleteItems";
inline constexpr const char* kActiveKey = "Active";

inline constexpr const char* kBrowserWindow = "BrowserWindow";
inline constexpr const char* kBackupCenter = "Backup ToolbarIdentifier";
inline constexpr const char* kMobileFinderCenter = "MobileFinder ToolbarIdentifier";
inline constexpr const char* kStateWizard = "%1\tWizard";
inline constexpr const char* kStateConnected = "%1\tConnected";
inline constexpr const char* kLastCenterKey = "Common.LastCenterNameConnect";
inline constexpr const char* kSyncModeKey = "SyncMode";
inline constexpr const char* kSyncEngineEnabledKey = "SyncEngineEnabled";
inline constexpr const char* kUnknownIdentification = "Unknown+Unknown";
inline constexpr const char* kMountPoints = "mountPoints";
inline constexpr const char* kMountPoint = "mountPoint";
inline constexpr const char* kSerialNumber = "serialNumber";
inline constexpr const char* kUSBVolName1 = "USB.VolName1";
inline constexpr const char* kUSBVolName2 = "USB.VolName2";
inline constexpr const char* kUSBSerialNo = "USB.SerialNo";
inline constexpr const char* kUSBVendor = "USB.Vendor";
inline constexpr const char* kUSBModel = "USB.Model";
inline constexpr const char* kUSBDeviceNumber = "USB.QVDeviceNumber";
inline constexpr const char* kConnectWizardLogo = "ConnectWizard";

// "XT" log lines.
inline constexpr const char* kLogNoBTDevice = "### IOBluetoothDevice withAddress returned nil";
inline constexpr const char* kLogOpenStatus = "### openConnection returned status: 0x%1";
inline constexpr const char* kLogOpenStatus2 = "### openConnection (2nd time) returned status: 0x%1";
inline constexpr const char* kLogOpenOk2 = "+++ openConnection (2nd time) returned noErr";
inline constexpr const char* kLogNoDictionary = "### makeDeviceDictionary returned nil";
inline constexpr const char* kLogNoDevice = "### mfDeviceWithDictAndType returned nil";
inline constexpr const char* kLogNoConnection = "### the stored device dictionary names no connection";
inline constexpr const char* kLogSyncOff = "+++ Sync Manager switched Off";
inline constexpr const char* kLogSyncLastState = "+++ Sync use last organizer state";
inline constexpr const char* kLogSyncIgnore = "+++ Sync ignorr";
inline constexpr const char* kLogError = "%1 %2 = %3.";

// Localized keys.
inline constexpr const char* kErrorMsg = "ErrorMsg";
inline constexpr const char* kNoExplanation = "Can't find explanation";
inline constexpr const char* kAutoconnect = "Autoconnect";
inline constexpr const char* kStopped = "Stopped";
inline constexpr const char* kNoHistoryData = "No history data";
inline constexpr const char* kSetupWizard = "SetupWizard";
inline constexpr const char* kCloseNow = "Close Now";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kOK = "OK";
inline constexpr const char* kBluetoothSetup = "Bluetooth Setup";
inline constexpr const char* kCloseWaitText = "CloseWaitText";
inline constexpr const char* kConnectedUSB = "Connected over USB";
inline constexpr const char* kConnectedBluetooth = "Connected over Bluetooth";
inline constexpr const char* kArchiveOf = "Archive of %@";
inline constexpr const char* kSessionDied = "-21880";
// Connecting a phone of the device list.
inline constexpr const char* kConnectMobile = "ConnectMobile";
inline constexpr const char* kConnectFailedTitle = "60";
inline constexpr const char* kConnectFailedText = "56";
inline constexpr const char* kNotifyMarkReadChanged = "OrganizerMarkReadChangedNotify";

} // namespace devicewindowkeys
