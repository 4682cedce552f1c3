#include "phone/MFDeviceItemList.h"

#include "phone/BackupRules.h"
#include "phone/MFDevice.h"
#include "phone/SyncEnvironment.h"

bool MFDeviceItemList::wantsSyncChangesFromEngine(int property)
{
    return _device.syncEnvironment().wantsSyncChangesFromEngine(property);
}

bool MFDeviceItemList::wantsSyncChangesFromDevice(int property)
{
    return _device.wantsSyncChangesFromDevice(property);
}

bool MFDeviceItemList::isMobileMaster(int property)
{
    return _device.syncEnvironment().isMobileMaster(property);
}

int MFDeviceItemList::maxContacts()
{
    return _device.backupRules().maxContacts();
}

QString MFDeviceItemList::newFreeTID()
{
    return _device.newFreeTID();
}
