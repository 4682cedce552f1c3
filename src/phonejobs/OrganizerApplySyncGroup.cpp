#include "phonejobs/OrganizerApplySyncGroup.h"

#include "phone/SyncEnvironment.h"
#include "platform/Localization.h"
#include "phonejobs/SyncContainerNames.h"
#include "phonejobs/SyncContainerSupport.h"
#include "phonejobs/WaitForFoldersPreprocessor.h"

namespace {

// "SyncMode" of the type's entry; a missing environment, entry or key is 0.
qlonglong applyGroupSyncMode(const QVariantMap* environment, const QString& typeName)
{
    if (!environment)
        return 0;
    return environment->value(typeName).toMap().value(containernames::kSyncMode).toLongLong();
}

} // namespace

OrganizerApplySyncGroup::OrganizerApplySyncGroup(std::shared_ptr<QVActionMachine> actionMachine)
    : QVActionContainer(std::move(actionMachine))
{
}

bool OrganizerApplySyncGroup::doStartContainer()
{
    MFDevice* device = getActionDevice();
    DZDataManager* manager = containersupport::dataManagerOf(*this);
    if (device && manager) {
        SyncEnvironment& environments = device->syncEnvironment();
        for (int type = 0; type <= 3; ++type) {
            if (!device->canProcessDB(type) || device->wasDatabaseSynced(type))
                continue;
            const QString name = device->dbName(type);
            const QVariantMap* work = environments.requestWorkSyncEnvironment();
            const std::optional<QVariantMap> main = environments.mainSyncEnvironment();
            if (applyGroupSyncMode(work, name) == 0 || applyGroupSyncMode(main ? &*main : nullptr, name) != 0)
                continue;
            auto job = containersupport::organizerUpdateJob(*manager, type, containernames::kSyncJobPriority);
            if (!job)
                continue;
            job->setPriority(containernames::kAppliedTypePriority);
            addActionToContainer(job);
        }
    }
    return QVActionContainer::doStartContainer();
}

bool OrganizerApplySyncGroup::cancelAction()
{
    auto keepAlive = shared_from_this();
    const auto members = _actionContainer;
    const bool all = QVActionContainer::cancelAction();
    WaitForFoldersPreprocessor::endWaitsOfCancelledJobs(members);
    return all;
}

float OrganizerApplySyncGroup::calcCurrentProzent() const
{
    const float percent = QVActionContainer::calcCurrentProzent();
    const unsigned count = actionCount();
    if (count == 0 || _actionCount == 0)
        return percent;
    return percent / float(count) + _lastFeedBackProz / float(_actionCount);
}

QString OrganizerApplySyncGroup::displayString() const
{
    return platform::localizedString(containernames::kSyncingPrepare);
}

QString OrganizerApplySyncGroup::displaySubString() const
{
    auto running = containersupport::runningMemberOf(_actionContainer);
    return running ? running->displaySubString() : QStringLiteral(" ");
}
