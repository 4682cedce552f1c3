#pragma once

#include "LgCalendar.h"
#include "LgFileSystem.h"
#include "LgMessages.h"
#include "LgPhonebook.h"
#include "LgPort.h"
#include "ObexServer.h"
#include "PhoneProfile.h"
#include "PhoneSession.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace phonesim {

// A simulated phone behind a pseudo-terminal pair. The client opens
// slavePath() like a phone's modem tty; the simulator serves the master side
// on a thread of its own, in real time (it stands for hardware outside the
// program, so its delays are real ones). Its socket face serves the same
// session over a stream socket instead, as a Bluetooth RFCOMM channel
// carries it: a socket pair made in-process, or clients of a local socket.
//
// AT command lines end with CR; answers are framed as phones frame them in
// verbose mode: "\r\n<line>\r\n" for each information line, then
// "\r\nOK\r\n" or "\r\nERROR\r\n". With echo on, the command line is sent
// back before its answer. Lines that do not start with "AT" are ignored.
class PhoneSimulator {
public:
    static constexpr const char* kOk = "OK";
    static constexpr const char* kError = "ERROR";

    explicit PhoneSimulator(PhoneProfile profile);
    ~PhoneSimulator();
    PhoneSimulator(const PhoneSimulator&) = delete;
    PhoneSimulator& operator=(const PhoneSimulator&) = delete;

    // Opens the pty pair and starts serving; false (with errorString()) on failure.
    bool start();
    // The socket face. connectSocketPair() starts serving (without a pty)
    // when not running and answers the caller's end of a new connection to
    // the phone; the phone's end replaces the connection before. -1 on failure.
    int connectSocketPair();
    // The same for one of the phone's OBEX channels: the connection starts
    // straight in OBEX mode, served by the same OBEX server.
    int connectObexSocketPair();
    // Serves the clients of a local stream socket at path, one at a time (a
    // new client replaces the one before); false (with errorString()) on failure.
    // The clients of a second socket (ServiceRecords::obexSocketPath) are the
    // phone's OBEX channels: they start straight in OBEX mode.
    bool startListening(const QString& path);
    void stop();
    bool isRunning() const { return _thread.joinable(); }
    QString slavePath() const { return _slavePath; }
    QString errorString() const { return _error; }

    // Answers go out in pieces of chunkSize bytes (0: whole), each after
    // delayMs milliseconds of real time.
    void setAnswerChunking(int chunkSize, int delayMs);
    // A serial line of this many bit/s (10 bits a byte) in each direction:
    // input is taken and answers arrive no faster than it carries them
    // (0: no limit).
    void setLineRate(int bitsPerSecond);

    // Bytes sent on their own, outside any answer (unsolicited result lines,
    // an LG disconnect frame); safe from any thread.
    void sendUnsolicited(const QByteArray& bytes);
    // A silent phone takes its input and answers nothing.
    void setSilent(bool silent);
    // Answers to command lines whose first command is command (as
    // AtCommand names it: "+CGSN") are held back until releaseHeldAnswers():
    // a phone that answers late.
    void holdAnswersTo(const QByteArray& command);
    void releaseHeldAnswers();

    // The LG application port (LG profiles): how it answers frames, whether
    // another application holds it, its mode and the frames it received.
    // The port answers from its phonebook until a frame handler replaces it.
    void setLgFrameHandler(LgPort::FrameHandler handler);
    LgPhonebook lgPhonebook() const;
    void modifyLgPhonebook(const std::function<void(LgPhonebook&)>& change);
    LgCalendar lgCalendar() const;
    void modifyLgCalendar(const std::function<void(LgCalendar&)>& change);
    LgMessages lgMessages() const;
    void modifyLgMessages(const std::function<void(LgMessages&)>& change);
    // The file system behind the port (a temporary folder per simulator).
    void modifyLgFiles(const std::function<void(LgFileSystem&)>& change);
    void setLgPortBusy(LgPort::Busy busy);
    LgPort::Mode lgPortMode() const;
    QList<QByteArray> lgFramesReceived() const;

    // The OBEX server behind the AT switch: its state, changed under the lock.
    ObexServer obexServer() const;
    void modifyObexServer(const std::function<void(ObexServer&)>& change);
    bool obexMode() const;
    // Relay mode: after the switch the bytes go to (and come from) the OBEX
    // server listening on 127.0.0.1:port instead of the phone's own. 0: off.
    void setObexRelay(quint16 port);

    // Adds or replaces a command handler while running.
    void setHandler(const QByteArray& command, AtHandler handler);

    // What the phone received lately: the last kReceivedWindowBytes bytes and
    // the last kReceivedWindowLines command lines (without CR). Older input is
    // forgotten, so a long session keeps a bounded memory.
    static constexpr qsizetype kReceivedWindowBytes = 1 << 20;
    static constexpr qsizetype kReceivedWindowLines = 4096;
    QByteArray received() const;
    QList<QByteArray> receivedLines() const;
    // Bytes taken from the line and put on it since the start (benchmarks
    // compare them with the time a transfer took).
    qint64 lineBytesIn() const { return _lineBytesIn; }
    qint64 lineBytesOut() const { return _lineBytesOut; }
    void clearReceived();
    // A copy of the phone's state; modify() changes it under the lock.
    PhoneSession session() const;
    void modifySession(const std::function<void(PhoneSession&)>& change);

    // Answer text for one command line (without its CR), echo included;
    // changes the session like the real line would. Empty when ignored.
    QByteArray answerLine(const QByteArray& line);

private:
    bool startServing();
    int connectLink(bool obexMode);
    int listenAt(const QString& path);
    void adoptNextLink();
    bool isHeld(const QByteArray& line) const;
    void serve();
    void handleInput(const QByteArray& bytes);
    void answerAndSend(const QByteArray& line);
    // follows: the bytes go out right after the last ones (the next part
    // of one answer), not after a pause.
    void send(const QByteArray& answer, bool follows = false);
    void sendOutbox();
    bool sleepUnlessStopped(int ms);
    bool sleepUntilUnlessStopped(std::chrono::steady_clock::time_point until);
    bool handleObexInput(const QByteArray& bytes);
    bool answerObexSwitch(const QByteArray& line);
    void openRelay();
    void closeRelay();
    // Waits until bytes have crossed the line after those before them (whose
    // last one arrives at freeAt); follows: they were queued right behind
    // those, so a late wake-up of the simulator does not idle the line.
    bool paceLine(qsizetype bytes, std::chrono::steady_clock::time_point& freeAt, bool follows);

    mutable std::mutex _mutex;
    PhoneProfile _profile;
    PhoneSession _session;
    QByteArray _pending;
    QByteArray _typedPdu;   // a PDU after the "> " prompt, up to Ctrl-Z
    QByteArray _received;
    QList<QByteArray> _receivedLines;
    int _chunkSize = 0;
    int _delayMs = 0;
    int _lineRate = 0;
    std::chrono::steady_clock::time_point _inboundFreeAt;
    std::chrono::steady_clock::time_point _outboundFreeAt;
    bool _answeredSinceInput = false;
    bool _silent = false;
    bool _hasLgPort = false;
    LgPort _lgPort;
    LgPhonebook _lgPhonebook;
    LgFileSystem _lgFiles;
    LgCalendar _lgCalendar;
    LgMessages _lgMessages;
    QByteArray _outbox;
    ObexServer _obex;
    quint16 _obexRelayPort = 0;
    int _relay = -1;   // the socket to the relayed OBEX server (serving thread only)

    QByteArray _heldCommand;
    QByteArray _heldAnswers;

    int _master = -1;
    int _slaveKeeper = -1;   // keeps the slave side open between clients
    // What the phone talks on: the pty master, or the socket of the client.
    int _link = -1;
    int _nextLink = -1;      // a new socket connection, taken over by the thread
    bool _nextLinkObex = false; // it starts in OBEX mode
    int _listen = -1;
    int _obexListen = -1;
    QString _socketPath;
    int _wakePipe[2] = {-1, -1};
    std::thread _thread;
    std::atomic<bool> _stopping{false};
    std::atomic<qint64> _lineBytesIn{0};
    std::atomic<qint64> _lineBytesOut{0};
    QString _slavePath;
    QString _error;
};

} // namespace phonesim
