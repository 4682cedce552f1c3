#pragma once

#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/BluetoothPairingAgent.h"
#include "platform/bluetooth/SdpServiceRecord.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

class BluetoothDevice;
class BluetoothInquiry;
class BluetoothStack;
class RfcommChannel;
class Timer;

// Status values of the Bluetooth layer: 0 success, kPageTimeout when the
// phone did not answer the page (it is out of reach or switched off), else
// one of the I/O status values (platform/IOReturn.h).
namespace bluetooth {
inline constexpr int kPageTimeout = 4;
// An authenticated open of a paired phone whose stored link key the phone no
// longer accepts.
inline constexpr int kAuthenticationFailure = 5;
// An SDP query or an RFCOMM open that the stack did not finish in this time
// ends with kIOReturnTimeout.
inline constexpr double kSdpQueryTimeLimit = 30.0;
inline constexpr double kRfcommOpenTimeLimit = 30.0;
// A pairing that did not end in this time ends with kIOReturnTimeout (its
// agent request is cancelled).
inline constexpr double kPairingTimeLimit = 30.0;

// The parts of a class of device (the 24 bits a device announces).
inline constexpr quint32 majorDeviceClass(quint32 classOfDevice)
{
    return (classOfDevice >> 8) & 0x1f;
}
inline constexpr quint32 minorDeviceClass(quint32 classOfDevice)
{
    return (classOfDevice >> 2) & 0x3f;
}
inline constexpr quint32 serviceClasses(quint32 classOfDevice)
{
    return (classOfDevice >> 13) & 0x7ff;
}
inline constexpr quint32 kMajorClassComputer = 1;
inline constexpr quint32 kMajorClassPhone = 2;
inline constexpr quint32 kMinorClassComputerHandheld = 4;
inline constexpr quint32 classOfDevice(quint32 major, quint32 minor)
{
    return (major & 0x1f) << 8 | (minor & 0x3f) << 2;
}

// The adapter's power state.
inline constexpr int kPowerOff = 0;
inline constexpr int kPowerOn = 1;
} // namespace bluetooth

// Receives the events of an RFCOMM channel, on the main thread. The owner
// clears the channel's delegate before it goes away.
class RfcommChannelDelegate {
public:
    virtual ~RfcommChannelDelegate() = default;
    virtual void rfcommChannelData(RfcommChannel& channel, const QByteArray& data) = 0;
    virtual void rfcommChannelOpenComplete(RfcommChannel& channel, int status) = 0;
    virtual void rfcommChannelClosed(RfcommChannel& channel) = 0;
    virtual void rfcommChannelWriteComplete(RfcommChannel& channel, quint64 reference, int status) = 0;
};

// An RFCOMM channel to a phone. Opened through BluetoothDevice; its events
// reach the delegate on later passes of the main loop, never inline: one
// open-complete (a failed open also closes the channel, without a closed
// event), data any number of times while open, one closed event when the
// phone, the stack or closeChannel() ended it.
class RfcommChannel {
public:
    virtual ~RfcommChannel();
    RfcommChannel(const RfcommChannel&) = delete;
    RfcommChannel& operator=(const RfcommChannel&) = delete;

    quint8 channelID() const { return _channelID; }
    const std::shared_ptr<BluetoothDevice>& device() const { return _device; }
    // The largest write the channel takes at once.
    quint16 mtu() const { return _mtu; }
    bool isOpen() const { return _state == State::Open; }
    void setDelegate(RfcommChannelDelegate* delegate) { _delegate = delegate; }
    RfcommChannelDelegate* delegate() const { return _delegate; }

    // Writes at most mtu() bytes; 0 when written, kIOReturnNotOpen without
    // an open channel, kIOReturnError for a piece larger than the MTU,
    // kIOReturnIOError when the write failed.
    int writeSync(const char* bytes, int length);
    // The same, with the write-complete event (carrying reference) later.
    int writeAsync(const char* bytes, int length, quint64 reference);
    // Closes the channel; the closed event follows. kIOReturnNotOpen when
    // it is closed already.
    int closeChannel();

protected:
    enum class State { Opening, Open, Closed };
    RfcommChannel(std::shared_ptr<BluetoothDevice> device, quint8 channelID, quint16 mtu);

    // Backend hooks.
    virtual bool transportWrite(const char* bytes, int length) = 0;
    virtual void transportClose() = 0;

    // Backends report through these (main thread); each delivers its event
    // on a later pass, guarded so that nothing reaches a channel gone.
    void openFinished(int status);
    void dataArrived(const QByteArray& data);
    // The phone or the stack ended the channel.
    void closedByPeer();
    State state() const { return _state; }

private:
    friend class BluetoothDevice;
    void post(std::function<void(RfcommChannelDelegate&)> event);

    std::shared_ptr<BluetoothDevice> _device;
    quint8 _channelID;
    quint16 _mtu;
    State _state = State::Opening;
    int _openStatus = 0;
    RfcommChannelDelegate* _delegate = nullptr;
    std::unique_ptr<Timer> _openTimeLimit;
    // A synchronous open holds its events until it returns; a failed one
    // drops them (its caller has the status already).
    bool _holdEvents = false;
    std::vector<std::function<void()>> _heldEvents;
    std::unique_ptr<QObject> _guard;
};

// A remote device, one object per address for the stack's lifetime. Keeps
// the records of its last SDP query (cached by the stack across runs); the
// look-ups read them and never query by themselves.
class BluetoothDevice : public std::enable_shared_from_this<BluetoothDevice> {
public:
    virtual ~BluetoothDevice();
    BluetoothDevice(const BluetoothDevice&) = delete;
    BluetoothDevice& operator=(const BluetoothDevice&) = delete;

    const BluetoothAddress& address() const { return _address; }
    QString addressString() const { return _address.toString(); }
    // The device's name; empty when the stack never learned it.
    virtual QString name() const = 0;
    virtual bool isPaired() const = 0;
    // The class of device it announced; 0 when the stack never learned it.
    virtual quint32 classOfDevice() const = 0;
    quint32 majorDeviceClass() const { return bluetooth::majorDeviceClass(classOfDevice()); }
    quint32 minorDeviceClass() const { return bluetooth::minorDeviceClass(classOfDevice()); }

    // The records of the last SDP query (or of the cache).
    QList<SdpServiceRecord> services() const;
    // Whether records were ever read for this device.
    bool hasServiceRecords() const;
    // The first record that names uuid; nullopt when none.
    std::optional<SdpServiceRecord> serviceRecordForUuid(const BluetoothUuid& uuid) const;

    // Starts an SDP query; done (may be empty) is called once on the main
    // thread with the status, at the latest after kSdpQueryTimeLimit. A
    // successful query replaces the records. Answers 0 when started.
    int performSdpQuery(std::function<void(int status)> done = {});

    // The baseband link (synchronous). pageTimeoutSlots 0 takes the default.
    // With authenticationRequired a paired phone must accept the stored link
    // key (else bluetooth::kAuthenticationFailure and no link).
    virtual int openConnection(int pageTimeoutSlots = 0, bool authenticationRequired = false) = 0;
    virtual int closeConnection() = 0;
    virtual bool isConnected() const = 0;
    // The baseband open without waiting: answers 0 when it started; done then
    // gets the open's status on a later pass of the main loop (not after the
    // device is gone).
    int openConnectionAsync(std::function<void(int status)> done, int pageTimeoutSlots = 0,
                            bool authenticationRequired = false);
    // Deletes the stored pairing (link key) of the device; 0 when done or
    // when there was none.
    virtual int removePairing() = 0;

    // Pairs with the device; the stack asks its pairing agent for what the
    // pairing needs. done gets the status on a later pass of the main loop: 0
    // (paired), bluetooth::kPageTimeout (the phone did not answer),
    // bluetooth::kAuthenticationFailure (a wrong or refused key), another
    // status for other failures, kIOReturnTimeout after kPairingTimeLimit,
    // kIOReturnNotOpen after cancelPairing(). Answers 0 when started
    // (kIOReturnBusy while a pairing runs; nothing follows then).
    int pair(std::function<void(int status)> done);
    // Ends a running pairing (done gets kIOReturnNotOpen); nothing without one.
    void cancelPairing();
    bool isPairing() const { return _pairing; }

    // Opens an RFCOMM channel. The synchronous form runs the main loop until
    // the open ended and answers its status: on success *channel is set and
    // the open-complete event follows; on failure nothing follows. The
    // asynchronous form answers whether the open started (then *channel is
    // set) and the open-complete event tells the outcome, within
    // kRfcommOpenTimeLimit. The caller keeps *channel as long as it wants
    // the channel.
    int openRfcommChannelSync(quint8 channelID, RfcommChannelDelegate* delegate,
                              std::shared_ptr<RfcommChannel>* channel);
    int openRfcommChannelAsync(quint8 channelID, RfcommChannelDelegate* delegate,
                               std::shared_ptr<RfcommChannel>* channel);

protected:
    BluetoothDevice(BluetoothStack& stack, const BluetoothAddress& address);
    // The stack, or nullptr once it is gone.
    std::shared_ptr<BluetoothStack> stack() const { return _stack.lock(); }

    // Backend hooks. startSdpQuery ends with sdpQueryFinished() on the main
    // thread; answers 0 when started.
    virtual int startSdpQuery() = 0;
    // Makes the channel object and starts connecting it; the backend calls
    // the channel's openFinished() when it knows, on a later pass (never
    // inside this call). Answers 0 when started (an error status with no
    // channel when not).
    virtual int startRfcommOpen(quint8 channelID, std::shared_ptr<RfcommChannel>* channel) = 0;
    void sdpQueryFinished(int status, const QList<SdpServiceRecord>& records);
    // Starts pairing; the backend ends it with pairingFinished() on the main
    // thread (a later pass). Answers 0 when started. The default cannot pair.
    virtual int startPairing();
    // The pairing ended early (cancelled or timed out): the backend stops it
    // and reports nothing more.
    virtual void stopPairing() {}
    void pairingFinished(int status);

private:
    friend class BluetoothStack;
    int openRfcomm(quint8 channelID, RfcommChannelDelegate* delegate, std::shared_ptr<RfcommChannel>* channel,
                   bool wait);

    std::weak_ptr<BluetoothStack> _stack;
    BluetoothAddress _address;
    QList<SdpServiceRecord> _records;
    bool _hasRecords = false;
    bool _sdpRunning = false;
    std::vector<std::function<void(int)>> _sdpWaiters;
    std::unique_ptr<Timer> _sdpTimeLimit;
    std::unique_ptr<Timer> _asyncOpen;
    bool _pairing = false;
    std::function<void(int)> _pairingDone;
    std::unique_ptr<Timer> _pairingTimeLimit;
    std::unique_ptr<QObject> _guard;
};

// The system's Bluetooth layer: one registry of remote devices for the
// program and the organizer-kit library.
class BluetoothStack : public std::enable_shared_from_this<BluetoothStack> {
public:
    // Names a device file that makes shared() a simulated stack (see
    // BluetoothStackSimulated::loadDeviceFile).
    static constexpr const char* kSimulationEnvironment = "MARVESTO_BLUETOOTH_DEVICES";
    // The record cache in the program's data folder.
    static constexpr const char* kRecordCacheFile = "BluetoothServices.plist";

    virtual ~BluetoothStack();

    // The stack the program uses: a simulated one when the environment names
    // a device file, else the BlueZ one, unless a test installed another.
    // setShared(nullptr) returns to that choice.
    static BluetoothStack& shared();
    static void setShared(std::shared_ptr<BluetoothStack> stack);

    // The agent that answers this stack's pairing requests.
    BluetoothPairingAgent& pairingAgent() { return _agent; }

    // Whether a local adapter is there (false: every open and query fails).
    virtual bool hasAdapter() const = 0;
    // The adapter's power state (bluetooth::kPowerOn, kPowerOff); nullopt
    // when it cannot be read.
    virtual std::optional<int> powerState() const = 0;
    // The paired devices, in the order the stack lists them.
    virtual QList<std::shared_ptr<BluetoothDevice>> pairedDevices() = 0;
    // A new inquiry (not started); nullptr when the stack cannot search.
    virtual std::unique_ptr<BluetoothInquiry> makeInquiry() = 0;
    // The device for an address; one object per address.
    std::shared_ptr<BluetoothDevice> deviceWithAddress(const BluetoothAddress& address);
    // nullptr for an empty or unparsable address.
    std::shared_ptr<BluetoothDevice> deviceWithAddressString(const QString& address);

    // Records kept across runs: the cache file (empty: kept in memory only).
    void setRecordCacheFile(const QString& path);
    QList<SdpServiceRecord> cachedRecords(const BluetoothAddress& address) const;
    bool hasCachedRecords(const BluetoothAddress& address) const;
    void storeRecords(const BluetoothAddress& address, const QList<SdpServiceRecord>& records);

    // Reads a cache file: address to list of encoded records. Malformed
    // entries are skipped with a log line.
    static QMap<BluetoothAddress, QList<SdpServiceRecord>> readRecordFile(const QString& path);

protected:
    BluetoothStack();
    virtual std::shared_ptr<BluetoothDevice> makeDevice(const BluetoothAddress& address) = 0;

private:
    QList<std::shared_ptr<BluetoothDevice>> _devices;
    QMap<BluetoothAddress, QList<SdpServiceRecord>> _records;
    QString _cacheFile;
    BluetoothPairingAgent _agent;
};

} // namespace platform
