#include "app/TarnexProgramServices.h"

#include "app/ManualDocument.h"

#include "phone/DeviceEntryMakers.h"

#include "desktopstore/DesktopStore.h"
#include "device/qvDeviceDB.h"
#include "sync/GeneralSyncInfo.h"
#include "sync/SyncEngineHandler.h"
#include "syncengine/ISyncManager.h"

TarnexProgramServices::TarnexProgramServices(DeviceList& list) : list_(list)
{
}

TarnexProgramServices::~TarnexProgramServices() = default;

std::optional<QVariantMap> TarnexProgramServices::makeQVDeviceDictionary(
    const QVariantMap& properties, const std::shared_ptr<platform::BluetoothDevice>&)
{
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return std::nullopt;
    bool isNew = false;
    return deviceentry::makeQVDeviceDictionary(list_, *db, properties, &isNew);
}

bool TarnexProgramServices::openManualDocument()
{
    return ManualDocument::openManualDocument();
}

void TarnexProgramServices::syncFunctionalityRequired()
{
    GeneralSyncInfo::sharedGeneralSyncInfo().functionalityRequired();
    if (desktopStore_)
        return;
    desktopStore_ = std::make_unique<desktopstore::DesktopStore>(platform::ISyncManager::sharedManager(),
                                                                 desktopstore::DesktopStore::defaultRootPath());
    desktopStore_->start();
}

void TarnexProgramServices::removeSyncClients(const QVariantMap& phoneEntry)
{
    ::removeSyncEngineClient(phoneEntry);
    if (GeneralSyncInfo::isGeneralSyncInfoAlloced())
        GeneralSyncInfo::sharedGeneralSyncInfo().removeSyncEngineClient();
}
