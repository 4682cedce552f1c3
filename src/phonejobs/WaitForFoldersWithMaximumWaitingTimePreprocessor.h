#pragma once

#include "phonejobs/WaitForFoldersPreprocessor.h"

// A folder wait that holds its job for the full maximum time from its start
// (reporting the seconds left as its progress) unless the listing check
// fails, the path is a file, the job is cancelled or the user switches the
// sync engine off.
class WaitForFoldersWithMaximumWaitingTimePreprocessor : public WaitForFoldersPreprocessor {
public:
    WaitForFoldersWithMaximumWaitingTimePreprocessor(const QString& pathOnMobile, double maximumWaitingTime);

    // None for an empty path.
    static std::shared_ptr<WaitForFoldersWithMaximumWaitingTimePreprocessor>
    preprocessorWithPath(const QString& pathOnMobile, double maximumWaitingTime);

    int startPreprocess() override;
    // Reports the seconds left instead of the given value.
    bool preprocessed(float percent) override;
    int pathIsUpToDate(const std::shared_ptr<DZDirectoryEntry>& entry) override;
    void syncManagerSwitchedOff() override;

    double stopTime() const { return _stopTime; }

private:
    double _startTime = 0;
    // The maximum waiting time until the start, then the absolute end time.
    double _stopTime = 0;
};
