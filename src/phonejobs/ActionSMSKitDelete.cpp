#include "phonejobs/ActionSMSKitDelete.h"

#include "kitbridges/SMSAsyncDeleter.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"

ActionSMSKitDelete::ActionSMSKitDelete()
    : ActionSMSKitServices(QString::fromLatin1(MFDevice::kServiceSMSKitAsync), nullptr, QVariant())
{
}

ActionSMSKitDelete::ActionSMSKitDelete(std::shared_ptr<QVActionNotify> notify, QVariantList deleteList,
                                       QString boxName, ToDoList deleteToDoList)
    : ActionSMSKitServices(QString::fromLatin1(MFDevice::kServiceSMSKitAsync), std::move(notify), QVariant())
    , _deleteToDoList(std::move(deleteToDoList))
    , _deleteList(std::move(deleteList))
    , _boxName(std::move(boxName))
{
    _headLine = platform::localizedString(kitjobnames::kOverLayDeleteSMS);
    _subLine = QStringLiteral(" ");
    if (_deleteToDoList)
        _deleteToDoList->append(_deleteList);
}

ActionSMSKitDelete::~ActionSMSKitDelete() = default;

std::shared_ptr<ActionSMSKitDelete> ActionSMSKitDelete::intAsyncSMSDeleter(std::shared_ptr<QVActionNotify> notify,
                                                                          const QVariantList& deleteList,
                                                                          const QString& boxName,
                                                                          ToDoList deleteToDoList)
{
    return std::make_shared<ActionSMSKitDelete>(std::move(notify), deleteList, boxName, std::move(deleteToDoList));
}

std::shared_ptr<ActionSMSKitDelete> ActionSMSKitDelete::allocAsyncSMSDeleter(std::shared_ptr<QVActionNotify> notify,
                                                                            const QVariantList& deleteList,
                                                                            const QString& boxName,
                                                                            ToDoList deleteToDoList)
{
    return intAsyncSMSDeleter(std::move(notify), deleteList, boxName, std::move(deleteToDoList));
}

int ActionSMSKitDelete::startAction()
{
    beginKitJob();
    // An empty list asks nothing of the phone.
    if (_deleteList.isEmpty())
        return -2;
    if (const int result = startKitJob(); result != 0)
        return result;
    auto bridge = SMSAsyncDeleter::smsDeleterWithAdress(getActionDevice(), this, smsKitMaker());
    if (!bridge)
        return -1;
    _smsBridge = bridge;
    return bridge->startDeleting(_deleteList, _boxName);
}

void ActionSMSKitDelete::notifyArchiveChanged()
{
    MFDevice* device = getActionDevice();
    if (OrganizerArchive* archive = device ? device->archive() : nullptr)
        archive->setArchiveChanged();
}

void ActionSMSKitDelete::smsMessageDeleted(SMSAsyncDeleter* bridge, const QVariantMap& message,
                                           const QString& boxName, float prozDone)
{
    auto keepAlive = selfAction();
    QVariantMap info = message;
    info.insert(kitjobnames::kDelBoxName, boxName);
    setUserInfo(info);
    _prozDone = prozDone * 100.0f;
    if (!processAction(_prozDone) && !kitAbortRequested()) {
        if (bridge)
            bridge->stopDeleting();
        scheduleKitAborted();
    }
}

void ActionSMSKitDelete::smsMessageDeletingFinished(SMSAsyncDeleter*, int errorCode)
{
    endAction(errorCode);
}

void ActionSMSKitDelete::endAction(int code)
{
    auto keepAlive = selfAction();
    // However the job ends (done, failed, cancelled, never started), its
    // messages leave the to-do list once.
    if (_deleteToDoList) {
        for (const QVariant& message : std::as_const(_deleteList))
            _deleteToDoList->removeOne(message);
        _deleteToDoList.reset();
    }
    ActionSMSKitServices::endAction(code);
}
