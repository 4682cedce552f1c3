#include "links/ConnectionRegistration.h"

#include "links/BTSerialATChannel.h"
#include "links/CommonSerialConnection.h"
#include "links/MFDeviceLinkOwner.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

namespace links {

std::optional<QVariantMap> registrationSpecification(const QString& connType, const QVariantMap& connectionDict)
{
    const QString type = QStringLiteral("type");
    const QString channel = QStringLiteral("channel");
    if (connType == QLatin1String(CommonSerialConnection::kConnTypeBluetooth)) {
        const auto device = BTSerialATChannel::btDeviceForConnectionDict(connectionDict);
        if (!device)
            return std::nullopt;
        return QVariantMap{{type, connType}, {channel, QVariant::fromValue(short(platform::dunChannel(*device)))}};
    }
    if (connType == QLatin1String(CommonSerialConnection::kConnTypeUSBSerial))
        return QVariantMap{{type, connType}, {channel, QVariant::fromValue(short(0))}};
    return std::nullopt;
}

void registerWithOwner(MFDeviceLinkOwner& owner, const QString& name, const QVariantMap& connectionDict)
{
    if (const std::optional<QVariantMap> specification = registrationSpecification(owner.connType(), connectionDict))
        owner.registerConnection(name, *specification);
}

} // namespace links
