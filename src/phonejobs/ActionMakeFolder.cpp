#include "phonejobs/ActionMakeFolder.h"

#include "links/FileTransferConnection.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phonejobs/FileJobNames.h"

ActionMakeFolder::ActionMakeFolder(const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : ActionFTPServices(std::move(notify), std::move(userInfo))
    , _inFolder(path)
{
}

std::shared_ptr<ActionMakeFolder> ActionMakeFolder::actionWithPathMakeFolder(const QString& path,
                                                                             std::shared_ptr<QVActionNotify> notify,
                                                                             QVariant userInfo)
{
    return std::make_shared<ActionMakeFolder>(path, std::move(notify), std::move(userInfo));
}

QString ActionMakeFolder::description() const
{
    return filejobnames::kMakeFolderFormat.arg(_inFolder);
}

QString ActionMakeFolder::displayString() const
{
    return filejobnames::formatLocalized(filejobnames::kActionMakeFolder, _inFolder);
}

int ActionMakeFolder::startAction()
{
    const int answer = ActionFTPServices::startAction();
    if (answer != 0)
        return answer;
    return connection()->makeFolder(_inFolder, deviceCallback());
}

void ActionMakeFolder::endAction(int code)
{
    if (hasEnded()) {
        ActionFTPServices::endAction(code);
        return;
    }
    auto keepAlive = selfAction();
    DZDataManager* manager = dataManager();
    // Only an existing entry: a failed job must not make one.
    auto folder = manager ? manager->getEntry(_inFolder) : nullptr;
    if (folder && !folder->isDirectory())
        folder.reset();
    if (code == 0 && folder)
        folder->copyJobWillFinish();
    ActionFTPServices::endAction(code);
    if (code == 0 && folder)
        folder->copyToMobileFinishedWithPriority(priority());
}
