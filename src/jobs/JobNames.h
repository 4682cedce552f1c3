#pragma once

#include <QString>

// Names, keys and texts of the job engine, spelled as the rest of the program
// (and people reading its logs) expect them.
namespace jobnames {

// Notifications.
inline const QString kFeedBackActionNotify = QStringLiteral("QVFeedBackActionNotify");
inline const QString kPrivateActionPipeCheckFire = QStringLiteral("PrivateActionPipeCheckFire");
inline const QString kNotifySessionDiedError = QStringLiteral("NotifySessionDiedError");

// User-info keys of kFeedBackActionNotify.
inline const QString kFeedBackEntryKey = QStringLiteral("QVFeedBackEntryKey");
inline const QString kFeedStartActionKey = QStringLiteral("QVFeedStartActionKey");
inline const QString kFeedPreprocessStartKey = QStringLiteral("QVFeedPreprocessStartKey");
inline const QString kFeedProcessActionKey = QStringLiteral("QVFeedProcessActionKey");
inline const QString kFeedEndActionKey = QStringLiteral("QVFeedEndActionKey");

// String table.
inline const QString kUnspecifiedErrKey = QStringLiteral("UnspecifiedErr");
inline const QString kUnspecifiedErrFormat = QStringLiteral("%1 (0x%2)");
inline const QString kDefaultErrorString = QStringLiteral("Error");

// Exceptions (name, reason).
inline const QString kUnimplementedFunctionError = QStringLiteral("Unimplemented function error");
inline const QString kUnimplementedStartAction = QStringLiteral("### You must implement '-(IOReturn)startAction'");
inline const QString kUnimplementedActionType = QStringLiteral("### You must implement '- (id) actionType'");
inline const QString kPipeActionTypeExistsError = QStringLiteral("Pipe ActionType already exist error");
inline const QString kPipeActionTypeExistsReason = QStringLiteral("### You must implement '-(IOReturn)addActionPipe'");

// Log texts.
inline const QString kInvalidatingTimer = QStringLiteral("Invalidating timer");
inline const QString kMachineAddActionMethod = QStringLiteral("-[QVActionMachine addAction:]");
inline const QString kNoPipeForActionFormat = QStringLiteral("%1 <Couldn't find Pipe for Acion: %2>");
inline const QString kGroupAddOnCancelled = QStringLiteral("addGroupAction on a canceld GroupAction!!");
inline const QString kGroupAddGroupActionMethod = QStringLiteral("-[QVActionGroup addGroupAction:]");
inline const QString kGroupCouldNotAcceptFormat = QStringLiteral("%1 <Couldn't accept Action: %2>");
inline const QString kEndActionMethod = QStringLiteral("-[QVAction endAction:]");
inline const QString kSecondEndFormat = QStringLiteral("%1 <Action already ended, end ignored: %2 err: %3>");
inline const QString kPipeAddActionMethod = QStringLiteral("-[QVActionPipe addAction:]");
inline const QString kEndedActionPostedFormat = QStringLiteral("%1 <Action already ended, not posted: %2>");

// Descriptions.
inline const QString kQVActionDescription = QStringLiteral("QVAction");
inline const QString kQVActionContainerDescriptionFormat = QStringLiteral("QVActionContainer: %1");

// Delayed-perform names (cancellation keys).
inline const QString kPerformActionPipeIdle = QStringLiteral("actionPipeIdle");
inline const QString kPerformActionPipePoll = QStringLiteral("actionPipePoll");
inline const QString kPerformDoAddAction = QStringLiteral("doAddAction:");
inline const QString kPerformSessionPipeDied = QStringLiteral("sessionPipeDied");
inline const QString kPerformRestartActionPipeIdle = QStringLiteral("restartActionPipeIdle");

} // namespace jobnames
