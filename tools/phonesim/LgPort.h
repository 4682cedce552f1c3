#pragma once

#include <QByteArray>
#include <QList>
#include <functional>

namespace phonesim {

// The LG application port of a simulated phone. The port speaks binary
// frames (FF ... 7E) instead of AT lines once it is open:
//  - "lg": after the AT command "at$lgapp=1" (answered OK, then the port's
//    first frame);
//  - "lg2": from an OBEX connect request (80 00 10 ...);
//  - "lg3": from the first packet (83 or 82, a 16-bit length, ...).
// "lg2" and "lg3" frames travel in packets with a 6-byte header whose bytes
// 1-2 give the packet's length; replies get such a header too (A0, length,
// 48, length - 3). Not thread-safe: the simulator calls it under its lock.
class LgPort {
public:
    enum class Mode { Closed, Lg, Lg2, Lg3 };
    // How the port answers while another application holds it: not at all,
    // with the short answer (... C0 00 03) or with the busy frame.
    enum class Busy { None, Short, Frame };
    // The answer frame for a received frame (both FF ... 7E, without packet
    // header); empty: no answer.
    using FrameHandler = std::function<QByteArray(const QByteArray& frame)>;
    // The same with several answer frames (an answer sent in parts).
    using FramesHandler = std::function<QList<QByteArray>(const QByteArray& frame)>;

    static const QByteArray kDisconnectFrame;
    static const QByteArray kBusyFrame;
    static const QByteArray kBusyShort;
    // The answer to the OBEX connect: success, OBEX 1.0, packets up to 0x4000.
    static const QByteArray kObexConnectAnswer;
    // The first frame of an "lg" port after its "OK".
    static const QByteArray kPortReadyFrame;
    // How the port's close frame begins (FF, then FF 00 82 escaped).
    static const QByteArray kPortCloseStart;
    // A pending frame longer than this is dropped.
    static constexpr qsizetype kMaxFrameBytes = 0x10000;

    LgPort();

    Mode mode() const { return _mode; }
    void close();
    void setFrameHandler(FrameHandler handler)
    {
        _handler = std::move(handler);
        _framesHandler = nullptr;
    }
    void setFramesHandler(FramesHandler handler) { _framesHandler = std::move(handler); }
    // The mode "at$lgapp=1" opens: Lg, or Lg3 for a phone whose port answers
    // in packets from the start.
    void setAtOpensMode(Mode mode) { _atOpensMode = mode; }
    Mode atOpensMode() const { return _atOpensMode; }
    void setBusy(Busy busy) { _busy = busy; }
    // The frames received so far (packet headers removed).
    const QList<QByteArray>& frames() const { return _frames; }

    // Whether an AT line opens the "lg" port.
    static bool isPortOpening(const QByteArray& line);
    // The "lg" port opens after its AT command: answers what follows the
    // "OK" (the ready frame, or the busy frame).
    QByteArray openFromAtCommand();
    // Whether bytes that arrive while the port is closed open a packet port
    // ("lg2" or "lg3").
    static bool startsPacketPort(const QByteArray& bytes);
    // Takes bytes for the open port (or the bytes that open it); answers the
    // replies to send, in order.
    QList<QByteArray> input(const QByteArray& bytes);

    // A reply as the port in mode sends it.
    static QByteArray wrapReply(Mode mode, const QByteArray& frame);

private:
    QList<QByteArray> answerFrame(const QByteArray& frame);

    Mode _mode = Mode::Closed;
    Busy _busy = Busy::None;
    FrameHandler _handler;
    FramesHandler _framesHandler;
    Mode _atOpensMode = Mode::Lg;
    bool _closing = false;
    QByteArray _pending;
    QList<QByteArray> _frames;
};

} // namespace phonesim
