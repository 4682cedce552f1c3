#include "links/BTObexObjectPushConnection.h"

#include "links/BTObexSession.h"
#include "links/MFDeviceLinkOwner.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

namespace {
constexpr const char* kAddressKey = "BT.BT_Address";
}

BTObexObjectPushConnection::BTObexObjectPushConnection(MFDeviceLinkOwner* owner, const QVariantMap& connectionDict)
    : ObexObjectPushConnection(owner ? owner->linkDevice() : nullptr)
    , _connectionDict(connectionDict)
{
    const QString address = connectionDict.value(QLatin1String(kAddressKey)).toString();
    if (!address.isEmpty())
        _btDevice = platform::btDeviceForAddress(address);
    setSessionFactory([this]() -> std::unique_ptr<ObexATSwitchTransportLayer> {
        const quint8 channel = connectionChannelD();
        if (!_btDevice || channel >= platform::kNoRfcommChannel)
            return nullptr;
        return std::make_unique<BTObexSession>(_mfDevice, _connectionDict, channel);
    });
    registerWith(owner);
}

void BTObexObjectPushConnection::registerWith(MFDeviceLinkOwner* owner)
{
    if (!owner || !_btDevice)
        return;
    owner->registerConnection(connectionType(),
                              {{QStringLiteral("type"), QStringLiteral("Bluetooth")},
                               {QStringLiteral("channel"), QVariant::fromValue(short(connectionChannelD()))}});
}

QString BTObexObjectPushConnection::className() const
{
    return QStringLiteral("BTObexObjectPushConnection");
}

quint8 BTObexObjectPushConnection::connectionChannelD() const
{
    return _btDevice ? platform::obexObjectPushChannel(*_btDevice) : platform::kNoRfcommChannel;
}

int BTObexObjectPushConnection::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    return ObexObjectPushConnection::openConnection(callback);
}

void BTObexObjectPushConnection::closeDevice()
{
    if (_btDevice && _btDevice->isConnected())
        _btDevice->closeConnection();
}

BTNokiaPCSuitePushConnection::BTNokiaPCSuitePushConnection(MFDeviceLinkOwner* owner,
                                                           const QVariantMap& connectionDict)
    : BTObexObjectPushConnection(nullptr, connectionDict)
{
    _mfDevice = owner ? owner->linkDevice() : nullptr;
    registerWith(owner);
}

QString BTNokiaPCSuitePushConnection::className() const
{
    return QStringLiteral("BTNokiaPCSuitePushConnection");
}

quint8 BTNokiaPCSuitePushConnection::connectionChannelD() const
{
    return _btDevice ? platform::nokiaPCSuiteChannel(*_btDevice) : platform::kNoRfcommChannel;
}
