#pragma once

#include "platform/NotificationCenter.h"

// Base of every pipe: registers it for the shared tick, one repeating 34 s
// timer of the process that posts "PrivateActionPipeCheckFire"; every living
// pipe then re-examines its queue (actionPipeIdle).
class QVPrivateActionPipeHandler {
public:
    QVPrivateActionPipeHandler();
    virtual ~QVPrivateActionPipeHandler();
    QVPrivateActionPipeHandler(const QVPrivateActionPipeHandler&) = delete;
    QVPrivateActionPipeHandler& operator=(const QVPrivateActionPipeHandler&) = delete;

    // The shared tick's timer action: posts "PrivateActionPipeCheckFire".
    static void privateActionPipeCheckFireTimer();
    // Creates the shared tick unless it runs already.
    static void initTheActionPipeHandler();

    void privateActionPipeCheckFire(const platform::Notification& notification);
    virtual void actionPipeIdle();

private:
    platform::NotificationCenter::Token _tickToken = 0;
};
