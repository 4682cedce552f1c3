#pragma once

#include "phonejobs/ActionDeviceCallback.h"

#include "platform/Clock.h"

// Holds one pipe: at the head of its pipe (priority 0, so that the running
// job suspends when it can) it closes every open connection of the pipe's
// group, its own type's included, and then runs until its deadline or until
// it is cancelled, ending with 0 either way.
class ActionBreakPipe : public ActionDeviceCallback {
public:
    // timeOut in seconds; 0 or less: until cancelled.
    ActionBreakPipe(const QString& type, double timeOut);
    ~ActionBreakPipe() override;
    static std::shared_ptr<ActionBreakPipe> allocActionBreakPipe(const QString& type, double timeOut);

    bool isSameActionType(const QString& type) const override;
    QString actionType() const override { return _serviceName; }
    int startAction() override;
    void actionBreakPipeTimer();
    void endAction(int code) override;

    // The deadline on the Clock's scale once started, or -1.0 for none.
    double deadline() const { return _timeOut; }

private:
    double _timeOut;
    platform::Timer _breakeTimer;
    QString _serviceName;
};
