#pragma once

#include "kitbridges/SMSAsyncBasisBridge.h"

#include <QVariantList>

class SMSAsyncSenderMsg;

// The bridge of an SMS send: hands the kit the text and its recipients and
// reports each part sent against the parts the caller expects.
class SMSAsyncSender : public SMSAsyncBasisBridge {
public:
    static std::shared_ptr<SMSAsyncSender> smsSenderWithAdress(MFDeviceLinkOwner* device, SMSAsyncSenderMsg* notifier,
                                                               const SmsKitMaker& makeKit = makeQVSmsKitAsync);

    // 0 started, -1 no kit, -2 no text (a null string), -3 no recipients or the
    // kit refused at once.
    int startSendTextMessage(const QString& text, const QVariantList& recipients, bool specialChars, qint32 partCount);
    void stopSending();

    void smsKitMessagePartSent(QVSmsKitAsync* kit) override;
    void smsKitSendTextMessageFinished(QVSmsKitAsync* kit, int errorCode) override;

protected:
    QString className() const override { return QStringLiteral("SMSAsyncSender"); }

private:
    struct Passkey { };

public:
    SMSAsyncSender(Passkey, SMSAsyncSenderMsg* notifier) : _notifier(notifier) { }

private:
    SMSAsyncSenderMsg* _notifier = nullptr;
    qint32 _partCount = 0;
    qint32 _curCount = 0;
};
