#pragma once

#include <QString>
#include <array>
#include <optional>

namespace platform {

// A Bluetooth device address (six bytes, most significant first).
struct BluetoothAddress {
    std::array<quint8, 6> bytes {};

    // Reads "00:11:22:33:44:55", "00-11-22-33-44-55" or "001122334455"
    // (either case); nullopt for anything else.
    static std::optional<BluetoothAddress> fromString(const QString& text);
    // "00-11-22-33-44-55", lower case: the form the device dictionaries keep.
    QString toString() const;
    // "00:11:22:33:44:55", upper case: the form BlueZ and Qt use.
    QString toColonString() const;

    friend bool operator==(const BluetoothAddress&, const BluetoothAddress&) = default;
    friend auto operator<=>(const BluetoothAddress&, const BluetoothAddress&) = default;
};

} // namespace platform
