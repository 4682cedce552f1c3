// The device object as its item lists see it (ItemListDevice): the sync
// decisions of its environment, its limits and temporary ids, the stored data
// of its archive, the sync client's times and the shared default calendar.

#include "phone/BackupRules.h"
#include "phone/DeviceDataManager.h"
#include "phone/MFDevice.h"
#include "phone/SharedSyncInfo.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/SyncEnvironment.h"
#include "syncmodel/QVVCardElem.h"

#include <utility>

bool MFDevice::wantsSyncChangesFromEngine(int property)
{
    return _environment->wantsSyncChangesFromEngine(property);
}

bool MFDevice::wantsSyncChangesFromDevice(int property)
{
    return std::as_const(*this).wantsSyncChangesFromDevice(property);
}

bool MFDevice::isMobileMaster(int property)
{
    return _environment->isMobileMaster(property);
}

int MFDevice::maxContacts()
{
    return _backup->maxContacts();
}

const void* MFDevice::notificationSender()
{
    // The device's own address: the list's ItemListDevice pointer to it is
    // another one, and observers compare senders by address.
    return static_cast<const MFDevice*>(this);
}

bool MFDevice::wantsToUseSyncEngineForProperty(int property)
{
    return std::as_const(*this).wantsToUseSyncEngineForProperty(property);
}

int MFDevice::syncDirectionsModus(int property)
{
    return int(_environment->syncDirectionsModus(property));
}

bool MFDevice::doesDeviceWantContact(const std::shared_ptr<QVSyncElem>& elem)
{
    const auto* contact = dynamic_cast<const QVVCardElem*>(elem.get());
    return _environment->doesDeviceWantContact(contact && !contact->getPhones().isEmpty());
}

bool MFDevice::isPeriodInWantedCalendarPeriod(const QDateTime& start, const QDateTime& end)
{
    return _environment->isPeriodInWantedCalendarPeriod(start, end);
}

bool MFDevice::usesMotorolaATConnections()
{
    return std::as_const(*this).usesMotorolaATConnections();
}

bool MFDevice::usesSamsungATConnections()
{
    return std::as_const(*this).usesSamsungATConnections();
}

void MFDevice::syncFinished(int property, int error)
{
    // The device's own environment keeps the synced marks that
    // releaseSyncSession's item-id reset asks for.
    _environment->syncFinished(property, error);
}

QString MFDevice::dbName(int property)
{
    return std::as_const(*this).dbName(property);
}

std::optional<QVariantMap> MFDevice::deviceDataFileStorage(int property)
{
    if (property < 0 || property > 4 || !_dataManager)
        return std::nullopt;
    return _dataManager->deviceDataFileStorage(property);
}

QVariant MFDevice::lastSyncTime(int property)
{
    return _syncEngineHandler ? _syncEngineHandler->lastSyncTime(property) : QVariant();
}

QString MFDevice::defaultCalendarID()
{
    const SharedSyncInfo* info = generalSyncInfo();
    return info ? info->calendarID(0) : QString();
}
