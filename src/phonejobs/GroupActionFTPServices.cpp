#include "phonejobs/GroupActionFTPServices.h"

#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "links/FileTransferConnection.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phonejobs/FileJobNames.h"

GroupActionFTPServices::GroupActionFTPServices(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : QVActionGroup(std::move(notify), std::move(userInfo))
{
}

DZDataManager* GroupActionFTPServices::dataManager() const
{
    MFDevice* device = getActionDevice();
    return device ? dynamic_cast<DZDataManager*>(device->dataManager()) : nullptr;
}

float GroupActionFTPServices::percentDone() const
{
    if (_numberOfActions == 0)
        return 0.0f;
    const unsigned left = actionCount();
    const unsigned done = left > _numberOfActions ? 0u : _numberOfActions - left;
    return float(done * 100u / _numberOfActions);
}

void GroupActionFTPServices::reportPercent()
{
    if (feedBackStatus() == feedbackstatus::kRunning)
        QVAction::processAction(percentDone());
}

bool GroupActionFTPServices::startAction(QVAction& action)
{
    reportPercent();
    return QVActionGroup::startAction(action);
}

bool GroupActionFTPServices::processAction(QVAction& action, float percent)
{
    reportPercent();
    return QVActionGroup::processAction(action, percent);
}

void GroupActionFTPServices::endAction(QVAction& action, int err)
{
    reportPercent();
    QVActionGroup::endAction(action, err);
}

QString GroupActionFTPServices::actionType() const
{
    MFDevice* device = getActionDevice();
    const bool usb = device && device->ftpConnection() && device->ftpConnection()->servesMassStorage();
    return usb ? filejobnames::kMassStorageSlow : filejobnames::kFTP;
}

bool GroupActionFTPServices::acceptPostForSubPipe(const QString& type) const
{
    MFDevice* device = getActionDevice();
    if (device && device->ftpConnection() && device->ftpConnection()->servesMassStorage())
        return type == filejobnames::kFTP || type == filejobnames::kMassStorageSlow
               || type == filejobnames::kMassStorageFast;
    return QVActionGroup::acceptPostForSubPipe(type);
}

QString GroupActionFTPServices::displaySubString() const
{
    auto running = currentAction();
    return running ? running->displaySubString() : QString();
}

void GroupActionFTPServices::didPostToActionPipe()
{
    QVActionGroup::didPostToActionPipe();
    if (auto requester = notify())
        requester->didPostAction(*this);
}

int GroupActionFTPServices::startAction()
{
    const int answer = QVActionGroup::startAction();
    _numberOfActions = actionCount();
    QVLOG(qvlog::kXT, answer == 0 ? filejobnames::kStartedFormat.arg(description())
                                  : filejobnames::kStartedWithErrorFormat.arg(description()).arg(answer));
    return answer;
}

void GroupActionFTPServices::endAction(int code)
{
    if (!hasEnded())
        QVLOG(qvlog::kXT, code == 0 ? filejobnames::kFinishedFormat.arg(description())
                                    : filejobnames::kStoppedFormat.arg(description()).arg(code));
    QVActionGroup::endAction(code);
}

QString GroupActionFTPServices::description() const
{
    return filejobnames::kSequenceFormat.arg(QString::number(reinterpret_cast<quintptr>(this), 16));
}
