#pragma once

#include <QString>

#include <functional>
#include <memory>

// What an item asks of its phone model's sync settings: the protocol family,
// the integer settings under "SyncML." keys and whether first and last name
// share one phone field. DeviceDescriptionLimits answers it from the model's
// QVSyncDeviceDescription; tests give their own.
class SyncDeviceLimits {
public:
    virtual ~SyncDeviceLimits() = default;

    virtual QString protocol() const = 0;
    // The integer value of a "SyncML." key, 0 when it is absent.
    virtual long nonNilValueFromDescription(const QString& key) const = 0;
    virtual bool firstLastCombi() const = 0;

    bool isLGProtocol() const;

    // The shared description of a protocol name (null for a null or empty
    // name or an unknown protocol), through the installed resolver.
    using Resolver = std::function<std::shared_ptr<SyncDeviceLimits>(const QString& protocol)>;
    static std::shared_ptr<SyncDeviceLimits> fromProtocol(const QString& protocol);
    // Installs a resolver; an empty one restores the device database's.
    static void setResolver(Resolver resolver);
};
