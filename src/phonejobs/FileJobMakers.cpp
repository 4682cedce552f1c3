#include "phonejobs/FileJobMakers.h"

#include "phone/DZDataGUINotificator.h"
#include "phone/DZDataManager.h"
#include "phonejobs/ActionCopyFileFolder.h"
#include "phonejobs/ActionDeleteFileFolder.h"
#include "phonejobs/ActionGetDirectoryContent.h"
#include "phonejobs/ActionMakeFolder.h"
#include "phonejobs/ActionOrganizerKitServicesMakers.h"
#include "phonejobs/ActionSamsungServicesMakers.h"
#include "phonejobs/ActionSyncMLServicesMakers.h"
#include "phonejobs/GroupActionCopyFolderToMac.h"
#include "phonejobs/GroupActionCopyFolderToMobile.h"
#include "phonejobs/GroupActionDeleteFolder.h"
#include "phonejobs/GroupActionMakeFolders.h"
#include "phonejobs/GroupActionUpdateDirectoryTree.h"
#include "phonejobs/SyncContainerMakers.h"

namespace filejobs {

DZFileJobMakers makers()
{
    DZFileJobMakers made;
    made.listFolder = [](const QString& path, DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return ActionGetDirectoryContent::actionWithPath(path, std::move(notify));
    };
    made.makeFolder = [](const QString& path, DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return ActionMakeFolder::actionWithPathMakeFolder(path, std::move(notify));
    };
    made.deleteEntry = [](const QString& path, DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return ActionDeleteFileFolder::actionWithPathDeleteFileFolder(path, std::move(notify));
    };
    made.copyToMac = [](const QString& phoneFile, const QString& macFolder, qint64 size, bool overwrite,
                        DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return ActionCopyFileFolder::actionFromMobileToMac(phoneFile, macFolder, size, overwrite, std::move(notify));
    };
    made.copyToMobile = [](const QString& macFile, const QString& phoneFolder, qint64 size, bool overwrite,
                           DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return ActionCopyFileFolder::actionFromMacToMobile(macFile, phoneFolder, size, overwrite, std::move(notify));
    };
    made.updateTree = [](const QString& path, bool force, DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return GroupActionUpdateDirectoryTree::updateDirectory(path, force, std::move(notify));
    };
    made.copyFolderToMac = [](const QString& source, const QString& macFolder, bool overwrite,
                              DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return GroupActionCopyFolderToMac::copyMobileDirectory(source, macFolder, overwrite, std::move(notify));
    };
    made.copyFolderToMobile = [](const QString& macFolder, const QString& phoneFolder,
                                 DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return GroupActionCopyFolderToMobile::actionWithSource(macFolder, phoneFolder, std::move(notify));
    };
    made.deleteFolder = [](const QString& path, DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return GroupActionDeleteFolder::actionWithPath(path, std::move(notify));
    };
    made.makeFolders = [](const QStringList& paths, DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
        return GroupActionMakeFolders::makeFoldersActionWithDirectories(paths, std::move(notify));
    };
    made.sequence = [](const QList<DZFileJobMakers::Job>& jobs) -> DZFileJobMakers::Job {
        auto group = std::make_shared<GroupActionFTPServices>(nullptr, QVariant());
        group->setEndOnSubActionError(true);
        for (const auto& job : jobs)
            group->addGroupAction(job);
        return group;
    };
    samsungjobs::installOrganizerJobs(made);
    kitjobs::installOrganizerJobs(made);
    containerjobs::installContainers(made);
    // Asked first: a type the phone syncs over SyncML.
    syncmljobs::installOrganizerJobs(made);
    return made;
}

void install(MFDevice::Makers& deviceMakers)
{
    deviceMakers.dataManager = [](MFDevice& device) -> std::unique_ptr<DeviceDataManager> {
        return std::make_unique<DZDataManager>(device, makers());
    };
    deviceMakers.guiNotificator = [](DeviceDataManager& manager) -> std::unique_ptr<DeviceGUINotificator> {
        auto* tree = dynamic_cast<DZDataManager*>(&manager);
        return tree ? std::make_unique<DZDataGUINotificator>(*tree) : nullptr;
    };
    deviceMakers.directoryListing = [](MFDevice&, const QString& path,
                                       std::shared_ptr<QVDeviceCallback> callback) -> std::shared_ptr<QVAction> {
        auto job = ActionGetDirectoryContent::actionWithPath(path, nullptr);
        job->setResultCallback(std::move(callback));
        return job;
    };
}

} // namespace filejobs
