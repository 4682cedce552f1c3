#pragma once

#include "app/TarnexController.h"

class DeviceList;

// The main window's services as the program has them: the device-entry
// makers over the program's device list and device database; the other
// parts answer as missing until they are there.
class TarnexProgramServices : public TarnexControllerServices {
public:
    explicit TarnexProgramServices(DeviceList& list) : list_(list) {}
    std::optional<QVariantMap> makeQVDeviceDictionary(const QVariantMap& properties,
                                                      const std::shared_ptr<platform::BluetoothDevice>&) override;

private:
    DeviceList& list_;
};
