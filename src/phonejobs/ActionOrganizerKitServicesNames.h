#pragma once

#include "platform/Localization.h"

#include <QString>

// Texts of the organizer-kit and SMS jobs: their description, the string-table
// keys they show, their log lines and notifications, spelled as the logs,
// string tables and observers expect them.
namespace kitjobnames {

inline const QString kDefaultDescriptionFormat = QStringLiteral("ActionSMSKitServices: %1");

// String-table keys.
inline const QString kSyncAction = QStringLiteral("Sync_action");
inline const QString kSyncOpening = QStringLiteral("Sync_opening");
inline const QString kSyncReading = QStringLiteral("Sync_reading");
inline const QString kSyncSending = QStringLiteral("Sync_sending");
inline const QString kOverLayDeleteSMS = QStringLiteral("OverLay_DeleteSMS");
inline const QString kOverLaySendSMS = QStringLiteral("OverLay_SendSMS");
inline const QString kSMSReadError = QStringLiteral("SMSReadError");
inline const QString kSMSSendError = QStringLiteral("SMSSendError");
inline const QString kDialError = QStringLiteral("DIAL_ERROR");
inline const QString kNoRecipients = QStringLiteral("60");
inline const QString kSendTimeOut = QStringLiteral("-21854");
inline const QString kEnterNumberTlt = QStringLiteral("EnterNumberTlt");

// User-info key of a deleted message's box.
inline const QString kDelBoxName = QStringLiteral("DelBoxName");
// The work sync environment's switch of the sync engine.
inline const QString kSyncEngineEnabled = QStringLiteral("SyncEngineEnabled");

// Notifications.
inline const QString kTarnexSyncSuccessful = QStringLiteral("TarnexSyncSuccessful");
inline const QString kTarnexSyncFailed = QStringLiteral("TarnexSyncFailed");

// Log lines ("XT").
inline const QString kEventsReadError = QStringLiteral("smsKitEventsRead returned withError");
inline const QString kPhonebookReadError = QStringLiteral("smsKitPhonebookRead returned withError");
inline const QString kTasksReadError = QStringLiteral("smsKitTasksRead returned withError");
inline const QString kEventsReadFormat = QStringLiteral("\nsmsKitEventsRead = %1");
inline const QString kPhonebookReadFormat = QStringLiteral("\nsmsKitPhonebookRead data = %1");
inline const QString kTasksReadFormat = QStringLiteral("\nsmsKitTasksRead = %1");
// The class name goes first: the Motorola and LG jobs share these lines.
inline const QString kCalendarSendFormat = QStringLiteral("[%1 calendarReceived] complete data:%2");
inline const QString kTasksSendFormat = QStringLiteral("[%1 tasksReceived] complete Data:%2");
inline const QString kPhonebookSendFormat = QStringLiteral("[%1 phoneBookReceived] sendData:%2");
inline const QString kCalendarNothingFormat = QStringLiteral("[%1 calendarReceived] No calendar data to be sent to device");
inline const QString kTasksNothingFormat = QStringLiteral("[%1 tasksReceived] No calendar data to be sent to device");
inline const QString kPhonebookNothingFormat = QStringLiteral("[%1 phoneBookReceived] No phonebook data to be sent to device");
inline const QString kEventsEndFormat = QStringLiteral("%1 endAction with status %2");
inline const QString kWrongKindFormat = QStringLiteral("%1: the phone's %2 answer is no dictionary of records (%3)");
inline const QString kSecondEndFormat = QStringLiteral("%1: end with %2 after the end with %3 dropped");
inline const QString kAbortedEndFormat = QStringLiteral("%1: the kit answered %2 after the job was cancelled");

// Class names in the log lines (the Motorola phonebook job's lines name it so).
inline const QString kMotoEventsLogName = QStringLiteral("ActionMotoEventsServices");
inline const QString kMotoContactsLogName = QStringLiteral("ActionMotoContactsServices");
inline const QString kLGEventsLogName = QStringLiteral("ActionLGEventsServices");
inline const QString kLGContactsLogName = QStringLiteral("ActionLGContactServices");

// The localized "Sync_action" line for the localized name of a database.
inline QString syncActionLine(const QString& database)
{
    QString line = platform::localizedString(kSyncAction);
    const QString name = platform::localizedString(database);
    if (line.contains(QLatin1String("%@")))
        return line.replace(QLatin1String("%@"), name);
    return line + QLatin1Char(' ') + name;
}

} // namespace kitjobnames
