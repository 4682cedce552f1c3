#include "lumwick/OrbitalexWizard.h"

#include "lumwick/LumwickLog.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "platform/bluetooth/SdpServiceRecord.h"

#include <algorithm>

namespace lumwick {

namespace {

// A short pause the radio needs between link operations: the main loop runs
// meanwhile on the platform clock. A pause asked for inside another (a timer
// that fired during it) does not nest: the outer one already waits.
bool pausing = false;
void pause(double seconds)
{
    if (pausing)
        return;
    pausing = true;
    platform::runloop::runFor(seconds);
    pausing = false;
}

bool classListOffers(const platform::SdpServiceRecord& record, const platform::BluetoothUuid& uuid)
{
    const auto it = record.attributes.constFind(platform::SdpServiceRecord::kServiceClassIDList);
    if (it == record.attributes.constEnd() || it->type != platform::SdpElement::Sequence)
        return false;
    for (const platform::SdpElement& element : it->elements) {
        if (element.type == platform::SdpElement::Uuid && element.uuidValue() == uuid)
            return true;
    }
    return false;
}

bool offers(const platform::BluetoothDevice& device, const platform::BluetoothUuid& uuid)
{
    const QList<platform::SdpServiceRecord> records = device.services();
    return std::any_of(records.begin(), records.end(),
                       [&](const platform::SdpServiceRecord& r) { return classListOffers(r, uuid); });
}

// Authenticated opens that end with one of these leave the pairing intact.
constexpr int kPairingAccepted = 0;
constexpr int kPairingAcceptedBusy = 2;

QString hex(int status)
{
    return QString::number(uint(status), 16);
}

} // namespace

std::shared_ptr<platform::BluetoothDevice> withNSStringAddress(const QString& address)
{
    return platform::BluetoothStack::shared().deviceWithAddressString(address);
}

bool isPhone(const platform::BluetoothDevice& device)
{
    return device.majorDeviceClass() == platform::bluetooth::kMajorClassPhone;
}

bool isComputerHandheld(const platform::BluetoothDevice& device)
{
    return device.majorDeviceClass() == platform::bluetooth::kMajorClassComputer
        && device.minorDeviceClass() == platform::bluetooth::kMinorClassComputerHandheld;
}

bool recordOffers(const platform::SdpServiceRecord& record, quint16 uuid16)
{
    return classListOffers(record, platform::BluetoothUuid::uuid16(uuid16));
}

QString displayName(const QString& name, const QString& address)
{
    QString shown = name;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return shown.trimmed().isEmpty() ? address : shown;
}

std::optional<DZDeviceProperties> getBTDeviceProperties(const platform::BluetoothDevice& device)
{
    using platform::BluetoothUuid;
    DZDeviceProperties properties;
    const bool serial = offers(device, BluetoothUuid::uuid16(platform::kSerialPortUuid));
    const bool dialup = offers(device, BluetoothUuid::uuid16(platform::kDialupNetworkingUuid));
    const bool obex = offers(device, BluetoothUuid::uuid16(platform::kObexFileTransferUuid))
        && offers(device, BluetoothUuid::uuid16(platform::kObexObjectPushUuid));
    bool pcSuite = offers(device, BluetoothUuid::fromString(QLatin1String(platform::kPCSuiteServiceUuid)));
    properties.setHasSerialPort(serial);
    properties.setHasDialup(dialup);
    properties.setHasOBEX(obex);
    if (!pcSuite) {
        for (const platform::SdpServiceRecord& record : device.services()) {
            if (record.serviceName() == QLatin1String(platform::kNokiaPCSuiteServiceName)) {
                pcSuite = true;
                properties.setPCSuiteServiceRecord(platform::sdp::encodeRecord(record));
                break;
            }
        }
    }
    properties.setHasPCSuite(pcSuite);
    if (!serial && !dialup && !obex && !pcSuite)
        return std::nullopt;
    const QString address = device.addressString();
    properties.setBTAddress(address);
    properties.setBTUserName(displayName(device.name(), address));
    return properties;
}

bool hasBrokenPairing(platform::BluetoothDevice& device)
{
    if (!device.isPaired())
        return false;
    if (!device.isConnected())
        platform::runloop::runFor(0.2);
    const int status = device.openConnection(0, true);
    if (status != kPairingAccepted && status != kPairingAcceptedBusy)
        return true;
    reallyCloseConnection(device);
    return false;
}

void removePairing(platform::BluetoothDevice& device)
{
    if (device.isConnected()) {
        pause(0.1);
        device.closeConnection();
    }
    const int result = device.removePairing();
    if (device.isPaired())
        lumwickLog(QStringLiteral("is still Paired 0x%1").arg(hex(result)));
    if (device.isConnected()) {
        pause(0.1);
        const int closed = device.closeConnection();
        if (closed != 0)
            lumwickLog(QStringLiteral("IOBD: removePairing: closeConnection returned 0x%1").arg(hex(closed)));
    }
}

bool reallyCloseConnection(platform::BluetoothDevice& device)
{
    if (!device.isConnected())
        return true;
    for (int attempt = 0; attempt < 2 && device.isConnected(); ++attempt) {
        pause(0.1);
        const int status = device.closeConnection();
        platform::runloop::runFor(status != 0 ? 1.0 : 0.1);
    }
    if (device.isConnected()) {
        lumwickLog(QStringLiteral("Unable to close device connection, destroying it"));
        pause(0.1);
        device.closeConnection();
    }
    platform::runloop::runFor(2.0);
    return !device.isConnected();
}

} // namespace lumwick
