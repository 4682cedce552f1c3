#pragma once

#include <QString>

// Texts of the file jobs: descriptions (which decide whether two jobs merge),
// action types, log lines and string-table keys.
namespace filejobnames {

// Action types.
inline const QString kFTP = QStringLiteral("FTP");
inline const QString kMassStorageFast = QStringLiteral("USB-MassStorage_Fast");
inline const QString kMassStorageSlow = QStringLiteral("USB-MassStorage_Slow");
inline const QString kVirtual = QStringLiteral("Virtual");

// Descriptions.
inline const QString kFTPServicesFormat = QStringLiteral("ActionFTPServices: %1");
inline const QString kGetDirectoryContentFormat = QStringLiteral("<ActionGetDirectoryContent: %1>");
inline const QString kMakeFolderFormat = QStringLiteral("ActionMakeFolder: %1");
inline const QString kDeleteFileFolderFormat = QStringLiteral("ActionDeleteFileFolder: %1");
inline const QString kCopyFileFolderFormat = QStringLiteral("ActionCopyFileFolder (%1) (Replace: %2): <%3>  -->  <%4>");
inline const QString kMobileToMac = QStringLiteral("MobileToMac");
inline const QString kMacToMobile = QStringLiteral("MacToMobile");
inline const QString kUpdateTreeFormat = QStringLiteral("<GroupActionUpdateDirectoryTree: %1 forcesUpdates:%2>");
inline const QString kMakeFoldersFormat = QStringLiteral("<GroupActionMakeFolders: %1>");
inline const QString kCopyFolderToMacFormat = QStringLiteral("<GroupActionCopyFolder: source:%1, destination:%2>");
inline const QString kCopyFolderToMobileFormat = QStringLiteral("<GroupActionCopyFolderToMobile: source:%1, destination:%2>");
inline const QString kDeleteFolderFormat = QStringLiteral("<GroupActionDeleteFolder: %1");
inline const QString kSequenceFormat = QStringLiteral("<GroupActionFTPServices: %1>");

// Log lines ("XT").
inline const QString kStartedFormat = QStringLiteral("<%1> started");
inline const QString kStartedWithErrorFormat = QStringLiteral("<%1> started with error: %2");
inline const QString kFinishedFormat = QStringLiteral("<%1> finished with success");
inline const QString kStoppedFormat = QStringLiteral("<%1> stopped with error: %2");
inline const QString kFoundIt = QStringLiteral("found it");
inline const QString kFoundItPath = QStringLiteral("/C:/C:");
inline const QString kToMacStartFormat = QStringLiteral("ActionCopyFileFolder: to mac - starting from: %1 to: %2");
inline const QString kToMobileStartFormat = QStringLiteral("ActionCopyFileFolder: to mobile - starting from: %1 to: %2");
inline const QString kNotChildOfBaseFormat =
    QStringLiteral("called -targetPathForPhonePath: with parameter <%1> that is not a child of copy base path <%2>");
inline const QString kMobileNotChildOfBaseFormat =
    QStringLiteral("called -mobileForMacPath: with parameter <%1> that is not a child of copy base path <%2>");
inline const QString kUnsafeNameFormat = QStringLiteral("A phone name that would leave its folder is skipped: <%1>");

// String-table keys.
inline const QString kActionMakeFolder = QStringLiteral("ActionMakeFolder");
inline const QString kActionDeleteFileFolder = QStringLiteral("ActionDeleteFileFolder");
inline const QString kActionCopyFileFolder = QStringLiteral("ActionCopyFileFolder");
inline const QString kActionRemoveFileFolder = QStringLiteral("ActionRemoveFileFolder");
inline const QString kGroupActionMakeFolders = QStringLiteral("kGroupActionMakeFolders");
inline const QString kCopyErrorSourceFileNotFound = QStringLiteral("kCopyErrorSourceFileNotFound");

// Codes.
inline constexpr int kSourceFileNotFound = -43;
inline constexpr int kDuplicateFile = -48;
inline constexpr int kMissingFolder = -2;
inline constexpr int kMissingFolderOBEX = -21856;

// A string-table text used as a format: "%@" (or, without one, the end)
// takes the value.
QString formatLocalized(const QString& key, const QString& value);

} // namespace filejobnames
