#include "phonejobs/ActionSyncMLServicesMakers.h"

#include "phone/DZDataManager.h"
#include "phonejobs/ActionSyncMLServices.h"

namespace syncmljobs {

void installOrganizerJobs(DZFileJobMakers& makers)
{
    auto earlierJob = makers.organizerJob;
    auto earlierDescription = makers.organizerDescription;
    makers.organizerJob = [earlierJob](DZDataManager& manager, int type, int priority, bool slowSync,
                                       DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        if (!manager.doUseSyncMLForProperty(type))
            return earlierJob ? earlierJob(manager, type, priority, slowSync, std::move(notify)) : nullptr;
        auto job = ActionSyncMLServices::actionForProperty(type, slowSync, std::move(notify), QVariant(), false);
        job->setPriority(priority);
        return job;
    };
    makers.organizerDescription = [earlierDescription](DZDataManager& manager, int type) -> QString {
        if (!manager.doUseSyncMLForProperty(type))
            return earlierDescription ? earlierDescription(manager, type) : QString();
        return ActionSyncMLServices::defaultDescription(type);
    };
}

} // namespace syncmljobs
