#include "phonejobs/SyncContainerMakers.h"

#include "jobs/QVActionMachine.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phonejobs/BackUpContainer.h"
#include "phonejobs/GroupActionBackupPhone.h"
#include "phonejobs/GroupContainerSyncPhone.h"
#include "phonejobs/SyncContainerNames.h"

namespace containerjobs {

namespace {

std::shared_ptr<QVActionMachine> machineOfManager(DZDataManager& manager)
{
    MFDevice* device = manager.getMFDevice();
    QVActionMachine* machine = device ? device->actionMachine() : nullptr;
    return machine ? machine->shared_from_this() : nullptr;
}

// The container when it started, else none.
std::shared_ptr<QVActionContainer> startedContainer(const std::shared_ptr<QVActionContainer>& container)
{
    return container && container->doStartContainer() ? container : nullptr;
}

} // namespace

void installContainers(DZFileJobMakers& makers)
{
    makers.backupFiles = [](DZDataManager&, int priority) -> DZFileJobMakers::Job {
        auto group = std::make_shared<GroupActionBackupPhone>(nullptr, QVariant());
        group->setPriority(priority);
        return group;
    };
    makers.syncContainer = [](DZDataManager& manager, int priority) -> std::shared_ptr<QVActionContainer> {
        return GroupContainerSyncPhone::initQVActionContainer(machineOfManager(manager), priority);
    };
    makers.startBackup = [](DZDataManager& manager) -> std::shared_ptr<QVActionContainer> {
        auto container = QVActionContainer::allocQVActionContainer<BackUpContainer>(machineOfManager(manager));
        if (!container)
            return nullptr;
        container->addOrganizerBackupActionsWithPriority(containernames::kContainerPriority);
        container->addActionToContainer(manager.actionToBackupMobileWithPriority(containernames::kContainerPriority));
        return startedContainer(container);
    };
    makers.startSync = [](DZDataManager& manager) -> std::shared_ptr<QVActionContainer> {
        return startedContainer(manager.containerToSyncMobileWithPriority(containernames::kContainerPriority));
    };
    makers.startSyncRemote = [](DZDataManager& manager) -> std::shared_ptr<QVActionContainer> {
        return startedContainer(GroupContainerSyncPhone::initQVActionContainerWithoutPreprocessing(
            machineOfManager(manager), containernames::kRemoteSyncPriority));
    };
}

} // namespace containerjobs
