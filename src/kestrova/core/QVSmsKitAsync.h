#pragma once

#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/core/smsKitAsync.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>

class SmsKitVendorChain;

namespace kestrova {
class sms;
class smsList;
}

// The asynchronous SMS kit: one object per job. The caller sets the callback,
// the link (a tty path or a Bluetooth address) and the protocol family, then
// starts one request (read all boxes, delete messages, send a text, storage
// usage) and hears its outcome through smsKitAsync, always on a later pass of
// the event loop and exactly once per request. The kit does not own its
// callback: the caller clears it with setCallback(nullptr) before releasing
// the kit. It is also the base of the organizer kit. Main thread only.
class QVSmsKitAsync : public smsKitAsync {
public:
    QVSmsKitAsync();
    ~QVSmsKitAsync() override;
    QVSmsKitAsync(const QVSmsKitAsync&) = delete;
    QVSmsKitAsync& operator=(const QVSmsKitAsync&) = delete;

    // The vendor library registers the makers of its SMS chains ("lg",
    // "samsung") at load time.
    using SmsChainMaker = std::function<std::unique_ptr<SmsKitVendorChain>(QVSmsKitAsync&)>;
    static void registerSmsChain(const QString& vendor, SmsChainMaker maker);

    // Configuration.
    void setFilename(const QString& path);
    void setAddressString(const QString& address);
    void setDeviceType(int type) { _sltCommDevice->setType(type); }
    void setFamily(const QString& family);
    const QString& family() const { return _family; }
    void setQuorvalisID(long identifier);
    void setCallback(smsKitAsync* callback);
    void setSMSValidityPeriod(int period) { _sltCommDevice->setSMSValidityPeriod(period); }
    // Opens the program's "SMSKit" log when the program offers it.
    void enableLogging();
    static std::optional<QString> substituteStringToGreek(const QString& text);

    // Requests.
    bool startReading();
    // false (and nothing starts) for an empty list.
    bool removeMessages(const QVariantList& messages);
    void sendTextMessage(const QString& text, const QVariantList& recipients, bool specialChars);
    void getMemoryUsage();
    bool isConnected() const { return _sltCommDevice->isConnected(); }
    void fullStop();
    void abortActionAsync();

    // The kit is its own callback while a delete reads the phone's messages.
    void smsKitReadingBoxData(QVSmsKitAsync* kit, const QVariantList& list, const QString& box) override;
    void smsKitReadingFinished(QVSmsKitAsync* kit, int errorCode) override;

    // The message dictionaries of a box, in list order, also handed to the
    // callback and kept for a delete (not when the box is empty).
    QVariantList createListFrom(kestrova::smsList& list, const QString& box);

protected:
    // A kit over an engine of the caller's (tests give one with a transport
    // of their own).
    explicit QVSmsKitAsync(std::unique_ptr<SLTCommDevice> engine);
    SLTCommDevice& engine() { return *_sltCommDevice; }
    // Held weakly by stages: none runs after the kit is gone.
    std::weak_ptr<const void> lifeToken() const { return _alive; }
    // A stage of this kit for the engine.
    SLTInvocationPtr stage(void (QVSmsKitAsync::*method)(const platform::Notification&));
    // Runs fn on a later pass of the event loop unless the kit is gone or
    // stopped first.
    void later(std::function<void()> fn);
    static int errorCodeOf(const platform::Notification& n);
    // The kit's chain of a vendor; nullptr when none is registered.
    SmsKitVendorChain* smsChain(const QString& vendor);

    // The vendor chains of LG and Samsung phones; until one is present a
    // request for it ends with -1 and a log line.
    virtual void startLgViewtyReading();
    virtual void startSamsungReading();
    virtual void lgOrganizerAbortAction();
    virtual void lgDeleteMessages();
    virtual void lgSendTextMessage();

    smsKitAsync* _callback = nullptr;
    smsKitAsync* _callbackBackup = nullptr;
    QString _family;
    long _quorvalisID = 0;
    QVariantList _currentMessageArray;
    QVariantList _deleteMessageData;
    QString _smscAddress;
    QVariantMap _sendMessageData;

private:
    friend class SmsKitVendorChain;
    // A box's PDUs as messages, handed to the callback.
    void deliverPduBox(const SLTPduListPtr& pdus, const QString& box);
    // createListFrom, releasing each message once its dictionary is made.
    void takeListFrom(kestrova::smsList& list, const QString& box);
    QVariantMap messageDictionary(const kestrova::sms& message, const QString& box) const;
    void deliverBox(const QVariantList& messages, const QString& box);
    void progress(float percent);
    void startStage2(const platform::Notification& n);
    void removeMessagesStep();
    void removeMessagesStage2(const platform::Notification& n);
    void removeMessagesStage3(const platform::Notification& n);
    void removeMessagesStage4(const platform::Notification& n);
    void finishDeleting(int errorCode);
    void sendTextMessageStage2(const platform::Notification& n);
    void getMemoryUsageStage2(const platform::Notification& n);
    void getMemoryUsageSMStage2(const platform::Notification& n);

    std::unique_ptr<SLTCommDevice> _sltCommDevice;
    // Stages hold this weakly: none runs after the kit is gone.
    std::shared_ptr<int> _alive = std::make_shared<int>(0);
    bool _deleting = false;
    std::map<QString, std::unique_ptr<SmsKitVendorChain>> _smsChains;
};
