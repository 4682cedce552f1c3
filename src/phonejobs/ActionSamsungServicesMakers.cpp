#include "phonejobs/ActionSamsungServicesMakers.h"

#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phonejobs/ActionSamsungContactServices.h"
#include "phonejobs/ActionSamsungEventsServices.h"

namespace samsungjobs {

namespace {

enum class SamsungJobKind { Other, Contacts, Events };

SamsungJobKind samsungJobKindFor(DZDataManager& manager, int type)
{
    const MFDevice* device = manager.getMFDevice();
    if (!device || manager.doUseSyncMLForProperty(type) || !device->usesSamsungATConnections())
        return SamsungJobKind::Other;
    if (type == 0)
        return SamsungJobKind::Contacts;
    if (type == 1 || type == 5 || type == 6)
        return SamsungJobKind::Events;
    return SamsungJobKind::Other;
}

} // namespace

void installOrganizerJobs(DZFileJobMakers& makers)
{
    auto earlierJob = makers.organizerJob;
    auto earlierDescription = makers.organizerDescription;
    makers.organizerJob = [earlierJob](DZDataManager& manager, int type, int priority, bool slowSync,
                                       DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        if (samsungJobKindFor(manager, type) == SamsungJobKind::Other)
            return earlierJob ? earlierJob(manager, type, priority, slowSync, std::move(notify)) : nullptr;
        auto job = ActionSamsungCommonServices::organizerJobForDevice(*manager.getMFDevice(), type, slowSync,
                                                                      std::move(notify));
        if (job)
            job->setPriority(priority);
        return job;
    };
    makers.organizerDescription = [earlierDescription](DZDataManager& manager, int type) -> QString {
        switch (samsungJobKindFor(manager, type)) {
        case SamsungJobKind::Other:
            return earlierDescription ? earlierDescription(manager, type) : QString();
        case SamsungJobKind::Contacts:
            return ActionSamsungContactServices::defaultDescription();
        case SamsungJobKind::Events:
            return ActionSamsungEventsServices::defaultDescription();
        }
        return {};
    };
}

} // namespace samsungjobs
