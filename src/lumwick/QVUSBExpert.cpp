#include "lumwick/QVUSBExpert.h"

#include "lumwick/AKPaneController.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/GsmKitQuery.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/ModelQuery.h"
#include "lumwick/PieProgressIndicator.h"
#include "lumwick/QVModelDatabase.h"
#include "platform/Clock.h"
#include "platform/gui/Interface.h"
#include "usbdevice/DZUSBDeviceIdentifier.h"
#include "usbdevice/DZUSBStorageDevice.h"

#include <QPixmap>

namespace {
constexpr const char* kReady = "kReady";
constexpr const char* kUnknown = "kUnknown";
constexpr const char* kProductStringKey = "MacMyPhone.USB_ProductString";
constexpr const char* kDeviceIDKey = "MacMyPhone.DEVICE_ID";
} // namespace

QList<std::shared_ptr<QVUSBExpert>> QVUSBExpert::getDevices(QWidget* table, AKPaneController* controller,
                                                            bool storageUSB, bool serialUSB)
{
    QList<std::shared_ptr<QVUSBExpert>> experts;
    DZUSBDeviceIdentifier identifier(storageUSB, serialUSB);
    for (const QVariantMap& device : identifier.getUSBDevices().value_or(QList<QVariantMap>())) {
        std::shared_ptr<QVUSBExpert> expert = parent(table, controller);
        expert->setDeviceProperties(device);
        expert->settingUSBName(expert->readProps()->product());
        expert->setUSBprogressIndicatorValue(0);
        experts.append(expert);
    }
    return experts;
}

std::shared_ptr<QVUSBExpert> QVUSBExpert::parent(QWidget* table, AKPaneController* controller)
{
    auto expert = std::make_shared<QVUSBExpert>(controller);
    expert->m_parent = table;
    return expert;
}

QVUSBExpert::QVUSBExpert() : QVUSBExpert(nullptr)
{
    lumwick::lumwickLog(QStringLiteral("shouldn't init QVUSBExpert without controller"));
}

QVUSBExpert::QVUSBExpert(AKPaneController* controller)
    : DeviceExpert(controller)
    , m_probeRetry(std::make_unique<platform::Timer>())
{
    if (auto* pane = dynamic_cast<DeviceExpertPane*>(controller)) {
        m_row = pane->loadUSBTableEntryNib();
        if (m_row) {
            m_progress = platform::gui::outlet<QVProgressPie>(m_row, QStringLiteral("USBprogressIndicator"));
            m_name = platform::gui::outlet<QLabel>(m_row, QStringLiteral("USBName"));
            m_nameInfo = platform::gui::outlet<QLabel>(m_row, QStringLiteral("USBNameInfo"));
            m_typeLogo = platform::gui::outlet<QLabel>(m_row, QStringLiteral("usbTypeLogo"));
        }
    }
    m_properties = std::make_shared<DZDeviceProperties>();
    m_usbExpert = true;
    m_bluetoothExpert = false;
}

QVUSBExpert::~QVUSBExpert()
{
    delete m_row.data();
}

bool QVUSBExpert::isReady()
{
    return !readProps() || readProps()->deviceNumber() != -1;
}

QString QVUSBExpert::description() const
{
    return describedAs("QVUSBExpert");
}

void QVUSBExpert::setUSBTypeLogo(bool storage)
{
    m_storageLogo = storage;
    const QImage image = getStatusIcon(storage ? kIconUSBStorage : kIconUSB);
    if (!m_typeLogo || image.width() <= 0 || image.height() <= 0)
        return;
    m_typeLogo->setPixmap(QPixmap::fromImage(image));
}

QStringList QVUSBExpert::ttyPaths() const
{
    QStringList paths;
    if (!readProps())
        return paths;
    for (const QVariant& path : readProps()->portNames()) {
        if (!path.toString().isEmpty())
            paths.append(path.toString());
    }
    if (!readProps()->portName().isEmpty())
        paths.append(readProps()->portName());
    return paths;
}

void QVUSBExpert::startRecognition()
{
    const QStringList paths = ttyPaths();
    const bool storage = !readProps()->mountPoints().isEmpty();
    setUSBTypeLogo(storage);

    QVModelDatabase database;
    if (!database.open()) {
        lumwick::lumwickLog(QStringLiteral("Trouble when opening the data file. Make sure the path is valid."));
        // The phone itself can still tell its model.
        if (!paths.isEmpty() && !storage)
            checkTTY(paths.first());
        return;
    }
    const int vendor = readProps()->vendorID();
    const int product = readProps()->productID();
    const std::optional<QList<QVariantMap>> rows = database.rowsForUSB(vendor, product);
    bool fast = rows && rows->size() == 1;
    if (fast) {
        const QString fragment = rows->first().value(QLatin1String(kProductStringKey)).toString();
        fast = fragment.isEmpty() || readProps()->product().contains(fragment);
    }
    if (fast) {
        const int id = int(rows->first().value(QLatin1String(kDeviceIDKey)).toLongLong());
        props().setDeviceNumber(id);
        props().setBTModelName(GsmKitQuery::modelNameForQVID(id));
        if (!readProps()->btModelName().isEmpty())
            settingUSBName(readProps()->btModelName());
        showVerdict();
    } else {
        lumwick::lumwickLog(QStringLiteral("no fast detection possible:%1").arg(database.lastError()));
        if (!paths.isEmpty() && !storage) {
            checkTTY(paths.first());
            return;
        }
        settingUSBNameInfo(QString::fromLatin1(kUnknown));
        props().setDeviceNumber(-1);
        halt(kIconStop);
    }
    redraw();
}

void QVUSBExpert::showVerdict()
{
    if (m_controller && m_controller->isValid(getPropertiesDictionary())) {
        settingUSBNameInfo(QString::fromLatin1(kReady));
        halt(kIconOk);
    } else {
        settingUSBNameInfo(QString::fromLatin1(kUnknown));
        halt(kIconAttention);
    }
}

void QVUSBExpert::checkTTY(const QString& path)
{
    m_probeRetry->stop();
    m_probeRetries = 0;
    askTTY(path);
}

void QVUSBExpert::askTTY(const QString& path)
{
    const int id = GsmKitQuery::qvIDForUSBAddress(path);
    props().setDeviceNumber(id);
    if (id == -1) {
        settingUSBNameInfo(QString::fromLatin1(kUnknown));
        halt(kIconStop);
        redraw();
        return;
    }
    const QString name = GsmKitQuery::modelNameForQVID(id);
    props().properties().insert(QLatin1String(DZDeviceProperties::kBTModelNameKey), name);
    lumwick::lumwickLog(QStringLiteral("%1 [port:%2\tclass:%3]\n").arg(name, path, GsmKitQuery::deviceTypeForQVID(id)));
    if (id == ModelQuery::kProbeDevice) {
        lumwick::lumwickLog(QStringLiteral("got ProbeDevice, trying again"));
        if (m_probeRetries < kMaxProbeRetries) {
            ++m_probeRetries;
            m_probeRetry->setCallback([this, path] { askTTY(path); });
            m_probeRetry->start(kProbeRetryDelay);
        } else {
            // A phone that stays busy is not named.
            props().setDeviceNumber(-1);
            settingUSBNameInfo(QString::fromLatin1(kUnknown));
            halt(kIconStop);
        }
        redraw();
        return;
    }
    settingUSBName(name);
    halt(kIconOk);
    settingUSBNameInfo(
        QString::fromLatin1(m_controller && m_controller->isValid(getPropertiesDictionary()) ? kReady : kUnknown));
    redraw();
}

void QVUSBExpert::stopRecognition()
{
    m_probeRetry->stop();
}

void QVUSBExpert::settingUSBName(const QString& name)
{
    if (m_name && !name.isEmpty())
        m_name->setText(name);
}

QString QVUSBExpert::gettingUSBName() const
{
    return m_name ? m_name->text() : QString();
}

void QVUSBExpert::settingUSBNameInfo(const QString& key)
{
    if (m_nameInfo && !key.isEmpty())
        m_nameInfo->setText(lumwick::localized(key));
}

QString QVUSBExpert::usbNameInfo() const
{
    return m_nameInfo ? m_nameInfo->text() : QString();
}

void QVUSBExpert::setUSBprogressIndicatorValue(double value)
{
    if (!m_progress)
        return;
    m_progress->setHalted(false);
    m_progress->setDoubleValue(value);
}

void QVUSBExpert::halt(int kind)
{
    if (!m_progress)
        return;
    m_progress->setHaltedImage(getStatusIcon(kind));
    m_progress->setHalted(true);
}

void QVUSBExpert::redraw()
{
    if (m_progress)
        m_progress->update();
    if (m_parent)
        m_parent->update();
}

QVariantMap QVUSBExpert::getUseableProperties() const
{
    QVariantMap properties = getPropertiesDictionary();
    if (!readProps() || !readProps()->serialNumber().isEmpty())
        return properties;
    const QString marker = DZUSBStorageDevice::getUSBStorageSerialNumber(properties);
    if (!marker.isEmpty())
        properties.insert(QLatin1String(DZDeviceProperties::kSerialNumberKey), marker);
    return properties;
}
