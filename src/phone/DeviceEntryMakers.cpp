#include "phone/DeviceEntryMakers.h"

#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "links/CommonAsyncDeviceIdentifier.h"
#include "platform/RunLoop.h"
#include "usbdevice/DZDeviceProperties.h"

namespace deviceentry {

namespace {

const QLatin1String kRowProtocol("Dorvanti.DeviceProtocol");
const QLatin1String kRowIdentification("Dorvanti.Identification");
const QLatin1String kRowDeviceID("Dorvanti.DEVICE_ID");
const QLatin1String kRowSupported("Dorvanti.supportsTarnexLG");
const QLatin1String kRowUSBModel("Dorvanti.PS_USB_Model");
const QLatin1String kRowUSBVendor("Dorvanti.USB_Vendor");
const QLatin1String kUnknownIdentification("Unknown+Unknown");

const QLatin1String kBusy("busy");
const QLatin1String kPair("pair");
const QLatin1String kSerialCommand("AT+CGSN");

bool isTrue(const QVariant& value)
{
    return value.isValid() && value.toBool();
}

// A whole number from a number or decimal text; 0 for anything else.
qlonglong integerOf(const QVariant& value)
{
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    return ok ? number : 0;
}

// The list's entry for the serial number, or a fresh one (new flag set).
QVariantMap existingOrNew(const DeviceList& list, const QString& serial, bool* isNew)
{
    if (!serial.isEmpty()) {
        if (const DeviceList::Entry stored = list.getEntryFor(serial))
            return *stored;
    }
    if (isNew)
        *isNew = true;
    QVariantMap entry;
    if (!serial.isEmpty())
        entry.insert(kSerialNo, serial);
    entry.insert(kAutoConnect, false);
    return entry;
}

// USB ids: the candidate's (or wizard's) value, else the row's, only when
// non-zero.
void putUSBId(QVariantMap& entry, QLatin1String key, const QVariant& own, const QVariant& fromRow)
{
    qlonglong id = integerOf(own);
    if (id == 0)
        id = integerOf(fromRow);
    if (id != 0)
        entry.insert(key, id);
}

}   // namespace

QString makeProtocolFromWizardDictionary(const QVariantMap& wizard, const QVariantMap& row)
{
    if (!row.isEmpty())
        return row.value(kRowProtocol).toString();
    return isTrue(wizard.value(QLatin1String(DZDeviceProperties::kHasPCSuiteKey))) ? QStringLiteral("nokia")
                                                                                   : QStringLiteral("default");
}

std::optional<QString> makeSerialNumber(const std::function<QString()>& ask, int* error,
                                        const std::function<void()>& onRetry)
{
    QString serial = ask();
    for (int retry = 0; retry < kSerialNumberRetries && serial == kBusy; ++retry) {
        platform::runloop::runFor(kSerialNumberRetryWait);
        if (onRetry)
            onRetry();
        serial = ask();
    }
    if (serial == kBusy || serial == kPair) {
        if (error)
            *error = kSerialNumberBusyError;
        return std::nullopt;
    }
    if (serial.isEmpty())
        return std::nullopt;
    return serial;
}

std::optional<QString> makeSerialNumberFromDeviceIdentifier(CommonAsyncDeviceIdentifier& identifier, int* error,
                                                            const std::function<void()>& onRetry)
{
    bool first = true;
    return makeSerialNumber(
        [&]() -> QString {
            if (first) {
                first = false;
                const QString known = identifier.getSerialNumber();
                if (!known.isEmpty())
                    return known;
            }
            int status = 0;
            const QVariantMap answers = identifier.requestATCommandsSync({kSerialCommand}, &status);
            if (status != 0)
                return QString();
            return answers.value(kSerialCommand).toString().trimmed();
        },
        error, onRetry);
}

QVariantMap makeQVDeviceDictionaryFromWizardDictionary(const DeviceList& list, const QVariantMap& wizard,
                                                       const QVariantMap& row, const PhoneFacts& facts,
                                                       bool* isNew)
{
    bool created = false;
    QVariantMap entry = existingOrNew(list, facts.serial, &created);
    if (created) {
        if (isNew)
            *isNew = true;
        entry.insert(kDeviceID,
                     QString::number(integerOf(wizard.value(QLatin1String(DZDeviceProperties::kDeviceNumberKey)))));
        entry.insert(kBackupDevice, true);
        entry.insert(kDeviceProtocol, makeProtocolFromWizardDictionary(wizard, row));
        if (row.contains(kRowIdentification))
            entry.insert(kIdentifier, row.value(kRowIdentification));
    }
    if (!facts.btAddress.isEmpty()) {
        entry.insert(kBTAddress, facts.btAddress);
        entry.insert(kLastConnectionType, QLatin1String(kConnTypeBluetooth));
    }
    entry.insert(kBTChannel, QString::number(facts.channel));
    const QString portName = !facts.portName.isEmpty()
                                 ? facts.portName
                                 : wizard.value(QLatin1String(DZDeviceProperties::kPortNameKey)).toString();
    if (!portName.isEmpty()) {
        entry.insert(kUSBPortName, portName);
        entry.insert(kLastConnectionType, QLatin1String(kConnTypeUSBSerial));
    }
    const QVariant product = facts.productId.isValid()
                                 ? facts.productId
                                 : wizard.value(QLatin1String(DZDeviceProperties::kProductIDKey));
    const QVariant vendor = facts.vendorId.isValid() ? facts.vendorId
                                                     : wizard.value(QLatin1String(DZDeviceProperties::kVendorIDKey));
    putUSBId(entry, kUSBProductID, product, row.value(kRowUSBModel));
    putUSBId(entry, kUSBVendorID, vendor, row.value(kRowUSBVendor));
    if (!facts.deviceName.isEmpty())
        entry.insert(kDeviceName, facts.deviceName);
    if (!facts.serviceName.isEmpty())
        entry.insert(kBTServiceName, facts.serviceName);
    if (!facts.firmware.isEmpty())
        entry.insert(kFirmware, facts.firmware);
    entry.insert(kAutoConnect, 0);
    return entry;
}

std::optional<QVariantMap> makeQVDeviceDictionary(const DeviceList& list, qvDeviceDB& db, const QVariantMap& wizard,
                                                  bool* isNew, int* error)
{
    const QVariant address = wizard.value(QLatin1String(DZDeviceProperties::kBTAddressKey));
    if (address.typeId() != QMetaType::QString || address.toString().isEmpty())
        return std::nullopt;
    CommonAsyncDeviceIdentifier* identifier = CommonAsyncDeviceIdentifier::withBTDeviceString(address.toString());
    if (!identifier)
        return std::nullopt;
    int sdpError = 0;
    identifier->getAdditionalInformation(&sdpError);
    QVariantMap row = db.getSettingsForDeviceByID(
        QString::number(integerOf(wizard.value(QLatin1String(DZDeviceProperties::kDeviceNumberKey)))));
    const std::optional<QString> serial = makeSerialNumberFromDeviceIdentifier(*identifier, error);
    PhoneFacts facts;
    if (serial) {
        facts.serial = *serial;
        facts.btAddress = address.toString();
        facts.channel = identifier->channelID();
        facts.deviceName = identifier->deviceName();
        facts.serviceName = identifier->serviceName();
    }
    identifier->closeAndFree();
    if (!serial)
        return std::nullopt;
    platform::runloop::runFor(kAfterIdentifierWait);
    if (row.isEmpty())
        row = db.getSettingsForDevice(kUnknownIdentification);
    if (row.isEmpty())
        return std::nullopt;
    return makeQVDeviceDictionaryFromWizardDictionary(list, wizard, row, facts, isNew);
}

std::optional<QVariantMap> createDeviceDictionary(const DeviceList& list, qvDeviceDB& db,
                                                  const QString& identification, const QString& connType,
                                                  const PhoneFacts& facts, bool* isNew)
{
    const QVariantMap row = identification.isEmpty() ? QVariantMap() : db.getSettingsForIdentification(identification);
    if (row.isEmpty() || integerOf(row.value(kRowSupported)) == 0 || facts.serial.isEmpty()) {
        QVLOG(qvlog::kXT,
              QStringLiteral("No device entry for \"%1\" (serial \"%2\")").arg(identification, facts.serial));
        return std::nullopt;
    }
    bool created = false;
    QVariantMap entry = existingOrNew(list, facts.serial, &created);
    if (created) {
        entry.insert(kDeviceID, row.value(kRowDeviceID));
        entry.insert(kBackupDevice, false);
        entry.insert(kDeviceProtocol, row.value(kRowProtocol));
        if (row.contains(kRowIdentification))
            entry.insert(kIdentifier, row.value(kRowIdentification));
    }
    if (!facts.firmware.isEmpty())
        entry.insert(kFirmware, facts.firmware);
    if (connType == QLatin1String(kConnTypeBluetooth) && !facts.btAddress.isEmpty()) {
        entry.insert(kBTAddress, facts.btAddress);
        entry.insert(kLastConnectionType, QLatin1String(kConnTypeBluetooth));
    } else if (connType == QLatin1String(kConnTypeUSBSerial)) {
        if (!facts.portName.isEmpty())
            entry.insert(kUSBPortName, facts.portName);
        entry.insert(kLastConnectionType, QLatin1String(kConnTypeUSBSerial));
        putUSBId(entry, kUSBProductID, facts.productId, row.value(kRowUSBModel));
        putUSBId(entry, kUSBVendorID, facts.vendorId, row.value(kRowUSBVendor));
    }
    if (!facts.deviceName.isEmpty())
        entry.insert(kDeviceName, facts.deviceName);
    entry.insert(kAutoConnect, 0);
    entry.insert(QLatin1String(kNewPhoneKey), created);
    if (isNew)
        *isNew = created;
    return entry;
}

std::optional<QVariantMap> createDeviceDictionary(const DeviceList& list, qvDeviceDB& db,
                                                  CommonAsyncDeviceIdentifier& identifier,
                                                  const QVariantMap& candidate, bool* isNew, int* error)
{
    const QString identification = identifier.identifyDevice();
    const std::optional<QString> serial = makeSerialNumberFromDeviceIdentifier(identifier, error);
    if (!serial)
        return std::nullopt;
    PhoneFacts facts;
    facts.serial = *serial;
    facts.firmware = identifier.swRevision();
    facts.btAddress = identifier.btAddressString();
    facts.portName = identifier.portName();
    facts.deviceName = identifier.deviceName();
    facts.productId = candidate.value(QLatin1String(DZDeviceProperties::kProductIDKey));
    facts.vendorId = candidate.value(QLatin1String(DZDeviceProperties::kVendorIDKey));
    return createDeviceDictionary(list, db, identification, identifier.connType(), facts, isNew);
}

}   // namespace deviceentry
