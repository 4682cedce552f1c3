#pragma once

#include "syncmodel/ItemListDevice.h"

class MFDevice;

// The phone as its item lists see it: the sync decisions of its current
// environment, its contact limit and its temporary ids.
class MFDeviceItemList : public ItemListDevice {
public:
    explicit MFDeviceItemList(MFDevice& device) : _device(device) {}

    bool wantsSyncChangesFromEngine(int property) override;
    bool wantsSyncChangesFromDevice(int property) override;
    bool isMobileMaster(int property) override;
    int maxContacts() override;
    QString newFreeTID() override;
    const void* notificationSender() override { return &_device; }

private:
    MFDevice& _device;
};
