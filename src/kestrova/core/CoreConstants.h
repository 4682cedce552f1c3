#pragma once

// Names shared by the AT engine, its command queue and its state machine.
// Notification names and dictionary keys are texts whose value is their own
// name.
#include <QString>

namespace kestrova::core {

#define KESTROVA_NAME(name) inline constexpr const char* k##name = #name;

// Command dictionary keys.
KESTROVA_NAME(SLTCommDeviceCommandInfo)
KESTROVA_NAME(SLTCommDeviceCommandCallbackSignal)
KESTROVA_NAME(SLTCommDeviceCommandQueueValueRequestedState)
KESTROVA_NAME(SLTStateMachineCommandCustom)
KESTROVA_NAME(SLTStateMachineHexCommandData)
KESTROVA_NAME(SLTCommandQueueCommDeviceCallbackSelString)
KESTROVA_NAME(SLTCommDeviceCommandQueueCommandPlaceholder)
KESTROVA_NAME(SLTCommDeviceCommandSequenceFinished)
KESTROVA_NAME(SLTCommDeviceCommandQueueCommandPayload)
KESTROVA_NAME(SLTCommDeviceRequestFinishedSignal)

// Result keys the queue adds.
KESTROVA_NAME(SLTCommDeviceCommandQueueCommandResult)
KESTROVA_NAME(SLTCommDeviceCommandQueueCommandRawResult)
KESTROVA_NAME(SLTCommDeviceCommandQueueCommandError)
KESTROVA_NAME(SLTCommDeviceCommandQueueConnectionError)
KESTROVA_NAME(SLTCommDeviceCommandQueueLgAppConflict)
KESTROVA_NAME(SLTCommDeviceCommandQueueTimeout)
// The command error value for a rejected service-centre number.
KESTROVA_NAME(SLTCommDeviceWrongServiceCenter)

// Notifications.
KESTROVA_NAME(SLTCommDeviceCommandQueueConnected)
KESTROVA_NAME(SLTCommDeviceCommandQueueDisconnected)
KESTROVA_NAME(SLTCommDeviceCommandQueueEmpty)
KESTROVA_NAME(SLTCommDeviceDisconnected)
KESTROVA_NAME(SLTCommDeviceFinishedQueue)

// What a stage of a kit receives: the result, or an error kind (key and value
// its own name) together with the step that failed.
KESTROVA_NAME(SLTCommDeviceReturnValue)
KESTROVA_NAME(SLTCommDeviceCommandStep)
KESTROVA_NAME(SLTCommDeviceCommandReturnedError)
KESTROVA_NAME(SLTCommDeviceConnectionError)

// Signals of the SMS and SIM operations.
KESTROVA_NAME(SLTCommDeviceGetImsi)
KESTROVA_NAME(SLTCommDeviceGetSmscAddress)
KESTROVA_NAME(SLTCommDeviceSetPreferredSmsMemory)
KESTROVA_NAME(SLTCommDeviceSetPreferredSmsMemory2)
KESTROVA_NAME(SLTCommDeviceGetMessagesGetMemories)
KESTROVA_NAME(SLTCommDeviceGetMessagesInboxSetPduMode)
KESTROVA_NAME(SLTCommDeviceGetMessagesInboxSetMemory)
KESTROVA_NAME(SLTCommDeviceGetMessagesInboxGetMessagesState0)
KESTROVA_NAME(SLTCommDeviceGetMessagesInboxGetMessagesState1)
KESTROVA_NAME(SLTCommDeviceGetMessagesInboxSequenceFinished)
KESTROVA_NAME(SLTCommDeviceGetMessagesDraftsSetPduMode)
KESTROVA_NAME(SLTCommDeviceGetMessagesDraftsSetMemory)
KESTROVA_NAME(SLTCommDeviceGetMessagesDraftsGetMessagesState2)
KESTROVA_NAME(SLTCommDeviceGetMessagesDraftsSequenceFinished)
KESTROVA_NAME(SLTCommDeviceGetMessagesSentSetPduMode)
KESTROVA_NAME(SLTCommDeviceGetMessagesSentSetMemory)
KESTROVA_NAME(SLTCommDeviceGetMessagesSentGetMessagesState3)
KESTROVA_NAME(SLTCommDeviceGetMessagesSentSequenceFinished)
KESTROVA_NAME(SLTCommDeviceGetFreeMemory)
KESTROVA_NAME(SLTCommDeviceDeleteSms)
KESTROVA_NAME(SLTCommDeviceDeleteSmsSequenceFinished)
KESTROVA_NAME(SLTCommDeviceCommandDeleteSMSSequenceFinished)
KESTROVA_NAME(SLTCommDeviceDeleteSmsArray)
KESTROVA_NAME(SLTCommDeviceDeleteSmsArrayMessageDeleted)
KESTROVA_NAME(SLTCommDeviceDeleteSmsArraySequenceFinished)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessageGetMemories)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessageMemoriesSet)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessageTimeoutIncreased)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessagePduPre)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessagePduSent)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessagePduStored)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessagePduSentFromMemory)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessagePduDeleted)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessageWaitAfterPdu)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessageTimeoutDecreased)
KESTROVA_NAME(SLTCommDeviceCommandSendTextMessageFinished)
// What the send delivers.
KESTROVA_NAME(SLTCommDeviceSendingPdu)
KESTROVA_NAME(SLTCommDevicePduSent)
KESTROVA_NAME(SLTCommDeviceCommandSuccessful)

#undef KESTROVA_NAME

// A name constant as the text it is.
inline QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// Transport kinds.
inline constexpr int kDeviceTypeNone = -1;
inline constexpr int kDeviceTypeSerial = 0;
inline constexpr int kDeviceTypeBluetooth = 1;

// Machine states.
inline constexpr int kStateClosed = 0;
inline constexpr int kStateConnected = 1;
inline constexpr int kStateCommandDone = 10;
inline constexpr int kStateRefused = -2;
inline constexpr int kStateConnectionError = -3;
inline constexpr int kStateCommandError = -4;
inline constexpr int kStateConnectionClosed = -5;
inline constexpr int kStateOpening = -6;
inline constexpr int kStateLgPortBusy = -7;
inline constexpr int kStateTimeout = -8;

} // namespace kestrova::core
