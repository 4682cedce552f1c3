#pragma once

#include "kestrova/core/SLTCommDevice.h"

#include <QString>
#include <memory>

class QVSmsKitAsync;
class smsKitAsync;

// The SMS stage chains of one phone vendor, one object per kit, made on the
// kit's first request for that vendor from the maker the vendor library
// registered (QVSmsKitAsync::registerSmsChain). A request answers false when
// the chain does not serve it; the kit then ends it with -1.
class SmsKitVendorChain {
public:
    explicit SmsKitVendorChain(QVSmsKitAsync& kit) : _kit(kit) { }
    virtual ~SmsKitVendorChain() = default;
    SmsKitVendorChain(const SmsKitVendorChain&) = delete;
    SmsKitVendorChain& operator=(const SmsKitVendorChain&) = delete;

    virtual bool startReading() { return false; }
    // Deletes the kit's delete list (read from the phone just before).
    virtual bool deleteMessages() { return false; }
    // Sends the kit's parked send request.
    virtual bool sendTextMessage() { return false; }
    // The early stop of a connected kit; false: the kit stops at once.
    virtual bool abortAction() { return false; }

protected:
    QVSmsKitAsync& kit() { return _kit; }
    SLTCommDevice& engine();
    smsKitAsync* callback();
    std::weak_ptr<const void> lifeToken();
    // The kit's request data and its endings.
    const QVariantList& deleteMessageData();
    const QVariantMap& sendMessageData();
    void setSmscAddress(const QString& address);
    // A box's PDUs as messages to the callback (nothing for an empty box).
    void deliverBox(const SLTPduListPtr& pdus, const QString& box);
    // A listed box by its state (0 inbox, 2 drafts, 3 sent; others dropped);
    // true after the sent box, the last one a listing hands over.
    bool deliverListedBox(const SLTPduListPtr& pdus);
    void finishDeleting(int errorCode);

private:
    QVSmsKitAsync& _kit;
};
