#pragma once

#include "usbdevice/DZDeviceProperties.h"

#include <QString>

#include <memory>
#include <optional>

namespace platform {
class BluetoothDevice;
class SdpServiceRecord;
}

// What the wizard adds to a Bluetooth device of the platform layer: the
// pairing checks, pairing removal and a dependable close. These block their
// caller while they pause and run the main loop (up to a few seconds).
namespace lumwick {

// The device of the shared stack for an address; nullptr for one that does
// not parse.
std::shared_ptr<platform::BluetoothDevice> withNSStringAddress(const QString& address);
// Major class phone.
bool isPhone(const platform::BluetoothDevice& device);
// Major class computer, minor class handheld.
bool isComputerHandheld(const platform::BluetoothDevice& device);
// The service survey over the device's known records: serial port, dial-up,
// OBEX (object push and file transfer both) and the PC-suite service (by its
// UUID, else by its name, whose record is then kept). nullopt when none of
// the four is there: the phone is not offered. A record whose service class
// list is not a list of UUIDs counts for nothing.
std::optional<DZDeviceProperties> getBTDeviceProperties(const platform::BluetoothDevice& device);
// Whether a record's service class list names the 16-bit service.
bool recordOffers(const platform::SdpServiceRecord& record, quint16 uuid16);
// The name a row shows: the device's name with control characters as blanks,
// the address when it is empty.
QString displayName(const QString& name, const QString& address);

// Whether the stored pairing of a paired phone no longer works: an
// authenticated open that ends other than 0 or 2. NO for an unpaired phone,
// without opening a link.
bool hasBrokenPairing(platform::BluetoothDevice& device);
// Deletes the stored link key (closing the link first); a pairing that
// survives is logged.
void removePairing(platform::BluetoothDevice& device);
// Closes the baseband link, twice if need be; true when it is down. A link
// that was not up answers true at once.
bool reallyCloseConnection(platform::BluetoothDevice& device);

} // namespace lumwick
