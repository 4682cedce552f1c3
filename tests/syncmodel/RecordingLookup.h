#pragma once

// An item list double that records what items ask of it.
#include "syncmodel/QVSyncElem.h"
#include "syncmodel/SyncElemLookup.h"

#include <QList>

#include <memory>
#include <vector>

class RecordingLookup : public SyncElemLookup {
public:
    std::shared_ptr<QVSyncElem> found; // the item of every identity, when set
    bool fromEngine = true;
    bool fromDevice = true;
    bool mobileMaster = false;

    QList<platform::SyncChange> changes;
    std::vector<std::pair<std::shared_ptr<QVSyncElem>, bool>> announced;
    std::vector<std::shared_ptr<QVSyncElem>> forDeletion;
    std::vector<std::shared_ptr<QVSyncElem>> added;
    std::vector<std::shared_ptr<QVSyncElem>> removed;
    std::vector<std::shared_ptr<QVSyncElem>> deletedForEngine;
    std::vector<std::pair<std::shared_ptr<QVSyncElem>, QString>> groupJoins; // null group: the default one

    std::shared_ptr<QVSyncElem> getItemForIdentity(const QString& identity) override
    {
        return found && found->getIdentityString().compare(identity, Qt::CaseInsensitive) == 0 ? found : nullptr;
    }
    bool wantsSyncChangesFromEngine(int) override { return fromEngine; }
    bool wantsSyncChangesFromDevice(int) override { return fromDevice; }
    void addChangeForSyncEngine(const platform::SyncChange& change) override { changes.append(change); }
    void tellSyncEngineAboutNewElem(const std::shared_ptr<QVSyncElem>& elem, bool fromSyncML) override
    {
        announced.emplace_back(elem, fromSyncML);
    }
    void addElemForDeletion(const std::shared_ptr<QVSyncElem>& elem) override { forDeletion.push_back(elem); }
    void addElem(const std::shared_ptr<QVSyncElem>& elem) override { added.push_back(elem); }
    void removeElem(const std::shared_ptr<QVSyncElem>& elem) override { removed.push_back(elem); }
    void tellSyncEngineAboutDeletion(const std::shared_ptr<QVSyncElem>& elem, bool) override
    {
        deletedForEngine.push_back(elem);
    }
    void addGroupMembershipToElem(const std::shared_ptr<QVSyncElem>& elem, const QString& groupId) override
    {
        groupJoins.emplace_back(elem, groupId.isNull() ? QLatin1String("") : groupId);
    }
    bool makeElemMemberOfDefaultGroup(const std::shared_ptr<QVSyncElem>& elem) override
    {
        groupJoins.emplace_back(elem, QString());
        return true;
    }
    bool isMobileMaster(int) override { return mobileMaster; }
};
