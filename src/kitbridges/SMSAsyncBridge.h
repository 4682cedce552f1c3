#pragma once

#include "kitbridges/SMSAsyncBasisBridge.h"

#include <QSet>
#include <QVariantList>
#include <functional>

class SMSAsyncReceiver;

// The bridge of the SMS read: gathers the phone's boxes as SMS records (the
// four phone boxes first, then each message and each unknown box as the kit
// hands them over) and tells the receiver the outcome.
class SMSAsyncBridge : public SMSAsyncBasisBridge {
public:
    static std::shared_ptr<SMSAsyncBridge> smsBridgeWithAdress(MFDeviceLinkOwner* device, SMSAsyncReceiver* notifier,
                                                               const SmsKitMaker& makeKit = makeQVSmsKitAsync);

    // 0 started; -2 no kit or the kit refused.
    int startReading();
    void stopReading();
    const QVariantList& msgList() const { return _msgList; }
    // The keys the phone's SMS storage holds already: a dateless message
    // never takes one of them.
    void setStorageKeyTest(std::function<bool(const QString&)> isTaken) { _isTaken = std::move(isTaken); }

    void addSMSBox(const QString& name, unsigned lokalID);
    static QVariantMap getNewSMSBoxDict(const QString& name, unsigned lokalID);

    void smsKitReadingBoxData(QVSmsKitAsync* kit, const QVariantList& list, const QString& box) override;
    void smsKitReadingProgress(QVSmsKitAsync* kit, float percent) override;
    void smsKitReadingFinished(QVSmsKitAsync* kit, int errorCode) override;
    // A callback the kit never sends; it stops the kit.
    void smsKitOrganizerAbortComplete(QVSmsKitAsync* kit, int errorCode);

protected:
    QString className() const override { return QStringLiteral("SMSAsyncBridge"); }

private:
    struct Passkey { };

public:
    SMSAsyncBridge(Passkey, SMSAsyncReceiver* notifier) : _notifier(notifier) { }

private:
    QString nextDatelessKey();

    QVariantList _msgList;
    QSet<QString> _msgKeys; // the "Date" keys in _msgList
    void append(const QVariantMap& record);
    SMSAsyncReceiver* _notifier = nullptr;
    std::function<bool(const QString&)> _isTaken;
};
