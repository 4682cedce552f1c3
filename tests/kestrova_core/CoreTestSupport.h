#pragma once

#include "kestrova/core/MultiCommDevice.h"
#include "kestrova/core/SLTCommDeviceCommandQueue.h"
#include "kestrova/core/SLTStateMachine.h"
#include "platform/Clock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace coretest {

// Records the channels a link says it is about to close.
struct WillCloseRecorder : SLTWillCloseCallback {
    QList<const void*> channels;
    void smsKitWillCloseChannel(const void* channel) override { channels.append(channel); }
};

// The "SMSKit" log of the host, as this test program exports it: lines are
// kept while it is open.
struct KitLogCapture {
    KitLogCapture();
    ~KitLogCapture();
    QStringList lines() const;
    bool contains(const QString& text) const;
};

// A transport that records what goes out and lets a test feed replies.
class FakeCommDevice : public MultiCommDevice {
public:
    QStringList sentTexts;
    QList<QByteArray> sentFrames;
    int opens = 0;
    int closes = 0;
    int resets = 0;
    int reads = 0;
    bool failOpen = false;
    // Counts closes beyond the transport's life (the machine releases it).
    int* closeCounter = nullptr;

    void openConnection() override;
    void sendCommand(const QString& text) override { clearForCommand(); sentTexts.append(text); ++reads; }
    void sendDataCommand(const QByteArray& bytes) override { clearForCommand(); sentFrames.append(bytes); ++reads; }
    bool reset() override { ++resets; return MultiCommDevice::reset(); }
    void close() override;
    void goOnReading() override { ++reads; }
    // Reply bytes from the phone.
    void reply(const QByteArray& bytes) { receive(bytes, "FakeCommDevice"); }
    int sentCount() const { return int(sentTexts.size() + sentFrames.size()); }
};

// A machine whose transport is a FakeCommDevice (made when it connects).
class FakeLinkMachine : public SLTStateMachine {
public:
    FakeCommDevice* fake() const { return static_cast<FakeCommDevice*>(commDevice()); }
    bool failOpen = false;
    int created = 0;
    int linkCloses = 0;

protected:
    std::unique_ptr<MultiCommDevice> createCommDevice() override;
};

// Records the states a machine reports.
struct StateRecorder : SLTStateMachineDelegate {
    QList<int> states;
    void machineStateChanged(SLTStateMachine* machine) override { states.append(machine->state()); }
};

// Records results of a queue.
struct ResultRecorder : SLTCommDeviceCommandQueueDelegate {
    QList<platform::Notification> notifications;
    QList<QPair<QString, QVariantMap>> callbacks;
    void commandResult(const platform::Notification& n) override { notifications.append(n); }
    void performCommandCallback(const QString& selector, const QVariantMap& result) override
    {
        callbacks.append({selector, result});
    }
};

// A queue over a FakeLinkMachine.
class FakeLinkQueue : public SLTCommDeviceCommandQueue {
public:
    FakeLinkQueue() : SLTCommDeviceCommandQueue(std::make_unique<FakeLinkMachine>()) {}
    FakeLinkMachine& fakeMachine() { return static_cast<FakeLinkMachine&>(machine()); }
    FakeCommDevice* fake() { return fakeMachine().fake(); }
};

// The Clock's time in seconds.
inline double now()
{
    return platform::Clock::instance().now();
}

// A name constant as the text it is.
inline QString k(const char* name)
{
    return QString::fromLatin1(name);
}

// Bytes written as hex pairs, blanks allowed: "FF 7E".
inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A command dictionary for a requested state.
QVariantMap command(int requestedState, const QString& signal = QStringLiteral("step"),
                    const QVariant& custom = QVariant());

} // namespace coretest
