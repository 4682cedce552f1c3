#pragma once

#include <QString>

namespace platform {
class BluetoothDevice;
}

// What the wizard adds to a Bluetooth device of the platform layer: the
// pairing checks, pairing removal and a dependable close. These block their
// caller while they pause and run the main loop (up to a few seconds).
namespace lumwick {

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
