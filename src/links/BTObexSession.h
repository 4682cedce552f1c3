#pragma once

#include "links/CommonObexATSwitchTransportLayer.h"

#include <QVariantMap>

// A plain OBEX session on one of the phone's RFCOMM channels (IrMC, SyncML,
// Object Push, File Transfer): the channel speaks OBEX from its first byte,
// so the transport opens without any AT prelude and the codec runs the
// requests on it as client.
class BTObexSession : public CommonObexATSwitchTransportLayer {
public:
    // connectionDict names the phone ("BT.BT_Address"); channel is the
    // service's RFCOMM channel from its SDP record.
    BTObexSession(MFDevice* device, const QVariantMap& connectionDict, quint8 channel);

    QString className() const override;
    quint8 rfcommChannel() const { return _channel; }

    // The open channel goes straight into OBEX mode; the callback ends with 0.
    void initializeSerialChannelForSyncML(const std::shared_ptr<QVDeviceCallback>& callback) override;

private:
    quint8 _channel = 0;
};
