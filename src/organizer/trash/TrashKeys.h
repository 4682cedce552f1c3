#pragma once

// Names of the organizer trash: its file, the keys of the file's entries,
// its notification and the texts of its window.
namespace trashkeys {

inline constexpr const char* kTrashFile = "TrashFile";
inline constexpr const char* kDamagedSuffix = ".bad";
inline constexpr const char* kVersion = "Version";
inline constexpr const char* kCurrentVersion = "1";
inline constexpr const char* kTrashList = "TrashList";

inline constexpr const char* kVxData = "vxData";
inline constexpr const char* kDeviceName = "deviceName";
inline constexpr const char* kDeviceID = "deviceID";
inline constexpr const char* kDeviceIdentifier = "deviceIdentifier";
inline constexpr const char* kTrashedDate = "trashedDate";
inline constexpr const char* kIsConflict = "isConflict";
inline constexpr const char* kProperty = "property";

inline constexpr const char* kFields = "Fields";
inline constexpr const char* kContents = "Contents";

inline constexpr const char* kTrashListHasChanged = "QV-TrashListHasChanged-Notification";

// Phone settings an entry keeps.
inline constexpr const char* kSettingDeviceName = "Common.DeviceName";
inline constexpr const char* kSettingDeviceID = "Common.qvDeviceID";
inline constexpr const char* kSettingIdentifier = "Common.Identifier";
inline constexpr const char* kSettingSerialNo = "Common.SerialNo";

// Table columns.
inline constexpr const char* kColumnTitle = "title";
inline constexpr const char* kColumnType = "type";
inline constexpr const char* kColumnDate = "date";
inline constexpr const char* kColumnPhone = "phone";

// Localized texts.
inline constexpr const char* kTrashOneObject = "TrashOneObject";
inline constexpr const char* kTrashManyObjects = "TrashManyObjects";
inline constexpr const char* kTrashEmptyTitle = "TrashEmptyTitle";
inline constexpr const char* kTrashOrganizerEmptyMsg = "TrashOrganizerEmptyMsg";
inline constexpr const char* kDelete = "Delete";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kOthersFileName = "others_filename";
inline constexpr const char* kTrashRestoreTitle = "TrashRestoreTitle";
inline constexpr const char* kTrashRestoreMsg = "TrashRestoreMsg";
inline constexpr const char* kRestore = "Restore";
inline constexpr const char* kTrashDeleteSelectedTitle = "TrashDeleteSelectedTitle";
inline constexpr const char* kTrashDeleteSelectedMsg = "TrashDeleteSelectedMsg";

// Images.
inline constexpr const char* kImageTrash = "Trash";
inline constexpr const char* kImagePayAttention = "payAttention";
inline constexpr const char* kImageTask = "Task";
inline constexpr const char* kImageEventType = "EventType";
inline constexpr const char* kImageNoteType = "Note-Type";
inline constexpr const char* kImageBookmarkType = "Bookmark-Type";
inline constexpr const char* kImageEmptyPict = "EmptyPict";

// Drags.
inline constexpr const char* kOrganizerPboardType = "DorvantiOrganizerPboardType";
inline constexpr const char* kContactsPboardText = "Contacts";
inline constexpr const char* kDragFolder = "Trash";

} // namespace trashkeys
