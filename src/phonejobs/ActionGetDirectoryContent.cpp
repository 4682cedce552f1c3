#include "phonejobs/ActionGetDirectoryContent.h"

#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "jobs/JobCodes.h"
#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"
#include "phonejobs/FileJobNames.h"

ActionGetDirectoryContent::ActionGetDirectoryContent(const QString& path, std::shared_ptr<QVActionNotify> notify,
                                                     QVariant userInfo)
    : ActionFTPServices(std::move(notify), std::move(userInfo))
    , _thePath(path)
{
}

std::shared_ptr<ActionGetDirectoryContent> ActionGetDirectoryContent::actionWithPath(
    const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    if (path == filejobnames::kFoundItPath)
        QVLOG(qvlog::kXT, filejobnames::kFoundIt);
    return std::make_shared<ActionGetDirectoryContent>(path, std::move(notify), std::move(userInfo));
}

QString ActionGetDirectoryContent::displaySubString() const
{
    return lastPathComponent(_thePath);
}

QString ActionGetDirectoryContent::description() const
{
    return filejobnames::kGetDirectoryContentFormat.arg(_thePath);
}

int ActionGetDirectoryContent::startAction()
{
    const int answer = ActionFTPServices::startAction();
    if (answer != 0)
        return answer;
    return connection()->getDirectoryContentsAtPath(_thePath, deviceCallback());
}

bool ActionGetDirectoryContent::isDirectoryMissingError(int code)
{
    return code == filejobnames::kMissingFolder || code == filejobnames::kMissingFolderOBEX;
}

void ActionGetDirectoryContent::endAction(int code)
{
    if (hasEnded()) {
        ActionFTPServices::endAction(code);
        return;
    }
    auto keepAlive = selfAction();
    DZDataManager* manager = dataManager();
    FTPFileList listing;
    if (code == 0 && deviceCallback())
        listing = deviceCallback()->resultObject().value<FTPFileList>();
    if (code == 0 && manager)
        manager->updateDirectory(_thePath, listing);
    if (auto callback = std::exchange(_resultCallback, nullptr))
        callback->finishWithResult(code, code == 0 ? QVariant::fromValue(listing) : QVariant());
    ActionFTPServices::endAction(code);
    if (!manager)
        return;
    const bool cancelled = code == jobcodes::kCancelled || code == jobcodes::kTransportCancelled;
    if (isDirectoryMissingError(code)) {
        if (auto entry = manager->getEntry(_thePath))
            entry->noUpdateDoDelete();
    } else if (code != 0 && !cancelled && code != links::kErrNotConnected) {
        // Not being connected says nothing of the folder.
        if (auto entry = manager->getEntry(_thePath); entry && entry->isDirectory())
            entry->setDirectoryIsUnreadable();
    }
}
