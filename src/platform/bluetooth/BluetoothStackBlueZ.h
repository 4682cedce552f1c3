#pragma once

#include "platform/bluetooth/BluetoothStack.h"

#include <QVariant>

namespace platform {

// The Bluetooth stack of the system: BlueZ through Qt Bluetooth (SDP with
// QBluetoothServiceDiscoveryAgent, RFCOMM with QBluetoothSocket), names and
// paired state from org.bluez over D-Bus. Without an adapter every open and
// query ends at once with kIOReturnNoDevice.
class BluetoothStackBlueZ : public BluetoothStack {
public:
    BluetoothStackBlueZ();
    ~BluetoothStackBlueZ() override;

    bool hasAdapter() const override;

    // A record as Qt Bluetooth hands it over (attribute id to value:
    // integers, QBluetoothUuid, QString, bool, QUrl, sequences (also as
    // QVariantList) and
    // alternatives); values of other types are left out.
    static SdpServiceRecord recordFromAttributes(const QMap<quint16, QVariant>& attributes);
    static std::optional<SdpElement> elementFromVariant(const QVariant& value, int depth = 0);
    // The status of a failed RFCOMM connect: kPageTimeout when the phone did
    // not answer, else an I/O status value.
    static int statusForSocketError(int socketError, const QString& errorText);

protected:
    std::shared_ptr<BluetoothDevice> makeDevice(const BluetoothAddress& address) override;

private:
    class Device;
    class Channel;
};

} // namespace platform
