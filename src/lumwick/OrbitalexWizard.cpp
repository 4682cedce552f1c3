#include "lumwick/OrbitalexWizard.h"

#include "lumwick/LumwickLog.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStack.h"

#include <chrono>
#include <thread>

namespace lumwick {

namespace {

// A short blocking pause the radio needs between link operations. In
// virtual time (tests) it takes no time and fires nothing.
void pause(double seconds)
{
    if (!platform::Clock::instance().isVirtual())
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Authenticated opens that end with one of these leave the pairing intact.
constexpr int kPairingAccepted = 0;
constexpr int kPairingAcceptedBusy = 2;

QString hex(int status)
{
    return QString::number(uint(status), 16);
}

} // namespace

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
