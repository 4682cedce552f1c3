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
    // A faulty message of the phone in place of a good one: text that is not
    // WBXML, a document without the SyncML element, error statuses for the
    // program's first commands, a Put without data, and a SyncML element
    // with a child other than SyncHdr and SyncBody.
    enum class BadAnswer { None, NotWBXML, NoSyncMLElement, ErrorStatus, NoData, ForeignTopLevel };

    // Bytes of the phone's message per Put packet (so it takes several).
    static constexpr int kChunk = 400;

    void arm(const QByteArray& message);
    void setResponder(Responder responder) { _responder = std::move(responder); }
    // The phone's message number `message` (1: the first it puts) is the bad
    // one; used once, then the phone goes back to its good messages.
    void setBadAnswer(BadAnswer kind, int message = 1);
    // The bytes of a bad message (empty for None and NoData).
    static QByteArray badMessage(BadAnswer kind);
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
    // The message to put as number `_messagesSent + 1`: the bad one when it
    // is due, else `good`.
    QByteArray messageToPut(const QByteArray& good);

    QByteArray _message;
    State _state = State::Idle;
    qsizetype _sent = 0;
    quint32 _connectionId = 0;
    QByteArray _received;
    Responder _responder;
    int _messagesSent = 0;
    BadAnswer _badAnswer = BadAnswer::None;
    int _badAt = 0;
};

} // namespace phonesim
