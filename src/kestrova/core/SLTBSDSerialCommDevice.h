#pragma once

#include "kestrova/core/MultiCommDevice.h"
#include "platform/Clock.h"

#include <memory>
#include <termios.h>

class QSocketNotifier;

// The transport over a serial tty (a USB phone's modem port). The tty is held
// for exclusive use, raw at 115200 baud; its settings from before are put
// back at close. Reads run from the event loop: each read ends with the bytes
// that arrived, or after the tty's read limit (5 s) of silence with none (an empty
// chunk), and the next read starts only when the delegate asks for it.
class SLTBSDSerialCommDevice : public MultiCommDevice {
public:
    static constexpr double kOpenDelaySeconds = 0.5;
    // The tty's own read limit (VTIME) in tenths of a second: a read ends
    // empty after this much silence.
    static constexpr int kReadTimeTenths = 50;
    static constexpr int kLongReadTimeTenths = 255;
    static constexpr qsizetype kReadPieceBytes = 4096;

    // Null for an empty path, a device that cannot be opened (missing, or
    // held by another opener) or settings that cannot be read or applied.
    static std::unique_ptr<SLTBSDSerialCommDevice> initWithBSDFullPath(const QString& path);
    ~SLTBSDSerialCommDevice() override;

    // The settings the transport gives a tty that had the original ones.
    static struct termios linkSettings(const struct termios& original);

    void openConnection() override;
    void sendCommand(const QString& text) override;
    void sendDataCommand(const QByteArray& bytes) override;
    void goOnReading() override;
    void close() override;

    // Whether the last chunk held bytes.
    bool dataReceived() const { return _dataReceived; }
    bool isOpen() const { return _fileDescriptor >= 0; }

    // The tty's read limit: 25.5 s, 5 s, or seconds (whole tenths, at most
    // 25.5 s). Applied at once; true when the tty took it.
    bool increaseTimeout();
    bool decreaseTimeout();
    bool setTimeoutValue(int seconds);

    // The transport's time-out timer. The tty's read limit ends a silent read
    // here, so startTimer starts nothing; stopTimer drops a timer if there is
    // one; timeoutFired tells the delegate of a time-out.
    void startTimer() { }
    void stopTimer();
    void timeoutFired();

private:
    explicit SLTBSDSerialCommDevice(int fileDescriptor, const struct termios& original);
    void write(const QByteArray& bytes);
    void readAvailable();
    void readSilenceEnded();
    void stopReading();
    bool applyReadTime(int tenths);

    int _fileDescriptor = -1;
    struct termios _originalTTYAttrs {};
    struct termios _currentTTYAttrs {};
    std::unique_ptr<QSocketNotifier> _readNotifier;
    platform::Timer _readTimer;
    std::unique_ptr<platform::Timer> _timeoutTimer;
    bool _dataReceived = false;
};
