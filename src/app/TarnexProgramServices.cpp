#include "app/TarnexProgramServices.h"

#include "phone/DeviceEntryMakers.h"

#include "device/qvDeviceDB.h"

std::optional<QVariantMap> TarnexProgramServices::makeQVDeviceDictionary(
    const QVariantMap& properties, const std::shared_ptr<platform::BluetoothDevice>&)
{
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return std::nullopt;
    bool isNew = false;
    return deviceentry::makeQVDeviceDictionary(list_, *db, properties, &isNew);
}
