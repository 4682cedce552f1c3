// The phone window's controller: opening a phone from a stored entry or the
// wizard's result, identifying a new phone, and adding a chosen one.
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/TeachInPrefsHandler.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/DorvantiWindow.h"

#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "links/CommonAsyncDeviceIdentifier.h"
#include "phone/DeviceEntryMakers.h"
#include "phone/MFDevice.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "usbdevice/DZDeviceProperties.h"
#include "usbdevice/DZUSBStorageDevice.h"

#include <QApplication>

#include <utility>

using namespace devicewindowkeys;

namespace {

DeviceWindowController* g_opening = nullptr;

// Marks a window as the one whose phone is being opened, for its lifetime.
class OpeningScope {
public:
    explicit OpeningScope(DeviceWindowController* window) : previous_(std::exchange(g_opening, window)) { }
    ~OpeningScope() { g_opening = previous_; }
    OpeningScope(const OpeningScope&) = delete;
    OpeningScope& operator=(const OpeningScope&) = delete;

private:
    DeviceWindowController* previous_;
};

QString text(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString hex4(int status)
{
    return QStringLiteral("%1").arg(unsigned(status) & 0xffffu, 4, 16, QLatin1Char('0')).toUpper();
}

// The device-list entry's model id as text ("%d" of the wizard's number).
QString modelId(const QVariantMap& wizard)
{
    const QVariant id = wizard.value(QLatin1String(DZDeviceProperties::kDeviceNumberKey));
    bool ok = false;
    const qlonglong number = id.toLongLong(&ok);
    return ok && id.typeId() != QMetaType::QString ? QString::number(number) : text(id);
}

} // namespace

std::shared_ptr<MFDevice> DeviceWindowController::openFromDeviceDictionary(const QVariantMap& wizard,
                                                                           const std::optional<QVariantMap>& stored,
                                                                           const QString& connType)
{
    QVariantMap dict;
    bool isNew = false;
    if (stored) {
        dict = *stored;
        // A stored entry must name how the phone is reached.
        if (text(dict.value(deviceentry::kBTAddress)).isEmpty()
            && text(dict.value(deviceentry::kUSBPortName)).isEmpty()) {
            QVLOG(qvlog::kXT, QLatin1String(kLogNoConnection));
            return nullptr;
        }
        const QString address = text(wizard.value(QLatin1String(DZDeviceProperties::kBTAddressKey)));
        if (!address.isEmpty() && platform::BluetoothAddress::fromString(address)) {
            const std::shared_ptr<platform::BluetoothDevice> device = platform::btDeviceForAddress(address);
            if (!device) {
                QVLOG(qvlog::kXT, QLatin1String(kLogNoBTDevice));
                return nullptr;
            }
            int status = device->openConnection();
            if (status != 0) {
                QVLOG(qvlog::kXT, QString::fromLatin1(kLogOpenStatus).arg(hex4(status)));
                if (status != kBasebandRetryStatus)
                    return nullptr;
                platform::runloop::runFor(kBasebandRetryWait);
                status = device->openConnection();
                if (status != 0) {
                    QVLOG(qvlog::kXT, QString::fromLatin1(kLogOpenStatus2).arg(hex4(status)));
                    return nullptr;
                }
                QVLOG(qvlog::kXT, QLatin1String(kLogOpenOk2));
            }
            platform::runloop::runFor(kBasebandWait);
            device->closeConnection();
            platform::runloop::runFor(kBasebandWait);
        }
    } else if (!makeDeviceDictionary(&dict, &isNew, wizard, connType)) {
        QVLOG(qvlog::kXT, QLatin1String(kLogNoDictionary));
        return nullptr;
    }

    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    const QString id = text(dict.value(deviceentry::kDeviceID));
    if (!db || id.isEmpty() || db->getSettingsForDeviceByID(id).isEmpty()) {
        QVLOG(qvlog::kXT, QLatin1String(kLogNoDevice));
        return nullptr;
    }
    OpeningScope opening(this);
    auto device = std::make_shared<MFDevice>(connType, std::make_shared<QVariantMap>(dict), &isNew);
    setMFDevice(device.get());
    return device;
}

DeviceWindowController* DeviceWindowController::openingWindow()
{
    return g_opening;
}

std::optional<QString> DeviceWindowController::makeSerialNumberFromDeviceIdentifier(
    CommonAsyncDeviceIdentifier& identifier)
{
    int error = 0;
    const std::optional<QString> serial = deviceentry::makeSerialNumberFromDeviceIdentifier(
        identifier, &error, [this] { doProgressBusyIncrement(kSerialBusyStep); });
    if (!serial && error == deviceentry::kSerialNumberBusyError)
        displayError(deviceentry::kSerialNumberBusyError);
    return serial;
}

bool DeviceWindowController::makeDeviceDictionary(QVariantMap* dict, bool* isNew, const QVariantMap& wizard,
                                                  const QString& connType)
{
    CommonAsyncDeviceIdentifier* identifier = nullptr;
    const QString address = text(wizard.value(QLatin1String(DZDeviceProperties::kBTAddressKey)));
    if (connType == QLatin1String(deviceentry::kConnTypeBluetooth)) {
        if (address.isEmpty())
            return false;
        identifier = CommonAsyncDeviceIdentifier::withBTDeviceString(address);
    } else {
        identifier = new CommonAsyncDeviceIdentifier(wizard, connType);
    }
    if (!identifier) {
        QApplication::beep();
        return false;
    }
    int error = 0;
    if (!identifier->getAdditionalInformation(&error) || error != 0) {
        QApplication::beep();
        identifier->closeAndFree();
        return false;
    }
    int serialError = 0;
    const std::optional<QString> serial = deviceentry::makeSerialNumberFromDeviceIdentifier(
        *identifier, &serialError, [this] { doProgressBusyIncrement(kSerialBusyStep); });
    deviceentry::PhoneFacts facts;
    if (serial) {
        facts.serial = *serial;
        if (connType == QLatin1String(deviceentry::kConnTypeBluetooth)) {
            facts.btAddress = address;
            facts.channel = identifier->channelID();
            facts.serviceName = identifier->serviceName();
        }
        facts.deviceName = identifier->deviceName();
    }
    identifier->closeAndFree();
    if (!serial) {
        displayError(serialError == deviceentry::kSerialNumberBusyError ? deviceentry::kSerialNumberBusyError
                                                                        : kNoSerialError);
        return false;
    }
    platform::runloop::runFor(deviceentry::kAfterIdentifierWait);
    if (host_->checkIfIsAlreadyConnected(facts.serial, true))
        return false;
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return false;
    QVariantMap row = db->getSettingsForDeviceByID(modelId(wizard));
    if (row.isEmpty())
        row = db->getSettingsForDevice(QLatin1String(kUnknownIdentification));
    if (row.isEmpty())
        return false;
    bool created = false;
    *dict = deviceentry::makeQVDeviceDictionaryFromWizardDictionary(DeviceList::sharedDeviceList(), wizard, row, facts,
                                                                    &created);
    if (isNew && created)
        *isNew = true;
    return true;
}

bool DeviceWindowController::makeBTDeviceDictionary(const QVariantMap& wizard)
{
    QVariantMap dict;
    bool isNew = false;
    if (!makeDeviceDictionary(&dict, &isNew, wizard, QLatin1String(deviceentry::kConnTypeBluetooth)))
        return false;
    DeviceList::sharedDeviceList().writeDevice(std::make_shared<QVariantMap>(dict));
    host_->createConnection(dict, QLatin1String(deviceentry::kConnTypeBluetooth), this, isNew,
                            QString::fromLatin1(kStateConnected).arg(QLatin1String(kBackupCenter)));
    return true;
}

bool DeviceWindowController::makeUSBSerialDeviceDictionary(const QVariantMap& wizard)
{
    if (text(wizard.value(QLatin1String(DZDeviceProperties::kPortNameKey))).isEmpty())
        return false;
    QVariantMap dict;
    bool isNew = false;
    if (!makeDeviceDictionary(&dict, &isNew, wizard, QLatin1String(deviceentry::kConnTypeUSBSerial)))
        return false;
    DeviceList::sharedDeviceList().writeDevice(std::make_shared<QVariantMap>(dict));
    host_->createConnection(dict, QLatin1String(deviceentry::kConnTypeUSBSerial), this, isNew,
                            QString::fromLatin1(kStateConnected).arg(QLatin1String(kBackupCenter)));
    return true;
}

bool DeviceWindowController::makeUSBStorageDeviceDictionary(const QVariantMap& wizard)
{
    const QVariant mounts = wizard.value(QLatin1String(kMountPoints));
    if (mounts.typeId() != QMetaType::QVariantList || mounts.toList().isEmpty())
        return false;
    const QVariantList points = mounts.toList();
    QVariantMap dict;
    dict.insert(QLatin1String(kUSBVolName1), points.at(0).toMap().value(QLatin1String(kMountPoint)));
    if (points.size() > 1)
        dict.insert(QLatin1String(kUSBVolName2), points.at(1).toMap().value(QLatin1String(kMountPoint)));
    QString serial = text(wizard.value(QLatin1String(kSerialNumber))).left(kMaxStorageSerial);
    if (serial.isEmpty())
        serial = DZUSBStorageDevice::readSerialFromFile(wizard);
    if (!serial.isNull())
        dict.insert(QLatin1String(kUSBSerialNo), serial);
    dict.insert(QLatin1String(kUSBVendor), wizard.value(QLatin1String(DZDeviceProperties::kVendorIDKey)));
    dict.insert(QLatin1String(kUSBModel), wizard.value(QLatin1String(DZDeviceProperties::kProductIDKey)));
    if (wizard.contains(QLatin1String(DZDeviceProperties::kDeviceNumberKey)))
        dict.insert(QLatin1String(kUSBDeviceNumber), modelId(wizard));
    host_->scanReturnedUSBDevice(dict, this);
    return true;
}

void DeviceWindowController::addChosenDevice(const QVariantMap& wizard)
{
    doAddChosenDevice(wizard);
}

void DeviceWindowController::doAddChosenDevice(const QVariantMap& wizard)
{
    if (!makeBTDeviceDictionary(wizard) && !makeUSBSerialDeviceDictionary(wizard)
        && !makeUSBStorageDeviceDictionary(wizard)) {
        QApplication::beep();
        if (teachInPrefs_)
            teachInPrefs_->addFailed();
    }
    platform::UserDefaults::standard().synchronize();
}

void DeviceWindowController::cancelDeviceAdd(MFDevice* device)
{
    // Only for this window's own phone, once the connection center is there.
    if (!device || device != mfDevice_)
        return;
}

// LumwickProtocol

QString DeviceWindowController::getAssistantTitle()
{
    return localized(kSetupWizard);
}

QImage DeviceWindowController::getAssistantLogo()
{
    return platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QLatin1String(kConnectWizardLogo));
}

void DeviceWindowController::assistantDidEndWithoutPairing()
{
    deviceChooserOpen_ = false;
    host_->stopWizard();
}

void DeviceWindowController::assistantDidEndWithPairing(const QVariantMap& properties)
{
    deviceChooserOpen_ = false;
    host_->stopWizard();
    platform::runloop::performOnMainThread([this, properties] { addChosenDevice(properties); }, this);
}

bool DeviceWindowController::isValid(const QVariantMap& properties)
{
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    return db && properties.contains(QLatin1String(DZDeviceProperties::kDeviceNumberKey))
        && !db->getSettingsForDeviceByID(modelId(properties)).isEmpty();
}
