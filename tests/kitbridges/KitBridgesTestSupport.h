#pragma once

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "kitbridges/BridgeKits.h"
#include "kitbridges/OrganizerAsyncReceiver.h"
#include "kitbridges/SMSAsyncDeleteMsg.h"
#include "kitbridges/SMSAsyncReceiver.h"
#include "kitbridges/SMSAsyncSenderMsg.h"
#include "links/MFDeviceLinkOwner.h"

#include <QFile>
#include <QStringList>
#include <memory>

namespace bridgetest {

// A phone as the bridges see it: its connection type, link settings and SMS
// protocol ("family" or "family/organizer family").
class BridgeTestPhone : public MFDeviceLinkOwner {
public:
    BridgeTestPhone(const QString& connType, const QString& protocol, const QString& link = QStringLiteral("link"))
        : _type(connType)
        , _dict(std::make_shared<QVariantMap>(
              QVariantMap{{QStringLiteral("BT.BT_Address"), link}, {QStringLiteral("USB.PortName"), link}}))
        , _info(_dict, QVariantMap{{QStringLiteral("Dorvanti.SMSProtocol"), protocol}}, nullptr, false)
    {
    }
    MFDevice* linkDevice() override { return nullptr; }
    const MFDeviceInfo* linkDeviceInfo() const override { return &_info; }
    QString connType() const override { return _type; }
    void registerConnection(const QString&, const QVariantMap&) override { }

private:
    QString _type;
    std::shared_ptr<QVariantMap> _dict;
    MFDeviceInfo _info;
};

// What a fake kit was asked (an emptied callback is not listed), and whether its callback was cleared before it went.
struct FakeKitState {
    QStringList calls;
    void* callback = nullptr;
    bool refuse = false;
    bool gone = false;
    bool callbackClearedWhenGone = false;
    QVariantList removed;
};

class FakeSmsKit : public SmsBridgeKit {
public:
    explicit FakeSmsKit(std::shared_ptr<FakeKitState> state) : s(std::move(state)) { }
    ~FakeSmsKit() override
    {
        s->gone = true;
        s->callbackClearedWhenGone = s->callback == nullptr;
    }
    smsKitAsync* callback() const { return static_cast<smsKitAsync*>(s->callback); }
    void setCallback(smsKitAsync* c) override
    {
        s->callback = c;
        if (c)
            s->calls << QStringLiteral("setCallback");
    }
    void setAddressString(const QString& a) override { s->calls << QStringLiteral("setAddressString:") + a; }
    void setFilename(const QString& p) override { s->calls << QStringLiteral("setFilename:") + p; }
    void setFamily(const QString& f) override { s->calls << QStringLiteral("setFamily:") + f; }
    bool startReading() override { return s->calls << QStringLiteral("startReading"), !s->refuse; }
    bool removeMessages(const QVariantList& m) override
    {
        s->removed = m;
        return s->calls << QStringLiteral("removeMessages"), !s->refuse;
    }
    bool sendTextMessage(const QString& t, const QVariantList&, bool) override
    {
        return s->calls << QStringLiteral("sendTextMessage:") + t, !s->refuse;
    }
    void fullStop() override { s->calls << QStringLiteral("fullStop"); }
    void abortActionAsync() override { s->calls << QStringLiteral("abortActionAsync"); }
    std::shared_ptr<FakeKitState> s;
};

class FakeOrganizerKit : public OrganizerBridgeKit {
public:
    explicit FakeOrganizerKit(std::shared_ptr<FakeKitState> state) : s(std::move(state)) { }
    ~FakeOrganizerKit() override
    {
        s->gone = true;
        s->callbackClearedWhenGone = s->callback == nullptr;
    }
    void setCallback(organizerKitAsync* c) override
    {
        s->callback = c;
        if (c)
            s->calls << QStringLiteral("setCallback");
    }
    void setAddressString(const QString& a) override { s->calls << QStringLiteral("setAddressString:") + a; }
    void setFilename(const QString& p) override { s->calls << QStringLiteral("setFilename:") + p; }
    void setFamily(const QString& f) override { s->calls << QStringLiteral("setFamily:") + f; }
    void getPhonebookEntries() override { s->calls << QStringLiteral("getPhonebookEntries"); }
    void writePhonebookEntries(const QVariantMap&) override { s->calls << QStringLiteral("writePhonebookEntries"); }
    void getCalendarEntries() override { s->calls << QStringLiteral("getCalendarEntries"); }
    void writeCalendarEntries(const QVariantMap&) override { s->calls << QStringLiteral("writeCalendarEntries"); }
    void getTasks() override { s->calls << QStringLiteral("getTasks"); }
    void fullStop() override { s->calls << QStringLiteral("fullStop"); }
    void abortActionAsync() override { s->calls << QStringLiteral("abortActionAsync"); }
    std::shared_ptr<FakeKitState> s;
};

// Test receivers: each call as a line, in order.
struct SmsReadReceiver : SMSAsyncReceiver {
    QStringList events;
    std::function<void()> onReceived;
    void smsReceived(SMSAsyncBridge*, int status) override
    {
        events << QStringLiteral("received:%1").arg(status);
        if (onReceived)
            onReceived();
    }
    void displayProgress(int value) override { events << QStringLiteral("progress:%1").arg(value); }
    void displayPercent(int percent) override { events << QStringLiteral("percent:%1").arg(percent); }
};

struct SmsDeleteReceiver : SMSAsyncDeleteMsg {
    QStringList events;
    QList<float> fractions;
    std::function<void()> onFinished;
    void smsMessageDeleted(SMSAsyncDeleter*, const QVariantMap&, const QString& box, float prozDone) override
    {
        fractions << prozDone;
        events << QStringLiteral("deleted:") + box;
    }
    void smsMessageDeletingFinished(SMSAsyncDeleter*, int code) override
    {
        events << QStringLiteral("finished:%1").arg(code);
        if (onFinished)
            onFinished();
    }
};

struct SmsSendReceiver : SMSAsyncSenderMsg {
    QStringList events;
    QList<float> fractions;
    std::function<void()> onFinished;
    void smsMessagePartSent(SMSAsyncSender*, float prozDone) override { fractions << prozDone; }
    void smsSendTextMessageFinished(SMSAsyncSender*, int code) override
    {
        events << QStringLiteral("finished:%1").arg(code);
        if (onFinished)
            onFinished();
    }
};

struct OrganizerReceiver : OrganizerAsyncReceiver {
    QStringList events;
    std::optional<QVariantMap> mapping;
    std::function<void()> onFinal;
    void note(const QString& line)
    {
        events << line;
        if (onFinal)
            onFinal();
    }
    void phoneBookReceived(OrganizerAsyncBridge*, int s) override
    {
        note(QStringLiteral("phoneBookReceived:%1").arg(s));
    }
    void phoneBookWritten(OrganizerAsyncBridge*, int s, const std::optional<QVariantMap>& m) override
    {
        mapping = m;
        note(QStringLiteral("phoneBookWritten:%1").arg(s));
    }
    void calendarReceived(OrganizerAsyncBridge*, int s) override { note(QStringLiteral("calendarReceived:%1").arg(s)); }
    void calendarWritten(OrganizerAsyncBridge*, int s, const std::optional<QVariantMap>& m) override
    {
        mapping = m;
        note(QStringLiteral("calendarWritten:%1").arg(s));
    }
    void tasksReceived(OrganizerAsyncBridge*, int s) override { note(QStringLiteral("tasksReceived:%1").arg(s)); }
    void tasksWritten(OrganizerAsyncBridge*, int s, const std::optional<QVariantMap>& m) override
    {
        mapping = m;
        note(QStringLiteral("tasksWritten:%1").arg(s));
    }
    void displayProgress(int value) override { events << QStringLiteral("progress:%1").arg(value); }
    void displayPercent(int percent) override { events << QStringLiteral("percent:%1").arg(percent); }
};

// Opens the logs the bridges write, "Conn" and "XT".
inline void openBridgeLogs()
{
    QVLogCreateAndOpen(QStringLiteral("Conn"));
    QVLogCreateAndOpen(QStringLiteral("XT"));
}

// The text of a named log (opened on first use).
inline QString namedLogText(const char* name)
{
    const QString log = QString::fromLatin1(name);
    QVLogCreateAndOpen(log);
    QFile file(QVPathForLogFile(log + QStringLiteral(".log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace bridgetest
