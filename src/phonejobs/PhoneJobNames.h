#pragma once

#include <QString>

// Texts of the phone jobs: descriptions (which decide whether two jobs
// merge), log lines and string-table keys, spelled as people reading the logs
// and the string tables expect them.
namespace phonejobnames {

// Descriptions.
inline const QString kActionDeviceCallbackFormat = QStringLiteral("ActionDeviceCallback: %1");
inline const QString kActionRequestServiceFormat = QStringLiteral("ActionRequestService: %1 %2");
inline const QString kActionDUNServicesFormat = QStringLiteral("ActionDUNServices: %1");
inline const QString kActionBatteryCheck = QStringLiteral("ActionBatteryCheck");
inline const QString kActionDialNumber = QStringLiteral("ActionDialNumber");

// Log lines ("XT").
inline const QString kRequestServiceLogFormat = QStringLiteral("[ActionRequest readyToExecute] requestService (%1) = 0x%2");
inline const QString kOpenFinishedLogFormat = QStringLiteral("openConnectionFinished was called with returnStatus: %1");
inline const QString kBatteryQuitLog = QStringLiteral("Upss... ActionBatteryCheck::pulseIdleTimer and isAboutToQuit!");
inline const QString kBatteryUnreadableLogFormat = QStringLiteral("ActionBatteryCheck: no charger state and level in the answer: %1");
inline const QString kDialingNumberLogFormat = QStringLiteral("Dialing Number: %1");
inline const QString kDialingResultLogFormat = QStringLiteral("Dialing result: %1");
inline const QString kHangUpLogFormat = QStringLiteral("HangUp: %1");
inline const QString kDialRefusedAnswerLogFormat = QStringLiteral("ActionDialNumber: the phone refused the call: %1");
inline const QString kHangUpUnansweredLog = QStringLiteral("ActionDialNumber: no answer to the hang-up, the call is left");

// String-table keys.
inline const QString kPreparing = QStringLiteral("Preparing");
inline const QString kDialing = QStringLiteral("Dialing");
inline const QString kHangUp = QStringLiteral("HangUp");
inline const QString kConnect = QStringLiteral("Connect");
inline const QString kNoCarrier = QStringLiteral("NO_CARRIER");
inline const QString kDialError = QStringLiteral("DIAL_ERROR");
inline const QString kBackgroundMachineWait = QStringLiteral("BackgroundMachineWait");

} // namespace phonejobnames
