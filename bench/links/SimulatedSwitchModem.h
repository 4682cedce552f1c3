#pragma once

#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/USBSerialATChannel.h"
#include "platform/UsbRegistrySimulated.h"

#include <memory>

namespace bench_support {

// The phone simulator's pseudo-terminal as a USB modem in a simulated
// registry, which it makes the shared one.
inline std::shared_ptr<platform::UsbRegistrySimulated> registerSimulatedModem(const QString& tty)
{
    auto registry = std::make_shared<platform::UsbRegistrySimulated>();
    platform::UsbRegistry::setShared(registry);
    platform::UsbDevice modem;
    modem.location = QStringLiteral("1-1");
    modem.vendorId = 0x1004;
    modem.productId = 0x6000;
    modem.vendorName = QStringLiteral("Phone Maker");
    modem.productName = QStringLiteral("Phone USB Modem");
    modem.serialNumber = QStringLiteral("35201234");
    modem.ttyPaths = {tty};
    registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);
    return registry;
}

// An OBEX transport that switches that modem from AT commands to OBEX.
inline std::unique_ptr<CommonObexATSwitchTransportLayer> makeSwitchTransport()
{
    auto transport = std::make_unique<CommonObexATSwitchTransportLayer>(nullptr, ObexSwitchSettings{}, QVariantMap(),
                                                                        QStringLiteral("USB-Serial"), false);
    transport->setChannelFactory([](const QString&, const QVariantMap&, MFDevice* device,
                                    SerialDelegateProtocol* delegate, SerialATChannel::PhoneTraits traits) {
        const QVariantMap wiz{{"vendorId", 0x1004}, {"productId", 0x6000}, {"serialNumber", "35201234"}};
        return std::unique_ptr<SerialATChannel>(USBSerialATChannel::withWizDict(device, wiz, delegate, traits));
    });
    return transport;
}

} // namespace bench_support
