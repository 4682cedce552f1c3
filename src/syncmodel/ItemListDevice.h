#pragma once

#include <QString>

// What an item list asks of its phone: the sync queries per property number,
// the contact limit of the phone and a free temporary id. The phone object
// implements it; lists without a phone answer with the defaults.
class ItemListDevice {
public:
    virtual ~ItemListDevice() = default;
    virtual bool wantsSyncChangesFromEngine(int property) = 0;
    virtual bool wantsSyncChangesFromDevice(int property) = 0;
    virtual bool isMobileMaster(int property) = 0;
    // 0 when the phone model names no limit.
    virtual int maxContacts() = 0;
    virtual QString newFreeTID() = 0;
    // The pointer the phone posts its notifications with (the phone object's
    // own address, which observers compare).
    virtual const void* notificationSender() = 0;
};
