#include "platform/bluetooth/QuorBluetoothExtensions.h"

namespace platform {

std::optional<BluetoothUuid> getUUIDForServiceRecord(const SdpServiceRecord& record)
{
    for (const SdpElement& value : record.attributes) {
        if (value.type == SdpElement::Uuid)
            return value.uuidValue();
        if (value.type != SdpElement::Sequence && value.type != SdpElement::Alternative)
            continue;
        for (const SdpElement& element : value.elements) {
            if (element.type == SdpElement::Uuid)
                return element.uuidValue();
        }
    }
    return std::nullopt;
}

std::shared_ptr<BluetoothDevice> btDeviceForAddress(const QString& address)
{
    if (address.isEmpty())
        return nullptr;
    return BluetoothStack::shared().deviceWithAddressString(address);
}

quint8 channelForServiceUuid(const BluetoothDevice& device, const BluetoothUuid& uuid)
{
    const std::optional<SdpServiceRecord> record = device.serviceRecordForUuid(uuid);
    if (!record)
        return kNoRfcommChannel;
    return record->rfcommChannelID().value_or(kNoRfcommChannel);
}

namespace {
quint8 channel16(const BluetoothDevice& device, quint16 uuid)
{
    return channelForServiceUuid(device, BluetoothUuid::uuid16(uuid));
}

quint8 orSerialPort(const BluetoothDevice& device, quint8 channel)
{
    return channel == kNoRfcommChannel ? serialPortChannel(device) : channel;
}
} // namespace

quint8 serialPortChannel(const BluetoothDevice& device)
{
    return channel16(device, kSerialPortUuid);
}

quint8 dunChannel(const BluetoothDevice& device)
{
    return orSerialPort(device, channel16(device, kDialupNetworkingUuid));
}

quint8 irmcChannel(const BluetoothDevice& device)
{
    return channel16(device, kIrMCSyncUuid);
}

quint8 obexObjectPushChannel(const BluetoothDevice& device)
{
    return channel16(device, kObexObjectPushUuid);
}

quint8 obexFTPChannel(const BluetoothDevice& device)
{
    return channel16(device, kObexFileTransferUuid);
}

quint8 channelWithUUID(const BluetoothDevice& device, quint16 uuid)
{
    return orSerialPort(device, channel16(device, uuid));
}

quint8 nokiaPCSuiteChannel(const BluetoothDevice& device)
{
    return channelForServiceUuid(device, BluetoothUuid::fromString(QLatin1String(kPCSuiteServiceUuid)));
}

quint8 syncMLChannel(const BluetoothDevice& device)
{
    return channelForServiceUuid(device, BluetoothUuid::fromString(QLatin1String(kSyncMLClientUuid)));
}

quint8 pcSuiteOrFTPChannel(const BluetoothDevice& device)
{
    const quint8 channel = nokiaPCSuiteChannel(device);
    return channel == kNoRfcommChannel ? obexFTPChannel(device) : channel;
}

quint8 nokiaPCSuiteChannelOrPCSuiteSerial(const BluetoothDevice& device)
{
    const quint8 channel = nokiaPCSuiteChannel(device);
    if (channel != kNoRfcommChannel)
        return channel;
    const QString serialPort = BluetoothUuid::uuid16(kSerialPortUuid).description();
    for (const SdpServiceRecord& record : device.services()) {
        if (record.serviceName() != QLatin1String(kNokiaPCSuiteServiceName))
            continue;
        const std::optional<BluetoothUuid> first = getUUIDForServiceRecord(record);
        if (!first || first->description() != serialPort)
            continue;
        if (const std::optional<quint8> id = record.rfcommChannelID())
            return *id;
    }
    return kNoRfcommChannel;
}

int performSDPQuery(BluetoothDevice& device)
{
    return device.performSdpQuery();
}

} // namespace platform
