#pragma once

#include <QVariantList>

#include <memory>

class QVSyncDeviceDescription;
class SyncDeviceLimits;
class SyncMLCreator;
class SyncMLCreatorNode;

// What an outgoing queue asks of the SyncML session that owns it: the
// message builder, the phone model's settings, the message built so far and
// its limits, and the database pair of each property. The SyncML session
// implements it.
class QVSyncObjectsSession {
public:
    virtual ~QVSyncObjectsSession() = default;

    virtual SyncMLCreator& syncMLCreator() = 0;
    virtual const QVSyncDeviceDescription& syncDescription() const = 0;
    virtual std::shared_ptr<SyncDeviceLimits> itemDescription() const = 0;
    virtual int property() const = 0;
    // The document of the message being built; null before the first one.
    virtual const SyncMLCreatorNode* currentAnswerDocument() const = 0;
    virtual int syncMLMaxMsgSize() const = 0;
    virtual int syncMLMaxSyncCMDNbInEncodedMsg() const = 0;
    // Index into syncReplies() of the property's database pair, -1 when none.
    virtual int getDeviceRelationIndex(int property) const = 0;
    // Entries {"myDBName", "deviceDBName"}.
    virtual QVariantList syncReplies() const = 0;
};
