#pragma once

#include "usbdevice/DZDeviceProperties.h"
#include "platform/UsbRegistry.h"

#include <QList>
#include <QSet>
#include <QVariantMap>
#include <optional>

struct termios;

// Serial numbers are kept as ten characters: a null string and one of exactly
// ten stay as they are, shorter ones get leading zeros, longer ones keep their
// last ten characters.
QString tenDigitSerNo(const QString& serial);

// Orders two scan dictionaries by "locationID"; a missing location compares as
// equal to anything. Answers <0, 0 or >0.
int sortLocation(const QVariantMap& a, const QVariantMap& b);

// Finds the phones on the USB bus: modem phones (a CDC data interface on a
// device with a serial tty) and storage phones (a mass-storage interface on a
// device with at least one mounted volume), one dictionary per phone.
class DZUSBDeviceIdentifier {
public:
    static constexpr int kMaxUSBSerialLength = 15;

    DZUSBDeviceIdentifier() : DZUSBDeviceIdentifier(true, true) {}
    DZUSBDeviceIdentifier(bool storageDevices, bool modemDevices);
    virtual ~DZUSBDeviceIdentifier();
    DZUSBDeviceIdentifier(const DZUSBDeviceIdentifier&) = delete;
    DZUSBDeviceIdentifier& operator=(const DZUSBDeviceIdentifier&) = delete;

    // The registry scanned; the shared one unless set.
    void setRegistry(platform::UsbRegistry* registry) { _registry = registry; }

    // The scan: one mutable dictionary per phone, nullopt when the registry
    // cannot be reached.
    std::optional<QList<QVariantMap>> getUSBDevices();

    // Whether the device was already described during the current scan.
    bool parentServed(const platform::UsbDevice& device) const;
    static bool isInReturnUSBList(const QList<QVariantMap>& list, qint64 locationNumber);
    virtual bool isValidDevice(const DZDeviceProperties* properties);
    // Hook for interface classes other than modem and storage; none here.
    virtual std::optional<DZDeviceProperties> customDeviceScanner(const platform::UsbInterface& intf,
                                                                  int intfClass);
    // Strips "locationID" from the answer of a scan.
    virtual void removeLocationsID(QList<QVariantMap>& list);

    // The serial side (DZUSBDeviceIdentifierSerialExt.cpp).
    //
    // Opens a modem tty for exclusive use (TIOCEXCL and an advisory flock,
    // which root cannot bypass), saves its settings into *originalTTYAttrs and
    // makes it raw, 19200 baud, 8 bits with even parity and hardware flow
    // control, VMIN 1 / VTIME 10. Answers the descriptor (non-blocking), or -1
    // with one line on the standard output saying what failed. On a
    // pseudo-terminal, which has no modem lines, failures of the DTR and
    // handshake-line calls are reported and ignored.
    static int myOpenSerialPort(const QString& path, struct termios* originalTTYAttrs);
    // The settings a modem tty is given: the original ones made raw, with the
    // speed, framing and timing above.
    static struct termios modemSettings(const struct termios& original);
    // Waits (bounded) for the output to drain, restores the saved settings and
    // closes. Answers whether the descriptor was closed without error; it is
    // gone either way. A descriptor of -1 is not touched.
    static bool myCloseSerialPort(int fileDescriptor, const struct termios& originalTTYAttrs);
    // Writes all bytes to a non-blocking descriptor, waiting while its output
    // queue is full; false when a write fails or the phone takes nothing for
    // two seconds.
    static bool writeFully(int fileDescriptor, const char* bytes, qsizetype length);
    // Whether the descriptor is the slave side of a pseudo-terminal.
    static bool isPseudoTerminal(int fileDescriptor);
    // Reads an answer in steps of up to 128 bytes, each after 10 ms; the 7th
    // empty read in a row ends it, as does a step that would pass 2048 bytes.
    static QByteArray readBuffer(int fileDescriptor);
    // The phone's serial number asked with AT+CGSN; null on any failure.
    static QString getSerilCmdString(int fileDescriptor);

    std::optional<DZDeviceProperties> getUSBInterfacePropsDict(const platform::UsbInterface& intf);
    std::optional<DZDeviceProperties> getNextStorageDeviceProperties(const platform::UsbInterface& intf);
    std::optional<DZDeviceProperties> getNextUSBModemDeviceProperties(const platform::UsbInterface& intf);
    // {"bsdName", "mountPoint"} of a mounted volume; nullopt when not mounted.
    static std::optional<QVariantMap> getMountPoint(const platform::UsbVolume& volume);
    // The device's serial number, cut to 15 characters; null when none.
    static QString getUSBSerialNumber(const platform::UsbDevice& device);

    // Sorted by location; a dictionary at the location of the one kept before
    // it is dropped.
    static QList<QVariantMap> arraySortedAndPrunedWith(const QList<QVariantMap>& list);
    void iterateinterfaces(QList<QVariantMap>& collected, QList<QVariantMap>& retDevices);

protected:
    bool storageDevices() const { return _storageDevices; }
    bool modemDevices() const { return _modemDevices; }

private:
    platform::UsbRegistry& registry() const;

    QSet<const platform::UsbDevice*> _parentsServed;
    platform::UsbRegistry* _registry = nullptr;
    bool _storageDevices;
    bool _modemDevices;
};
