#pragma once

#include "app/MirrovanceDevice.h"

#include <memory>

// Holds a phone object and answers its open phone; the base of a copy
// machine that nothing makes.
class MirrovanceDeviceBase {
public:
    explicit MirrovanceDeviceBase(std::shared_ptr<MirrovanceDevice> device = nullptr) : device_(std::move(device)) {}
    const std::shared_ptr<MirrovanceDevice>& mirrovanceDevice() const { return device_; }
    std::shared_ptr<MFDevice> getMFDevice() const { return device_ ? device_->mfDevice() : nullptr; }

private:
    std::shared_ptr<MirrovanceDevice> device_;
};
