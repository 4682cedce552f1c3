#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>

class organizerKitAsync;
class smsKitAsync;

// What an SMS bridge asks of its kit (QVSmsKitAsync). A request answers false
// when the kit refuses it at once; the kit's own kit answers every request
// later through its callback.
class SmsBridgeKit {
public:
    virtual ~SmsBridgeKit() = default;
    virtual void setCallback(smsKitAsync* callback) = 0;
    virtual void setAddressString(const QString& address) = 0;
    virtual void setFilename(const QString& path) = 0;
    virtual void setFamily(const QString& family) = 0;
    virtual bool startReading() = 0;
    virtual bool removeMessages(const QVariantList& messages) = 0;
    virtual bool sendTextMessage(const QString& text, const QVariantList& recipients, bool specialChars) = 0;
    virtual void fullStop() = 0;
    virtual void abortActionAsync() = 0;
};

// What an organizer bridge asks of its kit (Kestrova).
class OrganizerBridgeKit {
public:
    virtual ~OrganizerBridgeKit() = default;
    virtual void setCallback(organizerKitAsync* callback) = 0;
    virtual void setAddressString(const QString& address) = 0;
    virtual void setFilename(const QString& path) = 0;
    virtual void setFamily(const QString& family) = 0;
    virtual void getPhonebookEntries() = 0;
    virtual void writePhonebookEntries(const QVariantMap& entries) = 0;
    virtual void getCalendarEntries() = 0;
    virtual void writeCalendarEntries(const QVariantMap& entries) = 0;
    virtual void getTasks() = 0;
    virtual void fullStop() = 0;
    virtual void abortActionAsync() = 0;
};

using SmsKitMaker = std::function<std::shared_ptr<SmsBridgeKit>()>;
using OrganizerKitMaker = std::function<std::shared_ptr<OrganizerBridgeKit>()>;

// The organizer-kit library's kits.
std::shared_ptr<SmsBridgeKit> makeQVSmsKitAsync();
std::shared_ptr<OrganizerBridgeKit> makeKestrova();
