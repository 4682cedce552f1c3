#pragma once

#include <QByteArray>

#include <functional>

namespace phonesim {

// The phone as SyncML client after its switch: once the program's
// server-alerted notification is in, the phone connects to "SYNCML-SYNC",
// puts its WBXML message in several packets, gets the program's answer and
// disconnects. Each answer of the program brings the phone's next request.
// With a responder the phone goes on: each answer the program gives to a
// Get is handed to it, and the message it returns is the phone's next Put
// (empty: the phone disconnects).
class SyncMLClientScript {
public:
    using Responder = std::function<QByteArray(const QByteArray& answer)>;

    // Bytes of the phone's message per Put packet (so it takes several).
    static constexpr int kChunk = 400;

    void arm(const QByteArray& message);
    void setResponder(Responder responder) { _responder = std::move(responder); }
    // Messages the phone has put in this session.
    int messagesSent() const { return _messagesSent; }
    bool armed() const { return !_message.isEmpty(); }
    bool active() const { return _state != State::Idle && _state != State::Done; }
    bool done() const { return _state == State::Done; }
    // The first request (the Connect).
    QByteArray start();
    // The program's answer; the phone's next request, empty when it is done
    // (or stops on an unexpected answer).
    QByteArray onAnswer(const QByteArray& answer);
    // The program's answer to the last Get, as collected.
    QByteArray received() const { return _received; }

private:
    enum class State { Idle, Connecting, Putting, Getting, Disconnecting, Done };
    QByteArray nextPut();

    QByteArray _message;
    State _state = State::Idle;
    qsizetype _sent = 0;
    quint32 _connectionId = 0;
    QByteArray _received;
    Responder _responder;
    int _messagesSent = 0;
};

} // namespace phonesim
