#pragma once

#include "phonejobs/WaitForFoldersPreprocessor.h"

#include <optional>

// A folder wait that holds its job at least a minimum time from its creation
// and, once the listing is settled, a further pause; then it ends with the
// status the listing check found. A cancel ends it at once.
class WaitForFoldersWithMinimumWaitingTimePreprocessor : public WaitForFoldersPreprocessor {
public:
    WaitForFoldersWithMinimumWaitingTimePreprocessor(const QString& pathOnMobile, double minimumWaitingTime);
    ~WaitForFoldersWithMinimumWaitingTimePreprocessor() override;

    // None for an empty path.
    static std::shared_ptr<WaitForFoldersWithMinimumWaitingTimePreprocessor>
    preprocessorWithPath(const QString& pathOnMobile, double minimumWaitingTime);

    void setWaitingTimeAfterFinish(double seconds) { _waitTimeAfterFinish = seconds; }
    bool shouldWaitMore() const;
    bool didFinishDirectoryUpdate() const { return _endTime.has_value(); }
    void endWithStatus(int status) override;
    bool wasCancelled();
    void waitForFoldersPreprocessorIdle() override;

    double minimumWaitingTime() const { return _minimumWaitingTime; }
    double waitingTimeAfterFinish() const { return _waitTimeAfterFinish; }

private:
    double _startTime = 0;
    std::optional<double> _endTime;
    double _minimumWaitingTime = 0;
    double _waitTimeAfterFinish = 0;
    int _finishStatus = 0;
};
