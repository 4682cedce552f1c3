#pragma once

#include "phonejobs/ActionDUNServices.h"

#include "platform/Clock.h"

// Reads the phone's charger state and charge level into the device. All
// battery checks are equal, so a second request merges into a queued one. The
// check cannot be suspended.
class ActionBatteryCheck : public ActionDUNServices {
public:
    ActionBatteryCheck(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionBatteryCheck() override;

    // Sends the battery query and looks for the answer 0.23 s later.
    int startAction() override;
    void pulseIdleTimer();
    bool canSuspend() const override { return false; }
    QString description() const override;
    // Stamps the device's last battery check.
    void endAction(int code) override;

private:
    platform::Timer _pulseTimer;
};
