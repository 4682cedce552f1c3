#pragma once

#include <QDateTime>
#include <QString>

// Names and texts of the desktop sync hub shared by its callers.
namespace platform {

// The reverse-domain prefix of every client identifier of the program.
inline const QString kSyncClientIdentifierPrefix = QStringLiteral("com.marvesto");

// Exception names.
inline const QString ISyncSessionUnavailableException = QStringLiteral("ISyncSessionUnavailableException");
inline const QString ISyncInvalidArgumentsException = QStringLiteral("ISyncInvalidArgumentsException");

// Keys of a client description file (a property-list dictionary). "Entities"
// is either a dictionary whose keys are the entity names (the values, the
// property names, are not read) or an array of entity names.
inline const QString ISyncClientDescriptionEntitiesKey = QStringLiteral("Entities");
inline const QString ISyncClientDescriptionDisplayNameKey = QStringLiteral("DisplayName");
inline const QString ISyncClientDescriptionImagePathKey = QStringLiteral("ImagePath");

// The store file under the application support folder.
inline const QString kSyncStoreFileName = QStringLiteral("SyncEngine.db");

// The one text form of a last sync date: ISO 8601 in UTC with milliseconds
// and the zone ("2026-12-10T06:48:47.123Z"); empty for an invalid date.
// Stored and compared as text, so it must never change.
QString syncDateText(const QDateTime& date);

} // namespace platform
