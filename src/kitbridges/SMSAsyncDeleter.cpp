#include "kitbridges/SMSAsyncDeleter.h"

#include "kitbridges/KitBridgesLog.h"
#include "kitbridges/SMSAsyncDeleteMsg.h"

#include <algorithm>

std::shared_ptr<SMSAsyncDeleter> SMSAsyncDeleter::smsDeleterWithAdress(MFDeviceLinkOwner* device,
                                                                       SMSAsyncDeleteMsg* notifier,
                                                                       const SmsKitMaker& makeKit)
{
    auto bridge = std::make_shared<SMSAsyncDeleter>(Passkey{}, notifier);
    bridge->initBasisWithAdress(device, makeKit);
    return bridge;
}

int SMSAsyncDeleter::startDeleting(const QVariantList& messages, const QString& boxName)
{
    MMConnLog(QStringLiteral("[%1 startDeleting]").arg(className()));
    if (!_smsKit) {
        logNoKit("startDeleting");
        return -1;
    }
    if (messages.isEmpty())
        return -2;
    _curCount = 0;
    _msgCount = qint32(messages.size());
    _boxName = boxName;
    if (!_smsKit->removeMessages(messages)) {
        _msgCount = 0;
        return -3;
    }
    return 0;
}

void SMSAsyncDeleter::stopDeleting()
{
    MMConnLog(QStringLiteral("[%1 stopDeleting]").arg(className()));
    fullStop();
}

void SMSAsyncDeleter::smsKitMessageDeleted(QVSmsKitAsync*, const QVariantMap& message)
{
    const auto alive = keepAlive();
    ++_curCount;
    if (_notifier)
        _notifier->smsMessageDeleted(this, message, _boxName,
                                     _msgCount > 0 ? std::min(1.0f, float(_curCount) / float(_msgCount)) : 1.0f);
}

void SMSAsyncDeleter::smsKitMessageDeletingFinished(QVSmsKitAsync*, int errorCode)
{
    const auto alive = keepAlive();
    _msgCount = 0;
    _curCount = 0;
    MMXTLog(QStringLiteral("smsKitMessageDeletingFinished (%1): %2").arg(errorCode).arg(QString()));
    if (_notifier)
        _notifier->smsMessageDeletingFinished(this, errorCode);
    if (_smsKit)
        _smsKit->fullStop();
}
