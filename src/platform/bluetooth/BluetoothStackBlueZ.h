#pragma once

#include "platform/bluetooth/BluetoothStack.h"

#include <QVariant>

#include <memory>

namespace platform {

class BlueZAgent;
class BlueZObjects;

// The Bluetooth stack of the system: BlueZ through Qt Bluetooth (SDP with
// QBluetoothServiceDiscoveryAgent, RFCOMM with QBluetoothSocket), names and
// paired state, class, power and discovery from org.bluez over D-Bus
// (asynchronous calls, read from a copy kept up to date by BlueZ's signals). Without an adapter every open and
// query ends at once with kIOReturnNoDevice.
class BluetoothStackBlueZ : public BluetoothStack {
public:
    BluetoothStackBlueZ();
    ~BluetoothStackBlueZ() override;

    bool hasAdapter() const override;
    std::optional<int> powerState() const override;
    QList<std::shared_ptr<BluetoothDevice>> pairedDevices() override;
    std::unique_ptr<BluetoothInquiry> makeInquiry() override;

    // The copy of BlueZ's objects (made on first use, on the system bus
    // unless one was given).
    BlueZObjects& objects() const;
    void setObjects(std::unique_ptr<BlueZObjects> objects);
    // The device object's path under the adapter.
    static QString devicePath(const QString& adapterPath, const BluetoothAddress& address);

    // A record as Qt Bluetooth hands it over (attribute id to value:
    // integers, QBluetoothUuid, QString, bool, QUrl, sequences (also as
    // QVariantList) and
    // alternatives); values of other types are left out.
    static SdpServiceRecord recordFromAttributes(const QMap<quint16, QVariant>& attributes);
    static std::optional<SdpElement> elementFromVariant(const QVariant& value, int depth = 0);
    // The status of a failed RFCOMM connect: kPageTimeout when the phone did
    // not answer, else an I/O status value.
    static int statusForSocketError(int socketError, const QString& errorText);
    // The status of a Device1.Pair that ended with the error name (empty:
    // paired).
    static int statusForPairingError(const QString& errorName);
    // The stack's agent on BlueZ's bus (made on first use, registered when a
    // pairing starts).
    BlueZAgent& agent();

protected:
    std::shared_ptr<BluetoothDevice> makeDevice(const BluetoothAddress& address) override;

private:
    class Device;
    class Channel;
    class Inquiry;
    mutable std::unique_ptr<BlueZObjects> _objects;
    std::unique_ptr<BlueZAgent> _agent;
};

} // namespace platform
