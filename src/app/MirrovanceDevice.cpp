#include "app/MirrovanceDevice.h"

#include "platform/UserDefaults.h"

MirrovanceDevice::MirrovanceDevice(AKPaneController* controller)
    : DeviceExpert(controller)
{
}

std::shared_ptr<MirrovanceDevice> MirrovanceDevice::withDeviceExpert(const DeviceExpert& expert)
{
    auto phone = std::make_shared<MirrovanceDevice>(expert.controller());
    phone->setProperties(expert.properties());
    phone->setDevice(expert.device());
    return phone;
}

void MirrovanceDevice::setDorvantiDict(const QVariantMap& entry, const QString& connType)
{
    dorvantiDict_ = entry;
    connType_ = connType;
}

bool MirrovanceDevice::isStressTestInProgress()
{
    return platform::UserDefaults::standard().boolValue(QLatin1String(kIsStressTest));
}

void MirrovanceDevice::releaseDorvantiStuff()
{
    mfDevice_.reset();
    setProperties(nullptr);
    setDevice(nullptr);
}
