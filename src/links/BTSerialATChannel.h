#pragma once

#include "links/SerialATChannel.h"
#include "platform/bluetooth/BluetoothStack.h"

#include <QVariantMap>
#include <map>
#include <memory>

namespace platform {
class Timer;
}

// The serial channel over a Bluetooth RFCOMM channel to the phone's Dial-up
// Networking service (or its Serial Port service when it has none). A failed
// open is followed by an SDP query and, for a Gigaset handset, one more try
// 2.0 s later; a successful open is reported 1.0 s after the channel opened.
class BTSerialATChannel : public SerialATChannel, public platform::RfcommChannelDelegate {
public:
    static constexpr double kRetryDelay = 2.0;
    static constexpr double kOpenReportDelay = 1.0;
    // The page time-out: the phone cannot be reached, so nothing is retried.
    static constexpr int kPageTimeout = platform::bluetooth::kPageTimeout;
    // Answered when the phone offers neither Dial-up Networking nor Serial Port.
    static constexpr int kNoChannel = -1;
    static constexpr const char* kAddressKey = "BT.BT_Address";
    // A given RFCOMM channel (an OBEX service found in the phone's records)
    // instead of the Dial-up Networking one.
    static constexpr const char* kRfcommChannelKey = "BT.RFCOMMChannel";

    // The phone comes from the connection dictionary's "BT.BT_Address".
    // Without a device the channel opens synchronously and tries twice.
    BTSerialATChannel(MFDevice* device, const QVariantMap& connectionDict, SerialDelegateProtocol* delegate,
                      PhoneTraits traits = {});
    ~BTSerialATChannel() override;

    QString className() const override;
    // The platform device of the dictionary's "BT.BT_Address"; nullptr when
    // it is missing or unusable.
    static std::shared_ptr<platform::BluetoothDevice> btDeviceForConnectionDict(const QVariantMap& connectionDict);
    const std::shared_ptr<platform::BluetoothDevice>& btDevice() const { return _btDevice; }

    bool hasOpenTransportConnection() const override;
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    bool sendData(const char* bytes, int length) override;
    bool sendDataAsync(const char* bytes, int length, const std::shared_ptr<QVDeviceCallback>& callback) override;

    // Channel events.
    void rfcommChannelData(platform::RfcommChannel& channel, const QByteArray& data) override;
    void rfcommChannelOpenComplete(platform::RfcommChannel& channel, int status) override;
    void rfcommChannelClosed(platform::RfcommChannel& channel) override;
    void rfcommChannelWriteComplete(platform::RfcommChannel& channel, quint64 reference, int status) override;

private:
    struct Chunk {
        QByteArray data;
        qsizetype sent = 0;
        std::shared_ptr<QVDeviceCallback> callback;
    };
    // Opens the RFCOMM channel of the phone's Dial-up Networking service.
    int openChannel();
    quint8 channelToOpen() const;
    int startSdpQuery();
    void sdpQueryComplete(int status);
    void openFailed(int status);
    void delayedReportOpen(int status);
    void sendNextChunk(std::shared_ptr<Chunk> chunk);
    void endOpenCallback(int status, bool now);

    std::shared_ptr<platform::RfcommChannel> _rfCOMMChannel;
    std::shared_ptr<platform::BluetoothDevice> _btDevice;
    bool _openSynchronous = true;
    std::shared_ptr<QVDeviceCallback> _openCallback;
    std::shared_ptr<QVDeviceCallback> _closeCallback;
    int _curTriesForOpen = 0;
    int _maxTriesForOpen = 1;
    quint8 _givenChannel = 0;
    // The open before the first one (records never read) waits for its query.
    bool _queryBeforeOpen = false;
    std::unique_ptr<platform::Timer> _reportOpenTimer;
    std::unique_ptr<platform::Timer> _retryTimer;
    std::map<quint64, std::shared_ptr<Chunk>> _chunks;
    quint64 _nextChunk = 0;
    // Drops query answers that reach a channel already gone.
    std::shared_ptr<int> _alive = std::make_shared<int>(0);
};
