#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

// One block device below a USB device (a whole disk or a partition) and where
// it is mounted; mountPoint is empty when it is not mounted.
struct UsbVolume {
    QString bsdName;      // kernel name, "sdb1"
    QString mountPoint;   // "/media/user/PHONE"
};

// A USB device as the registry knows it. Everything below the device that a
// phone tool cares about is folded in: the serial device nodes of any of its
// interfaces and its block devices.
struct UsbDevice {
    QString location;       // bus path, "1-1.4"
    quint32 locationID = 0; // the bus path packed into a number (see packLocation)
    bool hasLocation = true;
    int vendorId = 0;
    int productId = 0;
    bool hasIds = true;
    QString vendorName;
    QString productName;
    QString serialNumber;   // empty when the device reports none
    QStringList ttyPaths;   // "/dev/ttyACM0", in interface order
    QList<UsbVolume> volumes;
};

// One interface of a USB device, with the device it belongs to.
struct UsbInterface {
    std::shared_ptr<const UsbDevice> device;
    int number = 0;
    int interfaceClass = 0;
    int interfaceSubClass = 0;
};

// The USB part of the system's device registry. A backend answers a snapshot
// of all USB interfaces; nullopt when the registry cannot be reached at all.
class UsbRegistry {
public:
    static constexpr int kClassCdcControl = 2;
    static constexpr int kClassMassStorage = 8;
    static constexpr int kClassCdcData = 10;

    virtual ~UsbRegistry();
    virtual std::optional<QList<UsbInterface>> interfaces() = 0;

    // The registry the program uses: the udev one unless a test installed
    // another. setShared(nullptr) returns to the udev registry.
    static UsbRegistry& shared();
    static void setShared(std::shared_ptr<UsbRegistry> registry);

    // Change events: a USB device came or went. Handlers are process-wide
    // (whichever registry is shared) and run on the main thread; the udev
    // registry watches the system from the first handler on.
    enum class Change { Added, Removed };
    using ChangeHandler = std::function<void(Change change, const QString& location)>;
    static int addChangeHandler(ChangeHandler handler);
    static void removeChangeHandler(int token);

    // Packs a bus path "B-P1.P2..." into one number: the bus in the top byte,
    // then one nibble per port (ports above 15 are cut to their low nibble).
    static quint32 packLocation(const QString& busPath);

protected:
    // Tells every handler; main thread only.
    static void postChange(Change change, const QString& location);
    static bool hasChangeHandlers();
    // Called when the first handler comes; the udev registry starts watching.
    virtual void startWatching() {}
};

} // namespace platform
