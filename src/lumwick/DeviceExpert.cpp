#include "lumwick/DeviceExpert.h"

#include "lumwick/AKPaneController.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/OrbitalexWizard.h"
#include "platform/Exception.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QDebug>

DeviceExpert::DeviceExpert(AKPaneController* controller) : m_controller(controller) {}

DeviceExpert::~DeviceExpert() = default;

DeviceExpert DeviceExpert::withDeviceExpert(const DeviceExpert& other)
{
    DeviceExpert copy(other.m_controller);
    copy.m_properties = other.m_properties;
    copy.m_device = other.m_device;
    copy.m_usbExpert = other.m_usbExpert;
    copy.m_bluetoothExpert = other.m_bluetoothExpert;
    return copy;
}

bool DeviceExpert::isReady()
{
    throw platform::Exception(QStringLiteral("Not implemented exception"),
                              QStringLiteral("%1:%2 -[DeviceExpert isReady]").arg(QLatin1String(__FILE__)).arg(__LINE__));
}

bool DeviceExpert::isSupportedDevice() const
{
    if (m_properties && m_properties->deviceNumber() == -1)
        return false;
    if (!m_controller) {
        lumwick::lumwickLog(QStringLiteral("Lost controller for device %1").arg(description()));
        return false;
    }
    return m_controller->isValid(getPropertiesDictionary());
}

bool DeviceExpert::doesNeedPairing() const
{
    if (!isSupportedDevice())
        return false;
    if (!m_properties || m_properties->count() <= 2)
        return true;
    return m_properties->deviceHasStalePairing();
}

QVariantMap DeviceExpert::getPropertiesDictionary() const
{
    return m_properties ? m_properties->getPropertiesDictionary() : QVariantMap();
}

void DeviceExpert::setDeviceProperties(const QVariantMap& properties)
{
    m_properties = std::make_shared<DZDeviceProperties>(properties);
}

DZDeviceProperties& DeviceExpert::props()
{
    if (!m_properties)
        m_properties = std::make_shared<DZDeviceProperties>();
    return *m_properties;
}

void DeviceExpert::setDevice(std::shared_ptr<platform::BluetoothDevice> device)
{
    m_device = std::move(device);
}

bool DeviceExpert::isPaired()
{
    return m_device && m_device->isPaired();
}

bool DeviceExpert::closeConnection()
{
    return !m_device || lumwick::reallyCloseConnection(*m_device);
}

bool DeviceExpert::expertFinished()
{
    lumwick::lumwickLog(QStringLiteral("this is the abstract class, don't call its expertFinished method"));
    return true;
}

bool DeviceExpert::isReachable()
{
    lumwick::lumwickLog(QStringLiteral("Abstract method. Do not call!"));
    return false;
}

QString DeviceExpert::description() const
{
    return describedAs("DeviceExpert");
}

QString DeviceExpert::describedAs(const char* className) const
{
    return QStringLiteral("%1 with properties: %2")
        .arg(QLatin1String(className),
             m_properties ? m_properties->description() : QStringLiteral("Device properties not known"));
}

QString DeviceExpert::statusIconName(int kind)
{
    switch (kind) {
    case kIconEmpty: return QStringLiteral("empty");
    case kIconStop: return QStringLiteral("mini_stopIt");
    case kIconOk: return QStringLiteral("mini_isOk");
    case kIconAttention: return QStringLiteral("mini_new_payAttention");
    case kIconUSB: return QStringLiteral("small_usb_new");
    case kIconUSBStorage: return QStringLiteral("USBStorage");
    default: return {};
    }
}

QImage DeviceExpert::getStatusIcon(int kind) const
{
    if (QVWizardCallbacks* host = mainController()) {
        const QImage fromHost = host->getStatusIcon(kind);
        if (!fromHost.isNull())
            return fromHost;
    }
    const QString name = statusIconName(kind);
    const QString bundle = QString::fromLatin1(platform::gui::kLumwickBundle);
    if (name.isEmpty() || !platform::gui::hasImage(bundle, name))
        return {};
    return platform::gui::image(bundle, name);
}

QVWizardCallbacks* DeviceExpert::mainController() const
{
    return m_controller ? m_controller->mainController() : nullptr;
}

void DeviceExpert::setMainController(QVWizardCallbacks* host)
{
    if (m_controller)
        m_controller->setMainController(host);
}
