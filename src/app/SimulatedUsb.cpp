#include "app/SimulatedUsb.h"

#include "platform/UsbRegistrySimulated.h"

#include <QCoreApplication>

#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace simulatedusb {

namespace {

bool number(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok, 0);
    return ok && *value >= 0;
}

}   // namespace

bool install(const QString& description)
{
    const QStringList parts = description.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() == 2 || parts.size() > 4)
        return false;
    platform::UsbDevice modem;
    modem.location = QStringLiteral("1-1");
    modem.vendorName = QStringLiteral("Simulated");
    modem.productName = QStringLiteral("Simulated USB Modem");
    modem.ttyPaths = {parts.at(0)};
    if (parts.size() >= 3 && (!number(parts.at(1), &modem.vendorId) || !number(parts.at(2), &modem.productId)))
        return false;
    if (parts.size() == 4)
        modem.serialNumber = parts.at(3);
    auto registry = std::make_shared<platform::UsbRegistrySimulated>();
    registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);
    platform::UsbRegistry::setShared(registry);
    // The phone is unplugged when its tty goes (the simulator ended).
    if (QCoreApplication::instance()) {
        auto* watch = new QTimer(QCoreApplication::instance());
        const QString tty = modem.ttyPaths.constFirst();
        const QString location = modem.location;
        std::weak_ptr<platform::UsbRegistrySimulated> weak = registry;
        QObject::connect(watch, &QTimer::timeout, watch, [watch, tty, location, weak] {
            if (QFileInfo::exists(tty))
                return;
            if (const std::shared_ptr<platform::UsbRegistrySimulated> shared = weak.lock())
                shared->removeDevice(location);
            watch->deleteLater();
        });
        watch->start(kTtyWatchMs);
    }
    return true;
}

bool installFromEnvironment()
{
    return install(qEnvironmentVariable(kEnvironment));
}

}   // namespace simulatedusb
