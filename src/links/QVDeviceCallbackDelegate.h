#pragma once

class QVDeviceCallback;

// A second receiver of a job's progress and end, beside the sender.
class QVDeviceCallbackDelegate {
public:
    virtual ~QVDeviceCallbackDelegate() = default;
    // true asks the job to stop.
    virtual bool qvDeviceCallbackProgress(QVDeviceCallback& callback) = 0;
    virtual void qvDeviceCallbackFinished(QVDeviceCallback& callback) = 0;
};
