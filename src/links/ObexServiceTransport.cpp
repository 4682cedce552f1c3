#include "links/ObexServiceTransport.h"

#include "links/BTObexSession.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/CommonSerialConnection.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

bool ObexServiceTransport::isIrMCClass(const QString& protocolClass)
{
    return protocolClass.contains(QLatin1String("IrMC"));
}

ObexServiceTransport ObexServiceTransport::choose(const QString& protocolClass, bool isGigaset, const QString& connType,
                                                  const QVariantMap& connectionDict)
{
    ObexServiceTransport choice;
    choice.irmc = isIrMCClass(protocolClass);
    const bool bluetooth = connType == QLatin1String(CommonSerialConnection::kConnTypeBluetooth);
    const bool usb = connType == QLatin1String(CommonSerialConnection::kConnTypeUSBSerial);
    if (!bluetooth && !usb)
        return choice;
    if (protocolClass.startsWith(QLatin1String("AT")) && !protocolClass.startsWith(QLatin1String("ATSerial"))) {
        choice.kind = Kind::ATSwitch;
        choice.server = protocolClass.contains(QLatin1String("ATObexServer"));
        return choice;
    }
    if (!protocolClass.startsWith(QLatin1String("BT")))
        return choice;
    if (choice.irmc && isGigaset) {
        choice.kind = Kind::ATSwitchIrMC;
        return choice;
    }
    if (usb) {
        choice.kind = choice.irmc ? Kind::ATSwitchIrMC : Kind::ATSwitch;
        return choice;
    }
    const auto device = platform::btDeviceForAddress(connectionDict.value(QStringLiteral("BT.BT_Address")).toString());
    if (!device)
        return choice;
    const quint8 channel = choice.irmc ? platform::irmcChannel(*device) : platform::syncMLChannel(*device);
    if (channel == platform::kNoRfcommChannel)
        return choice;
    choice.kind = Kind::PlainSession;
    choice.channel = channel;
    return choice;
}

std::unique_ptr<ObexATSwitchTransportLayer> ObexServiceTransport::make(MFDevice* device,
                                                                       const ObexSwitchSettings& settings,
                                                                       const QVariantMap& connectionDict,
                                                                       const QString& connType) const
{
    switch (kind) {
    case Kind::ATSwitch:
        return std::make_unique<CommonObexATSwitchTransportLayer>(device, settings, connectionDict, connType, server);
    case Kind::ATSwitchIrMC:
        return std::make_unique<CommonObexATSwitchIrMCTransportLayer>(device, settings, connectionDict, connType,
                                                                      server);
    case Kind::PlainSession:
        return std::make_unique<BTObexSession>(device, connectionDict, channel);
    case Kind::None:
        break;
    }
    return nullptr;
}
