#include "device/MainThreadSchedulerAdditions.h"

#include "device/MainThreadScheduler.h"

#include "platform/RunLoop.h"

#include <QString>

namespace {
constexpr const char* kPostScheduleAction = "postSchedule:";
}

void scheduleSelectorOnMainThread(const void* target, std::function<void()> call)
{
    postSchedule(target, std::move(call));
}

void scheduleDelayedSelector(const void* target, double delay, std::function<void()> call)
{
    platform::runloop::performAfterDelay(target, QString::fromLatin1(kPostScheduleAction), delay,
                                         [target, call = std::move(call)]() mutable { postSchedule(target, std::move(call)); });
}

void postSchedule(const void* target, std::function<void()> call)
{
    auto invocation = std::make_shared<MainThreadScheduler::Invocation>();
    invocation->target = target;
    invocation->call = std::move(call);
    MainThreadScheduler::sharedMainThreadScheduler().addScheduleSelector(std::move(invocation));
}

void removeAllScheduleds(const void* target)
{
    platform::runloop::cancelPreviousPerformRequests(target, QString::fromLatin1(kPostScheduleAction));
    MainThreadScheduler::sharedMainThreadScheduler().doRemoveAllScheduleds(target);
}

bool isScheduledThreadRunning()
{
    return MainThreadScheduler::sharedMainThreadScheduler().isScheduledThreadRunning();
}
