#pragma once

#include "sync/SyncMLConnection.h"

#include <QString>
#include <QVariant>
#include <memory>

class ObjectPushCommand;

// What an IrMC session sends to its phone's IrMC connection, beside the
// session base's calls: each request takes a command that the connection
// ends (status, body received, App-Parameters of a write) on the main
// thread; a request that cannot start answers non-zero. The phone's device
// settings are written through it too.
class QVIRMCConnection : public SyncMLConnection {
public:
    virtual int requestInfoLogForPB(const std::shared_ptr<ObjectPushCommand>& command) = 0;
    virtual int requestChangeLogForPB(const std::shared_ptr<ObjectPushCommand>& command) = 0;
    virtual int requestNumberedLogForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& anchor) = 0;
    virtual int requestMainDataForPB(const std::shared_ptr<ObjectPushCommand>& command) = 0;
    virtual int requestNumberedObjectStoreForPB(const std::shared_ptr<ObjectPushCommand>& command,
                                                const QString& luid) = 0;
    virtual int requestIndexItemForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& index) = 0;
    virtual int pushDataObjectForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& objectName,
                                    bool askAppParams) = 0;

    virtual int setPath(const std::shared_ptr<ObjectPushCommand>& command, const QString& path) = 0;
    virtual int requestDirectoryListing(const std::shared_ptr<ObjectPushCommand>& command) = 0;
    virtual int requestDownloadFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path) = 0;
    virtual int pushFileData(const std::shared_ptr<ObjectPushCommand>& command, const QString& path) = 0;
    virtual int deleteFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path) = 0;

    // The phone's device settings.
    virtual void setDeviceSetting(const QString& key, const QVariant& value) = 0;
    virtual void writeDeviceDictNow() = 0;
    virtual void writeSettingsIfNeeded() = 0;
    virtual QString deviceMaker() const = 0;
    virtual QString deviceModel() const = 0;
};
