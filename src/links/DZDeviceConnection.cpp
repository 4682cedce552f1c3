#include "links/DZDeviceConnection.h"

#include "device/MFDeviceInfo.h"
#include "links/LinkCodes.h"
#include "foundation/NamedLog.h"
#include "links/QVDeviceCallback.h"

DZDeviceConnection::DZDeviceConnection(MFDevice* device, void* delegate, const MFDeviceInfo* devInfo)
    : _mfDevice(device)
    , _delegate(delegate)
{
    if (devInfo)
        _deviceIdentifier = devInfo->deviceIdentification();
}

DZDeviceConnection::~DZDeviceConnection() = default;

int DZDeviceConnection::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isOpen)
        return links::kIOReturnExclusiveAccess;
    if (callback)
        callback->finishSuccessfullyInMainThread(QVariant());
    _isOpen = true;
    return 0;
}

int DZDeviceConnection::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_isOpen)
        return links::kIOReturnNotOpen;
    if (callback)
        callback->finishSuccessfullyInMainThread(QVariant());
    _isOpen = false;
    return 0;
}

int DZDeviceConnection::killJobs(bool, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_isOpen)
        return links::kIOReturnNotOpen;
    if (callback)
        callback->finishSuccessfullyInMainThread(QVariant());
    return 0;
}

bool DZDeviceConnection::isBluetooth() const
{
    return getConnectionType() == QLatin1String("Bluetooth");
}

bool DZDeviceConnection::isUSB() const
{
    return getConnectionType().startsWith(QLatin1String("USB-"));
}

bool DZDeviceConnection::isConnectionAvailable(const QVariantMap&)
{
    return false;
}

std::shared_ptr<QVDeviceCallback> DZDeviceConnection::storeCallback(const std::shared_ptr<QVDeviceCallback>& callback)
{
    std::shared_ptr<QVDeviceCallback> previous = std::move(_activeCallback);
    _activeCallback = callback;
    if (previous && previous != callback && previous->isBusy()) {
        QVLogWith(qvlog::kConn, [&] { return QStringLiteral("-- replacing active callback %1").arg(previous->description()); });
        previous->finishWithErrorInMainThread(links::kIOReturnError, QVariant());
    }
    return _activeCallback;
}

std::shared_ptr<QVDeviceCallback> DZDeviceConnection::freeCallback()
{
    return std::move(_activeCallback);
}

void DZDeviceConnection::finishWithError(int status)
{
    if (auto callback = freeCallback())
        callback->finishWithResult(status, QVariant());
}

void DZDeviceConnection::finishWithResultObject(const QVariant& resultObject)
{
    if (auto callback = freeCallback())
        callback->finishWithResult(0, resultObject);
}
