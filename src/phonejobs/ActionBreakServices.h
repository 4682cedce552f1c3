#pragma once

#include "jobs/QVActionContainer.h"

#include <memory>

// Pauses every pipe of the machine, closing their connections, until the
// time-out or until it is cancelled: one ActionBreakPipe per pipe. Shows no
// percentage.
class ActionBreakServices : public QVActionContainer {
public:
    // timeOut in seconds; 0 or less (the device window uses -1.0): until cancelled.
    ActionBreakServices(std::shared_ptr<QVActionMachine> actionMachine, double timeOut);
    ~ActionBreakServices() override;
    // Null without a machine.
    static std::shared_ptr<ActionBreakServices> allocActionBreakServices(
        const std::shared_ptr<QVActionMachine>& actionMachine, double timeOut);

    bool doStartContainer() override;
    float calcCurrentProzent() const override;
    QString displayString() const override;
    QString displaySubString() const override;

private:
    double _timeOut;
};
