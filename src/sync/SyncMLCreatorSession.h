#pragma once

#include <QString>

#include <memory>

class QVSyncDeviceDescription;
class SyncDeviceLimits;

// What the message builder asks of the SyncML session it belongs to: the
// versions, identifiers and database names of the run, the anchors, and the
// phone model's sync settings. The SyncML session implements it.
class SyncMLCreatorSession {
public:
    virtual ~SyncMLCreatorSession() = default;

    virtual QString syncMLVersionString() const = 0; // "1.1" or "1.2"
    virtual int syncMLVersion() const = 0;           // 1 or 2
    virtual QString currentSessionID() const = 0;
    virtual long newMessageID() = 0;
    virtual long newCommandID() = 0;
    virtual QString deviceURI() const = 0;
    virtual QString myURI() const = 0;
    virtual QString myDB(int property) const = 0;
    virtual QString deviceDB(int property) const = 0;
    virtual QString targetDatabase(int property) const = 0;
    virtual QString currentDBName() const = 0;
    virtual QString currentDeviceDBName() const = 0;
    virtual QString currentProcessedMessageID() const = 0;
    virtual QString syncServerName() const = 0;
    virtual bool syncMLNumberOfChangesSupport() const = 0;
    virtual void setDZSyncTime(const QString& time) = 0;
    virtual QString lastSyncDZTime() const = 0;
    // The command (id, name) expects a Status from the phone.
    virtual void rememberCommandForStatus(const QString& cmdID, const QString& cmdName) = 0;
    virtual const QVSyncDeviceDescription& syncDescription() const = 0;
    // The phone model's settings as the items render their text for it.
    virtual std::shared_ptr<SyncDeviceLimits> itemDescription() const = 0;
};
