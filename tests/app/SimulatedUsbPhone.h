#pragma once

#include "PhoneSimulator.h"
#include "platform/UsbRegistrySimulated.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace app_tests {

// The simulated LG phone on a pseudo-terminal as the one USB modem attached.
struct SimulatedUsbPhone {
    SimulatedUsbPhone()
    {
        registry = std::make_shared<platform::UsbRegistrySimulated>();
        platform::UsbRegistry::setShared(registry);
    }
    ~SimulatedUsbPhone() { platform::UsbRegistry::setShared(nullptr); }
    bool attach(const char* profile = "lg") { return attachAnother(profile) != nullptr; }
    // One more modem phone on its own USB location; the first one is `sim`.
    // Its USB serial number is serial when given (empty: none).
    phonesim::PhoneSimulator* attachAnother(const char* profile = "lg", std::optional<QString> serial = std::nullopt)
    {
        std::optional<phonesim::PhoneProfile> found = phonesim::PhoneProfile::named(QLatin1String(profile));
        if (!found)
            return nullptr;
        auto phone = std::make_unique<phonesim::PhoneSimulator>(std::move(*found));
        if (!phone->start())
            return nullptr;
        const int n = int(others.size()) + (sim ? 2 : 1);
        platform::UsbDevice modem;
        modem.location = QStringLiteral("1-%1").arg(n);
        modem.vendorId = 0x1004;
        modem.productId = 0x6000;
        modem.vendorName = QStringLiteral("LG Electronics");
        modem.productName = QStringLiteral("LG USB Modem");
        modem.serialNumber = serial.value_or(QStringLiteral("3541230%1").arg(n));
        modem.ttyPaths = {phone->slavePath()};
        registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);
        phonesim::PhoneSimulator* attached = phone.get();
        if (!sim)
            sim = std::move(phone);
        else
            others.push_back(std::move(phone));
        return attached;
    }
    QStringList identificationCommands() const
    {
        QStringList commands;
        for (const QByteArray& line : sim->receivedLines())
            if (line.trimmed().startsWith("AT+CG"))
                commands << QString::fromLatin1(line.trimmed());
        return commands;
    }

    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    std::vector<std::unique_ptr<phonesim::PhoneSimulator>> others;
};

} // namespace app_tests
