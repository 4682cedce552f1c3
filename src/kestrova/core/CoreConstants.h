#pragma once

// Names shared by the AT engine, its command queue and its state machine.
// Notification names and dictionary keys are texts whose value is their own
// name.
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

#undef KESTROVA_NAME

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
