#pragma once

#include "kitbridges/SMSAsyncReceiver.h"
#include "phonejobs/ActionSMSKitServices.h"

#include <QVariantList>

class QVSyncElemList;

// Reads every SMS box of the phone through the kit. A good read replaces the
// archive's stored SMS (the old ones go first); a failed one leaves them; the
// data manager hears of the SMS either way.
class ActionSMSKitRead : public ActionSMSKitServices, public SMSAsyncReceiver {
public:
    ActionSMSKitRead(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionSMSKitRead() override;
    static std::shared_ptr<ActionSMSKitRead> initActionSMSKitRead(std::shared_ptr<QVActionNotify> notify,
                                                                 QVariant userInfo);
    static QString defaultDescription() { return ActionSMSKitServices::defaultDescription(kClassName); }
    QString className() const override { return kClassName; }

    // The backup restorer that asked for the read; kept, never called.
    void setBackupRestorerCallback(std::shared_ptr<void> restorer) { _restorerCallback = std::move(restorer); }
    const std::shared_ptr<void>& backupRestorerCallback() const { return _restorerCallback; }

    int startAction() override;
    void smsReceived(SMSAsyncBridge* bridge, int status) override;
    void displayProgress(int value) override;
    void displayPercent(int percent) override;
    QString generateErrorString(int code) const override;
    void endAction(int code) override;

private:
    // A cancel asked through the progress: stop the kit, end 0xAC004 soon.
    void stopForCancel();
    static void removePhoneSms(QVSyncElemList* list, const QVariantList& records);
    static inline const QString kClassName = QStringLiteral("ActionSMSKitRead");
    std::shared_ptr<void> _restorerCallback;
};
