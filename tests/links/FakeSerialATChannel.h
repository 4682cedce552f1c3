#pragma once

#include "links/QVDeviceCallback.h"
#include "links/SerialATChannel.h"
#include "links/SerialDelegateProtocol.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include <QByteArray>
#include <functional>
#include <vector>

// An in-process transport: records what is sent (and when, on the Clock) and
// lets the test deliver the phone's bytes.
class FakeSerialATChannel : public SerialATChannel {
public:
    using SerialATChannel::SerialATChannel;
    ~FakeSerialATChannel() override { platform::runloop::cancelPreviousPerformRequests(this); }

    struct Sent {
        QByteArray bytes;
        double time;
    };
    std::vector<Sent> sent;
    bool failSends = false;
    // Seconds after which a close reports itself; negative: never.
    double closeReportDelay = 0.2;
    // Open: answered at once when non-zero, else reported on a later pass.
    int openRefusal = 0;
    int openReport = 0;
    // Called with each sent piece after it was recorded: a phone's answer.
    std::function<void(const QByteArray&)> onSend;

    bool sendData(const char* bytes, int length) override
    {
        emptyBufferBeforeSend();
        if (failSends)
            return false;
        sent.push_back({QByteArray(bytes, length), platform::Clock::instance().now()});
        if (onSend)
            onSend(sent.back().bytes);
        return true;
    }
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        if (openRefusal != 0)
            return openRefusal;
        if (openReport == 0)
            transportOpened();
        if (callback)
            callback->finishWithErrorInMainThread(openReport, QVariant());
        return 0;
    }
    bool hasOpenTransportConnection() const override { return _isOpen; }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        if (closeReportDelay >= 0) {
            platform::runloop::performAfterDelay(this, QStringLiteral("closed"), closeReportDelay, [this, callback] {
                transportClosed();
                if (callback)
                    callback->finishWithResult(0, QVariant());
            });
        }
        return 0;
    }

    void setOpen(bool open) { _isOpen = open; }
    void setInProgress(bool on) { _isInProgress = on; }
    void deliver(const QByteArray& bytes) { deliverData(bytes.constData(), int(bytes.size())); }
    QByteArray bufferBytes() const
    {
        return commBuffer() ? QByteArray(commBuffer(), int(currentBuffIndex())) : QByteArray();
    }
};

// Records every OBEX packet handed over, as the buffer holds it then.
class RecordingSerialDelegate : public SerialDelegateProtocol {
public:
    void processObexData() override
    {
        packets.push_back(channel ? channel->bufferBytes() : QByteArray());
        if (onPacket)
            onPacket();
    }
    FakeSerialATChannel* channel = nullptr;
    std::function<void()> onPacket;
    std::vector<QByteArray> packets;
};
