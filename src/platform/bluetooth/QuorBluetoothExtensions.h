#pragma once

#include "platform/bluetooth/BluetoothStack.h"

#include <QString>
#include <memory>
#include <optional>

// Which RFCOMM channel a phone offers for a service, read from the records
// of its last SDP query. The look-ups never query by themselves.
namespace platform {

// RFCOMM channel numbers are 8-bit; this one means "no channel".
inline constexpr quint8 kNoRfcommChannel = 255;

inline constexpr quint16 kSerialPortUuid = 0x1101;
inline constexpr quint16 kDialupNetworkingUuid = 0x1103;
inline constexpr quint16 kIrMCSyncUuid = 0x1104;
inline constexpr quint16 kObexObjectPushUuid = 0x1105;
inline constexpr quint16 kObexFileTransferUuid = 0x1106;
inline constexpr const char* kPCSuiteServiceUuid = "00005005-0000-1000-8000-0002EE000001";
inline constexpr const char* kSyncMLClientUuid = "00000002-0000-1000-8000-0002EE000002";
inline constexpr const char* kNokiaPCSuiteServiceName = "Nokia PC Suite";

// The first UUID among the record's attributes (in attribute order): an
// attribute of type UUID gives its value, a sequence or alternative the
// first UUID directly inside it; nullopt when none.
std::optional<BluetoothUuid> getUUIDForServiceRecord(const SdpServiceRecord& record);
// The device of the shared stack; nullptr for an empty or unparsable address.
std::shared_ptr<BluetoothDevice> btDeviceForAddress(const QString& address);

// The channel of the record for uuid; kNoRfcommChannel without a record or
// a channel in it.
quint8 channelForServiceUuid(const BluetoothDevice& device, const BluetoothUuid& uuid);

quint8 serialPortChannel(const BluetoothDevice& device);
// Dial-up Networking, else the Serial Port channel.
quint8 dunChannel(const BluetoothDevice& device);
quint8 irmcChannel(const BluetoothDevice& device);
quint8 obexObjectPushChannel(const BluetoothDevice& device);
quint8 obexFTPChannel(const BluetoothDevice& device);
// The given 16-bit service, else the Serial Port channel.
quint8 channelWithUUID(const BluetoothDevice& device, quint16 uuid);
quint8 nokiaPCSuiteChannel(const BluetoothDevice& device);
quint8 syncMLChannel(const BluetoothDevice& device);
// The PC-suite service, else OBEX File Transfer.
quint8 pcSuiteOrFTPChannel(const BluetoothDevice& device);
// The PC-suite service, else the first record named "Nokia PC Suite" whose
// first UUID is the Serial Port one and that has a channel.
quint8 nokiaPCSuiteChannelOrPCSuiteSerial(const BluetoothDevice& device);
// Starts an SDP query of the device with nobody to tell; 0 when started.
int performSDPQuery(BluetoothDevice& device);

} // namespace platform
