#pragma once

#include "sync/QVIRMCConnection.h"

#include <functional>

class CommonObexIrMCConnection;

// The IrMC session's connection on a phone's CommonObexIrMCConnection; the
// phone's identity and settings come from the hooks its owner gives.
class QVIRMCObexLink : public QVIRMCConnection {
public:
    struct Device {
        QString identifier;
        QString maker;
        QString model;
        SyncMLConnectionDevice* settings = nullptr;
        std::function<void(const QString&, const QVariant&)> setSetting;
        std::function<void()> writeNow;
        std::function<void()> writeIfNeeded;
    };

    QVIRMCObexLink(CommonObexIrMCConnection& connection, Device device);

    CommonObexIrMCConnection& obexConnection() const { return _connection; }

    QString deviceIdentifier() const override { return _device.identifier; }
    SyncMLConnectionDevice* mfDevice() const override { return _device.settings; }
    void setDelegate(ObexSyncMLDelegate* delegate) override;
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int executeCommandSync(const std::shared_ptr<ObjectPushCommand>& command) override;
    QString newSessionID() override;
    int sendSwitchCommandForProperty(int property, bool forceSlow) override;

    int requestInfoLogForPB(const std::shared_ptr<ObjectPushCommand>& command) override;
    int requestChangeLogForPB(const std::shared_ptr<ObjectPushCommand>& command) override;
    int requestNumberedLogForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& anchor) override;
    int requestMainDataForPB(const std::shared_ptr<ObjectPushCommand>& command) override;
    int requestNumberedObjectStoreForPB(const std::shared_ptr<ObjectPushCommand>& command,
                                        const QString& luid) override;
    int requestIndexItemForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& index) override;
    int pushDataObjectForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& objectName,
                            bool askAppParams) override;
    int setPath(const std::shared_ptr<ObjectPushCommand>& command, const QString& path) override;
    int requestDirectoryListing(const std::shared_ptr<ObjectPushCommand>& command) override;
    int requestDownloadFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path) override;
    int pushFileData(const std::shared_ptr<ObjectPushCommand>& command, const QString& path) override;
    int deleteFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path) override;

    void setDeviceSetting(const QString& key, const QVariant& value) override;
    void writeDeviceDictNow() override;
    void writeSettingsIfNeeded() override;
    QString deviceMaker() const override { return _device.maker; }
    QString deviceModel() const override { return _device.model; }

private:
    CommonObexIrMCConnection& _connection;
    Device _device;
};
