#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class QVSyncDeviceDescription;
class QVSyncElem;

// The three sync environments of a phone: main (in force), work (being
// edited), user (as the user last saw it). Each maps a property's database
// name to its settings ("SyncMode", "Groups", "UseAllGroups", "TargetGroup",
// "TargetGroupName"). Item lists edit them in place.
struct SyncEnvironmentSet {
    std::optional<QVariantMap> main;
    std::optional<QVariantMap> work;
    std::optional<QVariantMap> user;
};

// What an item list asks of its phone: the sync queries per property number,
// the limits of the phone, its temporary ids, its environments and the stored
// data of its archive. The phone object implements it; the defaults answer
// as a phone that synchronizes nothing through the desktop sync engine.
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

    virtual bool wantsToUseSyncEngineForProperty(int property) { return (void)property, false; }
    // The sync direction mode of the property (0 when not synchronized).
    virtual int syncDirectionsModus(int property) { return (void)property, 0; }
    virtual bool doesDeviceWantContact(const std::shared_ptr<QVSyncElem>& elem) { return (void)elem, true; }
    virtual bool isPeriodInWantedCalendarPeriod(const QDateTime& start, const QDateTime& end)
    {
        return (void)start, (void)end, true;
    }
    // Null for a phone without environments.
    virtual SyncEnvironmentSet* syncEnvironments() { return nullptr; }
    virtual bool isHistory() { return false; }
    virtual bool usesMotorolaATConnections() { return false; }
    virtual bool usesSamsungATConnections() { return false; }
    virtual bool isSyncEngineActive() { return false; }
    virtual void syncFinished(int property, int error) { (void)property, (void)error; }
    virtual std::shared_ptr<QVSyncDeviceDescription> syncDescription() { return nullptr; }
    // The property's database name ("Contacts", "Calendar", ...).
    virtual QString dbName(int property) { return (void)property, QString(); }
    // The archive's stored device data of the property, if any.
    virtual std::optional<QVariantMap> deviceDataFileStorage(int property) { return (void)property, std::nullopt; }
    // The desktop sync client's last sync time of the property (a string),
    // null when it has none.
    virtual QVariant lastSyncTime(int property) { return (void)property, QVariant(); }
    // The shared default calendar's record id, empty when there is none.
    virtual QString defaultCalendarID() { return {}; }
};
