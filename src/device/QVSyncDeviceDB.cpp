#include "device/QVSyncDeviceDB.h"

#include "device/qvDeviceDB.h"

QVSyncDeviceDB& QVSyncDeviceDB::sharedSyncDeviceDB()
{
    static QVSyncDeviceDB shared;
    return shared;
}

QVSyncDeviceDB::QVSyncDeviceDB() : _generation(qvDeviceDB::sharedGeneration())
{
    _deviceDefinitions.reserve(16);
}

QVariantMap QVSyncDeviceDB::dictionaryForProtocol(const QString& protocol, qvDeviceDB* dbInstance)
{
    const QString unknown = QString::fromLatin1(kUnknownProtocol);
    if (protocol.isNull())
        return dbInstance ? dbInstance->getSyncMLParams(unknown) : QVariantMap();

    if (qvDeviceDB::sharedDatabaseChanged(_generation))
        reset(); // the cached rows came from a file that was replaced
    const auto cached = _deviceDefinitions.constFind(protocol);
    if (cached != _deviceDefinitions.constEnd())
        return cached.value();
    if (!dbInstance)
        return {};
    QVariantMap row = dbInstance->getSyncMLParams(protocol);
    if (row.isEmpty())
        row = dbInstance->getSyncMLParams(unknown);
    if (!row.isEmpty())
        _deviceDefinitions.insert(protocol, row);
    return row;
}

void QVSyncDeviceDB::reset()
{
    _deviceDefinitions.clear();
}
