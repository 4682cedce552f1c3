#include "phonejobs/BackUpContainer.h"

#include "device/MFDeviceInfo.h"
#include "platform/Localization.h"
#include "phonejobs/GroupActionBackupPhone.h"
#include "phonejobs/SyncContainerNames.h"
#include "phonejobs/SyncContainerSupport.h"
#include "phonejobs/WaitForFoldersWithMinimumWaitingTimePreprocessor.h"

#include <iterator>

BackUpContainer::BackUpContainer() = default;

BackUpContainer::BackUpContainer(std::shared_ptr<QVActionMachine> actionMachine)
    : QVActionContainer(std::move(actionMachine))
    , _errorDescriptions(std::make_shared<QStringList>())
{
}

BackUpContainer::~BackUpContainer() = default;

QString BackUpContainer::displayString() const
{
    if (isPreparing())
        return platform::localizedString(containernames::kBackingUpPrepare);
    auto running = containersupport::runningMemberOf(_actionContainer);
    return running ? running->displayString() : containernames::kNoRunningJob;
}

QString BackUpContainer::displaySubString() const
{
    auto running = isPreparing() ? nullptr : containersupport::runningMemberOf(_actionContainer);
    return running ? running->displaySubString() : QStringLiteral(" ");
}

QStringList BackUpContainer::errorFileDescriptions() const
{
    return _errorDescriptions ? *_errorDescriptions : QStringList();
}

bool BackUpContainer::addActionToContainer(const std::shared_ptr<QVAction>& action)
{
    if (!QVActionContainer::addActionToContainer(action))
        return false;
    if (auto files = std::dynamic_pointer_cast<GroupActionBackupPhone>(action))
        files->setErrorDescriptions(_errorDescriptions);
    return true;
}

bool BackUpContainer::wantsToBackupOrganizerType(int type) const
{
    MFDevice* device = getActionDevice();
    if (!device)
        return false;
    if (device->wantsToUseSyncEngineAtAll() && device->wantsToUseSyncEngineForProperty(type))
        return false;
    if (!device->canProcessDB(type))
        return false;
    return device->wantsToBackupOrganizerType(type);
}

bool BackUpContainer::addSyncAction(const std::shared_ptr<QVAction>& action)
{
    if (!action)
        return false;
    auto wait = WaitForFoldersWithMinimumWaitingTimePreprocessor::preprocessorWithPath(
        QStringLiteral("/"), containernames::kBackupMinimumWait);
    // A folder the phone would not list is missing from the backup: it is
    // named with the files that failed.
    wait->setUnlistedFolders(_errorDescriptions);
    action->setPreprocessAction(wait);
    return addActionToContainer(action);
}

void BackUpContainer::addOrganizerBackupActionIfNeccessaryOfType(int type, OrganizerJobs& jobs) const
{
    if (type < 0 || type >= int(std::size(containernames::kBackupTypeNames)) || !wantsToBackupOrganizerType(type))
        return;
    DZDataManager* manager = containersupport::dataManagerOf(*this);
    if (!manager)
        return;
    if (auto job = containersupport::organizerUpdateJob(*manager, type, containernames::kBackupOrganizerJobPriority))
        jobs.append({containernames::kBackupTypeNames[type], job});
}

BackUpContainer::OrganizerJobs BackUpContainer::organizerBackupActionsDict() const
{
    OrganizerJobs jobs;
    for (const int type : containernames::kOrganizerTypeOrder)
        addOrganizerBackupActionIfNeccessaryOfType(type, jobs);
    return jobs;
}

void BackUpContainer::addOrganizerBackupActionsWithPriority(int priority)
{
    OrganizerJobs jobs = organizerBackupActionsDict();
    MFDevice* device = getActionDevice();
    const QString lastView = device && device->devInfo()
                                 ? device->devInfo()->objectForKey(containernames::kLastOrganizerView).toString()
                                 : QString();
    if (!lastView.isEmpty()) {
        for (qsizetype i = 0; i < jobs.size(); ++i) {
            if (jobs.at(i).first != lastView)
                continue;
            const auto first = jobs.takeAt(i).second;
            first->setPriority(priority);
            addSyncAction(first);
            break;
        }
    }
    for (const auto& [name, job] : std::as_const(jobs)) {
        job->setPriority(priority);
        addSyncAction(job);
    }
}

bool BackUpContainer::cancelAction()
{
    auto keepAlive = shared_from_this();
    const auto members = _actionContainer;
    const bool all = QVActionContainer::cancelAction();
    WaitForFoldersPreprocessor::endWaitsOfCancelledJobs(members);
    return all;
}
