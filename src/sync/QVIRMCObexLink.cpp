#include "sync/QVIRMCObexLink.h"

#include "links/CommonObexIrMCConnection.h"

QVIRMCObexLink::QVIRMCObexLink(CommonObexIrMCConnection& connection, Device device)
    : _connection(connection)
    , _device(std::move(device))
{
}

void QVIRMCObexLink::setDelegate(ObexSyncMLDelegate* delegate)
{
    _connection.setSyncDelegate(delegate);
}

int QVIRMCObexLink::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    return _connection.closeConnection(callback);
}

int QVIRMCObexLink::executeCommandSync(const std::shared_ptr<ObjectPushCommand>& command)
{
    return _connection.executeCommandSync(command);
}

QString QVIRMCObexLink::newSessionID()
{
    return _connection.newSessionID();
}

int QVIRMCObexLink::sendSwitchCommandForProperty(int property, bool forceSlow)
{
    return _connection.sendSwitchCommandForProperty(property, forceSlow);
}

int QVIRMCObexLink::requestInfoLogForPB(const std::shared_ptr<ObjectPushCommand>& command)
{
    return _connection.requestInfoLogForPB(command);
}

int QVIRMCObexLink::requestChangeLogForPB(const std::shared_ptr<ObjectPushCommand>& command)
{
    return _connection.requestChangeLogForPB(command);
}

int QVIRMCObexLink::requestNumberedLogForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& anchor)
{
    return _connection.requestNumberedLogForPB(command, anchor);
}

int QVIRMCObexLink::requestMainDataForPB(const std::shared_ptr<ObjectPushCommand>& command)
{
    return _connection.requestMainDataForPB(command);
}

int QVIRMCObexLink::requestNumberedObjectStoreForPB(const std::shared_ptr<ObjectPushCommand>& command,
                                                    const QString& luid)
{
    return _connection.requestNumberedObjectStoreForPB(command, luid);
}

int QVIRMCObexLink::requestIndexItemForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& index)
{
    return _connection.requestIndexItemForPB(command, index);
}

int QVIRMCObexLink::pushDataObjectForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& objectName,
                                        bool askAppParams)
{
    return _connection.pushDataObjectForPB(command, objectName, askAppParams);
}

int QVIRMCObexLink::setPath(const std::shared_ptr<ObjectPushCommand>& command, const QString& path)
{
    return _connection.setPath(command, path);
}

int QVIRMCObexLink::requestDirectoryListing(const std::shared_ptr<ObjectPushCommand>& command)
{
    return _connection.requestDirectoryListing(command);
}

int QVIRMCObexLink::requestDownloadFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path)
{
    return _connection.requestDownloadFile(command, path);
}

int QVIRMCObexLink::pushFileData(const std::shared_ptr<ObjectPushCommand>& command, const QString& path)
{
    return _connection.pushFileData(command, path);
}

int QVIRMCObexLink::deleteFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path)
{
    return _connection.deleteFile(command, path);
}

void QVIRMCObexLink::setDeviceSetting(const QString& key, const QVariant& value)
{
    if (_device.setSetting)
        _device.setSetting(key, value);
}

void QVIRMCObexLink::writeDeviceDictNow()
{
    if (_device.writeNow)
        _device.writeNow();
}

void QVIRMCObexLink::writeSettingsIfNeeded()
{
    if (_device.writeIfNeeded)
        _device.writeIfNeeded();
}
