#include "links/BTObexSession.h"

#include "foundation/NamedLog.h"
#include "links/BTSerialATChannel.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"

namespace {
QVariantMap withChannel(QVariantMap dict, quint8 channel)
{
    dict.insert(QLatin1String(BTSerialATChannel::kRfcommChannelKey), int(channel));
    return dict;
}
} // namespace

BTObexSession::BTObexSession(MFDevice* device, const QVariantMap& connectionDict, quint8 channel)
    : CommonObexATSwitchTransportLayer(device, ObexSwitchSettings(), withChannel(connectionDict, channel),
                                       QLatin1String(CommonSerialConnection::kConnTypeBluetooth), false)
    , _channel(channel)
{
}

QString BTObexSession::className() const
{
    return QStringLiteral("BTObexSession");
}

void BTObexSession::initializeSerialChannelForSyncML(const std::shared_ptr<QVDeviceCallback>& callback)
{
    const bool open = hasOpenTransportConnection();
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("[%1 openTransportLayer] RFCOMM channel %2 %3")
            .arg(className())
            .arg(_channel)
            .arg(open ? QStringLiteral("open, OBEX mode") : QStringLiteral("did not open"));
    });
    if (open) {
        setObexMode(true);
        allocBuffer();
    }
    if (callback)
        callback->finishWithResult(open ? 0 : links::kIOReturnNotOpen, QVariant());
}
