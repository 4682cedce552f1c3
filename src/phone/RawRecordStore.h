#pragma once

#include <QString>
#include <QVariantMap>

// The records a phone delivered last, per database, beside the organizer
// archive's working file: the file is the archive's pathNameForDeviceSyncData
// followed by "-RAW", a dictionary with one entry "DeviceRecords-<database>"
// per database; other entries are kept as found.
namespace rawrecords {

inline constexpr const char* kSuffix = "-RAW";
inline constexpr const char* kKeyFormat = "DeviceRecords-%1";

QString pathFor(const QString& deviceSyncDataPath);
QString keyFor(const QString& database);
// The stored records of a database; empty when there are none or the file
// cannot be read.
QVariantMap readDeviceRecords(const QString& rawPath, const QString& database);
// Stores one database's records atomically, keeping the file's other
// entries. An unreadable file is first set aside under a dated name (logged),
// so nothing it held is silently overwritten. False when nothing was written.
bool writeDeviceRecords(const QString& rawPath, const QString& database, const QVariantMap& records);

} // namespace rawrecords
