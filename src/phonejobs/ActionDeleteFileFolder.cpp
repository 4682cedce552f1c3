#include "phonejobs/ActionDeleteFileFolder.h"

#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"
#include "phonejobs/FileJobNames.h"

ActionDeleteFileFolder::ActionDeleteFileFolder(const QString& path, std::shared_ptr<QVActionNotify> notify,
                                               QVariant userInfo)
    : ActionFTPServices(std::move(notify), std::move(userInfo))
    , _inFileFolder(path)
{
}

std::shared_ptr<ActionDeleteFileFolder> ActionDeleteFileFolder::actionWithPathDeleteFileFolder(
    const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    return std::make_shared<ActionDeleteFileFolder>(path, std::move(notify), std::move(userInfo));
}

QString ActionDeleteFileFolder::displayString() const
{
    return filejobnames::formatLocalized(filejobnames::kActionDeleteFileFolder, _inFileFolder);
}

QString ActionDeleteFileFolder::description() const
{
    return filejobnames::kDeleteFileFolderFormat.arg(_inFileFolder);
}

int ActionDeleteFileFolder::startAction()
{
    const int answer = ActionFTPServices::startAction();
    if (answer != 0)
        return answer;
    return connection()->deleteFile(_inFileFolder, deviceCallback());
}

void ActionDeleteFileFolder::endAction(int code)
{
    if (!hasEnded() && code != 0) {
        auto keepAlive = selfAction();
        if (DZDataManager* manager = dataManager()) {
            if (auto entry = manager->getEntry(_inFileFolder)) {
                // Nothing reached the phone: the entry is as it was.
                if (code == links::kErrNotConnected)
                    entry->deleteNotStarted();
                else
                    entry->deleteFailed();
            }
        }
    }
    ActionFTPServices::endAction(code);
}
