#pragma once

#include "syncmodel/ItemListDevice.h"

#include "device/QVSyncDeviceDescription.h"

// A phone for item list tests: every answer is a field the test sets.
class ListTestDevice : public ItemListDevice {
public:
    bool fromEngine = true;
    bool fromDevice = true;
    bool master = false;
    int contacts = 0;
    bool useSyncEngine = false;
    int directionsModus = 0;
    bool history = false;
    bool motorola = false;
    bool samsung = false;
    bool engineActive = false;
    SyncEnvironmentSet environments;
    std::shared_ptr<QVSyncDeviceDescription> description;
    std::optional<QVariantMap> storedDeviceData;
    QVariant syncTime;
    QString calendar;
    int nextTID = 1;
    bool wantsContacts = true;
    bool wantsPeriod = true;
    std::vector<std::pair<int, int>> finished;   // property, error

    bool wantsSyncChangesFromEngine(int) override { return fromEngine; }
    bool wantsSyncChangesFromDevice(int) override { return fromDevice; }
    bool isMobileMaster(int) override { return master; }
    int maxContacts() override { return contacts; }
    QString newFreeTID() override { return QStringLiteral("T-%1").arg(nextTID++); }
    const void* notificationSender() override { return this; }
    bool wantsToUseSyncEngineForProperty(int) override { return useSyncEngine; }
    int syncDirectionsModus(int) override { return directionsModus; }
    SyncEnvironmentSet* syncEnvironments() override { return &environments; }
    bool doesDeviceWantContact(const std::shared_ptr<QVSyncElem>&) override { return wantsContacts; }
    bool isPeriodInWantedCalendarPeriod(const QDateTime&, const QDateTime&) override { return wantsPeriod; }
    bool isHistory() override { return history; }
    bool usesMotorolaATConnections() override { return motorola; }
    bool usesSamsungATConnections() override { return samsung; }
    bool isSyncEngineActive() override { return engineActive; }
    void syncFinished(int property, int error) override { finished.emplace_back(property, error); }
    std::shared_ptr<QVSyncDeviceDescription> syncDescription() override { return description; }
    QString dbName(int property) override
    {
        static const char* const names[] = {"Contacts", "Calendar", "Notes", "Bookmarks", "SMS", "Events", "Tasks"};
        return property >= 0 && property < 7 ? QString::fromLatin1(names[property]) : QString();
    }
    std::optional<QVariantMap> deviceDataFileStorage(int) override { return storedDeviceData; }
    QVariant lastSyncTime(int) override { return syncTime; }
    QString defaultCalendarID() override { return calendar; }
};
