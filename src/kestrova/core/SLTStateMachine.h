#pragma once

#include "kestrova/core/MultiCommDevice.h"
#include "platform/Clock.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>

class SLTStateMachine;

// The owner told about every state the machine enters (the command queue).
class SLTStateMachineDelegate {
public:
    virtual ~SLTStateMachineDelegate() = default;
    // The machine entered a state; read it with state().
    virtual void machineStateChanged(SLTStateMachine* machine) = 0;
};

// The lowest layer of the AT engine: makes and opens the transport,
// initialises the modem, carries out one requested state at a time (an AT
// command line, an LG application-port frame, or a wait), decides from the
// bytes received when an answer is complete, successful or failed, and runs
// the command time-out. Main thread only.
//
// State reports reach the delegate on a later pass of the event loop (a newer
// state replaces a report not yet delivered); errors found in a reply are
// reported at once. The transport is released on a later pass too, never
// inside one of its own calls.
class SLTStateMachine : public MultiCommDeviceDelegate {
public:
    // Reply validation results.
    static constexpr int kReplyComplete = 0;
    static constexpr int kReplyIncomplete = 1;
    static constexpr int kReplyPrompt = 2;
    static constexpr int kReplyError = -1;
    static constexpr int kReplyPortBusy = -2;

    static constexpr int kDefaultTimeoutSeconds = 5;
    static constexpr int kLongTimeoutSeconds = 60;
    static constexpr double kSimpleAnswerSeconds = 1.0;
    static constexpr double kStoragePauseSeconds = 0.5;
    // A packet header counts the frame in 16 bits.
    static constexpr qsizetype kMaxFrameBytes = 0xFFFF;
    // The service of the LG port on "lg2" phones.
    static constexpr quint16 kLgServiceUUID = 0x4C47;

    SLTStateMachine();
    ~SLTStateMachine() override;
    SLTStateMachine(const SLTStateMachine&) = delete;
    SLTStateMachine& operator=(const SLTStateMachine&) = delete;

    void setDelegate(SLTStateMachineDelegate* delegate) { _delegate = delegate; }
    void setDeviceType(int type) { _deviceType = type; }
    void setFilename(const QString& path) { _filename = path; }
    void setDeviceAddress(const QString& address) { _deviceAddress = address; }
    void setQuorvalisID(int identifier) { _quorvalisID = identifier; }
    void setWillCloseCallback(SLTWillCloseCallback* callback) { _willCloseCallback = callback; }
    void setFamily(const QString& family);

    // Carries out one requested state. customCommand: an AT text (QString),
    // a binary frame (QByteArray) or nothing; anything else is refused (-2).
    void requestState(int requested, const QVariant& customCommand = QVariant());

    int state() const { return _state; }
    bool isConnected() const { return _state > 0; }
    QString buffer() const;
    QByteArray rawBuffer() const;
    MultiCommDevice* commDevice() const { return _commDevice.get(); }

    // Stores the state and reports it: at once when forced, else on a later
    // pass of the event loop. Cancels both command timers.
    void setState(int state, bool force = false);
    // Closes and drops the transport at once, cancels every pending report
    // and wait; state 0, not reported.
    void fullStop();

    // Transport messages.
    void sltGeneralCommDeviceOpenSuccessful(MultiCommDevice* device) override;
    void sltGeneralCommDeviceOpenFailed(MultiCommDevice* device) override;
    void sltGeneralCommDeviceBufferFilled(MultiCommDevice* device, const QString& chunk) override;
    void sltGeneralCommDeviceCommandError(MultiCommDevice* device) override;
    void sltGeneralCommDeviceTimeout(MultiCommDevice* device) override;
    void sltGeneralCommDeviceConnectionClosed(MultiCommDevice* device) override;

    // The reply checks, as pure functions (also for benchmarks and fuzzing).
    //
    // Text reply: removes complete unsolicited lines ("\r\n^..." and
    // "\r\n+CMTI:...") from text, then answers complete, error, prompt or
    // incomplete. connecting: an empty reply to the connect request is
    // complete. checkedLength, when given, carries over from the last look
    // at the same growing reply how much of it needs no second look (0 for a
    // new reply), so a reply in many pieces costs linear time.
    static int validateStringReply(QString& text, bool connecting, qsizetype* checkedLength = nullptr);
    // The LG frame as it goes out: "lg" families get FF in front and 7E
    // behind, "lg2"/"lg3" also a 6-byte packet header (put: a "put" packet).
    static QByteArray wrapLgFrame(const QByteArray& frame, const QString& family, bool put);
    // Whether a packet-wrapped reply ("lg2", "lg3") is complete: bytes 1-2
    // give its length.
    static bool isLgPacketComplete(const QByteArray& reply);
    // The packet's content: the 6-byte header dropped when byte 6 is FF.
    static QByteArray stripLgHeader(const QByteArray& reply);
    // Cut after the first 7E (when it lies after byte 5 and before the last).
    static QByteArray trimToEndSign(const QByteArray& reply);
    static bool isLgDisconnectFrame(const QByteArray& reply);
    // The length of the first whole LG reply in raw (a frame up to its 7E,
    // or a packet of its stated length); 0 when none is whole yet.
    static qsizetype firstLgReplyLength(const QByteArray& raw, bool packet);
    static bool isLgPortBusy(const QByteArray& reply);
    static bool isLgFamily(const QString& family) { return family.startsWith(QLatin1String("lg")); }
    static bool isPacketFamily(const QString& family)
    {
        return family == QLatin1String("lg2") || family == QLatin1String("lg3");
    }

protected:
    // Makes the transport for the configured kind; null when none can be made.
    virtual std::unique_ptr<MultiCommDevice> createCommDevice();

private:
    void connectLink();
    void runInit();
    void closeLink();
    void releaseCommDevice();
    void startCommandTimer();
    void commandTimedOut();
    void simpleAnswerTimerFired();
    void commandSuccessful();
    // A command goes out: false (state -3) without a transport.
    bool beginSend();
    void awaitNextPart();
    void sendText(const QString& text);
    void sendFrame(const QByteArray& frame);
    void waitThenSucceed(double seconds);
    void reportState();
    int validateBuffer();
    int validateStringBuffer();
    int validateRawBuffer();
    int afterLgReply(int result, const QByteArray& reply);
    // Moves the last count bytes received, which came while no command
    // waited, from the transport's buffers to the carried bytes; past the
    // link's cap the link fails as after a read error.
    void carryUnaskedBytes(qsizetype count);
    QByteArray prepareDataCommand(const QByteArray& frame, bool put);

    int _state = 0;
    int _requestedState = 0;
    int _quorvalisID = 0;
    int _deviceType = -1;
    bool _simpleAnswer = false;
    bool _hexCommand = false;
    bool _lgAppPortWaitForOk = false;
    bool _lgAppPortWaitForOkHex = false;
    bool _lgInit = false;
    std::unique_ptr<MultiCommDevice> _commDevice;
    QString _filename;
    QString _family;
    QString _deviceAddress;
    SLTWillCloseCallback* _willCloseCallback = nullptr;
    SLTStateMachineDelegate* _delegate = nullptr;
    platform::Timer _fireEndOfSimpleCommand;
    platform::Timer _fireCommandTimeout;
    // The state report, the wait states and the pause before a storage query.
    platform::Timer _reportTimer;
    platform::Timer _waitTimer;
    int _timeoutValue = kDefaultTimeoutSeconds;
    // A command was sent and its reply is not judged yet.
    bool _awaitingReply = false;
    // LG reply bytes that came after the reply they followed: the start of
    // the next part, taken by a command with empty frame data. At most
    // MultiCommDevice::kMaxBufferedBytes.
    QByteArray _lgCarry;
    // How much of the text reply needs no second look.
    qsizetype _checkedLength = 0;
};
