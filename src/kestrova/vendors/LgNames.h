#pragma once

// Step signals and stage names of the LG application-port operations; each
// text is its own name.
namespace kestrova::lg {

#define KESTROVA_LG_NAME(name) inline constexpr const char* k##name = #name;
KESTROVA_LG_NAME(SLTCommDeviceLgApplicationPortOpen)
KESTROVA_LG_NAME(SLTCommDeviceLgApplicationPortClosed)
KESTROVA_LG_NAME(SLTCommDeviceLgApplicationPortHeartbeat)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyPhonebookReadingPrepared)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyPhonebookEntryRead)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyPhonebookEntriesRead)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyPhonebookNewEntryWritten)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyPhonebookEntryUpdated)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyPhonebookEntryDeleted)
KESTROVA_LG_NAME(SLTCommDeviceLgVietwyPhonebookClosed)
KESTROVA_LG_NAME(SLTCommDeviceLgFileBrowserOpen)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyCalendarReadingPrepared)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyCalendarEntryReadAck)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyCalendarEntryRead)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyCalendarNoMoreEntries)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyCalendarNewEntryWritten)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyCalendarEntryDeleted)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyTasksReadingPrepared)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyTaskReadAck)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyTaskRead)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyTasksNoMoreEntries)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyTaskNewEntryWritten)
KESTROVA_LG_NAME(SLTCommDeviceLgViewtyTaskDeleted)
#undef KESTROVA_LG_NAME

inline constexpr const char* kObexConnectSignal = "ObexConnect";
inline constexpr const char* kInitSignal = "init";
inline constexpr const char* kSerialCloseSignal = "foo";
inline constexpr const char* kItemCountSignal = "preparingPhonebookReadingGetItemCount";
inline constexpr const char* kPrepareSignal = "preparingPhonebookReading";
inline constexpr const char* kPhonebookCloseSignal = "lgViewtyPhonebookClose";
inline constexpr const char* kAbortedStep = "aborted";
inline constexpr const char* kProgressStep = "progress";
// File-browser steps.
inline constexpr const char* kHeartBeatSignal = "heartBeat";
inline constexpr const char* kRootListingSignal = "index";
inline constexpr const char* kFolderListingSignal = "indexAtPath";
inline constexpr const char* kListingStep = "listing";
inline constexpr const char* kListItemSignal = "listItem";
inline constexpr const char* kRemoveItemSignal = "removeItem";
inline constexpr const char* kMakeDirSignal = "makeDir";
inline constexpr const char* kGoOnSignal = "goOn";
inline constexpr const char* kGetFileSignal = "getFile";
inline constexpr const char* kFileStep = "file";
inline constexpr const char* kPutFileSignal = "putFile";

// Engine stages by name.
inline constexpr const char* kPrepareStage = "lgViewtyPrepareStage2:";
inline constexpr const char* kDisconnectStage = "lgViewtyDisconnectRequestStage2:";
inline constexpr const char* kPhonebookPrepareStage = "lgViewtyPhonebookPrepareStage2:";
inline constexpr const char* kPhonebookReadStage = "lgViewtyReadPhonebookEntriesStage2:";
inline constexpr const char* kPhonebookWriteStage = "lgViewtyWritePhonebookEntryStage2:";
inline constexpr const char* kPhonebookUpdateStage = "lgViewtyUpdatePhonebookEntryStage2:";
inline constexpr const char* kPhonebookDeleteStage = "lgViewtyDeletePhonebookEntryStage2:";
inline constexpr const char* kPhonebookCloseStage = "lgViewtyPhonebookCloseStage2:";
inline constexpr const char* kFileBrowserPrepareStage = "lgViewtyFileBrowserPrepareStage2:";
inline constexpr const char* kHeartBeatStage = "lgViewtyHeartBeatStage2:";
inline constexpr const char* kRootListingStage = "lgViewtyFileBrowserGetRootDirectoryStage2:";
inline constexpr const char* kFolderListingStage = "lgViewtyFileBrowserGetDirectoryAtPathStage2:";
inline constexpr const char* kListItemStage = "lgViewtyFileBrowserListItemStage2:";
inline constexpr const char* kDeleteItemStage = "lgViewtyFileBrowserDeleteItemStage2:";
inline constexpr const char* kMakeDirStage = "lgViewtyFileBrowserMakeDirStage2:";
inline constexpr const char* kGetFileStage = "lgViewtyFileBrowserGetFileAtPathStage2:";
inline constexpr const char* kPutFileStage = "lgViewtyFileBrowserPutFileToPathStage2:";

// Requested states of the LG operations.
inline constexpr int kStateSendFrame = 44;
inline constexpr int kStateOpenPort = 45;
inline constexpr int kStateWaitTwoSeconds = 47;
inline constexpr int kStateWaitThreeSeconds = 48;
inline constexpr int kStateSendEntryFrame = 52;

} // namespace kestrova::lg
