#include "phonejobs/GroupActionCopyFolderToMac.h"

#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "foundation/SafeFileName.h"
#include "jobs/JobCodes.h"
#include "jobs/QVActionGroupPipe.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/FilesMirror.h"
#include "phonejobs/ActionCopyFileFolder.h"
#include "phonejobs/FileJobNames.h"
#include "phonejobs/GroupActionUpdateDirectoryTree.h"

#include <QFileInfo>

namespace {

QString copyToMacParentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

GroupActionCopyFolderToMac::GroupActionCopyFolderToMac(const QString& source, const QString& destination,
                                                       bool overwritingAllowed, std::shared_ptr<QVActionNotify> notify,
                                                       QVariant userInfo)
    : GroupActionFTPServices(std::move(notify), std::move(userInfo))
    , _sourceDirectory(source)
    , _destinationDirectory(destination)
    , _overwritingAllowed(overwritingAllowed)
{
}

std::shared_ptr<GroupActionCopyFolderToMac> GroupActionCopyFolderToMac::copyMobileDirectory(
    const QString& source, const QString& destination, bool overwritingAllowed, std::shared_ptr<QVActionNotify> notify,
    QVariant userInfo)
{
    return std::make_shared<GroupActionCopyFolderToMac>(source, destination, overwritingAllowed, std::move(notify),
                                                        std::move(userInfo));
}

QString GroupActionCopyFolderToMac::targetPathForPhonePath(const QString& phonePath) const
{
    const QString base = copyToMacParentOf(_sourceDirectory);
    QString relative = phonePath;
    if (phonePath.startsWith(base))
        relative = phonePath.mid(base == QLatin1String("/") ? 0 : base.size());
    else
        QVLOG(qvlog::kXT, filejobnames::kNotChildOfBaseFormat.arg(phonePath, base));
    // The phone's names are made safe one by one: none of them (a "..", a
    // name with a backslash) ever leads out of the destination.
    QString target = _destinationDirectory;
    for (const QString& name : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        target = stringByConcatenatingPathComponents(target, safeFileNameFromDescription(name));
    return target;
}

QString GroupActionCopyFolderToMac::destinationDirectoryForFile(const DZDirectoryEntry& entry) const
{
    return copyToMacParentOf(targetPathForPhonePath(entry.fullExternalPath()));
}

QString GroupActionCopyFolderToMac::destinationDirectoryForDirectory(const DZDirectoryEntry& entry) const
{
    return targetPathForPhonePath(entry.fullExternalPath());
}

void GroupActionCopyFolderToMac::copyFile(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    auto job = entry->actionCopyToMacDirectory(destinationDirectoryForFile(*entry), 4);
    const QString safe = lastPathComponent(targetPathForPhonePath(entry->fullExternalPath()));
    if (safe != lastPathComponent(entry->fullExternalPath())) {
        // The file lands under its safe name; a copy that cannot be told so
        // is not made.
        auto copy = std::dynamic_pointer_cast<ActionCopyFileFolder>(job);
        if (!copy) {
            QVLOG(qvlog::kXT,
                  QStringLiteral("GroupActionCopyFolderToMac: <%1> left out, it cannot be renamed")
                      .arg(entry->fullExternalPath()));
            return;
        }
        copy->setDestinationFileName(safe);
    }
    addGroupAction(job);
}

void GroupActionCopyFolderToMac::copyDirectory(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    // Depth first in name order, without recursion.
    QList<std::shared_ptr<DZDirectoryEntry>> stack{entry};
    while (!stack.isEmpty()) {
        auto next = stack.takeLast();
        if (!next->isDirectory()) {
            copyFile(next);
            continue;
        }
        FilesMirror::createDirectoryfNecessary(destinationDirectoryForDirectory(*next));
        const auto children = next->entriesNoUpdate();
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.append(*it);
    }
}

void GroupActionCopyFolderToMac::addCopyActionsForEntry(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    if (!entry)
        return;
    if (entry->isDirectory())
        copyDirectory(entry);
    else
        copyFile(entry);
}

bool GroupActionCopyFolderToMac::isFatalError(int code)
{
    return code != 0 && code != jobcodes::kNothingToDo && code != jobcodes::kSuspended;
}

void GroupActionCopyFolderToMac::endAction(QVAction& action, int err)
{
    if (isFatalError(err)) {
        auto keepAlive = selfAction();
        const QString text = action.feedBackErrorString();
        if (auto pipe = groupPipe())
            pipe->killAllActions(false);
        endAction(err);
        setFeedBackErrorString(text);
        return;
    }
    if (err == 0 && !isCancelled() && dynamic_cast<GroupActionUpdateDirectoryTree*>(&action)) {
        DZDataManager* manager = dataManager();
        addCopyActionsForEntry(manager ? manager->getEntry(_sourceDirectory) : nullptr);
    }
    GroupActionFTPServices::endAction(action, err);
}

QString GroupActionCopyFolderToMac::description() const
{
    return filejobnames::kCopyFolderToMacFormat.arg(_sourceDirectory, _destinationDirectory);
}

QString GroupActionCopyFolderToMac::displayString() const
{
    return filejobnames::formatLocalized(filejobnames::kActionCopyFileFolder, lastPathComponent(_sourceDirectory));
}

QString GroupActionCopyFolderToMac::displaySubString() const
{
    auto running = currentAction();
    if (!groupPipe() || !running)
        return QStringLiteral("...");
    if (!running->displaySubString().isEmpty())
        return running->displaySubString();
    return running->displayString().isEmpty() ? QStringLiteral("...") : running->displayString();
}

void GroupActionCopyFolderToMac::didPostToActionPipe()
{
    GroupActionFTPServices::didPostToActionPipe();
    addGroupAction(GroupActionUpdateDirectoryTree::updateDirectory(_sourceDirectory, true, nullptr));
}
