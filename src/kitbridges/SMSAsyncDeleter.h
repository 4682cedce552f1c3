#pragma once

#include "kitbridges/SMSAsyncBasisBridge.h"

#include <QVariantList>

class SMSAsyncDeleteMsg;

// The bridge of an SMS delete: hands the kit the messages (as the read
// delivered them, or as the program's SMS records keep them) and reports each
// deleted one, as the caller gave it, with the fraction done.
class SMSAsyncDeleter : public SMSAsyncBasisBridge {
public:
    static std::shared_ptr<SMSAsyncDeleter> smsDeleterWithAdress(MFDeviceLinkOwner* device, SMSAsyncDeleteMsg* notifier,
                                                                 const SmsKitMaker& makeKit = makeQVSmsKitAsync);

    // 0 started, -1 no kit, -2 no messages, -3 the kit refused.
    int startDeleting(const QVariantList& messages, const QString& boxName);
    void stopDeleting();
    bool isInDeleting() const { return _msgCount > 0; }

    void smsKitMessageDeleted(QVSmsKitAsync* kit, const QVariantMap& message) override;
    void smsKitMessageDeletingFinished(QVSmsKitAsync* kit, int errorCode) override;

protected:
    QString className() const override { return QStringLiteral("SMSAsyncDeleter"); }

private:
    struct Passkey { };

public:
    SMSAsyncDeleter(Passkey, SMSAsyncDeleteMsg* notifier) : _notifier(notifier) { }

private:
    SMSAsyncDeleteMsg* _notifier = nullptr;
    QVariantList _requested; // as the caller gave them
    QVariantList _kitRequests; // the same, with the kit's keys
    QString _boxName;
    qint32 _msgCount = 0;
    qint32 _curCount = 0;
};
