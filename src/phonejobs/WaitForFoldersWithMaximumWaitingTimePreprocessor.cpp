#include "phonejobs/WaitForFoldersWithMaximumWaitingTimePreprocessor.h"

#include "jobs/JobCodes.h"
#include "phonejobs/SyncContainerNames.h"

WaitForFoldersWithMaximumWaitingTimePreprocessor::WaitForFoldersWithMaximumWaitingTimePreprocessor(
    const QString& pathOnMobile, double maximumWaitingTime)
    : WaitForFoldersPreprocessor(pathOnMobile)
    , _stopTime(maximumWaitingTime)
{
}

std::shared_ptr<WaitForFoldersWithMaximumWaitingTimePreprocessor>
WaitForFoldersWithMaximumWaitingTimePreprocessor::preprocessorWithPath(const QString& pathOnMobile,
                                                                       double maximumWaitingTime)
{
    if (pathOnMobile.isEmpty())
        return nullptr;
    return std::make_shared<WaitForFoldersWithMaximumWaitingTimePreprocessor>(pathOnMobile, maximumWaitingTime);
}

int WaitForFoldersWithMaximumWaitingTimePreprocessor::startPreprocess()
{
    _startTime = platform::Clock::instance().now();
    _stopTime = _startTime + _stopTime;
    return WaitForFoldersPreprocessor::startPreprocess();
}

bool WaitForFoldersWithMaximumWaitingTimePreprocessor::preprocessed(float)
{
    return WaitForFoldersPreprocessor::preprocessed(float(_stopTime - platform::Clock::instance().now()));
}

int WaitForFoldersWithMaximumWaitingTimePreprocessor::pathIsUpToDate(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    const int status = WaitForFoldersPreprocessor::pathIsUpToDate(entry);
    if (status != 0 && status != containernames::kStillListing)
        return status;
    return platform::Clock::instance().now() < _stopTime ? containernames::kStillListing : 0;
}

void WaitForFoldersWithMaximumWaitingTimePreprocessor::syncManagerSwitchedOff()
{
    // Hold the job: ending it may drop the last reference to this wait.
    auto keepJob = _parentAction;
    if (isWaiting() && !dropEndedJob())
        endWithStatus(jobcodes::kCancelled);
}
