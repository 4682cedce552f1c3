#pragma once

#include <QString>

// Texts of the phone's file tree and its data manager: notification names and
// keys, the keys of the stored tree, log lines and string-table keys, spelled
// as the views, the stored files and the people reading the logs expect them.
namespace dztree {

// Entry statuses.
inline constexpr int kOutOfDate = 1;
inline constexpr int kUpdating = 2;
inline constexpr int kUpToDate = 3;
inline constexpr int kRemoved = 4;

// Notifications and their user-info keys.
inline const QString kEntryUpdateNotification = QStringLiteral("DZDirectoryEntryUpdateNotification");
inline const QString kPercentUpdateNotification = QStringLiteral("DZPercentUpdateNotification");
inline const QString kPercentKey = QStringLiteral("DZPercentUpdateNotificationPercentKey");
inline const QString kOrganizerUpdateNotification = QStringLiteral("DZOrganizerDataUpdateNotification");
inline const QString kOrganizerPropertyKey = QStringLiteral("DZOrganizerDataUpdateNotificationPropertyKey");

// The stored tree (Finder state).
inline const QString kName = QStringLiteral("Name");
inline const QString kIsDirectory = QStringLiteral("IsDirectory");
inline const QString kEtikette = QStringLiteral("Etikette");
inline const QString kCustomAttributes = QStringLiteral("CustomAttributes");
inline const QString kChildren = QStringLiteral("Children");
inline const QString kDataManagerFolder = QStringLiteral("DataManager");
inline const QString kFinderStateFile = QStringLiteral("index.plist");
inline constexpr int kFinderStateMaxDepth = 64;

// Drag and drop.
inline const QString kRefPtrKey = QStringLiteral("DirectoryEntryRefPtr");

// Substitute records.
inline const QString kUserPermRW = QStringLiteral("RW");

// Seconds within which a listed parent makes a speculative up-to-date folder a ghost.
inline constexpr double kGhostWindow = 5.0;
inline constexpr double kGUITick = 0.5;

// Log lines ("XT" unless said otherwise).
inline const QString kRefusedStatusFormat = QStringLiteral("(%1) %2 on status != kUpToDate");
inline const QString kCopyIntoFileFormat = QStringLiteral("Trying to copy something into a file on the mobile: %1");
inline const QString kFolderInFileFormat = QStringLiteral("Trying to make a folder inside a file on the mobile: %1");
inline const QString kNoProgressAnswer = QStringLiteral("Job is not supporting -doesActionWantProgress");
inline const QString kNoJobInProgress = QStringLiteral("called endAction but there seems to be no job in progress!");
inline const QString kRemoveWithJobsFormat = QStringLiteral("Trying to remove an entry with %1 actions in progress.");
inline const QString kDuplicateNameFormat = QStringLiteral("Trying to insert an entry with a name that allready exists! %1");
inline const QString kNotAbsoluteFormat = QStringLiteral("Trying to access a path that doesn't start with '/': %1");
inline const QString kCouldNotUpdateFormat = QStringLiteral("couldn't updateAction: %1 withAction: %2");
inline const QString kNoSyncPropertyFormat = QStringLiteral(
    "You are trying to use the DZOrganizerUpdateNotificationReciever with a job <%1> that does not support "
    "@selector(syncproperty) to tell it what it is syncing");
inline const QString kNoPipeFormat = QStringLiteral("No pipe serves the file job <%1>: it ends as not connected");
inline const QString kUnsafeNameFormat = QStringLiteral("A phone name that would leave its folder is skipped: <%1> in %2");
inline const QString kNamelessEntryFormat = QStringLiteral("A listing entry without a name is dropped in %1");
inline const QString kCaseDuplicateFormat = QStringLiteral("A listing entry repeats a name in another case, kept the first: <%1> in %2");
inline const QString kFinderStateDamagedFormat = QStringLiteral("The file tree's state %1 is damaged: %2; the root stays");
inline const QString kFakeBeforeName = QStringLiteral("fakeFTPFile called before _name was set");

// Exceptions.
inline const QString kDatabaseProblem = QStringLiteral("Database problem");
inline const QString kCantAcquireFormat = QStringLiteral("### updateOrganizerDataOfType can't acquire data for property:%1");
inline const QString kInternalInconsistency = QStringLiteral("NSInternalInconsistencyException");

// Texts shown.
inline const QString kNoValue = QStringLiteral("--");

// A phone name that stays inside its folder once it becomes a path component.
inline bool isSafePhoneName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace dztree
