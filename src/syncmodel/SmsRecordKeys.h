#pragma once

// The keys and fixed values of the SMS records: the message and box-entry
// dictionaries kept as items of a phone's SMS storage, the drag dictionary,
// the delete request and the recipient records.
namespace smsrecord {

// Message record.
inline constexpr const char* kType = "SMS-Type";
inline constexpr const char* kName = "name";
inline constexpr const char* kText = "Text";
inline constexpr const char* kNumber = "Number";
inline constexpr const char* kMemory = "memory";
inline constexpr const char* kMemIndexes = "memIndexes";
inline constexpr const char* kSpecialChars = "specialChars";
inline constexpr const char* kDate = "Date";
inline constexpr const char* kIsOnPhone = "IsOnPhone";
inline constexpr const char* kReciptions = "reciptions";
inline constexpr const char* kSourceUIDKey = "SMSSourceUIDKey";

// Box entry.
inline constexpr const char* kBoxListType = "_SMSBoxList_";
inline constexpr const char* kBoxListTrashedType = "_SMSBoxList_Trashed";
inline constexpr const char* kBoxIsLocal = "_BoxIsLocal_";

// Phone boxes and their folder numbers; every other folder is numbered 100.
inline constexpr const char* kInbox = "inbox";
inline constexpr const char* kSent = "sent";
inline constexpr const char* kDraft = "draft";
inline constexpr const char* kTrash = "trash";
inline constexpr unsigned kInboxNumber = 1;
inline constexpr unsigned kSentNumber = 2;
inline constexpr unsigned kDraftNumber = 3;
inline constexpr unsigned kTrashNumber = 4;
inline constexpr unsigned kLocalNumber = 100;
// Folder numbers up to this one are phone folders.
inline constexpr unsigned kLastPhoneNumber = 99;

// Drag dictionary, its pasteboard type, and the delete request.
inline constexpr const char* kSelfKey = "SMSSelfKey";
inline constexpr const char* kDragPasteboardType = "SMSMessageDragPasteBoardType";
inline constexpr const char* kDelMsgList = "DelMsgList";
inline constexpr const char* kDelBoxName = "DelBoxName";

// Recipient records: the address book's property names.
inline constexpr const char* kABUIDProperty = "com.apple.uuid";
inline constexpr const char* kABLastNameProperty = "Last";
inline constexpr const char* kABPhoneProperty = "Phone";
inline constexpr const char* kIndexPhoneProperty = "IndexPhoneProperty";

// Key formats.
inline constexpr const char* kNoDatePrefix = "NO-DATE-";
// "%Y%m%dT%H%M%SZ" in GMT.
inline constexpr const char* kGmtKeyFormat = "yyyyMMdd'T'HHmmss'Z'";

// The item's own state in the stored form of the SMS storage (never part of
// a record the windows see).
inline constexpr const char* kStoredMarkedRead = "SMSMarkedRead";
inline constexpr const char* kStoredOldMessage = "SMSOldMessage";

} // namespace smsrecord
