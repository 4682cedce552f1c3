#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

class MFDeviceLinkOwner;

namespace links {

// The transport description a connection registers its service with: over
// Bluetooth {"type": "Bluetooth", "channel": the phone's Dial-up Networking
// channel (else its Serial Port channel, else 255)} when the dictionary's
// "BT.BT_Address" names a usable device; over USB {"type": "USB-Serial",
// "channel": 0}. nullopt for anything else: nothing is registered.
std::optional<QVariantMap> registrationSpecification(const QString& connType, const QVariantMap& connectionDict);

// Registers name with the owner when a transport description can be made.
void registerWithOwner(MFDeviceLinkOwner& owner, const QString& name, const QVariantMap& connectionDict);

} // namespace links
