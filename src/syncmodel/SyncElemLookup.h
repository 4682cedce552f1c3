#pragma once

#include <QString>

#include <memory>

class QVSyncElem;

// What an item asks of the item list it is filled into: the item with a given
// identity (compared ignoring case), or null. The item list implements it.
class SyncElemLookup {
public:
    virtual ~SyncElemLookup() = default;
    virtual std::shared_ptr<QVSyncElem> getItemForIdentity(const QString& identity) = 0;
};
