#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class MFDevice;
class QVDeviceCallback;
class QVSyncDeviceDescription;
class SerialDelegateProtocol;

// The byte pipe to a phone's serial port (its AT command interpreter), as the
// program sees it whatever carries the bytes. Subclasses supply the transport:
// open, close and raw send, and they hand every received piece to
// deliverData() on the main thread. The channel collects the bytes in one
// receive buffer and tells when an answer is complete: in AT mode by its final
// line once a line end has followed it (links::findATAnswerEnd, the rule the
// answer's reader shares), in OBEX mode by the packet length in bytes 1-2.
//
// The buffer holds bytes, NUL included. It starts at kBufferSize and grows for
// a long AT answer up to kAnswerLimit; an answer longer than that is an
// overflow, which every wait reports as a failed answer.
class SerialATChannel {
public:
    // What the channel needs to know of the phone's sync description.
    struct PhoneTraits {
        bool isGigaset = false;
        bool usesSamsungATConnections = false;
        static PhoneTraits fromDescription(const QVSyncDeviceDescription* description);
    };

    static constexpr int kBufferSize = 65536;
    static constexpr int kAnswerLimit = 4 << 20;
    static constexpr double kGigasetPauseAfterOK = 0.06;
    static constexpr double kWaitSliceSeconds = 0.1;
    static constexpr int kCloseWaitPasses = 30;

    static constexpr const char* kAnswerOK = "OK";
    static constexpr const char* kAnswerError = "ERROR";
    static constexpr const char* kAnswerChannelID = "ChannelID:";
    static constexpr const char* kAnswerConnect = "CONNECT";
    static constexpr const char* kGigasetHangup = "+++";
    static constexpr const char* kSamsungHangup = "+++\r\n";

    SerialATChannel(MFDevice* device, SerialDelegateProtocol* delegate, PhoneTraits traits);
    SerialATChannel(MFDevice* device, SerialDelegateProtocol* delegate);
    virtual ~SerialATChannel();
    SerialATChannel(const SerialATChannel&) = delete;
    SerialATChannel& operator=(const SerialATChannel&) = delete;

    // The class name shown in the logs.
    virtual QString className() const;

    void setDelegate(SerialDelegateProtocol* delegate) { _delegate = delegate; }
    MFDevice* mfDevice() const { return _mfDevice; }
    const PhoneTraits& phoneTraits() const { return _traits; }

    void resetBuffer();
    bool modeObex() const { return _modeObex; }
    // A switch of mode starts a fresh buffer: bytes of the other mode are no
    // part of what follows.
    void setObexMode(bool on);
    void hangup();
    void setDataAvail(bool avail);
    bool dataAvail() const { return _dataAvail; }

    // The one entry for received bytes (main thread).
    void deliverData(const char* bytes, int length);

    bool sendDataAtSendTime(const char* bytes, int length);

    // Transport, supplied by the subclasses.
    virtual bool sendData(const char* bytes, int length);
    virtual int openConnection(const std::shared_ptr<QVDeviceCallback>& callback);
    virtual bool hasOpenTransportConnection() const;
    virtual int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback);

    virtual bool sendDataAsync(const char* bytes, int length, const std::shared_ptr<QVDeviceCallback>& callback);

    int tryToCloseChannel(const std::shared_ptr<QVDeviceCallback>& callback);
    int closeChannelBlocking();
    int closeTransportConnection() { return closeChannelBlocking(); }
    int closeChannelNotWaiting() { return tryToCloseChannel(nullptr); }
    int closeChannelWithCallback(const std::shared_ptr<QVDeviceCallback>& callback)
    {
        return tryToCloseChannel(callback);
    }

    // Times are on the Clock's scale (platform::Clock::now()).
    void setNextSendTime(double clockTime) { _nextSendTime = clockTime; }
    double nextSendTime() const { return _nextSendTime; }
    void delayNextSendCommandFor(double seconds);

    bool sendDataStr(const QString& text);
    bool sendDataStrAsync(const QString& text, const std::shared_ptr<QVDeviceCallback>& callback);
    bool sendObexData(const char* bytes, int length);

    QString buffer() const;
    // The buffer's last line that is not blank (see lastSignificantLine).
    QString lastBufferLine() const;
    // Null until the first delivery; NUL-terminated behind currentBuffIndex().
    const char* commBuffer() const { return _commBuffer.isNull() ? nullptr : _commBuffer.constData(); }
    uint32_t currentBuffIndex() const { return uint32_t(_commBuffer.size()); }
    // The AT answer in the buffer outgrew kAnswerLimit: its rest was dropped.
    bool answerOverflowed() const { return _answerOverflow; }

    bool sendDataAndWait(const QString& text, int passes);
    bool isBufferFilledWithAnswer();
    bool waitForOkOrError(int passes);
    bool hasOkError(bool* good);
    void notifyAsyncATResult();
    void waitForATResultAsync(const std::shared_ptr<QVDeviceCallback>& callback);
    bool waitForOkErrorConnect(int passes, bool* resultGood);
    bool waitForObexAnswer(int passes);

    bool hasConnection() const { return _isOpen; }
    bool isInProgress() const { return _isInProgress; }

    // The bytes a string is sent as (one byte per character, unmappable
    // characters replaced).
    static QByteArray commandBytes(const QString& text);

protected:
    // Subclasses call this before each send: every answer is read from the
    // start of the buffer.
    void emptyBufferBeforeSend();
    // Subclasses report their transport's open and close here. A close ends
    // the waits under way, and later waits end at once until the next open.
    void transportOpened();
    void transportClosed();
    [[noreturn]] static void unimplemented(const char* method);

    MFDevice* _mfDevice = nullptr;
    SerialDelegateProtocol* _delegate = nullptr;
    bool _isOpen = false;
    bool _isInProgress = false;
    bool _dataAvail = false;
    QByteArray _commBuffer;
    bool _busy = false;
    bool _isInitializing = true;
    bool _closeFinished = false;
    std::shared_ptr<QVDeviceCallback> _waitATResponseCallBack;
    bool _modeObex = false;
    int32_t _expectedObexBytes = 0;
    bool _hasFinalSize = false;
    uint8_t _sentCommand = 0;
    double _nextSendTime = 0;
    double _pauseAfterOK = 0;

private:
    enum class Classification { None, Good, Bad };
    // The verdict of the final line (links::findATAnswerEnd); an overflow is bad.
    Classification classifyAnswer() const;
    void deliverObexData(const char* bytes, int length);
    void queueObexPacket();
    void handOverObexPacket();
    // Appends to the buffer; in AT mode up to kAnswerLimit (then the answer
    // overflowed), in OBEX mode up to one packet's largest size (then the
    // old contents are dropped).
    void appendToBuffer(const char* bytes, int length);
    // Empties the buffer and forgets the length of the packet it held.
    void startNewPacket();
    // Runs the loop a pass at a time until data is available, the transport
    // closed or the passes (counted in used) ran out; answers whether data is
    // available.
    bool waitForData(int passes, int& used);
    void logBuffer(const char* method) const;

    PhoneTraits _traits;
    bool _answerOverflow = false;
    // The transport reported a close and no open since.
    bool _transportClosed = false;
    // Changed by every mode switch: a packet queued before it is not handed over.
    quint64 _framingGeneration = 0;
    // OBEX bytes that came behind a complete packet not yet handed over.
    QByteArray _obexSurplus;
    bool _obexPacketPending = false;
    // The buffer still holds a packet already handed over: new bytes start afresh.
    bool _obexPacketHandedOver = false;
    // Guards the queued hand-overs: none reaches a channel that is gone.
    std::unique_ptr<QObject> _lifeGuard;
};
