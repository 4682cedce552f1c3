#pragma once

#include "syncmodel/SyncDeviceLimits.h"

#include <memory>

class QVSyncDeviceDescription;

// The sync settings of a phone model, read from its QVSyncDeviceDescription.
class DeviceDescriptionLimits : public SyncDeviceLimits {
public:
    explicit DeviceDescriptionLimits(std::shared_ptr<QVSyncDeviceDescription> description);

    QString protocol() const override;
    long nonNilValueFromDescription(const QString& key) const override;
    bool firstLastCombi() const override;

    const std::shared_ptr<QVSyncDeviceDescription>& description() const { return m_description; }

    // The shared description of a protocol from the description server.
    static std::shared_ptr<SyncDeviceLimits> fromServer(const QString& protocol);

private:
    std::shared_ptr<QVSyncDeviceDescription> m_description;
};

// The whole description behind a limits object; null when it has none.
const QVSyncDeviceDescription* fullDescriptionOf(const std::shared_ptr<SyncDeviceLimits>& limits);
