#include "kitbridges/SMSAsyncSender.h"

#include "kitbridges/KitBridgesLog.h"
#include "kitbridges/SMSAsyncSenderMsg.h"

#include <algorithm>

std::shared_ptr<SMSAsyncSender> SMSAsyncSender::smsSenderWithAdress(MFDeviceLinkOwner* device,
                                                                    SMSAsyncSenderMsg* notifier,
                                                                    const SmsKitMaker& makeKit)
{
    auto bridge = std::make_shared<SMSAsyncSender>(Passkey{}, notifier);
    bridge->initBasisWithAdress(device, makeKit);
    return bridge;
}

int SMSAsyncSender::startSendTextMessage(const QString& text, const QVariantList& recipients, bool specialChars,
                                         qint32 partCount)
{
    MMConnLog(QStringLiteral("[%1 startSendTextMessage]").arg(className()));
    if (!_smsKit) {
        logNoKit("startSendTextMessage");
        return -1;
    }
    if (text.isNull())
        return -2;
    if (recipients.isEmpty())
        return -3;
    _partCount = partCount;
    _curCount = 0;
    if (!_smsKit->sendTextMessage(text, recipients, specialChars)) {
        MMConnLog(QStringLiteral("[%1 startSendTextMessage] the kit refused").arg(className()));
        _partCount = 0;
        return -3;
    }
    return 0;
}

void SMSAsyncSender::stopSending()
{
    MMConnLog(QStringLiteral("[%1 stopSending]").arg(className()));
    fullStop();
}

void SMSAsyncSender::smsKitMessagePartSent(QVSmsKitAsync*)
{
    const auto alive = keepAlive();
    ++_curCount;
    if (_notifier)
        _notifier->smsMessagePartSent(this, _partCount > 0 ? std::min(1.0f, float(_curCount) / float(_partCount)) : 1.0f);
}

void SMSAsyncSender::smsKitSendTextMessageFinished(QVSmsKitAsync*, int errorCode)
{
    const auto alive = keepAlive();
    _partCount = 0;
    _curCount = 0;
    MMConnLog(QStringLiteral("[%1 smsKitSendTextMessageFinished] returns %2").arg(className()).arg(errorCode));
    MMXTLog(QStringLiteral("smsKitSendTextMessageFinished (%1): %2").arg(errorCode).arg(QString()));
    if (_notifier)
        _notifier->smsSendTextMessageFinished(this, errorCode);
    if (_smsKit)
        _smsKit->fullStop();
}
