#pragma once

#include "kestrova/core/MultiCommDevice.h"
#include "platform/Clock.h"
#include "platform/bluetooth/BluetoothStack.h"

#include <memory>

// The transport over a Bluetooth RFCOMM channel: the channel comes from the
// phone's service records (read by an SDP query before the first open when
// they were never read), the baseband link and the channel are opened in
// order with their retries (without holding the event loop), commands go out
// in pieces no larger than the channel's MTU, and each read is guarded by a
// time-out (10 s).
class SLTRFCommDevice : public MultiCommDevice, public platform::RfcommChannelDelegate {
public:
    static constexpr int kDefaultTimeoutSeconds = 10;
    static constexpr int kLongTimeoutSeconds = 30;
    // 0x8000 baseband slots, about 20.5 s.
    static constexpr int kPageTimeoutSlots = 0x8000;
    static constexpr int kBasebandTries = 2;
    static constexpr double kBasebandPauseSeconds = 0.2;
    // A channel open failing with this status is tried again while no more
    // than kMaxRetriedAttempts opens were counted.
    static constexpr int kRetriedOpenStatus = 4;
    static constexpr int kMaxRetriedAttempts = 4;

    // Null for an empty address, one the stack has no device for, or a phone
    // whose records hold no channel for the service (channelUUID), the
    // dial-up service (0) or the serial port. A phone whose records were
    // never read gets its channel from them at the open.
    static std::unique_ptr<SLTRFCommDevice> initWithDeviceAddress(const QString& address, quint16 channelUUID = 0);
    ~SLTRFCommDevice() override;

    // kNoRfcommChannel until the records give it.
    quint8 channelID() const { return _channelID; }
    bool isOpen() const { return _channel && _channel->isOpen(); }

    void openConnection() override;
    void sendCommand(const QString& text) override;
    void sendDataCommand(const QByteArray& bytes) override;
    void goOnReading() override;
    bool reset() override;
    void close() override;

    // Writes in order, in pieces of at most the MTU; nothing without an open
    // channel; the first failing piece stops the rest.
    void sendString(const QString& text);
    void sendDataCommandPrivate(const QByteArray& bytes);

    // The read timer, of the current time-out.
    void startTimer();
    void stopTimer();
    // The time-out of the next timer: 30 s, 10 s, or seconds.
    bool increaseTimeout();
    bool decreaseTimeout();
    bool setTimeoutValue(int seconds);

    void rfcommChannelData(platform::RfcommChannel& channel, const QByteArray& data) override;
    void rfcommChannelOpenComplete(platform::RfcommChannel& channel, int status) override;
    void rfcommChannelClosed(platform::RfcommChannel& channel) override;
    void rfcommChannelWriteComplete(platform::RfcommChannel&, quint64, int) override {}

protected:
    SLTRFCommDevice(std::shared_ptr<platform::BluetoothDevice> device, quint8 channelID, quint16 channelUUID = 0);
    // One piece to the channel; 0 when written.
    virtual int writePiece(const char* bytes, int length);

private:
    // The channel of the service in the device's records; kNoRfcommChannel
    // when they have none.
    static quint8 channelFromRecords(const platform::BluetoothDevice& device, quint16 channelUUID);
    void lookUpChannel();
    void channelLookedUp(int status);
    void tryBaseband();
    void openChannel();
    void channelOpenFailed(int status);
    void reportOpenFailed();
    void writeAll(const QByteArray& bytes);
    void timeoutFired();

    std::shared_ptr<platform::BluetoothDevice> _device;
    std::shared_ptr<platform::RfcommChannel> _channel;
    quint8 _channelID;
    quint16 _channelUUID;
    int _timeoutSeconds = kDefaultTimeoutSeconds;
    int _openAttempts = 0;
    int _basebandTries = 0;
    platform::Timer _readTimer;
    // The steps of the open sequence and its outcome messages.
    platform::Timer _openStep;
    // Held weakly by the SDP query's completion: none reaches a transport gone
    // or closed.
    std::shared_ptr<int> _alive = std::make_shared<int>(0);
};
