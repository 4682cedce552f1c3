#include "phonejobs/GroupContainerSyncPhone.h"

#include "foundation/NamedLog.h"
#include "jobs/QVActionMachine.h"
#include "platform/Exception.h"
#include "platform/Localization.h"
#include "phonejobs/SyncContainerNames.h"
#include "phonejobs/SyncContainerSupport.h"
#include "phonejobs/WaitForFoldersWithMaximumWaitingTimePreprocessor.h"

#include <algorithm>
#include <cmath>

std::shared_ptr<QVAction> containersupport::organizerUpdateJob(DZDataManager& manager, int type, int priority)
{
    std::shared_ptr<QVAction> job;
    try {
        job = manager.actionToUpdateOrganizerDataOfType(type, priority, false);
    } catch (const platform::Exception& e) {
        QVLOG(qvlog::kXT, containernames::kNoOrganizerJobFormat.arg(type).arg(e.reason()));
        return nullptr;
    }
    if (job)
        job->setExecuteOnlyIfNeeded(true);
    return job;
}

GroupContainerSyncPhone::GroupContainerSyncPhone(std::shared_ptr<QVActionMachine> actionMachine)
    : QVActionContainer(std::move(actionMachine))
{
}

std::shared_ptr<GroupContainerSyncPhone>
GroupContainerSyncPhone::initQVActionContainer(std::shared_ptr<QVActionMachine> machine, int priority)
{
    auto container = allocQVActionContainer<GroupContainerSyncPhone>(machine);
    if (container)
        container->fill(priority, true);
    return container;
}

std::shared_ptr<GroupContainerSyncPhone>
GroupContainerSyncPhone::initQVActionContainerWithoutPreprocessing(std::shared_ptr<QVActionMachine> machine,
                                                                   int priority)
{
    auto container = allocQVActionContainer<GroupContainerSyncPhone>(machine);
    if (container)
        container->fill(priority, false);
    return container;
}

void GroupContainerSyncPhone::fill(int priority, bool withPreprocessor)
{
    _hasPreprocessor = withPreprocessor;
    for (const auto& job : organizerSyncActions()) {
        if (withPreprocessor)
            job->setPreprocessAction(WaitForFoldersWithMaximumWaitingTimePreprocessor::preprocessorWithPath(
                QStringLiteral("/"), containernames::kSyncWait));
        job->setPriority(priority);
        addActionToContainer(job);
    }
}

bool GroupContainerSyncPhone::wantsToSyncOrganizerType(int type) const
{
    MFDevice* device = getActionDevice();
    return device && device->canProcessDB(type) && device->wantsToUseSyncEngineAtAll()
           && device->wantsToUseSyncEngineForProperty(type);
}

void GroupContainerSyncPhone::addOrganizerSyncActionIfNeccessaryOfType(int type,
                                                                       QList<std::shared_ptr<QVAction>>& jobs) const
{
    if (!wantsToSyncOrganizerType(type))
        return;
    DZDataManager* manager = containersupport::dataManagerOf(*this);
    if (!manager)
        return;
    if (auto job = containersupport::organizerUpdateJob(*manager, type, containernames::kSyncJobPriority))
        jobs.append(job);
}

QList<std::shared_ptr<QVAction>> GroupContainerSyncPhone::organizerSyncActions() const
{
    QList<std::shared_ptr<QVAction>> jobs;
    for (const int type : containernames::kOrganizerTypeOrder)
        addOrganizerSyncActionIfNeccessaryOfType(type, jobs);
    return jobs;
}

bool GroupContainerSyncPhone::doStartContainer()
{
    _stopTime = platform::Clock::instance().now() + containernames::kSyncWait;
    return QVActionContainer::doStartContainer();
}

bool GroupContainerSyncPhone::cancelAction()
{
    auto keepAlive = shared_from_this();
    const auto members = _actionContainer;
    const bool all = QVActionContainer::cancelAction();
    WaitForFoldersPreprocessor::endWaitsOfCancelledJobs(members);
    return all;
}

QString GroupContainerSyncPhone::description() const
{
    return containernames::kGroupActionSyncPhone;
}

bool GroupContainerSyncPhone::isPreparing() const
{
    return _hasPreprocessor && feedBackStatus() == feedbackstatus::kParked;
}

QString GroupContainerSyncPhone::displayString() const
{
    if (isPreparing())
        return platform::localizedString(containernames::kSyncingPrepare);
    auto running = containersupport::runningMemberOf(_actionContainer);
    return running ? running->displayString() : containernames::kNoRunningJob;
}

QString GroupContainerSyncPhone::displaySubString() const
{
    if (isPreparing()) {
        const double left = std::max(0.0, _stopTime - platform::Clock::instance().now());
        return platform::localizedString(containernames::kSyncCountdown).arg(qint64(left));
    }
    auto running = containersupport::runningMemberOf(_actionContainer);
    return running ? running->displaySubString() : containernames::kNoRunningJob;
}

QString GroupContainerSyncPhone::statusMenueString() const
{
    auto running = containersupport::runningMemberOf(_actionContainer);
    return running ? running->statusMenueString() : QVActionContainer::statusMenueString();
}
