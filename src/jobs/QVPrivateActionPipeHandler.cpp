#include "jobs/QVPrivateActionPipeHandler.h"

#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"

#include "platform/Clock.h"

QVPrivateActionPipeHandler::QVPrivateActionPipeHandler()
{
    initTheActionPipeHandler();
    _tickToken = platform::NotificationCenter::defaultCenter().addObserver(
        this, jobnames::kPrivateActionPipeCheckFire, nullptr,
        [this](const platform::Notification& notification) { privateActionPipeCheckFire(notification); });
}

QVPrivateActionPipeHandler::~QVPrivateActionPipeHandler()
{
    platform::NotificationCenter::defaultCenter().removeObserver(_tickToken);
}

void QVPrivateActionPipeHandler::privateActionPipeCheckFireTimer()
{
    platform::NotificationCenter::defaultCenter().post(jobnames::kPrivateActionPipeCheckFire);
}

void QVPrivateActionPipeHandler::initTheActionPipeHandler()
{
    // Created on first use and never stopped: it lives as long as the process.
    static platform::Timer* sPrivateActionPipeCheckFire = nullptr;
    if (sPrivateActionPipeCheckFire)
        return;
    sPrivateActionPipeCheckFire = new platform::Timer(&QVPrivateActionPipeHandler::privateActionPipeCheckFireTimer);
    sPrivateActionPipeCheckFire->start(jobdelay::kSharedTick, true);
}

void QVPrivateActionPipeHandler::privateActionPipeCheckFire(const platform::Notification&)
{
    actionPipeIdle();
}

void QVPrivateActionPipeHandler::actionPipeIdle() {}
