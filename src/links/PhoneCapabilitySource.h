#pragma once

#include <memory>

class QVDeviceCallback;

// A connection that can read the phone's capability object (an XML text).
// The file-transfer connection and the push connections that can offer it
// implement this beside their own base.
class PhoneCapabilitySource {
public:
    virtual ~PhoneCapabilitySource() = default;
    // 0 when the read is under way: the callback then ends once with a
    // status and the object's bytes as its result. Otherwise nothing started.
    virtual int getCapabilities(const std::shared_ptr<QVDeviceCallback>& callback) = 0;
};
