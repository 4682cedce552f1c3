#include "phonejobs/ActionSMSKitSend.h"

#include "kitbridges/SMSAsyncSender.h"
#include "phone/MFDevice.h"
#include "phonejobs/ActionOrganizerKitServicesNames.h"
#include "platform/Localization.h"

ActionSMSKitSend::ActionSMSKitSend(std::shared_ptr<QVActionNotify> notify, QVariant userInfo, QString text,
                                   QVariantList recipients, bool specialChars, int partCount)
    : ActionSMSKitServices(QString::fromLatin1(MFDevice::kServiceSMSKitAsync), std::move(notify), std::move(userInfo))
    , _text(std::move(text))
    , _recipients(std::move(recipients))
    , _specialChars(specialChars)
    , _partCount(partCount)
{
    _headLine = platform::localizedString(kitjobnames::kOverLaySendSMS);
    _subLine = QStringLiteral(" ");
    _testCount = 0;
}

ActionSMSKitSend::~ActionSMSKitSend() = default;

std::shared_ptr<ActionSMSKitSend> ActionSMSKitSend::initAsyncSMSSend(std::shared_ptr<QVActionNotify> notify,
                                                                    QVariant userInfo, const QString& text,
                                                                    const QVariantList& recipients,
                                                                    bool specialChars, int partCount)
{
    return std::make_shared<ActionSMSKitSend>(std::move(notify), std::move(userInfo), text, recipients, specialChars,
                                              partCount);
}

std::shared_ptr<ActionSMSKitSend> ActionSMSKitSend::allocAsyncSMSSend(std::shared_ptr<QVActionNotify> notify,
                                                                     QVariant userInfo, const QString& text,
                                                                     const QVariantList& recipients,
                                                                     bool specialChars, int partCount)
{
    return initAsyncSMSSend(std::move(notify), std::move(userInfo), text, recipients, specialChars, partCount);
}

int ActionSMSKitSend::startAction()
{
    if (const int result = startKitJob(); result != 0)
        return result;
    auto bridge = SMSAsyncSender::smsSenderWithAdress(getActionDevice(), this, smsKitMaker());
    if (!bridge)
        return -1;
    _smsBridge = bridge;
    return bridge->startSendTextMessage(_text, _recipients, _specialChars, _partCount);
}

void ActionSMSKitSend::smsMessagePartSent(SMSAsyncSender* bridge, float prozDone)
{
    auto keepAlive = selfAction();
    _prozDone = prozDone * 100.0f;
    if (!processAction(_prozDone) && !kitAbortRequested()) {
        if (bridge)
            bridge->stopSending();
        scheduleKitAborted();
    }
}

void ActionSMSKitSend::smsSendTextMessageFinished(SMSAsyncSender*, int errorCode)
{
    endAction(errorCode);
}

QString ActionSMSKitSend::generateErrorString(int code) const
{
    const QString* key = nullptr;
    switch (code) {
    case -1: key = &kitjobnames::kSMSSendError; break;
    case -2: key = &kitjobnames::kDialError; break;
    case -3: key = &kitjobnames::kNoRecipients; break;
    case -4: key = &kitjobnames::kSendTimeOut; break;
    case -5: key = &kitjobnames::kEnterNumberTlt; break;
    default: return ActionSMSKitServices::generateErrorString(code);
    }
    return platform::localizedString(*key);
}
