#pragma once

#include "platform/SyncChange.h"

#include <QString>

#include <memory>

class QVSyncElem;

// What an item asks of the item list it is filled into or merged in: the item
// with a given identity (compared ignoring case), or null; whether the list's
// phone takes changes from the desktop sync engine and gives its own to it
// (per property number); and the list operations a merge makes. The item list
// implements it.
class SyncElemLookup {
public:
    virtual ~SyncElemLookup() = default;
    virtual std::shared_ptr<QVSyncElem> getItemForIdentity(const QString& identity) = 0;

    virtual bool wantsSyncChangesFromEngine(int property) = 0;
    virtual bool wantsSyncChangesFromDevice(int property) = 0;
    // A change for the desktop sync engine, sent with the list's next push.
    virtual void addChangeForSyncEngine(const platform::SyncChange& change) = 0;
    // An item the desktop sync engine does not know yet.
    virtual void tellSyncEngineAboutNewElem(const std::shared_ptr<QVSyncElem>& elem, bool fromSyncML) = 0;
    // A record queued for deletion on the phone (QVSyncElem::elemForDeletion).
    virtual void addElemForDeletion(const std::shared_ptr<QVSyncElem>& elem) = 0;
    virtual void addElem(const std::shared_ptr<QVSyncElem>& elem) = 0;
    virtual void removeElem(const std::shared_ptr<QVSyncElem>& elem) = 0;

    // What the calendar item's merge asks besides: the desktop is told that
    // the item is gone; an item joins a calendar (a group id) or the
    // default calendar; whether the phone's version wins for the property.
    // The defaults do nothing and answer NO, for lists of items that never
    // merge calendar items.
    virtual void tellSyncEngineAboutDeletion(const std::shared_ptr<QVSyncElem>& elem, bool fromSyncML)
    {
        (void)elem;
        (void)fromSyncML;
    }
    virtual void addGroupMembershipToElem(const std::shared_ptr<QVSyncElem>& elem, const QString& groupId)
    {
        (void)elem;
        (void)groupId;
    }
    // YES when the item changed.
    virtual bool makeElemMemberOfDefaultGroup(const std::shared_ptr<QVSyncElem>& elem)
    {
        (void)elem;
        return false;
    }
    virtual bool isMobileMaster(int property)
    {
        (void)property;
        return false;
    }
};
