#include "phone/DZOrganizerUpdateNotificationReciever.h"

#include "foundation/NamedLog.h"
#include "jobs/QVAction.h"
#include "phone/DZDataManager.h"
#include "phone/DZJobTraits.h"
#include "phone/DZTreeNames.h"

void DZOrganizerUpdateNotificationReciever::notifyForJob(QVAction& job, bool didStart)
{
    auto* reading = dynamic_cast<DZSyncPropertyJob*>(&job);
    if (!reading) {
        QVLOG(qvlog::kXT, dztree::kNoSyncPropertyFormat.arg(job.description()));
        return;
    }
    if (!_manager)
        return;
    if (didStart)
        _manager->setStatusForOrganizerType(dztree::kUpdating, reading->syncProperty());
    else
        _manager->ifNeccessaryResetStatusForOrganizerType(reading->syncProperty());
}

bool DZOrganizerUpdateNotificationReciever::startAction(QVAction& action)
{
    notifyForJob(action, true);
    return true;
}

bool DZOrganizerUpdateNotificationReciever::processAction(QVAction& action, float percent)
{
    Q_UNUSED(action);
    Q_UNUSED(percent);
    return true;
}

void DZOrganizerUpdateNotificationReciever::endAction(QVAction& action, int err)
{
    Q_UNUSED(err);
    notifyForJob(action, false);
}
