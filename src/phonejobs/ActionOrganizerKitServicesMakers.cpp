#include "phonejobs/ActionOrganizerKitServicesMakers.h"

#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phonejobs/ActionLGContactServices.h"
#include "phonejobs/ActionLGEventsServices.h"
#include "phonejobs/ActionMotoContactServices.h"
#include "phonejobs/ActionMotoEventsServices.h"
#include "phonejobs/ActionSMSKitRead.h"

namespace kitjobs {

namespace {

enum class KitJobKind { None, Other, MotoContacts, LGContacts, MotoEvents, LGEvents, SMSRead };

// Families tested in order, a later match replacing an earlier one.
KitJobKind kitJobKindFor(DZDataManager& manager, int type)
{
    MFDevice* device = manager.getMFDevice();
    if (!device || manager.doUseSyncMLForProperty(type))
        return KitJobKind::Other;
    const int kind = type == 5 || type == 6 ? 1 : type;
    KitJobKind chosen = KitJobKind::None;
    if (kind == 0 || kind == 1) {
        if (device->usesMotorolaATConnections())
            chosen = kind == 0 ? KitJobKind::MotoContacts : KitJobKind::MotoEvents;
        if (device->usesSamsungATConnections())
            chosen = KitJobKind::Other;
        if (device->usesLGATConnections())
            chosen = kind == 0 ? KitJobKind::LGContacts : KitJobKind::LGEvents;
    } else if (kind == 4) {
        chosen = device->usesDUNForSMS() ? KitJobKind::SMSRead : KitJobKind::Other;
    } else {
        chosen = KitJobKind::Other;
    }
    return chosen;
}

} // namespace

void installOrganizerJobs(DZFileJobMakers& makers)
{
    auto earlierJob = makers.organizerJob;
    auto earlierDescription = makers.organizerDescription;
    makers.organizerJob = [earlierJob](DZDataManager& manager, int type, int priority, bool slowSync,
                                       DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        DZFileJobMakers::Job job;
        switch (kitJobKindFor(manager, type)) {
        case KitJobKind::None:
            return nullptr;
        case KitJobKind::Other:
            return earlierJob ? earlierJob(manager, type, priority, slowSync, std::move(notify)) : nullptr;
        case KitJobKind::MotoContacts:
            job = ActionMotoContactServices::initActionMotoContactServices(std::move(notify), slowSync, QVariant(),
                                                                           false);
            break;
        case KitJobKind::LGContacts:
            job = ActionLGContactServices::initActionLGContactServices(std::move(notify), slowSync, QVariant(), false);
            break;
        case KitJobKind::MotoEvents:
            // The kit reads to-do lists of LG phones only: asked for a
            // Motorola phone's tasks it answers nothing, and the job would
            // end without syncing the calendar at all. The calendar is
            // synced on its own whatever the description says of tasks.
            job = ActionMotoEventsServices::initActionMotoEventsServices(std::move(notify), slowSync, QVariant(),
                                                                         false, false);
            break;
        case KitJobKind::LGEvents:
            job = ActionLGEventsServices::initActionLGEventsServices(std::move(notify), slowSync, QVariant(), false);
            break;
        case KitJobKind::SMSRead:
            job = ActionSMSKitRead::initActionSMSKitRead(std::move(notify), QVariant());
            break;
        }
        if (job)
            job->setPriority(priority);
        return job;
    };
    makers.organizerDescription = [earlierDescription](DZDataManager& manager, int type) -> QString {
        switch (kitJobKindFor(manager, type)) {
        case KitJobKind::None:
            return {};
        case KitJobKind::Other:
            return earlierDescription ? earlierDescription(manager, type) : QString();
        case KitJobKind::MotoContacts:
            return ActionMotoContactServices::defaultDescription();
        case KitJobKind::LGContacts:
            return ActionLGContactServices::defaultDescription();
        case KitJobKind::MotoEvents:
            return ActionMotoEventsServices::defaultDescription();
        case KitJobKind::LGEvents:
            return ActionLGEventsServices::defaultDescription();
        case KitJobKind::SMSRead:
            return ActionSMSKitRead::defaultDescription();
        }
        return {};
    };
}

} // namespace kitjobs
