#pragma once

#include "platform/bluetooth/BluetoothAddress.h"

#include <QString>
#include <functional>
#include <optional>

namespace platform {

// The pairing agent of a Bluetooth stack: while a device pairs, the stack
// asks it for a PIN code or a passkey, tells it a passkey to show, asks it to
// confirm a passkey, or cancels what it asked. One request is pending at a
// time. Whoever shows the pairing to the user follows the requests through
// the notifications below (posted synchronously, sender the agent) and
// answers the pending one; a request nobody answers ends with the pairing's
// time limit. Main thread only.
class BluetoothPairingAgent {
public:
    enum class Kind { PinCode, Passkey, DisplayPasskey, DisplayPinCode, Confirmation };
    struct Request {
        int id = 0;
        Kind kind = Kind::PinCode;
        BluetoothAddress address;
        // The passkey to show or to confirm (0 to 999999).
        quint32 passkey = 0;
        // The PIN code to show.
        QString pinCode;
        // Whether the request waits for an answer (the display kinds do not).
        bool wantsAnswer() const { return kind != Kind::DisplayPasskey && kind != Kind::DisplayPinCode; }
    };
    struct Answer {
        bool accepted = false;
        QString pinCode;
        quint32 passkey = 0;
        // The request ended unanswered (cancel()).
        bool cancelled = false;
    };
    using Reply = std::function<void(const Answer&)>;

    // userInfo: "address" (text), "kind" (int of Kind), "passkey", "id".
    static constexpr const char* kRequestStartedNotification = "BluetoothPairingAgent.RequestStarted";
    static constexpr const char* kRequestEndedNotification = "BluetoothPairingAgent.RequestEnded";
    // A legacy PIN code has 1 to 16 characters; a passkey is 0 to 999999.
    static constexpr int kMaxPinCodeLength = 16;
    static constexpr quint32 kMaxPasskey = 999999;

    BluetoothPairingAgent() = default;
    ~BluetoothPairingAgent();
    BluetoothPairingAgent(const BluetoothPairingAgent&) = delete;
    BluetoothPairingAgent& operator=(const BluetoothPairingAgent&) = delete;

    // The stack's side. open() ends a pending request first (rejected) and
    // answers the new request's id; reply (the kinds that want an answer)
    // is called once: with the answer, a refusal, or cancelled set.
    int open(Request request, Reply reply);
    // The stack ended the request (the peer cancelled, the pairing ended or
    // timed out): it ends unanswered; 0 ends whatever is pending.
    void cancel(int id = 0);
    // Ends a pending request of the device (its pairing is over).
    void endRequestsOf(const BluetoothAddress& address);

    // The user's side.
    std::optional<Request> pendingRequest() const;
    bool hasPendingRequest() const { return _pending.has_value(); }
    // What was typed for the pending PIN code or passkey request so far.
    QString typed() const { return _typed; }
    // Adds characters to what is typed; false without a request that takes
    // them. The text is not checked here (see enter()).
    bool type(const QString& characters);
    // Answers the pending request with what was typed: a PIN code of 1 to 16
    // characters, a passkey of digits up to kMaxPasskey; a confirmation is
    // accepted; a display request ends. false (the request stays) when there
    // is none or the typed text does not fit.
    bool enter();
    bool answerPinCode(const QString& pinCode);
    bool answerPasskey(quint32 passkey);
    bool confirm(bool accept);
    // Refuses the pending request; false without one.
    bool reject();

private:
    void finish(const Answer& answer, bool replying);

    std::optional<Request> _pending;
    Reply _reply;
    QString _typed;
    int _lastId = 0;
};

} // namespace platform
