#include "phonejobs/WaitForFoldersWithMinimumWaitingTimePreprocessor.h"

#include "jobs/JobCodes.h"

WaitForFoldersWithMinimumWaitingTimePreprocessor::WaitForFoldersWithMinimumWaitingTimePreprocessor(
    const QString& pathOnMobile, double minimumWaitingTime)
    : WaitForFoldersPreprocessor(pathOnMobile)
    , _startTime(platform::Clock::instance().now())
    , _minimumWaitingTime(minimumWaitingTime)
{
}

WaitForFoldersWithMinimumWaitingTimePreprocessor::~WaitForFoldersWithMinimumWaitingTimePreprocessor() = default;

std::shared_ptr<WaitForFoldersWithMinimumWaitingTimePreprocessor>
WaitForFoldersWithMinimumWaitingTimePreprocessor::preprocessorWithPath(const QString& pathOnMobile,
                                                                       double minimumWaitingTime)
{
    if (pathOnMobile.isEmpty())
        return nullptr;
    return std::make_shared<WaitForFoldersWithMinimumWaitingTimePreprocessor>(pathOnMobile, minimumWaitingTime);
}

bool WaitForFoldersWithMinimumWaitingTimePreprocessor::shouldWaitMore() const
{
    const double now = platform::Clock::instance().now();
    if (now - _startTime < _minimumWaitingTime)
        return true;
    return _endTime && now - *_endTime < _waitTimeAfterFinish;
}

void WaitForFoldersWithMinimumWaitingTimePreprocessor::endWithStatus(int status)
{
    if (status == jobcodes::kCancelled) {
        WaitForFoldersPreprocessor::endWithStatus(status);
        return;
    }
    // The listing is settled: the status is kept for the end of the waiting time.
    if (!didFinishDirectoryUpdate()) {
        _finishStatus = status;
        _endTime = platform::Clock::instance().now();
    }
}

bool WaitForFoldersWithMinimumWaitingTimePreprocessor::wasCancelled()
{
    return !preprocessed(-1.0f);
}

void WaitForFoldersWithMinimumWaitingTimePreprocessor::waitForFoldersPreprocessorIdle()
{
    if (!didFinishDirectoryUpdate()) {
        WaitForFoldersPreprocessor::waitForFoldersPreprocessorIdle();
        return;
    }
    auto keepJob = _parentAction;
    if (dropEndedJob())
        return;
    if (wasCancelled()) {
        WaitForFoldersPreprocessor::endWithStatus(jobcodes::kCancelled);
        return;
    }
    if (shouldWaitMore())
        return;
    WaitForFoldersPreprocessor::endWithStatus(_finishStatus);
}
