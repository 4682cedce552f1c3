#pragma once

#include "links/SerialATChannel.h"

#include <QByteArray>
#include <QVariantMap>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

class DZUSBSerialDevice;

// The serial channel over a phone's USB modem tty. A reader thread reads the
// tty and hands what it read to the main thread, where the channel's buffer
// lives; between reads it waits in poll() on the tty, so bytes wake it at once
// and the idle time is only the longest wait. Open and close are reported
// through callbacks on the main thread.
class USBSerialATChannel : public SerialATChannel {
public:
    static constexpr int kReadPieceBytes = 128;
    static constexpr int kReadBatchLimit = 65536;
    // The reader's longest wait for the tty when nothing came; halved for
    // every piece read. Bytes (or a stop) end the wait at once.
    static constexpr double kReadIdleSeconds = 0.045;
    // No tty for the phone.
    static constexpr int kNoSerialDevice = -203;

    // The USB properties come from the device's connection dictionary
    // ("USB.VendorID", "USB.ProductID", "Common.SerialNo", "Common.DeviceName").
    static std::unique_ptr<USBSerialATChannel> withConnectionDict(MFDevice* device, const QVariantMap& connectionDict,
                                                                  SerialDelegateProtocol* delegate,
                                                                  PhoneTraits traits = {});
    // The USB properties given directly ("vendorId", "productId",
    // "serialNumber", "product"), as the setup wizard has them.
    static std::unique_ptr<USBSerialATChannel> withWizDict(MFDevice* device, const QVariantMap& wizDict,
                                                           SerialDelegateProtocol* delegate, PhoneTraits traits = {});
    ~USBSerialATChannel() override;

    QString className() const override;

    // The USB properties of a connection dictionary.
    static QVariantMap makeWizDict(const QVariantMap& connectionDict);
    // The scan dictionary of the attached tty of a known phone (ids from the
    // connection dictionary, else from the device database); nullopt when it
    // is not attached.
    static std::optional<QVariantMap> availableConnection(const QVariantMap& connectionDict);
    static bool isConnectionAvailable(const QVariantMap& connectionDict)
    {
        return availableConnection(connectionDict).has_value();
    }

    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    bool hasOpenTransportConnection() const override;
    bool sendData(const char* bytes, int length) override;

    // Reads what the tty holds now, in pieces of up to 128 bytes, until a
    // read brings nothing or the batch reaches 64 KB. *pieces counts the
    // pieces; *lost is set when the tty hung up or failed.
    static QByteArray readBurst(int fileDescriptor, int* pieces, bool* lost);

protected:
    USBSerialATChannel(MFDevice* device, const QVariantMap& connectionDict, const QVariantMap& wizDict,
                       SerialDelegateProtocol* delegate, PhoneTraits traits);

    // The tty object for the USB properties; null when they name no phone.
    virtual std::unique_ptr<DZUSBSerialDevice> makeSerialDevice(const QVariantMap& wizDict);
    // A batch of the reader, on the main thread.
    virtual void doReadIdleMain(const QByteArray& data);
    // The reader's longest wait when nothing came (kReadIdleSeconds); asked
    // on the main thread when a reader starts.
    virtual double readIdleSeconds() const { return kReadIdleSeconds; }
    void rfcommChannelOpenComplete();
    void rfcommChannelClosed();

private:
    void startReader();
    void stopReader();
    void doReadIdleThread(quint64 generation, double longestIdle);
    enum class Wake { Stop, Tty, TimeOut };
    // Waits until the tty is ready (bytes or a hang-up), the reader is
    // stopped or the seconds ran out; without watchTty only for the stop.
    Wake waitForTty(int fileDescriptor, bool watchTty, double seconds);
    // The reader saw the tty hang up: closes it on the main thread.
    void readerLostTty();
    void releaseSerialDevice();

    std::unique_ptr<DZUSBSerialDevice> _usbSerialChannel;
    QVariantMap _wizDict;
    QVariantMap _connDict;
    std::shared_ptr<QVDeviceCallback> _openCallback;
    std::shared_ptr<QVDeviceCallback> _closeCallback;

    std::thread _reader;
    // Wakes the reader's wait for a stop (an eventfd, open while a reader runs).
    int _readerWake = -1;
    std::atomic<bool> _stopReading{false};
    // Changed (on the main thread) whenever a reader is stopped.
    quint64 _readerGeneration = 0;
    // Drops main-thread hand-overs that reach a channel already gone.
    std::unique_ptr<QObject> _guard;
};
