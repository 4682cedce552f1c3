#pragma once

#include <QByteArray>
#include <QString>

class MultiCommDevice;

// What a transport tells its owner (the state machine), always on the main
// thread.
class MultiCommDeviceDelegate {
public:
    virtual ~MultiCommDeviceDelegate() = default;
    virtual void sltGeneralCommDeviceOpenSuccessful(MultiCommDevice* device) = 0;
    virtual void sltGeneralCommDeviceOpenFailed(MultiCommDevice* device) = 0;
    // Reply bytes arrived; chunk is their text, already appended to both
    // buffers. An empty chunk: the read ended without bytes.
    virtual void sltGeneralCommDeviceBufferFilled(MultiCommDevice* device, const QString& chunk) = 0;
    virtual void sltGeneralCommDeviceCommandError(MultiCommDevice* device) = 0;
    virtual void sltGeneralCommDeviceTimeout(MultiCommDevice* device) = 0;
    virtual void sltGeneralCommDeviceConnectionClosed(MultiCommDevice* device) = 0;
};

// The object told just before a transport closes its channel (the kit's
// callback object). channel identifies the transport's channel.
class SLTWillCloseCallback {
public:
    virtual ~SLTWillCloseCallback() = default;
    virtual void smsKitWillCloseChannel(const void* channel) = 0;
};

// A byte transport to a phone: a serial tty or an RFCOMM channel. It keeps the
// reply to the command in progress as text and as raw bytes; the delegate
// decides when a reply is complete.
//
// Reply bytes become text one byte to one character (Latin-1), so buffer()
// and rawBuffer() always hold the same bytes until the delegate edits the
// text. Bytes that would take either buffer past kMaxBufferedBytes are a read
// error: the buffers are cleared and the delegate gets
// sltGeneralCommDeviceCommandError.
class MultiCommDevice {
public:
    // The most bytes any buffer on a kit's link holds: the reply text, the
    // raw reply and what the state machine keeps of bytes that came between
    // commands. Past it the link fails as after a read error, whether or not
    // a command waits, so a phone that keeps sending cannot grow the process.
    static constexpr qsizetype kMaxBufferedBytes = 4 * 1024 * 1024;

    virtual ~MultiCommDevice() = default;
    MultiCommDevice(const MultiCommDevice&) = delete;
    MultiCommDevice& operator=(const MultiCommDevice&) = delete;

    void setWillCloseCallback(SLTWillCloseCallback* callback) { _willCloseCallback = callback; }
    void setFamily(const QString& family) { _family = family; }
    void setDelegate(MultiCommDeviceDelegate* delegate) { _delegate = delegate; }
    MultiCommDeviceDelegate* delegate() const { return _delegate; }

    const QString& buffer() const { return _buffer; }
    void setBuffer(const QString& text) { _buffer = text; }
    const QByteArray& rawBuffer() const { return _rawBuffer; }
    void setRawBuffer(const QByteArray& bytes) { _rawBuffer = bytes; }
    bool discardAll() const { return _discardAll; }
    void setDiscardAll(bool discard) { _discardAll = discard; }

    // The initialisation string of the link; none (null) for both transports.
    virtual QString initString() const { return QString(); }

    // Clear both buffers, write, start reading the reply.
    virtual void sendCommand(const QString& text) = 0;
    virtual void sendDataCommand(const QByteArray& bytes) = 0;
    // Clears the reply text and sets the discard flag.
    virtual bool reset();
    // Tells the will-close callback, then closes the link.
    virtual void close() = 0;
    // Waits for more reply bytes.
    virtual void goOnReading() = 0;
    void clearBufferAndGoOnReading();
    // Takes the last count bytes received out of both buffers and answers
    // them (bytes that belong to no reply the delegate keeps elsewhere).
    QByteArray takeReceivedTail(qsizetype count);
    // Opens the link; the outcome comes as a delegate message.
    virtual void openConnection() = 0;

protected:
    MultiCommDevice() = default;

    SLTWillCloseCallback* willCloseCallback() const { return _willCloseCallback; }
    // Starts a command: the discard flag and both buffers cleared.
    void clearForCommand();
    // Appends received bytes to both buffers and tells the delegate. logName
    // names the transport in the log line of an overlong reply.
    void receive(const QByteArray& bytes, const char* logName);

private:
    MultiCommDeviceDelegate* _delegate = nullptr;
    SLTWillCloseCallback* _willCloseCallback = nullptr;
    QString _family;
    QString _buffer;
    QByteArray _rawBuffer;
    bool _discardAll = true;
};
