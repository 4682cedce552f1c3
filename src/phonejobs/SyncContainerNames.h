#pragma once

#include "platform/IOReturn.h"

#include <QString>

// Texts, codes and times of the sync and backup containers and their folder
// waits, spelled as the queue view, the string tables and the people reading
// the logs expect them.
namespace containernames {

// Descriptions.
inline const QString kGroupActionSyncPhone = QStringLiteral("<GroupActionSyncPhone>");
inline const QString kGroupActionBackupPhone = QStringLiteral("<GroupActionBackupPhone>");
inline const QString kTranslationAvailabilityChecker = QStringLiteral("<TranslationAvailabilityChecker>");

// String-table keys.
inline const QString kSyncingPrepare = QStringLiteral("kSyncingPrepare");
// Takes the whole seconds left as its one argument.
inline const QString kSyncCountdown = QStringLiteral("SyncCountdown");
inline const QString kBackingUpCancel = QStringLiteral("BackingUp Cancel");
inline const QString kBackingUpPrepare = QStringLiteral("BackingUp Prepare");
inline const QString kBackingUp = QStringLiteral("BackingUp");
inline const QString kBackingUpIdle = QStringLiteral("BackingUp Idle");
inline const QString kNoRunningJob = QStringLiteral("...");

// Notification of the sync settings view: the user switched the sync engine off.
inline const QString kSyncSwitchedOffNotification = QStringLiteral("DorvantiSyncManagerViewSyncSwitchedOff");

// Device setting naming the organizer view the user saw last (a type name).
inline const QString kLastOrganizerView = QStringLiteral("Organizer.LastOrganizerView");
// The key of a type's entry in a sync environment.
inline const QString kSyncMode = QStringLiteral("SyncMode");

// Names of the organizer backup jobs by type 0-4.
inline const QString kBackupTypeNames[] = {QStringLiteral("Contacts"), QStringLiteral("Events"),
                                           QStringLiteral("Notes"), QStringLiteral("Bookmarks"),
                                           QStringLiteral("SMS")};
// The order in which the organizer types are visited.
inline constexpr int kOrganizerTypeOrder[] = {1, 0, 3, 2, 4};

// Error descriptions of failed backup copies.
inline const QString kFailedCopyFormat = QStringLiteral("(%1)%2");

// Log lines ("XT").
inline const QString kMissingMediaFoldersFormat =
    QStringLiteral("TranslationAvailabilityChecker: media folders missing in the phone's root: %1");
inline const QString kNoListingPossibleFormat =
    QStringLiteral("WaitForFolders: no folder listing can come for %1 (%2): the folders count as settled");
inline const QString kUnsafeBackupNameFormat =
    QStringLiteral("GroupActionBackupPhone: a phone file without a place in the mirror is skipped: %1");
inline const QString kNoOrganizerJobFormat =
    QStringLiteral("No organizer job for type %1: %2");

// Status values of the folder waits.
inline constexpr int kIOReturnNotFound = int(0xE00002F0);
inline constexpr int kStillListing = platform::kIOReturnBusy;

// Seconds.
inline constexpr double kFolderWaitTick = 0.34;
inline constexpr double kSyncWait = 30.0;
inline constexpr double kBackupMinimumWait = 20.0;
inline constexpr double kBackupWaitAfterListing = 2.0;

// Priorities.
inline constexpr int kContainerPriority = 4;
inline constexpr int kRemoteSyncPriority = 1;
inline constexpr int kAppliedTypePriority = 1;
inline constexpr int kSyncJobPriority = 4;
inline constexpr int kBackupOrganizerJobPriority = 2;
inline constexpr int kBackupCopyPriority = 4;
inline constexpr int kOutdatedFolderListingPriority = 3;

} // namespace containernames
