#include "app/ProgramModelQuery.h"

#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "links/CommonAsyncDeviceIdentifier.h"
#include "usbdevice/DZDeviceProperties.h"
#include "usbdevice/DZUSBDeviceIdentifier.h"

namespace {
const QLatin1String kRowDeviceID("Dorvanti.DEVICE_ID");
const QLatin1String kRowModel("Dorvanti.Model");
const QLatin1String kRowProtocol("Dorvanti.DeviceProtocol");
constexpr const char* kBusy = "BUSY";

// The modem phone of the USB scan that owns the tty: the serial link opens
// only a device the registry knows.
QVariantMap modemWithPort(const QString& path)
{
    DZUSBDeviceIdentifier scan(false, true);
    for (const QVariantMap& device : scan.getUSBDevices().value_or(QList<QVariantMap>())) {
        const DZDeviceProperties properties(device);
        if (properties.portName() == path || properties.portNames().contains(path))
            return device;
    }
    return {{QLatin1String(DZDeviceProperties::kPortNameKey), path}};
}

QVariantMap rowFor(int id)
{
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    return db && id >= 0 ? db->getSettingsForDeviceByID(QString::number(id)) : QVariantMap();
}
} // namespace

QStringList ProgramModelQuery::identificationCommands()
{
    return {QStringLiteral("AT+CGMI"), QStringLiteral("AT+CGMM")};
}

int ProgramModelQuery::modelIdForAnswers(const QVariantMap& answers, const QString& identification)
{
    for (const QVariant& answer : answers) {
        if (answer.toString().trimmed().split(u'\n').last().trimmed() == QLatin1String(kBusy))
            return kProbeDevice;
    }
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    if (identification.isEmpty() || !db)
        return -1;
    bool ok = false;
    const int id = db->getSettingsForIdentification(identification).value(kRowDeviceID).toString().toInt(&ok);
    return ok ? id : -1;
}

int ProgramModelQuery::identify(CommonAsyncDeviceIdentifier* identifier, bool* failed)
{
    *failed = true;
    if (!identifier)
        return -1;
    int status = 0;
    const QVariantMap answers = identifier->requestATCommandsSync(identificationCommands(), &status);
    const int id = modelIdForAnswers(answers, status == 0 ? identifier->identifyDevice() : QString());
    *failed = status != 0 && id != kProbeDevice;
    identifier->closeAndFree();
    return id;
}

int ProgramModelQuery::qvIDForBTAddress(const QString& address, int retries)
{
    // Each query counts its own attempts.
    int id = -1;
    for (int attempt = 0; attempt <= retries; ++attempt) {
        bool failed = false;
        id = identify(CommonAsyncDeviceIdentifier::withBTDeviceString(address), &failed);
        if (!failed)
            break;
    }
    return id;
}

int ProgramModelQuery::qvIDForUSBAddress(const QString& path)
{
    bool failed = false;
    const int id = identify(
        new CommonAsyncDeviceIdentifier(modemWithPort(path), QLatin1String(CommonSerialConnection::kConnTypeUSBSerial)),
        &failed);
    if (failed)
        QVLOG(qvlog::kXT, QStringLiteral("recognition error"));
    return id;
}

QString ProgramModelQuery::modelNameForQVID(int id)
{
    return rowFor(id).value(kRowModel).toString();
}

QString ProgramModelQuery::deviceTypeForQVID(int id)
{
    return rowFor(id).value(kRowProtocol).toString();
}
