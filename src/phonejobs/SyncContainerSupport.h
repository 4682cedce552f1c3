#pragma once

#include "jobs/JobCodes.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionContainer.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"

#include <QList>

#include <memory>

// What the sync and backup containers share: their member that runs, and
// the data manager of their device.
namespace containersupport {

inline std::shared_ptr<QVAction> runningMemberOf(const QList<std::shared_ptr<QVAction>>& members)
{
    for (const auto& member : members) {
        if (member->feedBackStatus() == feedbackstatus::kRunning)
            return member;
    }
    return nullptr;
}

inline DZDataManager* dataManagerOf(const QVActionContainer& container)
{
    MFDevice* device = container.getActionDevice();
    return device ? dynamic_cast<DZDataManager*>(device->dataManager()) : nullptr;
}

// The data manager's update job of an organizer type, marked
// execute-only-if-needed; none (logged) when no job reads the type.
std::shared_ptr<QVAction> organizerUpdateJob(DZDataManager& manager, int type, int priority);

} // namespace containersupport
