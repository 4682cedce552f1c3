#pragma once

#include "jobs/QVActionNotify.h"

class DZDataManager;

// The requester of one organizer job: the job's organizer type is "being
// read" while it runs and falls back to "out of date" when it ends without
// the data manager having heard that the type was read.
class DZOrganizerUpdateNotificationReciever : public QVActionNotify {
public:
    explicit DZOrganizerUpdateNotificationReciever(DZDataManager* manager) : _manager(manager) {}

    void notifyForJob(QVAction& job, bool didStart);
    bool startAction(QVAction& action) override;
    bool processAction(QVAction& action, float percent) override;
    void endAction(QVAction& action, int err) override;

private:
    DZDataManager* _manager = nullptr;
};
