#pragma once

#include "links/ObexObjectPushConnection.h"

#include <QVariantMap>

class MFDeviceLinkOwner;
namespace platform {
class BluetoothDevice;
}

// The push connection on a Bluetooth phone's Object Push service, as a
// plain OBEX session on that service's RFCOMM channel. Registered with its
// owner as "Push" on that channel.
class BTObexObjectPushConnection : public ObexObjectPushConnection {
public:
    // connectionDict names the phone ("BT.BT_Address"); owner may be null
    // (nothing is registered).
    BTObexObjectPushConnection(MFDeviceLinkOwner* owner, const QVariantMap& connectionDict);

    QString className() const override;
    virtual quint8 connectionChannelD() const;
    virtual QString connectionType() const { return QStringLiteral("Push"); }
    QString getConnectionType() const override { return QStringLiteral("Bluetooth"); }

    // -88 when the phone offers no channel for the service.
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    // Closes the baseband link to the phone.
    void closeDevice() override;

protected:
    // Registers connectionType() with the owner (the derived class's when
    // called from its constructor).
    void registerWith(MFDeviceLinkOwner* owner);

    std::shared_ptr<platform::BluetoothDevice> _btDevice;
    QVariantMap _connectionDict;
};

// The same on the phone's PC-suite service, registered as "PCSuite".
class BTNokiaPCSuitePushConnection : public BTObexObjectPushConnection {
public:
    BTNokiaPCSuitePushConnection(MFDeviceLinkOwner* owner, const QVariantMap& connectionDict);

    QString className() const override;
    quint8 connectionChannelD() const override;
    QString connectionType() const override { return QStringLiteral("PCSuite"); }
    bool isNokiaPCSuite() const override { return true; }
};
