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

// Sheets, questions and status handlers.
inline constexpr const char* kPairErrTitle = "PairErrTitle";
inline constexpr const char* kPairErrMsg = "PairErrMsg";
inline constexpr const char* kPairName = "name";
inline constexpr const char* kPairAddress = "address";
inline constexpr const char* kUnfinishedSync = "Unfinished_Synchonisation";
inline constexpr const char* kMissingItemsText = "Missing_Items";
inline constexpr const char* kFailedItemsText = "Failed_Items";
inline constexpr const char* kMissingItemsKey = "missingItems";
inline constexpr const char* kFailedItemsKey = "failedItems";
inline constexpr const char* kWarning = "Warning";
inline constexpr const char* kSendMsg = "SendMsg";
inline constexpr const char* kSend = "Send";
inline constexpr const char* kDeleteWarning = "DeleteWarning";
inline constexpr const char* kDelete = "Delete";
inline constexpr const char* kDeletingFiles = "DeletingFiles";
inline constexpr const char* kOverwriteMsg = "OverwriteMsg";
inline constexpr const char* kOverwrite = "Overwrite";
inline constexpr const char* kSMSNumberKey = "Number";
inline constexpr const char* kSMSTextKey = "Text";
inline constexpr const char* kSMSShowInfoPanel = "Common.SMS_ShowInfoPanel";
inline constexpr const char* kSMSImageKey = "SMSImageKey";
inline constexpr const char* kSMSAddrLabelKey = "SMSAddrLabelKey";
inline constexpr const char* kSMSMsgTextKey = "SMSMsgTextKey";
inline constexpr const char* kSMSMsgWindowKey = "SMSMsgWindowKey";
inline constexpr const char* kSMSMsgDragKey = "SMSMsgDragKey";
inline constexpr const char* kLastOrganizerView = "Organizer.LastOrganizerView";
inline constexpr const char* kSMSView = "SMS";
inline constexpr const char* kConnectionLostFormat = "The connection to %@ was lost.";

// The Phone menu.
inline constexpr const char* kPhoneMenu = "PhoneMenu";
inline constexpr const char* kMenuInspector = "MenuInspector";
inline constexpr const char* kMenuBackupNow = "MenuBackupNow";
inline constexpr const char* kMenuPhoneSettings = "MenuPhoneSettings";
inline constexpr const char* kMenuStopScan = "MenuStopScan";
inline constexpr const char* kMenuAutoConnect = "MenuAutoConnect";
inline constexpr const char* kMenuDebugging = "MenuDebugging";
inline constexpr const char* kMenuCenters = "MenuCenters";
inline constexpr const char* kMenuConnectionCenter = "MenuConnectionCenter";
inline constexpr const char* kMenuFiles = "MenuFiles";
inline constexpr const char* kMenuOrganizer = "MenuOrganizer";
inline constexpr const char* kMenuMedia = "MenuMedia";
inline constexpr const char* kMenuTimeTunnel = "MenuTimeTunnel";
inline constexpr const char* kAppDamaged = "Dorvanti application damaged";
inline constexpr const char* kNoEntryForPhone = "There is no entry for requested phone!";
inline constexpr const char* kBackScannTtl = "BackScannTtl";
inline constexpr const char* kBackScannMsg = "BackScannMsg";
inline constexpr const char* kContinue = "Continue";
inline constexpr const char* kSyncMLLog = "SyncML";
inline constexpr const char* kMirrorsFolder = "Mirrors";
inline constexpr const char* kHistoryFolder = "History";
inline constexpr const char* kOtherDataFolder = "Other Data";
inline constexpr const char* kXmlDataFile = "~/xmldata.hex";

// Menu actions, by the names of their selectors.
inline constexpr const char* kActDeviceInspector = "deviceInspector:";
inline constexpr const char* kActDeleteDevice = "deleteDevice:";
inline constexpr const char* kActDeviceOptions = "deviceOptions:";
inline constexpr const char* kActSwitchToCenter = "switchToCenter:";
inline constexpr const char* kActDeviceHistory = "deviceHistory:";
inline constexpr const char* kActSwitchRequireDevice = "switchToCenterRequireDevice:";
inline constexpr const char* kActConnectionCenter = "switchTo_ConnectionCenter:";
inline constexpr const char* kActMobileFinder = "switchTo_MobileFinder:";
inline constexpr const char* kActOrganizer = "switchTo_Organizer:";
inline constexpr const char* kActMediaCenter = "switchTo_MediaCenter:";
inline constexpr const char* kActTimeTunnel = "switchTo_TimeTunnel:";
inline constexpr const char* kActBreakScanning = "breakBackgroundScanning:";
inline constexpr const char* kActBackupNow = "backupDeviceNow:";
inline constexpr const char* kActPhoneSettings = "phoneSettings:";
inline constexpr const char* kActSendDebugging = "sendDebuggingInfo:";
inline constexpr const char* kActAutoConnectOff = "autoConnectOff:";
inline constexpr const char* kActScanForBTDevices = "scanForBTDevices:";
inline constexpr const char* kMenuAddPhone = "MenuAddPhone";

} // namespace devicewindowkeys
